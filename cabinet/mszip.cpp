// MSZIP: each cabinet data block is "CK" followed by a deflate stream (RFC 1951). The streams of a
// folder share one 32 KiB history, so a block may copy from the output of the blocks before it.
//
// Decoding is table driven: one lookup of the low bits of a 64-bit bit buffer yields the symbol,
// its kind and its extra bits; codes longer than the root width go through a second-level table.
// The output goes into a window that holds the history followed by the current block, so a match
// is always one contiguous copy.
#include "mszip.h"

#include <cstdint>
#include <cstring>
#include <new>

#include "canonical_code.h"

namespace cabinet {
namespace {

constexpr std::size_t kHistory = 32768;
constexpr std::size_t kBlockMax = 32768;
constexpr std::size_t kCopySlack = 16;  // matches are copied in 8-byte steps and may overshoot
constexpr char kTag[4] = {'M', 'D', 'I', 'C'};

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

constexpr unsigned kLitRoot = 10;
constexpr unsigned kDistRoot = 8;
constexpr unsigned kLenRoot = 7;
constexpr unsigned kMaxBits = 15;
// A sub-table is at most 2^(15 - root) entries and each long code starts at most one.
constexpr std::size_t kLitTableSize = (1u << kLitRoot) + 288u * (1u << (kMaxBits - kLitRoot));
constexpr std::size_t kDistTableSize = (1u << kDistRoot) + 32u * (1u << (kMaxBits - kDistRoot));
constexpr std::size_t kLenTableSize = 1u << kLenRoot;

constexpr unsigned kLitSymbols = 288;
constexpr unsigned kDistSymbols = 32;
constexpr unsigned kLenSymbols = 19;

constexpr std::uint16_t kLengthBase[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                           31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr std::uint8_t kLengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                           2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr std::uint16_t kDistBase[30] = {1,    2,    3,    4,    5,    7,     9,     13,    17,  25,
                                         33,   49,   65,   97,   129,  193,   257,   385,   513, 769,
                                         1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
constexpr std::uint8_t kDistExtra[30] = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
                                         6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};
constexpr std::uint8_t kLenOrder[kLenSymbols] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};

struct Payloads {
    std::uint32_t lit[kLitSymbols];
    std::uint32_t dist[kDistSymbols];
    std::uint32_t len[kLenSymbols];
    Payloads()
    {
        for (unsigned s = 0; s < 256; ++s) lit[s] = payload(kLiteral, 0, s);
        lit[256] = payload(kEnd, 0, 0);
        for (unsigned s = 257; s < 286; ++s) lit[s] = payload(kBase, kLengthExtra[s - 257], kLengthBase[s - 257]);
        lit[286] = lit[287] = payload(kInvalid, 0, 0);
        for (unsigned s = 0; s < 30; ++s) dist[s] = payload(kBase, kDistExtra[s], kDistBase[s]);
        dist[30] = dist[31] = payload(kInvalid, 0, 0);
        for (unsigned s = 0; s < kLenSymbols; ++s) len[s] = payload(kLiteral, 0, s);
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
bool buildTable(std::uint32_t* table, std::size_t capacity, unsigned root, const std::uint8_t* lengths,
                unsigned n, const std::uint32_t* payloadOf)
{
    std::uint32_t next[kLongestCode + 1];
    if (!firstCodes(lengths, n, kMaxBits, next)) return false;

    const std::size_t rootSize = std::size_t{1} << root;
    const std::uint32_t invalid = payload(kInvalid, 0, 0);
    std::uint16_t reversed[kLitSymbols];
    std::uint8_t subBits[1u << kLitRoot] = {};
    for (unsigned s = 0; s < n; ++s) {
        const unsigned l = lengths[s];
        if (l == 0) continue;
        reversed[s] = static_cast<std::uint16_t>(reverseBits(next[l]++, l));
        if (l > root) {
            const unsigned prefix = reversed[s] & (rootSize - 1);
            if (subBits[prefix] < l - root) subBits[prefix] = static_cast<std::uint8_t>(l - root);
        }
    }
    for (std::size_t i = 0; i < rootSize; ++i) table[i] = invalid;
    std::size_t used = rootSize;
    for (std::size_t p = 0; p < rootSize; ++p) {
        if (subBits[p] == 0) continue;
        const std::size_t size = std::size_t{1} << subBits[p];
        if (used + size > capacity) return false;
        table[p] = payload(kLink, subBits[p], static_cast<unsigned>(used)) | root;
        for (std::size_t i = 0; i < size; ++i) table[used + i] = invalid;
        used += size;
    }
    for (unsigned s = 0; s < n; ++s) {
        const unsigned l = lengths[s];
        if (l == 0) continue;
        const unsigned r = reversed[s];
        if (l <= root) {
            for (std::size_t i = r; i < rootSize; i += std::size_t{1} << l) table[i] = payloadOf[s] | l;
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

struct Tables {
    std::uint32_t lit[kLitTableSize];
    std::uint32_t dist[kDistTableSize];
};

struct FixedTables : Tables {
    FixedTables()
    {
        std::uint8_t lengths[kLitSymbols];
        for (unsigned s = 0; s < kLitSymbols; ++s) lengths[s] = s < 144 ? 8 : s < 256 ? 9 : s < 280 ? 7 : 8;
        buildTable(lit, kLitTableSize, kLitRoot, lengths, kLitSymbols, payloads().lit);
        for (unsigned s = 0; s < kDistSymbols; ++s) lengths[s] = 5;
        buildTable(dist, kDistTableSize, kDistRoot, lengths, kDistSymbols, payloads().dist);
    }
};

// Built once per process, on the first decoder's creation, and only read afterwards.
const Tables& fixedTables()
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
    for (int i = 7; i >= 0; --i) v = (v << 8) | p[i];
    return v;
#endif
}

// Bits of the stream, low bit first. Past the end it feeds zero bytes and counts them, so the
// fast paths need no end tests; consuming any of those bytes fails the block.
struct Bits {
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
        for (std::size_t i = 0; i < length; ++i) dst[i] = src[i];
    }
}

// One block of Huffman codes into window[pos, limit); nothing below floor may be referenced.
bool decodeCodes(Bits& state, const std::uint32_t* lit, const std::uint32_t* dist, std::uint8_t* window,
                 std::size_t& position, std::size_t limit, std::size_t floor)
{
    constexpr std::uint32_t litMask = (1u << kLitRoot) - 1;
    constexpr std::uint32_t distMask = (1u << kDistRoot) - 1;
    // A local copy: byte stores into the window could alias the caller's state and force reloads.
    Bits bits = state;
    struct WriteBack {
        Bits& to;
        const Bits& from;
        ~WriteBack() { to = from; }
    } writeBack{state, bits};
    std::size_t pos = position;
    for (;;) {
        if (!bits.refill()) return false;
        std::uint32_t e = lit[bits.buffer & litMask];
        if (kindOf(e) == kLink) {
            bits.drop(kLitRoot);
            e = lit[valueOf(e) + bits.peek(extraOf(e))];
        }
        bits.drop(dropOf(e));
        const unsigned kind = kindOf(e);
        if (kind == kLiteral) {
            if (pos >= limit) return false;
            window[pos++] = static_cast<std::uint8_t>(valueOf(e));
            // At least 41 bits remain: room for a second literal without refilling.
            e = lit[bits.buffer & litMask];
            if (kindOf(e) == kLiteral) {
                bits.drop(dropOf(e));
                if (pos >= limit) return false;
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
            if (kindOf(d) != kBase) return false;
            bits.drop(dropOf(d));
            const std::size_t distance = valueOf(d) + bits.take(extraOf(d));
            if (distance > pos - floor || length > limit - pos) return false;
            copyMatch(window + pos, distance, length);
            pos += length;
            continue;
        }
        position = pos;
        return kind == kEnd;
    }
}

bool readDynamicTables(Bits& bits, Tables& tables)
{
    if (!bits.refill()) return false;
    const unsigned nlit = bits.take(5) + 257;
    const unsigned ndist = bits.take(5) + 1;
    const unsigned nlen = bits.take(4) + 4;
    if (nlit > 286 || ndist > 30) return false;

    std::uint8_t lenLengths[kLenSymbols] = {};
    for (unsigned i = 0; i < nlen; ++i) {
        if (!bits.refill()) return false;
        lenLengths[kLenOrder[i]] = static_cast<std::uint8_t>(bits.take(3));
    }
    std::uint32_t lenTable[kLenTableSize];
    if (!buildTable(lenTable, kLenTableSize, kLenRoot, lenLengths, kLenSymbols, payloads().len)) return false;

    std::uint8_t lengths[286 + 30];
    const unsigned total = nlit + ndist;
    unsigned n = 0;
    while (n < total) {
        if (!bits.refill()) return false;
        const std::uint32_t e = lenTable[bits.peek(kLenRoot)];
        if (kindOf(e) != kLiteral) return false;
        bits.drop(dropOf(e));
        const unsigned symbol = valueOf(e);
        if (symbol < 16) {
            lengths[n++] = static_cast<std::uint8_t>(symbol);
            continue;
        }
        unsigned repeat;
        std::uint8_t value = 0;
        if (symbol == 16) {
            if (n == 0) return false;
            value = lengths[n - 1];
            repeat = 3 + bits.take(2);
        } else if (symbol == 17) {
            repeat = 3 + bits.take(3);
        } else {
            repeat = 11 + bits.take(7);
        }
        if (repeat > total - n) return false;
        std::memset(lengths + n, value, repeat);
        n += repeat;
    }
    if (lengths[256] == 0) return false;  // a block without an end code cannot end
    return buildTable(tables.lit, kLitTableSize, kLitRoot, lengths, nlit, payloads().lit) &&
           buildTable(tables.dist, kDistTableSize, kDistRoot, lengths + nlit, ndist, payloads().dist);
}

bool copyStored(Bits& bits, std::uint8_t* window, std::size_t& pos, std::size_t limit)
{
    // Hand the whole bytes still in the bit buffer back to the input and copy straight from it.
    bits.drop(bits.count & 7u);
    const unsigned buffered = bits.count / 8;
    if (bits.overrun > buffered) return false;
    bits.in -= buffered - bits.overrun;
    bits.buffer = 0;
    bits.count = 0;
    bits.overrun = 0;
    if (bits.end - bits.in < 4) return false;
    const unsigned length = bits.in[0] | (bits.in[1] << 8);
    const unsigned check = bits.in[2] | (bits.in[3] << 8);
    bits.in += 4;
    if (length != (~check & 0xFFFFu)) return false;
    if (static_cast<std::size_t>(bits.end - bits.in) < length || length > limit - pos) return false;
    std::memcpy(window + pos, bits.in, length);
    bits.in += length;
    pos += length;
    return true;
}

}  // namespace

struct MszipDecoder {
    char tag[4];
    DecoderMemory memory;
    std::size_t historyLength;  // valid bytes of history in this folder, at most 32 KiB
    Tables dynamic;
    std::uint8_t window[kHistory + kBlockMax + kCopySlack];
};

namespace {

bool valid(const MszipDecoder* d) { return d != nullptr && std::memcmp(d->tag, kTag, 4) == 0; }

// Decodes one deflate stream into window[start, limit); answers its end or -1.
long inflateStream(MszipDecoder& d, const std::uint8_t* in, std::size_t inLen, std::size_t start,
                   std::size_t limit)
{
    const Tables& fixed = fixedTables();
    const std::size_t floor = kHistory - d.historyLength;
    Bits bits{in, in + inLen};
    std::size_t pos = start;
    for (;;) {
        if (!bits.refill()) return -1;
        const unsigned last = bits.take(1);
        const unsigned type = bits.take(2);
        bool ok = false;
        if (type == 0)
            ok = copyStored(bits, d.window, pos, limit);
        else if (type == 1)
            ok = decodeCodes(bits, fixed.lit, fixed.dist, d.window, pos, limit, floor);
        else if (type == 2)
            ok = readDynamicTables(bits, d.dynamic) &&
                 decodeCodes(bits, d.dynamic.lit, d.dynamic.dist, d.window, pos, limit, floor);
        if (!ok || bits.overread()) return -1;
        if (last) break;
        // Some writers end a block's stream without the final flag: accept a clean end of input.
        if (bits.in == bits.end && bits.realBitsLeft() < 8) break;
    }
    return static_cast<long>(pos);
}

}  // namespace

MszipDecoder* mszipCreate(const DecoderMemory& memory)
{
    fixedTables();
    void* p = memory.alloc(memory.ctx, sizeof(MszipDecoder));
    if (p == nullptr) return nullptr;
    auto* d = new (p) MszipDecoder;
    std::memcpy(d->tag, kTag, 4);
    d->memory = memory;
    d->historyLength = 0;
    return d;
}

bool mszipReset(MszipDecoder* decoder)
{
    if (!valid(decoder)) return false;
    decoder->historyLength = 0;
    return true;
}

int mszipDecode(MszipDecoder* decoder, const unsigned char* in, std::size_t inLen, unsigned char* out,
                std::size_t outCapacity)
{
    if (!valid(decoder) || in == nullptr || out == nullptr) return -1;
    if (outCapacity > kBlockMax) outCapacity = kBlockMax;
    if (inLen < 2 || in[0] != 'C' || in[1] != 'K') return -1;
    MszipDecoder& d = *decoder;
    const long end = inflateStream(d, in + 2, inLen - 2, kHistory, kHistory + outCapacity);
    if (end < 0) return -1;
    const std::size_t produced = static_cast<std::size_t>(end) - kHistory;
    std::memcpy(out, d.window + kHistory, produced);
    if (produced != 0) {
        std::memmove(d.window, d.window + produced, kHistory);
        d.historyLength = d.historyLength + produced < kHistory ? d.historyLength + produced : kHistory;
    }
    return static_cast<int>(produced);
}

void mszipDestroy(MszipDecoder* decoder)
{
    if (!valid(decoder)) return;
    const DecoderMemory memory = decoder->memory;
    std::memset(decoder->tag, 0, 4);
    decoder->~MszipDecoder();
    memory.release(memory.ctx, decoder);
}

}  // namespace cabinet
