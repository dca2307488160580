// Raw deflate streams (RFC 1951) into a window the caller owns: the bytes before the output
// position are the history back-references may reach, down to a floor the caller sets. Every read
// stays inside the input, every write inside the window's capacity; nothing is allocated and
// nothing recurses, so the only memory is the window and the scratch the caller passes.
#pragma once

#include <cstddef>
#include <cstdint>

namespace cabinet {

constexpr unsigned kLitRootBits = 10;
constexpr unsigned kDistRootBits = 8;
constexpr unsigned kMaxDeflateCode = 15;
// A root table plus, for each symbol, at most one sub-table of 2^(15 - root) entries.
constexpr std::size_t kLitTableSize = (1u << kLitRootBits) + 288u * (1u << (kMaxDeflateCode - kLitRootBits));
constexpr std::size_t kDistTableSize = (1u << kDistRootBits) + 32u * (1u << (kMaxDeflateCode - kDistRootBits));

// Decoding tables of a dynamic block, rebuilt for each one; the caller keeps them (about 45 KiB).
struct InflateScratch
{
    std::uint32_t lit[kLitTableSize];
    std::uint32_t dist[kDistTableSize];
};

// Where the output goes. Bytes [floor, position) are history; output is written from position and
// stops at limit (limit <= capacity). Matches are copied in 16-byte steps where the window has
// kInflateSlack bytes to spare after limit, byte by byte otherwise.
struct InflateWindow
{
    std::uint8_t* data;
    std::size_t capacity;
    std::size_t floor;
    std::size_t position; // advanced past every byte written, also when inflating fails
    std::size_t limit;
};
constexpr std::size_t kInflateSlack = 16;

enum class InflateResult {
    kOk,         // the stream ended
    kTruncated,  // the input ended inside the stream
    kOutputFull, // the stream holds more than fits below limit
    kBadData,    // an invalid block type, code, length or distance
};

// Where a stream may end: only after its final block, or also at the clean end of the input after
// any block (cabinet writers that leave the final flag off).
enum class StreamEnd { kFinalBlock, kFinalBlockOrInputEnd };

// Inflates in[0, inLen) into the window. `consumed` (when given) receives the bytes of input up to
// and including the stream's last byte.
InflateResult inflate(const std::uint8_t* in, std::size_t inLen, InflateWindow& window, InflateScratch& scratch,
                      StreamEnd end, std::size_t* consumed = nullptr);

// A stream inflated in steps, for output larger than any window: the whole input is in memory and
// the caller drains the window between steps. The fields are the decoder's own.
struct InflateStream
{
    enum Block : unsigned { kBetween, kFixed, kDynamic, kStored, kFinished };
    const std::uint8_t* start = nullptr;
    const std::uint8_t* in = nullptr;
    const std::uint8_t* end = nullptr;
    std::uint64_t buffer = 0;
    unsigned count = 0;
    unsigned overrun = 0;
    unsigned block = kBetween;
    unsigned last = 0;
    std::size_t stored = 0; // bytes of the current stored block still to copy
};

void inflateBegin(InflateStream& stream, const std::uint8_t* in, std::size_t inLen);
// kOk once the final block has ended; kOutputFull when fewer than 258 bytes are left below the
// window's limit: move position (keeping up to 32 KiB of history above floor) and step again.
// kTruncated and kBadData end the stream. The scratch must stay the same between steps.
InflateResult inflateStep(InflateStream& stream, InflateWindow& window, InflateScratch& scratch);
// Input bytes up to and including the stream's last byte (once it has ended).
std::size_t inflateConsumed(const InflateStream& stream);

} // namespace cabinet
