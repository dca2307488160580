// The block decoders through the codec table: the windows each method accepts, their memory,
// handles of another method, and for LZX and Quantum round trips from the test encoders at every
// window size and frames that do not end where they must; Quantum's own token streams and working
// state; LZX's call translation and hand-built hostile frames. Damaged streams: the fuzz replays.
#include "cab_support.h"
#include "checksum.h"
#include "test_encoders.h"
#include <gtest/gtest.h>
#include <string>

using namespace cabtest;
using cabinet::BlockResult;
using cabinet::Codec;
using cabinet::Method;

namespace {

Bytes fromHex(const std::string& hex)
{
    Bytes b;
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
        b.push_back(static_cast<uint8_t>(std::stoul(hex.substr(i, 2), nullptr, 16)));
    return b;
}

// One uncompressed block holding `bytes`, so the window holds exactly them; the folder's first
// frame carries the call translation header.
Bytes uncompressedFrame(bool first, uint32_t translationSize, const Bytes& bytes)
{
    LzxBitWriter w;
    if (first) {
        w.bits(1, 1);
        w.bits(translationSize, 32);
    }
    w.bits(3, 3);
    w.bits(static_cast<uint32_t>(bytes.size()), 24);
    if (w.pendingBits() == 0)
        w.bits(0, 16);
    else
        w.align16();
    for (int i = 0; i < 12; ++i)
        w.byte(i % 4 == 0 ? 1 : 0); // R0..R2 = 1
    for (uint8_t b : bytes)
        w.byte(b);
    if (bytes.size() & 1)
        w.byte(0);
    return w.take();
}

void putCall(Bytes& v, size_t at, int32_t value)
{
    v[at] = 0xE8;
    for (int k = 0; k < 4; ++k)
        v[at + 1 + k] = static_cast<uint8_t>(static_cast<uint32_t>(value) >> (8 * k));
}
int32_t callAt(const Bytes& v, size_t at)
{
    return static_cast<int32_t>(v[at + 1] | (v[at + 2] << 8) | (v[at + 3] << 16) | (uint32_t(v[at + 4]) << 24));
}

// A method that keeps a window across its folder, and the test encoder that makes its frames.
struct WindowCodec
{
    Method method;
    unsigned lowest, highest;
    // LZX frames end on a 16-bit boundary of their own input; Quantum's coder reads ahead of its
    // data, so only a frame cut well short is sure to fail.
    bool strictEnd;
    std::size_t (*sampleLength)(unsigned bits);
    std::vector<Frame> (*encode)(const Bytes& data, unsigned bits, bool matchAcrossFrame);
};

std::vector<Frame> lzxFrames(const Bytes& data, unsigned bits, bool matchAcrossFrame)
{
    const std::vector<LzxPlanStep> plan = {{LzxBlock::Verbatim, 20000},    {LzxBlock::Aligned, 45000},
                                           {LzxBlock::Uncompressed, 4097}, {LzxBlock::Aligned, 7},
                                           {LzxBlock::Verbatim, 70001},    {LzxBlock::Uncompressed, 32771},
                                           {LzxBlock::Aligned, 1u << 20}};
    return lzxEncode(data, {bits, plan, 4, matchAcrossFrame});
}
std::vector<Frame> qtmFrames(const Bytes& data, unsigned bits, bool matchAcrossFrame)
{
    return qtmEncode(data, {bits, 8, matchAcrossFrame});
}

// Past twice the window where that is cheap, so the window wraps and offsets reach its far end.
std::size_t lzxLength(unsigned bits)
{
    return bits <= 18 ? (std::size_t{2} << bits) + 12345 : (std::size_t{1} << bits) + 70001;
}
std::size_t qtmLength(unsigned) { return 3 * 32768 + 777; }

const WindowCodec kWindowCodecs[] = {{Method::kLzx, 15, 21, true, lzxLength, lzxFrames},
                                     {Method::kQuantum, 10, 21, false, qtmLength, qtmFrames}};

} // namespace

// Data-block checksums over 32-byte lanes, 8-byte pieces, a word and a tail of one to three bytes
// (folded in high byte first); the values are worked out word by word from the format's rule.
TEST(Codecs, DataBlockChecksumOverLanesWordsAndTails)
{
    Bytes data(70);
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<uint8_t>(7 * i + 1);
    EXPECT_EQ(cabinet::checksum(data.data(), 3, 0x12345678), 0x12355e77u);
    EXPECT_EQ(cabinet::checksum(data.data(), 9, 0x12345678), 0x36107a5du);
    EXPECT_EQ(cabinet::checksum(data.data(), 70, 0x12345678), 0xc4fb039du);
    EXPECT_EQ(cabinet::checksum(data.data(), 0, 0x12345678), 0x12345678u);
}

TEST(Codecs, EachMethodTakesTheWindowsOfTheFormat)
{
    const struct
    {
        Method method;
        unsigned lowest, highest;
        std::size_t requests; // a record, and a window where the method keeps one
    } methods[] = {{Method::kStored, 0, 31, 0},
                   {Method::kMszip, 0, 31, 1},
                   {Method::kQuantum, 10, 21, 2},
                   {Method::kLzx, 15, 21, 2}};
    for (const auto& m : methods) {
        const Codec& c = codecOf(m.method);
        SCOPED_TRACE(c.name);
        ASSERT_EQ(c.method, m.method);
        EXPECT_EQ(cabinet::codecFor(static_cast<unsigned>(m.method) | 0x1F00u), &c);
        for (unsigned bits = 0; bits < 32; ++bits) {
            const bool valid = bits >= m.lowest && bits <= m.highest;
            EXPECT_EQ(c.windowValid(bits), valid) << bits;
            CountingHeap heap;
            void* d = c.create(bits, heap.memory());
            EXPECT_EQ(d != nullptr, valid) << bits;
            EXPECT_EQ(heap.sizes.size(), valid ? m.requests : 0u) << bits;
            if (valid && m.requests == 2) {
                EXPECT_GE(heap.sizes[1], std::size_t{1} << bits) << "the window";
                EXPECT_LE(heap.sizes[1], (std::size_t{1} << bits) + 65536) << "and at most a spare frame";
            }
            c.destroy(d);
            EXPECT_EQ(heap.outstanding, 0u);
        }
        for (long failAt = 0; failAt < static_cast<long>(m.requests); ++failAt) {
            CountingHeap heap;
            heap.failAt = failAt;
            EXPECT_EQ(c.create(m.highest, heap.memory()), nullptr) << failAt;
            EXPECT_EQ(heap.outstanding, 0u) << failAt;
        }
    }
    for (unsigned method = 4; method < 16; ++method)
        EXPECT_EQ(cabinet::codecFor(method), nullptr);
}

TEST(Codecs, RefuseAnotherMethodsDecoderAndSizesNoBlockHas)
{
    CountingHeap heap;
    std::vector<void*> handles;
    for (const Codec& c : cabinet::kCodecs)
        handles.push_back(c.create(16, heap.memory())); // a window all take
    const std::size_t held = heap.outstanding;
    unsigned char in[16] = {}, out[16];
    for (const Codec& c : cabinet::kCodecs) {
        SCOPED_TRACE(c.name);
        void* own = handles[static_cast<unsigned>(c.method)];
        for (void* other : handles) {
            if (other == own)
                continue;
            EXPECT_FALSE(c.reset(other));
            EXPECT_EQ(c.decode(other, in, 16, out, 16), BlockResult::kBadCall);
            c.destroy(other);
            EXPECT_EQ(heap.outstanding, held) << "another method's decoder was released";
        }
        EXPECT_FALSE(c.reset(nullptr));
        EXPECT_EQ(c.decode(nullptr, in, 16, out, 16), BlockResult::kBadCall);
        c.destroy(nullptr);
        std::vector<unsigned char> big(32769);
        EXPECT_EQ(c.decode(own, in, 16, out, 0), BlockResult::kBadCall);
        EXPECT_EQ(c.decode(own, in, 16, big.data(), big.size()), BlockResult::kBadCall);
        EXPECT_EQ(c.decode(own, in, 16, nullptr, 16), BlockResult::kBadCall);
        EXPECT_EQ(c.decode(own, nullptr, 16, out, 16), BlockResult::kBadCall);
    }
    for (const Codec& c : cabinet::kCodecs)
        c.destroy(handles[static_cast<unsigned>(c.method)]);
    EXPECT_EQ(heap.outstanding, 0u);
}

TEST(WindowCodecs, RoundTripEveryWindowSizeAndAgainAfterAReset)
{
    for (const WindowCodec& wc : kWindowCodecs)
        for (unsigned bits = wc.lowest; bits <= wc.highest; ++bits) {
            SCOPED_TRACE(codecOf(wc.method).name + std::to_string(bits));
            const Bytes data =
                sampleData(wc.sampleLength(bits), 100 + bits, std::min<std::size_t>(std::size_t{1} << bits, 90000));
            const std::vector<Frame> frames = wc.encode(data, bits, false);
            CountingHeap heap;
            Decoder d(wc.method, bits, heap.memory());
            Bytes out;
            ASSERT_EQ(d.decodeFrames(frames, out), -1);
            ASSERT_EQ(out, data);
            ASSERT_TRUE(d.reset());
            ASSERT_EQ(d.decodeFrames(frames, out), -1);
            EXPECT_EQ(out, data);
        }
}

TEST(WindowCodecs, FramesMustEndWhereTheFrameDoes)
{
    Bytes repetitive(70000);
    for (std::size_t i = 0; i < repetitive.size(); ++i)
        repetitive[i] = static_cast<std::uint8_t>("abcdefgh"[i % 8]);
    for (const WindowCodec& wc : kWindowCodecs) {
        SCOPED_TRACE(codecOf(wc.method).name);
        const std::vector<Frame> frames = wc.encode(sampleData(3 * 32768 + 100, 7, 30000), 15, false);
        CountingHeap heap;
        Decoder d(wc.method, 15, heap.memory());
        Bytes out;
        const Bytes& first = frames[0].bytes;
        for (std::size_t cut : {std::size_t{1}, std::size_t{2}, first.size() / 2}) {
            ASSERT_TRUE(d.reset());
            const BlockResult r = d.decode(Bytes(first.begin(), first.end() - static_cast<long>(cut)), 32768, out);
            EXPECT_TRUE(r == BlockResult::kBadData || (!wc.strictEnd && cut < 3)) << "cut by " << cut;
        }
        EXPECT_EQ(d.decode(first, 32768, out), BlockResult::kBadData) << "a failed folder stays failed until reset";
        ASSERT_TRUE(d.reset());
        if (wc.strictEnd) {
            EXPECT_EQ(d.decode(first, 32767, out), BlockResult::kBadData) << "an output size other than the frame's";
            ASSERT_TRUE(d.reset());
        }
        EXPECT_EQ(d.decode(first, 32768, out), BlockResult::kOk);
        ASSERT_TRUE(d.reset());
        EXPECT_EQ(d.decode(wc.encode(repetitive, 15, true)[0].bytes, 32768, out), BlockResult::kBadData)
            << "a match across the frame's end";
    }
}

// Quantum alone: hand-made token streams for every selector, matches that reach outside the folder
// or the frame, and the one working state of the process.
TEST(Quantum, DecodesEachSelectorAsCoded)
{
    // Literals from all four literal models, then matches of 3, 4 and a coded length with extra
    // bits: slot 6 of the lengths is 6 + 1 extra bit, +5 = 12; position slot 4 is 4 + 1 extra, +1.
    const std::vector<QtmToken> tokens = {
        {0, '0' & 63},   {1, 'B' & 63}, {2, 0x9A & 63}, {3, 0xFF & 63},
        {0, '!' & 63},   {1, 'z' & 63}, {4, 2}, // 3 bytes from offset 3
        {5, 4, 0, 0, 1},                        // 4 bytes from offset 4 + 1 + 1 = 6
        {6, 0, 6, 1, 0},                        // 12 bytes from offset 1
    };
    Bytes expect = {'0', 'B', 0x9A, 0xFF, '!', 'z'};
    for (const auto& [offset, length] : {std::pair<std::size_t, std::size_t>{3, 3}, {6, 4}, {1, 12}})
        for (std::size_t k = 0; k < length; ++k)
            expect.push_back(expect[expect.size() - offset]);
    CountingHeap heap;
    Decoder d(Method::kQuantum, 12, heap.memory());
    Bytes out;
    ASSERT_EQ(d.decode(qtmEncodeTokens(12, tokens), expect.size(), out), BlockResult::kOk);
    EXPECT_EQ(out, expect);
}

TEST(Quantum, MatchesStayInsideTheFolderAndTheBlock)
{
    CountingHeap heap;
    Decoder d(Method::kQuantum, 15, heap.memory());
    Bytes out;
    auto run = [&](const std::vector<QtmToken>& tokens, std::size_t outLen) {
        EXPECT_TRUE(d.reset());
        return d.decode(qtmEncodeTokens(15, tokens), outLen, out);
    };
    // A match before the first byte of the folder, and one reaching one byte too far back.
    EXPECT_EQ(run({{4, 0}}, 3), BlockResult::kBadData);
    EXPECT_EQ(run({{0, 1}, {0, 2}, {4, 2}}, 5), BlockResult::kBadData);
    EXPECT_EQ(run({{0, 1}, {0, 2}, {0, 3}, {4, 2}}, 6), BlockResult::kOk);
    // A match may run past a short last frame, which ends the folder, but never past 32 KiB.
    EXPECT_EQ(run({{0, 1}, {6, 0, 26, 0, 0}}, 260), BlockResult::kOk);
    EXPECT_EQ(run({{0, 1}, {6, 0, 26, 0, 0}}, 200), BlockResult::kOk);
    EXPECT_EQ(out, Bytes(200, 1));
    EXPECT_EQ(d.decode(Bytes(16, 0), 16, out), BlockResult::kBadData) << "nothing follows the folder's end";
}

TEST(Quantum, OneFolderAtATimeInTheProcess)
{
    const Bytes data = sampleData(2 * 32768, 11, 20000);
    QtmOptions opt;
    opt.windowBits = 16;
    const std::vector<Frame> frames = qtmEncode(data, opt);
    CountingHeap heap;
    Decoder first(Method::kQuantum, 16, heap.memory());
    Bytes out;
    ASSERT_EQ(first.decode(frames[0].bytes, 32768, out), BlockResult::kOk);
    {
        // A second decoder takes the working state over; the first cannot go on with its folder.
        Decoder second(Method::kQuantum, 16, heap.memory());
        EXPECT_EQ(first.decode(frames[1].bytes, 32768, out), BlockResult::kBadData);
        EXPECT_EQ(second.decodeFrames(frames, out), -1);
        EXPECT_EQ(out, data);
        // Resetting the first starts a new folder that it owns again.
        ASSERT_TRUE(first.reset());
        EXPECT_EQ(first.decodeFrames(frames, out), -1);
        EXPECT_EQ(out, data);
    }
    // Destroying a decoder that no longer owns the state leaves the owner alone.
    ASSERT_TRUE(first.reset());
    EXPECT_EQ(first.decodeFrames(frames, out), -1);
}

// LZX alone: call translation where the format puts it, and hand-built frames with matches and
// trees that cannot be.
TEST(Lzx, UndoesCallTranslationExactlyWhereTheFormatSays)
{
    const uint32_t translationSize = 0x100000;
    Bytes a(32768, 0);
    putCall(a, 0, 100);              // absolute 100 at 0: relative 100
    putCall(a, 5, -3);               // negative and reachable: plus the translation size
    putCall(a, 20, -30);             // before the start of the data: untouched
    putCall(a, 30, translationSize); // at or past the translation size: untouched
    putCall(a, 32768 - 11, 40000);   // last place a call may start
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
    putCall(b, 32768 - 10, 40000); // inside the last ten bytes
    ASSERT_EQ(d.decode(uncompressedFrame(false, 0, b), 32768, out), BlockResult::kOk);
    EXPECT_EQ(callAt(out, 0), 50);
    EXPECT_EQ(callAt(out, 32768 - 10), 40000);
    // A frame of ten bytes or less is left alone.
    Bytes tail(10, 0);
    putCall(tail, 0, 32768 * 2 + 1);
    ASSERT_EQ(d.decode(uncompressedFrame(false, 0, tail), 10, out), BlockResult::kOk);
    EXPECT_EQ(callAt(out, 0), 32768 * 2 + 1);
}

TEST(Lzx, CallTranslationStopsAfterTheFirstGigabyte)
{
    Bytes bytes(32768, 0);
    putCall(bytes, 0, 16); // absolute 16: translated while frames are counted
    const Bytes first = uncompressedFrame(true, 0x7FFFFFFF, bytes), later = uncompressedFrame(false, 0, bytes);
    CountingHeap heap;
    Decoder d(Method::kLzx, 21, heap.memory());
    Bytes out;
    ASSERT_EQ(d.decode(first, 32768, out), BlockResult::kOk);
    for (uint32_t f = 1; f < 32768; ++f)
        ASSERT_EQ(d.decode(later, 32768, out), BlockResult::kOk);
    EXPECT_EQ(static_cast<uint32_t>(callAt(out, 0)), static_cast<uint32_t>(16 - 32767u * 32768u));
    ASSERT_EQ(d.decode(later, 32768, out), BlockResult::kOk);
    EXPECT_EQ(callAt(out, 0), 16);
}

// Hand-built frames of window 2^15, no call translation. "tree(256)": a verbatim block of 3 bytes
// whose main tree has two codes of one bit, 'a' = 0 and match header 256 (R0, length 2) = 1, and an
// empty length tree, each tree coded through its pretree as the block header carries it.
TEST(Lzx, RejectsMatchesAndTreesThatCannotBe)
{
    const std::string tree256 =
        "00103000000000000000030007318fdafdbe00100000000000000103fb08beef00780000000000000000ef83fbbe00";
    CountingHeap heap;
    Decoder d(Method::kLzx, 15, heap.memory());
    Bytes out;
    ASSERT_EQ(d.decode(fromHex(tree256 + "28"), 3, out), BlockResult::kOk) << "'a' then a repeat of R0 = 1: aaa";
    EXPECT_EQ(std::string(out.begin(), out.end()), "aaa");
    std::string ones; // R0..R2 = 0x01010101 and 100 bytes
    for (int i = 0; i < 12 + 100; ++i)
        ones += "01";
    const struct
    {
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
         "0000000000000100df07f67d0060",
         7},
        {"the same with R0 = 0x7FFFFFFF",
         "00304000ffffff7f0100000001000000616263640020600000000000000006000f621fb5fa7d00200000000000000206f7117cdf00f0"
         "0000000000000100df07f67d0060",
         7},
        {"the same with R0 = 40000, beyond the window",
         "00304000409c00000100000001000000616263640020600000000000000006000f621fb5fa7d00200000000000000206f7117cdf00f0"
         "0000000000000100df07f67d0060",
         7},
        {"an uncompressed block of 32768 bytes with 100 in the input", "08300000" + ones, 32768},
        {"an uncompressed block of 4 bytes in a frame of 8, nothing after it",
         "0030400001010101010101010101010101010101", 8},
        {"a match of 3 with 2 bytes left in its block (tree(257) of size 2)",
         "00102000000000000000030007318fdafdbe001300000000000001035f09f77d00ce00000000000000007d10dff70065", 2},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(d.reset());
        EXPECT_EQ(d.decode(fromHex(c.hex), c.outLen, out), BlockResult::kBadData) << c.what;
        ASSERT_TRUE(d.reset());
        const BlockResult ahead = d.decodeAhead(fromHex(c.hex), c.outLen, out);
        EXPECT_TRUE(ahead == BlockResult::kBadData || ahead == BlockResult::kBadCall) << "ahead: " << c.what;
    }
}

// Frames decoded on the second thread come back as decoding them here makes them: whole streams
// with blocks of every kind starting inside frames, streams damaged anywhere (the same frame fails
// first and nothing after it decodes), and a folder that went ahead stays ahead until reset.
TEST(Lzx, DecodingAheadGivesWhatDecodingHereGives)
{
    for (unsigned bits : {15u, 21u}) {
        const Bytes data = sampleData(lzxLength(bits), 300 + bits, 60000);
        const std::vector<Frame> frames = lzxFrames(data, bits, false);
        CountingHeap heap;
        Decoder d(Method::kLzx, bits, heap.memory());
        Bytes out;
        for (unsigned depth : {1u, 2u, 3u, 5u}) {
            ASSERT_TRUE(d.reset());
            const int r = d.decodeFramesAhead(frames, depth, out);
            if (r == -2)
                GTEST_SKIP() << "no second thread here";
            ASSERT_EQ(r, -1) << "depth " << depth;
            ASSERT_EQ(out, data) << "depth " << depth;
        }
        ASSERT_TRUE(d.reset());
        ASSERT_EQ(d.decode(frames[0].bytes, frames[0].size, out), BlockResult::kOk);
        EXPECT_EQ(d.decodeAhead(frames[1].bytes, frames[1].size, out), BlockResult::kBadCall)
            << "a folder begun here is not handed over halfway";
        ASSERT_TRUE(d.reset());
        ASSERT_EQ(d.decodeAhead(frames[0].bytes, frames[0].size, out), BlockResult::kOk);
        ASSERT_EQ(d.decode(frames[1].bytes, frames[1].size, out), BlockResult::kOk) << "goes on ahead";
    }

    const Bytes data = sampleData(5 * 32768 + 999, 77, 30000);
    const std::vector<Frame> frames = lzxFrames(data, 16, false);
    CountingHeap heap;
    Decoder here(Method::kLzx, 16, heap.memory()), ahead(Method::kLzx, 16, heap.memory());
    for (std::size_t f = 0; f < frames.size(); ++f)
        for (std::size_t at = 0; at < frames[f].bytes.size(); at += 97 + 31 * f) {
            std::vector<Frame> damaged = frames;
            damaged[f].bytes[at] ^= static_cast<std::uint8_t>(0x5A + at);
            Bytes expected, got;
            ASSERT_TRUE(here.reset() && ahead.reset());
            const int failed = here.decodeFrames(damaged, expected);
            const int r = ahead.decodeFramesAhead(damaged, 3, got);
            if (r == -2)
                GTEST_SKIP() << "no second thread here";
            ASSERT_EQ(r, failed) << "frame " << f << " byte " << at;
            ASSERT_EQ(got, expected) << "frame " << f << " byte " << at;
        }
}
