#include "command.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace ravelutil {

namespace {
// Decimal unless written with a 0x prefix: a leading zero is not octal here.
int baseOf(const std::string& text)
{
    const std::size_t at = (!text.empty() && (text[0] == '-' || text[0] == '+')) ? 1 : 0;
    return text.compare(at, 2, "0x") == 0 || text.compare(at, 2, "0X") == 0 ? 16 : 10;
}
}

std::vector<Command>& commands()
{
    static std::vector<Command> all;
    return all;
}

int usage(const std::string& line)
{
    std::fprintf(stderr, "usage: ravelutil %s\n", line.c_str());
    return kUsage;
}

int usageError(const std::string& message)
{
    std::fprintf(stderr, "ravelutil: %s\n", message.c_str());
    return kUsage;
}

bool parseLong(const std::string& text, long long& value)
{
    if (text.empty())
        return false;
    errno = 0;
    char* end = nullptr;
    value = std::strtoll(text.c_str(), &end, baseOf(text));
    return errno == 0 && end != nullptr && *end == '\0';
}

bool parseUnsigned(const std::string& text, unsigned long long& value)
{
    if (text.empty() || text[0] == '-')
        return false;
    errno = 0;
    char* end = nullptr;
    value = std::strtoull(text.c_str(), &end, baseOf(text));
    return errno == 0 && end != nullptr && *end == '\0';
}

} // namespace ravelutil
