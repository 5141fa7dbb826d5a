#pragma once

#include "queueentry.h"
#include <QDate>

#include <QString>

#include <optional>

// What the Store command reads from the main window.
struct StoreInput {
    EntryMode mode = EntryMode::PopUp; // "Pop Up" or "E-mail"
    QString originator;                // Text7
    QString recipient;                 // Text4
    QString subject;                   // Text5
    QDate date;                        // Calendar1
    QString hour;                      // Combo1
    QString minute;                    // Combo2
    int queueCount = 0;
};

// Why a store is refused: the message to show, the box to put the focus in,
// and whether that box is set to one blank.
struct StoreRefusal {
    enum class Box { Originator, Recipient, Subject, Calendar, Hour, Minute, None };
    QString message;
    Box box = Box::None;
    bool blankTheBox = false;

    bool operator==(const StoreRefusal &) const = default;
};

namespace StoreCheck {

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

// The first reason the input cannot be stored, in the order the user is told
// of them; nothing when it can be stored.
std::optional<StoreRefusal> Check(const StoreInput &input);

// The entry a store that passed the check appends: the due minute from the
// date and the time boxes, the message after one blank, waiting, by pop-up or
// mail as the input says. Nothing when the boxes do not make a due time.
std::optional<QueueEntry> Entry(const StoreInput &input, const QString &message);

// A box counts as blank when nothing but blanks is left after trimming spaces.
bool IsBlank(const QString &text);

} // namespace StoreCheck
