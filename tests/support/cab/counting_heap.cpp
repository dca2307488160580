#include "counting_heap.h"

#include <algorithm>
#include <cstdlib>

namespace cabtest {

struct alignas(16) Header {
    std::size_t bytes;
};

void* CountingHeap::allocate(std::size_t bytes) {
    sizes.push_back(bytes);
    auto* h = static_cast<long>(sizes.size() - 1) == failAt ? nullptr : static_cast<Header*>(std::malloc(sizeof(Header) + bytes));
    if (h == nullptr) return nullptr;
    h->bytes = bytes;
    ++outstanding;
    peakBytes = std::max(peakBytes, outstandingBytes += bytes);
    return h + 1;
}

void CountingHeap::release(void* p) {
    if (p == nullptr) return;
    Header* h = static_cast<Header*>(p) - 1;
    --outstanding;
    outstandingBytes -= h->bytes;
    std::free(h);
}

cabinet::DecoderMemory CountingHeap::memory() {
    return {[](void* heap, std::size_t n) { return static_cast<CountingHeap*>(heap)->allocate(n); },
            [](void* heap, void* p) { static_cast<CountingHeap*>(heap)->release(p); }, this};
}

CountingHeap& fdiHeap() {
    static CountingHeap heap;
    return heap;
}

}  // namespace cabtest
