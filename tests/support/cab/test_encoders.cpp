#include "test_encoders.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <utility>

namespace cabtest {

void LzxBitWriter::bits(uint32_t value, unsigned n)
{
    if (n > 16) {
        bits(value >> 16, n - 16);
        n = 16;
    }
    if (!n)
        return;
    acc_ = (acc_ << n) | (value & ((1u << n) - 1));
    n_ += n;
    if (n_ >= 16) {
        const uint32_t word = (acc_ >> (n_ - 16)) & 0xFFFF;
        out_.push_back(static_cast<uint8_t>(word));
        out_.push_back(static_cast<uint8_t>(word >> 8));
        n_ -= 16;
        acc_ &= (1u << n_) - 1;
    }
}

namespace {

constexpr uint32_t kFrame = 32768;
constexpr unsigned kMaxMatch = 257;
unsigned slotsFor(unsigned bits) { return bits == 21 ? 50 : bits == 20 ? 42 : bits * 2; }
unsigned footerBits(unsigned slot) { return slot < 4 ? 0 : std::min(17u, (slot - 2) / 2); }
uint32_t slotBase(unsigned slot)
{
    uint32_t b = 0;
    for (unsigned i = 0; i < slot; ++i)
        b += 1u << footerBits(i);
    return b;
}

// Code lengths from the symbols' frequencies (zero: no code): Shannon lengths over frequencies
// raised to a floor, which keeps every length at most maxLen - 1 and the code a prefix code.
std::vector<uint8_t> codeLengths(const std::vector<uint32_t>& freq, unsigned maxLen)
{
    uint64_t total = 0;
    for (uint32_t f : freq)
        total += f;
    const uint64_t floor = std::max<uint64_t>(1, total >> (maxLen - 2));
    uint64_t raised = 0;
    for (uint32_t f : freq)
        raised += f ? std::max<uint64_t>(f, floor) : 0;
    std::vector<uint8_t> lens(freq.size(), 0);
    for (size_t s = 0; s < freq.size(); ++s)
        if (freq[s]) {
            const double ratio = static_cast<double>(raised) / static_cast<double>(std::max<uint64_t>(freq[s], floor));
            lens[s] = static_cast<uint8_t>(std::max(1.0, std::ceil(std::log2(ratio) - 1e-9)));
        }
    // Other decoders refuse an incomplete code: shorten a longest (then most frequent) code until
    // the code space is full; a lone symbol gets an unused partner.
    std::vector<size_t> used;
    uint64_t kraft = 0; // in units of 2^-maxLen
    for (size_t s = 0; s < freq.size(); ++s)
        if (lens[s])
            used.push_back(s), kraft += uint64_t{1} << (maxLen - lens[s]);
    if (used.size() == 1)
        lens[used[0] == 0 ? 1 : 0] = 1;
    while (used.size() > 1 && kraft < (uint64_t{1} << maxLen)) {
        size_t pick = used[0];
        for (size_t s : used)
            if (lens[s] > lens[pick] || (lens[s] == lens[pick] && freq[s] > freq[pick]))
                pick = s;
        kraft += uint64_t{1} << (maxLen - lens[pick]--);
    }
    return lens;
}

struct Code
{
    std::vector<uint8_t> lens;
    std::vector<uint32_t> codes;
    explicit Code(std::vector<uint8_t> l) : lens(std::move(l)), codes(lens.size())
    {
        uint32_t code = 0; // canonical: consecutive within a length, shorter lengths first
        for (unsigned len = 1; len <= 16; ++len, code <<= 1)
            for (size_t s = 0; s < lens.size(); ++s)
                if (lens[s] == len)
                    codes[s] = code++;
    }
    void put(LzxBitWriter& w, unsigned sym) const
    {
        if (!lens.at(sym))
            throw std::logic_error("symbol without a code");
        w.bits(codes[sym], lens[sym]);
    }
};

struct Token
{
    uint32_t len; // 0: a literal
    unsigned mainSym;
    int lenSym, alignedSym;
    uint32_t verbatim; // footer value, or its high part in aligned blocks
    unsigned verbatimBits;
};

// Writes `lens` coded against `prev` through a pretree, as the block header carries them.
void lzxWriteLengths(LzxBitWriter& w, const std::vector<uint8_t>& prev, const std::vector<uint8_t>& lens)
{
    struct Item
    {
        unsigned code;
        uint32_t extra;
        unsigned extraBits;
    };
    std::vector<Item> items;
    auto delta = [&](size_t i) { return static_cast<unsigned>((prev[i] + 17 - lens[i]) % 17); };
    for (size_t i = 0, run = 1; i < lens.size(); i += run) {
        for (run = 1; i + run < lens.size() && lens[i + run] == lens[i];)
            ++run;
        if (lens[i] == 0 && run >= 20) {
            run = std::min<size_t>(run, 51);
            items.push_back({18, static_cast<uint32_t>(run - 20), 5});
        } else if (lens[i] == 0 && run >= 4) {
            run = std::min<size_t>(run, 19);
            items.push_back({17, static_cast<uint32_t>(run - 4), 4});
        } else if (run >= 4) {
            run = std::min<size_t>(run, 5);
            items.push_back({19, static_cast<uint32_t>(run - 4), 1});
            items.push_back({delta(i), 0, 0});
        } else {
            run = 1;
            items.push_back({delta(i), 0, 0});
        }
    }
    std::vector<uint32_t> freq(20, 0);
    for (const Item& it : items)
        ++freq[it.code];
    const Code pre(codeLengths(freq, 15));
    for (unsigned i = 0; i < 20; ++i)
        w.bits(pre.lens[i], 4);
    for (const Item& it : items) {
        pre.put(w, it.code);
        w.bits(it.extra, it.extraBits);
    }
}

unsigned posExtra(unsigned s) { return s < 4 ? 0 : (s - 2) / 2; }
unsigned lenExtra(unsigned s) { return (s < 6 || s == 26) ? 0 : (s - 2) / 4; }
uint32_t base(unsigned (*extra)(unsigned), unsigned s)
{
    uint32_t b = 0;
    for (unsigned i = 0; i < s; ++i)
        b += 1u << extra(i);
    return b;
}
// The slot of a value: the last whose base it reaches, below `slots`.
unsigned slotOf(unsigned (*extra)(unsigned), unsigned slots, uint32_t v)
{
    unsigned s = 0;
    while (s + 1 < slots && base(extra, s + 1) <= v)
        ++s;
    return s;
}

// The adaptive model as the decoder keeps it: symbols by falling cumulative frequency.
struct Model
{
    int shiftsLeft = 4;
    std::vector<uint16_t> sym, cum; // cum has entries + 1 values
    Model(unsigned first, unsigned n) : sym(n + 1), cum(n + 1)
    {
        for (unsigned i = 0; i <= n; ++i) {
            sym[i] = static_cast<uint16_t>(first + i);
            cum[i] = static_cast<uint16_t>(n - i);
        }
    }
    unsigned entries() const { return static_cast<unsigned>(sym.size() - 1); }
    unsigned indexOf(unsigned s) const
    {
        for (unsigned i = 0; i < entries(); ++i)
            if (sym[i] == s)
                return i;
        throw std::logic_error("symbol outside the model");
    }
    void update(unsigned idx)
    {
        for (unsigned i = 0; i <= idx; ++i)
            cum[i] = static_cast<uint16_t>(cum[i] + 8);
        if (cum[0] <= 3800)
            return;
        const int n = static_cast<int>(entries());
        if (--shiftsLeft) {
            for (int i = n - 1; i >= 0; --i) {
                cum[i] >>= 1;
                if (cum[i] <= cum[i + 1])
                    cum[i] = static_cast<uint16_t>(cum[i + 1] + 1);
            }
            return;
        }
        shiftsLeft = 50;
        for (int i = 0; i < n; ++i)
            cum[i] = static_cast<uint16_t>((cum[i] - cum[i + 1] + 1) >> 1);
        for (int i = 0; i < n - 1; ++i)
            for (int j = i + 1; j < n; ++j)
                if (cum[i] < cum[j])
                    std::swap(cum[i], cum[j]), std::swap(sym[i], sym[j]);
        for (int i = n - 1; i >= 0; --i)
            cum[i] = static_cast<uint16_t>(cum[i] + cum[i + 1]);
    }
};

struct Models
{
    Model selector{0, 7}, pos4, pos5, pos6, len6{0, 27};
    std::vector<Model> literal;
    explicit Models(unsigned bits)
        : pos4(0, std::min(bits * 2, 24u)), pos5(0, std::min(bits * 2, 36u)), pos6(0, bits * 2)
    {
        for (unsigned k = 0; k < 4; ++k)
            literal.emplace_back(k * 64, 64);
    }
};

// Arithmetic encoder mirroring the decoder's 16-bit coder. Raw extra bits are read by the decoder
// 16 bits ahead of the coder's position, so they are inserted there when the stream is assembled.
class Coder
{
public:
    void encode(Model& m, unsigned symbol)
    {
        const unsigned i = m.indexOf(symbol);
        const uint32_t total = m.cum[0], range = high_ - low_ + 1;
        high_ = low_ + (m.cum[i] * range) / total - 1;
        low_ = low_ + (m.cum[i + 1] * range) / total;
        m.update(i);
        for (;; ++shifts_) {
            if (!((low_ ^ high_) & 0x8000)) {
                emit(high_ >> 15);
            } else if ((low_ & 0x4000) && !(high_ & 0x4000)) {
                ++pending_;
                low_ &= 0x3FFF;
                high_ |= 0x4000;
            } else {
                break;
            }
            low_ = (low_ << 1) & 0xFFFF;
            high_ = ((high_ << 1) | 1) & 0xFFFF;
        }
    }
    void raw(uint32_t value, unsigned n)
    {
        if (n)
            raws_.push_back({shifts_ + 16, value, n});
    }
    std::vector<uint8_t> finish()
    {
        ++pending_;
        emit((low_ >> 14) & 1);
        std::vector<uint8_t> stream;
        size_t r = 0;
        for (size_t j = 0;; ++j) {
            for (; r < raws_.size() && raws_[r].at == j; ++r)
                for (unsigned k = raws_[r].n; k-- > 0;)
                    stream.push_back((raws_[r].value >> k) & 1);
            if (j >= bits_.size() && r == raws_.size())
                break;
            stream.push_back(j < bits_.size() ? bits_[j] : 0);
        }
        // Room for everything the decoder reads ahead by the end of the frame, so that it never
        // has to look past the block (decoders that pad blocks with a marker byte rely on it).
        uint64_t rawBits = 0;
        for (const Raw& rw : raws_)
            rawBits += rw.n;
        stream.resize(std::max<size_t>(stream.size(), shifts_ + 16 + rawBits), 0);
        std::vector<uint8_t> bytes((stream.size() + 7) / 8, 0);
        for (size_t k = 0; k < stream.size(); ++k)
            if (stream[k])
                bytes[k / 8] |= static_cast<uint8_t>(0x80 >> (k % 8));
        return bytes;
    }

private:
    void emit(unsigned b)
    {
        bits_.push_back(static_cast<uint8_t>(b));
        for (; pending_; --pending_)
            bits_.push_back(static_cast<uint8_t>(!b));
    }
    struct Raw
    {
        uint64_t at;
        uint32_t value;
        unsigned n;
    };
    uint32_t low_ = 0, high_ = 0xFFFF;
    uint64_t shifts_ = 0;
    unsigned pending_ = 0;
    std::vector<uint8_t> bits_;
    std::vector<Raw> raws_;
};

void encodeToken(Coder& c, Models& m, const QtmToken& t)
{
    c.encode(m.selector, t.selector);
    if (t.selector < 4)
        return c.encode(m.literal[t.selector], t.selector * 64 + t.symbol);
    if (t.selector == 6) {
        c.encode(m.len6, t.lenSlot);
        c.raw(t.lenExtra, lenExtra(t.lenSlot));
    }
    c.encode(t.selector == 4 ? m.pos4 : t.selector == 5 ? m.pos5 : m.pos6, t.symbol);
    c.raw(t.posExtra, posExtra(t.symbol));
}

} // namespace

// Hash chains over three-byte prefixes: where each earlier position with the same prefix hash is.
class HashChains
{
public:
    explicit HashChains(const std::vector<uint8_t>& data) : m_data(data), m_head(1 << 16, -1), m_chain(data.size(), -1)
    {}
    void insert(size_t p)
    {
        if (p + 2 >= m_data.size())
            return;
        m_chain[p] = m_head[hashAt(p)];
        m_head[hashAt(p)] = static_cast<int32_t>(p);
    }
    int32_t first(size_t p) const { return m_head[hashAt(p)]; }
    int32_t next(int32_t c) const { return m_chain[static_cast<size_t>(c)]; }
    size_t matchLength(size_t p, size_t src, size_t limit) const
    {
        size_t l = 0;
        while (l < limit && m_data[src + l] == m_data[p + l])
            ++l;
        return l;
    }

private:
    unsigned hashAt(size_t p) const
    {
        return ((m_data[p] << 8) ^ (m_data[p + 1] << 4) ^ m_data[p + 2] ^ (m_data[p] >> 3) * 131) & 0xFFFF;
    }
    const std::vector<uint8_t>& m_data;
    std::vector<int32_t> m_head, m_chain;
};

std::vector<Frame> lzxEncode(const std::vector<uint8_t>& data, const LzxOptions& opt)
{
    const uint32_t window = 1u << opt.windowBits;
    const unsigned mainSyms = 256 + 8 * slotsFor(opt.windowBits);
    const size_t n = data.size();
    std::vector<Frame> frames;
    LzxBitWriter w;
    size_t frameStart = 0;
    auto closeFrameIfDue = [&](size_t p) {
        if (p > frameStart && p >= frameStart + kFrame) {
            w.align16();
            frames.push_back({w.take(), kFrame});
            frameStart += kFrame;
        }
    };
    w.bits(0, 1); // no call translation: its tests build their frames by hand
    uint32_t r[3] = {1, 1, 1};
    std::vector<uint8_t> prevMain(mainSyms, 0), prevLen(249, 0);
    HashChains chains(data);
    bool crossedOnce = false;
    for (size_t step = 0, pos = 0; pos < n; ++step) {
        const LzxPlanStep& ps = opt.plan[step % opt.plan.size()];
        const size_t bsize = std::min<size_t>(ps.size, n - pos), blockEnd = pos + bsize;
        closeFrameIfDue(pos);
        w.bits(static_cast<uint32_t>(ps.type), 3);
        w.bits(static_cast<uint32_t>(bsize), 24);
        if (ps.type == LzxBlock::Uncompressed) {
            if (w.pendingBits() == 0)
                w.bits(0, 16);
            else
                w.align16();
            for (uint32_t v : r)
                for (int k = 0; k < 4; ++k)
                    w.byte(static_cast<uint8_t>(v >> (8 * k)));
            for (; pos < blockEnd; ++pos) {
                closeFrameIfDue(pos);
                w.byte(data[pos]);
                chains.insert(pos);
            }
            if (bsize & 1)
                w.byte(0);
            continue;
        }
        const bool aligned = ps.type == LzxBlock::Aligned;
        std::vector<Token> tokens;
        std::vector<uint32_t> mainFreq(mainSyms, 0), lenFreq(249, 0), alignedFreq(8, 0);
        for (size_t p = pos; p < blockEnd;) {
            const size_t frameEnd = (p / kFrame + 1) * kFrame;
            size_t limit = std::min({blockEnd, frameEnd, p + kMaxMatch}) - p;
            if (opt.matchAcrossFrame && !crossedOnce && frameEnd == kFrame && p + kMaxMatch > kFrame &&
                blockEnd > kFrame + kMaxMatch)
                limit = std::min<size_t>(blockEnd - p, kMaxMatch);
            size_t bestLen = 0, bestOff = 0;
            for (uint32_t rv : r) {
                const size_t l = rv != 0 && rv <= p && rv <= window - 3 ? chains.matchLength(p, p - rv, limit) : 0;
                if (l >= 2 && l > bestLen)
                    bestLen = l, bestOff = rv;
            }
            unsigned depth = p + 2 < n && limit >= 3 ? opt.chainDepth : 0;
            for (int32_t c = depth ? chains.first(p) : -1; c >= 0 && depth--; c = chains.next(c)) {
                const size_t off = p - static_cast<size_t>(c);
                if (off > window - 3)
                    break;
                const size_t l = chains.matchLength(p, static_cast<size_t>(c), limit);
                if (l > bestLen + 1 || (l > bestLen && off < bestOff))
                    bestLen = l, bestOff = off;
            }
            Token t{0, data[p], -1, -1, 0, 0};
            const bool repeat = bestOff == r[0] || bestOff == r[1] || bestOff == r[2];
            if (bestLen < 3 && !(bestLen == 2 && repeat)) {
                chains.insert(p++);
            } else {
                if (p + bestLen > frameEnd)
                    crossedOnce = true;
                const uint32_t off = static_cast<uint32_t>(bestOff);
                unsigned slot = off == r[0] ? 0 : off == r[1] ? 1 : off == r[2] ? 2 : 3;
                if (slot > 0 && slot < 3)
                    std::swap(r[0], r[slot]);
                if (slot == 3) {
                    const uint32_t formatted = off + 2;
                    while (slot + 1 < slotsFor(opt.windowBits) && slotBase(slot + 1) <= formatted)
                        ++slot;
                    const uint32_t footer = formatted - slotBase(slot);
                    const unsigned fb = footerBits(slot);
                    const bool split = aligned && fb >= 3;
                    t.verbatim = split ? footer >> 3 : footer;
                    t.verbatimBits = split ? fb - 3 : fb;
                    t.alignedSym = split ? static_cast<int>(footer & 7) : -1;
                    r[2] = r[1];
                    r[1] = r[0];
                    r[0] = off;
                }
                t.len = static_cast<uint32_t>(bestLen);
                const unsigned header = std::min<unsigned>(t.len - 2, 7);
                t.mainSym = 256 + slot * 8 + header;
                t.lenSym = header == 7 ? static_cast<int>(bestLen - 9) : -1;
                for (size_t k = 0; k < bestLen; ++k)
                    chains.insert(p + k);
                p += bestLen;
            }
            ++mainFreq[t.mainSym];
            if (t.lenSym >= 0)
                ++lenFreq[t.lenSym];
            if (t.alignedSym >= 0)
                ++alignedFreq[t.alignedSym];
            tokens.push_back(t);
        }
        const Code mainCode(codeLengths(mainFreq, 16)), lenCode(codeLengths(lenFreq, 16)),
            alignedCode(codeLengths(alignedFreq, 7));
        if (aligned)
            for (unsigned i = 0; i < 8; ++i)
                w.bits(alignedCode.lens[i], 3);
        const auto mid = mainCode.lens.begin() + 256;
        lzxWriteLengths(w, std::vector<uint8_t>(prevMain.begin(), prevMain.begin() + 256),
                        {mainCode.lens.begin(), mid});
        lzxWriteLengths(w, std::vector<uint8_t>(prevMain.begin() + 256, prevMain.end()), {mid, mainCode.lens.end()});
        lzxWriteLengths(w, prevLen, lenCode.lens);
        prevMain = mainCode.lens;
        prevLen = lenCode.lens;
        for (const Token& t : tokens) {
            closeFrameIfDue(pos);
            mainCode.put(w, t.mainSym);
            if (t.lenSym >= 0)
                lenCode.put(w, static_cast<unsigned>(t.lenSym));
            w.bits(t.verbatim, t.verbatimBits);
            if (t.alignedSym >= 0)
                alignedCode.put(w, static_cast<unsigned>(t.alignedSym));
            pos += t.len ? t.len : 1;
        }
    }
    w.align16();
    frames.push_back({w.take(), static_cast<uint32_t>(n - frameStart)});
    return frames;
}

// Quantum

std::vector<uint8_t> qtmEncodeTokens(unsigned windowBits, const std::vector<QtmToken>& tokens)
{
    Models m(windowBits);
    Coder c;
    for (const auto& t : tokens)
        encodeToken(c, m, t);
    return c.finish();
}

std::vector<Frame> qtmEncode(const std::vector<uint8_t>& data, const QtmOptions& opt)
{
    const uint32_t window = 1u << opt.windowBits;
    const uint32_t maxOff4 = base(posExtra, std::min(opt.windowBits * 2, 24u));
    const uint32_t maxOff5 = base(posExtra, std::min(opt.windowBits * 2, 36u));
    const size_t n = data.size();
    Models models(opt.windowBits);
    std::vector<Frame> frames;
    HashChains chains(data);
    bool crossed = false;
    for (size_t start = 0; start < n; start += kFrame) {
        const size_t end = std::min<size_t>(n, start + kFrame);
        Coder c;
        size_t p = start;
        while (p < end) {
            size_t limit = std::min<size_t>(end - p, 259);
            if (opt.matchAcrossFrame && !crossed && start == 0 && end < n && p + 259 > end)
                limit = std::min<size_t>(n - p, 259);
            size_t bestLen = 0, bestOff = 0;
            unsigned depth = p + 2 < n && limit >= 3 ? opt.chainDepth : 0;
            for (int32_t k = depth ? chains.first(p) : -1; k >= 0 && depth--; k = chains.next(k)) {
                const size_t off = p - static_cast<size_t>(k);
                if (off > window)
                    break;
                const size_t l = chains.matchLength(p, static_cast<size_t>(k), limit);
                if ((l == 3 && off > maxOff4) || (l == 4 && off > maxOff5))
                    continue;
                if (l > bestLen)
                    bestLen = l, bestOff = off;
            }
            QtmToken t{static_cast<unsigned>(data[p] >> 6), data[p] & 63u};
            if (bestLen < 3) {
                chains.insert(p++);
            } else {
                if (p + bestLen > end)
                    crossed = true;
                const uint32_t v = static_cast<uint32_t>(bestOff - 1);
                t.symbol = slotOf(posExtra, 42, v);
                t.posExtra = v - base(posExtra, t.symbol);
                t.selector = bestLen == 3 ? 4 : bestLen == 4 ? 5 : 6;
                if (t.selector == 6) {
                    t.lenSlot = slotOf(lenExtra, 27, static_cast<uint32_t>(bestLen - 5));
                    t.lenExtra = static_cast<uint32_t>(bestLen - 5) - base(lenExtra, t.lenSlot);
                }
                for (size_t k = 0; k < bestLen; ++k)
                    chains.insert(p + k);
                p += bestLen;
            }
            encodeToken(c, models, t);
        }
        frames.push_back({c.finish(), static_cast<uint32_t>(end - start)});
        if (p > end)
            start = p - kFrame; // only for the hostile cross-frame stream
    }
    return frames;
}

} // namespace cabtest
