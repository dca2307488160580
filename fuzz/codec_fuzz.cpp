// One block decoder alone, reached through the codec table; FUZZ_METHOD names the method. Input:
// one byte choosing among the windows the method accepts, then blocks, each a 16-bit little-endian
// compressed length, a 16-bit output size (modulo 32768, plus 1) and the compressed bytes; a zero
// length resets the decoder for a new folder. Each block is copied into a buffer of exactly its
// size and decoded into one of exactly the output size, so any read or write past either shows
// under the sanitizers. A method that decodes ahead on a second thread decodes every folder (whose
// blocks fit its input buffer) that way too, three blocks handed over ahead, and must give the same
// result and bytes for every block.
#include "cab_support.h"
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

namespace {

struct Block
{
    std::vector<unsigned char> in;
    std::size_t outLen;
};

void compareAhead(const cabinet::Codec& codec, void* ahead, const std::vector<Block>& folder,
                  const std::vector<cabinet::BlockResult>& results,
                  const std::vector<std::vector<unsigned char>>& outputs)
{
    for (const Block& b : folder)
        if (b.in.size() > codec.inputSize)
            return;
    if (!codec.reset(ahead))
        std::abort();
    std::size_t fed = 0;
    for (std::size_t i = 0; i < folder.size(); ++i) {
        for (; fed < folder.size() && fed < i + 3; ++fed) {
            const Block& b = folder[fed];
            if (!codec.feed(ahead, b.in.data(), b.in.size(), b.outLen)) {
                if (fed == 0)
                    return; // no second thread here
                break;
            }
        }
        std::unique_ptr<unsigned char[]> out(new unsigned char[folder[i].outLen]);
        const cabinet::BlockResult r = codec.take(ahead, out.get(), folder[i].outLen);
        if (r != results[i] ||
            (r == cabinet::BlockResult::kOk && std::memcmp(out.get(), outputs[i].data(), folder[i].outLen)))
            std::abort();
    }
}

} // namespace

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
    const unsigned window = windows[data[0] % count];
    void* decoder = codec.create(window, heap.memory());
    void* ahead = codec.feed ? codec.create(window, heap.memory()) : nullptr;
    if (decoder == nullptr || (codec.feed && ahead == nullptr))
        std::abort();
    std::vector<Block> folder;
    std::vector<cabinet::BlockResult> results;
    std::vector<std::vector<unsigned char>> outputs;
    auto endFolder = [&] {
        if (ahead)
            compareAhead(codec, ahead, folder, results, outputs);
        folder.clear();
        results.clear();
        outputs.clear();
    };
    std::size_t at = 1;
    while (at + 4 <= size) {
        std::size_t length = data[at] | (data[at + 1] << 8);
        const std::size_t outLen = (data[at + 2] | (data[at + 3] << 8)) % 32768 + 1;
        at += 4;
        if (length == 0) {
            if (!codec.reset(decoder))
                std::abort();
            endFolder();
            continue;
        }
        if (length > size - at)
            length = size - at;
        std::unique_ptr<unsigned char[]> in(new unsigned char[length]);
        std::memcpy(in.get(), data + at, length);
        std::unique_ptr<unsigned char[]> out(new unsigned char[outLen]);
        const cabinet::BlockResult r = codec.decode(decoder, in.get(), length, out.get(), outLen);
        if (r == cabinet::BlockResult::kBadCall)
            std::abort();
        if (ahead) {
            folder.push_back({std::vector<unsigned char>(data + at, data + at + length), outLen});
            results.push_back(r);
            outputs.emplace_back(out.get(), out.get() + outLen);
        }
        at += length;
    }
    endFolder();
    codec.destroy(decoder);
    if (ahead)
        codec.destroy(ahead);
    if (heap.outstanding != 0)
        std::abort();
    return 0;
}
