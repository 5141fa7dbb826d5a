#include "schedulertick.h"

#include "duetime.h"
#include "notificationqueue.h"

SchedulerTick::SchedulerTick(NotificationQueue &queue, TickWindow &window, Clock now)
    : m_queue(queue)
    , m_window(window)
    , m_now(std::move(now)) {}

QString SchedulerTick::NoticeText(const QString &displayLine, const QString &message) {
    return u' ' + displayLine + QStringLiteral("\r\n") + message;
}

void SchedulerTick::Run() {
    // The count is taken once: nothing can store or remove while a tick runs.
    const int count = m_queue.Count();
    for (int counter = 1; counter <= count; ++counter) {
        if (m_window.Leaving())
            return;
        const int k = counter - 1;
        const QDateTime now = m_now();

        // An entry whose due text cannot be read is passed over: Store refuses
        // such times, so it can only come from outside the normal path.
        const std::optional<WallMinute> due = m_queue.Due(k);
        if (!due.has_value())
            continue;
        const qint64 d = DueTime::MinuteDifference(*due, now);
        if (d >= 1 || m_queue.Status(k) == StatusCode::Delivered)
            continue;

        bool delivered = false;
        const QString mode = m_queue.Mode(k);
        try {
            if (mode == ModeCode::PopUp) {
                m_window.ShowNotice(NoticeText(m_queue.DisplayLine(k), m_queue.Message(k)));
                delivered = true;
            }
            if (mode == ModeCode::Mail)
                delivered = m_window.DispatchMail(k);
        } catch (...) {
            delivered = false;
        }
        m_queue.SetStatus(k, delivered ? StatusCode::Delivered : StatusCode::Retry);
        m_window.ProcessEvents();
    }
}
