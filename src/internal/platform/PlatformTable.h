#pragma once
#include "sysVersion.h"

namespace ravel {
// Platform ids of the version record.
const unsigned long kIdWin32s = 0;
const unsigned long kIdWindows = 1;
const unsigned long kIdNT = 2;

// The platform for the values of a version record (platform id, major, minor version).
tePlatform platformFromVersion(unsigned long platformId, unsigned long major, unsigned long minor);
} // namespace ravel
