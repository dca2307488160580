// Small LZX and Quantum encoders for the decoder tests, so that decoding can be checked against
// known input. LZX: greedy matching, prefix codes from each block's own frequencies, every block
// type. Quantum: the decoder's adaptive models driving an arithmetic encoder, greedy matching, one
// frame per 32 KiB of input, and hand-made token streams.
#pragma once

#include "cab_support.h"
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

namespace cabtest {

enum class LzxBlock { Verbatim = 1, Aligned = 2, Uncompressed = 3 };

struct LzxPlanStep
{
    LzxBlock type;
    uint32_t size; // uncompressed bytes in the block
};

// Blocks cycle through the plan until the data is used up (the last block is cut short); the
// hostile option lets one match run across the end of the first frame.
struct LzxOptions
{
    unsigned windowBits = 16;
    std::vector<LzxPlanStep> plan{{LzxBlock::Verbatim, 1u << 20}};
    unsigned chainDepth = 16; // match-finder effort
    bool matchAcrossFrame = false;
};

std::vector<Frame> lzxEncode(const std::vector<uint8_t>& data, const LzxOptions& options);

// Writes 16-bit little-endian words, most significant bit first: for hand-built streams.
class LzxBitWriter
{
public:
    void bits(uint32_t value, unsigned n);
    void align16() { bits(0, (16 - n_) % 16); } // zero bits up to the next word
    void byte(uint8_t b) { out_.push_back(b); } // only when aligned
    std::vector<uint8_t> take() { return std::exchange(out_, {}); }
    size_t pendingBits() const { return n_; }

private:
    std::vector<uint8_t> out_;
    uint32_t acc_ = 0;
    unsigned n_ = 0;
};

struct QtmOptions
{
    unsigned windowBits = 16, chainDepth = 16;
    bool matchAcrossFrame = false; // as for LZX
};

std::vector<Frame> qtmEncode(const std::vector<uint8_t>& data, const QtmOptions& options);

// One hand-made token stream for a single frame: selectors, symbols and extra bits as given.
struct QtmToken
{
    unsigned selector;                   // 0..6
    unsigned symbol;                     // literal (within its model) or length/position slot
    unsigned lenSlot = 0;                // selector 6 only
    uint32_t lenExtra = 0, posExtra = 0; // the length's (selector 6 only) and the position's
};
std::vector<uint8_t> qtmEncodeTokens(unsigned windowBits, const std::vector<QtmToken>& tokens);

} // namespace cabtest
