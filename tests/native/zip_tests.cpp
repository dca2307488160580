// The zip reader over archives made by zip and Python, hostile archives, and small archives
// written here for the name rules (code page 437, UTF-8 without the flag, the Unicode path field).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "TestData.h"
#include "ZipArchive.h"
#include "deflate.h"

using ravelzip::ZipArchive;
using ravelzip::ZipResult;

namespace {

std::string seed(const std::string& name) { return ravel::test::readFile(std::string(RAVEL_ZIP_SEEDS "/") + name); }

class StringSink : public ravelzip::ZipSink
{
public:
    std::string bytes;
    std::size_t writes = 0;
    bool write(const std::uint8_t* data, std::size_t size) override
    {
        bytes.append(reinterpret_cast<const char*>(data), size);
        ++writes;
        return true;
    }
};

ZipResult openBytes(ZipArchive& archive, const std::string& bytes)
{
    return archive.open(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
}

// Every entry's bytes by name; an entry that fails is recorded as its result.
std::map<std::string, std::string> extractAll(const std::string& bytes)
{
    ZipArchive archive;
    EXPECT_EQ(openBytes(archive, bytes), ZipResult::kOk);
    std::map<std::string, std::string> out;
    for (std::size_t i = 0; i < archive.count(); ++i) {
        StringSink sink;
        const ZipResult result = archive.extract(i, sink);
        out[archive.entry(i).name] = result == ZipResult::kOk ? sink.bytes : std::string("!") + describe(result);
    }
    return out;
}

void put16(std::string& s, unsigned v) { s += static_cast<char>(v & 0xFF), s += static_cast<char>(v >> 8); }
void put32(std::string& s, std::uint32_t v) { put16(s, v & 0xFFFF), put16(s, v >> 16); }

// One stored entry with the given raw name, host and extra field.
std::string storedZip(const std::string& name, unsigned host, const std::string& extra = {})
{
    const std::string data = "x";
    const std::uint32_t crc = ravelzip::crc32(0, reinterpret_cast<const std::uint8_t*>(data.data()), 1);
    std::string local = "PK\3\4";
    put16(local, 20), put16(local, 0), put16(local, 0), put32(local, 0), put32(local, crc);
    put32(local, 1), put32(local, 1), put16(local, name.size()), put16(local, 0);
    local += name + data;
    std::string central = "PK\1\2";
    put16(central, (host << 8) | 20), put16(central, 20), put16(central, 0), put16(central, 0), put32(central, 0);
    put32(central, crc), put32(central, 1), put32(central, 1), put16(central, name.size()),
        put16(central, extra.size());
    put16(central, 0), put16(central, 0), put16(central, 0), put32(central, 0), put32(central, 0);
    central += name + extra;
    std::string end = "PK\5\6";
    put16(end, 0), put16(end, 0), put16(end, 1), put16(end, 1), put32(end, central.size()), put32(end, local.size());
    put16(end, 0);
    return local + central + end;
}

std::string onlyName(const std::string& zip)
{
    ZipArchive archive;
    const ZipResult result = openBytes(archive, zip);
    return result == ZipResult::kOk ? archive.entry(0).name : std::string("!") + describe(result);
}

} // namespace

TEST(ZipReader, ArchivesFromZipAndPython)
{
    const std::string setup = extractAll(seed("zip-stored.zip"))["drv/setup.inf"];
    ASSERT_EQ(setup.size(), 5000u);
    for (const char* name : {"zip-deflate.zip", "zip-zip64.zip"}) {
        const auto files = extractAll(seed(name));
        EXPECT_EQ(files.at("drv/setup.inf"), setup) << name;
        EXPECT_EQ(files.at("drv/empty.txt"), "") << name;
        EXPECT_EQ(files.at("drv/sub/deep/"), "") << name;
    }
    // More than one output chunk: the history carried across refills must be right (CRC-checked).
    const auto deflated = extractAll(seed("zip-deflate.zip"));
    EXPECT_EQ(deflated.at("drv/sub/deep/big.txt").size(), 1200u * 1024);

    const auto mixed = extractAll(seed("py-mixed.zip"));
    EXPECT_EQ(mixed.size(), 4u);
    EXPECT_EQ(mixed.at("dir/\xC3\xBC"
                       "ml\xC3\xA4ut \xE6\x97\xA5\xE6\x9C\xAC.txt"),
              "utf-8 name\n");
    EXPECT_EQ(mixed.at("stored.txt").size(), 1000u);
    EXPECT_EQ(mixed.at("deflate.txt").size(), 20000u);

    const auto streamed = extractAll(seed("py-descriptor.zip"));
    EXPECT_EQ(streamed.at("streamed.bin").size(), 200000u);
    EXPECT_EQ(streamed.at("small.txt"), "small\n");

    ZipArchive empty;
    EXPECT_EQ(openBytes(empty, seed("py-empty.zip")), ZipResult::kOk);
    EXPECT_EQ(empty.count(), 0u);
    EXPECT_EQ(empty.extract(0, *std::make_unique<StringSink>()), ZipResult::kBadIndex);
}

TEST(ZipReader, EntryDetails)
{
    ZipArchive archive;
    const std::string bytes = seed("zip-deflate.zip");
    ASSERT_EQ(openBytes(archive, bytes), ZipResult::kOk);
    for (std::size_t i = 0; i < archive.count(); ++i) {
        const auto& e = archive.entry(i);
        EXPECT_TRUE(e.hasUnixTime) << e.name; // zip writes the extended time stamp
        EXPECT_EQ(e.directory, e.name.back() == '/') << e.name;
    }
    // A self-extracting stub in front moves every offset; the archive still reads.
    EXPECT_EQ(extractAll(std::string(1000, 'M') + seed("py-mixed.zip")), extractAll(seed("py-mixed.zip")));
}

TEST(ZipReader, HostileArchivesAreRefused)
{
    const std::vector<std::pair<const char*, ZipResult>> cases = {
        {"bad-traversal.zip", ZipResult::kUnsafeName},     {"bad-traversal-deep.zip", ZipResult::kUnsafeName},
        {"bad-backslash.zip", ZipResult::kUnsafeName},     {"bad-absolute.zip", ZipResult::kUnsafeName},
        {"bad-drive.zip", ZipResult::kUnsafeName},         {"bad-device.zip", ZipResult::kUnsafeName},
        {"bad-overlong-utf8.zip", ZipResult::kUnsafeName}, {"bad-encrypted.zip", ZipResult::kEncrypted},
        {"bad-method.zip", ZipResult::kUnsupported},       {"bad-overlap.zip", ZipResult::kOverlap},
        {"bad-truncated.zip", ZipResult::kNotZip},
    };
    for (const auto& [name, expected] : cases) {
        ZipArchive archive;
        EXPECT_EQ(openBytes(archive, seed(name)), expected) << name;
        EXPECT_EQ(archive.count(), 0u) << name;
    }
    // These open; their data is refused, and the sink never gets more than the declared size.
    EXPECT_EQ(extractAll(seed("bad-oversize.zip")).at("bomb.txt"), "!entry size differs from its header");
    EXPECT_EQ(extractAll(seed("bad-flipped.zip")).at("stored.txt"), "!CRC-32 mismatch");

    // Cut inside the central directory, or with the directory's offset pointing past the file.
    std::string mixed = seed("py-mixed.zip");
    ZipArchive archive;
    EXPECT_NE(openBytes(archive, mixed.substr(0, mixed.size() - 60) + mixed.substr(mixed.size() - 37)), ZipResult::kOk);
    std::string far = mixed;
    far[far.rfind("PK\5\6") + 19] = '\x7F';
    EXPECT_EQ(openBytes(archive, far), ZipResult::kBadDirectory);
}

TEST(ZipReader, NameEncodings)
{
    // Code page 437 unless flagged; from a Unix host, well-formed UTF-8 is taken as it is.
    EXPECT_EQ(onlyName(storedZip("\x81"
                                 "ber.txt",
                                 0)),
              "\xC3\xBC"
              "ber.txt");
    EXPECT_EQ(onlyName(storedZip("\xC3\xBC"
                                 "ber.txt",
                                 0)),
              "\xE2\x94\x9C\xE2\x95\x9D"
              "ber.txt");
    EXPECT_EQ(onlyName(storedZip("\xC3\xBC"
                                 "ber.txt",
                                 3)),
              "\xC3\xBC"
              "ber.txt");
    EXPECT_EQ(onlyName(storedZip("\x81"
                                 "ber.txt",
                                 3)),
              "\xC3\xBC"
              "ber.txt");
    // The Unicode path field names the entry when it was written for this stored name; a
    // traversal there is refused like any other.
    const auto unicodePath = [](const std::string& raw, const std::string& name) {
        std::string field = "up";
        put16(field, 5 + name.size());
        field += '\1';
        put32(field, ravelzip::crc32(0, reinterpret_cast<const std::uint8_t*>(raw.data()), raw.size()));
        return field + name;
    };
    EXPECT_EQ(onlyName(storedZip("a.txt", 0, unicodePath("a.txt", "\xCE\xB1.txt"))), "\xCE\xB1.txt");
    EXPECT_EQ(onlyName(storedZip("b.txt", 0, unicodePath("a.txt", "\xCE\xB1.txt"))), "b.txt");
    EXPECT_EQ(onlyName(storedZip("a.txt", 0, unicodePath("a.txt", "../x"))), "!unsafe entry name");
    EXPECT_EQ(onlyName(storedZip(std::string("a\0b", 3), 0)), "!unsafe entry name");
    EXPECT_EQ(onlyName(storedZip("a\tb", 3)), "!unsafe entry name");
}

// The resumable inflate with an output chunk far smaller than the reader's: each pause must leave
// the next symbol (or the rest of a stored block) unread. Same bytes as the reader's extraction.
TEST(ZipReader, InflateStepsThroughASmallWindow)
{
    for (const char* name : {"zip-deflate.zip", "py-deflate-level0.zip", "py-descriptor.zip"}) {
        const std::string bytes = seed(name);
        ZipArchive archive;
        ASSERT_EQ(openBytes(archive, bytes), ZipResult::kOk);
        for (std::size_t i = 0; i < archive.count(); ++i) {
            const auto& e = archive.entry(i);
            if (e.method != 8)
                continue;
            StringSink whole;
            ASSERT_EQ(archive.extract(i, whole), ZipResult::kOk);
            constexpr std::size_t kHistory = 32768, kChunk = 300;
            std::vector<std::uint8_t> window(kHistory + kChunk + cabinet::kInflateSlack);
            auto scratch = std::make_unique<cabinet::InflateScratch>();
            cabinet::InflateStream stream;
            cabinet::inflateBegin(stream, reinterpret_cast<const std::uint8_t*>(bytes.data()) + e.dataOffset,
                                  e.compressedSize);
            cabinet::InflateWindow w{window.data(), window.size(), 0, 0, kHistory + kChunk};
            std::string out;
            std::size_t flushed = 0, steps = 0;
            for (cabinet::InflateResult r;;) {
                r = cabinet::inflateStep(stream, w, *scratch);
                out.append(reinterpret_cast<const char*>(window.data()) + flushed, w.position - flushed);
                ++steps;
                if (r != cabinet::InflateResult::kOutputFull) {
                    EXPECT_EQ(r, cabinet::InflateResult::kOk) << name << " " << e.name;
                    break;
                }
                const std::size_t keep = std::min(w.position, kHistory);
                std::memmove(window.data(), window.data() + w.position - keep, keep);
                w.position = flushed = keep;
            }
            EXPECT_EQ(out, whole.bytes) << name << " " << e.name;
            EXPECT_GE(steps, (e.size - std::min<std::uint64_t>(e.size, kHistory)) / kChunk)
                << "a pause at least every chunk";
            EXPECT_EQ(cabinet::inflateConsumed(stream), e.compressedSize);
        }
    }
}
