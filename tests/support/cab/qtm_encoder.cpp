#include "qtm_encoder.h"
#include <algorithm>
#include <stdexcept>

namespace cabtest {
namespace {

constexpr uint32_t kFrame = 32768;
unsigned posExtra(unsigned s) { return s < 4 ? 0 : (s - 2) / 2; }
unsigned lenExtra(unsigned s) { return (s < 6 || s == 26) ? 0 : (s - 2) / 4; }
uint32_t base(unsigned (*extra)(unsigned), unsigned s) {
    uint32_t b = 0;
    for (unsigned i = 0; i < s; ++i) b += 1u << extra(i);
    return b;
}
// The slot of a value: the last whose base it reaches, below `slots`.
unsigned slotOf(unsigned (*extra)(unsigned), unsigned slots, uint32_t v) {
    unsigned s = 0;
    while (s + 1 < slots && base(extra, s + 1) <= v) ++s;
    return s;
}

// The adaptive model as the decoder keeps it: symbols by falling cumulative frequency.
struct Model {
    int shiftsLeft = 4;
    std::vector<uint16_t> sym, cum;  // cum has entries + 1 values
    Model(unsigned first, unsigned n) : sym(n + 1), cum(n + 1) {
        for (unsigned i = 0; i <= n; ++i) {
            sym[i] = static_cast<uint16_t>(first + i);
            cum[i] = static_cast<uint16_t>(n - i);
        }
    }
    unsigned entries() const { return static_cast<unsigned>(sym.size() - 1); }
    unsigned indexOf(unsigned s) const {
        for (unsigned i = 0; i < entries(); ++i)
            if (sym[i] == s) return i;
        throw std::logic_error("symbol outside the model");
    }
    void update(unsigned idx) {
        for (unsigned i = 0; i <= idx; ++i) cum[i] = static_cast<uint16_t>(cum[i] + 8);
        if (cum[0] <= 3800) return;
        const int n = static_cast<int>(entries());
        if (--shiftsLeft) {
            for (int i = n - 1; i >= 0; --i) {
                cum[i] >>= 1;
                if (cum[i] <= cum[i + 1]) cum[i] = static_cast<uint16_t>(cum[i + 1] + 1);
            }
            return;
        }
        shiftsLeft = 50;
        for (int i = 0; i < n; ++i) cum[i] = static_cast<uint16_t>((cum[i] - cum[i + 1] + 1) >> 1);
        for (int i = 0; i < n - 1; ++i)
            for (int j = i + 1; j < n; ++j)
                if (cum[i] < cum[j]) std::swap(cum[i], cum[j]), std::swap(sym[i], sym[j]);
        for (int i = n - 1; i >= 0; --i) cum[i] = static_cast<uint16_t>(cum[i] + cum[i + 1]);
    }
};

struct Models {
    Model selector{0, 7}, pos4, pos5, pos6, len6{0, 27};
    std::vector<Model> literal;
    explicit Models(unsigned bits) : pos4(0, std::min(bits * 2, 24u)), pos5(0, std::min(bits * 2, 36u)), pos6(0, bits * 2) {
        for (unsigned k = 0; k < 4; ++k) literal.emplace_back(k * 64, 64);
    }
};

// Arithmetic encoder mirroring the decoder's 16-bit coder. Raw extra bits are read by the decoder
// 16 bits ahead of the coder's position, so they are inserted there when the stream is assembled.
class Coder {
public:
    void encode(Model& m, unsigned symbol) {
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
    void raw(uint32_t value, unsigned n) {
        if (n) raws_.push_back({shifts_ + 16, value, n});
    }
    std::vector<uint8_t> finish() {
        ++pending_;
        emit((low_ >> 14) & 1);
        std::vector<uint8_t> stream;
        size_t r = 0;
        for (size_t j = 0;; ++j) {
            for (; r < raws_.size() && raws_[r].at == j; ++r)
                for (unsigned k = raws_[r].n; k-- > 0;) stream.push_back((raws_[r].value >> k) & 1);
            if (j >= bits_.size() && r == raws_.size()) break;
            stream.push_back(j < bits_.size() ? bits_[j] : 0);
        }
        // Room for everything the decoder reads ahead by the end of the frame, so that it never
        // has to look past the block (decoders that pad blocks with a marker byte rely on it).
        uint64_t rawBits = 0;
        for (const Raw& rw : raws_) rawBits += rw.n;
        stream.resize(std::max<size_t>(stream.size(), shifts_ + 16 + rawBits), 0);
        std::vector<uint8_t> bytes((stream.size() + 7) / 8, 0);
        for (size_t k = 0; k < stream.size(); ++k)
            if (stream[k]) bytes[k / 8] |= static_cast<uint8_t>(0x80 >> (k % 8));
        return bytes;
    }
private:
    void emit(unsigned b) {
        bits_.push_back(static_cast<uint8_t>(b));
        for (; pending_; --pending_) bits_.push_back(static_cast<uint8_t>(!b));
    }
    struct Raw {
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

void encodeToken(Coder& c, Models& m, const QtmToken& t) {
    c.encode(m.selector, t.selector);
    if (t.selector < 4) return c.encode(m.literal[t.selector], t.selector * 64 + t.symbol);
    if (t.selector == 6) {
        c.encode(m.len6, t.lenSlot);
        c.raw(t.lenExtra, lenExtra(t.lenSlot));
    }
    c.encode(t.selector == 4 ? m.pos4 : t.selector == 5 ? m.pos5 : m.pos6, t.symbol);
    c.raw(t.posExtra, posExtra(t.symbol));
}

}  // namespace

std::vector<uint8_t> qtmEncodeTokens(unsigned windowBits, const std::vector<QtmToken>& tokens) {
    Models m(windowBits);
    Coder c;
    for (const auto& t : tokens) encodeToken(c, m, t);
    return c.finish();
}

std::vector<Frame> qtmEncode(const std::vector<uint8_t>& data, const QtmOptions& opt) {
    const uint32_t window = 1u << opt.windowBits;
    const uint32_t maxOff4 = base(posExtra, std::min(opt.windowBits * 2, 24u));
    const uint32_t maxOff5 = base(posExtra, std::min(opt.windowBits * 2, 36u));
    const size_t n = data.size();
    Models models(opt.windowBits);
    std::vector<Frame> frames;
    std::vector<int32_t> head(1 << 16, -1), chain(n, -1);
    auto hashAt = [&](size_t p) { return ((data[p] << 8) ^ (data[p + 1] << 4) ^ data[p + 2] ^ (data[p] >> 3) * 131) & 0xFFFF; };
    auto insert = [&](size_t p) {
        if (p + 2 >= n) return;
        chain[p] = head[hashAt(p)];
        head[hashAt(p)] = static_cast<int32_t>(p);
    };
    bool crossed = false;
    for (size_t start = 0; start < n; start += kFrame) {
        const size_t end = std::min<size_t>(n, start + kFrame);
        Coder c;
        size_t p = start;
        while (p < end) {
            size_t limit = std::min<size_t>(end - p, 259);
            if (opt.matchAcrossFrame && !crossed && start == 0 && end < n && p + 259 > end) limit = std::min<size_t>(n - p, 259);
            size_t bestLen = 0, bestOff = 0;
            unsigned depth = p + 2 < n && limit >= 3 ? opt.chainDepth : 0;
            for (int32_t k = depth ? head[hashAt(p)] : -1; k >= 0 && depth--; k = chain[k]) {
                const size_t off = p - static_cast<size_t>(k);
                if (off > window) break;
                size_t l = 0;
                while (l < limit && data[k + l] == data[p + l]) ++l;
                if ((l == 3 && off > maxOff4) || (l == 4 && off > maxOff5)) continue;
                if (l > bestLen) bestLen = l, bestOff = off;
            }
            QtmToken t{static_cast<unsigned>(data[p] >> 6), data[p] & 63u};
            if (bestLen < 3) {
                insert(p++);
            } else {
                if (p + bestLen > end) crossed = true;
                const uint32_t v = static_cast<uint32_t>(bestOff - 1);
                t.symbol = slotOf(posExtra, 42, v);
                t.posExtra = v - base(posExtra, t.symbol);
                t.selector = bestLen == 3 ? 4 : bestLen == 4 ? 5 : 6;
                if (t.selector == 6) {
                    t.lenSlot = slotOf(lenExtra, 27, static_cast<uint32_t>(bestLen - 5));
                    t.lenExtra = static_cast<uint32_t>(bestLen - 5) - base(lenExtra, t.lenSlot);
                }
                for (size_t k = 0; k < bestLen; ++k) insert(p + k);
                p += bestLen;
            }
            encodeToken(c, models, t);
        }
        frames.push_back({c.finish(), static_cast<uint32_t>(end - start)});
        if (p > end) start = p - kFrame;  // only for the hostile cross-frame stream
    }
    return frames;
}

}  // namespace cabtest
