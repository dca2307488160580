#pragma once
// How a platform has files replaced or deleted at the next restart.
#include "sysVersion.h"

namespace ravel {

enum class RebootMethod {
    None,       // neither: Win32s, NT 6 and unrecognised platforms
    WininitIni, // 95, 98 and Me: the "[rename]" section of wininit.ini
    DelayedMove // NT 4, 2000 and XP: the system's delayed move
};

RebootMethod rebootMethodFor(tePlatform platform);

} // namespace ravel
