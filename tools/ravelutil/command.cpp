#include "command.h"

#include <io.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace ravelutil {

namespace {
// Width of the status line now on the terminal; 0 when there is none.
std::size_t g_statusWidth = 0;

// Decimal unless written with a 0x prefix: a leading zero is not octal here.
int baseOf(const std::string& text)
{
    const std::size_t at = (!text.empty() && (text[0] == '-' || text[0] == '+')) ? 1 : 0;
    return text.compare(at, 2, "0x") == 0 || text.compare(at, 2, "0X") == 0 ? 16 : 10;
}
} // namespace

std::vector<Command>& commands()
{
    static std::vector<Command> all;
    return all;
}

bool statusLineShown()
{
    static const bool terminal = _isatty(_fileno(stderr)) != 0;
    return terminal;
}

void showStatus(const std::string& text)
{
    if (!statusLineShown())
        return;
    // Blanks cover what is left of a longer line before.
    const int cover = g_statusWidth > text.size() ? static_cast<int>(g_statusWidth - text.size()) : 0;
    std::fprintf(stderr, "\r%s%*s", text.c_str(), cover, "");
    std::fflush(stderr);
    g_statusWidth = text.size() + static_cast<std::size_t>(cover);
}

void clearStatus()
{
    if (g_statusWidth == 0)
        return;
    std::fprintf(stderr, "\r%*s\r", static_cast<int>(g_statusWidth), "");
    std::fflush(stderr);
    g_statusWidth = 0;
}

int usage(const std::string& line)
{
    clearStatus();
    std::fprintf(stderr, "usage: ravelutil %s\n", line.c_str());
    return kUsage;
}

int usageError(const std::string& message)
{
    clearStatus();
    std::fprintf(stderr, "ravelutil: %s\n", message.c_str());
    return kUsage;
}

int failure(const std::string& message)
{
    clearStatus();
    std::fprintf(stderr, "ravelutil: %s\n", message.c_str());
    return kFalse;
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
