#pragma once
#include <cstring>

namespace ravel {

// A file name stored in a cabinet that would land outside the destination directory: absolute,
// with a drive or stream colon, or with a ".." component (either separator counts).
inline bool isUnsafeCabinetName(const char* name)
{
    if (name[0] == '\\' || name[0] == '/' || std::strchr(name, ':') != nullptr)
        return true;
    const char* part = name;
    for (const char* p = name;; ++p) {
        if (*p == '\\' || *p == '/' || *p == '\0') {
            if (p - part == 2 && part[0] == '.' && part[1] == '.')
                return true;
            if (*p == '\0')
                return false;
            part = p + 1;
        }
    }
}

}  // namespace ravel
