#include "arrowstyle.h"

#include "icons.h"

#include <QGuiApplication>
#include <QStyleOption>

ArrowStyle::ArrowStyle(QStyle *base)
    : QProxyStyle(base) {}

QIcon ArrowStyle::standardIcon(StandardPixmap standardIcon, const QStyleOption *option,
                               const QWidget *widget) const {
    switch (standardIcon) {
    case SP_ArrowLeft:
        return Icons::PageArrow(false);
    case SP_ArrowRight:
        return Icons::PageArrow(true);
    case SP_ToolBarHorizontalExtensionButton:
        // Points the way the items run on.
        return Icons::MoreItems(option ? option->direction == Qt::RightToLeft
                                       : QGuiApplication::isRightToLeft());
    default:
        return QProxyStyle::standardIcon(standardIcon, option, widget);
    }
}
