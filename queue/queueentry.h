#pragma once

#include "duetime.h"

#include <QString>

// Where an entry stands. Two of them wait: one never tried ("##"), and one tried and failed
// ("WT"), tried again at every tick; delivered ("OK") is final.
enum class EntryStatus { NeverTried, Delivered, TriedAndFailed };

// How an entry is delivered. Every place that acts on it decides by a switch, so that a new
// mode is pointed out by the compiler wherever it needs handling.
enum class EntryMode { PopUp, Mail };

// Names one entry for as long as it is stored: unlike its position, it does not move when an
// entry before it is removed, and it is never given to another entry. 0 names none.
using EntryKey = quint64;

// One stored notification. The due minute, the mode and the status are values;
// the texts the table shows for them are made by the queue model.
struct QueueEntry {
    WallMinute Due;
    QString Message; // a blank, then the message as typed
    EntryStatus Status = EntryStatus::NeverTried;
    QString Recipient; // as typed
    EntryMode Mode = EntryMode::PopUp;
    QString Subject; // as typed

    bool operator==(const QueueEntry &) const = default;
};
