#include "schedulertick.h"

#include "duetime.h"
#include "mailsender.h"
#include "notificationqueue.h"

#include <QLoggingCategory>

#include <exception>

Q_LOGGING_CATEGORY(lcTick, "tallowick.tick")

SchedulerTick::SchedulerTick(NotificationQueue &queue, TickWindow &window, MailSender &sender,
                             Clock now, QObject *parent)
    : QObject(parent)
    , m_queue(queue)
    , m_window(window)
    , m_sender(sender)
    , m_now(std::move(now)) {
    connect(&m_queue, &NotificationQueue::rowsAboutToBeRemoved, this,
            [this](const QModelIndex &, int first, int last) { withdrawRemoved(first, last); });
}

QString SchedulerTick::NoticeText(const QString &displayLine, const QString &message) {
    return u' ' + displayLine + QStringLiteral("\r\n") + message;
}

void SchedulerTick::Run() {
    if (m_window.Leaving())
        return;
    // Nothing can store or remove during the pass: the count holds to its end.
    const int count = m_queue.Count();
    for (int k = 0; k < count; ++k) {
        const std::optional<WallMinute> due = m_queue.Due(k);
        if (!due || DueTime::MinuteDifference(*due, m_now()) >= 1 ||
            m_queue.Status(k) == EntryStatus::Delivered)
            continue;
        switch (m_queue.Mode(k)) {
        case EntryMode::PopUp:
            record(m_queue.Key(k), showNotice(k));
            break;
        case EntryMode::Mail:
            handOverMail(k);
            break;
        }
    }
}

DeliveryOutcome SchedulerTick::showNotice(int k) {
    try {
        return m_window.ShowNotice(NoticeText(m_queue.DisplayLine(k), m_queue.Message(k)));
    } catch (const std::exception &fault) {
        qCWarning(lcTick, "The notice of entry %d could not be shown: %s", k, fault.what());
        return DeliveryOutcome::Failed(m_now(), DeliveryOutcome::Reason::Fault,
                                       QString::fromLocal8Bit(fault.what()));
    }
}

void SchedulerTick::handOverMail(int k) {
    const EntryKey key = m_queue.Key(k);
    // A mail handed over at an earlier tick is still on its way: its outcome decides whether
    // it is tried again.
    if (m_sender.Holds(key))
        return;
    m_sender.Hand({key, m_queue.Recipient(k), m_queue.Subject(k), m_queue.Message(k)},
                  [this, key](const DeliveryOutcome &outcome) { record(key, outcome); });
}

void SchedulerTick::record(EntryKey key, const DeliveryOutcome &outcome) {
    const int k = m_queue.PositionOf(key);
    if (k < 0)
        return;
    if (outcome.MailDelivered)
        m_queue.SetStatus(k, EntryStatus::Delivered);
    else
        m_queue.SetStatus(k, EntryStatus::TriedAndFailed, outcome.text);
}

void SchedulerTick::withdrawRemoved(int first, int last) {
    for (int k = first; k <= last; ++k)
        m_sender.Withdraw(m_queue.Key(k));
}
