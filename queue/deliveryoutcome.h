#pragma once

#include <QString>

// What became of one delivery of a due entry: made once, where the delivery ends (the notice
// window, the mail session), and turned into the entry's status by the tick alone.
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
    QString text; // what the window told the person, for a mail the result line with its time
};
