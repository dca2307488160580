#pragma once
#include <cstddef>
#include <string>

// What capture_child writes for "bytes n": a repeating text of lines, so a lost or doubled
// block shows.
inline std::string childPattern(std::size_t n)
{
    static const char kLine[] = "0123456789abcdefghijklmnopqrstuvwxyz\r\n";
    std::string text;
    text.reserve(n);
    for (std::size_t i = 0; i < n; ++i)
        text += kLine[i % (sizeof kLine - 1)];
    return text;
}
