#pragma once
#include "RavelExport.h"

// The Windows platform. Other parts of the library store and compare these as plain integers, so
// the numbers are fixed (Me after 2000, XP after Me).
enum tePlatform {
    PLATFORM_UNRECOGNIZED = 0,
    PLATFORM_WIN32S = 1,
    PLATFORM_WIN95 = 2,
    PLATFORM_WIN98 = 3,
    PLATFORM_WINNT4 = 4,
    PLATFORM_WIN2000 = 5,
    PLATFORM_WINME = 6,
    PLATFORM_WINXP = 7,
    PLATFORM_WINVISTA = 8
};

// Stateless wrapper of the system's version query; every call asks the system afresh.
class RAVELUTIL_API sysVersion
{
public:
    sysVersion();
    sysVersion(const sysVersion& other);
    sysVersion& operator=(const sysVersion& other);
    virtual ~sysVersion();

    tePlatform getPlatform();
    // major and minor must be valid; build may be null and is then left alone.
    void getPlatformVersion(unsigned long* major, unsigned long* minor, unsigned long* build);
    // 95, 98 and Me.
    bool isWin9x();
    // NT 4, 2000 and XP only: NT 6.x is not included, callers that need it test getPlatform.
    bool isWinNTBased();
};
