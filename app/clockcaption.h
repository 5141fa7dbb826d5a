#pragma once

#include <QDateTime>
#include <QLocale>
#include <QString>

namespace ClockCaption {

// The caption's fixed beginning, four blanks at its end.
inline const QString Prefix = QStringLiteral("Tallowick: Quillmere    ");
// The caption before the clock first ticks.
inline const QString DesignCaption = QStringLiteral("Tallowick: Quillmere");

// "Sunday,December 06,2026  09:38:52", names in the given locale.
QString ClockText(const QDateTime &now, const QLocale &locale = QLocale());

} // namespace ClockCaption
