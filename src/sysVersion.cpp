#include "sysVersion.h"

#include "internal/platform/PlatformTable.h"

#include <windows.h>

namespace {

bool queryVersion(OSVERSIONINFOA& info)
{
    ZeroMemory(&info, sizeof info);
    info.dwOSVersionInfoSize = sizeof info;
    return GetVersionExA(&info) != FALSE;
}

} // namespace

sysVersion::sysVersion() = default;
sysVersion::sysVersion(const sysVersion&) = default;
sysVersion& sysVersion::operator=(const sysVersion&) = default;
sysVersion::~sysVersion() = default;

tePlatform sysVersion::getPlatform()
{
    OSVERSIONINFOA info;
    if (!queryVersion(info))
        return PLATFORM_UNRECOGNIZED;
    return ravel::platformFromVersion(info.dwPlatformId, info.dwMajorVersion, info.dwMinorVersion);
}

void sysVersion::getPlatformVersion(unsigned long* major, unsigned long* minor, unsigned long* build)
{
    *major = 0;
    *minor = 0;
    if (build != nullptr)
        *build = 0;
    OSVERSIONINFOA info;
    if (!queryVersion(info))
        return;
    *major = info.dwMajorVersion;
    *minor = info.dwMinorVersion;
    if (build != nullptr)
        *build = info.dwBuildNumber;
}

bool sysVersion::isWin9x()
{
    const tePlatform platform = getPlatform();
    return platform == PLATFORM_WIN95 || platform == PLATFORM_WIN98 || platform == PLATFORM_WINME;
}

bool sysVersion::isWinNTBased()
{
    const tePlatform platform = getPlatform();
    return platform == PLATFORM_WINNT4 || platform == PLATFORM_WIN2000 || platform == PLATFORM_WINXP;
}
