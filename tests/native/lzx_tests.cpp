// LZX alone: call translation where the format puts it, and hand-built blocks with matches and
// trees that cannot be. Round trips (with call translation) and damaged streams: cabinet_codec_tests.
#include <gtest/gtest.h>

#include <functional>

#include "codec_runs.h"
#include "counting_heap.h"
#include "lzx_encoder.h"

using namespace cabtest;
using cabinet::BlockResult;
using cabinet::Method;

namespace {

// Verbatim block header with a main tree of the given lengths and an empty length tree.
void verbatimHeader(LzxBitWriter& w, uint32_t size, const std::vector<uint8_t>& mainLens) {
    w.bits(1, 3);
    w.bits(size, 24);
    lzxWriteLengths(w, std::vector<uint8_t>(256, 0), std::vector<uint8_t>(mainLens.begin(), mainLens.begin() + 256));
    lzxWriteLengths(w, std::vector<uint8_t>(mainLens.size() - 256, 0),
                    std::vector<uint8_t>(mainLens.begin() + 256, mainLens.end()));
    lzxWriteLengths(w, std::vector<uint8_t>(249, 0), std::vector<uint8_t>(249, 0));
}

// Window 2^15: 256 literals and 30 x 8 match headers.
constexpr unsigned kMain15 = 256 + 240;

// A main tree with two codes of one bit: 'a' = 0, the given match header = 1.
std::vector<uint8_t> twoSymbolTree(unsigned matchSym) {
    std::vector<uint8_t> lens(kMain15, 0);
    lens['a'] = 1;
    lens[matchSym] = 1;
    return lens;
}

// One uncompressed block holding `bytes`, so the window holds exactly them; the folder's first
// frame carries the call translation header.
Bytes uncompressedFrame(bool first, uint32_t translationSize, const Bytes& bytes) {
    LzxBitWriter w;
    if (first) {
        w.bits(1, 1);
        w.bits(translationSize, 32);
    }
    w.bits(3, 3);
    w.bits(static_cast<uint32_t>(bytes.size()), 24);
    if (w.pendingBits() == 0) w.bits(0, 16);
    else w.align16();
    for (int i = 0; i < 12; ++i) w.byte(i % 4 == 0 ? 1 : 0);  // R0..R2 = 1
    for (uint8_t b : bytes) w.byte(b);
    if (bytes.size() & 1) w.byte(0);
    return w.take();
}

void putCall(Bytes& v, size_t at, int32_t value) {
    v[at] = 0xE8;
    for (int k = 0; k < 4; ++k) v[at + 1 + k] = static_cast<uint8_t>(static_cast<uint32_t>(value) >> (8 * k));
}
int32_t callAt(const Bytes& v, size_t at) {
    return static_cast<int32_t>(v[at + 1] | (v[at + 2] << 8) | (v[at + 3] << 16) | (uint32_t(v[at + 4]) << 24));
}

}  // namespace

TEST(Lzx, UndoesCallTranslationExactlyWhereTheFormatSays) {
    const uint32_t translationSize = 0x100000;
    Bytes a(32768, 0);
    putCall(a, 0, 100);                     // absolute 100 at 0: relative 100
    putCall(a, 5, -3);                      // negative and reachable: plus the translation size
    putCall(a, 20, -30);                    // before the start of the data: untouched
    putCall(a, 30, translationSize);        // at or past the translation size: untouched
    putCall(a, 32768 - 11, 40000);          // last place a call may start
    CountingHeap heap;
    Decoder d(Method::kLzx, 15, heap.memory());
    Bytes out;
    ASSERT_EQ(d.decode(uncompressedFrame(true, translationSize, a), 32768, out), BlockResult::kOk);
    EXPECT_EQ(callAt(out, 0), 100);
    EXPECT_EQ(callAt(out, 5), static_cast<int32_t>(translationSize) - 3);
    EXPECT_EQ(callAt(out, 20), -30);
    EXPECT_EQ(callAt(out, 30), static_cast<int32_t>(translationSize));
    EXPECT_EQ(callAt(out, 32768 - 11), 40000 - (32768 - 11));

    // The offset is the folder position: the second frame starts at 32768.
    Bytes b(32768, 0);
    putCall(b, 0, 32768 + 50);
    putCall(b, 32768 - 10, 40000);  // inside the last ten bytes
    ASSERT_EQ(d.decode(uncompressedFrame(false, 0, b), 32768, out), BlockResult::kOk);
    EXPECT_EQ(callAt(out, 0), 50);
    EXPECT_EQ(callAt(out, 32768 - 10), 40000);

    // A frame of ten bytes or less is left alone.
    Bytes tail(10, 0);
    putCall(tail, 0, 32768 * 2 + 1);
    ASSERT_EQ(d.decode(uncompressedFrame(false, 0, tail), 10, out), BlockResult::kOk);
    EXPECT_EQ(callAt(out, 0), 32768 * 2 + 1);
}

TEST(Lzx, CallTranslationStopsAfterTheFirstGigabyte) {
    Bytes bytes(32768, 0);
    putCall(bytes, 0, 16);  // absolute 16: translated while frames are counted
    const Bytes first = uncompressedFrame(true, 0x7FFFFFFF, bytes), later = uncompressedFrame(false, 0, bytes);
    CountingHeap heap;
    Decoder d(Method::kLzx, 21, heap.memory());
    Bytes out;
    ASSERT_EQ(d.decode(first, 32768, out), BlockResult::kOk);
    for (uint32_t f = 1; f < 32768; ++f) ASSERT_EQ(d.decode(later, 32768, out), BlockResult::kOk);
    EXPECT_EQ(static_cast<uint32_t>(callAt(out, 0)), static_cast<uint32_t>(16 - 32767u * 32768u));
    ASSERT_EQ(d.decode(later, 32768, out), BlockResult::kOk);
    EXPECT_EQ(callAt(out, 0), 16);
}

TEST(Lzx, RejectsMatchesAndTreesThatCannotBe) {
    CountingHeap heap;
    Decoder d(Method::kLzx, 15, heap.memory());
    Bytes out;
    auto decode = [&](const std::function<void(LzxBitWriter&)>& write, size_t outLen) {
        LzxBitWriter w;
        w.bits(0, 1);  // no call translation
        write(w);
        w.align16();
        EXPECT_TRUE(d.reset());
        return d.decode(w.take(), outLen, out);
    };
    auto rejects = [&](const char* what, const std::function<void(LzxBitWriter&)>& write, size_t outLen = 3) {
        EXPECT_EQ(decode(write, outLen), BlockResult::kBadData) << what;
    };
    auto block = [](LzxBitWriter& w, unsigned type, uint32_t size) {
        w.bits(type, 3);
        w.bits(size, 24);
    };
    auto pretree = [](LzxBitWriter& w, unsigned oneBitA, unsigned oneBitB) {
        for (unsigned i = 0; i < 20; ++i) w.bits(i == oneBitA || i == oneBitB ? 1 : 0, 4);
    };

    // 'a' then a repeat of offset 1 (R0 starts at 1): "aaa". The same match first reaches before
    // the folder's first byte.
    ASSERT_EQ(decode([](LzxBitWriter& w) { verbatimHeader(w, 3, twoSymbolTree(256)), w.bits(0, 1), w.bits(1, 1); }, 3),
              BlockResult::kOk);
    EXPECT_EQ(std::string(out.begin(), out.end()), "aaa");
    rejects("match before the folder's first byte",
            [](LzxBitWriter& w) { verbatimHeader(w, 3, twoSymbolTree(256)), w.bits(1, 1), w.bits(0, 1); });

    for (uint32_t type : {0u, 4u, 7u})
        rejects("block type outside 1..3", [&](LzxBitWriter& w) { block(w, type, 3), w.bits(0, 32); });
    rejects("empty block", [](LzxBitWriter& w) { verbatimHeader(w, 0, twoSymbolTree(256)); });
    rejects("over-subscribed pretree", [&](LzxBitWriter& w) {
        block(w, 1, 3);
        for (int i = 0; i < 20; ++i) w.bits(1, 4);  // twenty codes of one bit
    });
    rejects("over-subscribed main tree", [](LzxBitWriter& w) {
        std::vector<uint8_t> lens = twoSymbolTree(256);
        lens['b'] = 1;
        verbatimHeader(w, 3, lens);
    });
    rejects("empty main tree", [](LzxBitWriter& w) { verbatimHeader(w, 3, std::vector<uint8_t>(kMain15, 0)), w.bits(0, 16); });
    rejects("zero run past the end of a tree", [&](LzxBitWriter& w) {
        block(w, 1, 3);
        pretree(w, 0, 18);  // codes 0 and 18 of one bit each: 6 runs of 51 zeros overrun 256
        for (int i = 0; i < 6; ++i) w.bits(1, 1), w.bits(31, 5);
    });
    rejects("run code inside a same-value run", [&](LzxBitWriter& w) {
        block(w, 1, 3);
        pretree(w, 17, 19);
        w.bits(1, 1), w.bits(0, 1), w.bits(0, 1);  // code 19 must be followed by a delta, not code 17
    });
    for (uint32_t r0 : {0u, 0x7FFFFFFFu, 40000u}) {
        rejects("repeated offset outside the history", [&](LzxBitWriter& w) {
            block(w, 3, 4);  // an uncompressed block sets R0, then a repeated match uses it
            w.align16();
            for (uint32_t v : {r0, 1u, 1u})
                for (int k = 0; k < 4; ++k) w.byte(static_cast<uint8_t>(v >> (8 * k)));
            for (uint8_t b : {'a', 'b', 'c', 'd'}) w.byte(b);
            verbatimHeader(w, 3, twoSymbolTree(256));
            w.bits(1, 1);
        }, 7);
    }
    auto uncompressed = [&](uint32_t size, int bytes) {
        return [=](LzxBitWriter& w) {
            block(w, 3, size);
            w.align16();
            for (int i = 0; i < 12 + bytes; ++i) w.byte(1);
        };
    };
    rejects("uncompressed block longer than its input", uncompressed(32768, 100), 32768);
    rejects("uncompressed block shorter than the frame, nothing after it", uncompressed(4, 4), 8);
    rejects("match past the end of its block", [](LzxBitWriter& w) {
        verbatimHeader(w, 2, twoSymbolTree(256 + 1)), w.bits(0, 1), w.bits(1, 1);  // 3 bytes, 2 left
    }, 2);
}
