#include "RavelNames.h"

#include <cstring>

namespace {

// A component of only dots and blanks, at least two dots: Windows reads it as "..".
bool isParentComponent(const char* begin, const char* end)
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

} // namespace

bool ravelIsUnsafeArchiveName(const char* name)
{
    if (name == nullptr || name[0] == '\\' || name[0] == '/' || std::strchr(name, ':') != nullptr)
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
