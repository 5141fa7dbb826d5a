#pragma once

#include "osversion.h"

#include <QString>

// What one step of start-up came to: go on with the next step, refuse to run
// (a message, then the program's windows close), or break start-up off (the
// failure's description is shown and the remaining steps are skipped).
struct StartupStep {
    enum class Result { GoOn, Refuse, BreakOff };
    Result result = Result::GoOn;
    QString message;

    static StartupStep GoOn() { return {}; }
    static StartupStep Refuse(const QString &message) { return {Result::Refuse, message}; }
    static StartupStep BreakOff(const QString &message) { return {Result::BreakOff, message}; }
};

namespace Startup {

inline const QString OldNt =
    QStringLiteral("This program will not work on NT versions earlier then 3.51");
inline const QString Not32Bit =
    QStringLiteral("This program is intended only for use with 32-bit Windows versions.");
inline const QString NoTray = QStringLiteral("There is no tray currently available");

// What start-up sets.
inline const QString CalendarToolTip = QStringLiteral("Select the Date here");
inline const QString ListToolTip = QStringLiteral("Messages queue");
inline const QString MessageToolTip = QStringLiteral("Message to send");
inline const QString OriginatorPrefix = QStringLiteral("Reminder@");
constexpr qint16 ReplyTimeout = 50; // seconds

// Makes sure the queue file exists in the working directory: an ordinary file
// of that name, in whatever letter case, is left as it is, and so is any other
// entry of that name but a directory (which breaks start-up off); otherwise an
// empty one is created, exclusively, following no link and never blocking.
StartupStep EnsureQueueFile(const QString &name);

// Judges the version record: the 95 family and NT from 3.51 on run.
StartupStep CheckPlatform(const OSVERSIONINFO &version);

} // namespace Startup
