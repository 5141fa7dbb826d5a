#pragma once

#include "duetime.h"

#include <QString>

// Where an entry stands: never attempted, delivered (final), or attempted and
// tried again at every tick.
enum class EntryStatus { Waiting, Delivered, Retry };

// How an entry is delivered.
enum class EntryMode { PopUp, Mail };

// One stored notification. The due minute, the mode and the status are values;
// the texts the table shows for them are made by the queue model.
struct QueueEntry {
    WallMinute Due;
    QString Message; // a blank, then the message as typed
    EntryStatus Status = EntryStatus::Waiting;
    QString Recipient; // as typed
    EntryMode Mode = EntryMode::PopUp;
    QString Subject; // as typed

    bool operator==(const QueueEntry &) const = default;
};
