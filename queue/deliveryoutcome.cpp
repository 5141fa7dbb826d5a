#include "deliveryoutcome.h"

DeliveryOutcome DeliveryOutcome::Delivered(const QString &text) {
    return {true, Reason::None, text};
}

DeliveryOutcome DeliveryOutcome::Failed(const QDateTime &attempt, Reason reason,
                                        const QString &what) {
    return {false, reason, FailureText(attempt, what)};
}

QString DeliveryOutcome::Stamp(const QDateTime &when) {
    const QDate date = when.date();
    const QTime time = when.time();
    return QString::asprintf("%02d-%02d-%04d %02d:%02d:%02d", date.month(), date.day(), date.year(),
                             time.hour(), time.minute(), time.second());
}

QString DeliveryOutcome::FailureText(const QDateTime &attempt, const QString &what) {
    // The result line's reasons begin with their own blank; one blank parts them from the time.
    const QString reason = what.startsWith(u' ') ? what : u' ' + what;
    return Stamp(attempt) + reason;
}
