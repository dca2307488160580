// One block decoder alone, reached through the codec table; FUZZ_METHOD names the method. Input:
// one byte choosing among the windows the method accepts, then blocks, each a 16-bit little-endian
// compressed length, a 16-bit output size (modulo 32768, plus 1) and the compressed bytes; a zero
// length resets the decoder for a new folder. Each block is copied into a buffer of exactly its
// size and decoded into one of exactly the output size, so any read or write past either shows
// under the sanitizers.
#include "cab_support.h"
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const cabinet::Codec& codec = cabinet::kCodecs[FUZZ_METHOD];
    if (size < 1)
        return 0;
    unsigned windows[32], count = 0;
    for (unsigned bits = 0; bits < 32; ++bits)
        if (codec.windowValid(bits))
            windows[count++] = bits;
    cabtest::CountingHeap heap;
    void* decoder = codec.create(windows[data[0] % count], heap.memory());
    if (decoder == nullptr)
        std::abort();
    std::size_t at = 1;
    while (at + 4 <= size) {
        std::size_t length = data[at] | (data[at + 1] << 8);
        const std::size_t outLen = (data[at + 2] | (data[at + 3] << 8)) % 32768 + 1;
        at += 4;
        if (length == 0) {
            if (!codec.reset(decoder))
                std::abort();
            continue;
        }
        if (length > size - at)
            length = size - at;
        std::unique_ptr<unsigned char[]> in(new unsigned char[length]);
        std::memcpy(in.get(), data + at, length);
        at += length;
        std::unique_ptr<unsigned char[]> out(new unsigned char[outLen]);
        if (codec.decode(decoder, in.get(), length, out.get(), outLen) == cabinet::BlockResult::kBadCall)
            std::abort();
    }
    codec.destroy(decoder);
    if (heap.outstanding != 0)
        std::abort();
    return 0;
}
