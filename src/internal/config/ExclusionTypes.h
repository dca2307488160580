#pragma once
// How exclusion lists name operating systems, and which of those names the running platform is.
#include "BOSSpecificExcludedItem.h"
#include "RWCString.h"
#include "sysVersion.h"

namespace ravel {

// The type a section line names: the whole line must equal "windows", "windows95", "windows98",
// "windowsNT" or "windows2000" exactly. Any other line gives EXCLUDE_OS_NONE.
teOSExclusionType exclusionTypeFromLine(const RWCString& line);

// The running platform as an exclusion type. XP has a type of its own that no list names; Me,
// NT 6 and unrecognised platforms have none.
teOSExclusionType exclusionTypeForPlatform(tePlatform platform);

} // namespace ravel
