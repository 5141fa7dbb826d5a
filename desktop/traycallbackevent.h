#pragma once

#include <QEvent>

#include <cstdint>

class QWidget;

// What a tray icon posts to its window when the mouse does something over it:
// the callback message, the icon's identifier and the mouse message.
class TrayCallbackEvent : public QEvent {
public:
    TrayCallbackEvent(std::uint32_t uID, std::int32_t mouseMessage);

    // The event type, registered once with Qt.
    static QEvent::Type EventType();
    // Posts one callback to hWnd; nothing when hWnd is null.
    static void Post(QWidget *hWnd, std::uint32_t uID, std::int32_t mouseMessage);

    const std::uint32_t message; // always TrayCallbackMessage
    const std::uint32_t wParam;  // the icon's identifier
    const std::int32_t lParam;   // the mouse message (WM_LBUTTONDBLCLK, ...)
};
