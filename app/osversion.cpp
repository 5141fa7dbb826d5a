#include "osversion.h"

#include <QOperatingSystemVersion>
#include <QRegularExpression>
#include <QSysInfo>

bool GetVersionEx(OSVERSIONINFO &info) {
    const QOperatingSystemVersion os = QOperatingSystemVersion::current();
    if (os.type() == QOperatingSystemVersion::Windows) {
        info.dwPlatformId = VER_PLATFORM_WIN32_NT;
        info.dwMajorVersion = std::uint32_t(os.majorVersion());
        info.dwMinorVersion = std::uint32_t(qMax(0, os.minorVersion()));
        info.dwBuildNumber = std::uint32_t(qMax(0, os.microVersion()));
        return true;
    }
    // "6.1.0-27-amd64": the first two numbers are the major and minor version.
    const QRegularExpressionMatch match =
        QRegularExpression(QStringLiteral("^(\\d+)\\.(\\d+)(?:\\.(\\d+))?"))
            .match(QSysInfo::kernelVersion());
    if (!match.hasMatch())
        return false;
    info.dwPlatformId = VER_PLATFORM_WIN32_NT;
    info.dwMajorVersion = match.captured(1).toUInt();
    info.dwMinorVersion = match.captured(2).toUInt();
    info.dwBuildNumber = match.captured(3).toUInt();
    info.szCSDVersion = QSysInfo::kernelType();
    return true;
}
