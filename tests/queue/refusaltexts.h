#pragma once

#include <QString>

// The Store refusals as the user reads them, written out here rather than taken from the program,
// so that a changed text fails the tests that compare with them.
namespace RefusalText {
inline const QString NoOriginator = QStringLiteral("Please specify the originator e-mail address.");
inline const QString NoRecipient = QStringLiteral("Please specify the destination e-mail address.");
inline const QString NoSubject = QStringLiteral("Please specify the subject.");
inline const QString BadDate =
    QStringLiteral("Please choose a date from the year 1 to 9999 on the calendar.");
inline const QString BadHour =
    QStringLiteral("Please specify the hour as a number from 00 to 23 in the hour box.");
inline const QString BadMinute =
    QStringLiteral("Please specify the minute as a number from 00 to 59 in the minute box.");
inline const QString QueueFull =
    QStringLiteral("The queue is full (32767 notifications). Remove some before storing more.");
} // namespace RefusalText
