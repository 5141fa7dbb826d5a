#include "resultlineaccessible.h"

#include <QLabel>

#include <mutex>

namespace {

// Marks the label that is the result line.
constexpr char ResultLineProperty[] = "tallowickResultLine";

} // namespace

ResultLineAccessible::ResultLineAccessible(QLabel *line)
    : QAccessibleWidget(line, QAccessible::Notification) {}

QString ResultLineAccessible::text(QAccessible::Text t) const {
    if (t == QAccessible::Name) {
        const auto *line = static_cast<const QLabel *>(widget());
        return line->accessibleName().isEmpty() ? line->text() : line->accessibleName();
    }
    return QAccessibleWidget::text(t);
}

void ResultLineAccessible::Install(QLabel *line) {
    static std::once_flag installed;
    std::call_once(installed, [] {
        QAccessible::installFactory([](const QString &, QObject *object) -> QAccessibleInterface * {
            auto *label = qobject_cast<QLabel *>(object);
            if (label != nullptr && label->property(ResultLineProperty).toBool())
                return new ResultLineAccessible(label);
            return nullptr;
        });
    });
    line->setProperty(ResultLineProperty, true);
    // Qt's own view of the label, if a screen reader has asked already, gives way.
    QAccessibleInterface *seen = QAccessible::queryAccessibleInterface(line);
    if (seen != nullptr && dynamic_cast<ResultLineAccessible *>(seen) == nullptr)
        QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(seen));
}

void ResultLineAccessible::Announce(QLabel *line) {
    // A notification coming into view is what screen readers read out.
    QAccessibleEvent shown(line, QAccessible::ObjectShow);
    QAccessible::updateAccessibility(&shown);
}
