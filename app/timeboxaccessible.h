#pragma once

#include <QAccessibleWidget>

class QComboBox;

// An editable time box (hour or minute) as a screen reader sees it: named by
// its accessible name, "Hour" or "Minute", with the chosen value as its value.
// Qt's own combo box names itself after its text on Linux, so a reader would
// announce "00" where a person says "Hour". Everything else is as Qt's own
// combo box offers it: the drop-down list as child 0 and the edit field as
// child 1, the edit field as the focus, and the actions that open the list.
class TimeBoxAccessible : public QAccessibleWidget {
public:
    explicit TimeBoxAccessible(QComboBox *box);

    QString text(QAccessible::Text t) const override;
    QAccessible::State state() const override;
    int childCount() const override;
    QAccessibleInterface *child(int index) const override;
    int indexOfChild(const QAccessibleInterface *child) const override;
    QAccessibleInterface *focusChild() const override;
    QStringList actionNames() const override;
    QString localizedActionDescription(const QString &actionName) const override;
    void doAction(const QString &actionName) override;

    // Makes `box` one of these for screen readers, named `name`; the factory
    // is installed once a run.
    static void Install(QComboBox *box, const QString &name);

private:
    QComboBox *box() const;
};
