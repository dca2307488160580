// Canonical Huffman codes (RFC 1951, 3.2.2), as LZX and deflate both assign them: the codes of
// one length are consecutive, in symbol order, after those of all shorter lengths.
#pragma once

#include <cstdint>

namespace cabinet {

constexpr unsigned kLongestCode = 16; // LZX's; deflate stops at 15

// next[len] becomes the first code of length len (1..kLongestCode). False when a length is above
// maxLen or the lengths over-subscribe the code space; an incomplete code is accepted.
inline bool firstCodes(const std::uint8_t* lengths, unsigned n, unsigned maxLen,
                       std::uint32_t (&next)[kLongestCode + 1])
{
    unsigned count[kLongestCode + 1] = {};
    for (unsigned s = 0; s < n; ++s) {
        if (lengths[s] > maxLen)
            return false;
        ++count[lengths[s]];
    }
    count[0] = 0;
    int left = 1;
    for (unsigned len = 1; len <= kLongestCode; ++len) {
        left = (left << 1) - static_cast<int>(count[len]);
        if (left < 0)
            return false;
    }
    std::uint32_t code = 0;
    next[0] = 0;
    for (unsigned len = 1; len <= kLongestCode; ++len) {
        code = (code + count[len - 1]) << 1;
        next[len] = code;
    }
    return true;
}

} // namespace cabinet
