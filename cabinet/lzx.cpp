// LZX as cabinets carry it: a folder is one LZX stream cut into 32 KiB frames, one frame per
// CFDATA block. Blocks (verbatim, aligned offset, uncompressed) may run across frames; every frame
// ends on a 16-bit boundary of its own input. Everything read from the input is bounded by inLen,
// every write lands inside the window or the caller's outLen bytes.
#include "lzx.h"

#include <atomic>
#include <cstdint>
#include <cstring>
#include <new>

#include "canonical_code.h"
#include "window_handle.h"
#include "worker.h"

namespace cabinet {
namespace {

constexpr char kTag[4] = {'L', 'D', 'I', 'C'};
constexpr unsigned kFrameSize = 32768;
constexpr unsigned kMinWindowBits = 15;
constexpr unsigned kMaxWindowBits = 21;
constexpr unsigned kNumChars = 256;
constexpr unsigned kMaxSlots = 50;
constexpr unsigned kMainMax = kNumChars + 8 * kMaxSlots;
constexpr unsigned kLenSyms = 249;
constexpr unsigned kAlignedSyms = 8;
constexpr unsigned kPreSyms = 20;
constexpr unsigned kMaxCodeLen = kLongestCode;
constexpr unsigned kMinMatch = 2;
constexpr unsigned kLenHeaderEscape = 7;
// Call translation covers the first 32768 frames (1 GiB) of a folder and never the last
// 10 bytes of a frame, where a 5-byte instruction could not be whole.
constexpr uint32_t kE8Frames = 32768;
constexpr unsigned kE8Tail = 10;
// The window runs as a ring one frame larger than the window, so the bytes just ahead of the write
// position lie farther back than any offset reaches. Match copies may then write whole 8- or
// 16-byte pieces past a match's end (overwritten by what follows before they are output); the
// ring's allocation has this many spare bytes for the last piece.
constexpr uint32_t kCopySlack = 32;

enum BlockType : unsigned { kBlockNone = 0, kBlockVerbatim = 1, kBlockAligned = 2, kBlockUncompressed = 3 };

struct SlotTables
{
    uint8_t footer[kMaxSlots];
    uint32_t base[kMaxSlots];
};

constexpr SlotTables makeSlots()
{
    SlotTables t{};
    uint32_t base = 0;
    for (unsigned i = 0; i < kMaxSlots; ++i) {
        unsigned f = i < 4 ? 0 : (i - 2) / 2;
        if (f > 17)
            f = 17;
        t.footer[i] = static_cast<uint8_t>(f);
        t.base[i] = base;
        base += 1u << f;
    }
    return t;
}
constexpr SlotTables kSlots = makeSlots();

constexpr unsigned slotsFor(unsigned windowBits)
{
    // Window 2^21 is not 2 x 21 slots: the last slots all carry 17 footer bits.
    return windowBits == 21 ? 50 : windowBits == 20 ? 42 : windowBits * 2;
}

// Canonical Huffman decoding table: a root table indexed by the next `Root` bits and, for codes
// longer than that, second-level tables. Entry: symbol (or second-level offset) << 16, a flag, and
// the code length (or second-level width). Entry 0 marks a code that the tree does not assign.
constexpr uint32_t kSubFlag = 0x20;
constexpr uint32_t kLenMask = 0x1F;

template <unsigned NSyms, unsigned Root, unsigned MaxLen>
struct HuffTable
{
    static constexpr unsigned kRoot = Root;
    // Each second-level table holds at least one code of its full width, so there are at most
    // NSyms of them, each at most 2^(MaxLen-Root) entries.
    static constexpr unsigned kSize = (1u << Root) + (MaxLen > Root ? NSyms << (MaxLen - Root) : 0);
    uint32_t e[kSize];
};

// Builds the table for `n` code lengths. Over-subscribed trees fail; incomplete ones are kept
// (their unassigned codes fail when met); an all-zero tree is empty and fails on any use.
template <unsigned NSyms, unsigned Root, unsigned MaxLen>
bool buildTable(HuffTable<NSyms, Root, MaxLen>& t, const uint8_t* lens, unsigned n)
{
    uint32_t next[kLongestCode + 1];
    if (!firstCodes(lens, n, MaxLen, next))
        return false;
    std::memset(t.e, 0, sizeof(uint32_t) << Root);

    if (MaxLen > Root) {
        uint8_t subBits[1u << Root] = {};
        uint32_t scan[kLongestCode + 1];
        std::memcpy(scan, next, sizeof scan);
        for (unsigned s = 0; s < n; ++s) {
            unsigned len = lens[s];
            if (len <= Root)
                continue;
            uint32_t c = scan[len]++;
            uint32_t prefix = c >> (len - Root);
            if (subBits[prefix] < len - Root)
                subBits[prefix] = static_cast<uint8_t>(len - Root);
        }
        uint32_t offset = 1u << Root;
        for (uint32_t p = 0; p < (1u << Root); ++p) {
            if (!subBits[p])
                continue;
            t.e[p] = (offset << 16) | kSubFlag | subBits[p];
            std::memset(t.e + offset, 0, sizeof(uint32_t) << subBits[p]);
            offset += 1u << subBits[p];
        }
    }
    for (unsigned s = 0; s < n; ++s) {
        unsigned len = lens[s];
        if (!len)
            continue;
        uint32_t c = next[len]++;
        uint32_t entry = (static_cast<uint32_t>(s) << 16) | len;
        if (len <= Root) {
            uint32_t start = c << (Root - len);
            for (uint32_t i = 0, k = 1u << (Root - len); i < k; ++i)
                t.e[start + i] = entry;
        } else {
            uint32_t root = t.e[c >> (len - Root)];
            unsigned sb = root & kLenMask;
            uint32_t low = c & ((1u << (len - Root)) - 1);
            uint32_t start = (root >> 16) + (low << (sb - (len - Root)));
            for (uint32_t i = 0, k = 1u << (sb - (len - Root)); i < k; ++i)
                t.e[start + i] = entry;
        }
    }
    return true;
}

// Bits arrive as 16-bit little-endian words, most significant bit first. The buffer is kept
// left-aligned in 64 bits; past the end of the input it fills with zero words, and `pos` keeps
// counting them so that what was consumed can be checked against the input afterwards.
struct BitReader
{
    const uint8_t* in;
    size_t len;
    size_t pos; // next byte to load, may run past len
    uint64_t buf;
    unsigned cnt;

    uint64_t limitBits; // end of the last whole word of input

    void start(const uint8_t* data, size_t n, size_t at)
    {
        in = data;
        len = n;
        pos = at;
        buf = 0;
        cnt = 0;
        limitBits = (at + (at < n ? (n - at) & ~size_t{1} : 0)) * uint64_t{8};
    }

    // Leaves at least 48 bits in the buffer. Away from the input's end it loads eight bytes and
    // keeps as many whole words as fit: the bits below the count are the input's next bits, so
    // loading them again later changes nothing.
    inline void refill()
    {
        if (pos + 8 <= len) {
            uint64_t v;
            std::memcpy(&v, in + pos, 8);
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
            v = __builtin_bswap64(v);
#endif
            // Words in stream order: the first word's bits on top.
            v = (v << 32) | (v >> 32);
            v = ((v & 0x0000FFFF0000FFFFull) << 16) | ((v >> 16) & 0x0000FFFF0000FFFFull);
            buf |= v >> cnt;
            const unsigned k = (63 - cnt) >> 4;
            cnt += 16 * k;
            pos += 2 * k;
            return;
        }
        refillTail();
    }
    void refillTail()
    {
        while (cnt <= 48) {
            uint64_t w = 0;
            // A lone last byte is half a word: it reads as missing, like everything past the end.
            if (pos + 2 <= len)
                w = in[pos] | (static_cast<uint32_t>(in[pos + 1]) << 8);
            pos += 2;
            buf |= w << (48 - cnt);
            cnt += 16;
        }
    }
    inline uint32_t peek(unsigned n) const { return static_cast<uint32_t>(buf >> (64 - n)); }
    inline void drop(unsigned n)
    {
        buf <<= n;
        cnt -= n;
    }
    // n from 0 to 32; the caller has made sure the bits are buffered.
    inline uint32_t take(unsigned n)
    {
        uint32_t v = static_cast<uint32_t>((buf >> (63 - n)) >> 1);
        buf <<= n;
        cnt -= n;
        return v;
    }
    uint32_t read(unsigned n)
    {
        if (cnt < n)
            refill();
        return take(n);
    }
    uint64_t consumedBits() const { return static_cast<uint64_t>(pos) * 8 - cnt; }
    bool overrun() const { return consumedBits() > limitBits; }
    // A frame ends with its last token: what follows may only be zero padding (some compressors
    // leave a whole zero word), never more data.
    bool endsHere() const
    {
        if (buf)
            return false;
        for (size_t p = pos; p < len; ++p)
            if (in[p])
                return false;
        return true;
    }
};

// The entry of the next code, its bits consumed; 0 for a code the tree does not assign.
template <typename Table>
inline uint32_t decodeEntry(const Table& t, BitReader& br)
{
    uint32_t e = t.e[br.peek(Table::kRoot)];
    if (e & kSubFlag) {
        unsigned sb = e & kLenMask;
        e = t.e[(e >> 16) + static_cast<uint32_t>((br.buf << Table::kRoot) >> (64 - sb))];
    }
    br.drop(e & kLenMask);
    return e;
}

// The next symbol, or -1 for a code the tree does not assign.
template <typename Table>
inline int decodeSym(const Table& t, BitReader& br)
{
    const uint32_t e = decodeEntry(t, br);
    return (e & kLenMask) ? static_cast<int>(e >> 16) : -1;
}

using MainTable = HuffTable<kMainMax, 12, kMaxCodeLen>;
using LenTable = HuffTable<kLenSyms, 11, kMaxCodeLen>;
using AlignedTable = HuffTable<kAlignedSyms, 7, 7>;
using PreTable = HuffTable<kPreSyms, 8, 15>;

// Main-tree entries of match symbols are rewritten so that one lookup gives what the symbol means:
// the slot, the match length, the slot's footer width and the bits to consume. Where the root
// index also holds a whole length code after an escaped header, that code is folded in too; an
// escaped header whose length code does not fit is marked, and its code is read separately.
// Literal entries stay symbol << 16 | bits, all below kMatchEntry.
constexpr uint32_t kMatchEntry = 0x80000000u;
constexpr uint32_t kLengthCodeFollows = 0x40000000u;
constexpr unsigned kSlotShift = 21;     // 6 bits
constexpr unsigned kMatchLenShift = 12; // 9 bits, up to 257
constexpr unsigned kFooterShift = 6;    // 5 bits, up to 17

inline uint32_t matchEntry(unsigned sym, unsigned bits)
{
    const unsigned m = sym - kNumChars, slot = m >> 3, header = m & 7;
    return kMatchEntry | (slot << kSlotShift) | ((header + kMinMatch) << kMatchLenShift) |
           (uint32_t{kSlots.footer[slot]} << kFooterShift) | bits |
           (header == kLenHeaderEscape ? kLengthCodeFollows : 0);
}

void combineMatchEntries(MainTable& t, const LenTable& lt)
{
    constexpr unsigned R = MainTable::kRoot;
    for (uint32_t i = 0; i < (1u << R); ++i) {
        const uint32_t e = t.e[i];
        if (e & kSubFlag) {
            // Codes longer than the root: nothing after them fits, the length code is separate.
            const uint32_t first = e >> 16, n = 1u << (e & kLenMask);
            for (uint32_t k = first; k < first + n; ++k) {
                const uint32_t s = t.e[k];
                if ((s & kLenMask) && (s >> 16) >= kNumChars)
                    t.e[k] = matchEntry(s >> 16, s & kLenMask);
            }
            continue;
        }
        const unsigned bits = e & kLenMask, sym = e >> 16;
        if (!bits || sym < kNumChars)
            continue;
        uint32_t m = matchEntry(sym, bits);
        const unsigned rest = R - bits;
        if ((m & kLengthCodeFollows) && rest > 0) {
            static_assert(LenTable::kRoot >= R - 1, "the bits after a main code index the length root");
            const uint32_t le = lt.e[(i & ((1u << rest) - 1)) << (LenTable::kRoot - rest)];
            const unsigned lbits = le & kLenMask;
            if (!(le & kSubFlag) && lbits && lbits <= rest)
                m = (m & ~kLengthCodeFollows & ~kLenMask) + ((le >> 16) << kMatchLenShift) + bits + lbits;
        }
        t.e[i] = m;
    }
}

// A token of a frame decoded ahead, kept until it can be played into the window: a match's frame
// position (15 bits), length (9 bits) and slot (6 bits) with its offset as formatted, or, with
// slot kSetOffsets, one of the three recent offsets an uncompressed block's header sets.
struct MatchToken
{
    uint32_t where;
    uint32_t formatted;
};
constexpr unsigned kTokenLenShift = 15;
constexpr unsigned kTokenSlotShift = 24;
constexpr unsigned kSetOffsets = 63;
// Matches are at least two bytes long; an uncompressed block's header takes at least 12 bytes of
// input and gives three tokens.
constexpr size_t kMaxTokens = kFrameSize / kMinMatch + 3 * (kLzxInputMax / 12 + 1);
// Literal runs are played in 16-byte pieces, which read up to 15 bytes past the frame.
constexpr size_t kLiteralSlack = 16;

// Where reading the bits of a frame starts from, besides the trees: the folder's header and the
// block the frame begins in. `failed` marks the state after a frame that could not be read.
struct BlockState
{
    bool headerRead = false;
    bool e8 = false;
    uint32_t e8Size = 0;
    unsigned blockType = kBlockNone;
    uint32_t blockRemaining = 0;
    bool blockOdd = false;
    bool failed = false;
};

// A frame handed over and what reading it made: its input (copied, so the caller may reuse its
// buffer at once), its tokens, its literal and uncompressed bytes at their frame positions, and
// the folder's call translation as the folder's first frame set it.
struct AheadFrame
{
    uint8_t* input = nullptr;
    size_t inLen = 0;
    uint32_t outLen = 0;
    MatchToken* tokens = nullptr;
    size_t tokenCount = 0;
    uint8_t* literals = nullptr;
    bool ok = false;
    bool e8 = false;
    uint32_t e8Size = 0;
    std::atomic<bool> done{false};
};
// One frame being played and two being read (more measured no faster).
constexpr unsigned kAheadFrames = 3;
enum Reader : unsigned { kWorker = 0, kCaller = 1 };
constexpr uint32_t kNotReading = 0xFFFFFFFFu;

// The state a frame starts from, made known by the reader of the frame before as soon as the last
// block that frame begins has begun, so that the frame can be read alongside the rest of it. Kept
// apart from the frames' records, in twice as many places: a place is written again only for a
// frame handed over after this one was taken.
struct StartState
{
    BlockState bs;
    std::atomic<uint32_t> frame{kNotReading}; // whose state this is
};
constexpr unsigned kStartStates = 2 * kAheadFrames;

// Frame n of those handed over since the decoder was made lives in frames[n % kAheadFrames]. The
// frames are claimed in order, by the worker or by the caller while it waits, each once the state
// it starts from is known; the caller's thread alone hands over and takes.
struct Ahead
{
    Worker* worker = nullptr;
    AheadFrame frames[kAheadFrames];
    StartState starts[kStartStates];
    std::atomic<uint32_t> fed{0};
    std::atomic<uint32_t> claimed{0};
    // The frame each reader (the worker, the caller) is reading, or kNotReading.
    std::atomic<uint32_t> reading[2] = {kNotReading, kNotReading};
    uint32_t taken = 0;
    // The folder's first frame and the state it starts from, set before it is handed over (a
    // reader may look at folderFirst at any time, while trying to claim a frame).
    std::atomic<uint32_t> folderFirst{0};
    BlockState first;
};

} // namespace

// Decoding ahead, the window, the recent offsets and the positions belong to the caller's thread;
// the frames' bits are read by whichever thread claimed them, from the trees here and a state of
// their own, and everything passes through the frames' counters and flags.
struct LzxDecoder
{
    char tag[4];
    DecoderMemory mem;
    uint8_t* window;
    uint32_t windowSize; // how far back a match reaches
    uint32_t ringSize;   // the window's length as written: one frame more
    unsigned mainSyms;

    // Folder state: the window's side.
    bool failed;
    uint32_t framesDone;
    uint64_t folderPos;
    uint32_t windowPos;
    uint32_t r0, r1, r2;

    // Folder state: the bits' side. The trees are shared by the frames being read at one time,
    // and only read by them: a block header is read only when every frame before is read.
    BlockState bits;
    uint8_t mainLen[kMainMax];
    uint8_t lenLen[kLenSyms];
    uint8_t alignedLen[kAlignedSyms];
    MainTable mainTab;
    LenTable lenTab;
    AlignedTable alignedTab;
    PreTable preTab;

    // Frames of this folder go through the worker (from its first frame on), or were decoded
    // here; a folder does not mix the two.
    bool aheadMode;
    bool decodedHere;
    // Made on first use; marked when it cannot be had, so it is not tried again.
    Ahead* ahead;
    bool aheadUnavailable;
};

namespace {

bool validHandle(const LzxDecoder* d) { return hasTag(d, kTag); }

// Reads code lengths [first, last) through a freshly read pretree, each coded against the
// length the same symbol had in the previous tree.
bool readLengths(LzxDecoder* d, BitReader& br, uint8_t* lens, unsigned first, unsigned last)
{
    uint8_t pre[kPreSyms];
    for (unsigned i = 0; i < kPreSyms; ++i)
        pre[i] = static_cast<uint8_t>(br.read(4));
    if (!buildTable(d->preTab, pre, kPreSyms))
        return false;
    unsigned i = first;
    while (i < last) {
        br.refill();
        int code = decodeSym(d->preTab, br);
        if (code < 0)
            return false;
        if (code == 17 || code == 18) {
            unsigned run = code == 17 ? 4 + br.take(4) : 20 + br.take(5);
            if (run > last - i)
                return false;
            std::memset(lens + i, 0, run);
            i += run;
        } else if (code == 19) {
            unsigned run = 4 + br.take(1);
            int z = decodeSym(d->preTab, br);
            if (z < 0 || z > 16 || run > last - i)
                return false;
            uint8_t v = static_cast<uint8_t>((lens[i] + 17 - z) % 17);
            std::memset(lens + i, v, run);
            i += run;
        } else {
            lens[i] = static_cast<uint8_t>((lens[i] + 17 - code) % 17);
            ++i;
        }
        if (br.overrun())
            return false;
    }
    return true;
}

// Reads a block header. An uncompressed block's header carries the three recent offsets, which
// go to `offsets`.
bool readBlockHeader(LzxDecoder* d, BlockState& bs, BitReader& br, size_t& bytePos, uint32_t (&offsets)[3])
{
    bs.blockType = br.read(3);
    uint32_t size = br.read(24);
    if (br.overrun() || size == 0)
        return false;
    bs.blockRemaining = size;
    switch (bs.blockType) {
    case kBlockAligned:
        for (unsigned i = 0; i < kAlignedSyms; ++i)
            d->alignedLen[i] = static_cast<uint8_t>(br.read(3));
        if (!buildTable(d->alignedTab, d->alignedLen, kAlignedSyms))
            return false;
        [[fallthrough]];
    case kBlockVerbatim: {
        if (!readLengths(d, br, d->mainLen, 0, kNumChars))
            return false;
        if (!readLengths(d, br, d->mainLen, kNumChars, d->mainSyms))
            return false;
        if (!readLengths(d, br, d->lenLen, 0, kLenSyms))
            return false;
        if (!buildTable(d->lenTab, d->lenLen, kLenSyms))
            return false;
        if (!buildTable(d->mainTab, d->mainLen, d->mainSyms))
            return false;
        combineMatchEntries(d->mainTab, d->lenTab);
        return !br.overrun();
    }
    case kBlockUncompressed: {
        // 1 to 16 bits of padding up to the next 16-bit boundary, then bytes.
        uint64_t at = br.consumedBits();
        at = (at | 15) + 1;
        bytePos = static_cast<size_t>(at / 8);
        if (bytePos > br.len || br.len - bytePos < 12)
            return false;
        const uint8_t* p = br.in + bytePos;
        for (unsigned i = 0; i < 3; ++i, p += 4)
            offsets[i] = p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
        bytePos += 12;
        bs.blockOdd = size & 1;
        return true;
    }
    default:
        return false;
    }
}

// Forward copy from an earlier position of this pass (src < dst). Distances of 8 and more copy
// whole pieces, running up to 31 bytes past dst + len; shorter ones repeat their pattern exactly.
inline void copyBack(uint8_t* w, uint32_t dst, uint32_t src, uint32_t len)
{
    uint8_t* o = w + dst;
    const uint8_t* s = w + src;
    const uint32_t dist = dst - src;
    if (dist >= 16) {
        // Most matches are short: two pieces without a loop test, then the rest.
        std::memcpy(o, s, 16);
        std::memcpy(o + 16, s + 16, 16);
        for (uint32_t k = 32; k < len; k += 16)
            std::memcpy(o + k, s + k, 16);
    } else if (dist >= 8) {
        uint32_t k = 0;
        do {
            std::memcpy(o + k, s + k, 8);
            k += 8;
        } while (k < len);
    } else if (dist == 1) {
        std::memset(o, *s, len);
    } else {
        for (uint32_t k = 0; k < len; ++k)
            o[k] = s[k];
    }
}

// A match inside the ring: from earlier in this pass, or from the previous pass (at least a frame
// ahead of dst, so the pieces never overlap), possibly running over the ring's end.
inline void copyMatch(uint8_t* w, uint32_t dst, uint32_t src, uint32_t len, uint32_t ringSize)
{
    if (src < dst) {
        copyBack(w, dst, src, len);
        return;
    }
    uint32_t first = ringSize - src;
    if (first > len)
        first = len;
    uint32_t k = 0;
    do {
        std::memcpy(w + dst + k, w + src + k, 16);
        k += 16;
    } while (k < first);
    if (first < len)
        copyBack(w, dst + first, 0, len - first);
}

void undoCallTranslation(uint8_t* out, size_t n, uint64_t frameOffset, uint32_t translationSize)
{
    if (n <= kE8Tail)
        return;
    const uint8_t* const stop = out + (n - kE8Tail);
    uint8_t* p = out;
    while (p < stop) {
        p = static_cast<uint8_t*>(std::memchr(p, 0xE8, static_cast<size_t>(stop - p)));
        if (!p)
            break;
        int64_t value = static_cast<int32_t>(p[1] | (p[2] << 8) | (p[3] << 16) | (static_cast<uint32_t>(p[4]) << 24));
        int64_t cur = static_cast<int64_t>(frameOffset + static_cast<uint64_t>(p - out));
        if (value >= -cur && value < static_cast<int64_t>(translationSize)) {
            uint32_t rel = static_cast<uint32_t>(value >= 0 ? value - cur : value + translationSize);
            p[1] = static_cast<uint8_t>(rel);
            p[2] = static_cast<uint8_t>(rel >> 8);
            p[3] = static_cast<uint8_t>(rel >> 16);
            p[4] = static_cast<uint8_t>(rel >> 24);
        }
        p += 5;
    }
}

// Where the token loop puts what it decodes, straight into the ring: literals at their window
// position, matches resolved against the recent offsets and checked against the history.
struct WindowSink
{
    uint8_t* lit; // the ring itself
    uint32_t ringSize;
    uint32_t windowSize;
    uint32_t r0, r1, r2;
    // How many bytes of the folder precede window position 0 of this pass (history - wp is
    // fixed within a frame; the history itself is needed only at a match).
    uint32_t historyBase;

    inline bool match(unsigned slot, uint32_t formatted, uint32_t matchLen, uint32_t wp)
    {
        // Slots 0-2 repeat a recent offset and have no footer; the rest push a new one.
        const bool repeat = slot < 3;
        const uint32_t recent = slot == 0 ? r0 : slot == 1 ? r1 : r2;
        const uint32_t off = repeat ? recent : formatted - 2;
        const uint32_t n2 = repeat ? (slot == 2 ? r0 : r2) : r1;
        const uint32_t n1 = repeat ? (slot == 1 ? r0 : r1) : r0;
        r0 = off;
        r1 = n1;
        r2 = n2;
        const uint32_t history = historyBase + wp;
        const uint32_t reach = history < windowSize ? history : windowSize;
        if (off == 0 || off > reach)
            return false;
        if (off <= wp)
            copyBack(lit, wp, wp - off, matchLen);
        else
            copyMatch(lit, wp, wp + ringSize - off, matchLen, ringSize);
        return true;
    }
    bool setOffsets(const uint32_t (&offsets)[3], uint32_t)
    {
        r0 = offsets[0];
        r1 = offsets[1];
        r2 = offsets[2];
        return true;
    }
    void bytes(uint32_t wp, const uint8_t* from, uint32_t count) { std::memcpy(lit + wp, from, count); }
};

// The sink for the frame at the window position, whose history (capped) is what the folder
// has produced so far.
WindowSink windowSink(const LzxDecoder* d)
{
    const uint32_t history = d->folderPos < d->windowSize ? static_cast<uint32_t>(d->folderPos) : d->windowSize;
    return {d->window, d->ringSize, d->windowSize, d->r0, d->r1, d->r2, history - d->windowPos};
}

// Where the worker puts a frame: literal and uncompressed bytes at their frame position, matches
// and offsets as tokens, since neither the recent offsets nor the window are known yet.
struct RecordSink
{
    uint8_t* lit;
    MatchToken* out;
    size_t n;

    inline bool match(unsigned slot, uint32_t formatted, uint32_t matchLen, uint32_t wp)
    {
        out[n++] = {wp | (matchLen << kTokenLenShift) | (uint32_t{slot} << kTokenSlotShift), formatted};
        return true;
    }
    bool setOffsets(const uint32_t (&offsets)[3], uint32_t wp)
    {
        if (n + 3 > kMaxTokens)
            return false;
        for (uint32_t r : offsets)
            out[n++] = {wp | (kSetOffsets << kTokenSlotShift), r};
        return true;
    }
    void bytes(uint32_t wp, const uint8_t* from, uint32_t count) { std::memcpy(lit + wp, from, count); }
};

// Decodes tokens of a verbatim or aligned block until the position `wp` reaches `end`, reading
// only the decoder's trees.
template <bool Aligned, class Sink>
bool decodeTokens(const LzxDecoder& d, BitReader& brRef, Sink& sinkRef, uint32_t wp, uint32_t end)
{
    BitReader br = brRef;
    Sink sink = sinkRef; // a local, so that literal stores cannot be taken to change it
    bool ok = true;
    while (wp < end) {
        if (br.cnt < 32)
            br.refill();
        uint32_t e = decodeEntry(d.mainTab, br);
        // Literals come in runs: up to two more while the buffer holds a longest code each.
        while (e != 0 && e < kMatchEntry) {
            sink.lit[wp++] = static_cast<uint8_t>(e >> 16);
            if (wp == end || br.cnt < kMaxCodeLen)
                break;
            e = decodeEntry(d.mainTab, br);
        }
        if (e == 0) {
            ok = false;
            break;
        }
        if (e < kMatchEntry)
            continue;
        const unsigned slot = (e >> kSlotShift) & 0x3F;
        uint32_t matchLen = (e >> kMatchLenShift) & 0x1FF;
        br.refill(); // a length code and a footer: at most 16 + 21 of the 48 bits
        if (e & kLengthCodeFollows) {
            const int ls = decodeSym(d.lenTab, br);
            if (ls < 0) {
                ok = false;
                break;
            }
            matchLen += static_cast<uint32_t>(ls);
        }
        // Repeat slots have a footer width of 0.
        const unsigned extra = (e >> kFooterShift) & kLenMask;
        uint32_t formatted = kSlots.base[slot];
        if (Aligned) {
            const bool useAligned = extra >= 3;
            const uint32_t v = br.take(useAligned ? extra - 3 : extra);
            const uint32_t a = d.alignedTab.e[br.peek(AlignedTable::kRoot)];
            const unsigned aBits = useAligned ? a & kLenMask : 0;
            if (useAligned && aBits == 0) {
                ok = false;
                break;
            }
            br.drop(aBits);
            formatted += useAligned ? (v << 3) + (a >> 16) : v;
        } else {
            formatted += br.take(extra);
        }
        if (matchLen > end - wp || !sink.match(slot, formatted, matchLen, wp)) {
            ok = false;
            break;
        }
        wp += matchLen;
    }
    sinkRef = sink;
    brRef = br;
    return ok && !br.overrun();
}

// Decodes one frame's input into positions [wp, frameEnd) of `sink`, starting from `bs`: the
// folder's header in its first frame, then blocks, their headers and their tokens or bytes.
// `hooks` hears of a block header about to be read (beforeHeader) and of the state the next frame
// will start from, once the block that runs to this frame's end has begun (nextKnown).
template <class Sink, class Hooks>
bool decodeFrame(LzxDecoder* d, BlockState& bs, const uint8_t* in, size_t inLen, Sink& sink, uint32_t wp,
                 uint32_t frameEnd, Hooks& hooks)
{
    BitReader br;
    br.start(in, inLen, 0);
    if (!bs.headerRead) {
        bs.headerRead = true;
        bs.e8 = br.read(1) != 0;
        if (bs.e8) {
            uint32_t hi = br.read(16);
            bs.e8Size = (hi << 16) | br.read(16);
        }
    }
    // Inside an uncompressed block the input is read by bytes from bytePos.
    bool byteMode = bs.blockType == kBlockUncompressed && bs.blockRemaining > 0;
    size_t bytePos = 0;
    while (wp < frameEnd) {
        if (bs.blockRemaining == 0) {
            if (byteMode) {
                // The uncompressed block just ended: skip its odd-length padding byte and go back
                // to bits at the 16-bit boundary that follows.
                if (bs.blockOdd && bytePos < inLen)
                    ++bytePos;
                br.start(in, inLen, bytePos);
                byteMode = false;
            }
            hooks.beforeHeader();
            uint32_t offsets[3];
            if (!readBlockHeader(d, bs, br, bytePos, offsets))
                return false;
            byteMode = bs.blockType == kBlockUncompressed;
            if (byteMode && !sink.setOffsets(offsets, wp))
                return false;
        }
        uint32_t run = frameEnd - wp;
        if (run > bs.blockRemaining)
            run = bs.blockRemaining;
        if (run == frameEnd - wp) {
            BlockState next = bs;
            next.blockRemaining -= run;
            hooks.nextKnown(next);
        }
        if (byteMode) {
            if (bytePos > inLen || inLen - bytePos < run)
                return false;
            sink.bytes(wp, in + bytePos, run);
            bytePos += run;
        } else if (bs.blockType == kBlockAligned) {
            if (!decodeTokens<true>(*d, br, sink, wp, wp + run))
                return false;
        } else {
            if (!decodeTokens<false>(*d, br, sink, wp, wp + run))
                return false;
        }
        wp += run;
        bs.blockRemaining -= run;
    }
    if (byteMode) {
        if (bs.blockRemaining == 0 && bs.blockOdd && bytePos < inLen)
            ++bytePos;
        br.start(in, inLen, bytePos);
    }
    return !br.overrun() && br.endsHere();
}

// Decoding on the caller's thread: one frame at a time, nothing to wait for or to tell.
struct HereHooks
{
    void beforeHeader() {}
    void nextKnown(const BlockState&) {}
};

// Plays the tokens of a frame decoded ahead into the window at `frameStart`, with the literals
// between them.
bool playTokens(WindowSink& s, const AheadFrame& f, uint32_t frameStart)
{
    uint8_t* const out = s.lit + frameStart;
    uint32_t done = 0;
    for (size_t i = 0; i <= f.tokenCount; ++i) {
        const uint32_t pos = i < f.tokenCount ? f.tokens[i].where & 0x7FFF : f.outLen;
        // Literal runs go in 16-byte pieces: the bytes written past a run are the next match's
        // own and are written again by it (its source lies before them), or lie in the ring's
        // slack or farther back than any offset reaches.
        for (uint32_t k = done; k < pos; k += 16)
            std::memcpy(out + k, f.literals + k, 16);
        if (i == f.tokenCount)
            break;
        const unsigned slot = f.tokens[i].where >> kTokenSlotShift;
        if (slot == kSetOffsets) {
            const uint32_t offsets[3] = {f.tokens[i].formatted, f.tokens[i + 1].formatted, f.tokens[i + 2].formatted};
            s.setOffsets(offsets, pos);
            i += 2;
            done = pos;
            continue;
        }
        const uint32_t len = (f.tokens[i].where >> kTokenLenShift) & 0x1FF;
        if (!s.match(slot, f.tokens[i].formatted, len, frameStart + pos))
            return false;
        done = pos + len;
    }
    return true;
}

void keepOffsets(LzxDecoder* d, const WindowSink& s)
{
    d->r0 = s.r0;
    d->r1 = s.r1;
    d->r2 = s.r2;
}

// Hands the frame just made at the window position to the caller and moves on.
void finishFrame(LzxDecoder* d, unsigned char* out, uint32_t outLen, bool e8, uint32_t e8Size)
{
    std::memcpy(out, d->window + d->windowPos, outLen);
    if (e8 && d->framesDone < kE8Frames)
        undoCallTranslation(out, outLen, d->folderPos, e8Size);
    d->windowPos += outLen;
    if (d->windowPos == d->ringSize)
        d->windowPos = 0;
    d->folderPos += outLen;
    ++d->framesDone;
}

bool badInput(const unsigned char* in, size_t inLen) { return !in && inLen; }
bool badOutLen(size_t outLen) { return outLen == 0 || outLen > kFrameSize; }
bool badOutput(const unsigned char* out, size_t outLen) { return !out || badOutLen(outLen); }

// Decodes one frame on the caller's thread.
BlockResult decodeHere(LzxDecoder* d, const unsigned char* in, size_t inLen, unsigned char* out, size_t outLen)
{
    d->decodedHere = true;
    if (d->failed)
        return BlockResult::kBadData;
    // Frames are whole 32 KiB except the last of a folder, so one never wraps the ring.
    const uint32_t start = d->windowPos;
    if (start + outLen > d->ringSize) {
        d->failed = true;
        return BlockResult::kBadData;
    }
    WindowSink sink = windowSink(d);
    HereHooks hooks;
    const bool ok = decodeFrame(d, d->bits, in, inLen, sink, start, start + static_cast<uint32_t>(outLen), hooks);
    keepOffsets(d, sink);
    if (!ok) {
        d->failed = true;
        return BlockResult::kBadData;
    }
    finishFrame(d, out, static_cast<uint32_t>(outLen), d->bits.e8, d->bits.e8Size);
    return BlockResult::kOk;
}

// Decoding ahead: a block header changes the trees, so it waits until the other reader is not
// reading an earlier frame (frames are claimed in order, so every other earlier frame is read);
// the next frame's start state is told at once, and the worker that the next frame can be
// claimed.
struct AheadHooks
{
    Ahead& a;
    Reader who;
    uint32_t frame;
    bool told = false;

    static bool otherPassed(const void* arg)
    {
        const auto* h = static_cast<const AheadHooks*>(arg);
        const uint32_t other = h->a.reading[h->who == kWorker ? kCaller : kWorker].load();
        return other == kNotReading || other > h->frame;
    }
    void beforeHeader() { waitUntil(otherPassed, this); }
    void nextKnown(const BlockState& next)
    {
        StartState& s = a.starts[(frame + 1) % kStartStates];
        s.bs = next;
        s.frame.store(frame + 1, std::memory_order_release);
        told = true;
        a.worker->notify();
    }
};

// Whether frame c is handed over and the state it starts from is known.
bool claimable(const Ahead& a, uint32_t c)
{
    return c != a.fed.load(std::memory_order_acquire) &&
           (c == a.folderFirst.load(std::memory_order_relaxed) ||
            a.starts[c % kStartStates].frame.load(std::memory_order_acquire) == c);
}

// Claims the oldest frame handed over and not claimed, when it is claimable. The reader says which
// frame it is about to read before it claims it, so that the reader of a later frame cannot miss it.
bool claimFrame(Ahead& a, Reader who, uint32_t& frame)
{
    uint32_t c = a.claimed.load();
    if (!claimable(a, c))
        return false;
    a.reading[who].store(c);
    if (!a.claimed.compare_exchange_strong(c, c + 1)) {
        a.reading[who].store(kNotReading);
        return false;
    }
    frame = c;
    return true;
}

// Reads the bits of a claimed frame into its tokens.
void readClaimed(LzxDecoder* d, Reader who, uint32_t frame)
{
    Ahead& a = *d->ahead;
    AheadFrame& f = a.frames[frame % kAheadFrames];
    BlockState bs =
        frame == a.folderFirst.load(std::memory_order_relaxed) ? a.first : a.starts[frame % kStartStates].bs;
    AheadHooks hooks{a, who, frame};
    RecordSink sink{f.literals, f.tokens, 0};
    f.ok = !bs.failed && decodeFrame(d, bs, f.input, f.inLen, sink, 0, f.outLen, hooks);
    if (!hooks.told) {
        // Failed before its last block began: the frames after it fail too.
        BlockState failed = bs;
        failed.failed = true;
        hooks.nextKnown(failed);
    }
    f.tokenCount = sink.n;
    f.e8 = bs.e8;
    f.e8Size = bs.e8Size;
    f.done.store(true, std::memory_order_release);
    a.reading[who].store(kNotReading);
}

// The worker's step.
bool readAhead(void* arg)
{
    auto* d = static_cast<LzxDecoder*>(arg);
    uint32_t frame = 0;
    if (!claimFrame(*d->ahead, kWorker, frame))
        return false;
    readClaimed(d, kWorker, frame);
    return true;
}

struct Waiting
{
    const Ahead* a;
    const AheadFrame* f;
};

bool doneOrClaimable(const void* arg)
{
    const auto* w = static_cast<const Waiting*>(arg);
    return w->f->done.load(std::memory_order_acquire) || claimable(*w->a, w->a->claimed.load());
}

// Waits for a frame to be read, reading the frames after it meanwhile when they can be claimed.
void readUntilDone(LzxDecoder* d, const AheadFrame& f)
{
    const Waiting waiting{d->ahead, &f};
    while (!f.done.load(std::memory_order_acquire)) {
        uint32_t frame = 0;
        if (claimFrame(*d->ahead, kCaller, frame))
            readClaimed(d, kCaller, frame);
        else
            waitUntil(doneOrClaimable, &waiting);
    }
}

void releaseAhead(LzxDecoder* d)
{
    Ahead* a = d->ahead;
    if (!a)
        return;
    const DecoderMemory& mem = d->mem;
    Worker::destroy(a->worker, mem);
    for (AheadFrame& f : a->frames)
        for (void* p : {static_cast<void*>(f.input), static_cast<void*>(f.tokens), static_cast<void*>(f.literals)})
            if (p)
                mem.release(mem.ctx, p);
    a->~Ahead();
    mem.release(mem.ctx, a);
    d->ahead = nullptr;
}

// The worker and its frames, made on first use; false (and not tried again) when any of them
// cannot be had.
bool aheadReady(LzxDecoder* d)
{
    if (d->ahead)
        return true;
    if (d->aheadUnavailable)
        return false;
    d->aheadUnavailable = true;
    const DecoderMemory& mem = d->mem;
    void* raw = mem.alloc(mem.ctx, sizeof(Ahead));
    if (!raw)
        return false;
    d->ahead = new (raw) Ahead;
    for (AheadFrame& f : d->ahead->frames) {
        f.input = static_cast<uint8_t*>(mem.alloc(mem.ctx, kLzxInputMax));
        f.tokens = static_cast<MatchToken*>(mem.alloc(mem.ctx, kMaxTokens * sizeof(MatchToken)));
        f.literals = static_cast<uint8_t*>(mem.alloc(mem.ctx, kFrameSize + kLiteralSlack));
        if (!f.input || !f.tokens || !f.literals) {
            releaseAhead(d);
            return false;
        }
        std::memset(f.literals, 0, kFrameSize + kLiteralSlack);
    }
    d->ahead->worker = Worker::create(mem, readAhead, d);
    if (!d->ahead->worker) {
        releaseAhead(d);
        return false;
    }
    d->aheadUnavailable = false;
    return true;
}

// Reads (or waits for) every frame handed over and drops those not taken.
void settleAhead(LzxDecoder* d)
{
    if (!d->aheadMode)
        return;
    Ahead& a = *d->ahead;
    const uint32_t fed = a.fed.load(std::memory_order_relaxed);
    for (uint32_t n = a.taken; n != fed; ++n)
        readUntilDone(d, a.frames[n % kAheadFrames]);
    a.taken = fed;
}

void resetFolder(LzxDecoder* d)
{
    settleAhead(d);
    d->aheadMode = false;
    d->decodedHere = false;
    d->failed = false;
    d->framesDone = 0;
    d->folderPos = 0;
    d->windowPos = 0;
    d->r0 = d->r1 = d->r2 = 1;
    d->bits = BlockState{};
    std::memset(d->mainLen, 0, sizeof d->mainLen);
    std::memset(d->lenLen, 0, sizeof d->lenLen);
}

bool feedFrame(LzxDecoder* d, const unsigned char* in, size_t inLen, size_t outLen)
{
    if (inLen > kLzxInputMax)
        return false;
    Ahead* a = d->ahead;
    if (!d->aheadMode) {
        // Only from a folder's first frame on: the frames' states follow from there.
        if (d->decodedHere || !aheadReady(d))
            return false;
        a = d->ahead;
        d->aheadMode = true;
        a->folderFirst.store(a->fed.load(std::memory_order_relaxed), std::memory_order_relaxed);
        a->first = d->bits;
    }
    const uint32_t n = a->fed.load(std::memory_order_relaxed);
    if (n - a->taken >= kAheadFrames)
        return false;
    AheadFrame& f = a->frames[n % kAheadFrames];
    if (inLen)
        std::memcpy(f.input, in, inLen);
    f.inLen = inLen;
    f.outLen = static_cast<uint32_t>(outLen);
    f.done.store(false, std::memory_order_relaxed);
    a->fed.store(n + 1, std::memory_order_release);
    a->worker->notify();
    return true;
}

BlockResult takeFrame(LzxDecoder* d, unsigned char* out, size_t outLen)
{
    Ahead& a = *d->ahead;
    if (a.taken == a.fed.load(std::memory_order_relaxed))
        return BlockResult::kBadCall;
    const AheadFrame& f = a.frames[a.taken % kAheadFrames];
    readUntilDone(d, f);
    ++a.taken; // its record stays as it is until the next frame is handed over
    const uint32_t start = d->windowPos;
    if (d->failed || !f.ok || f.outLen != outLen || start + outLen > d->ringSize) {
        d->failed = true;
        return BlockResult::kBadData;
    }
    WindowSink sink = windowSink(d);
    const bool ok = playTokens(sink, f, start);
    keepOffsets(d, sink);
    if (!ok) {
        d->failed = true;
        return BlockResult::kBadData;
    }
    finishFrame(d, out, f.outLen, f.e8, f.e8Size);
    return BlockResult::kOk;
}

} // namespace

bool lzxWindowValid(unsigned windowBits) { return windowBits >= kMinWindowBits && windowBits <= kMaxWindowBits; }

void* lzxCreate(unsigned windowBits, const DecoderMemory& mem)
{
    if (!lzxWindowValid(windowBits))
        return nullptr;
    LzxDecoder* d = createWithWindow<LzxDecoder>(kTag, windowBits, mem, kFrameSize + kCopySlack);
    if (!d)
        return nullptr;
    d->ringSize = d->windowSize + kFrameSize;
    d->mainSyms = kNumChars + 8 * slotsFor(windowBits);
    resetFolder(d);
    return d;
}

bool lzxReset(void* handle)
{
    auto* d = static_cast<LzxDecoder*>(handle);
    if (!validHandle(d))
        return false;
    resetFolder(d);
    return true;
}

BlockResult lzxDecode(void* handle, const unsigned char* in, std::size_t inLen, unsigned char* out, std::size_t outLen)
{
    auto* d = static_cast<LzxDecoder*>(handle);
    if (!validHandle(d) || badInput(in, inLen) || badOutput(out, outLen))
        return BlockResult::kBadCall;
    if (!d->aheadMode)
        return decodeHere(d, in, inLen, out, outLen);
    // A folder that went ahead goes on that way; frames handed over come first.
    if (d->ahead->taken != d->ahead->fed.load(std::memory_order_relaxed) || !feedFrame(d, in, inLen, outLen))
        return BlockResult::kBadCall;
    return takeFrame(d, out, outLen);
}

bool lzxFeed(void* handle, const unsigned char* in, std::size_t inLen, std::size_t outLen)
{
    auto* d = static_cast<LzxDecoder*>(handle);
    if (!validHandle(d) || badInput(in, inLen) || badOutLen(outLen))
        return false;
    return feedFrame(d, in, inLen, outLen);
}

BlockResult lzxTake(void* handle, unsigned char* out, std::size_t outLen)
{
    auto* d = static_cast<LzxDecoder*>(handle);
    if (!validHandle(d) || badOutput(out, outLen) || !d->aheadMode)
        return BlockResult::kBadCall;
    return takeFrame(d, out, outLen);
}

void lzxDestroy(void* handle)
{
    auto* d = static_cast<LzxDecoder*>(handle);
    if (!validHandle(d))
        return;
    releaseAhead(d);
    destroyWithWindow(d);
}

} // namespace cabinet
