#include "traycallbackevent.h"

#include "winapi.h"

#include <QCoreApplication>
#include <QWidget>

TrayCallbackEvent::TrayCallbackEvent(std::uint32_t uID, std::int32_t mouseMessage)
    : QEvent(EventType())
    , message(TrayCallbackMessage)
    , wParam(uID)
    , lParam(mouseMessage) {}

QEvent::Type TrayCallbackEvent::EventType() {
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

void TrayCallbackEvent::Post(QWidget *hWnd, std::uint32_t uID, std::int32_t mouseMessage) {
    if (hWnd == nullptr)
        return;
    // Posted, not sent, so the window handles it from its own event loop,
    // as it would a message from the shell.
    QCoreApplication::postEvent(hWnd, new TrayCallbackEvent(uID, mouseMessage));
}
