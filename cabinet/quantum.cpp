// Quantum as cabinets carry it: an LZ77 window with an adaptive-model arithmetic coder. Each
// CFDATA block is one 32 KiB frame whose coder starts afresh; the window and the models run on
// through the folder. All reads are bounded by inLen (missing bits read as zero, within a small
// allowance for the coder's look-ahead), all writes by the window and outLen.
#include "quantum.h"

#include <cstdint>
#include <cstring>

#include "window_handle.h"

namespace cabinet {

struct QtmDecoder;
namespace {

constexpr char kTag[4] = {'Q', 'D', 'I', 'C'};
constexpr unsigned kFrameSize = 32768;
constexpr unsigned kMinWindowBits = 10;
constexpr unsigned kMaxWindowBits = 21;

// Model adaptation: each decoded symbol gains kFreqStep; past kRescaleAbove the frequencies are
// halved, and every kReorderEvery-th halving (the first after kFirstReorder) re-sorts the table.
constexpr unsigned kFreqStep = 8;
constexpr unsigned kRescaleAbove = 3800;
constexpr int kFirstReorder = 4;
constexpr int kReorderEvery = 50;

constexpr unsigned kSelectorSyms = 7;
constexpr unsigned kLiteralModels = 4;
constexpr unsigned kLiteralSyms = 64;
constexpr unsigned kPosSlots = 42;
constexpr unsigned kPos4Max = 24;
constexpr unsigned kPos5Max = 36;
constexpr unsigned kLenSlots = 27;
constexpr unsigned kLen4Selector = 4;  // match of 3 bytes
constexpr unsigned kLen5Selector = 5;  // match of 4 bytes
constexpr unsigned kLongMatchBase = 5; // selector 6: coded length + 5

// The coder never decodes more than this many zero bits past the end of a block: its 16-bit
// look-ahead plus the final renormalisation.
constexpr uint64_t kLookAheadAllowanceBits = 32;

struct Tables
{
    uint8_t posExtra[kPosSlots];
    uint32_t posBase[kPosSlots];
    uint8_t lenExtra[kLenSlots];
    uint16_t lenBase[kLenSlots];
};

constexpr Tables makeTables()
{
    Tables t{};
    uint32_t base = 0;
    for (unsigned i = 0; i < kPosSlots; ++i) {
        unsigned e = i < 4 ? 0 : (i - 2) / 2;
        t.posExtra[i] = static_cast<uint8_t>(e);
        t.posBase[i] = base;
        base += 1u << e;
    }
    unsigned lbase = 0;
    for (unsigned i = 0; i < kLenSlots; ++i) {
        unsigned e = (i < 6 || i == kLenSlots - 1) ? 0 : (i - 2) / 4;
        t.lenExtra[i] = static_cast<uint8_t>(e);
        t.lenBase[i] = static_cast<uint16_t>(lbase);
        lbase += 1u << e;
    }
    return t;
}
constexpr Tables kTables = makeTables();

struct ModelSym
{
    uint16_t sym;
    uint16_t cumfreq; // frequency of this entry and all that follow it
};

struct Model
{
    int shiftsLeft;
    unsigned entries;
    ModelSym* syms; // entries + 1; the last is a zero sentinel
};

struct WorkingState
{
    QtmDecoder* owner;
    bool failed;
    bool ended; // the last frame was cut short inside a match: nothing can follow
    uint32_t windowPos;
    uint64_t folderPos;
    Model selector;
    Model literal[kLiteralModels];
    Model pos4, pos5, pos6, len6;
    ModelSym selectorSyms[kSelectorSyms + 1];
    ModelSym literalSyms[kLiteralModels][kLiteralSyms + 1];
    ModelSym pos4Syms[kPos4Max + 1];
    ModelSym pos5Syms[kPos5Max + 1];
    ModelSym pos6Syms[kPosSlots + 1];
    ModelSym len6Syms[kLenSlots + 1];
};

// One Quantum folder at a time in the whole process.
WorkingState g_state;

void initModel(Model& m, ModelSym* syms, unsigned first, unsigned n)
{
    m.shiftsLeft = kFirstReorder;
    m.entries = n;
    m.syms = syms;
    for (unsigned i = 0; i <= n; ++i) {
        syms[i].sym = static_cast<uint16_t>(first + i);
        syms[i].cumfreq = static_cast<uint16_t>(n - i);
    }
}

void rescale(Model& m)
{
    ModelSym* s = m.syms;
    const int n = static_cast<int>(m.entries);
    if (--m.shiftsLeft) {
        for (int i = n - 1; i >= 0; --i) {
            s[i].cumfreq >>= 1;
            if (s[i].cumfreq <= s[i + 1].cumfreq)
                s[i].cumfreq = static_cast<uint16_t>(s[i + 1].cumfreq + 1);
        }
        return;
    }
    m.shiftsLeft = kReorderEvery;
    for (int i = 0; i < n; ++i) {
        unsigned freq = s[i].cumfreq - s[i + 1].cumfreq;
        s[i].cumfreq = static_cast<uint16_t>((freq + 1) >> 1);
    }
    // The exchange order matters: equal frequencies must end up where the encoder put them.
    for (int i = 0; i < n - 1; ++i) {
        for (int j = i + 1; j < n; ++j) {
            if (s[i].cumfreq < s[j].cumfreq) {
                ModelSym t = s[i];
                s[i] = s[j];
                s[j] = t;
            }
        }
    }
    for (int i = n - 1; i >= 0; --i)
        s[i].cumfreq = static_cast<uint16_t>(s[i].cumfreq + s[i + 1].cumfreq);
}

void resetFolder()
{
    WorkingState& g = g_state;
    g.failed = false;
    g.ended = false;
    g.windowPos = 0;
    g.folderPos = 0;
    initModel(g.selector, g.selectorSyms, 0, kSelectorSyms);
    for (unsigned k = 0; k < kLiteralModels; ++k)
        initModel(g.literal[k], g.literalSyms[k], k * kLiteralSyms, kLiteralSyms);
}

void resetPositionModels(unsigned windowBits)
{
    WorkingState& g = g_state;
    unsigned slots = windowBits * 2;
    initModel(g.pos4, g.pos4Syms, 0, slots < kPos4Max ? slots : kPos4Max);
    initModel(g.pos5, g.pos5Syms, 0, slots < kPos5Max ? slots : kPos5Max);
    initModel(g.pos6, g.pos6Syms, 0, slots);
    initModel(g.len6, g.len6Syms, 0, kLenSlots);
}

// Bits most significant first, byte after byte; zero bytes past the end, still counted.
struct BitReader
{
    const uint8_t* in;
    size_t len;
    size_t pos;
    uint64_t buf;
    unsigned cnt;

    void refill()
    {
        if (pos + 8 <= len) {
            unsigned k = (64 - cnt) >> 3;
            if (!k)
                return;
            uint64_t v;
            std::memcpy(&v, in + pos, 8);
#if !defined(__BYTE_ORDER__) || __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
            v = __builtin_bswap64(v);
#endif
            v = k == 8 ? v : v >> (64 - 8 * k);
            buf |= k == 8 ? v : v << (64 - cnt - 8 * k);
            cnt += 8 * k;
            pos += k;
            return;
        }
        while (cnt <= 56) {
            uint64_t b = pos < len ? in[pos] : 0;
            ++pos;
            buf |= b << (56 - cnt);
            cnt += 8;
        }
    }
    inline unsigned bit()
    {
        if (!cnt)
            refill();
        unsigned b = static_cast<unsigned>(buf >> 63);
        buf <<= 1;
        --cnt;
        return b;
    }
    // n from 0 to 19.
    inline uint32_t read(unsigned n)
    {
        if (cnt < n)
            refill();
        uint32_t v = static_cast<uint32_t>((buf >> (63 - n)) >> 1);
        buf <<= n;
        cnt -= n;
        return v;
    }
    uint64_t consumedBits() const { return static_cast<uint64_t>(pos) * 8 - cnt; }
};

struct Coder
{
    uint32_t high, low, code;
    BitReader br;

    unsigned decode(Model& m)
    {
        ModelSym* s = m.syms;
        const uint32_t total = s[0].cumfreq;
        const uint32_t range = ((high - low) & 0xFFFF) + 1;
        const uint32_t target = ((((code - low) & 0xFFFF) + 1) * total - 1) / range;
        unsigned i = 1;
        while (i < m.entries && s[i].cumfreq > target)
            ++i;
        const unsigned sym = s[i - 1].sym;
        high = (low + (s[i - 1].cumfreq * range) / total - 1) & 0xFFFF;
        low = (low + (s[i].cumfreq * range) / total) & 0xFFFF;
        do {
            --i;
            s[i].cumfreq = static_cast<uint16_t>(s[i].cumfreq + kFreqStep);
        } while (i);
        if (s[0].cumfreq > kRescaleAbove)
            rescale(m);
        // Renormalise: first every leading bit low and high agree on, in one step...
        const uint32_t same = low ^ high;
        const unsigned n = same ? static_cast<unsigned>(__builtin_clz(same)) - 16 : 16;
        if (n) {
            low = (low << n) & 0xFFFF;
            high = ((high << n) | ((1u << n) - 1)) & 0xFFFF;
            code = ((code << n) | br.read(n)) & 0xFFFF;
        }
        // ...then, while they straddle the middle within the inner half, one bit at a time
        // (afterwards their top bits always differ, so the first case cannot come back).
        while ((low & 0x4000) && !(high & 0x4000)) {
            code ^= 0x4000;
            low = (low & 0x3FFF) << 1;
            high = (((high | 0x4000) << 1) | 1) & 0xFFFF;
            code = ((code << 1) | br.bit()) & 0xFFFF;
        }
        return sym;
    }
};

} // namespace

struct QtmDecoder
{
    char tag[4];
    DecoderMemory mem;
    unsigned windowBits;
    uint32_t windowSize;
    uint8_t* window;
};

namespace {

bool validHandle(const QtmDecoder* d) { return hasTag(d, kTag); }

void takeOver(QtmDecoder* d)
{
    g_state.owner = d;
    resetFolder();
    resetPositionModels(d->windowBits);
}

bool decodeFrame(QtmDecoder* d, const uint8_t* in, size_t inLen, uint8_t* out, uint32_t outLen)
{
    WorkingState& g = g_state;
    Coder c;
    c.br = BitReader{in, inLen, 0, 0, 0};
    c.high = 0xFFFF;
    c.low = 0;
    c.code = c.br.read(16);

    uint8_t* const w = d->window;
    const uint32_t windowSize = d->windowSize;
    const uint32_t mask = windowSize - 1;
    uint32_t wp = g.windowPos;
    uint32_t history = g.folderPos < windowSize ? static_cast<uint32_t>(g.folderPos) : windowSize;
    uint32_t produced = 0;
    while (produced < outLen) {
        unsigned selector = c.decode(g.selector);
        if (selector < kLiteralModels) {
            uint8_t b = static_cast<uint8_t>(c.decode(g.literal[selector]));
            w[wp] = b;
            wp = (wp + 1) & mask;
            out[produced++] = b;
            continue;
        }
        uint32_t len, slot;
        if (selector == kLen4Selector) {
            len = 3;
            slot = c.decode(g.pos4);
        } else if (selector == kLen5Selector) {
            len = 4;
            slot = c.decode(g.pos5);
        } else {
            unsigned ls = c.decode(g.len6);
            len = kTables.lenBase[ls] + c.br.read(kTables.lenExtra[ls]) + kLongMatchBase;
            slot = c.decode(g.pos6);
        }
        uint32_t off = kTables.posBase[slot] + c.br.read(kTables.posExtra[slot]) + 1;
        uint32_t reach = history + produced;
        if (reach > windowSize)
            reach = windowSize;
        if (off > reach)
            return false;
        if (len > outLen - produced) {
            // The compressor may end a folder's last, short frame with a match that runs on into
            // the rest of a whole frame; the bytes past the block are dropped and the folder ends.
            if (outLen == kFrameSize || produced + len > kFrameSize)
                return false;
            len = outLen - produced;
            g.ended = true;
        }
        uint32_t src = (wp - off) & mask;
        const uint32_t apart = src < wp ? wp - src : src - wp;
        if (apart >= 8 && src + len <= windowSize && wp + len <= windowSize) {
            // Neither side wraps and they are far enough apart for 8-byte pieces.
            uint8_t* o = w + wp;
            const uint8_t* from = w + src;
            uint32_t done = 0;
            for (; done + 8 <= len; done += 8)
                std::memcpy(o + done, from + done, 8);
            for (; done < len; ++done)
                o[done] = from[done];
            std::memcpy(out + produced, o, len);
            wp = (wp + len) & mask;
        } else {
            for (uint32_t k = 0; k < len; ++k) {
                uint8_t b = w[src];
                w[wp] = b;
                out[produced + k] = b;
                src = (src + 1) & mask;
                wp = (wp + 1) & mask;
            }
        }
        produced += len;
        if (c.br.consumedBits() > inLen * uint64_t{8} + kLookAheadAllowanceBits)
            return false;
    }
    if (c.br.consumedBits() > inLen * uint64_t{8} + kLookAheadAllowanceBits)
        return false;
    g.windowPos = wp;
    return true;
}

} // namespace

bool qtmWindowValid(unsigned windowBits) { return windowBits >= kMinWindowBits && windowBits <= kMaxWindowBits; }

void* qtmCreate(unsigned windowBits, const DecoderMemory& mem)
{
    if (!qtmWindowValid(windowBits))
        return nullptr;
    QtmDecoder* d = createWithWindow<QtmDecoder>(kTag, windowBits, mem);
    if (!d)
        return nullptr;
    d->windowBits = windowBits;
    takeOver(d);
    return d;
}

bool qtmReset(void* handle)
{
    auto* d = static_cast<QtmDecoder*>(handle);
    if (!validHandle(d))
        return false;
    takeOver(d);
    return true;
}

BlockResult qtmDecode(void* handle, const unsigned char* in, std::size_t inLen, unsigned char* out, std::size_t outLen)
{
    auto* d = static_cast<QtmDecoder*>(handle);
    if (!validHandle(d) || !out || outLen == 0 || outLen > kFrameSize || (!in && inLen))
        return BlockResult::kBadCall;
    if (g_state.owner != d || g_state.failed || g_state.ended)
        return BlockResult::kBadData;
    if (!decodeFrame(d, in, inLen, out, static_cast<uint32_t>(outLen))) {
        g_state.failed = true;
        return BlockResult::kBadData;
    }
    g_state.folderPos += outLen;
    return BlockResult::kOk;
}

void qtmDestroy(void* handle)
{
    auto* d = static_cast<QtmDecoder*>(handle);
    if (!validHandle(d))
        return;
    if (g_state.owner == d)
        g_state.owner = nullptr;
    destroyWithWindow(d);
}

} // namespace cabinet
