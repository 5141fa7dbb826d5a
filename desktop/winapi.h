#pragma once

#include <cstdint>

// The numbers the tray service and the window hook speak: those of the
// desktop shell interface they were written against, gathered in one place.
// Message number with which a tray icon reports mouse activity to its window
// (wParam: the icon's identifier, lParam: the mouse message).
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

// What Shell_NotifyIcon is asked to do.
enum NotifyMessage { NIM_ADD = 0, NIM_MODIFY = 1, NIM_DELETE = 2 };
// The taskbar query of SHAppBarMessage.
constexpr int ABM_GETTASKBARPOS = 5;

// Sizes of the two records as the shell knows them.
constexpr std::uint32_t NotifyIconDataSize = 88;
constexpr std::uint32_t AppBarDataSize = 36;
// uFlags: message, icon and tip are valid (NIF_MESSAGE | NIF_ICON | NIF_TIP).
constexpr std::uint32_t NotifyIconAllFlags = 7;
// The tip field always holds this many characters.
constexpr int TipFieldLength = 64;
