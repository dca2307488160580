// The MSZIP decoder alone: the input is a folder of blocks, each a 16-bit little-endian length
// and that many bytes ("CK" is put in front when missing half the time, so the inflater is
// reached more often). A zero length starts a new folder.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "mszip.h"

namespace {

void* plainAlloc(void*, std::size_t bytes) { return std::malloc(bytes); }
void plainFree(void*, void* p) { std::free(p); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const cabinet::DecoderMemory memory{plainAlloc, plainFree, nullptr};
    cabinet::MszipDecoder* decoder = cabinet::mszipCreate(memory);
    if (decoder == nullptr) return 0;
    static unsigned char out[32768];
    std::vector<unsigned char> block;
    std::size_t at = 0;
    while (at + 2 <= size) {
        std::size_t length = data[at] | (data[at + 1] << 8);
        at += 2;
        if (length == 0) {
            cabinet::mszipReset(decoder);
            continue;
        }
        if (length > size - at) length = size - at;
        block.clear();
        if (length & 1) block.insert(block.end(), {'C', 'K'});
        block.insert(block.end(), data + at, data + at + length);
        at += length;
        const int n = cabinet::mszipDecode(decoder, block.data(), block.size(), out, sizeof out);
        if (n > static_cast<int>(sizeof out)) std::abort();
    }
    cabinet::mszipDestroy(decoder);
    return 0;
}
