// LZX alone: call translation where the format puts it, and hand-built frames with matches and
// trees that cannot be. Round trips (with call translation) and damaged streams: cabinet_codec_tests.
#include <gtest/gtest.h>

#include <string>

#include "codec_support.h"
#include "lzx_encoder.h"

using namespace cabtest;
using cabinet::BlockResult;
using cabinet::Method;

namespace {

Bytes fromHex(const std::string& hex) {
    Bytes b;
    for (size_t i = 0; i + 1 < hex.size(); i += 2) b.push_back(static_cast<uint8_t>(std::stoul(hex.substr(i, 2), nullptr, 16)));
    return b;
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

// Hand-built frames of window 2^15, no call translation. "tree(256)": a verbatim block of 3 bytes
// whose main tree has two codes of one bit, 'a' = 0 and match header 256 (R0, length 2) = 1, and an
// empty length tree, each tree coded through its pretree as the block header carries it.
TEST(Lzx, RejectsMatchesAndTreesThatCannotBe) {
    const std::string tree256 = "00103000000000000000030007318fdafdbe00100000000000000103fb08beef00780000000000000000ef83fbbe00";
    CountingHeap heap;
    Decoder d(Method::kLzx, 15, heap.memory());
    Bytes out;
    ASSERT_EQ(d.decode(fromHex(tree256 + "28"), 3, out), BlockResult::kOk) << "'a' then a repeat of R0 = 1: aaa";
    EXPECT_EQ(std::string(out.begin(), out.end()), "aaa");
    std::string ones;  // R0..R2 = 0x01010101 and 100 bytes
    for (int i = 0; i < 12 + 100; ++i) ones += "01";
    const struct {
        const char* what;
        std::string hex;
        size_t outLen;
    } cases[] = {
        {"the same match first, before the folder's first byte", tree256 + "30", 3},
        {"block type 0", "0000300000000000", 3},
        {"block type 4", "0040300000000000", 3},
        {"block type 7", "0070300000000000", 3},
        {"an empty block (tree(256) of size 0)",
         "00100000000000000000030007318fdafdbe00100000000000000103fb08beef00780000000000000000ef83fbbe0020", 3},
        {"an over-subscribed pretree: twenty codes of one bit", "0010310011111111111111111011", 3},
        {"an over-subscribed main tree: 'a', 'b' and 256 of one bit",
         "0010300000000000000002000731a7da7fdf000000000000000080017d84dff7003c0000000000000000f7417ddf0090", 3},
        {"an empty main tree",
         "00103300000000000000000007017ddfe0f700000000000000008300beef00fa00000000000000000f02fbbe80ec0000", 3},
        {"pretree codes 0 and 18: six runs of 51 zeros overrun 256", "0010310000000000000000000f01ffffffff", 3},
        {"pretree code 19 followed by code 17 instead of a delta", "0010300000000000000000001810", 3},
        {"an uncompressed block setting R0 = 0, then tree(256) repeating it",
         "00304000000000000100000001000000616263640020600000000000000006000f621fb5fa7d00200000000000000206f7117cdf00f0"
         "0000000000000100df07f67d0060", 7},
        {"the same with R0 = 0x7FFFFFFF",
         "00304000ffffff7f0100000001000000616263640020600000000000000006000f621fb5fa7d00200000000000000206f7117cdf00f0"
         "0000000000000100df07f67d0060", 7},
        {"the same with R0 = 40000, beyond the window",
         "00304000409c00000100000001000000616263640020600000000000000006000f621fb5fa7d00200000000000000206f7117cdf00f0"
         "0000000000000100df07f67d0060", 7},
        {"an uncompressed block of 32768 bytes with 100 in the input", "08300000" + ones, 32768},
        {"an uncompressed block of 4 bytes in a frame of 8, nothing after it", "0030400001010101010101010101010101010101", 8},
        {"a match of 3 with 2 bytes left in its block (tree(257) of size 2)",
         "00102000000000000000030007318fdafdbe001300000000000001035f09f77d00ce00000000000000007d10dff70065", 2},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(d.reset());
        EXPECT_EQ(d.decode(fromHex(c.hex), c.outLen, out), BlockResult::kBadData) << c.what;
    }
}
