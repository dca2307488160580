#include "codec_support.h"
#include <algorithm>
#include <cstdlib>
#include <random>

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


Bytes sampleData(std::size_t n, std::uint32_t seed, std::size_t farthest) {
    std::mt19937 rng(seed);
    static const char* words[] = {"cabinet ", "folder ", "frame ",   "window ", "printer ",
                                  "route ",   "\r\n",    "0x7FFF ", "install "};
    Bytes d;
    d.reserve(n + 300);
    while (d.size() < n) {
        const unsigned what = rng() % 16;
        if (what < 8) {
            for (const char* w = words[rng() % 9]; *w; ++w) d.push_back(static_cast<std::uint8_t>(*w));
        } else if (what < 12 && d.size() > 16) {
            const std::size_t from = d.size() - 1 - rng() % std::min(d.size(), farthest);
            for (std::size_t k = 0, len = 3 + rng() % 300; k < len; ++k) d.push_back(d[from + k]);
        } else if (what < 14) {
            for (unsigned k = rng() % 64; k > 0; --k) d.push_back(static_cast<std::uint8_t>(rng()));
        } else {
            d.push_back(0xE8);
            const std::uint32_t v = (what & 1) ? rng() % 200000 : 0u - rng() % 5000;
            for (int k = 0; k < 4; ++k) d.push_back(static_cast<std::uint8_t>(v >> (8 * k)));
        }
    }
    d.resize(n);
    return d;
}

}  // namespace cabtest
