// Quantum decoder: streams from the test encoder for every window size, hand-made token streams,
// hostile frames, the process-wide working state, and the real Quantum cabinets.
#include <gtest/gtest.h>

#include "cabcodec/cab_reader.h"
#include "cabcodec/qtm_encoder.h"
#include "cabcodec/test_heap.h"
#include "cabcodec/window_decoder_runs.h"
#include "quantum.h"

using namespace cabinet;
using namespace cabtest;

namespace {

using QtmPtr = DecoderPtr<QtmDecoder>;

QtmPtr make(TestHeap& heap, unsigned bits) { return makeDecoder<QtmDecoder>(heap, bits); }

}  // namespace

TEST(Quantum, RoundTripsEveryWindowSize) {
    for (unsigned bits = 10; bits <= 21; ++bits) {
        SCOPED_TRACE(bits);
        const size_t window = size_t{1} << bits;
        // Several frames, and for the small windows many times the window.
        std::vector<uint8_t> data = sampleData(3 * 32768 + 777, 100 + bits, std::min<size_t>(window, 90000));
        QtmOptions opt;
        opt.windowBits = bits;
        opt.chainDepth = 8;
        std::vector<Frame> frames = qtmEncode(data, opt);
        TestHeap heap;
        QtmPtr d = make(heap, bits);
        ASSERT_TRUE(d);
        ASSERT_NO_FATAL_FAILURE(expectDecodesTwice(d.get(), frames, data));
    }
}

TEST(Quantum, DecodesEachSelectorAsCoded) {
    // Literals from all four literal models, then matches of 3, 4 and a coded length with extra
    // bits: slot 6 of the lengths is 6 + 1 extra bit, +5 = 12; position slot 4 is 4 + 1 extra, +1.
    std::vector<QtmToken> tokens = {
        {0, '0' & 63}, {1, 'B' & 63}, {2, 0x9A & 63}, {3, 0xFF & 63}, {0, '!' & 63}, {1, 'z' & 63},
        {4, 2},                        // 3 bytes from offset 3
        {5, 4, 0, 0, 1},               // 4 bytes from offset 4 + 1 + 1 = 6
        {6, 0, 6, 1, 0},               // 12 bytes from offset 1
    };
    std::vector<uint8_t> in = qtmEncodeTokens(12, tokens);
    std::vector<uint8_t> expect = {'0', 'B', 0x9A, 0xFF, '!', 'z'};
    auto copy = [&](size_t off, size_t len) {
        for (size_t k = 0; k < len; ++k) expect.push_back(expect[expect.size() - off]);
    };
    copy(3, 3);
    copy(6, 4);
    copy(1, 12);
    TestHeap heap;
    QtmPtr d = make(heap, 12);
    std::vector<uint8_t> out(32768);
    ASSERT_EQ(qtmDecode(d.get(), in.data(), in.size(), out.data(), expect.size()), static_cast<int>(expect.size()));
    out.resize(expect.size());
    EXPECT_EQ(out, expect);
}

TEST(Quantum, RejectsHostileFrames) {
    TestHeap heap;
    QtmPtr d = make(heap, 15);
    std::vector<uint8_t> out(32768);
    auto run = [&](const std::vector<QtmToken>& tokens, size_t outLen) {
        std::vector<uint8_t> in = qtmEncodeTokens(15, tokens);
        EXPECT_TRUE(qtmReset(d.get()));
        return qtmDecode(d.get(), in.data(), in.size(), out.data(), outLen);
    };
    // A match before the first byte of the folder, and one reaching one byte too far back.
    EXPECT_EQ(run({{4, 0}}, 3), -1);
    EXPECT_EQ(run({{0, 1}, {0, 2}, {4, 2}}, 5), -1);
    EXPECT_EQ(run({{0, 1}, {0, 2}, {0, 3}, {4, 2}}, 6), 6);
    // A match may run past a short last frame, which ends the folder, but never past 32 KiB.
    EXPECT_EQ(run({{0, 1}, {6, 0, 26, 0, 0}}, 260), 260);
    EXPECT_EQ(run({{0, 1}, {6, 0, 26, 0, 0}}, 200), 200);
    EXPECT_EQ(std::vector<uint8_t>(out.begin(), out.begin() + 200), std::vector<uint8_t>(200, 1));
    EXPECT_EQ(qtmDecode(d.get(), out.data(), 16, out.data() + 16, 16), -1);

    // Frames cut short, an output size other than the frame's, a match across the frame's end.
    std::vector<uint8_t> data = sampleData(2 * 32768 + 10, 5, 20000);
    QtmOptions opt;
    opt.windowBits = 15;
    std::vector<Frame> frames = qtmEncode(data, opt);
    ASSERT_TRUE(qtmReset(d.get()));
    EXPECT_EQ(qtmDecode(d.get(), frames[0].bytes.data(), frames[0].bytes.size() / 2, out.data(), 32768), -1);
    EXPECT_EQ(qtmDecode(d.get(), frames[0].bytes.data(), frames[0].bytes.size(), out.data(), 32768), -1)
        << "a failed folder stays failed until reset";
    ASSERT_TRUE(qtmReset(d.get()));
    EXPECT_EQ(qtmDecode(d.get(), frames[0].bytes.data(), frames[0].bytes.size(), out.data(), 0), -1);
    std::vector<uint8_t> big(32769);
    EXPECT_EQ(qtmDecode(d.get(), frames[0].bytes.data(), frames[0].bytes.size(), big.data(), 32769), -1);
    opt.matchAcrossFrame = true;
    std::vector<uint8_t> repetitive(70000);
    for (size_t i = 0; i < repetitive.size(); ++i) repetitive[i] = static_cast<uint8_t>("quantum!"[i % 8]);
    std::vector<Frame> crossing = qtmEncode(repetitive, opt);
    ASSERT_TRUE(qtmReset(d.get()));
    EXPECT_EQ(qtmDecode(d.get(), crossing[0].bytes.data(), crossing[0].bytes.size(), out.data(), 32768), -1);
}

TEST(Quantum, OneFolderAtATimeInTheProcess) {
    std::vector<uint8_t> data = sampleData(2 * 32768, 11, 20000);
    QtmOptions opt;
    opt.windowBits = 16;
    std::vector<Frame> frames = qtmEncode(data, opt);
    TestHeap heap;
    QtmPtr first = make(heap, 16);
    std::vector<uint8_t> out(32768);
    ASSERT_EQ(qtmDecode(first.get(), frames[0].bytes.data(), frames[0].bytes.size(), out.data(), 32768), 32768);
    // A second decoder takes the working state over; the first cannot go on with its folder.
    QtmPtr second = make(heap, 16);
    EXPECT_EQ(qtmDecode(first.get(), frames[1].bytes.data(), frames[1].bytes.size(), out.data(), 32768), -1);
    std::vector<uint8_t> all;
    EXPECT_EQ(decodeFrames(second.get(), frames, all), -1);
    EXPECT_EQ(all, data);
    // Resetting the first starts a new folder that it owns again.
    ASSERT_TRUE(qtmReset(first.get()));
    EXPECT_EQ(decodeFrames(first.get(), frames, all), -1);
    EXPECT_EQ(all, data);
    // Destroying a decoder that no longer owns the state leaves the owner alone.
    second.reset();
    ASSERT_TRUE(qtmReset(first.get()));
    EXPECT_EQ(decodeFrames(first.get(), frames, all), -1);
}

TEST(Quantum, HandlesAndMemoryGoThroughTheCallbacks) {
    EXPECT_FALSE(qtmWindowValid(9));
    EXPECT_TRUE(qtmWindowValid(10));
    EXPECT_TRUE(qtmWindowValid(21));
    EXPECT_FALSE(qtmWindowValid(22));
    TestHeap heap;
    EXPECT_EQ(qtmCreate(9, heap.memory()), nullptr);
    EXPECT_EQ(qtmCreate(22, heap.memory()), nullptr);
    for (long failAt : {0L, 1L}) {
        TestHeap failing;
        failing.failAt = failAt;
        EXPECT_EQ(qtmCreate(21, failing.memory()), nullptr);
        EXPECT_EQ(failing.outstanding, 0);
    }
    QtmDecoder* d = qtmCreate(21, heap.memory());
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(heap.outstanding, 2);
    qtmDestroy(d);
    EXPECT_EQ(heap.outstanding, 0);

    expectForeignHandleRefused<QtmDecoder>("LDIC");
}

TEST(Quantum, SurvivesDamagedStreams) {
    std::vector<uint8_t> data = sampleData(3 * 32768, 21, 40000);
    QtmOptions opt;
    opt.windowBits = 17;
    const std::vector<Frame> frames = qtmEncode(data, opt);
    TestHeap heap;
    QtmPtr d = make(heap, 17);
    ASSERT_NO_FATAL_FAILURE(decodeDamagedFolders(d.get(), frames, 4321, 300));
}

TEST(Quantum, DecodesTheSharedCabinets) {
    for (const char* rel : {"quantum/mszip_lzx_qtm.cab", "quantum/qtm-flush.cab"}) {
        SCOPED_TRACE(rel);
        CabImage cab;
        ASSERT_TRUE(readCabinet(sharedCabDir() + "/" + rel, cab));
        std::vector<ExpectedFile> expected = expectedFiles(rel);
        ASSERT_EQ(expected.size(), cab.files.size());
        TestHeap heap;
        size_t checked = 0;
        for (size_t i = 0; i < cab.folders.size(); ++i) {
            if ((cab.folders[i].typeCompress & 15) != 2) continue;
            std::vector<uint8_t> out;
            ASSERT_TRUE(decodeFolder(cab.folders[i], heap.memory(), out));
            ASSERT_NO_FATAL_FAILURE(checkFolderFiles(cab, i, out, expected, checked));
        }
        EXPECT_GT(checked, 0u);
        EXPECT_EQ(heap.outstanding, 0);
    }
    // Hostile Quantum folders end, whatever they decode to.
    for (const char* rel : {"edge/cve-2014-9556-qtm-infinite-loop.cab", "edge/cve-2018-18584-qtm-max-size-block.cab"}) {
        CabImage cab;
        if (!readCabinet(sharedCabDir() + "/" + rel, cab)) continue;
        TestHeap heap;
        for (const CabFolder& folder : cab.folders) {
            std::vector<uint8_t> out;
            if ((folder.typeCompress & 15) == 2) decodeFolder(folder, heap.memory(), out);
        }
        EXPECT_EQ(heap.outstanding, 0);
    }
}
