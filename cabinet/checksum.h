// The cabinet format's data-block checksum: the data taken as little-endian 32-bit words,
// exclusive-ored onto a seed; a tail of one to three bytes is folded in most significant first.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace cabinet {

inline std::uint32_t checksum(const unsigned char* data, std::size_t length, std::uint32_t seed)
{
    // Eight bytes are two words; four independent lanes keep the loads apart.
    std::uint64_t lane[4] = {0, 0, 0, 0};
    std::size_t i = 0;
    for (; i + 32 <= length; i += 32)
        for (int k = 0; k < 4; ++k) {
            std::uint64_t w;
            std::memcpy(&w, data + i + 8 * k, 8);
            lane[k] ^= w;
        }
    std::uint64_t wide = lane[0] ^ lane[1] ^ lane[2] ^ lane[3];
    for (; i + 8 <= length; i += 8) {
        std::uint64_t w;
        std::memcpy(&w, data + i, 8);
        wide ^= w;
    }
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    wide = __builtin_bswap64(wide);
#endif
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
