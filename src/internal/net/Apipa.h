#pragma once
// The candidate addresses of the automatic private addressing search (portable).
#include <cstdint>
#include <string>

namespace ravel {

// A candidate: its four bytes, its dotted text, and whether it is passed over unprobed.
struct ApipaCandidate
{
    unsigned bytes[4];
    std::string text;
    bool skipped;
};

// The four numbers of a subnet text read as "%u.%u.%u.%u" (missing ones 0), each modulo 255, so
// that a 255 marks a position to fill just as a 0 does.
void apipaSubnetNumbers(const char* subnet, unsigned numbers[4]);

// The candidate for the countdown value k (attempts down to 1). A position whose subnet number is
// 0 takes ((seed * k * weight) mod 2^32) mod 253 + 1, the weights being 4, 3, 2, 1 from the first
// byte; a third byte of 0 or of 254 and more is skipped.
ApipaCandidate apipaCandidate(const unsigned numbers[4], std::uint32_t seed, std::uint32_t k);

// The seed is the low 16 bits of the process id.
inline std::uint32_t apipaSeed(unsigned long processId) { return static_cast<std::uint32_t>(processId & 0xFFFFu); }

} // namespace ravel
