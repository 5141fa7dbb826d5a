#include "timeboxaccessible.h"

#include <QComboBox>
#include <QLineEdit>

#include <mutex>

namespace {

// Marks the combo boxes that are time boxes.
constexpr char TimeBoxProperty[] = "tallowickTimeBox";

} // namespace

TimeBoxAccessible::TimeBoxAccessible(QComboBox *box)
    : QAccessibleWidget(box, QAccessible::ComboBox) {}

QComboBox *TimeBoxAccessible::box() const {
    return static_cast<QComboBox *>(widget());
}

QString TimeBoxAccessible::text(QAccessible::Text t) const {
    switch (t) {
    case QAccessible::Name:
        return box()->accessibleName();
    case QAccessible::Value:
        return box()->currentText();
    default:
        return QAccessibleWidget::text(t);
    }
}

// The one child is the edit field, where the caret and the typed text are.
int TimeBoxAccessible::childCount() const {
    return box()->lineEdit() != nullptr ? 1 : 0;
}

QAccessibleInterface *TimeBoxAccessible::child(int index) const {
    if (index != 0 || box()->lineEdit() == nullptr)
        return nullptr;
    return QAccessible::queryAccessibleInterface(box()->lineEdit());
}

int TimeBoxAccessible::indexOfChild(const QAccessibleInterface *child) const {
    return child != nullptr && box()->lineEdit() != nullptr && child->object() == box()->lineEdit()
               ? 0
               : -1;
}

QStringList TimeBoxAccessible::actionNames() const {
    return QStringList{showMenuAction()} + QAccessibleWidget::actionNames();
}

void TimeBoxAccessible::doAction(const QString &actionName) {
    if (actionName == showMenuAction()) {
        box()->showPopup();
        return;
    }
    QAccessibleWidget::doAction(actionName);
}

void TimeBoxAccessible::Install(QComboBox *box, const QString &name) {
    static std::once_flag installed;
    std::call_once(installed, [] {
        QAccessible::installFactory([](const QString &, QObject *object) -> QAccessibleInterface * {
            auto *combo = qobject_cast<QComboBox *>(object);
            if (combo != nullptr && combo->property(TimeBoxProperty).toBool())
                return new TimeBoxAccessible(combo);
            return nullptr;
        });
    });
    box->setProperty(TimeBoxProperty, true);
    // A screen reader may have asked for the box already and been given Qt's
    // own view of it: that one goes, and the next question gets this one.
    QAccessibleInterface *seen = QAccessible::queryAccessibleInterface(box);
    if (seen != nullptr && dynamic_cast<TimeBoxAccessible *>(seen) == nullptr)
        QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(seen));
    box->setAccessibleName(name);
    // The edit field is what has the focus while the user types: it carries
    // the same name.
    if (box->lineEdit() != nullptr)
        box->lineEdit()->setAccessibleName(name);
}
