// The MSZIP decoder on its own: history across blocks and folders, and malformed streams.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "cab_support.h"
#include "mszip.h"

using namespace cabtest;
using cabinet::DecoderMemory;

namespace {

void* plainAlloc(void*, std::size_t bytes) { return std::malloc(bytes); }
void plainFree(void*, void* p) { std::free(p); }
const DecoderMemory kMemory{plainAlloc, plainFree, nullptr};

struct Decoder {
    cabinet::MszipDecoder* d = cabinet::mszipCreate(kMemory);
    ~Decoder() { cabinet::mszipDestroy(d); }
    // Decodes "CK" + stream; the output, or an empty optional-like flag through ok.
    Bytes decode(const Bytes& stream, bool& ok, bool signature = true)
    {
        Bytes in;
        if (signature) in = {'C', 'K'};
        in.insert(in.end(), stream.begin(), stream.end());
        Bytes out(32768);
        const int n = cabinet::mszipDecode(d, in.data(), in.size(), out.data(), out.size());
        ok = n >= 0;
        out.resize(ok ? static_cast<std::size_t>(n) : 0);
        return out;
    }
};

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

}  // namespace

TEST(MszipDecoder, HistoryCarriesAcrossBlocksButNotFolders)
{
    Decoder dec;
    bool ok = false;
    const Bytes first = pattern(1000, 9);
    EXPECT_EQ(dec.decode(storedStream(first), ok), first);
    ASSERT_TRUE(ok);

    // Copies reaching 1000 bytes back (into the previous block) and overlapping runs.
    DeflateWriter w;
    w.begin(true);
    w.literal('x');
    w.match(258, 1000);
    w.match(20, 1);
    w.match(10, 7);
    w.end();
    const Bytes second = dec.decode(w.finish(), ok);
    ASSERT_TRUE(ok);
    Bytes expect = {'x'};
    expect.insert(expect.end(), first.begin() + 1, first.begin() + 259);
    for (int i = 0; i < 20; ++i) expect.push_back(expect.back());
    for (int i = 0; i < 10; ++i) expect.push_back(expect[expect.size() - 7]);
    EXPECT_EQ(second, expect);

    // A new folder has no history to copy from.
    ASSERT_TRUE(cabinet::mszipReset(dec.d));
    DeflateWriter back;
    back.begin(true);
    back.match(3, 1);
    back.end();
    dec.decode(back.finish(), ok);
    EXPECT_FALSE(ok);

    EXPECT_FALSE(cabinet::mszipReset(nullptr));
    char notADecoder[64] = "LDIC";
    EXPECT_FALSE(cabinet::mszipReset(reinterpret_cast<cabinet::MszipDecoder*>(notADecoder)));
}

TEST(MszipDecoder, MalformedStreamsFail)
{
    bool ok = true;
    const Bytes text = pattern(100, 10);
    {
        Decoder dec;
        dec.decode(storedStream(text), ok, false);
        EXPECT_FALSE(ok) << "no CK";
    }
    const Bytes stored = storedStream(text);
    const Bytes bad[] = {
        {0x07},                                     // block type 3
        Bytes(stored.begin(), stored.begin() + 50),  // stored block cut short
        {0x01, 0x05, 0x00, 0xFB, 0xFF, 'a'},        // length and its complement disagree
        {0x05, 0xE0, 0xFF, 0xFF, 0xFF, 0xFF},       // over-subscribed code-length code
        {0x03},                                     // fixed block with no end code in the data
    };
    for (const Bytes& stream : bad) {
        SCOPED_TRACE(static_cast<int>(&stream - bad));
        Decoder dec;
        dec.decode(stream, ok);
        EXPECT_FALSE(ok);
    }
    // More than a block may hold.
    Decoder dec;
    DeflateWriter w;
    w.begin(true);
    for (int i = 0; i < 32768 / 258 + 1; ++i) {
        if (i == 0)
            w.literal('a');
        w.match(258, 1);
    }
    w.end();
    dec.decode(w.finish(), ok);
    EXPECT_FALSE(ok);
}

TEST(MszipDecoder, StreamMayEndWithoutTheFinalFlag)
{
    Decoder dec;
    bool ok = false;
    const Bytes text = pattern(300, 11);
    Bytes stream = storedStream(Bytes(text.begin(), text.begin() + 100), false);
    const Bytes tail = storedStream(Bytes(text.begin() + 100, text.end()), false);
    stream.insert(stream.end(), tail.begin(), tail.end());
    EXPECT_EQ(dec.decode(stream, ok), text);
    EXPECT_TRUE(ok);
}
