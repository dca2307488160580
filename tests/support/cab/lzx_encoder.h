// A small LZX encoder for the decoder tests: greedy matching, prefix codes from the block's own
// frequencies, and every block type, so that decoding can be checked against known input.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>
#include "codec_support.h"

namespace cabtest {

enum class LzxBlock { Verbatim = 1, Aligned = 2, Uncompressed = 3 };

struct LzxPlanStep {
    LzxBlock type;
    uint32_t size;  // uncompressed bytes in the block
};

struct LzxOptions {
    unsigned windowBits = 16;
    // Blocks cycle through this plan until the data is used up (the last block is cut short).
    std::vector<LzxPlanStep> plan{{LzxBlock::Verbatim, 1u << 20}};
    unsigned chainDepth = 16;  // match-finder effort
    // Hostile streams: let one match run across the end of the first frame.
    bool matchAcrossFrame = false;
};

std::vector<Frame> lzxEncode(const std::vector<uint8_t>& data, const LzxOptions& options);

// Writes 16-bit little-endian words, most significant bit first: for hand-built streams.
class LzxBitWriter {
public:
    void bits(uint32_t value, unsigned n);
    void align16();  // zero bits up to the next word
    void byte(uint8_t b) { out_.push_back(b); }  // only when aligned
    std::vector<uint8_t> take();
    size_t pendingBits() const { return n_; }
private:
    std::vector<uint8_t> out_;
    uint32_t acc_ = 0;
    unsigned n_ = 0;
};

}  // namespace cabtest
