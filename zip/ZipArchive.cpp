#include "ZipArchive.h"

#include <algorithm>
#include <cstring>

#include "archive_names.h"
#include "deflate.h"

namespace ravelzip {
namespace {

constexpr std::uint32_t kEndSignature = 0x06054b50;
constexpr std::uint32_t kZip64EndSignature = 0x06064b50;
constexpr std::uint32_t kZip64LocatorSignature = 0x07064b50;
constexpr std::uint32_t kCentralSignature = 0x02014b50;
constexpr std::uint32_t kLocalSignature = 0x04034b50;
constexpr std::uint32_t kDescriptorSignature = 0x08074b50;
constexpr std::size_t kEndSize = 22;
constexpr std::size_t kCentralSize = 46;
constexpr std::size_t kLocalSize = 30;
constexpr std::uint16_t kFlagEncrypted = 1u << 0;
constexpr std::uint16_t kFlagDescriptor = 1u << 3;
constexpr std::uint16_t kFlagStrongEncryption = 1u << 6;
constexpr std::uint16_t kFlagUtf8 = 1u << 11;
constexpr std::uint16_t kFlagMaskedHeaders = 1u << 13;
constexpr std::uint16_t kExtraZip64 = 0x0001;
constexpr std::uint16_t kExtraTime = 0x5455;
constexpr std::uint16_t kExtraUnicodePath = 0x7075;
constexpr unsigned kHostUnix = 3;

inline std::uint16_t le16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }
inline std::uint32_t le32(const std::uint8_t* p)
{
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
inline std::uint64_t le64(const std::uint8_t* p) { return le32(p) | (static_cast<std::uint64_t>(le32(p + 4)) << 32); }

// Whether [offset, offset + length) lies inside a file of `size` bytes, without overflow.
inline bool fits(std::uint64_t offset, std::uint64_t length, std::uint64_t size)
{
    return offset <= size && length <= size - offset;
}

struct CrcTables
{
    std::uint32_t t[16][256];
    CrcTables()
    {
        for (std::uint32_t i = 0; i < 256; ++i) {
            std::uint32_t c = i;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[0][i] = c;
        }
        for (std::uint32_t i = 0; i < 256; ++i)
            for (int k = 1; k < 16; ++k)
                t[k][i] = (t[k - 1][i] >> 8) ^ t[0][t[k - 1][i] & 0xFF];
    }
};
const CrcTables& crcTables()
{
    static const CrcTables tables;
    return tables;
}

constexpr std::uint16_t kCp437High[128] = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7, 0x00EA, 0x00EB, 0x00E8, 0x00EF, 0x00EE,
    0x00EC, 0x00C4, 0x00C5, 0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9, 0x00FF, 0x00D6,
    0x00DC, 0x00A2, 0x00A3, 0x00A5, 0x20A7, 0x0192, 0x00E1, 0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA,
    0x00BA, 0x00BF, 0x2310, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB, 0x2591, 0x2592, 0x2593, 0x2502,
    0x2524, 0x2561, 0x2562, 0x2556, 0x2555, 0x2563, 0x2551, 0x2557, 0x255D, 0x255C, 0x255B, 0x2510, 0x2514,
    0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F, 0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550,
    0x256C, 0x2567, 0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256B, 0x256A, 0x2518, 0x250C,
    0x2588, 0x2584, 0x258C, 0x2590, 0x2580, 0x03B1, 0x00DF, 0x0393, 0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4,
    0x03A6, 0x0398, 0x03A9, 0x03B4, 0x221E, 0x03C6, 0x03B5, 0x2229, 0x2261, 0x00B1, 0x2265, 0x2264, 0x2320,
    0x2321, 0x00F7, 0x2248, 0x00B0, 0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2, 0x25A0, 0x00A0,
};

// Finds an extra field by its id; false when absent or when the fields do not tile the area.
bool findExtra(const std::uint8_t* extra, std::size_t length, std::uint16_t id, const std::uint8_t*& data,
               std::size_t& size)
{
    std::size_t at = 0;
    while (length - at >= 4) {
        const std::uint16_t fieldId = le16(extra + at);
        const std::size_t fieldSize = le16(extra + at + 2);
        if (fieldSize > length - at - 4)
            return false;
        if (fieldId == id) {
            data = extra + at + 4;
            size = fieldSize;
            return true;
        }
        at += 4 + fieldSize;
    }
    return false;
}

// The 64-bit values that stand in for the header fields set to all ones, in their fixed order.
bool applyZip64(const std::uint8_t* extra, std::size_t length, std::uint64_t* const fields[], const bool wanted[],
                int count)
{
    const std::uint8_t* data = nullptr;
    std::size_t size = 0;
    bool any = false;
    for (int i = 0; i < count; ++i)
        any = any || wanted[i];
    if (!any)
        return true;
    if (!findExtra(extra, length, kExtraZip64, data, size))
        return false;
    std::size_t at = 0;
    for (int i = 0; i < count; ++i) {
        if (!wanted[i])
            continue;
        if (size - at < 8)
            return false;
        *fields[i] = le64(data + at);
        at += 8;
    }
    return true;
}

bool hasControlCharacter(const std::string& name)
{
    return std::any_of(name.begin(), name.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20; });
}

struct Span
{
    std::uint64_t begin;
    std::uint64_t end;
};

} // namespace

const char* describe(ZipResult result)
{
    switch (result) {
    case ZipResult::kOk:
        return "ok";
    case ZipResult::kNotZip:
        return "not a zip archive";
    case ZipResult::kBadDirectory:
        return "damaged central directory";
    case ZipResult::kBadLocal:
        return "local header disagrees with the central directory";
    case ZipResult::kOverlap:
        return "entries overlap";
    case ZipResult::kUnsafeName:
        return "unsafe entry name";
    case ZipResult::kEncrypted:
        return "encrypted entry";
    case ZipResult::kUnsupported:
        return "unsupported method or multi-disk archive";
    case ZipResult::kBadData:
        return "damaged compressed data";
    case ZipResult::kTooLarge:
        return "entry size differs from its header";
    case ZipResult::kBadCrc:
        return "CRC-32 mismatch";
    case ZipResult::kSinkFailed:
        return "write failed";
    case ZipResult::kBadIndex:
        return "no such entry";
    }
    return "unknown";
}

std::uint32_t crc32(std::uint32_t crc, const std::uint8_t* p, std::size_t n)
{
    const auto& t = crcTables().t;
    std::uint32_t c = ~crc;
    while (n >= 16) {
        const std::uint32_t a = c ^ le32(p);
        const std::uint32_t b = le32(p + 4);
        const std::uint32_t d = le32(p + 8);
        const std::uint32_t e = le32(p + 12);
        c = t[15][a & 0xFF] ^ t[14][(a >> 8) & 0xFF] ^ t[13][(a >> 16) & 0xFF] ^ t[12][a >> 24] ^ t[11][b & 0xFF] ^
            t[10][(b >> 8) & 0xFF] ^ t[9][(b >> 16) & 0xFF] ^ t[8][b >> 24] ^ t[7][d & 0xFF] ^ t[6][(d >> 8) & 0xFF] ^
            t[5][(d >> 16) & 0xFF] ^ t[4][d >> 24] ^ t[3][e & 0xFF] ^ t[2][(e >> 8) & 0xFF] ^ t[1][(e >> 16) & 0xFF] ^
            t[0][e >> 24];
        p += 16;
        n -= 16;
    }
    while (n-- > 0)
        c = t[0][(c ^ *p++) & 0xFF] ^ (c >> 8);
    return ~c;
}

std::string cp437ToUtf8(const std::string& text)
{
    std::string out;
    out.reserve(text.size() * 3);
    for (unsigned char ch : text) {
        const unsigned cp = ch < 0x80 ? ch : kCp437High[ch - 0x80];
        if (cp < 0x80) {
            out += static_cast<char>(cp);
        } else if (cp < 0x800) {
            out += static_cast<char>(0xC0 | (cp >> 6));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            out += static_cast<char>(0xE0 | (cp >> 12));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        }
    }
    return out;
}

// A window of 32 KiB of history above a chunk that is handed to the sink whenever it fills.
struct ZipArchive::Work
{
    static constexpr std::size_t kHistory = 32 * 1024;
    static constexpr std::size_t kChunk = 1024 * 1024;
    cabinet::InflateScratch scratch;
    std::uint8_t window[kHistory + kChunk + cabinet::kInflateSlack];
};

ZipArchive::ZipArchive() = default;
ZipArchive::~ZipArchive() = default;

ZipResult ZipArchive::open(const std::uint8_t* data, std::size_t size)
{
    const ZipResult result = readDirectory(data, size);
    if (result != ZipResult::kOk)
        m_entries.clear();
    return result;
}

ZipResult ZipArchive::readDirectory(const std::uint8_t* data, std::size_t size)
{
    m_entries.clear();
    m_data = data;
    m_size = size;
    if (data == nullptr || size < kEndSize)
        return ZipResult::kNotZip;

    // The end record: the last signature whose comment reaches no further than the file.
    std::size_t end = size - kEndSize + 1;
    const std::size_t lowest = size - kEndSize > 0xFFFF ? size - kEndSize - 0xFFFF : 0;
    bool found = false;
    while (end-- > lowest) {
        if (le32(data + end) == kEndSignature && end + kEndSize + le16(data + end + 20) <= size) {
            found = true;
            break;
        }
    }
    if (!found)
        return ZipResult::kNotZip;
    const std::uint8_t* e = data + end;
    std::uint64_t disk = le16(e + 4);
    std::uint64_t directoryDisk = le16(e + 6);
    std::uint64_t total = le16(e + 10);
    std::uint64_t directorySize = le32(e + 12);
    std::uint64_t directoryOffset = le32(e + 16);
    std::uint64_t directoryEnd = end; // where the directory's last byte is followed by a record

    if (end >= 20 && le32(data + end - 20) == kZip64LocatorSignature) {
        // The locator names the record; with bytes in front of the archive it sits right before the
        // locator instead (when it carries no extensible data).
        std::uint64_t record = le64(data + end - 20 + 8);
        if (!fits(record, 56, end - 20) || le32(data + record) != kZip64EndSignature) {
            if (end - 20 < 56 || le32(data + end - 20 - 56) != kZip64EndSignature)
                return ZipResult::kBadDirectory;
            record = end - 20 - 56;
        }
        const std::uint8_t* z = data + record;
        disk = le32(z + 16);
        directoryDisk = le32(z + 20);
        total = le64(z + 32);
        directorySize = le64(z + 40);
        directoryOffset = le64(z + 48);
        directoryEnd = record;
    }
    if (disk != 0 || directoryDisk != 0)
        return ZipResult::kUnsupported;
    if (directorySize > directoryEnd || directoryOffset > directoryEnd - directorySize)
        return ZipResult::kBadDirectory;
    // Bytes in front of the archive (a self-extracting stub) move every offset by the same amount.
    const std::uint64_t bias = directoryEnd - directorySize - directoryOffset;
    const std::uint64_t directoryStart = directoryOffset + bias;
    if (total > directorySize / kCentralSize)
        return ZipResult::kBadDirectory;

    m_entries.reserve(static_cast<std::size_t>(total));
    std::vector<Span> spans;
    spans.reserve(static_cast<std::size_t>(total));
    std::uint64_t at = directoryStart;
    const std::uint64_t directoryLimit = directoryStart + directorySize;
    for (std::uint64_t i = 0; i < total; ++i) {
        if (!fits(at, kCentralSize, directoryLimit))
            return ZipResult::kBadDirectory;
        const std::uint8_t* c = data + at;
        if (le32(c) != kCentralSignature)
            return ZipResult::kBadDirectory;
        const std::size_t nameLength = le16(c + 28);
        const std::size_t extraLength = le16(c + 30);
        const std::size_t commentLength = le16(c + 32);
        if (!fits(at + kCentralSize, nameLength + extraLength + commentLength, directoryLimit))
            return ZipResult::kBadDirectory;
        const std::uint8_t* name = c + kCentralSize;
        const std::uint8_t* extra = name + nameLength;

        ZipEntry entry;
        entry.madeBy = le16(c + 4);
        entry.flags = le16(c + 8);
        entry.method = le16(c + 10);
        entry.dosTime = le16(c + 12);
        entry.dosDate = le16(c + 14);
        entry.crc = le32(c + 16);
        entry.compressedSize = le32(c + 20);
        entry.size = le32(c + 24);
        std::uint64_t startDisk = le16(c + 34);
        entry.externalAttributes = le32(c + 38);
        entry.localOffset = le32(c + 42);
        {
            std::uint64_t* fields[] = {&entry.size, &entry.compressedSize, &entry.localOffset, &startDisk};
            const bool wanted[] = {entry.size == 0xFFFFFFFFu, entry.compressedSize == 0xFFFFFFFFu,
                                   entry.localOffset == 0xFFFFFFFFu, startDisk == 0xFFFFu};
            if (!applyZip64(extra, extraLength, fields, wanted, 4))
                return ZipResult::kBadDirectory;
        }
        if (startDisk != 0)
            return ZipResult::kUnsupported;
        if (entry.flags & (kFlagEncrypted | kFlagStrongEncryption | kFlagMaskedHeaders))
            return ZipResult::kEncrypted;
        if (entry.method != 0 && entry.method != 8)
            return ZipResult::kUnsupported;
        if (entry.method == 0 && entry.compressedSize != entry.size)
            return ZipResult::kBadDirectory;

        // The name: UTF-8 when flagged or given in the Unicode path field (for the same stored
        // name), UTF-8 from a Unix host when it is well-formed, otherwise code page 437.
        const std::string raw(reinterpret_cast<const char*>(name), nameLength);
        const std::uint8_t* field = nullptr;
        std::size_t fieldSize = 0;
        std::u16string wide;
        if (entry.flags & kFlagUtf8) {
            entry.name = raw;
        } else if (findExtra(extra, extraLength, kExtraUnicodePath, field, fieldSize) && fieldSize >= 5 &&
                   field[0] == 1 && le32(field + 1) == crc32(0, name, nameLength)) {
            entry.name.assign(reinterpret_cast<const char*>(field + 5), fieldSize - 5);
        } else if ((entry.madeBy >> 8) == kHostUnix && cabinet::decodeUtf8(raw.c_str(), wide)) {
            entry.name = raw;
        } else {
            entry.name = cp437ToUtf8(raw);
        }
        if (entry.name.empty() || entry.name.find('\0') != std::string::npos || hasControlCharacter(entry.name) ||
            cabinet::isUnsafeArchiveName(entry.name.c_str(), true))
            return ZipResult::kUnsafeName;
        const char last = entry.name.back();
        entry.directory = last == '/' || last == '\\';
        if (findExtra(extra, extraLength, kExtraTime, field, fieldSize) && fieldSize >= 5 && (field[0] & 1)) {
            entry.hasUnixTime = true;
            entry.unixTime = static_cast<std::int32_t>(le32(field + 1));
        }

        // The local header: same name bytes, method and flags; same CRC and sizes unless they
        // follow the data in a descriptor.
        const std::uint64_t local = entry.localOffset + bias;
        if (entry.localOffset > directoryStart || !fits(local, kLocalSize, directoryStart))
            return ZipResult::kBadLocal;
        const std::uint8_t* l = data + local;
        const std::size_t localNameLength = le16(l + 26);
        const std::size_t localExtraLength = le16(l + 28);
        if (le32(l) != kLocalSignature ||
            !fits(local + kLocalSize, localNameLength + localExtraLength, directoryStart) ||
            localNameLength != nameLength || std::memcmp(l + kLocalSize, name, nameLength) != 0 ||
            le16(l + 8) != entry.method || ((le16(l + 6) ^ entry.flags) & (kFlagEncrypted | kFlagDescriptor)) != 0)
            return ZipResult::kBadLocal;
        const std::uint8_t* localExtra = l + kLocalSize + localNameLength;
        if (!(entry.flags & kFlagDescriptor)) {
            std::uint64_t localSize = le32(l + 22);
            std::uint64_t localCompressed = le32(l + 18);
            std::uint64_t* fields[] = {&localSize, &localCompressed};
            const bool wanted[] = {localSize == 0xFFFFFFFFu, localCompressed == 0xFFFFFFFFu};
            if (!applyZip64(localExtra, localExtraLength, fields, wanted, 2) || le32(l + 14) != entry.crc ||
                localSize != entry.size || localCompressed != entry.compressedSize)
                return ZipResult::kBadLocal;
        }
        entry.dataOffset = local + kLocalSize + localNameLength + localExtraLength;
        if (!fits(entry.dataOffset, entry.compressedSize, directoryStart))
            return ZipResult::kBadLocal;
        std::uint64_t spanEnd = entry.dataOffset + entry.compressedSize;
        if (entry.flags & kFlagDescriptor) {
            // CRC and sizes after the data, with or without a signature, sizes of 4 or 8 bytes.
            bool matched = false;
            for (int form = 0; form < 4 && !matched; ++form) {
                const bool signature = form < 2;
                const bool wideSizes = (form & 1) != 0;
                const std::uint64_t length = (signature ? 4 : 0) + 4 + (wideSizes ? 16 : 8);
                if (!fits(spanEnd, length, directoryStart))
                    continue;
                const std::uint8_t* d = data + spanEnd;
                if (signature && le32(d) != kDescriptorSignature)
                    continue;
                if (signature)
                    d += 4;
                const std::uint64_t compressed = wideSizes ? le64(d + 4) : le32(d + 4);
                const std::uint64_t plain = wideSizes ? le64(d + 12) : le32(d + 8);
                if (le32(d) == entry.crc && compressed == entry.compressedSize && plain == entry.size) {
                    matched = true;
                    spanEnd += length;
                }
            }
            if (!matched)
                return ZipResult::kBadLocal;
        }
        spans.push_back(Span{local, spanEnd});
        m_entries.push_back(std::move(entry));
        at += kCentralSize + nameLength + extraLength + commentLength;
    }

    // Every byte of the file belongs to at most one entry: shared data is how some bombs multiply.
    std::sort(spans.begin(), spans.end(), [](const Span& a, const Span& b) { return a.begin < b.begin; });
    for (std::size_t i = 1; i < spans.size(); ++i)
        if (spans[i].begin < spans[i - 1].end)
            return ZipResult::kOverlap;
    return ZipResult::kOk;
}

ZipResult ZipArchive::extract(std::size_t index, ZipSink& sink)
{
    if (index >= m_entries.size())
        return ZipResult::kBadIndex;
    const ZipEntry& entry = m_entries[index];
    const std::uint8_t* in = m_data + entry.dataOffset;
    std::uint32_t crc = 0;
    if (entry.method == 0) {
        std::uint64_t left = entry.size;
        while (left > 0) {
            const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(left, Work::kChunk));
            crc = crc32(crc, in, n);
            if (!sink.write(in, n))
                return ZipResult::kSinkFailed;
            in += n;
            left -= n;
        }
        return crc == entry.crc ? ZipResult::kOk : ZipResult::kBadCrc;
    }

    if (!m_work)
        m_work = std::make_unique<Work>();
    Work& work = *m_work;
    cabinet::InflateStream stream;
    cabinet::inflateBegin(stream, in, static_cast<std::size_t>(entry.compressedSize));
    cabinet::InflateWindow window{work.window, sizeof work.window, 0, 0, Work::kHistory + Work::kChunk};
    std::size_t flushed = 0;
    std::uint64_t total = 0;
    for (;;) {
        const cabinet::InflateResult result = cabinet::inflateStep(stream, window, work.scratch);
        if (result == cabinet::InflateResult::kTruncated || result == cabinet::InflateResult::kBadData)
            return ZipResult::kBadData;
        const std::size_t produced = window.position - flushed;
        if (produced > entry.size - total)
            return ZipResult::kTooLarge;
        crc = crc32(crc, work.window + flushed, produced);
        if (produced > 0 && !sink.write(work.window + flushed, produced))
            return ZipResult::kSinkFailed;
        total += produced;
        if (result == cabinet::InflateResult::kOk)
            break;
        // Keep the last 32 KiB as history and refill the chunk above it.
        const std::size_t keep = std::min(window.position, Work::kHistory);
        std::memmove(work.window, work.window + window.position - keep, keep);
        window.position = keep;
        flushed = keep;
    }
    if (total != entry.size)
        return ZipResult::kTooLarge;
    return crc == entry.crc ? ZipResult::kOk : ZipResult::kBadCrc;
}

} // namespace ravelzip
