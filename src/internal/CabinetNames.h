#pragma once
#include <cstring>

namespace ravel {

// A file name stored in a cabinet that would land outside the destination directory: absolute,
// with a drive or stream colon, or with a ".." component (either separator counts). Windows drops
// trailing dots and blanks from path components, so "..." or ".. " climb like ".." and are refused too.
inline bool isParentComponent(const char* begin, const char* end)
{
    int dots = 0;
    for (const char* c = begin; c != end; ++c) {
        if (*c == '.')
            ++dots;
        else if (*c != ' ')
            return false;
    }
    return dots >= 2;
}

inline bool isUnsafeCabinetName(const char* name)
{
    if (name[0] == '\\' || name[0] == '/' || std::strchr(name, ':') != nullptr)
        return true;
    const char* part = name;
    for (const char* p = name;; ++p) {
        if (*p == '\\' || *p == '/' || *p == '\0') {
            if (isParentComponent(part, p))
                return true;
            if (*p == '\0')
                return false;
            part = p + 1;
        }
    }
}

}  // namespace ravel
