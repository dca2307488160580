// One driver for the decoders that keep a window across a folder (LZX, Quantum). Input: one byte
// choosing the window (minBits + byte % choices), then blocks, each a 16-bit little-endian
// compressed length, a 16-bit output size (taken modulo 32768, plus 1) and the compressed bytes;
// a zero length resets the decoder for a new folder. Each block is copied into a buffer of exactly
// its size and decoded into one of exactly the output size, so any read or write past either
// shows under the sanitizers.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "decoder_memory.h"

namespace fuzzcab {

template <class Decoder>
struct WindowDecoderApi {
    Decoder* (*create)(unsigned windowBits, const cabinet::DecoderMemory& mem);
    bool (*reset)(Decoder* d);
    int (*decode)(Decoder* d, const unsigned char* in, std::size_t inLen, unsigned char* out, std::size_t outLen);
    void (*destroy)(Decoder* d);
};

inline void* plainAlloc(void*, std::size_t bytes) { return std::malloc(bytes); }
inline void plainFree(void*, void* p) { std::free(p); }

template <class Decoder>
int runWindowDecoder(const WindowDecoderApi<Decoder>& api, unsigned minBits, unsigned choices,
                     const std::uint8_t* data, std::size_t size)
{
    if (size < 1) return 0;
    const cabinet::DecoderMemory memory{plainAlloc, plainFree, nullptr};
    Decoder* decoder = api.create(minBits + data[0] % choices, memory);
    if (decoder == nullptr) return 0;
    std::size_t at = 1;
    while (at + 4 <= size) {
        std::size_t length = data[at] | (data[at + 1] << 8);
        const std::size_t outLen = (data[at + 2] | (data[at + 3] << 8)) % 32768 + 1;
        at += 4;
        if (length == 0) {
            api.reset(decoder);
            continue;
        }
        if (length > size - at) length = size - at;
        std::unique_ptr<unsigned char[]> in(new unsigned char[length]);
        std::memcpy(in.get(), data + at, length);
        at += length;
        std::unique_ptr<unsigned char[]> out(new unsigned char[outLen]);
        const int n = api.decode(decoder, in.get(), length, out.get(), outLen);
        if (n != -1 && n != static_cast<int>(outLen)) std::abort();
    }
    api.destroy(decoder);
    return 0;
}

}  // namespace fuzzcab
