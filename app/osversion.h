#pragma once

#include <QString>

#include <cstdint>
#include <functional>

// The operating system's version record, as start-up checks it.
struct OSVERSIONINFO {
    std::uint32_t dwOSVersionInfoSize = 148;
    std::uint32_t dwMajorVersion = 0;
    std::uint32_t dwMinorVersion = 0;
    std::uint32_t dwBuildNumber = 0;
    std::uint32_t dwPlatformId = 0;
    QString szCSDVersion;
};

// Platform families of the record.
constexpr std::uint32_t VER_PLATFORM_WIN32_WINDOWS = 1; // the 95 family
constexpr std::uint32_t VER_PLATFORM_WIN32_NT = 2;      // the NT family

// Fills the record; false when the system cannot tell (the record keeps its zeros).
using VersionQuery = std::function<bool(OSVERSIONINFO &)>;

// The running system as the version record sees it (see KernelVersionRecord).
bool GetVersionEx(OSVERSIONINFO &info);

// The record of a host known by its kernel's type and version, as QSysInfo
// names them. A Windows kernel ("winnt") gives its own NT version (false when
// that cannot be read). Any other kernel, whatever its version, gives the NT
// family at 10.0, with the kernel's type and version in the service-pack text.
bool KernelVersionRecord(const QString &kernelType, const QString &kernelVersion,
                         OSVERSIONINFO &info);
