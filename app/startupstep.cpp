#include "startupstep.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <limits>

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

} // namespace

namespace Startup {

StartupStep EnsureQueueFile(const QString &name) {
    if (ordinaryFileExists(name))
        return StartupStep::GoOn();
    QFile file(name);
    if (!file.open(QIODevice::WriteOnly))
        return StartupStep::BreakOff(file.errorString());
    return StartupStep::GoOn();
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
