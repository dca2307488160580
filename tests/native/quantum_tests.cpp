// Quantum alone: hand-made token streams for every selector, matches that reach outside the folder
// or the frame, and the one working state of the process. Round trips and damaged streams:
// cabinet_codec_tests.
#include <gtest/gtest.h>

#include "codec_runs.h"
#include "counting_heap.h"
#include "qtm_encoder.h"

using namespace cabtest;
using cabinet::BlockResult;
using cabinet::Method;

TEST(Quantum, DecodesEachSelectorAsCoded) {
    // Literals from all four literal models, then matches of 3, 4 and a coded length with extra
    // bits: slot 6 of the lengths is 6 + 1 extra bit, +5 = 12; position slot 4 is 4 + 1 extra, +1.
    const std::vector<QtmToken> tokens = {
        {0, '0' & 63}, {1, 'B' & 63}, {2, 0x9A & 63}, {3, 0xFF & 63}, {0, '!' & 63}, {1, 'z' & 63},
        {4, 2},           // 3 bytes from offset 3
        {5, 4, 0, 0, 1},  // 4 bytes from offset 4 + 1 + 1 = 6
        {6, 0, 6, 1, 0},  // 12 bytes from offset 1
    };
    Bytes expect = {'0', 'B', 0x9A, 0xFF, '!', 'z'};
    for (const auto& [offset, length] : {std::pair<std::size_t, std::size_t>{3, 3}, {6, 4}, {1, 12}})
        for (std::size_t k = 0; k < length; ++k) expect.push_back(expect[expect.size() - offset]);
    CountingHeap heap;
    Decoder d(Method::kQuantum, 12, heap.memory());
    Bytes out;
    ASSERT_EQ(d.decode(qtmEncodeTokens(12, tokens), expect.size(), out), BlockResult::kOk);
    EXPECT_EQ(out, expect);
}

TEST(Quantum, MatchesStayInsideTheFolderAndTheBlock) {
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

TEST(Quantum, OneFolderAtATimeInTheProcess) {
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
