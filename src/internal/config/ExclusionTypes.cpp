#include "internal/config/ExclusionTypes.h"

namespace ravel {

teOSExclusionType exclusionTypeFromLine(const RWCString& line)
{
    struct Name
    {
        const char* text;
        teOSExclusionType type;
    };
    static const Name kNames[] = {{"windows", EXCLUDE_OS_WINDOWS},
                                  {"windows95", EXCLUDE_OS_WIN95},
                                  {"windows98", EXCLUDE_OS_WIN98},
                                  {"windowsNT", EXCLUDE_OS_WINNT},
                                  {"windows2000", EXCLUDE_OS_WIN2000}};
    for (const Name& name : kNames)
        if (line.compareTo(name.text) == 0)
            return name.type;
    return EXCLUDE_OS_NONE;
}

teOSExclusionType exclusionTypeForPlatform(tePlatform platform)
{
    switch (platform) {
    case PLATFORM_WIN32S:
        return EXCLUDE_OS_WINDOWS;
    case PLATFORM_WIN95:
        return EXCLUDE_OS_WIN95;
    case PLATFORM_WIN98:
        return EXCLUDE_OS_WIN98;
    case PLATFORM_WINNT4:
        return EXCLUDE_OS_WINNT;
    case PLATFORM_WIN2000:
        return EXCLUDE_OS_WIN2000;
    case PLATFORM_WINXP:
        return EXCLUDE_OS_WINXP;
    default:
        return EXCLUDE_OS_NONE;
    }
}

} // namespace ravel
