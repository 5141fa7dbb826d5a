#include "timeboxaccessible.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QKeySequence>
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
    case QAccessible::Accelerator:
        // The key that opens the list.
        return QKeySequence(Qt::Key_Down).toString(QKeySequence::NativeText);
    default:
        return QAccessibleWidget::text(t);
    }
}

QAccessible::State TimeBoxAccessible::state() const {
    QAccessible::State s = QAccessibleWidget::state();
    s.expandable = true;
    s.expanded = box()->view()->isVisible();
    s.editable = box()->isEditable();
    return s;
}

// Child 0 is the drop-down list with every item, child 1 the edit field where
// the caret and the typed text are; a box that cannot be typed in has no edit field.
int TimeBoxAccessible::childCount() const {
    return box()->isEditable() ? 2 : 1;
}

QAccessibleInterface *TimeBoxAccessible::child(int index) const {
    if (index == 0)
        return QAccessible::queryAccessibleInterface(box()->view());
    if (index == 1 && box()->isEditable())
        return QAccessible::queryAccessibleInterface(box()->lineEdit());
    return nullptr;
}

int TimeBoxAccessible::indexOfChild(const QAccessibleInterface *child) const {
    if (child == nullptr)
        return -1;
    if (child->object() == box()->view())
        return 0;
    if (box()->isEditable() && child->object() == box()->lineEdit())
        return 1;
    return -1;
}

// The box is its edit field's focus proxy, so the edit field itself never
// has the focus; to a screen reader it is what has it.
QAccessibleInterface *TimeBoxAccessible::focusChild() const {
    if (box()->isEditable())
        return child(1);
    return QAccessibleWidget::focusChild();
}

QStringList TimeBoxAccessible::actionNames() const {
    return QStringList{showMenuAction(), pressAction()} + QAccessibleWidget::actionNames();
}

QString TimeBoxAccessible::localizedActionDescription(const QString &actionName) const {
    if (actionName == showMenuAction() || actionName == pressAction())
        return QComboBox::tr("Open the combo box selection popup");
    return QAccessibleWidget::localizedActionDescription(actionName);
}

void TimeBoxAccessible::doAction(const QString &actionName) {
    if (actionName == showMenuAction() || actionName == pressAction()) {
        if (box()->view()->isVisible())
            box()->hidePopup();
        else
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
