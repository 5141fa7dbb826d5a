#include "windowhook.h"

#include "module2.h"
#include "traycallbackevent.h"

#include <QWidget>

WindowHook::WindowHook(Module2 &module, QWidget *window)
    : QObject(window)
    , m_module(module)
    , m_window(window) {}

bool WindowHook::eventFilter(QObject *watched, QEvent *event) {
    // Only a tray callback carries a message the hook acts on; every event,
    // that one included, goes on to the window unchanged.
    if (watched == m_window && event->type() == TrayCallbackEvent::EventType()) {
        const auto *callback = static_cast<const TrayCallbackEvent *>(event);
        m_module.HookWindowProc(m_window, callback->message, callback->wParam, callback->lParam);
    }
    return false;
}
