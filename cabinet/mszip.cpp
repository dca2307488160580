// MSZIP: each cabinet data block is "CK" followed by a deflate stream. The streams of a folder
// share one 32 KiB history, so a block may copy from the output of the blocks before it. The
// decoder's window holds that history followed by the current block.
#include "mszip.h"

#include <cstdint>
#include <cstring>
#include <new>

#include "deflate.h"

namespace cabinet {
namespace {

constexpr std::size_t kHistory = 32768;
constexpr char kTag[4] = {'M', 'D', 'I', 'C'};

} // namespace

struct MszipDecoder
{
    char tag[4];
    DecoderMemory memory;
    std::size_t historyLength; // valid bytes of history in this folder, at most 32 KiB
    InflateScratch scratch;
    std::uint8_t window[kHistory + kBlockOutputMax + kInflateSlack];
};

namespace {

MszipDecoder* valid(void* handle)
{
    auto* d = static_cast<MszipDecoder*>(handle);
    return d != nullptr && std::memcmp(d->tag, kTag, 4) == 0 ? d : nullptr;
}

} // namespace

bool mszipWindowValid(unsigned) { return true; } // the window is always 32 KiB, whatever the folder says

void* mszipCreate(unsigned, const DecoderMemory& memory)
{
    if (memory.alloc == nullptr || memory.release == nullptr)
        return nullptr;
    void* p = memory.alloc(memory.ctx, sizeof(MszipDecoder));
    if (p == nullptr)
        return nullptr;
    auto* d = new (p) MszipDecoder;
    std::memcpy(d->tag, kTag, 4);
    d->memory = memory;
    d->historyLength = 0;
    return d;
}

bool mszipReset(void* handle)
{
    MszipDecoder* d = valid(handle);
    if (d == nullptr)
        return false;
    d->historyLength = 0;
    return true;
}

BlockResult mszipDecode(void* handle, const unsigned char* in, std::size_t inLen, unsigned char* out,
                        std::size_t outLen)
{
    MszipDecoder* d = valid(handle);
    if (d == nullptr || (in == nullptr && inLen != 0) || out == nullptr || outLen == 0 || outLen > kBlockOutputMax)
        return BlockResult::kBadCall;
    if (inLen < 2 || in[0] != 'C' || in[1] != 'K')
        return BlockResult::kBadData;
    InflateWindow w{d->window, sizeof d->window, kHistory - d->historyLength, kHistory, kHistory + outLen};
    const InflateResult r = inflate(in + 2, inLen - 2, w, d->scratch, StreamEnd::kFinalBlockOrInputEnd);
    if (r != InflateResult::kOk || w.position != kHistory + outLen)
        return BlockResult::kBadData;
    std::memcpy(out, d->window + kHistory, outLen);
    std::memmove(d->window, d->window + outLen, kHistory);
    d->historyLength = d->historyLength + outLen < kHistory ? d->historyLength + outLen : kHistory;
    return BlockResult::kOk;
}

void mszipDestroy(void* handle)
{
    MszipDecoder* d = valid(handle);
    if (d == nullptr)
        return;
    const DecoderMemory memory = d->memory;
    std::memset(d->tag, 0, 4);
    d->~MszipDecoder();
    memory.release(memory.ctx, d);
}

} // namespace cabinet
