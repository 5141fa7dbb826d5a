#pragma once

#include "trayshell.h"

#include <QList>

// Stands in for the desktop's shell in tests and writes down every call.
class RecordingShell : public TrayShell {
public:
    struct Call {
        NotifyMessage message;
        NotifyIconData data;
    };
    QList<Call> calls;
    QList<int> appBarMessages;
    QList<std::uint32_t> appBarSizes;
    std::int32_t taskbar = 1; // what ABM_GETTASKBARPOS answers

    bool Shell_NotifyIcon(NotifyMessage message, const NotifyIconData &data) override;
    std::int32_t SHAppBarMessage(int message, AppBarData &data) override;
    // The icon ids of the calls with this message, in order.
    QList<std::uint32_t> Ids(NotifyMessage message) const;
};
