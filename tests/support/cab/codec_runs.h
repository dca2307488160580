// What the LZX and Quantum decoder tests do alike: own a decoder, run frames through it, damage
// streams at random, and check the files of a decoded folder against the reference table.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include "cab_reader.h"
#include "lzx.h"
#include "lzx_encoder.h"
#include "quantum.h"
#include "sha256.h"
#include "test_heap.h"

namespace cabtest {

template <class Decoder>
struct DecoderApi;

template <>
struct DecoderApi<cabinet::LzxDecoder> {
    static constexpr auto create = cabinet::lzxCreate;
    static constexpr auto reset = cabinet::lzxReset;
    static constexpr auto decode = cabinet::lzxDecode;
    static constexpr auto destroy = cabinet::lzxDestroy;
};

template <>
struct DecoderApi<cabinet::QtmDecoder> {
    static constexpr auto create = cabinet::qtmCreate;
    static constexpr auto reset = cabinet::qtmReset;
    static constexpr auto decode = cabinet::qtmDecode;
    static constexpr auto destroy = cabinet::qtmDestroy;
};

template <class Decoder>
struct DecoderDeleter {
    void operator()(Decoder* d) const { DecoderApi<Decoder>::destroy(d); }
};
template <class Decoder>
using DecoderPtr = std::unique_ptr<Decoder, DecoderDeleter<Decoder>>;

template <class Decoder>
DecoderPtr<Decoder> makeDecoder(TestHeap& heap, unsigned bits) {
    return DecoderPtr<Decoder>(DecoderApi<Decoder>::create(bits, heap.memory()));
}

// Decodes frames in order; the index of the first rejected frame, or -1 when all decode.
template <class Decoder>
int decodeFrames(Decoder* d, const std::vector<Frame>& frames, std::vector<uint8_t>& out) {
    out.clear();
    std::vector<uint8_t> buf(32768);
    for (size_t i = 0; i < frames.size(); ++i) {
        const Frame& f = frames[i];
        int n = DecoderApi<Decoder>::decode(d, f.bytes.data(), f.bytes.size(), buf.data(), f.size);
        if (n != static_cast<int>(f.size)) return static_cast<int>(i);
        out.insert(out.end(), buf.begin(), buf.begin() + n);
    }
    return -1;
}

// The frames decode to `data`, and a reset folder decodes the same again from scratch.
template <class Decoder>
void expectDecodesTwice(Decoder* d, const std::vector<Frame>& frames, const std::vector<uint8_t>& data) {
    std::vector<uint8_t> out;
    ASSERT_EQ(decodeFrames(d, frames, out), -1);
    ASSERT_EQ(out, data);
    ASSERT_TRUE(DecoderApi<Decoder>::reset(d));
    ASSERT_EQ(decodeFrames(d, frames, out), -1);
    EXPECT_EQ(out, data);
}

// Each round flips a bit in or cuts short one to four frames and decodes the folder from a reset:
// any result will do, but within bounds and finite.
template <class Decoder>
void decodeDamagedFolders(Decoder* d, const std::vector<Frame>& frames, unsigned seed, int rounds) {
    std::mt19937 rng(seed);
    std::vector<uint8_t> out;
    for (int round = 0; round < rounds; ++round) {
        std::vector<Frame> damaged = frames;
        for (int k = 1 + rng() % 4; k > 0; --k) {
            Frame& f = damaged[rng() % damaged.size()];
            if (f.bytes.empty()) continue;
            if (rng() % 5 == 0) f.bytes.resize(rng() % f.bytes.size());
            else f.bytes[rng() % f.bytes.size()] ^= static_cast<uint8_t>(1u << (rng() % 8));
        }
        ASSERT_TRUE(DecoderApi<Decoder>::reset(d));
        decodeFrames(d, damaged, out);
    }
}

// Something that is not a handle of this decoder (it carries another decoder's tag): every
// operation refuses it, as they refuse a null handle.
template <class Decoder>
void expectForeignHandleRefused(const char (&otherTag)[5]) {
    alignas(16) unsigned char foreign[64] = {};
    std::memcpy(foreign, otherTag, 4);
    auto* fake = reinterpret_cast<Decoder*>(foreign);
    unsigned char out[16];
    EXPECT_FALSE(DecoderApi<Decoder>::reset(fake));
    EXPECT_FALSE(DecoderApi<Decoder>::reset(nullptr));
    EXPECT_EQ(DecoderApi<Decoder>::decode(fake, out, 0, out, 16), -1);
    DecoderApi<Decoder>::destroy(fake);
    DecoderApi<Decoder>::destroy(nullptr);
}

// The files of `folder` in its decoded bytes against their reference digests; counts them.
inline void checkFolderFiles(const CabImage& cab, size_t folder, const std::vector<uint8_t>& bytes,
                             const std::vector<ExpectedFile>& expected, size_t& checked) {
    for (size_t k = 0; k < cab.files.size(); ++k) {
        const CabFile& f = cab.files[k];
        if (f.folder != folder) continue;
        ASSERT_LE(uint64_t{f.offset} + f.size, bytes.size()) << f.name;
        EXPECT_EQ(sha256Hex(bytes.data() + f.offset, f.size), expected[k].sha256) << f.name;
        ++checked;
    }
}

}  // namespace cabtest
