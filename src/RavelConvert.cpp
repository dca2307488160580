#include "RavelConvert.h"

#include <cstdint>

namespace {

// Formats the magnitude into the tail of a buffer large enough for 64 binary digits and a sign.
RWCString format(std::uint64_t magnitude, bool negative, int radix)
{
    if (radix < 2 || radix > 36)
        return RWCString();
    char buffer[66];
    char* end = buffer + sizeof buffer;
    char* p = end;
    do {
        const unsigned digit = static_cast<unsigned>(magnitude % static_cast<unsigned>(radix));
        *--p = static_cast<char>(digit < 10 ? '0' + digit : 'a' + digit - 10);
        magnitude /= static_cast<unsigned>(radix);
    } while (magnitude != 0);
    if (negative)
        *--p = '-';
    return RWCString(p, static_cast<std::size_t>(end - p));
}

} // namespace

RWCString iToRWCString(int value, int radix)
{
    if (radix == 10 && value < 0)
        return format(static_cast<std::uint64_t>(-static_cast<std::int64_t>(value)), true, radix);
    return format(static_cast<std::uint32_t>(value), false, radix);
}

RWCString i64ToRWCString(long long value, int radix)
{
    if (radix == 10 && value < 0)
        return format(0 - static_cast<std::uint64_t>(value), true, radix);
    return format(static_cast<std::uint64_t>(value), false, radix);
}

RWCString ui64ToRWCString(unsigned long long value, int radix)
{
    return format(static_cast<std::uint64_t>(value), false, radix);
}
