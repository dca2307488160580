// MSZIP through the codec table: history across blocks but not folders, malformed streams, streams
// without the final flag. The deflate core alone: the window's floor and limit, a window without
// slack, input that ends inside a stream, and where a stream ends.
#include <gtest/gtest.h>

#include "cab_builder.h"
#include "codec_runs.h"
#include "counting_heap.h"
#include "deflate.h"

using namespace cabtest;
using cabinet::BlockResult;
using cabinet::InflateResult;
using cabinet::Method;

namespace {

Bytes storedStream(const Bytes& content, bool final = true)
{
    // Sized once and filled in place: appending to the five header bytes makes GCC's bounds
    // analysis see a copy past them.
    Bytes s(5 + content.size());
    s[0] = static_cast<std::uint8_t>(final ? 1 : 0);
    s[1] = static_cast<std::uint8_t>(content.size());
    s[2] = static_cast<std::uint8_t>(content.size() >> 8);
    s[3] = static_cast<std::uint8_t>(~content.size());
    s[4] = static_cast<std::uint8_t>(~content.size() >> 8);
    std::copy(content.begin(), content.end(), s.begin() + 5);
    return s;
}

Bytes ck(Bytes stream)
{
    stream.insert(stream.begin(), {'C', 'K'});
    return stream;
}

// 'x', then copies reaching `far` bytes back, a run of the last byte and an overlapping copy.
Bytes matches(unsigned far)
{
    DeflateWriter w;
    w.begin(true);
    w.literal('x');
    w.match(258, far);
    w.match(20, 1);
    w.match(10, 7);
    w.end();
    return w.finish();
}

Bytes expectMatches(const Bytes& history, unsigned far)
{
    Bytes all = history;
    all.push_back('x');
    for (int i = 0; i < 258; ++i) all.push_back(all[all.size() - far]);
    for (int i = 0; i < 20; ++i) all.push_back(all.back());
    for (int i = 0; i < 10; ++i) all.push_back(all[all.size() - 7]);
    return Bytes(all.begin() + static_cast<long>(history.size()), all.end());
}

}  // namespace

TEST(Mszip, HistoryCarriesAcrossBlocksButNotFolders)
{
    CountingHeap heap;
    Decoder dec(Method::kMszip, 0, heap.memory());
    Bytes out;
    const Bytes first = pattern(1000, 9);
    ASSERT_EQ(dec.decode(ck(storedStream(first)), first.size(), out), BlockResult::kOk);
    EXPECT_EQ(out, first);
    const Bytes expect = expectMatches(first, 1000);
    ASSERT_EQ(dec.decode(ck(matches(1000)), expect.size(), out), BlockResult::kOk);
    EXPECT_EQ(out, expect);

    // A new folder has no history to copy from.
    ASSERT_TRUE(dec.reset());
    DeflateWriter back;
    back.begin(true);
    back.match(3, 1);
    back.end();
    EXPECT_EQ(dec.decode(ck(back.finish()), 3, out), BlockResult::kBadData);
}

TEST(Mszip, MalformedStreamsAndWrongSizesFail)
{
    const Bytes text = pattern(100, 10);
    const Bytes stored = storedStream(text);
    const Bytes bad[] = {
        stored,                                         // no CK
        ck({0x07}),                                     // block type 3
        ck(Bytes(stored.begin(), stored.begin() + 50)),  // stored block cut short
        ck({0x01, 0x05, 0x00, 0xFB, 0xFF, 'a'}),        // length and its complement disagree
        ck({0x05, 0xE0, 0xFF, 0xFF, 0xFF, 0xFF}),       // over-subscribed code-length code
        ck({0x03}),                                     // fixed block with no end code in the data
    };
    CountingHeap heap;
    Bytes out;
    for (const Bytes& block : bad) {
        SCOPED_TRACE(&block - bad);
        Decoder dec(Method::kMszip, 0, heap.memory());
        EXPECT_EQ(dec.decode(block, 100, out), BlockResult::kBadData);
    }
    for (std::size_t asked : {99u, 101u, 32768u}) {
        Decoder dec(Method::kMszip, 0, heap.memory());
        EXPECT_EQ(dec.decode(ck(stored), asked, out), BlockResult::kBadData) << asked;
    }
}

TEST(Mszip, StreamMayEndWithoutTheFinalFlag)
{
    CountingHeap heap;
    Decoder dec(Method::kMszip, 0, heap.memory());
    const Bytes text = pattern(300, 11);
    Bytes stream = storedStream(Bytes(text.begin(), text.begin() + 100), false);
    const Bytes tail = storedStream(Bytes(text.begin() + 100, text.end()), false);
    stream.insert(stream.end(), tail.begin(), tail.end());
    Bytes out;
    ASSERT_EQ(dec.decode(ck(stream), 300, out), BlockResult::kOk);
    EXPECT_EQ(out, text);

    // The raw core asked for a final block reports the same stream as cut short.
    std::vector<std::uint8_t> window(400);
    cabinet::InflateWindow w{window.data(), window.size(), 0, 0, 300};
    auto scratch = std::make_unique<cabinet::InflateScratch>();
    EXPECT_EQ(cabinet::inflate(stream.data(), stream.size(), w, *scratch, cabinet::StreamEnd::kFinalBlock),
              InflateResult::kTruncated);
}

TEST(Deflate, WindowFloorLimitAndSlack)
{
    auto scratch = std::make_unique<cabinet::InflateScratch>();
    const Bytes history = pattern(2000, 12);
    const Bytes expect = expectMatches(history, 1000);
    // With and without room for the wide match copies: the same bytes, and nothing written past
    // the limit when there is none.
    for (std::size_t slack : {cabinet::kInflateSlack, std::size_t{0}}) {
        SCOPED_TRACE(slack);
        Bytes window(history.size() + expect.size() + slack + 64, 0xEE);
        std::copy(history.begin(), history.end(), window.begin());
        cabinet::InflateWindow w{window.data(), history.size() + expect.size() + slack, history.size() - 1000,
                                 history.size(), history.size() + expect.size()};
        const Bytes stream = matches(1000);
        std::size_t consumed = 0;
        ASSERT_EQ(cabinet::inflate(stream.data(), stream.size(), w, *scratch, cabinet::StreamEnd::kFinalBlock, &consumed),
                  InflateResult::kOk);
        EXPECT_EQ(consumed, stream.size());
        EXPECT_EQ(w.position, w.limit);
        EXPECT_EQ(Bytes(window.begin() + static_cast<long>(history.size()), window.begin() + static_cast<long>(w.limit)), expect);
        EXPECT_EQ(window[w.capacity], 0xEE);

        w.position = history.size();
        w.floor = history.size() - 998;  // one byte short of the farthest copy
        EXPECT_EQ(cabinet::inflate(stream.data(), stream.size(), w, *scratch, cabinet::StreamEnd::kFinalBlock),
                  InflateResult::kBadData);
        w.position = history.size();
        w.floor = 0;
        w.limit = history.size() + expect.size() - 1;
        EXPECT_EQ(cabinet::inflate(stream.data(), stream.size(), w, *scratch, cabinet::StreamEnd::kFinalBlock),
                  InflateResult::kOutputFull);
        EXPECT_LE(w.position, w.limit);
    }
}

TEST(Deflate, InputThatEndsInsideAStreamAndWhereAStreamEnds)
{
    auto scratch = std::make_unique<cabinet::InflateScratch>();
    Bytes window(1000);
    Bytes two = storedStream(pattern(50, 13));
    const Bytes second = storedStream(pattern(70, 14));
    two.insert(two.end(), second.begin(), second.end());
    cabinet::InflateWindow w{window.data(), window.size(), 0, 0, window.size()};
    std::size_t consumed = 0;
    ASSERT_EQ(cabinet::inflate(two.data(), two.size(), w, *scratch, cabinet::StreamEnd::kFinalBlock, &consumed),
              InflateResult::kOk);
    EXPECT_EQ(consumed, 55u) << "the first stream ends after its final block";
    EXPECT_EQ(w.position, 50u);

    const Bytes fixed = matches(1);
    for (const Bytes& stream : {second, fixed})
        for (std::size_t cut = 1; cut < 4; ++cut) {
            w.position = 0;
            EXPECT_EQ(cabinet::inflate(stream.data(), stream.size() / 2 - cut, w, *scratch, cabinet::StreamEnd::kFinalBlock),
                      InflateResult::kTruncated);
        }
}
