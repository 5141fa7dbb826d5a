#pragma once

#include <QString>

// Status codes of a queue entry.
namespace StatusCode {
inline const QString Waiting = QStringLiteral("##");   // never attempted
inline const QString Delivered = QStringLiteral("OK"); // final
inline const QString Retry = QStringLiteral("WT");     // attempted, tried again every tick
} // namespace StatusCode

// Delivery modes of a queue entry.
namespace ModeCode {
inline const QString PopUp = QStringLiteral("PU");
inline const QString Mail = QStringLiteral("MX");
} // namespace ModeCode

// One stored notification: seven texts, one per column of the queue table.
struct QueueEntry {
    QString DueText;     // "2001/3/5 07:40": year/month/day hour:minute
    QString Message;     // a blank, then the message as typed
    QString Status;      // "##", "OK" or "WT"
    QString Recipient;   // as typed
    QString Mode;        // "PU" or "MX"
    QString Subject;     // as typed
    QString DisplayLine; // "05Mar2001 07:40"

    bool operator==(const QueueEntry &) const = default;
};
