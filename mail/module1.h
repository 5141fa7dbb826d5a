#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <chrono>
#include <functional>

class QEventLoop;
class SessionView;
class Winsock;

// The mail module: one SMTP session at a time over the main window's socket,
// with its progress on the window and its outcome in MailDelivered.
class Module1 {
public:
    using Clock = std::function<QDateTime()>;

    Module1(Winsock &socket, SessionView &view, Clock now);
    ~Module1();
    Module1(const Module1 &) = delete;
    Module1 &operator=(const Module1 &) = delete;

    // Runs one complete session: connect, greeting, ehlo, mail from, rcpt to,
    // data, the message, end of data, quit. Leaves MailDelivered true only
    // when every step succeeded.
    void SendMail(const QString &server, const QString &headerSender,
                  const QString &envelopeSender, const QString &recipient,
                  const QString &subject, const QString &body);

    // Socket events, forwarded by the main window's handlers.
    void OnConnect();
    void OnDataArrival();
    void OnError(int number, const QString &description);
    void OnPeerClosed();

    // Ends the running session at once as a failure (the user is leaving the
    // program); a no-op between sessions.
    void Abandon();

    bool MailDelivered = false;
    qint32 MsgsSent = 0;
    qint16 ReplyTimeout = 50; // seconds; start-up sets it
    QString QueueFileName;    // start-up only

    // Session state, readable for the window and the tests.
    QByteArray ServerReply;
    bool SessionOk = false;
    QString ErrorText;
    QString DateHeaderText;

private:
    // ... the SMTP helper fills this in
};
