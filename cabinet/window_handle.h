// Handles of the decoders that own a sliding window (LZX, Quantum): a tagged record and its
// window, both from the caller's memory callbacks. The tag is cleared on destruction so a stale or
// foreign pointer is refused rather than used.
#pragma once

#include <cstdint>
#include <cstring>

#include "decoder_memory.h"

namespace cabinet {

template <class Decoder>
inline bool hasTag(const Decoder* d, const char (&tag)[4])
{
    return d && std::memcmp(d->tag, tag, 4) == 0;
}

// A zeroed record with a window of 2^windowBits bytes and `spare` zeroed bytes after it (a decoder
// that runs its window as a larger ring asks for them); nullptr (nothing kept) when either
// allocation fails or the callbacks are missing.
template <class Decoder>
Decoder* createWithWindow(const char (&tag)[4], unsigned windowBits, const DecoderMemory& mem, std::uint32_t spare = 0)
{
    if (!mem.alloc || !mem.release)
        return nullptr;
    void* raw = mem.alloc(mem.ctx, sizeof(Decoder));
    if (!raw)
        return nullptr;
    std::memset(raw, 0, sizeof(Decoder));
    auto* d = static_cast<Decoder*>(raw);
    d->windowSize = 1u << windowBits;
    d->window = static_cast<std::uint8_t*>(mem.alloc(mem.ctx, std::size_t{d->windowSize} + spare));
    if (!d->window) {
        mem.release(mem.ctx, raw);
        return nullptr;
    }
    std::memset(d->window + d->windowSize, 0, spare);
    std::memcpy(d->tag, tag, 4);
    d->mem = mem;
    return d;
}

// Releases a handle that hasTag accepted.
template <class Decoder>
void destroyWithWindow(Decoder* d)
{
    const DecoderMemory mem = d->mem;
    std::memset(d->tag, 0, 4);
    mem.release(mem.ctx, d->window);
    mem.release(mem.ctx, d);
}

} // namespace cabinet
