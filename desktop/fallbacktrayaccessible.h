#pragma once

#include <QAccessibleWidget>

class FallbackTrayWindow;

// The stand-in tray window as a screen reader sees it: named by its tip, with
// one action, Press, that brings the window back as Return or Space does.
class FallbackTrayAccessible : public QAccessibleWidget {
public:
    explicit FallbackTrayAccessible(FallbackTrayWindow *window);

    QStringList actionNames() const override;
    QString localizedActionDescription(const QString &actionName) const override;
    void doAction(const QString &actionName) override;

    // Lets screen readers see every stand-in window this way; once a run.
    static void Install();
};
