// A small Quantum encoder for the decoder tests: the same adaptive models driving an arithmetic
// encoder, greedy matching, one frame per 32 KiB of input.
#pragma once

#include <cstdint>
#include <vector>
#include "codec_support.h"

namespace cabtest {

struct QtmOptions {
    unsigned windowBits = 16;
    unsigned chainDepth = 16;
    // Hostile streams: let one match run across the end of the first frame.
    bool matchAcrossFrame = false;
};

std::vector<Frame> qtmEncode(const std::vector<uint8_t>& data, const QtmOptions& options);

// One hand-made token stream for a single frame: selectors, symbols and extra bits as given.
struct QtmToken {
    unsigned selector;        // 0..6
    unsigned symbol;          // literal (within its model) or length/position slot
    unsigned lenSlot = 0;     // selector 6 only
    uint32_t lenExtra = 0;    // selector 6 only
    uint32_t posExtra = 0;
};
std::vector<uint8_t> qtmEncodeTokens(unsigned windowBits, const std::vector<QtmToken>& tokens);

}  // namespace cabtest
