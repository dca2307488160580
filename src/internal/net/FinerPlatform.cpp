#include "internal/net/FinerPlatform.h"

#include "internal/platform/PlatformTable.h"

namespace ravel {

namespace {

// The numbers of sysNetworkAFIndependent::Platforms, which the public header owns; kept equal by
// static_asserts in the class's source.
enum : int { kUnrecognized, kWin32s, kWin95, kWin98, kWinMe, kWinNT4, kWin2000, kWinXP, kWin2003, kVista, kLater };
} // namespace

int finerPlatform(unsigned long platformId, unsigned long major, unsigned long minor)
{
    switch (platformId) {
    case kIdWin32s:
        return kWin32s;
    case kIdWindows:
        switch (minor) {
        case 0:
            return kWin95;
        case 10:
            return kWin98;
        case 90:
            return kWinMe;
        default:
            return kUnrecognized;
        }
    case kIdNT:
        if (major <= 4)
            return kWinNT4;
        if (major == 5) {
            switch (minor) {
            case 0:
                return kWin2000;
            case 1:
                return kWinXP;
            case 2:
                return kWin2003;
            default:
                return kLater;
            }
        }
        return major == 6 ? kVista : kLater;
    default:
        return kUnrecognized;
    }
}

} // namespace ravel
