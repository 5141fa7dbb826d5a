#pragma once

#include <QColor>

class QWidget;

// Text that reads on the desktop's colours, light or dark: at least 4.5:1
// against what it is drawn on, the least that WCAG 2 asks of normal text.
class ReadableText {
public:
    static constexpr double LeastContrast = 4.5;

    // The WCAG 2 contrast ratio of two colours: 1 for one colour, 21 for black on white.
    static double Contrast(const QColor &a, const QColor &b);
    // Black or white, whichever reads better on `background`.
    static QColor On(const QColor &background);
    // `colour` made just dark enough, or light enough, to read at 4.5:1 on
    // `background`, its hue kept: a red stays a red.
    static QColor Readable(const QColor &colour, const QColor &background);

    // Fills `widget` with `background` and draws its text in black or white to
    // match, in every colour group, so that the desktop's own text colour never
    // lands on a colour the program chose.
    static void SetBackground(QWidget *widget, const QColor &background);

    // Dims the text of `widget` and its children, while disabled, no further
    // than it still reads; done again whenever the desktop's colours change.
    static void KeepDisabledReadable(QWidget *widget);
    // The same for every widget of `widget`'s class at once, in one palette
    // they all share: what the style draws for one of them, keyed to its
    // palette, then serves all that come after it.
    static void KeepClassDisabledReadable(QWidget *widget);
};
