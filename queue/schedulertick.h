#pragma once

#include "deliveryoutcome.h"

#include <QDateTime>
#include <QObject>
#include <QString>

#include <functional>

class NotificationQueue;

// What a tick needs from the main window to deliver due entries, one way per mode. Each
// delivery ends in one outcome.
class TickWindow {
public:
    using Delivered = std::function<void(const DeliveryOutcome &)>;

    virtual ~TickWindow() = default;
    // Restores the main window and opens a new notice window with the text.
    virtual DeliveryOutcome ShowNotice(const QString &text) = 0;
    // Starts sending entry k as mail and returns; `done` gets the outcome once, later.
    virtual void DispatchMail(int k, Delivered done) = 0;
    // True once the user has chosen to leave: the tick stops delivering.
    virtual bool Leaving() const = 0;
};

// The scheduler's pass over the queue: every entry whose due minute has come
// and that is not yet delivered is delivered by its mode, in position order,
// and its status becomes delivered or retry, a retry with what went wrong. A mail is waited for by
// reacting to its end, never inside a call: the pass goes on from the next position once the mail's
// outcome has arrived.
class SchedulerTick : public QObject {
    Q_OBJECT
public:
    using Clock = std::function<QDateTime()>;

    SchedulerTick(NotificationQueue &queue, TickWindow &window, Clock now,
                  QObject *parent = nullptr);

    // Starts a pass. It ends with Finished, emitted before Start returns when
    // no mail had to be waited for. Does nothing while a pass runs.
    void Start();
    bool Running() const { return m_running; }

    // The text of a notice: " " + display line, CR LF, the stored message.
    static QString NoticeText(const QString &displayLine, const QString &message);

Q_SIGNALS:
    void Finished();

private:
    // Delivers from the next position on, until a mail is under way or the pass is over.
    void walk();
    DeliveryOutcome showNotice(int k);
    // Starts the mail of entry k; false when it failed to start (the entry is then retried).
    bool startMail(int k);
    // The one place where an outcome becomes the entry's status.
    void record(int k, const DeliveryOutcome &outcome);
    void finish();

    NotificationQueue &m_queue;
    TickWindow &m_window;
    Clock m_now;
    bool m_running = false;
    int m_count = 0;    // taken once a pass: nothing can store or remove meanwhile
    int m_next = 0;     // the next position to look at
    quint64 m_pass = 0; // tells a late answer of an earlier pass from this one's
};
