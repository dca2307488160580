// Raw deflate decoding (RFC 1951). Table driven: one lookup of the low bits of a 64-bit bit buffer
// yields the symbol, its kind and its extra bits; codes longer than the root width go through a
// second-level table. A match is one contiguous copy inside the caller's window.
#include "deflate.h"

#include <cstring>

#include "canonical_code.h"

namespace cabinet {
namespace {

// A table entry: bits 0-3 the code bits to drop, bits 4-7 the kind, bits 8-12 the extra bits of a
// length or distance (for a link: the index bits of its sub-table), bits 16-31 the value.
enum Kind : std::uint32_t { kBase = 0, kLiteral = 1, kEnd = 2, kLink = 3, kInvalid = 4 };

constexpr std::uint32_t payload(Kind kind, unsigned extra, unsigned value)
{
    return (static_cast<std::uint32_t>(kind) << 4) | (extra << 8) | (value << 16);
}
inline unsigned dropOf(std::uint32_t e) { return e & 15u; }
inline unsigned kindOf(std::uint32_t e) { return (e >> 4) & 15u; }
inline unsigned extraOf(std::uint32_t e) { return (e >> 8) & 31u; }
inline unsigned valueOf(std::uint32_t e) { return e >> 16; }

constexpr unsigned kLitRoot = kLitRootBits;
constexpr unsigned kDistRoot = kDistRootBits;
constexpr unsigned kLenRoot = 7;
constexpr unsigned kMaxBits = kMaxDeflateCode;
constexpr std::size_t kLenTableSize = 1u << kLenRoot;

constexpr unsigned kLitSymbols = 288;
constexpr std::size_t kLongestMatch = 258;
constexpr unsigned kDistSymbols = 32;
constexpr unsigned kLenSymbols = 19;

constexpr std::uint16_t kLengthBase[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                           31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr std::uint8_t kLengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                           2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr std::uint16_t kDistBase[30] = {1,    2,    3,    4,    5,    7,    9,    13,    17,    25,
                                         33,   49,   65,   97,   129,  193,  257,  385,   513,   769,
                                         1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
constexpr std::uint8_t kDistExtra[30] = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
                                         6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};
constexpr std::uint8_t kLenOrder[kLenSymbols] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};

struct Payloads
{
    std::uint32_t lit[kLitSymbols];
    std::uint32_t dist[kDistSymbols];
    std::uint32_t len[kLenSymbols];
    Payloads()
    {
        for (unsigned s = 0; s < 256; ++s)
            lit[s] = payload(kLiteral, 0, s);
        lit[256] = payload(kEnd, 0, 0);
        for (unsigned s = 257; s < 286; ++s)
            lit[s] = payload(kBase, kLengthExtra[s - 257], kLengthBase[s - 257]);
        lit[286] = lit[287] = payload(kInvalid, 0, 0);
        for (unsigned s = 0; s < 30; ++s)
            dist[s] = payload(kBase, kDistExtra[s], kDistBase[s]);
        dist[30] = dist[31] = payload(kInvalid, 0, 0);
        for (unsigned s = 0; s < kLenSymbols; ++s)
            len[s] = payload(kLiteral, 0, s);
    }
};

const Payloads& payloads()
{
    static const Payloads p;
    return p;
}

unsigned reverseBits(unsigned code, unsigned length)
{
    unsigned r = 0;
    for (unsigned i = 0; i < length; ++i) {
        r = (r << 1) | (code & 1u);
        code >>= 1;
    }
    return r;
}

// Builds the decoding table of a canonical code. Over-subscribed codes are refused; the unused
// entries of an incomplete code stay invalid, so reaching one fails the block.
bool buildTable(std::uint32_t* table, std::size_t capacity, unsigned root, const std::uint8_t* lengths, unsigned n,
                const std::uint32_t* payloadOf)
{
    std::uint32_t next[kLongestCode + 1];
    if (!firstCodes(lengths, n, kMaxBits, next))
        return false;

    const std::size_t rootSize = std::size_t{1} << root;
    const std::uint32_t invalid = payload(kInvalid, 0, 0);
    std::uint16_t reversed[kLitSymbols];
    std::uint8_t subBits[1u << kLitRoot] = {};
    for (unsigned s = 0; s < n; ++s) {
        const unsigned l = lengths[s];
        if (l == 0)
            continue;
        reversed[s] = static_cast<std::uint16_t>(reverseBits(next[l]++, l));
        if (l > root) {
            const unsigned prefix = reversed[s] & (rootSize - 1);
            if (subBits[prefix] < l - root)
                subBits[prefix] = static_cast<std::uint8_t>(l - root);
        }
    }
    for (std::size_t i = 0; i < rootSize; ++i)
        table[i] = invalid;
    std::size_t used = rootSize;
    for (std::size_t p = 0; p < rootSize; ++p) {
        if (subBits[p] == 0)
            continue;
        const std::size_t size = std::size_t{1} << subBits[p];
        if (used + size > capacity)
            return false;
        table[p] = payload(kLink, subBits[p], static_cast<unsigned>(used)) | root;
        for (std::size_t i = 0; i < size; ++i)
            table[used + i] = invalid;
        used += size;
    }
    for (unsigned s = 0; s < n; ++s) {
        const unsigned l = lengths[s];
        if (l == 0)
            continue;
        const unsigned r = reversed[s];
        if (l <= root) {
            for (std::size_t i = r; i < rootSize; i += std::size_t{1} << l)
                table[i] = payloadOf[s] | l;
        } else {
            const std::uint32_t link = table[r & (rootSize - 1)];
            const std::size_t base = valueOf(link);
            const std::size_t size = std::size_t{1} << extraOf(link);
            for (std::size_t i = r >> root; i < size; i += std::size_t{1} << (l - root))
                table[base + i] = payloadOf[s] | (l - root);
        }
    }
    return true;
}

struct FixedTables : InflateScratch
{
    FixedTables()
    {
        std::uint8_t lengths[kLitSymbols];
        for (unsigned s = 0; s < kLitSymbols; ++s)
            lengths[s] = s < 144 ? 8 : s < 256 ? 9 : s < 280 ? 7 : 8;
        buildTable(lit, kLitTableSize, kLitRoot, lengths, kLitSymbols, payloads().lit);
        for (unsigned s = 0; s < kDistSymbols; ++s)
            lengths[s] = 5;
        buildTable(dist, kDistTableSize, kDistRoot, lengths, kDistSymbols, payloads().dist);
    }
};

// Built once per process, on the first decoder's creation, and only read afterwards.
const InflateScratch& fixedTables()
{
    static const FixedTables tables;
    return tables;
}

inline std::uint64_t load64(const std::uint8_t* p)
{
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    std::uint64_t v;
    std::memcpy(&v, p, 8);
    return v;
#else
    std::uint64_t v = 0;
    for (int i = 7; i >= 0; --i)
        v = (v << 8) | p[i];
    return v;
#endif
}

// Bits of the stream, low bit first. Past the end it feeds zero bytes and counts them, so the
// fast paths need no end tests; consuming any of those bytes fails the block.
struct Bits
{
    const std::uint8_t* in;
    const std::uint8_t* end;
    std::uint64_t buffer = 0;
    unsigned count = 0;
    unsigned overrun = 0;

    // Leaves at least 56 bits; false once the stream has certainly been read past its end.
    bool refill()
    {
        if (end - in >= 8) {
            buffer |= load64(in) << count;
            in += (63 - count) >> 3;
            count |= 56;
            return true;
        }
        while (count < 56) {
            std::uint64_t byte = 0;
            if (in < end)
                byte = *in++;
            else
                ++overrun;
            buffer |= byte << count;
            count += 8;
        }
        return overrun <= 8;
    }
    unsigned peek(unsigned n) const { return static_cast<unsigned>(buffer & ((std::uint64_t{1} << n) - 1)); }
    void drop(unsigned n)
    {
        buffer >>= n;
        count -= n;
    }
    unsigned take(unsigned n)
    {
        const unsigned v = peek(n);
        drop(n);
        return v;
    }
    bool overread() const { return overrun * 8 > count; }
    unsigned realBitsLeft() const { return count - overrun * 8; }
};

inline void copyMatch(std::uint8_t* dst, std::size_t distance, std::size_t length)
{
    const std::uint8_t* src = dst - distance;
    std::uint8_t* const stop = dst + length;
    if (distance >= 16) {
        do {
            std::memcpy(dst, src, 16);
            dst += 16;
            src += 16;
        } while (dst < stop);
    } else if (distance >= 8) {
        do {
            std::memcpy(dst, src, 8);
            dst += 8;
            src += 8;
        } while (dst < stop);
    } else if (distance == 1) {
        std::memset(dst, *src, length);
    } else {
        for (std::size_t i = 0; i < length; ++i)
            dst[i] = src[i];
    }
}

// One block of Huffman codes into the window. With kPause the block stops before a symbol whenever
// fewer than the longest match's bytes are left below the limit, with that symbol still unread, so
// the caller can drain the window and go on.
template <bool kPause>
InflateResult decodeCodes(Bits& state, const std::uint32_t* lit, const std::uint32_t* dist, InflateWindow& w)
{
    constexpr std::uint32_t litMask = (1u << kLitRoot) - 1;
    constexpr std::uint32_t distMask = (1u << kDistRoot) - 1;
    // Local copies: byte stores into the window could alias the caller's state and force reloads.
    Bits bits = state;
    std::uint8_t* const window = w.data;
    const std::size_t limit = w.limit;
    const std::size_t floor = w.floor;
    const bool wide = w.capacity - limit >= kInflateSlack; // room for the 16-byte match steps
    std::size_t pos = w.position;
    struct WriteBack
    {
        Bits& to;
        const Bits& from;
        std::size_t& toPos;
        const std::size_t& fromPos;
        ~WriteBack()
        {
            to = from;
            toPos = fromPos;
        }
    } writeBack{state, bits, w.position, pos};
    for (;;) {
        if (kPause && limit - pos < kLongestMatch)
            return InflateResult::kOutputFull;
        if (!bits.refill())
            return InflateResult::kTruncated;
        std::uint32_t e = lit[bits.buffer & litMask];
        if (kindOf(e) == kLink) {
            bits.drop(kLitRoot);
            e = lit[valueOf(e) + bits.peek(extraOf(e))];
        }
        bits.drop(dropOf(e));
        const unsigned kind = kindOf(e);
        if (kind == kLiteral) {
            if (pos >= limit)
                return InflateResult::kOutputFull;
            window[pos++] = static_cast<std::uint8_t>(valueOf(e));
            // At least 41 bits remain: room for a second literal without refilling.
            e = lit[bits.buffer & litMask];
            if (kindOf(e) == kLiteral) {
                bits.drop(dropOf(e));
                if (pos >= limit)
                    return InflateResult::kOutputFull;
                window[pos++] = static_cast<std::uint8_t>(valueOf(e));
            }
            continue;
        }
        if (kind == kBase) {
            const std::size_t length = valueOf(e) + bits.take(extraOf(e));
            std::uint32_t d = dist[bits.buffer & distMask];
            if (kindOf(d) == kLink) {
                bits.drop(kDistRoot);
                d = dist[valueOf(d) + bits.peek(extraOf(d))];
            }
            if (kindOf(d) != kBase)
                return InflateResult::kBadData;
            bits.drop(dropOf(d));
            const std::size_t distance = valueOf(d) + bits.take(extraOf(d));
            if (distance > pos - floor)
                return InflateResult::kBadData;
            if (length > limit - pos)
                return InflateResult::kOutputFull;
            if (wide) {
                copyMatch(window + pos, distance, length);
            } else {
                for (std::size_t i = 0; i < length; ++i)
                    window[pos + i] = window[pos + i - distance];
            }
            pos += length;
            continue;
        }
        return kind == kEnd ? InflateResult::kOk : InflateResult::kBadData;
    }
}

InflateResult readDynamicTables(Bits& bits, InflateScratch& tables)
{
    if (!bits.refill())
        return InflateResult::kTruncated;
    const unsigned nlit = bits.take(5) + 257;
    const unsigned ndist = bits.take(5) + 1;
    const unsigned nlen = bits.take(4) + 4;
    if (nlit > 286 || ndist > 30)
        return InflateResult::kBadData;

    std::uint8_t lenLengths[kLenSymbols] = {};
    for (unsigned i = 0; i < nlen; ++i) {
        if (!bits.refill())
            return InflateResult::kTruncated;
        lenLengths[kLenOrder[i]] = static_cast<std::uint8_t>(bits.take(3));
    }
    std::uint32_t lenTable[kLenTableSize];
    if (!buildTable(lenTable, kLenTableSize, kLenRoot, lenLengths, kLenSymbols, payloads().len))
        return InflateResult::kBadData;

    std::uint8_t lengths[286 + 30];
    const unsigned total = nlit + ndist;
    unsigned n = 0;
    while (n < total) {
        if (!bits.refill())
            return InflateResult::kTruncated;
        const std::uint32_t e = lenTable[bits.peek(kLenRoot)];
        if (kindOf(e) != kLiteral)
            return InflateResult::kBadData;
        bits.drop(dropOf(e));
        const unsigned symbol = valueOf(e);
        if (symbol < 16) {
            lengths[n++] = static_cast<std::uint8_t>(symbol);
            continue;
        }
        unsigned repeat;
        std::uint8_t value = 0;
        if (symbol == 16) {
            if (n == 0)
                return InflateResult::kBadData;
            value = lengths[n - 1];
            repeat = 3 + bits.take(2);
        } else if (symbol == 17) {
            repeat = 3 + bits.take(3);
        } else {
            repeat = 11 + bits.take(7);
        }
        if (repeat > total - n)
            return InflateResult::kBadData;
        std::memset(lengths + n, value, repeat);
        n += repeat;
    }
    if (lengths[256] == 0)
        return InflateResult::kBadData; // a block without an end code cannot end
    const bool built = buildTable(tables.lit, kLitTableSize, kLitRoot, lengths, nlit, payloads().lit) &&
                       buildTable(tables.dist, kDistTableSize, kDistRoot, lengths + nlit, ndist, payloads().dist);
    return built ? InflateResult::kOk : InflateResult::kBadData;
}

// Reads a stored block's header into `length`, leaving the input at its first byte.
InflateResult storedHeader(Bits& bits, unsigned& length)
{
    // Hand the whole bytes still in the bit buffer back to the input and copy straight from it.
    bits.drop(bits.count & 7u);
    const unsigned buffered = bits.count / 8;
    if (bits.overrun > buffered)
        return InflateResult::kTruncated;
    bits.in -= buffered - bits.overrun;
    bits.buffer = 0;
    bits.count = 0;
    bits.overrun = 0;
    if (bits.end - bits.in < 4)
        return InflateResult::kTruncated;
    length = bits.in[0] | (bits.in[1] << 8);
    const unsigned check = bits.in[2] | (bits.in[3] << 8);
    bits.in += 4;
    return length == (~check & 0xFFFFu) ? InflateResult::kOk : InflateResult::kBadData;
}

InflateResult copyStored(Bits& bits, InflateWindow& w)
{
    unsigned length = 0;
    const InflateResult header = storedHeader(bits, length);
    if (header != InflateResult::kOk)
        return header;
    if (static_cast<std::size_t>(bits.end - bits.in) < length)
        return InflateResult::kTruncated;
    if (length > w.limit - w.position)
        return InflateResult::kOutputFull;
    std::memcpy(w.data + w.position, bits.in, length);
    bits.in += length;
    w.position += length;
    return InflateResult::kOk;
}

} // namespace

InflateResult inflate(const std::uint8_t* in, std::size_t inLen, InflateWindow& window, InflateScratch& scratch,
                      StreamEnd end, std::size_t* consumed)
{
    if (window.limit > window.capacity || window.position > window.limit || window.floor > window.position ||
        (in == nullptr && inLen != 0))
        return InflateResult::kBadData;
    const InflateScratch& fixed = fixedTables();
    Bits bits{in, in + inLen};
    InflateResult result = InflateResult::kOk;
    for (;;) {
        if (!bits.refill()) {
            result = InflateResult::kTruncated;
            break;
        }
        const unsigned last = bits.take(1);
        const unsigned type = bits.take(2);
        if (type == 0)
            result = copyStored(bits, window);
        else if (type == 1)
            result = decodeCodes<false>(bits, fixed.lit, fixed.dist, window);
        else if (type == 2)
            result = readDynamicTables(bits, scratch);
        else
            result = InflateResult::kBadData;
        if (type == 2 && result == InflateResult::kOk)
            result = decodeCodes<false>(bits, scratch.lit, scratch.dist, window);
        if (bits.overread())
            result = InflateResult::kTruncated;
        if (result != InflateResult::kOk || last)
            break;
        if (end == StreamEnd::kFinalBlockOrInputEnd && bits.in == bits.end && bits.realBitsLeft() < 8)
            break;
    }
    if (consumed != nullptr) {
        const std::size_t unread = bits.overread() ? 0 : bits.realBitsLeft() / 8;
        *consumed = static_cast<std::size_t>(bits.in - in) - unread;
    }
    return result;
}

void inflateBegin(InflateStream& stream, const std::uint8_t* in, std::size_t inLen)
{
    stream = InflateStream{};
    stream.start = stream.in = in;
    stream.end = in + inLen;
}

InflateResult inflateStep(InflateStream& stream, InflateWindow& window, InflateScratch& scratch)
{
    if (window.limit > window.capacity || window.position > window.limit || window.floor > window.position ||
        stream.block == InflateStream::kFinished)
        return InflateResult::kBadData;
    const InflateScratch& fixed = fixedTables();
    Bits bits{stream.in, stream.end, stream.buffer, stream.count, stream.overrun};
    InflateResult result = InflateResult::kOk;
    for (;;) {
        if (stream.block == InflateStream::kBetween) {
            if (stream.last)
                break;
            if (!bits.refill()) {
                result = InflateResult::kTruncated;
                break;
            }
            stream.last = bits.take(1);
            const unsigned type = bits.take(2);
            if (type == 0) {
                unsigned length = 0;
                result = storedHeader(bits, length);
                stream.stored = length;
                stream.block = InflateStream::kStored;
            } else if (type == 1) {
                stream.block = InflateStream::kFixed;
            } else if (type == 2) {
                result = readDynamicTables(bits, scratch);
                stream.block = InflateStream::kDynamic;
            } else {
                result = InflateResult::kBadData;
            }
            if (bits.overread())
                result = InflateResult::kTruncated;
            if (result != InflateResult::kOk)
                break;
        }
        if (stream.block == InflateStream::kStored) {
            const std::size_t room = window.limit - window.position;
            const std::size_t n = stream.stored < room ? stream.stored : room;
            if (static_cast<std::size_t>(bits.end - bits.in) < n) {
                result = InflateResult::kTruncated;
                break;
            }
            std::memcpy(window.data + window.position, bits.in, n);
            bits.in += n;
            window.position += n;
            stream.stored -= n;
            if (stream.stored != 0) {
                result = InflateResult::kOutputFull;
                break;
            }
        } else {
            const bool dynamic = stream.block == InflateStream::kDynamic;
            result =
                decodeCodes<true>(bits, dynamic ? scratch.lit : fixed.lit, dynamic ? scratch.dist : fixed.dist, window);
            if (bits.overread())
                result = InflateResult::kTruncated;
            if (result != InflateResult::kOk)
                break;
        }
        stream.block = InflateStream::kBetween;
    }
    stream.in = bits.in;
    stream.buffer = bits.buffer;
    stream.count = bits.count;
    stream.overrun = bits.overrun;
    if (result == InflateResult::kOk)
        stream.block = InflateStream::kFinished;
    return result;
}

std::size_t inflateConsumed(const InflateStream& stream)
{
    const std::size_t unread = stream.overrun * 8 > stream.count ? 0 : (stream.count - stream.overrun * 8) / 8;
    return static_cast<std::size_t>(stream.in - stream.start) - unread;
}

} // namespace cabinet
