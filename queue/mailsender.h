#pragma once

#include "deliveryoutcome.h"
#include "queueentry.h"

#include <QDateTime>
#include <QObject>
#include <QSet>
#include <QString>

#include <deque>
#include <functional>
#include <optional>

// What one mail carries from its entry: the rest (the server, the originator) is read when
// its session starts.
struct MailJob {
    EntryKey key = 0;
    QString recipient;
    QString subject;
    QString message; // as stored
};

// The one sender of due mail. Mails handed over go out one after another, in the order they
// were handed over, one session at a time; each ends in one outcome, reported once to whoever
// handed it over. Handing over returns at once: nothing that is due waits for a mail.
class MailSender : public QObject {
    Q_OBJECT
public:
    using Clock = std::function<QDateTime()>;
    using Done = std::function<void(const DeliveryOutcome &)>;
    // Runs one mail's session and returns; `done` gets the session's outcome once, later.
    using Dispatch = std::function<void(const MailJob &, Done)>;

    MailSender(Dispatch dispatch, Clock now, QObject *parent = nullptr);

    // Queues the mail behind those handed over before, and starts it when its turn comes.
    void Hand(MailJob job, Done done);
    // Whether the mail of `key` has been handed over and its outcome has not yet come.
    bool Holds(EntryKey key) const;
    // The entry whose mail is being sent; 0 between sessions.
    EntryKey Sending() const;
    bool Idle() const { return !m_current && m_waiting.empty(); }
    // Drops the mail of `key` if it has not started; the one being sent goes on.
    void Withdraw(EntryKey key);
    // Drops every mail that has not started, and starts none from now on (the program ends).
    void Stop();

Q_SIGNALS:
    // A session has started or ended: Sending() has changed.
    void SendingChanged();

private:
    struct Handed {
        MailJob job;
        Done done;
    };
    void startNext();
    void ended(quint64 session, const DeliveryOutcome &outcome);

    Dispatch m_dispatch;
    Clock m_now;
    std::deque<Handed> m_waiting;
    std::optional<Handed> m_current;
    QSet<EntryKey> m_held; // the keys of m_waiting and m_current: a tick asks for each due mail
    quint64 m_session = 0; // tells a late or repeated answer from the running session's
    bool m_stopped = false;
};
