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

// The running system as the version record sees it. A Unix kernel counts as
// the NT family, with the kernel's major and minor version (6.1 gives 6, 1).
bool GetVersionEx(OSVERSIONINFO &info);
