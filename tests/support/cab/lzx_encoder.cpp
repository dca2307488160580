#include "lzx_encoder.h"

#include <algorithm>
#include <functional>
#include <queue>
#include <stdexcept>

namespace cabtest {
namespace {

constexpr uint32_t kFrame = 32768;
constexpr unsigned kMaxMatch = 257;

unsigned slotsFor(unsigned bits) { return bits == 21 ? 50 : bits == 20 ? 42 : bits * 2; }
unsigned footerBits(unsigned slot) { return slot < 4 ? 0 : std::min(17u, (slot - 2) / 2); }
uint32_t slotBase(unsigned slot) {
    uint32_t b = 0;
    for (unsigned i = 0; i < slot; ++i) b += 1u << footerBits(i);
    return b;
}

std::vector<uint32_t> canonicalCodes(const std::vector<uint8_t>& lens) {
    std::vector<uint32_t> codes(lens.size());
    uint32_t code = 0;
    for (unsigned len = 1; len <= 16; ++len) {
        for (size_t s = 0; s < lens.size(); ++s)
            if (lens[s] == len) codes[s] = code++;
        code <<= 1;
    }
    return codes;
}

struct Code {
    std::vector<uint8_t> lens;
    std::vector<uint32_t> codes;
    void put(LzxBitWriter& w, unsigned sym) const {
        if (!lens.at(sym)) throw std::logic_error("symbol without a code");
        w.bits(codes[sym], lens[sym]);
    }
};

Code makeCode(std::vector<uint8_t> lens) {
    Code c;
    c.codes = canonicalCodes(lens);
    c.lens = std::move(lens);
    return c;
}

struct Token {
    uint32_t literalOrLen;  // literal byte when len == 0
    uint32_t len;
    unsigned mainSym;
    int lenSym;
    uint32_t verbatim;  // footer value, or its high part in aligned blocks
    unsigned verbatimBits;
    int alignedSym;
};

}  // namespace

void LzxBitWriter::bits(uint32_t value, unsigned n) {
    if (n > 16) {
        bits(value >> 16, n - 16);
        bits(value & 0xFFFF, 16);
        return;
    }
    if (!n) return;
    acc_ = (acc_ << n) | (value & ((1u << n) - 1));
    n_ += n;
    if (n_ >= 16) {
        uint32_t word = (acc_ >> (n_ - 16)) & 0xFFFF;
        out_.push_back(static_cast<uint8_t>(word));
        out_.push_back(static_cast<uint8_t>(word >> 8));
        n_ -= 16;
        acc_ &= (1u << n_) - 1;
    }
}

void LzxBitWriter::align16() {
    if (n_) bits(0, 16 - n_);
}

std::vector<uint8_t> LzxBitWriter::take() {
    std::vector<uint8_t> r;
    r.swap(out_);
    return r;
}

namespace {

// Canonical code lengths for `freq` (zero frequency: no code), at most `maxLen` bits.
std::vector<uint8_t> huffmanLengths(const std::vector<uint32_t>& freqIn, unsigned maxLen) {
    std::vector<uint32_t> freq = freqIn;
    const size_t n = freq.size();
    std::vector<uint8_t> lens(n, 0);
    size_t used = std::count_if(freq.begin(), freq.end(), [](uint32_t f) { return f != 0; });
    if (used == 0) return lens;
    if (used == 1) {
        for (size_t i = 0; i < n; ++i)
            if (freq[i]) lens[i] = 1;
        return lens;
    }
    for (;;) {
        // Plain Huffman; frequencies are flattened until the longest code fits.
        using Item = std::pair<uint64_t, int>;
        std::priority_queue<Item, std::vector<Item>, std::greater<Item>> q;
        std::vector<int> parent(2 * n, -1);
        int next = static_cast<int>(n);
        for (size_t i = 0; i < n; ++i)
            if (freq[i]) q.push({freq[i], static_cast<int>(i)});
        while (q.size() > 1) {
            Item a = q.top();
            q.pop();
            Item b = q.top();
            q.pop();
            parent[a.second] = next;
            parent[b.second] = next;
            q.push({a.first + b.first, next++});
        }
        unsigned longest = 0;
        for (size_t i = 0; i < n; ++i) {
            if (!freq[i]) continue;
            unsigned d = 0;
            for (int p = static_cast<int>(i); parent[p] != -1; p = parent[p]) ++d;
            lens[i] = static_cast<uint8_t>(d);
            longest = std::max(longest, d);
        }
        if (longest <= maxLen) return lens;
        for (auto& f : freq)
            if (f) f = (f >> 1) | 1;
    }
}

}  // namespace

void lzxWriteLengths(LzxBitWriter& w, const std::vector<uint8_t>& prev, const std::vector<uint8_t>& lens) {
    struct Item {
        unsigned code;
        uint32_t extra;
        unsigned extraBits;
    };
    std::vector<Item> items;
    const size_t n = lens.size();
    auto delta = [&](size_t i, uint8_t v) { return static_cast<unsigned>((prev[i] + 17 - v) % 17); };
    for (size_t i = 0; i < n;) {
        size_t run = 1;
        while (i + run < n && lens[i + run] == lens[i]) ++run;
        if (lens[i] == 0 && run >= 20) {
            run = std::min<size_t>(run, 51);
            items.push_back({18, static_cast<uint32_t>(run - 20), 5});
        } else if (lens[i] == 0 && run >= 4) {
            run = std::min<size_t>(run, 19);
            items.push_back({17, static_cast<uint32_t>(run - 4), 4});
        } else if (run >= 4) {
            run = std::min<size_t>(run, 5);
            items.push_back({19, static_cast<uint32_t>(run - 4), 1});
            items.push_back({delta(i, lens[i]), 0, 0});
        } else {
            run = 1;
            items.push_back({delta(i, lens[i]), 0, 0});
        }
        i += run;
    }
    std::vector<uint32_t> freq(20, 0);
    for (const auto& it : items) ++freq[it.code];
    Code pre = makeCode(huffmanLengths(freq, 15));
    for (unsigned i = 0; i < 20; ++i) w.bits(pre.lens[i], 4);
    for (const auto& it : items) {
        pre.put(w, it.code);
        w.bits(it.extra, it.extraBits);
    }
}

namespace {

// E8 call translation as a compressor applies it before matching (the inverse of the decoder's).
void lzxTranslateCalls(std::vector<uint8_t>& f, uint64_t frameOffset, uint32_t size) {
    if (f.size() <= 10) return;
    for (size_t i = 0; i < f.size() - 10;) {
        if (f[i] != 0xE8) {
            ++i;
            continue;
        }
        int64_t rel = static_cast<int32_t>(f[i + 1] | (f[i + 2] << 8) | (f[i + 3] << 16) | (uint32_t(f[i + 4]) << 24));
        int64_t cur = static_cast<int64_t>(frameOffset + i);
        if (rel >= -cur && rel < static_cast<int64_t>(size)) {
            int64_t abs = rel < static_cast<int64_t>(size) - cur ? rel + cur : rel - size;
            uint32_t v = static_cast<uint32_t>(abs);
            for (int k = 0; k < 4; ++k) f[i + 1 + k] = static_cast<uint8_t>(v >> (8 * k));
        }
        i += 5;
    }
}

}  // namespace

std::vector<Frame> lzxEncode(const std::vector<uint8_t>& data, const LzxOptions& opt) {
    const uint32_t window = 1u << opt.windowBits;
    const unsigned mainSyms = 256 + 8 * slotsFor(opt.windowBits);
    const size_t n = data.size();

    std::vector<uint8_t> pre = data;
    if (opt.e8) {
        for (size_t start = 0, f = 0; start < n && f < 32768; start += kFrame, ++f) {
            size_t end = std::min<size_t>(n, start + kFrame);
            std::vector<uint8_t> chunk(pre.begin() + start, pre.begin() + end);
            lzxTranslateCalls(chunk, start, opt.e8Size);
            std::copy(chunk.begin(), chunk.end(), pre.begin() + start);
        }
    }

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

    w.bits(opt.e8 ? 1 : 0, 1);
    if (opt.e8) w.bits(opt.e8Size, 32);

    uint32_t r[3] = {1, 1, 1};
    std::vector<uint8_t> prevMain(mainSyms, 0), prevLen(249, 0);
    std::vector<int32_t> head(1 << 16, -1), chain(n, -1);
    auto hashAt = [&](size_t p) { return ((pre[p] << 8) ^ (pre[p + 1] << 4) ^ pre[p + 2] ^ (pre[p] >> 3) * 131) & 0xFFFF; };
    auto insert = [&](size_t p) {
        if (p + 2 >= n) return;
        unsigned h = hashAt(p);
        chain[p] = head[h];
        head[h] = static_cast<int32_t>(p);
    };
    auto matchLen = [&](size_t p, size_t src, size_t limit) {
        size_t l = 0;
        while (l < limit && pre[src + l] == pre[p + l]) ++l;
        return l;
    };
    bool crossedOnce = false;

    size_t pos = 0;
    for (size_t step = 0; pos < n; ++step) {
        const LzxPlanStep& ps = opt.plan[step % opt.plan.size()];
        const size_t bsize = std::min<size_t>(ps.size, n - pos);
        const size_t blockEnd = pos + bsize;
        closeFrameIfDue(pos);
        if (ps.type == LzxBlock::Uncompressed) {
            w.bits(3, 3);
            w.bits(static_cast<uint32_t>(bsize), 24);
            if (w.pendingBits() == 0) w.bits(0, 16);
            else w.align16();
            for (uint32_t v : r)
                for (int k = 0; k < 4; ++k) w.byte(static_cast<uint8_t>(v >> (8 * k)));
            for (; pos < blockEnd; ++pos) {
                closeFrameIfDue(pos);
                w.byte(pre[pos]);
                insert(pos);
            }
            if (bsize & 1) w.byte(0);
            continue;
        }
        const bool aligned = ps.type == LzxBlock::Aligned;
        std::vector<Token> tokens;
        std::vector<uint32_t> mainFreq(mainSyms, 0), lenFreq(249, 0), alignedFreq(8, 0);
        for (size_t p = pos; p < blockEnd;) {
            size_t frameEnd = (p / kFrame + 1) * kFrame;
            size_t limit = std::min({blockEnd, frameEnd, p + kMaxMatch}) - p;
            if (opt.matchAcrossFrame && !crossedOnce && frameEnd == kFrame && p + kMaxMatch > kFrame &&
                blockEnd > kFrame + kMaxMatch)
                limit = std::min<size_t>(blockEnd - p, kMaxMatch);
            size_t bestLen = 0, bestOff = 0;
            if (opt.matches) {
                for (uint32_t rv : r) {
                    if (rv == 0 || rv > p || rv > window - 3) continue;
                    size_t l = matchLen(p, p - rv, limit);
                    if (l >= 2 && l > bestLen) {
                        bestLen = l;
                        bestOff = rv;
                    }
                }
                if (p + 2 < n && limit >= 3) {
                    unsigned depth = opt.chainDepth;
                    for (int32_t c = head[hashAt(p)]; c >= 0 && depth--; c = chain[c]) {
                        size_t off = p - static_cast<size_t>(c);
                        if (off > window - 3) break;
                        size_t l = matchLen(p, static_cast<size_t>(c), limit);
                        if (l > bestLen + 1 || (l > bestLen && off < bestOff)) {
                            bestLen = l;
                            bestOff = off;
                        }
                    }
                }
            }
            Token t{};
            if (bestLen < 3 && !(bestLen == 2 && (bestOff == r[0] || bestOff == r[1] || bestOff == r[2]))) {
                t.literalOrLen = pre[p];
                t.mainSym = pre[p];
                t.lenSym = -1;
                t.alignedSym = -1;
                insert(p);
                ++p;
            } else {
                if (p + bestLen > frameEnd) crossedOnce = true;
                uint32_t off = static_cast<uint32_t>(bestOff);
                unsigned slot;
                if (off == r[0]) {
                    slot = 0;
                } else if (off == r[1]) {
                    slot = 1;
                    std::swap(r[0], r[1]);
                } else if (off == r[2]) {
                    slot = 2;
                    std::swap(r[0], r[2]);
                } else {
                    uint32_t formatted = off + 2;
                    slot = 3;
                    while (slot + 1 < slotsFor(opt.windowBits) && slotBase(slot + 1) <= formatted) ++slot;
                    uint32_t footer = formatted - slotBase(slot);
                    unsigned fb = footerBits(slot);
                    if (aligned && fb >= 3) {
                        t.verbatim = footer >> 3;
                        t.verbatimBits = fb - 3;
                        t.alignedSym = static_cast<int>(footer & 7);
                    } else {
                        t.verbatim = footer;
                        t.verbatimBits = fb;
                        t.alignedSym = -1;
                    }
                    r[2] = r[1];
                    r[1] = r[0];
                    r[0] = off;
                }
                if (slot < 3) t.alignedSym = -1;
                t.len = static_cast<uint32_t>(bestLen);
                unsigned header = std::min<unsigned>(static_cast<unsigned>(bestLen) - 2, 7);
                t.mainSym = 256 + slot * 8 + header;
                t.lenSym = header == 7 ? static_cast<int>(bestLen - 9) : -1;
                for (size_t k = 0; k < bestLen; ++k) insert(p + k);
                p += bestLen;
            }
            ++mainFreq[t.mainSym];
            if (t.lenSym >= 0) ++lenFreq[t.lenSym];
            if (t.alignedSym >= 0) ++alignedFreq[t.alignedSym];
            tokens.push_back(t);
        }
        Code mainCode = makeCode(huffmanLengths(mainFreq, 16));
        Code lenCode = makeCode(huffmanLengths(lenFreq, 16));
        Code alignedCode = makeCode(huffmanLengths(alignedFreq, 7));
        w.bits(static_cast<uint32_t>(ps.type), 3);
        w.bits(static_cast<uint32_t>(bsize), 24);
        if (aligned)
            for (unsigned i = 0; i < 8; ++i) w.bits(alignedCode.lens[i], 3);
        std::vector<uint8_t> lo(mainCode.lens.begin(), mainCode.lens.begin() + 256);
        std::vector<uint8_t> hi(mainCode.lens.begin() + 256, mainCode.lens.end());
        lzxWriteLengths(w, std::vector<uint8_t>(prevMain.begin(), prevMain.begin() + 256), lo);
        lzxWriteLengths(w, std::vector<uint8_t>(prevMain.begin() + 256, prevMain.end()), hi);
        lzxWriteLengths(w, prevLen, lenCode.lens);
        prevMain = mainCode.lens;
        prevLen = lenCode.lens;
        for (const Token& t : tokens) {
            closeFrameIfDue(pos);
            mainCode.put(w, t.mainSym);
            if (t.lenSym >= 0) lenCode.put(w, static_cast<unsigned>(t.lenSym));
            if (t.len) {
                w.bits(t.verbatim, t.verbatimBits);
                if (t.alignedSym >= 0) alignedCode.put(w, static_cast<unsigned>(t.alignedSym));
                pos += t.len;
            } else {
                ++pos;
            }
        }
    }
    w.align16();
    frames.push_back({w.take(), static_cast<uint32_t>(n - frameStart)});
    return frames;
}

}  // namespace cabtest
