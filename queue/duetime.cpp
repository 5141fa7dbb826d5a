#include "duetime.h"

#include <QDateTime>

namespace {

// A decimal number of one to `maxDigits` digits, or -1.
int number(QStringView text, int maxDigits) {
    if (text.isEmpty() || text.size() > maxDigits)
        return -1;
    int value = 0;
    for (QChar c : text) {
        if (c < u'0' || c > u'9')
            return -1;
        value = value * 10 + (c.unicode() - u'0');
    }
    return value;
}

} // namespace

qint64 WallMinute::Number() const {
    return (date.toJulianDay() * 24 + hour) * 60 + minute;
}

WallMinute WallMinute::Of(const QDateTime &localTime) {
    const QTime t = localTime.time();
    return {localTime.date(), t.hour(), t.minute()};
}

namespace DueTime {

std::optional<WallMinute> Compose(QDate date, const QString &hourText, const QString &minuteText) {
    if (!ValidDate(date) || !ValidHour(hourText) || !ValidMinute(minuteText))
        return std::nullopt;
    return WallMinute{date, number(hourText, 2), number(minuteText, 2)};
}

QString Text(const WallMinute &due) {
    return QStringLiteral("%1/%2/%3 %4:%5")
        .arg(due.date.year())
        .arg(due.date.month())
        .arg(due.date.day())
        .arg(due.hour, 2, 10, QLatin1Char('0'))
        .arg(due.minute, 2, 10, QLatin1Char('0'));
}

std::optional<WallMinute> Read(const QString &dueText) {
    // Hand-parsed: a tick reads every entry's due text, and the queue can hold
    // tens of thousands of them.
    const QStringView text = QStringView(dueText).trimmed();
    const qsizetype blank = text.indexOf(u' ');
    if (blank < 0)
        return std::nullopt;
    const QStringView datePart = text.left(blank);
    const QStringView timePart = text.mid(blank + 1);

    const qsizetype slash1 = datePart.indexOf(u'/');
    const qsizetype slash2 = slash1 < 0 ? -1 : datePart.indexOf(u'/', slash1 + 1);
    const qsizetype colon = timePart.indexOf(u':');
    if (slash2 < 0 || colon < 0)
        return std::nullopt;

    const int year = number(datePart.left(slash1), 4);
    const int month = number(datePart.mid(slash1 + 1, slash2 - slash1 - 1), 2);
    const int day = number(datePart.mid(slash2 + 1), 2);
    const int hour = number(timePart.left(colon), 2);
    const int minute = number(timePart.mid(colon + 1), 2);
    const QDate date(year, month, day);
    if (year < 0 || month < 0 || day < 0 || !date.isValid() || hour < 0 || hour > 23 ||
        minute < 0 || minute > 59)
        return std::nullopt;
    return WallMinute{date, hour, minute};
}

QString DisplayLine(const WallMinute &due, const QLocale &locale) {
    return QStringLiteral("%1%2%3 %4:%5")
        .arg(due.date.day(), 2, 10, QLatin1Char('0'))
        .arg(locale.monthName(due.date.month(), QLocale::ShortFormat))
        .arg(due.date.year(), 4, 10, QLatin1Char('0'))
        .arg(due.hour, 2, 10, QLatin1Char('0'))
        .arg(due.minute, 2, 10, QLatin1Char('0'));
}

QString ChosenDateText(QDate date, const QLocale &locale) {
    return QStringLiteral("%1, %2, %3")
        .arg(date.day(), 2, 10, QLatin1Char('0'))
        .arg(locale.monthName(date.month(), QLocale::ShortFormat))
        .arg(date.year(), 4, 10, QLatin1Char('0'));
}

qint64 MinuteDifference(const WallMinute &due, const QDateTime &now) {
    return due.Number() - WallMinute::Of(now).Number();
}

bool ValidDate(QDate date) {
    return date.isValid() && date.year() >= FirstYear && date.year() <= LastYear;
}

bool ValidHour(const QString &text) {
    const int value = number(text, 2);
    return value >= 0 && value <= 23;
}

bool ValidMinute(const QString &text) {
    const int value = number(text, 2);
    return value >= 0 && value <= 59;
}

} // namespace DueTime
