#include "internal/net/Apipa.h"

#include <cstdio>

namespace ravel {

void apipaSubnetNumbers(const char* subnet, unsigned numbers[4])
{
    numbers[0] = numbers[1] = numbers[2] = numbers[3] = 0;
    std::sscanf(subnet, "%u.%u.%u.%u", &numbers[0], &numbers[1], &numbers[2], &numbers[3]);
    for (int i = 0; i < 4; ++i)
        numbers[i] %= 255;
}

ApipaCandidate apipaCandidate(const unsigned numbers[4], std::uint32_t seed, std::uint32_t k)
{
    static const std::uint32_t kWeights[4] = {4, 3, 2, 1};
    ApipaCandidate candidate;
    for (int i = 0; i < 4; ++i) {
        // Unsigned 32-bit arithmetic: the product wraps as the process id's multiples may.
        const std::uint32_t product = seed * k * kWeights[i];
        candidate.bytes[i] = numbers[i] != 0 ? numbers[i] : product % 253u + 1u;
    }
    char text[48];
    std::snprintf(text, sizeof text, "%u.%u.%u.%u", candidate.bytes[0], candidate.bytes[1], candidate.bytes[2],
                  candidate.bytes[3]);
    candidate.text = text;
    candidate.skipped = candidate.bytes[2] == 0 || candidate.bytes[2] >= 254;
    return candidate;
}

} // namespace ravel
