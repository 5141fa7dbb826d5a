#include "startupstep.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <limits>
#include <optional>
#include <system_error>

namespace {

constexpr std::int64_t FirstNtVersion = 351; // 3.51

bool ordinaryFileExists(const QString &name) {
    if (QFileInfo(name).isFile())
        return true;
    const QFileInfoList files = QDir().entryInfoList(QDir::Files | QDir::Hidden);
    return std::any_of(files.cbegin(), files.cend(), [&name](const QFileInfo &file) {
        return file.fileName().compare(name, Qt::CaseInsensitive) == 0;
    });
}

// What an entry that already holds the name means for start-up, if there is one: a directory
// cannot be the queue file and breaks start-up off; any other entry (a link, a FIFO, a device,
// a socket) is left as it is, like an existing file.
std::optional<StartupStep> judgeTakenName(const QString &name) {
    const QFileInfo entry(name);
    if (entry.isSymLink())
        return StartupStep::GoOn();
    if (!entry.exists())
        return std::nullopt;
    if (entry.isDir())
        return StartupStep::BreakOff(
            QString::fromStdString(std::make_error_code(std::errc::is_a_directory).message()));
    return StartupStep::GoOn();
}

} // namespace

namespace Startup {

StartupStep EnsureQueueFile(const QString &name) {
    if (ordinaryFileExists(name))
        return StartupStep::GoOn();
    // Only a name that nothing holds is created, in one exclusive step: a link there (even one
    // pointing nowhere) is not followed, and a FIFO or device is never opened, so start-up
    // cannot write elsewhere or block.
    if (const std::optional<StartupStep> taken = judgeTakenName(name))
        return *taken;
    QFile file(name);
    if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        return StartupStep::GoOn();
    // Something may have taken the name since it was looked at.
    if (const std::optional<StartupStep> taken = judgeTakenName(name))
        return *taken;
    return StartupStep::BreakOff(file.errorString());
}

StartupStep CheckPlatform(const OSVERSIONINFO &version) {
    switch (version.dwPlatformId) {
    case VER_PLATFORM_WIN32_WINDOWS:
        return StartupStep::GoOn();
    case VER_PLATFORM_WIN32_NT: {
        // The version value is a 16-bit number: major * 100 + minor.
        const std::int64_t value =
            std::int64_t(version.dwMajorVersion) * 100 + version.dwMinorVersion;
        if (value > std::numeric_limits<qint16>::max())
            return StartupStep::BreakOff(QStringLiteral("Overflow"));
        return value < FirstNtVersion ? StartupStep::Refuse(OldNt) : StartupStep::GoOn();
    }
    default:
        return StartupStep::Refuse(Not32Bit);
    }
}

} // namespace Startup
