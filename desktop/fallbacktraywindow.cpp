#include "fallbacktraywindow.h"

#include "fallbacktrayaccessible.h"
#include "traycallbackevent.h"
#include "winapi.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>

namespace {

constexpr int WindowSide = 24;
constexpr int PictureSide = 16;
constexpr int ScreenMargin = 4;

} // namespace

FallbackTrayWindow::FallbackTrayWindow(QWidget *target, std::uint32_t uID, const QIcon &icon,
                                       const QString &tip, int slot)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
    , m_target(target)
    , m_uID(uID)
    , m_icon(icon) {
    setObjectName(QStringLiteral("TrayFallback"));
    // The stand-in must not keep the program alive once its windows are gone.
    setAttribute(Qt::WA_QuitOnClose, false);
    setMouseTracking(true);
    // A window of its own kind, not a tool window: window managers give it
    // the focus and list it for Alt+Tab, so the keyboard can reach it.
    setFocusPolicy(Qt::StrongFocus);
    setAccessibleDescription(Description);
    FallbackTrayAccessible::Install();
    setFixedSize(WindowSide, WindowSide);
    SetTip(tip);
    // Icons line up from the top right corner of the screen leftwards.
    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        move(area.right() - ScreenMargin - (slot + 1) * WindowSide, area.top() + ScreenMargin);
    }
}

void FallbackTrayWindow::SetIcon(const QIcon &newIcon) {
    m_icon = newIcon;
    update();
}

void FallbackTrayWindow::SetTip(const QString &tip) {
    setToolTip(tip);
    setWindowTitle(tip);
    setAccessibleName(tip);
}

void FallbackTrayWindow::paintEvent(QPaintEvent *) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().window());
    const int offset = (WindowSide - PictureSide) / 2;
    m_icon.paint(&painter, QRect(offset, offset, PictureSide, PictureSide));
    if (hasFocus()) {
        // The keyboard's place, as a button shows it.
        painter.setPen(QPen(palette().windowText(), 1, Qt::DotLine));
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
    }
}

void FallbackTrayWindow::Restore() {
    TrayCallbackEvent::Post(m_target, m_uID, WM_LBUTTONDBLCLK);
}

void FallbackTrayWindow::keyPressEvent(QKeyEvent *event) {
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
        if (!event->isAutoRepeat())
            Restore();
        return;
    default:
        QWidget::keyPressEvent(event);
    }
}

void FallbackTrayWindow::focusInEvent(QFocusEvent *event) {
    QWidget::focusInEvent(event);
    update();
}

void FallbackTrayWindow::focusOutEvent(QFocusEvent *event) {
    QWidget::focusOutEvent(event);
    update();
}

void FallbackTrayWindow::Report(std::int32_t left, std::int32_t right, std::int32_t middle,
                                Qt::MouseButton button) {
    switch (button) {
    case Qt::LeftButton:
        TrayCallbackEvent::Post(m_target, m_uID, left);
        break;
    case Qt::RightButton:
        TrayCallbackEvent::Post(m_target, m_uID, right);
        break;
    case Qt::MiddleButton:
        TrayCallbackEvent::Post(m_target, m_uID, middle);
        break;
    default:
        break;
    }
}

void FallbackTrayWindow::mousePressEvent(QMouseEvent *event) {
    Report(WM_LBUTTONDOWN, WM_RBUTTONDOWN, WM_MBUTTONDOWN, event->button());
}

void FallbackTrayWindow::mouseReleaseEvent(QMouseEvent *event) {
    Report(WM_LBUTTONUP, WM_RBUTTONUP, WM_MBUTTONUP, event->button());
}

void FallbackTrayWindow::mouseDoubleClickEvent(QMouseEvent *event) {
    Report(WM_LBUTTONDBLCLK, WM_RBUTTONDBLCLK, WM_MBUTTONDBLCLK, event->button());
}

void FallbackTrayWindow::mouseMoveEvent(QMouseEvent *) {
    TrayCallbackEvent::Post(m_target, m_uID, WM_MOUSEMOVE);
}
