#pragma once

#include <QProxyStyle>

// The desktop's style, except for the arrows the main window builds at
// start-up: the month calendar's page buttons (left and right arrows) and the
// menu bar's button for items that do not fit. The program draws those itself;
// the style would look them up in the icon theme and then decode them from
// image files, loading the image format plugins: a quarter of all the work of
// starting the program.
class ArrowStyle : public QProxyStyle {
    Q_OBJECT
public:
    // Wraps base (the application's style), which it then owns.
    explicit ArrowStyle(QStyle *base);

    QIcon standardIcon(StandardPixmap standardIcon, const QStyleOption *option = nullptr,
                       const QWidget *widget = nullptr) const override;
};
