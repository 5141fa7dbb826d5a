#include "fallbacktrayaccessible.h"

#include "fallbacktraywindow.h"

#include <mutex>

FallbackTrayAccessible::FallbackTrayAccessible(FallbackTrayWindow *window)
    : QAccessibleWidget(window, QAccessible::Window) {}

QStringList FallbackTrayAccessible::actionNames() const {
    return QStringList{pressAction()} + QAccessibleWidget::actionNames();
}

QString FallbackTrayAccessible::localizedActionDescription(const QString &actionName) const {
    if (actionName == pressAction())
        return QStringLiteral("Bring the window back");
    return QAccessibleWidget::localizedActionDescription(actionName);
}

void FallbackTrayAccessible::doAction(const QString &actionName) {
    if (actionName == pressAction()) {
        static_cast<FallbackTrayWindow *>(widget())->Restore();
        return;
    }
    QAccessibleWidget::doAction(actionName);
}

void FallbackTrayAccessible::Install() {
    static std::once_flag installed;
    std::call_once(installed, [] {
        QAccessible::installFactory([](const QString &, QObject *object) -> QAccessibleInterface * {
            if (auto *window = qobject_cast<FallbackTrayWindow *>(object))
                return new FallbackTrayAccessible(window);
            return nullptr;
        });
    });
}
