#include "internal/net/RouteCommand.h"

#include "internal/platform/PlatformTable.h"

#include <cstring>

namespace ravel {

const char kRouteAdd[] = "route ADD %s %s";
const char kRouteAddPersistent[] = "route -p ADD %s %s";
const char kRouteDelete[] = "route delete %s";
const char kRouteHelperUsage[] = "usage: qvkxora -i <printer address> -g <interface address>";

namespace {
const char kPrinterSwitch[] = "-i";
const char kNicSwitch[] = "-g";

// Four decimal numbers of at most three digits, each up to 255, joined by dots.
bool isDottedAddress(const std::string& text)
{
    int parts = 0;
    std::size_t at = 0;
    while (parts < 4) {
        std::size_t end = at;
        unsigned value = 0;
        while (end < text.size() && end - at < 3 && text[end] >= '0' && text[end] <= '9')
            value = value * 10 + static_cast<unsigned>(text[end++] - '0');
        if (end == at || value > 255)
            return false;
        ++parts;
        if (end == text.size())
            return parts == 4;
        if (text[end] != '.' || parts == 4)
            return false;
        at = end + 1;
    }
    return false;
}

std::string fill(const char* pattern, const std::string& first, const std::string& second)
{
    std::string line;
    const std::string* next[2] = {&first, &second};
    int used = 0;
    for (const char* p = pattern; *p != '\0'; ++p) {
        if (p[0] == '%' && p[1] == 's') {
            if (used < 2)
                line += *next[used++];
            ++p;
        } else {
            line += *p;
        }
    }
    return line;
}
} // namespace

bool routeAddPersistent(unsigned long platformId, unsigned long major, unsigned long minor)
{
    const tePlatform platform = platformFromVersion(platformId, major, minor);
    return platform != PLATFORM_WIN95 && platform != PLATFORM_WIN98;
}

bool parseRouteHelperArguments(int argc, const char* const* argv, RouteHelperArguments& out)
{
    RouteHelperArguments parsed;
    bool havePrinter = false;
    bool haveNic = false;
    for (int i = 1; i < argc; i += 2) {
        if (i + 1 >= argc)
            return false;
        const bool printer = std::strcmp(argv[i], kPrinterSwitch) == 0;
        if (!printer && std::strcmp(argv[i], kNicSwitch) != 0)
            return false;
        bool& seen = printer ? havePrinter : haveNic;
        if (seen || !isDottedAddress(argv[i + 1]))
            return false;
        seen = true;
        (printer ? parsed.printer : parsed.nic) = argv[i + 1];
    }
    if (!havePrinter || !haveNic)
        return false;
    out = parsed;
    return true;
}

std::string routeHelperCommand(const RouteHelperArguments& arguments, bool persistent)
{
    return fill(persistent ? kRouteAddPersistent : kRouteAdd, arguments.printer, arguments.nic);
}

} // namespace ravel
