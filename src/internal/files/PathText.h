#pragma once
#include "RWCString.h"

namespace ravel {
// A UNC path ("\\host\share") or one whose second character is a drive colon.
bool isFullPath(const RWCString& path);
// The path made full against the current directory: UNC paths and paths with a drive colon stay
// as they are; "\x" becomes cwd + "\x"; anything else cwd + "\" + path. No normalisation.
RWCString fullPathAgainst(const RWCString& path, const RWCString& cwd);
} // namespace ravel
