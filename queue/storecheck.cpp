#include "storecheck.h"

#include "duetime.h"
#include "notificationqueue.h"

namespace StoreCheck {

bool IsBlank(const QString &text) {
    for (QChar c : text)
        if (c != u' ')
            return false;
    return true;
}

std::optional<StoreRefusal> Check(const StoreInput &input) {
    using Box = StoreRefusal::Box;
    switch (input.mode) {
    case EntryMode::PopUp:
        break;
    case EntryMode::Mail:
        if (IsBlank(input.originator))
            return StoreRefusal{NoOriginator, Box::Originator, true};
        if (IsBlank(input.recipient))
            return StoreRefusal{NoRecipient, Box::Recipient, true};
        break;
    }
    if (IsBlank(input.subject))
        return StoreRefusal{NoSubject, Box::Subject, false};
    // A time the scheduler could not read would never come due.
    if (!DueTime::ValidDate(input.date))
        return StoreRefusal{BadDate, Box::Calendar, false};
    if (!DueTime::ValidHour(input.hour))
        return StoreRefusal{BadHour, Box::Hour, false};
    if (!DueTime::ValidMinute(input.minute))
        return StoreRefusal{BadMinute, Box::Minute, false};
    if (input.queueCount >= NotificationQueue::MaxEntries)
        return StoreRefusal{QueueFull, Box::None, false};
    return std::nullopt;
}

std::optional<QueueEntry> Entry(const StoreInput &input, const QString &message) {
    const std::optional<WallMinute> due = DueTime::Compose(input.date, input.hour, input.minute);
    if (!due.has_value())
        return std::nullopt;
    return QueueEntry{*due,       u' ' + message, EntryStatus::NeverTried, input.recipient,
                      input.mode, input.subject};
}

} // namespace StoreCheck
