#pragma once
#include "sysVersion.h"

namespace ravel {
// The platform for the values of a version record (platform id, major, minor version).
tePlatform platformFromVersion(unsigned long platformId, unsigned long major, unsigned long minor);
} // namespace ravel
