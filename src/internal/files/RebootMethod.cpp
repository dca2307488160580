#include "internal/files/RebootMethod.h"

namespace ravel {

RebootMethod rebootMethodFor(tePlatform platform)
{
    switch (platform) {
    case PLATFORM_WIN95:
    case PLATFORM_WIN98:
    case PLATFORM_WINME:
        return RebootMethod::WininitIni;
    case PLATFORM_WINNT4:
    case PLATFORM_WIN2000:
    case PLATFORM_WINXP:
        return RebootMethod::DelayedMove;
    default:
        // NT 6 too: its delayed move works, but the platform is not one these operations know.
        return RebootMethod::None;
    }
}

} // namespace ravel
