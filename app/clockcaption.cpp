#include "clockcaption.h"

namespace ClockCaption {

QString ClockText(const QDateTime &now, const QLocale &locale) {
    const QDate date = now.date();
    const QTime time = now.time();
    return QStringLiteral("%1,%2 %3,%4  %5:%6:%7")
        .arg(locale.dayName(date.dayOfWeek(), QLocale::LongFormat),
             locale.monthName(date.month(), QLocale::LongFormat))
        .arg(date.day(), 2, 10, QLatin1Char('0'))
        .arg(date.year(), 4, 10, QLatin1Char('0'))
        .arg(time.hour(), 2, 10, QLatin1Char('0'))
        .arg(time.minute(), 2, 10, QLatin1Char('0'))
        .arg(time.second(), 2, 10, QLatin1Char('0'));
}

} // namespace ClockCaption
