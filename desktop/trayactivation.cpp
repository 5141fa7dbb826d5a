#include "trayactivation.h"

#include "winapi.h"

TrayActivation::TrayActivation(int doubleClickIntervalMs)
    : m_interval(doubleClickIntervalMs) {}

bool TrayActivation::Within(const std::optional<qint64> &then, qint64 nowMs) const {
    return then.has_value() && nowMs >= *then && nowMs - *then <= m_interval;
}

QList<std::int32_t> TrayActivation::Translate(QSystemTrayIcon::ActivationReason reason,
                                              qint64 nowMs) {
    switch (reason) {
    case QSystemTrayIcon::Trigger:
        if (Within(m_lastSingleClick, nowMs)) {
            // The second click of a double click, as a window would see it.
            m_lastSingleClick.reset();
            m_pairedClicks = nowMs;
            return {WM_LBUTTONDBLCLK, WM_LBUTTONUP};
        }
        m_lastSingleClick = nowMs;
        m_pairedClicks.reset();
        return {WM_LBUTTONDOWN, WM_LBUTTONUP};
    case QSystemTrayIcon::DoubleClick:
        // Whatever follows starts a new gesture.
        m_lastSingleClick.reset();
        if (Within(m_pairedClicks, nowMs)) {
            m_pairedClicks.reset();
            return {}; // already reported from the two Triggers before it
        }
        return {WM_LBUTTONDBLCLK};
    case QSystemTrayIcon::Context:
    case QSystemTrayIcon::MiddleClick:
        // Another button in between: the next left click starts afresh.
        m_lastSingleClick.reset();
        m_pairedClicks.reset();
        return reason == QSystemTrayIcon::Context
                   ? QList<std::int32_t>{WM_RBUTTONDOWN, WM_RBUTTONUP}
                   : QList<std::int32_t>{WM_MBUTTONDOWN, WM_MBUTTONUP};
    case QSystemTrayIcon::Unknown:
        break;
    }
    return {};
}
