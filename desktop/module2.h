#pragma once

#include <QIcon>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <cstdint>

class TrayShell;

// Message number with which the tray icon reports mouse activity to the main
// window (wParam: the icon's identifier, lParam: the mouse message).
constexpr std::uint32_t TrayCallbackMessage = 0x601;

// Mouse messages a tray icon reports in lParam.
constexpr std::int32_t WM_MOUSEMOVE = 0x200;
constexpr std::int32_t WM_LBUTTONDOWN = 0x201;
constexpr std::int32_t WM_LBUTTONUP = 0x202;
constexpr std::int32_t WM_LBUTTONDBLCLK = 0x203;
constexpr std::int32_t WM_RBUTTONDOWN = 0x204;
constexpr std::int32_t WM_RBUTTONUP = 0x205;
constexpr std::int32_t WM_RBUTTONDBLCLK = 0x206;
constexpr std::int32_t WM_MBUTTONDOWN = 0x207;
constexpr std::int32_t WM_MBUTTONUP = 0x208;
constexpr std::int32_t WM_MBUTTONDBLCLK = 0x209;

// The tray record handed to the shell with every icon operation.
struct NotifyIconData {
    std::uint32_t cbSize = 0;
    QPointer<QWidget> hWnd;      // receives the callback messages
    std::uint32_t uID = 0;
    std::uint32_t uFlags = 0;    // 7: message, icon and tip are valid
    std::uint32_t uCallbackMessage = 0;
    QIcon hIcon;
    QString szTip;               // always 64 characters (see SetTip)
};

struct AppBarData {
    std::uint32_t cbSize = 0;
};

// The tray icon service and the main window's message hook.
class Module2 { /* the desktop helper fills this in; see the brief */ };
