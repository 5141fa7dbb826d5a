#include "recordingshell.h"

bool RecordingShell::Shell_NotifyIcon(NotifyMessage message, const NotifyIconData &data) {
    calls.append({message, data});
    return true;
}

std::int32_t RecordingShell::SHAppBarMessage(int message, AppBarData &data) {
    appBarMessages.append(message);
    appBarSizes.append(data.cbSize);
    return taskbar;
}

QList<std::uint32_t> RecordingShell::Ids(NotifyMessage message) const {
    QList<std::uint32_t> ids;
    for (const Call &call : calls)
        if (call.message == message)
            ids.append(call.data.uID);
    return ids;
}
