// The zip reader: the central directory of an archive held in memory (a mapped file), each entry's
// local header checked against it, and entries inflated or copied into a sink with their CRC-32
// checked. Portable; nothing here touches the file system. Every size and offset read from the
// archive is checked against the archive's length before use, and nothing is allocated by a count
// the archive states except in proportion to the archive's own size.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace ravelzip {

enum class ZipResult {
    kOk,
    kNotZip,       // no end-of-central-directory record
    kBadDirectory, // the central directory does not fit the file or is malformed
    kBadLocal,     // a local header missing or disagreeing with the central directory
    kOverlap,      // two entries' data share bytes, or an entry runs into the directory
    kUnsafeName,   // absolute, drive, "..", device or malformed name
    kEncrypted,
    kUnsupported, // a method other than stored and deflate, or a multi-disk archive
    kBadData,     // the deflate stream is damaged or truncated
    kTooLarge,    // the entry inflates beyond (or short of) its declared size
    kBadCrc,
    kSinkFailed, // the sink refused a write
    kBadIndex,
};
const char* describe(ZipResult result);

struct ZipEntry
{
    std::string name; // UTF-8, separators as stored ("/" or "\")
    bool directory = false;
    std::uint16_t method = 0;
    std::uint16_t flags = 0;
    std::uint16_t madeBy = 0;
    std::uint16_t dosTime = 0;
    std::uint16_t dosDate = 0;
    bool hasUnixTime = false; // the extended time stamp's modification time (UTC)
    std::int64_t unixTime = 0;
    std::uint32_t crc = 0;
    std::uint64_t compressedSize = 0;
    std::uint64_t size = 0;
    std::uint64_t localOffset = 0;
    std::uint64_t dataOffset = 0; // of the first data byte, from the local header
    std::uint32_t externalAttributes = 0;
};

// Receives an entry's bytes in order.
class ZipSink
{
public:
    virtual ~ZipSink() = default;
    virtual bool write(const std::uint8_t* data, std::size_t size) = 0;
};

std::uint32_t crc32(std::uint32_t crc, const std::uint8_t* data, std::size_t size);

// Code page 437 bytes as UTF-8.
std::string cp437ToUtf8(const std::string& text);

class ZipArchive
{
public:
    ZipArchive();
    ~ZipArchive();
    ZipArchive(const ZipArchive&) = delete;
    ZipArchive& operator=(const ZipArchive&) = delete;

    // The bytes must stay valid while the archive is used. Every entry is checked here: names,
    // local headers, bounds and overlaps; a refused entry refuses the archive.
    ZipResult open(const std::uint8_t* data, std::size_t size);
    std::size_t count() const { return m_entries.size(); }
    const ZipEntry& entry(std::size_t index) const { return m_entries[index]; }
    // Writes the entry's bytes into the sink; the result is kOk only when all of them arrived,
    // exactly the declared size, with the declared CRC-32.
    ZipResult extract(std::size_t index, ZipSink& sink);

private:
    struct Work;
    ZipResult readDirectory(const std::uint8_t* data, std::size_t size);
    const std::uint8_t* m_data = nullptr;
    std::size_t m_size = 0;
    std::vector<ZipEntry> m_entries;
    std::unique_ptr<Work> m_work; // window and decoding tables, made on the first inflate
};

} // namespace ravelzip
