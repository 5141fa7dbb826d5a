#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QElapsedTimer>
#include <QObject>
#include <QString>

#include <chrono>
#include <cstddef>
#include <functional>
#include <optional>

#include "deliveryoutcome.h"
#include "messagetext.h"
#include "replyparser.h"
#include "sessionview.h"

class QTimer;
class Winsock;

// The nine lamps of the progress row (members 0 to 8), by the step each one marks.
enum class ProgressLamp : int {
    Started,   // the session has begun
    Greeting,  // the wait for the greeting has ended
    Greeted,   // ehlo (or helo) answered
    Sender,    // mail from answered
    Recipient, // rcpt to answered
    Data,      // data answered; lit again while the header goes out
    Header,    // the header has gone out; lit again once the end of data is answered
    Body,      // the body has gone out (teal); lit again once quit is answered
    Result,    // the session's outcome
};

// One exchange of the SMTP dialogue: what goes out, the reply it waits for (0: none), and the
// lamp lit once that wait has ended, whatever its outcome.
struct Exchange {
    enum class Out { Connect, Ehlo, MailFrom, RcptTo, Data, Message, EndOfData, Quit };
    Out out;
    int awaited;
    ProgressLamp lamp;
    Lamp colour;
};

// The mail module: one SMTP session at a time over the main window's socket, with its
// progress on the window. A session is a walk through the dialogue table driven by the
// socket's events and one deadline timer; nothing waits inside a call.
class Module1 : public QObject {
    Q_OBJECT
public:
    using Clock = std::function<QDateTime()>;
    using Done = std::function<void(const DeliveryOutcome &)>;

    Module1(Winsock &socket, SessionView &view, Clock now, QObject *parent = nullptr);
    ~Module1() override;

    // Starts one session and returns: connect, greeting, ehlo (helo when the server does not
    // know ehlo), mail from, rcpt to, data, the message, end of data, quit. The mail is
    // delivered when the server accepted the end of data; what goes wrong with quit
    // afterwards is only noted in the Events box. `done` gets the outcome once, from the
    // event loop, after the session has ended.
    void SendMail(const QString &server, const QString &headerSender, const QString &envelopeSender,
                  const QString &recipient, const QString &subject, const QString &body, Done done);

    // Ends the running session at once as a failure (the user is leaving the program);
    // a no-op between sessions.
    void Abandon();

    qint32 MsgsSent = 0;
    qint16 ReplyTimeout = 50; // seconds; start-up sets it
    // When non-zero, replaces ReplyTimeout (tests and benchmarks wait less).
    std::chrono::milliseconds ReplyTimeoutOverride{0};
    // The wait for the reply to the end of data: RFC 5321 asks a client to allow 10 minutes.
    std::chrono::milliseconds EndOfDataTimeout = std::chrono::minutes(10);

private:
    // Where a session stands: between sessions, or at one row of the dialogue (m_row),
    // sending what the row sends or waiting for its reply.
    enum class Phase {
        Idle,          // no session
        Sending,       // the row's text goes out
        AwaitingReply, // the row's reply is awaited
        AwaitingHelo,  // the server did not know ehlo: the reply to helo is awaited
    };
    // What one session carries, as it goes on the wire, and what the server said it takes.
    struct Session {
        QString server;
        QByteArray mailFrom;
        QByteArray rcptTo;
        MessageInput message;
        bool needsSmtpUtf8 = false;   // an address or a header line is not plain ASCII
        bool smtpUtf8Offered = false; // the server's ehlo reply lists SMTPUTF8
    };
    // Why the running session failed, for the caller and in the window's words.
    struct Failure {
        DeliveryOutcome::Reason reason = DeliveryOutcome::Reason::None;
        QString text; // begins with a blank, as the result line expects
    };

    // The socket's events.
    void Winsock1_Connect();
    void Winsock1_DataArrival();
    void Winsock1_Error(int number, const QString &description);
    void Winsock1_PeerClosed();

    // Clears what the last session received, writes the first line of the Events box and
    // dates the message.
    void beginSession();
    // Sends what the current row sends, then waits for its reply or ends the row.
    void sendExchange();
    // Starts waiting, in `phase`, for the reply to what was just sent.
    void WaitReply(Phase phase = Phase::AwaitingReply);
    bool awaiting() const {
        return m_phase == Phase::AwaitingReply || m_phase == Phase::AwaitingHelo;
    }
    // Looks at what the socket has said for the running wait, and ends the row when that
    // decides it.
    void checkForReply();
    // A complete reply has come for the running wait: it answers the row, or it refuses the
    // mail (and "quit" goes out), or the server does not know ehlo and helo goes out.
    void replyArrived(const ReplyParser::Reply &reply);
    void sendHelo();
    // "quit": the last row of the dialogue, and the goodbye after a refusal.
    void sayGoodbye();
    // Ends the current row: lights its lamp, then sends the next row or ends the session.
    void endExchange();
    // Whether the server has taken the mail: it accepted the end of data.
    bool mailAccepted() const;
    // How long the running wait may last.
    std::chrono::milliseconds waitLimit() const;
    void deadlinePassed();

    // Writes the result line, the count and the result lamp, then closes the session.
    void endSession();
    // Closes the socket, turns the step lamps grey, and reports the outcome.
    void closeSession(DeliveryOutcome outcome);
    // A fault of the socket control: noted in the Events box, and the session ends where it
    // stands (the next session finds and closes a socket left open).
    void endAtFault(const QString &description);
    // Hands the outcome to whoever started the session, from the event loop.
    void reportOutcome(DeliveryOutcome outcome);

    // Sends the bytes while the session has not failed; a refused send is reported in the
    // Events box and fails nothing.
    void SendLine(const QByteArray &text);
    void fail(const QString &text, DeliveryOutcome::Reason reason);
    void setLamp(ProgressLamp lamp, Lamp colour);
    // Adds a line to the Events box (a fault description or the socket status report).
    void appendEvent(const QString &line);
    // "hh:mm:ss" from the injected clock, whatever the locale (the date and time:
    // DeliveryOutcome::Stamp).
    QString timeStamp(const QDateTime &now) const;

    Winsock &m_socket;
    SessionView &m_view;
    Clock m_now;
    ReplyParser m_parser;
    QTimer *m_deadline;
    Done m_done;
    Phase m_phase = Phase::Idle;
    std::size_t m_row = 0;     // the row of the dialogue the session is at
    QElapsedTimer m_waitClock; // monotonic: neither midnight nor a clock change moves it
    Session m_session;
    std::optional<Failure> m_failure; // none while the session has met no failure
};
