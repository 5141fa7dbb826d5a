#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QMetaObject>
#include <QString>

#include <chrono>
#include <functional>
#include <optional>
#include <span>

#include "replyparser.h"
#include "sessionview.h"

class QEventLoop;
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

// What became of one mail: whether the server took it, and why not when it did not.
struct MailOutcome {
    bool delivered = false;
    QString reason; // what the result line or the Events box says went wrong; empty if nothing
};

// The mail module: one SMTP session at a time over the main window's socket,
// with its progress on the window and its outcome in MailDelivered. It handles
// the socket's events itself from construction on.
class Module1 {
public:
    using Clock = std::function<QDateTime()>;

    Module1(Winsock &socket, SessionView &view, Clock now);
    ~Module1();
    Module1(const Module1 &) = delete;
    Module1 &operator=(const Module1 &) = delete;

    // Runs one complete session: connect, greeting, ehlo (helo when the server
    // does not know ehlo), mail from, rcpt to, data, the message, end of data,
    // quit. The mail is delivered (and MailDelivered true) when the server
    // accepted the end of data; what goes wrong with quit afterwards is only
    // noted in the Events box.
    MailOutcome SendMail(const QString &server, const QString &headerSender,
                         const QString &envelopeSender, const QString &recipient,
                         const QString &subject, const QString &body);

    // Ends the running session at once as a failure (the user is leaving the
    // program); a no-op between sessions.
    void Abandon();

    bool MailDelivered = false;
    qint32 MsgsSent = 0;
    qint16 ReplyTimeout = 50; // seconds; start-up sets it
    // When non-zero, replaces ReplyTimeout (tests and benchmarks wait less).
    std::chrono::milliseconds ReplyTimeoutOverride{0};
    // The wait for the reply to the end of data: RFC 5321 asks a client to allow 10 minutes.
    std::chrono::milliseconds EndOfDataTimeout = std::chrono::minutes(10);
    QString QueueFileName; // start-up only

    // Session state, readable for the window and the tests.
    QByteArray ServerReply;
    bool SessionOk = false;
    QString ErrorText;
    QString DateHeaderText;

private:
    struct Session;

    // The socket's events.
    void Winsock1_Connect();
    void Winsock1_DataArrival();
    void Winsock1_Error(int number, const QString &description);
    void Winsock1_PeerClosed();

    // Starts a session: the date text, a clean slate, the first line of the Events box.
    void Prepare(Session &session);
    // Walks the dialogue until it ends or fails; true when the server took the mail.
    bool RunDialogue(Session &session);
    // Sends what one exchange sends and waits for its reply.
    void Perform(const Exchange &exchange, Session &session);
    // The result line, the count and lamp 8 after the dialogue.
    MailOutcome Judge(bool accepted);

    // Sends the bytes while the session is still good; a refused send is reported in the
    // Events box and leaves SessionOk as it was.
    void SendLine(const QByteArray &text);
    // Waits for the next complete reply and fails the session unless it answers `expected`
    // (for 250, any 2yz reply does) or carries one of the `tolerated` codes. Window events are
    // processed meanwhile. Returns the code of the reply that ended the wait, 0 if none did.
    int WaitReply(int expected, std::chrono::milliseconds limit,
                  std::span<const int> tolerated = {});
    // The same with the usual limit for every reply but the one to the end of data.
    int WaitReply(int expected);
    // The code a reply ends the wait with (0: none, the session failed), or nothing while the
    // reply is still incomplete.
    std::optional<int> Settle(const ReplyParser::Reply &reply, int expected,
                              std::span<const int> tolerated);
    std::chrono::milliseconds ReplyLimit() const;

    // Ends the running wait's event loop so that it looks again at what has happened.
    void WakeWait();
    void Fail(const QString &reason);
    // Adds a line to the Events box (a fault description or the socket status report).
    void AppendEvent(const QString &line);
    // "mm-dd-yyyy hh:mm:ss" and "hh:mm:ss" from the injected clock, whatever the locale.
    QString DateTimeStamp(const QDateTime &now) const;
    QString TimeStamp(const QDateTime &now) const;

    Winsock &m_socket;
    SessionView &m_view;
    Clock m_now;
    ReplyParser m_parser;
    QEventLoop *m_loop = nullptr; // the running wait's loop, if any
    bool m_woken = false;         // the running wait's loop was ended by this module
    bool m_running = false;       // a session is in SendMail
    bool m_peerClosed = false;    // the server closed the connection during this session
    QList<QMetaObject::Connection> m_socketEvents;
};
