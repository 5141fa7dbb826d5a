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
#include <span>

#include "messagetext.h"
#include "replyparser.h"
#include "sessionview.h"

class QTimer;
class Winsock;

// One exchange of the SMTP dialogue: what goes out, the reply it waits for (0: none), and the
// lamp lit once that wait has ended, whatever its outcome.
struct Exchange {
    enum class Out { Connect, Ehlo, MailFrom, RcptTo, Data, Message, EndOfData, Quit };
    Out out;
    int awaited;
    int lamp;
    Lamp colour;
};

// What became of one mail: whether the server took it, why not when it did not, and the
// server's reply that decided it. Made once, at the end of a session.
struct MailOutcome {
    enum class Reason {
        None,          // delivered
        Refused,       // the server answered with a refusal
        TimedOut,      // no complete reply within the limit
        SocketError,   // the connection could not be made or broke
        PeerClosed,    // the server closed the connection
        NotSmtp,       // the server does not speak SMTP
        SocketBusy,    // a connection was still open at the start; nothing was sent
        Fault,         // the socket refused a property or the connect
        Abandoned,     // the user left the program
        Busy,          // another session was running; this one never started
        NeedsSmtpUtf8, // the mail is not plain ASCII and the server does not take SMTPUTF8
    };
    bool delivered = false;
    Reason reason = Reason::None;
    QString text;           // what the result line or the Events box says went wrong
    QByteArray serverReply; // the reply that ended the session, if any
};

// The mail module: one SMTP session at a time over the main window's socket, with its
// progress on the window. A session is a walk through the dialogue table driven by the
// socket's events and one deadline timer; nothing waits inside a call.
class Module1 : public QObject {
    Q_OBJECT
public:
    using Clock = std::function<QDateTime()>;
    using Done = std::function<void(const MailOutcome &)>;

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
    bool Running() const { return m_running; }

    qint32 MsgsSent = 0;
    qint16 ReplyTimeout = 50; // seconds; start-up sets it
    // When non-zero, replaces ReplyTimeout (tests and benchmarks wait less).
    std::chrono::milliseconds ReplyTimeoutOverride{0};
    // The wait for the reply to the end of data: RFC 5321 asks a client to allow 10 minutes.
    std::chrono::milliseconds EndOfDataTimeout = std::chrono::minutes(10);
    QString QueueFileName; // start-up only

    // The record of the latest session, written by the session alone and cleared when the
    // next one starts.
    bool MailDelivered = false;
    bool SessionOk = false;
    QByteArray ServerReply;
    QString ErrorText;
    QString DateHeaderText;

private:
    // What one session carries, as it goes on the wire.
    struct Session {
        QString server;
        QByteArray mailFrom;
        QByteArray rcptTo;
        MessageInput message;
        bool needsSmtpUtf8 = false; // an address or a header line is not plain ASCII
    };
    // The reply the session is waiting for, if any.
    struct Wait {
        int expected = 0;
        std::span<const int> tolerated;
        std::chrono::milliseconds limit{0};
        QElapsedTimer elapsed; // monotonic: neither midnight nor a clock change moves it
    };

    // The socket's events.
    void Winsock1_Connect();
    void Winsock1_DataArrival();
    void Winsock1_Error(int number, const QString &description);
    void Winsock1_PeerClosed();

    // The date text, a clean record, the first line of the Events box.
    void Prepare();
    // Sends what the current exchange sends, then waits for its reply or goes on.
    void Perform();
    // Lights the current exchange's lamp and goes on with the next one, or ends the dialogue.
    void Next();
    // Starts waiting for a reply answering `expected` (for 250, any 2yz reply does) or
    // carrying one of the `tolerated` codes.
    void WaitReply(int expected, std::chrono::milliseconds limit,
                   std::span<const int> tolerated = {});
    // Looks at what the socket has said for the running wait, and ends the wait when that
    // decides it.
    void Examine();
    // The running wait has ended with the reply `code` (0: none, the session failed).
    void ReplyEnded(int code);
    // The code a reply ends the wait with (0: none, the session failed), or nothing while the
    // reply is still incomplete.
    std::optional<int> Settle(const ReplyParser::Reply &reply);
    std::chrono::milliseconds ReplyLimit() const;
    void OnDeadline();

    // The result line, the count and lamp 8 after the dialogue, then the end of the session.
    void Judge();
    // Closes the socket, turns the step lamps grey, and hands the outcome over.
    void End(MailOutcome outcome);
    // A fault of the socket control: noted in the Events box, and the session ends where it
    // stands (the next session finds and closes a socket left open).
    void EndAtFault(const QString &description);
    void Hand(MailOutcome outcome);

    // Sends the bytes while the session is still good; a refused send is reported in the
    // Events box and leaves SessionOk as it was.
    void SendLine(const QByteArray &text);
    void Fail(const QString &reason, MailOutcome::Reason why);
    // Adds a line to the Events box (a fault description or the socket status report).
    void AppendEvent(const QString &line);
    // "mm-dd-yyyy hh:mm:ss" and "hh:mm:ss" from the injected clock, whatever the locale.
    QString DateTimeStamp(const QDateTime &now) const;
    QString TimeStamp(const QDateTime &now) const;

    Winsock &m_socket;
    SessionView &m_view;
    Clock m_now;
    ReplyParser m_parser;
    QTimer *m_deadline;
    Session m_session;
    Done m_done;
    std::optional<Wait> m_wait;
    std::size_t m_step = 0;
    bool m_running = false;
    bool m_heloSent = false;
    bool m_smtpUtf8Offered = false; // the server's EHLO reply lists SMTPUTF8
    bool m_accepted = false;        // the server took the end of data
    bool m_peerClosed = false;      // the server closed the connection during this session
    MailOutcome::Reason m_why = MailOutcome::Reason::None;
    QByteArray m_decidingReply;
};
