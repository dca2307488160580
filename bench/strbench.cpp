// String library throughput: concatenation, copies, searching, the address expression and
// tokenising over a route listing of about a megabyte.
#include "tls7912d.h"

#include <chrono>
#include <cstdio>

namespace {

using Clock = std::chrono::steady_clock;

double seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

RWCString routeListing(size_t bytes)
{
    RWCString text;
    for (unsigned i = 0; text.length() < bytes; ++i) {
        char line[128];
        std::snprintf(line, sizeof line, "  %u.%u.%u.0    255.255.255.0    192.168.1.1   192.168.1.100  %u\r\n",
                      10 + i % 200, i % 256, (i / 256) % 256, i % 50);
        text += line;
    }
    return text;
}

} // namespace

int main()
{
    volatile size_t sink = 0;

    auto t = Clock::now();
    RWCString grown;
    for (int i = 0; i < 1000000; ++i)
        grown += "0123456789abcdef";
    std::printf("append 16 bytes x 1e6:     %8.1f MB/s\n", grown.length() / seconds(t) / 1e6);

    t = Clock::now();
    RWCString small("192.168.100.200");
    for (int i = 0; i < 1000000; ++i) {
        RWCString copy(small);
        sink = sink + copy.length();
    }
    std::printf("copy 15-byte string:       %8.1f M/s\n", 1.0 / seconds(t));

    const RWCString text = routeListing(1 << 20);
    t = Clock::now();
    for (int i = 0; i < 20; ++i)
        sink = sink + text.index("10.255.255.0");
    std::printf("index exact:               %8.1f MB/s\n", 20.0 * text.length() / seconds(t) / 1e6);

    t = Clock::now();
    for (int i = 0; i < 5; ++i)
        sink = sink + text.index("NOT.THERE", 0, RWCString::ignoreCase);
    std::printf("index ignoreCase:          %8.1f MB/s\n", 5.0 * text.length() / seconds(t) / 1e6);

    RWCRegexp address("[0-9]?[0-9]?[0-9]\\.[0-9][0-9]?[0-9]?\\.[0-9][0-9]?[0-9]?\\.[0-9][0-9]?[0-9]?");
    t = Clock::now();
    size_t matches = 0;
    RWCTokenizer tokens(text);
    for (RWCSubString tok = tokens(); !tok.isNull(); tok = tokens()) {
        RWCString word(tok);
        if (word(address) == word)
            ++matches;
    }
    std::printf("tokenise + match address:  %8.1f MB/s (%zu addresses)\n", text.length() / seconds(t) / 1e6, matches);

    t = Clock::now();
    size_t len = 0;
    size_t found = 0;
    for (size_t pos = 0; (pos = address.index(text, &len, pos)) != RWCString::npos; pos += len)
        ++found;
    std::printf("address expression scan:   %8.1f MB/s (%zu matches)\n", text.length() / seconds(t) / 1e6, found);
    return sink == 42 ? 1 : 0;
}
