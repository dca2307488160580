// The cabinet format's data-block checksum: the data taken as little-endian 32-bit words,
// exclusive-ored onto a seed; a tail of one to three bytes is folded in most significant first.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace cabinet {

inline std::uint32_t checksum(const unsigned char* data, std::size_t length, std::uint32_t seed)
{
    std::uint64_t wide = 0;
    std::size_t i = 0;
    for (; i + 8 <= length; i += 8) {
        std::uint64_t w = 0;
        for (int b = 7; b >= 0; --b)
            w = (w << 8) | data[i + b];
        wide ^= w;
    }
    std::uint32_t sum = seed ^ static_cast<std::uint32_t>(wide) ^ static_cast<std::uint32_t>(wide >> 32);
    for (; i + 4 <= length; i += 4)
        sum ^= std::uint32_t{data[i]} | (std::uint32_t{data[i + 1]} << 8) | (std::uint32_t{data[i + 2]} << 16) |
               (std::uint32_t{data[i + 3]} << 24);
    std::uint32_t tail = 0;
    switch (length - i) {
    case 3:
        tail = (std::uint32_t{data[i]} << 16) | (std::uint32_t{data[i + 1]} << 8) | data[i + 2];
        break;
    case 2:
        tail = (std::uint32_t{data[i]} << 8) | data[i + 1];
        break;
    case 1:
        tail = data[i];
        break;
    default:
        break;
    }
    return sum ^ tail;
}

} // namespace cabinet
