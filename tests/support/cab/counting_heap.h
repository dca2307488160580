// Decoder memory for tests: counts what is outstanding and can refuse the n-th request.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <random>
#include <vector>

#include "decoder_memory.h"

namespace cabtest {

struct TestHeap {
    long outstanding = 0;
    long requests = 0;
    long failAt = -1;  // 0-based request number that is refused

    cabinet::DecoderMemory memory() {
        return {[](void* ctx, std::size_t n) -> void* {
                    auto* h = static_cast<TestHeap*>(ctx);
                    if (h->requests++ == h->failAt) return nullptr;
                    ++h->outstanding;
                    return std::malloc(n);
                },
                [](void* ctx, void* p) {
                    if (!p) return;
                    --static_cast<TestHeap*>(ctx)->outstanding;
                    std::free(p);
                },
                this};
    }
};

// Text-like data with near and far repeats, incompressible stretches and x86 call bytes.
inline std::vector<uint8_t> sampleData(size_t n, uint32_t seed, size_t farthest) {
    std::mt19937 rng(seed);
    static const char* words[] = {"cabinet ", "folder ", "frame ", "window ", "printer ", "route ", "\r\n", "0x7FFF ", "install "};
    std::vector<uint8_t> d;
    d.reserve(n + 300);
    while (d.size() < n) {
        unsigned what = rng() % 16;
        if (what < 8) {
            const char* w = words[rng() % 9];
            while (*w) d.push_back(static_cast<uint8_t>(*w++));
        } else if (what < 12 && d.size() > 16) {
            size_t span = std::min(d.size(), farthest);
            size_t from = d.size() - 1 - rng() % span;
            size_t len = 3 + rng() % 300;
            for (size_t k = 0; k < len; ++k) d.push_back(d[from + k]);
        } else if (what < 14) {
            for (unsigned k = rng() % 64; k > 0; --k) d.push_back(static_cast<uint8_t>(rng()));
        } else {
            d.push_back(0xE8);
            uint32_t v = (what & 1) ? rng() % 200000 : static_cast<uint32_t>(-static_cast<int32_t>(rng() % 5000));
            for (int k = 0; k < 4; ++k) d.push_back(static_cast<uint8_t>(v >> (8 * k)));
        }
    }
    d.resize(n);
    return d;
}

}  // namespace cabtest
