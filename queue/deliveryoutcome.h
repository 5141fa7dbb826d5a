#pragma once

#include <QDateTime>
#include <QString>

// What became of one delivery of a due entry: made once, where the delivery ends (the notice
// window, the mail session, the mail sender), and turned into the entry's status by the tick
// alone.
struct DeliveryOutcome {
    enum class Reason {
        None,          // delivered
        Refused,       // the server answered with a refusal
        TimedOut,      // no complete reply within the limit
        SocketError,   // the connection could not be made or broke
        PeerClosed,    // the server closed the connection
        NotSmtp,       // the server does not speak SMTP
        SocketBusy,    // a connection was still open at the start; nothing was sent
        Fault,         // refused inside the program: a socket property, the connect, the notice
        Abandoned,     // the user left the program
        Busy,          // another session was running; this one never started
        NeedsSmtpUtf8, // the mail is not plain ASCII and the server does not take SMTPUTF8
    };
    bool MailDelivered = false; // the notification went out: the notice shown, the mail accepted
    Reason reason = Reason::None;
    QString text; // for a failure, FailureText's shape; for a mail accepted, the result line

    static DeliveryOutcome Delivered(const QString &text = QString());
    // A failed attempt, with its text in the one shape every failure has.
    static DeliveryOutcome Failed(const QDateTime &attempt, Reason reason, const QString &what);

    // "mm-dd-yyyy hh:mm:ss", whatever the locale: how the window dates a mail's events.
    static QString Stamp(const QDateTime &when);
    // The time of the attempt, then what went wrong, as the result line says it:
    // "12-07-2026 12:00:05 Mail not delivered: 550 no such user".
    static QString FailureText(const QDateTime &attempt, const QString &what);
};
