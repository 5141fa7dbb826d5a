#include "arrowstyle.h"

#include "icons.h"

ArrowStyle::ArrowStyle(QStyle *base)
    : QProxyStyle(base) {}

QIcon ArrowStyle::standardIcon(StandardPixmap standardIcon, const QStyleOption *option,
                               const QWidget *widget) const {
    switch (standardIcon) {
    case SP_ArrowLeft:
        return Icons::PageArrow(false);
    case SP_ArrowRight:
        return Icons::PageArrow(true);
    default:
        return QProxyStyle::standardIcon(standardIcon, option, widget);
    }
}
