#pragma once

#include "deliveryoutcome.h"
#include "queueentry.h"

#include <QDateTime>
#include <QObject>
#include <QString>

#include <functional>

class MailSender;
class NotificationQueue;

// What a tick needs from the main window to show a due pop-up.
class TickWindow {
public:
    virtual ~TickWindow() = default;
    // Restores the main window and opens a new notice window with the text.
    virtual DeliveryOutcome ShowNotice(const QString &text) = 0;
    // True once the user has chosen to leave: the tick delivers nothing more.
    virtual bool Leaving() const = 0;
};

// The scheduler's pass over the queue. Every entry whose due minute has come and that is not
// yet delivered is delivered by its mode, in position order: a pop-up is shown at once, and a
// mail is handed to the one mail sender, unless it holds that mail already. The pass never
// waits for a mail: it ends when it has looked at every entry, and each mail's outcome becomes
// its entry's status when it comes, wherever the entry stands by then.
class SchedulerTick : public QObject {
    Q_OBJECT
public:
    using Clock = std::function<QDateTime()>;

    SchedulerTick(NotificationQueue &queue, TickWindow &window, MailSender &sender, Clock now,
                  QObject *parent = nullptr);

    // One pass; it has delivered or handed over everything that was due when it returns.
    void Run();

    // The text of a notice: " " + display line, CR LF, the stored message.
    static QString NoticeText(const QString &displayLine, const QString &message);

private:
    DeliveryOutcome showNotice(int k);
    void handOverMail(int k);
    // The one place where an outcome becomes the entry's status; nothing once it is removed.
    void record(EntryKey key, const DeliveryOutcome &outcome);
    // Entries about to be removed: their mail, if it has not started, is not sent.
    void withdrawRemoved(int first, int last);

    NotificationQueue &m_queue;
    TickWindow &m_window;
    MailSender &m_sender;
    Clock m_now;
};
