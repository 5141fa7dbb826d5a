#pragma once

#include <QDate>
#include <QLocale>
#include <QString>

#include <optional>

class QDateTime;

// A due time as the user wrote it: a wall-clock date and minute, with no time
// zone. Comparing wall-clock minutes (not instants) is what makes an entry due
// at 02:30 on a spring-forward day come due at the first tick after 02:30
// rather than never.
struct WallMinute {
    QDate date;
    int hour = 0;
    int minute = 0;

    bool operator==(const WallMinute &) const = default;
    // Minutes since a fixed origin; differences count minute boundaries.
    qint64 Number() const;
    static WallMinute Of(const QDateTime &localTime);
};

namespace DueTime {

// The due minute the calendar date and the two time boxes' texts stand for; nothing when they
// do not make a valid due time.
std::optional<WallMinute> Compose(QDate date, const QString &hourText, const QString &minuteText);

// The due text the queue shows in its hidden column: "2001/3/5 07:40", year/month/day.
QString Text(const WallMinute &due);

// Reads a due text back, in year/month/day order whatever the locale; blanks
// around it are ignored. Nothing when it is not a valid date and time.
std::optional<WallMinute> Read(const QString &dueText);

// "05Mar2001 07:40", the month abbreviated in the given locale.
QString DisplayLine(const WallMinute &due, const QLocale &locale = QLocale());

// The date the user chose on the calendar: "05, Mar, 2001".
QString ChosenDateText(QDate date, const QLocale &locale = QLocale());

// Due minus now in minute boundaries: 0 from the first second of the due minute on.
qint64 MinuteDifference(const WallMinute &due, const QDateTime &now);

// The years a due text can carry: four digits at most, and there is no year 0.
constexpr int FirstYear = 1;
constexpr int LastYear = 9999;

// Whether a calendar date can stand in a due time.
bool ValidDate(QDate date);

// Whether a time box's text can stand in a due time: one or two digits, 00-23 / 00-59.
bool ValidHour(const QString &text);
bool ValidMinute(const QString &text);

} // namespace DueTime
