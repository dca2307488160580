#ifndef RWBOUNDSERR_H
#define RWBOUNDSERR_H

#include <cstddef>
#include <cstdio>
#include <stdexcept>

// Raised for an index at or beyond the end of a string or an ordered vector.
// Header-only on purpose: every throw is compiled into the module that catches it, because
// exceptions cannot cross module boundaries on the 32-bit Windows build.
class RWBoundsErr : public std::out_of_range
{
public:
    explicit RWBoundsErr(const char* why) : std::out_of_range(why) {}
    const char* why() const noexcept { return what(); }

    [[noreturn]] static void raise(size_t index, size_t limit)
    {
        char text[96];
        std::snprintf(text, sizeof text, "index %llu out of range: length %llu", static_cast<unsigned long long>(index),
                      static_cast<unsigned long long>(limit));
        throw RWBoundsErr(text);
    }
};

#endif
