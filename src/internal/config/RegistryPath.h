#pragma once
// The text rules of registry key paths: a root name anywhere in the text, the sub-key after the
// first backslash, the leaf after the last one.
#include "RWCString.h"

namespace ravel {

// The recognised root names, in the fixed order in which a path is tested for them.
const int kRegistryRootCount = 6;
extern const char* const kRegistryRootNames[kRegistryRootCount];

// The index of the root a path selects: every root name found anywhere in the path (ignoring
// case) overrides the earlier ones, so the latest in the fixed order wins. -1 when none occurs.
int registryRootIndex(const RWCString& path);

// Valid when some root name occurs anywhere in the path; nothing else is checked.
bool registryPathValid(const RWCString& path);

// Everything after the first backslash; false (sub untouched) without one or for an invalid path.
bool registrySubKey(const RWCString& path, RWCString& sub);

// Splits at the last backslash (path keeps the part before it). Without one the leaf is the whole
// path and the path becomes empty. An invalid path gives an empty leaf and false.
bool registryLeafKey(RWCString& path, RWCString& leaf);

// Whether a sub-key text names a key below the root: an empty text, or one made of backslashes
// only, would make the system act on the root itself.
bool registryNamesSubKey(const RWCString& sub);

} // namespace ravel
