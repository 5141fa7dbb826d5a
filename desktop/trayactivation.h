#pragma once

#include <QList>
#include <QSystemTrayIcon>

#include <cstdint>
#include <optional>

// Turns the activations a system tray reports into the mouse messages a tray
// icon posts. Trays differ: the X tray reports a double click as Trigger then
// DoubleClick, a StatusNotifier host only as two Triggers. Two Triggers within
// the double-click interval therefore count as one left double click, and one
// gesture never yields two double clicks.
class TrayActivation {
public:
    explicit TrayActivation(int doubleClickIntervalMs);

    // The mouse messages for one activation at time nowMs (any monotonic clock).
    QList<std::int32_t> Translate(QSystemTrayIcon::ActivationReason reason, qint64 nowMs);

private:
    bool Within(const std::optional<qint64> &then, qint64 nowMs) const;

    int m_interval;
    std::optional<qint64> m_lastSingleClick; // a Trigger that may start a double click
    std::optional<qint64> m_pairedClicks;    // two Triggers just reported as a double click
};
