#pragma once

#include <QProxyStyle>

// The desktop's style, except that the left and right arrows (which the month
// calendar puts on its page buttons) are the program's own drawn pictures.
// The style would look them up in the icon theme first and then decode them
// from image files: a quarter of all the work of starting the program.
class ArrowStyle : public QProxyStyle {
    Q_OBJECT
public:
    // Wraps base (the application's style), which it then owns.
    explicit ArrowStyle(QStyle *base);

    QIcon standardIcon(StandardPixmap standardIcon, const QStyleOption *option = nullptr,
                       const QWidget *widget = nullptr) const override;
};
