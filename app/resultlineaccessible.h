#pragma once

#include <QAccessibleWidget>

class QLabel;

// The mail transfer's result line as a screen reader sees it: a notification
// that reads out as its text. Each new outcome shows it anew (Announce), which
// screen readers such as Orca speak even while the focus is elsewhere.
class ResultLineAccessible : public QAccessibleWidget {
public:
    explicit ResultLineAccessible(QLabel *line);

    QString text(QAccessible::Text t) const override;

    // Makes `line` one of these for screen readers; the factory is installed once a run.
    static void Install(QLabel *line);
    // Tells screen readers that `line` has a new text to be read out.
    static void Announce(QLabel *line);
};
