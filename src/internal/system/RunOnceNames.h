#pragma once
// Names of the values a command to run once is registered under: the base name, then the base
// followed by 1, 2, 3 ... The first name the key does not hold yet is taken, so the system's
// removal of the values after the next log-on frees the base name again.
#include "RWCString.h"
#include "RavelConvert.h"

namespace ravel {

inline const char* runOnceBaseName() { return "qvkxokey"; }

// `exists(name)` answers whether the key already holds a value of that name.
template <class Exists>
RWCString firstFreeRunOnceName(Exists exists)
{
    RWCString name(runOnceBaseName());
    for (int n = 1; exists(name); ++n)
        name = RWCString(runOnceBaseName()) + iToRWCString(n, 10);
    return name;
}

} // namespace ravel
