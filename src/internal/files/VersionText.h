#pragma once
#include "RWCString.h"

namespace ravel {
// Whether the first version text is newer than the second: up to four numeric fields separated
// by runs of blanks, commas and periods, compared as numbers; a text that runs out of fields
// first is not newer, equal texts are not newer.
bool versionTextIsNewer(const RWCString& first, const RWCString& second);
} // namespace ravel
