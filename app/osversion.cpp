#include "osversion.h"

#include <QRegularExpression>
#include <QSysInfo>

namespace {

// The service-pack text field holds 128 characters, its terminator included.
constexpr qsizetype ServicePackTextLength = 127;

} // namespace

bool KernelVersionRecord(const QString &kernelType, const QString &kernelVersion,
                         OSVERSIONINFO &info) {
    if (kernelType == u"winnt") {
        // "10.0.19045": major, minor and build of the NT kernel.
        const QRegularExpressionMatch match =
            QRegularExpression(QStringLiteral("^(\\d+)\\.(\\d+)(?:\\.(\\d+))?"))
                .match(kernelVersion);
        if (!match.hasMatch())
            return false;
        info.dwPlatformId = VER_PLATFORM_WIN32_NT;
        info.dwMajorVersion = match.captured(1).toUInt();
        info.dwMinorVersion = match.captured(2).toUInt();
        info.dwBuildNumber = match.captured(3).toUInt();
        return true;
    }
    // Qt, not the kernel, supplies the window system: the host stands as NT 10.0, Qt 6's oldest.
    info.dwPlatformId = VER_PLATFORM_WIN32_NT;
    info.dwMajorVersion = 10;
    info.dwMinorVersion = 0;
    info.dwBuildNumber = 0;
    info.szCSDVersion = (kernelType + u' ' + kernelVersion).trimmed().left(ServicePackTextLength);
    return true;
}

bool GetVersionEx(OSVERSIONINFO &info) {
    return KernelVersionRecord(QSysInfo::kernelType(), QSysInfo::kernelVersion(), info);
}
