#include "schedulertick.h"

#include "duetime.h"
#include "notificationqueue.h"

#include <QLoggingCategory>

#include <exception>

Q_LOGGING_CATEGORY(lcTick, "tallowick.tick")

SchedulerTick::SchedulerTick(NotificationQueue &queue, TickWindow &window, Clock now,
                             QObject *parent)
    : QObject(parent)
    , m_queue(queue)
    , m_window(window)
    , m_now(std::move(now)) {}

QString SchedulerTick::NoticeText(const QString &displayLine, const QString &message) {
    return u' ' + displayLine + QStringLiteral("\r\n") + message;
}

void SchedulerTick::Start() {
    if (m_running)
        return;
    m_running = true;
    ++m_pass;
    m_count = m_queue.Count();
    m_next = 0;
    walk();
}

void SchedulerTick::walk() {
    while (m_next < m_count) {
        if (m_window.Leaving())
            break;
        const int k = m_next++;
        const std::optional<WallMinute> due = m_queue.Due(k);
        if (!due || DueTime::MinuteDifference(*due, m_now()) >= 1 ||
            m_queue.Status(k) == EntryStatus::Delivered)
            continue;

        if (m_queue.Mode(k) == EntryMode::Mail) {
            if (startMail(k))
                return; // the pass goes on when the mail has ended
            continue;
        }
        record(k, showNotice(k));
    }
    finish();
}

DeliveryOutcome SchedulerTick::showNotice(int k) {
    try {
        return m_window.ShowNotice(NoticeText(m_queue.DisplayLine(k), m_queue.Message(k)));
    } catch (const std::exception &fault) {
        qCWarning(lcTick, "The notice of entry %d could not be shown: %s", k, fault.what());
        return {false, DeliveryOutcome::Reason::Fault, QString::fromLocal8Bit(fault.what())};
    }
}

bool SchedulerTick::startMail(int k) {
    const quint64 pass = m_pass;
    try {
        m_window.DispatchMail(k, [this, pass, k](const DeliveryOutcome &outcome) {
            if (pass != m_pass || !m_running || m_next != k + 1)
                return; // an answer nobody waits for any more
            record(k, outcome);
            walk();
        });
        return true;
    } catch (const std::exception &fault) {
        qCWarning(lcTick, "The mail of entry %d could not be started: %s", k, fault.what());
        record(k, {false, DeliveryOutcome::Reason::Fault, QString::fromLocal8Bit(fault.what())});
        return false;
    }
}

void SchedulerTick::record(int k, const DeliveryOutcome &outcome) {
    if (outcome.MailDelivered)
        m_queue.SetStatus(k, EntryStatus::Delivered);
    else
        m_queue.SetStatus(k, EntryStatus::Retry, outcome.text);
}

void SchedulerTick::finish() {
    m_running = false;
    Q_EMIT Finished();
}
