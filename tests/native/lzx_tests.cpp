// LZX decoder: streams from the test encoder for every window and block type, hand-built hostile
// blocks, and the real LZX cabinets of the shared test data.
#include <gtest/gtest.h>

#include <cstring>

#include "cabcodec/cab_reader.h"
#include "cabcodec/lzx_encoder.h"
#include "cabcodec/test_heap.h"
#include "cabcodec/window_decoder_runs.h"
#include "lzx.h"

using namespace cabinet;
using namespace cabtest;

namespace {

using LzxPtr = DecoderPtr<LzxDecoder>;

LzxPtr make(TestHeap& heap, unsigned bits) { return makeDecoder<LzxDecoder>(heap, bits); }

int decodeOne(LzxDecoder* d, const std::vector<uint8_t>& in, size_t outLen) {
    std::vector<uint8_t> out(32768);
    return lzxDecode(d, in.data(), in.size(), out.data(), outLen);
}

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

}  // namespace

TEST(Lzx, RoundTripsEveryWindowSizeAndBlockType) {
    for (unsigned bits = 15; bits <= 21; ++bits) {
        SCOPED_TRACE(bits);
        const size_t window = size_t{1} << bits;
        // Past twice the window so the window wraps and offsets reach its far end.
        const size_t n = bits <= 18 ? 2 * window + 12345 : window + 70001;
        std::vector<uint8_t> data = sampleData(n, bits, window - 3);
        LzxOptions opt;
        opt.windowBits = bits;
        opt.chainDepth = 4;
        opt.plan = {{LzxBlock::Verbatim, 20000},     {LzxBlock::Aligned, 45000},   {LzxBlock::Uncompressed, 4097},
                    {LzxBlock::Aligned, 7},          {LzxBlock::Verbatim, 70001},  {LzxBlock::Uncompressed, 32771},
                    {LzxBlock::Aligned, 1u << 20}};
        std::vector<Frame> frames = lzxEncode(data, opt);
        TestHeap heap;
        LzxPtr d = make(heap, bits);
        ASSERT_TRUE(d);
        ASSERT_NO_FATAL_FAILURE(expectDecodesTwice(d.get(), frames, data));
    }
}

TEST(Lzx, RoundTripsCallTranslationAndRepeatedOffsets) {
    std::vector<uint8_t> data = sampleData(5 * 32768 + 7, 99, 30000);
    // Calls in the last ten bytes of a frame stay as they are.
    const uint8_t call[5] = {0xE8, 0x10, 0x00, 0x00, 0x00};
    std::memcpy(&data[32768 - 8], call, 5);
    for (bool literalsOnly : {false, true}) {
        LzxOptions opt;
        opt.windowBits = 15;
        opt.e8 = true;
        opt.e8Size = 12000000;
        opt.matches = !literalsOnly;
        opt.plan = {{LzxBlock::Aligned, 50000}, {LzxBlock::Verbatim, 3000}, {LzxBlock::Uncompressed, 999}};
        std::vector<Frame> frames = lzxEncode(data, opt);
        TestHeap heap;
        LzxPtr d = make(heap, 15);
        std::vector<uint8_t> out;
        ASSERT_EQ(decodeFrames(d.get(), frames, out), -1);
        EXPECT_EQ(out, data);
    }
}

TEST(Lzx, UndoesCallTranslationExactlyWhereTheFormatSays) {
    // One uncompressed block per frame, so the window holds exactly the bytes written here.
    const uint32_t translationSize = 0x100000;
    auto frame = [&](bool first, const std::vector<uint8_t>& bytes) {
        LzxBitWriter w;
        if (first) {
            w.bits(1, 1);
            w.bits(translationSize, 32);
        }
        w.bits(3, 3);
        w.bits(static_cast<uint32_t>(bytes.size()), 24);
        if (w.pendingBits() == 0) w.bits(0, 16);
        else w.align16();
        for (int i = 0; i < 12; ++i) w.byte(i % 4 == 0 ? 1 : 0);
        for (uint8_t b : bytes) w.byte(b);
        if (bytes.size() & 1) w.byte(0);
        return w.take();
    };
    auto put = [](std::vector<uint8_t>& v, size_t at, int32_t value) {
        v[at] = 0xE8;
        for (int k = 0; k < 4; ++k) v[at + 1 + k] = static_cast<uint8_t>(static_cast<uint32_t>(value) >> (8 * k));
    };
    auto get = [](const std::vector<uint8_t>& v, size_t at) {
        return static_cast<int32_t>(v[at + 1] | (v[at + 2] << 8) | (v[at + 3] << 16) | (uint32_t(v[at + 4]) << 24));
    };
    std::vector<uint8_t> a(32768, 0);
    put(a, 0, 100);                    // absolute 100 at 0: relative 100
    put(a, 5, -3);                     // negative and reachable: plus the translation size
    put(a, 20, -30);                   // before the start of the data: untouched
    put(a, 30, translationSize);       // at or past the translation size: untouched
    put(a, 32768 - 11, 40000);         // last place a call may start
    TestHeap heap;
    LzxPtr d = make(heap, 15);
    std::vector<uint8_t> out(32768);
    std::vector<uint8_t> in = frame(true, a);
    ASSERT_EQ(lzxDecode(d.get(), in.data(), in.size(), out.data(), 32768), 32768);
    EXPECT_EQ(get(out, 0), 100);
    EXPECT_EQ(get(out, 5), static_cast<int32_t>(translationSize) - 3);
    EXPECT_EQ(get(out, 20), -30);
    EXPECT_EQ(get(out, 30), static_cast<int32_t>(translationSize));
    EXPECT_EQ(get(out, 32768 - 11), 40000 - (32768 - 11));

    // The offset is the folder position: the second frame starts at 32768.
    std::vector<uint8_t> b(32768, 0);
    put(b, 0, 32768 + 50);
    put(b, 32768 - 10, 40000);  // inside the last ten bytes
    in = frame(false, b);
    ASSERT_EQ(lzxDecode(d.get(), in.data(), in.size(), out.data(), 32768), 32768);
    EXPECT_EQ(get(out, 0), 50);
    EXPECT_EQ(get(out, 32768 - 10), 40000);

    // A frame of ten bytes or less is left alone.
    std::vector<uint8_t> tail(10, 0);
    put(tail, 0, 32768 * 2 + 1);
    in = frame(false, tail);
    ASSERT_EQ(lzxDecode(d.get(), in.data(), in.size(), out.data(), 10), 10);
    EXPECT_EQ(get(out, 0), 32768 * 2 + 1);
}

TEST(Lzx, CallTranslationStopsAfterTheFirstGigabyte) {
    std::vector<uint8_t> bytes(32768, 0);
    bytes[0] = 0xE8;
    bytes[1] = 0x10;  // absolute 16: translated while frames are counted
    auto frame = [&](bool first) {
        LzxBitWriter w;
        if (first) {
            w.bits(1, 1);
            w.bits(0x7FFFFFFF, 32);
        }
        w.bits(3, 3);
        w.bits(32768, 24);
        if (w.pendingBits() == 0) w.bits(0, 16);
        else w.align16();
        for (int i = 0; i < 12; ++i) w.byte(i % 4 == 0 ? 1 : 0);
        for (uint8_t b : bytes) w.byte(b);
        return w.take();
    };
    const std::vector<uint8_t> first = frame(true), later = frame(false);
    TestHeap heap;
    LzxPtr d = make(heap, 21);
    std::vector<uint8_t> out(32768);
    ASSERT_EQ(lzxDecode(d.get(), first.data(), first.size(), out.data(), 32768), 32768);
    for (uint32_t f = 1; f < 32768; ++f)
        ASSERT_EQ(lzxDecode(d.get(), later.data(), later.size(), out.data(), 32768), 32768);
    const uint32_t lastTranslated = static_cast<uint32_t>(16 - 32767u * 32768u);
    EXPECT_EQ(out[1] | (out[2] << 8) | (out[3] << 16) | (uint32_t(out[4]) << 24), lastTranslated);
    ASSERT_EQ(lzxDecode(d.get(), later.data(), later.size(), out.data(), 32768), 32768);
    EXPECT_EQ(out[1], 0x10);
    EXPECT_EQ(out[2] | out[3] | out[4], 0);
}

TEST(Lzx, RejectsMatchesAndTreesThatCannotBe) {
    TestHeap heap;
    LzxPtr d = make(heap, 15);
    auto header = [](LzxBitWriter& w) { w.bits(0, 1); };

    // 'a' then a repeat of offset 1 (R0 starts at 1): "aaa". The same match first reaches before
    // the folder's first byte.
    for (bool premature : {false, true}) {
        LzxBitWriter w;
        header(w);
        verbatimHeader(w, 3, twoSymbolTree(256));
        if (!premature) w.bits(0, 1);
        w.bits(1, 1);
        if (premature) w.bits(0, 1);
        w.align16();
        std::vector<uint8_t> in = w.take(), out(32768);
        ASSERT_TRUE(lzxReset(d.get()));
        int n = lzxDecode(d.get(), in.data(), in.size(), out.data(), 3);
        if (premature) {
            EXPECT_EQ(n, -1);
        } else {
            ASSERT_EQ(n, 3);
            EXPECT_EQ(std::string(out.begin(), out.begin() + 3), "aaa");
        }
    }

    struct Case {
        const char* what;
        std::vector<uint8_t> in;
        size_t outLen;
    };
    std::vector<Case> cases;
    auto add = [&](const char* what, LzxBitWriter& w, size_t outLen = 3) {
        w.align16();
        cases.push_back({what, w.take(), outLen});
    };
    for (uint32_t type : {0u, 4u, 7u}) {
        LzxBitWriter w;
        header(w);
        w.bits(type, 3);
        w.bits(3, 24);
        w.bits(0, 32);
        add("block type outside 1..3", w);
    }
    {
        LzxBitWriter w;
        header(w);
        verbatimHeader(w, 0, twoSymbolTree(256));
        add("empty block", w);
    }
    {
        LzxBitWriter w;
        header(w);
        w.bits(1, 3);
        w.bits(3, 24);
        for (int i = 0; i < 20; ++i) w.bits(1, 4);  // twenty codes of one bit
        add("over-subscribed pretree", w);
    }
    {
        std::vector<uint8_t> lens = twoSymbolTree(256);
        lens['b'] = 1;
        LzxBitWriter w;
        header(w);
        verbatimHeader(w, 3, lens);
        add("over-subscribed main tree", w);
    }
    {
        LzxBitWriter w;
        header(w);
        verbatimHeader(w, 3, std::vector<uint8_t>(kMain15, 0));
        w.bits(0, 16);
        add("empty main tree", w);
    }
    {
        // Pretree: code 18 and code 0 of one bit each; 18 x 12 runs of 51 zeros overrun 256.
        LzxBitWriter w;
        header(w);
        w.bits(1, 3);
        w.bits(3, 24);
        for (unsigned i = 0; i < 20; ++i) w.bits(i == 0 || i == 18 ? 1 : 0, 4);
        for (int i = 0; i < 6; ++i) {
            w.bits(1, 1);   // code 18
            w.bits(31, 5);  // 51 zeros
        }
        add("zero run past the end of a tree", w);
    }
    {
        // Pretree code 19 must be followed by a plain delta code, not another run.
        LzxBitWriter w;
        header(w);
        w.bits(1, 3);
        w.bits(3, 24);
        for (unsigned i = 0; i < 20; ++i) w.bits(i == 17 || i == 19 ? 1 : 0, 4);
        w.bits(1, 1);  // code 19
        w.bits(0, 1);
        w.bits(0, 1);  // code 17
        add("run code inside a same-value run", w);
    }
    for (uint32_t r0 : {0u, 0x7FFFFFFFu, 40000u}) {
        // An uncompressed block sets R0, then a repeated match uses it.
        LzxBitWriter w;
        header(w);
        w.bits(3, 3);
        w.bits(4, 24);
        w.align16();
        for (uint32_t v : {r0, 1u, 1u})
            for (int k = 0; k < 4; ++k) w.byte(static_cast<uint8_t>(v >> (8 * k)));
        for (uint8_t b : {'a', 'b', 'c', 'd'}) w.byte(b);
        verbatimHeader(w, 3, twoSymbolTree(256));
        w.bits(1, 1);
        add("repeated offset outside the history", w, 7);
    }
    {
        LzxBitWriter w;
        header(w);
        w.bits(3, 3);
        w.bits(32768, 24);
        w.align16();
        for (int i = 0; i < 12 + 100; ++i) w.byte(1);
        add("uncompressed block longer than its input", w, 32768);
    }
    {
        LzxBitWriter w;
        header(w);
        w.bits(3, 3);
        w.bits(4, 24);
        w.align16();
        for (int i = 0; i < 12 + 4; ++i) w.byte(1);
        add("uncompressed block shorter than the frame, nothing after it", w, 8);
    }
    {
        // A match of 3 where only 2 bytes are left in the block.
        LzxBitWriter w;
        header(w);
        verbatimHeader(w, 2, twoSymbolTree(256 + 1));
        w.bits(0, 1);
        w.bits(1, 1);
        add("match past the end of its block", w, 2);
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(lzxReset(d.get()));
        EXPECT_EQ(decodeOne(d.get(), c.in, c.outLen), -1);
    }
}

TEST(Lzx, RejectsFramesThatDoNotEndWhereTheyMust) {
    std::vector<uint8_t> data = sampleData(3 * 32768 + 100, 7, 30000);
    LzxOptions opt;
    opt.windowBits = 15;
    std::vector<Frame> frames = lzxEncode(data, opt);
    TestHeap heap;
    LzxPtr d = make(heap, 15);
    std::vector<uint8_t> out(32768);

    // Input one byte and one word too short, and an output size other than the frame's.
    for (size_t cut : {1, 2}) {
        ASSERT_TRUE(lzxReset(d.get()));
        EXPECT_EQ(lzxDecode(d.get(), frames[0].bytes.data(), frames[0].bytes.size() - cut, out.data(), 32768), -1);
    }
    ASSERT_TRUE(lzxReset(d.get()));
    EXPECT_EQ(lzxDecode(d.get(), frames[0].bytes.data(), frames[0].bytes.size(), out.data(), 32767), -1);
    // Once failed, the folder stays failed until it is reset.
    EXPECT_EQ(lzxDecode(d.get(), frames[0].bytes.data(), frames[0].bytes.size(), out.data(), 32768), -1);
    ASSERT_TRUE(lzxReset(d.get()));
    EXPECT_EQ(lzxDecode(d.get(), frames[0].bytes.data(), frames[0].bytes.size(), out.data(), 32768), 32768);

    // Output sizes outside 1..32768, and a short frame followed by one that would wrap the window.
    EXPECT_EQ(lzxDecode(d.get(), frames[1].bytes.data(), frames[1].bytes.size(), out.data(), 0), -1);
    std::vector<uint8_t> big(32769);
    EXPECT_EQ(lzxDecode(d.get(), frames[1].bytes.data(), frames[1].bytes.size(), big.data(), 32769), -1);

    // A match that runs across the end of the first frame.
    opt.matchAcrossFrame = true;
    opt.plan = {{LzxBlock::Verbatim, 1u << 20}};
    std::vector<uint8_t> repetitive(70000);
    for (size_t i = 0; i < repetitive.size(); ++i) repetitive[i] = static_cast<uint8_t>("abcdefgh"[i % 8]);
    std::vector<Frame> crossing = lzxEncode(repetitive, opt);
    ASSERT_TRUE(lzxReset(d.get()));
    EXPECT_EQ(lzxDecode(d.get(), crossing[0].bytes.data(), crossing[0].bytes.size(), out.data(), 32768), -1);
}

TEST(Lzx, HandlesAndMemoryGoThroughTheCallbacks) {
    EXPECT_FALSE(lzxWindowValid(14));
    EXPECT_TRUE(lzxWindowValid(15));
    EXPECT_TRUE(lzxWindowValid(21));
    EXPECT_FALSE(lzxWindowValid(22));
    for (long failAt : {0L, 1L}) {
        TestHeap heap;
        heap.failAt = failAt;
        EXPECT_EQ(lzxCreate(21, heap.memory()), nullptr);
        EXPECT_EQ(heap.outstanding, 0);
    }
    TestHeap heap;
    EXPECT_EQ(lzxCreate(22, heap.memory()), nullptr);
    LzxDecoder* d = lzxCreate(21, heap.memory());
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(heap.outstanding, 2);
    lzxDestroy(d);
    EXPECT_EQ(heap.outstanding, 0);

    expectForeignHandleRefused<LzxDecoder>("MDIC");
}

TEST(Lzx, SurvivesDamagedStreams) {
    std::vector<uint8_t> data = sampleData(4 * 32768, 3, 60000);
    LzxOptions opt;
    opt.windowBits = 16;
    opt.plan = {{LzxBlock::Aligned, 30000}, {LzxBlock::Uncompressed, 301}, {LzxBlock::Verbatim, 40000}};
    const std::vector<Frame> frames = lzxEncode(data, opt);
    TestHeap heap;
    LzxPtr d = make(heap, 16);
    ASSERT_NO_FATAL_FAILURE(decodeDamagedFolders(d.get(), frames, 1234, 400));
}

TEST(Lzx, DecodesTheSharedCabinets) {
    const char* cabs[] = {"lzx/georgia.cab", "lzx/gocab-lzx.cab", "lzx/lessmsi-vcredis1.cab",
                          "lzx/libarchive-cab_3.cab", "lzx/libarchive-filename_cp932.cab",
                          "lzx/libarchive-fuzz-seed.cab", "lzx/libarchive-lzx_16bit.cab",
                          "lzx/libarchive-lzx_e8.cab", "lzx/libarchive-lzx_literal_control.cab",
                          "lzx/normal_2files_2folders.cab", "lzx/large-files-cab.cab",
                          "quantum/mszip_lzx_qtm.cab"};
    for (const char* rel : cabs) {
        SCOPED_TRACE(rel);
        CabImage cab;
        ASSERT_TRUE(readCabinet(sharedCabDir() + "/" + rel, cab));
        std::vector<ExpectedFile> expected = expectedFiles(rel);
        ASSERT_EQ(expected.size(), cab.files.size());
        std::vector<std::vector<uint8_t>> folders(cab.folders.size());
        std::vector<bool> decoded(cab.folders.size(), false);
        TestHeap heap;
        for (size_t i = 0; i < cab.folders.size(); ++i) {
            if ((cab.folders[i].typeCompress & 15) != 3) continue;
            ASSERT_TRUE(decodeFolder(cab.folders[i], heap.memory(), folders[i])) << "folder " << i;
            decoded[i] = true;
        }
        EXPECT_EQ(heap.outstanding, 0);
        size_t checked = 0;
        for (size_t i = 0; i < folders.size(); ++i) {
            if (decoded[i]) {
                ASSERT_NO_FATAL_FAILURE(checkFolderFiles(cab, i, folders[i], expected, checked));
            }
        }
        EXPECT_GT(checked, 0u);
    }
}

TEST(Lzx, RejectsTheHostileSharedCabinets) {
    const char* cabs[] = {"edge/cve-2015-4471-lzx-under-read.cab", "edge/libarchive-lzx_invalid_history.cab",
                          "edge/libarchive-lzx_oob.cab", "edge/lzx-main-tree-no-lengths.cab",
                          "edge/lzx-premature-matches.cab"};
    for (const char* rel : cabs) {
        SCOPED_TRACE(rel);
        CabImage cab;
        if (!readCabinet(sharedCabDir() + "/" + rel, cab)) continue;  // the container itself is broken
        TestHeap heap;
        bool anyRejected = false;
        for (const CabFolder& folder : cab.folders) {
            std::vector<uint8_t> out;
            if ((folder.typeCompress & 15) == 3 && !decodeFolder(folder, heap.memory(), out)) anyRejected = true;
        }
        EXPECT_TRUE(anyRejected);
        EXPECT_EQ(heap.outstanding, 0);
    }
}

// Folders of 0x7FFF8000 bytes, the largest a cabinet holds: offsets near 2^31 and LZX frames past
// the first gigabyte, where call translation stops. Decoded through a counting sink, never
// written anywhere; about a minute, so outside the default run:
//   lzx_tests --gtest_also_run_disabled_tests --gtest_filter=*NearTwoGigabytes*
TEST(Lzx, DISABLED_FoldersNearTwoGigabytes) {
    CabImage outer;
    ASSERT_TRUE(readCabinet(sharedCabDir() + "/lzx/large-files-cab.cab", outer));
    TestHeap heap;
    std::vector<uint8_t> inner;
    ASSERT_TRUE(decodeFolder(outer.folders.at(0), heap.memory(), inner));
    CabImage cab;
    ASSERT_TRUE(readCabinet(inner, cab));
    ASSERT_EQ(cab.folders.size(), 3u);
    // The three folders (MSZIP, LZX 2^15, LZX 2^21) hold the same file: their digests must agree.
    std::vector<uint64_t> digests;
    for (const CabFolder& folder : cab.folders) {
        uint64_t count = 0, h = 1469598103934665603ull;
        ASSERT_TRUE(decodeFolderBlocks(folder, heap.memory(), [&](const uint8_t* p, size_t n) {
            for (size_t i = 0; i < n; ++i) h = (h ^ p[i]) * 1099511628211ull;
            count += n;
        })) << std::hex << folder.typeCompress;
        EXPECT_EQ(count, 0x7FFF8000u);
        digests.push_back(h);
    }
    EXPECT_EQ(digests[1], digests[0]);
    EXPECT_EQ(digests[2], digests[0]);
    EXPECT_EQ(heap.outstanding, 0);
}
