#pragma once

#include "module2.h"

#include <cstdint>
#include <functional>
#include <memory>

// The desktop's notification area as the tray service sees it: icons
// identified by (hWnd, uID) that post TrayCallbackEvent to hWnd.
class TrayShell {
public:
    virtual ~TrayShell() = default;
    // Adds, changes or deletes the icon (data.hWnd, data.uID); false when
    // refused (an existing icon added, a missing one changed or deleted).
    virtual bool Shell_NotifyIcon(NotifyMessage message, const NotifyIconData &data) = 0;
    // ABM_GETTASKBARPOS: 1 when a tray can show icons, else 0.
    virtual std::int32_t SHAppBarMessage(int message, AppBarData &data) = 0;
    // What the Exit item of a tray icon's menu runs for hWnd's icons. Only
    // shells whose icons carry a menu keep it.
    virtual void SetExitCommand(const QWidget * /*hWnd*/, std::function<void()> /*command*/) {}

    // The shell of this desktop: its system tray, or a stand-in window.
    static std::unique_ptr<TrayShell> CreateDefault();
};
