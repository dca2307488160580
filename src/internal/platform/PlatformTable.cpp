#include "internal/platform/PlatformTable.h"

namespace ravel {

tePlatform platformFromVersion(unsigned long platformId, unsigned long major, unsigned long minor)
{
    switch (platformId) {
    case kIdWin32s:
        return PLATFORM_WIN32S;
    case kIdWindows:
        // The 9x family is told apart by the minor version alone.
        switch (minor) {
        case 0:
            return PLATFORM_WIN95;
        case 10:
            return PLATFORM_WIN98;
        case 90:
            return PLATFORM_WINME;
        default:
            return PLATFORM_UNRECOGNIZED;
        }
    case kIdNT:
        switch (major) {
        case 4:
            return PLATFORM_WINNT4;
        case 5:
            // 5.2 (the server line) counts as 2000, not XP.
            return minor == 1 ? PLATFORM_WINXP : PLATFORM_WIN2000;
        case 6:
            return PLATFORM_WINVISTA;
        default:
            return PLATFORM_UNRECOGNIZED;
        }
    default:
        return PLATFORM_UNRECOGNIZED;
    }
}

} // namespace ravel
