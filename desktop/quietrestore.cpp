#include "quietrestore.h"

#include <QEvent>
#include <QGuiApplication>
#include <QWidget>
#include <QWindow>

#include <cstdlib>
#include <memory>

#if TALLOWICK_HAVE_XCB
#include <xcb/xcb.h>

namespace {

template <typename Reply> using XReply = std::unique_ptr<Reply, decltype(&std::free)>;

// The program's connection to the X server; none on other platforms.
xcb_connection_t *XConnection() {
    if (QGuiApplication::platformName() != u"xcb")
        return nullptr;
    const auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 != nullptr ? x11->connection() : nullptr;
}

// Whether the window is still mapped though minimised. ICCCM window managers
// unmap a minimised window, and a map request brings it back; mutter keeps it
// mapped, and a map request of a mapped window does nothing at all.
bool KeptMapped(xcb_connection_t *connection, xcb_window_t window) {
    const XReply<xcb_get_window_attributes_reply_t> attributes(
        xcb_get_window_attributes_reply(connection, xcb_get_window_attributes(connection, window),
                                        nullptr),
        &std::free);
    return attributes != nullptr && attributes->map_state != XCB_MAP_STATE_UNMAPPED;
}

// Asks the window manager to un-minimise and raise the window as an
// application's request (EWMH _NET_ACTIVE_WINDOW). It may also try to focus
// it; the window's input hint says no.
void AskToActivate(xcb_connection_t *connection, xcb_window_t window) {
    static constexpr char Name[] = "_NET_ACTIVE_WINDOW";
    const XReply<xcb_intern_atom_reply_t> atom(
        xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 0, sizeof Name - 1, Name),
                              nullptr),
        &std::free);
    const XReply<xcb_query_tree_reply_t> tree(
        xcb_query_tree_reply(connection, xcb_query_tree(connection, window), nullptr), &std::free);
    if (atom == nullptr || tree == nullptr)
        return;
    constexpr std::uint32_t FromApplication = 1;
    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = window;
    message.type = atom->atom;
    message.data.data32[0] = FromApplication;
    // No time of a user's action: the request is the program's own, and the
    // window manager takes it as made now.
    message.data.data32[1] = XCB_CURRENT_TIME;
    message.data.data32[2] = XCB_NONE; // no window of the program's has the keyboard
    xcb_send_event(connection, 0, tree->root,
                   XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                   reinterpret_cast<const char *>(&message));
    xcb_flush(connection);
}

} // namespace
#endif

namespace {

// Whether the window is minimised but still mapped (mutter keeps it so), which a map request
// cannot bring back. Only X11 window managers do that.
bool KeptMapped(const QWindow *window) {
#if TALLOWICK_HAVE_XCB
    xcb_connection_t *x = XConnection();
    return x != nullptr && KeptMapped(x, static_cast<xcb_window_t>(window->winId()));
#else
    Q_UNUSED(window);
    return false;
#endif
}

// Asks an X11 window manager that keeps the window mapped to un-minimise it.
void AskToActivate(const QWindow *window) {
#if TALLOWICK_HAVE_XCB
    if (xcb_connection_t *x = XConnection())
        AskToActivate(x, static_cast<xcb_window_t>(window->winId()));
#else
    Q_UNUSED(window);
#endif
}

} // namespace

QuietRestore::QuietRestore(QWidget *widget, std::chrono::milliseconds fallback)
    : QObject(widget)
    , m_widget(widget) {
    m_fallback.setSingleShot(true);
    m_fallback.setInterval(fallback);
    connect(&m_fallback, &QTimer::timeout, this, &QuietRestore::Release);
}

void QuietRestore::Restore() {
    if (m_widget == nullptr)
        return;
    const Qt::WindowStates normal =
        m_widget->windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized);
    QWindow *window = m_widget->windowHandle();
    if (!m_widget->isMinimized() || !m_widget->isVisible() || window == nullptr) {
        m_widget->setWindowState(normal);
        return;
    }
    if (!m_holding) {
        m_window = window;
        window->setFlag(Qt::WindowDoesNotAcceptFocus, true);
        window->installEventFilter(this);
        m_holding = true;
    }
    // Minimised again while held: the window manager's next report counts.
    m_reported = false;
    m_fallback.start();
    const bool keptMapped = KeptMapped(window);
    // The hint goes out before the map request (Qt's X connection keeps its order).
    m_widget->setWindowState(normal);
    if (keptMapped)
        AskToActivate(window);
}

void QuietRestore::Release() {
    if (!m_holding)
        return;
    m_holding = false;
    m_fallback.stop();
    if (m_window != nullptr) {
        m_window->removeEventFilter(this);
        m_window->setFlag(Qt::WindowDoesNotAcceptFocus, false);
    }
    Q_EMIT Released();
}

bool QuietRestore::eventFilter(QObject *watched, QEvent *event) {
    if (!m_holding || watched != m_window)
        return QObject::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::WindowStateChange:
        // Only the window system's own report counts (on X11 the window
        // manager's WM_STATE); the program's own change of state is no news.
        if (event->spontaneous() && !m_window->windowStates().testFlag(Qt::WindowMinimized)) {
            m_reported = true;
            releaseWhenSettled();
        }
        break;
    case QEvent::Expose:
        releaseWhenSettled();
        break;
    case QEvent::Hide:
        // Put away meanwhile (hidden to the tray): nothing is left to map.
        Release();
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

void QuietRestore::releaseWhenSettled() {
    if (m_reported && m_window->isExposed())
        Release();
}
