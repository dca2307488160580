#include "codec.h"

#include <cstring>

#include "lzx.h"
#include "mszip.h"
#include "quantum.h"

namespace cabinet {
namespace {

// Stored blocks carry their bytes as they are: no state, so every folder shares one token. It is
// tagged like the other decoders' records, so their handle checks can read it.
struct StoredToken
{
    char tag[4];
} g_storedToken = {{'S', 'D', 'I', 'C'}};

bool storedWindowValid(unsigned) { return true; }
void* storedCreate(unsigned, const DecoderMemory&) { return &g_storedToken; }
bool storedReset(void* decoder) { return decoder == &g_storedToken; }
BlockResult storedDecode(void* decoder, const unsigned char* in, std::size_t inLen, unsigned char* out,
                         std::size_t outLen)
{
    if (decoder != &g_storedToken || out == nullptr || outLen == 0 || outLen > kBlockOutputMax ||
        (in == nullptr && inLen != 0))
        return BlockResult::kBadCall;
    if (inLen != outLen)
        return BlockResult::kBadData;
    std::memcpy(out, in, outLen);
    return BlockResult::kOk;
}
void storedDestroy(void*) {}

// Input buffers: a block's output size plus the most a valid block of the method can exceed it by.
constexpr std::size_t kMszipSlack = 12;
constexpr std::size_t kQuantumSlack = 10240;

} // namespace

// A stored block longer than its output can never decode; for the others an input that does not
// fit the buffer means the cabinet is damaged.
const Codec kCodecs[4] = {
    {Method::kStored, "stored", kBlockOutputMax, FDIERROR_MDI_FAIL, storedWindowValid, storedCreate, storedReset,
     storedDecode, nullptr, nullptr, storedDestroy},
    {Method::kMszip, "MSZIP", kBlockOutputMax + kMszipSlack, FDIERROR_CORRUPT_CABINET, mszipWindowValid, mszipCreate,
     mszipReset, mszipDecode, nullptr, nullptr, mszipDestroy},
    {Method::kQuantum, "Quantum", kBlockOutputMax + kQuantumSlack, FDIERROR_CORRUPT_CABINET, qtmWindowValid, qtmCreate,
     qtmReset, qtmDecode, nullptr, nullptr, qtmDestroy},
    {Method::kLzx, "LZX", kLzxInputMax, FDIERROR_CORRUPT_CABINET, lzxWindowValid, lzxCreate, lzxReset, lzxDecode,
     lzxFeed, lzxTake, lzxDestroy},
};

const Codec* codecFor(unsigned typeCompress)
{
    const unsigned method = methodOf(typeCompress);
    return method < sizeof kCodecs / sizeof kCodecs[0] ? &kCodecs[method] : nullptr;
}

} // namespace cabinet
