// MSZIP through the codec table: history across blocks but not folders, malformed streams, streams
// without the final flag. The deflate core alone: the window's floor and limit, a window without
// slack, input that ends inside a stream, and where a stream ends.
#include "cab_support.h"
#include "deflate.h"
#include <gtest/gtest.h>
#include <memory>

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
    const unsigned n = static_cast<unsigned>(content.size()), header[5] = {final ? 1u : 0u, n, n >> 8, ~n, ~n >> 8};
    std::copy(header, header + 5, s.begin());
    std::copy(content.begin(), content.end(), s.begin() + 5);
    return s;
}

Bytes ck(Bytes stream)
{
    stream.insert(stream.begin(), {'C', 'K'});
    return stream;
}

// One final fixed-Huffman block: 'x', then 258 bytes from `far` back (1 or 1000), 20 from 1 back and
// 10 from 7 back. Each field: its value, its width, and whether it is a Huffman code (written most
// significant bit first) rather than a header field or extra bits (least significant first).
Bytes matches(unsigned far)
{
    const struct
    {
        unsigned value, bits;
        bool code;
    } fields[] = {{1, 1, false},
                  {1, 2, false},
                  {0xA8, 8, true},
                  {0xC5, 8, true},
                  {far == 1 ? 0u : 19u, 5, true},
                  {far - 769, far == 1 ? 0u : 8u, false},
                  {13, 7, true},
                  {1, 2, false},
                  {0, 5, true},
                  {8, 7, true},
                  {5, 5, true},
                  {0, 1, false},
                  {0, 7, true}};
    Bytes out;
    unsigned acc = 0, count = 0;
    for (const auto& f : fields)
        for (unsigned i = 0; i < f.bits; ++i) {
            acc |= ((f.value >> (f.code ? f.bits - 1 - i : i)) & 1u) << count;
            if (++count == 8)
                out.push_back(static_cast<std::uint8_t>(acc)), acc = count = 0;
        }
    if (count != 0)
        out.push_back(static_cast<std::uint8_t>(acc));
    return out;
}
// The bytes `matches` stands for after `history`.
Bytes expectMatches(Bytes all, unsigned far)
{
    const long start = static_cast<long>(all.size());
    all.push_back('x');
    for (const auto& [count, distance] : {std::pair<int, unsigned>{258, far}, {20, 1}, {10, 7}})
        for (int i = 0; i < count; ++i)
            all.push_back(all[all.size() - distance]);
    return Bytes(all.begin() + start, all.end());
}

InflateResult inflate(const Bytes& in, std::size_t inLen, cabinet::InflateWindow& w, std::size_t* consumed = nullptr)
{
    static const auto scratch = std::make_unique<cabinet::InflateScratch>();
    return cabinet::inflate(in.data(), inLen, w, *scratch, cabinet::StreamEnd::kFinalBlock, consumed);
}

} // namespace

TEST(Mszip, HistoryCarriesAcrossBlocksButNotFolders)
{
    CountingHeap heap;
    Decoder dec(Method::kMszip, 0, heap.memory());
    Bytes out;
    const Bytes first = sampleData(1000, 9, 1000), second = expectMatches(first, 1000);
    // Two stored blocks, neither final: the stream may end at the end of its input.
    Bytes stream = storedStream(Bytes(first.begin(), first.begin() + 100), false);
    const Bytes tail = storedStream(Bytes(first.begin() + 100, first.end()), false);
    stream.insert(stream.end(), tail.begin(), tail.end());
    ASSERT_EQ(dec.decode(ck(stream), first.size(), out), BlockResult::kOk);
    EXPECT_EQ(out, first);
    ASSERT_EQ(dec.decode(ck(matches(1000)), second.size(), out), BlockResult::kOk);
    EXPECT_EQ(out, second);
    ASSERT_TRUE(dec.reset());
    EXPECT_EQ(dec.decode(ck(matches(1)), second.size(), out), BlockResult::kOk);
    EXPECT_EQ(dec.decode(ck(matches(1000)), second.size(), out), BlockResult::kBadData)
        << "a new folder has no history";
    // The raw core asked for a final block reports the same stream as cut short.
    Bytes window(2000);
    cabinet::InflateWindow w{window.data(), window.size(), 0, 0, 1000};
    EXPECT_EQ(inflate(stream, stream.size(), w), InflateResult::kTruncated);
}

TEST(Mszip, MalformedStreamsAndWrongSizesFail)
{
    const Bytes stored = storedStream(sampleData(100, 10, 100));
    const Bytes bad[] = {
        stored,                                         // no CK
        ck({0x07}),                                     // block type 3
        ck(Bytes(stored.begin(), stored.begin() + 50)), // stored block cut short
        ck({0x01, 0x05, 0x00, 0xFB, 0xFF, 'a'}),        // length and its complement disagree
        ck({0x05, 0xE0, 0xFF, 0xFF, 0xFF, 0xFF}),       // over-subscribed code-length code
        ck({0x03}),                                     // fixed block with no end code in the data
    };
    CountingHeap heap;
    Bytes out;
    for (const Bytes& block : bad) {
        Decoder dec(Method::kMszip, 0, heap.memory());
        EXPECT_EQ(dec.decode(block, 100, out), BlockResult::kBadData) << &block - bad;
    }
    for (std::size_t asked : {99u, 101u, 32768u}) {
        Decoder dec(Method::kMszip, 0, heap.memory());
        EXPECT_EQ(dec.decode(ck(stored), asked, out), BlockResult::kBadData) << asked;
    }
}

TEST(Deflate, WindowFloorLimitAndSlack)
{
    const Bytes history = sampleData(2000, 12, 2000), expect = expectMatches(history, 1000), stream = matches(1000);
    const std::size_t h = history.size(), end = h + expect.size();
    // With and without room for the wide match copies: the same bytes, and nothing written past
    // the capacity when there is no room.
    for (std::size_t slack : {cabinet::kInflateSlack, std::size_t{0}}) {
        SCOPED_TRACE(slack);
        Bytes window(end + slack + 64, 0xEE);
        std::copy(history.begin(), history.end(), window.begin());
        cabinet::InflateWindow w{window.data(), end + slack, h - 1000, h, end};
        std::size_t consumed = 0;
        ASSERT_EQ(inflate(stream, stream.size(), w, &consumed), InflateResult::kOk);
        EXPECT_EQ(std::make_pair(consumed, w.position), std::make_pair(stream.size(), end));
        EXPECT_EQ(Bytes(window.begin() + static_cast<long>(h), window.begin() + static_cast<long>(end)), expect);
        EXPECT_EQ(window[w.capacity], 0xEE);
        w = {window.data(), end + slack, h - 998, h, end}; // one byte short of the farthest copy
        EXPECT_EQ(inflate(stream, stream.size(), w), InflateResult::kBadData);
        w = {window.data(), end + slack, 0, h, end - 1};
        EXPECT_EQ(inflate(stream, stream.size(), w), InflateResult::kOutputFull);
        EXPECT_LE(w.position, w.limit);
    }
}

TEST(Deflate, InputThatEndsInsideAStreamAndWhereAStreamEnds)
{
    Bytes window(1000), two = storedStream(sampleData(50, 13, 50));
    const Bytes second = storedStream(sampleData(70, 14, 70));
    two.insert(two.end(), second.begin(), second.end());
    cabinet::InflateWindow w{window.data(), window.size(), 0, 0, window.size()};
    std::size_t consumed = 0;
    ASSERT_EQ(inflate(two, two.size(), w, &consumed), InflateResult::kOk);
    EXPECT_EQ(std::make_pair(consumed, w.position), std::make_pair(std::size_t{55}, std::size_t{50}))
        << "the first stream ends after its final block";
    for (const Bytes& stream : {second, matches(1)})
        for (std::size_t cut = 1; cut < 4; ++cut) {
            w.position = 0;
            EXPECT_EQ(inflate(stream, stream.size() / 2 - cut, w), InflateResult::kTruncated);
        }
}
