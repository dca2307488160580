// The one counting allocator of the cabinet tests: what is outstanding, the peak, every request's
// size, and a request refused on purpose. The engine's callbacks (which carry no context) use
// fdiHeap(); a decoder gets any heap through memory().
#pragma once

#include <cstddef>
#include <vector>

#include "decoder_memory.h"

namespace cabtest {

struct CountingHeap {
    std::size_t outstanding = 0, outstandingBytes = 0, peakBytes = 0;  // blocks and bytes not yet released
    std::vector<std::size_t> sizes;  // every request, refused ones too, in order
    long failAt = -1;                // the request (from 0) that answers null

    void* allocate(std::size_t bytes);
    void release(void* p);
    cabinet::DecoderMemory memory();
};
CountingHeap& fdiHeap();

}  // namespace cabtest
