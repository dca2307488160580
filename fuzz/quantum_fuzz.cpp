// The Quantum decoder alone. Input: one byte choosing the window (10 + byte % 12), then blocks, each a
// 16-bit little-endian compressed length, a 16-bit output size (taken modulo 32768, plus 1) and
// the compressed bytes; a zero length resets the decoder for a new folder. Each block is copied
// into a buffer of exactly its size and decoded into one of exactly the output size, so any read
// or write past either shows under the sanitizers.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "quantum.h"

namespace {

void* plainAlloc(void*, std::size_t bytes) { return std::malloc(bytes); }
void plainFree(void*, void* p) { std::free(p); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1) return 0;
    const cabinet::DecoderMemory memory{plainAlloc, plainFree, nullptr};
    cabinet::QtmDecoder* decoder = cabinet::qtmCreate(10 + data[0] % 12, memory);
    if (decoder == nullptr) return 0;
    std::size_t at = 1;
    while (at + 4 <= size) {
        std::size_t length = data[at] | (data[at + 1] << 8);
        const std::size_t outLen = (data[at + 2] | (data[at + 3] << 8)) % 32768 + 1;
        at += 4;
        if (length == 0) {
            cabinet::qtmReset(decoder);
            continue;
        }
        if (length > size - at) length = size - at;
        std::unique_ptr<unsigned char[]> in(new unsigned char[length]);
        std::memcpy(in.get(), data + at, length);
        at += length;
        std::unique_ptr<unsigned char[]> out(new unsigned char[outLen]);
        const int n = cabinet::qtmDecode(decoder, in.get(), length, out.get(), outLen);
        if (n != -1 && n != static_cast<int>(outLen)) std::abort();
    }
    cabinet::qtmDestroy(decoder);
    return 0;
}
