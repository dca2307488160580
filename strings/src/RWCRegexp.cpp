#include "RWCRegexp.h"

#include <cstdint>
#include <new>
#include <utility>
#include <vector>

// The pattern compiles to a straight sequence of items (there is no grouping or alternation),
// each an atom with an optional quantifier. Matching runs the corresponding automaton over the
// text once, keeping for every item the earliest start position that reaches it, so the result
// is the leftmost-longest match in time proportional to text length times pattern length.

namespace {

enum class Kind : unsigned char { Literal, Any, Set, Begin, End };
enum class Repeat : unsigned char { One, Optional, Many };

struct Item
{
    Kind kind;
    Repeat repeat;
    unsigned char ch; // Literal
    size_t set;       // Set: index into Program::sets
};

struct ByteClass
{
    uint32_t bits[8] = {};
    void add(unsigned char c) { bits[c >> 5] |= 1u << (c & 31); }
    bool has(unsigned char c) const { return (bits[c >> 5] >> (c & 31)) & 1u; }
    void invert()
    {
        for (uint32_t& w : bits)
            w = ~w;
    }
};

// Longer patterns are refused rather than making every match slow.
const size_t kMaxItems = 4096;

} // namespace

struct RWCRegexp::Program
{
    std::vector<Item> items;
    std::vector<ByteClass> sets;
    // Bytes that can begin a match, when every match needs at least one byte; lets the search
    // skip text that cannot start one. leadByte >= 0 when that is a single byte.
    bool leadUsable = false;
    ByteClass lead;
    int leadByte = -1;

    void computeLead()
    {
        for (const Item& it : items) {
            switch (it.kind) {
            case Kind::Literal:
                lead.add(it.ch);
                break;
            case Kind::Any:
                for (uint32_t& w : lead.bits)
                    w = ~0u;
                break;
            case Kind::Set:
                for (int w = 0; w < 8; ++w)
                    lead.bits[w] |= sets[it.set].bits[w];
                break;
            case Kind::Begin:
                continue;
            case Kind::End:
                return; // an empty match may be possible at the end
            }
            if (it.repeat == Repeat::One) {
                leadUsable = true;
                break;
            }
        }
        if (!leadUsable)
            return;
        int count = 0;
        for (int c = 0; c < 256; ++c)
            if (lead.has(static_cast<unsigned char>(c))) {
                ++count;
                leadByte = c;
            }
        if (count != 1)
            leadByte = -1;
    }

    bool consumes(const Item& it, unsigned char c) const
    {
        switch (it.kind) {
        case Kind::Literal:
            return it.ch == c;
        case Kind::Any:
            return true;
        case Kind::Set:
            return sets[it.set].has(c);
        default:
            return false;
        }
    }
};

namespace {

// Parses an escape after a backslash; p points at the escaped character.
unsigned char escaped(char c)
{
    switch (c) {
    case 't':
        return '\t';
    case 'n':
        return '\n';
    case 'r':
        return '\r';
    default:
        return static_cast<unsigned char>(c);
    }
}

// Parses a bracket expression starting just after '['; returns false when it is malformed.
bool parseClass(const char* pat, size_t len, size_t& i, ByteClass& cls)
{
    bool negate = false;
    if (i < len && pat[i] == '^') {
        negate = true;
        ++i;
    }
    bool firstItem = true;
    for (;;) {
        if (i >= len)
            return false;
        char c = pat[i];
        if (c == ']' && !firstItem) {
            ++i;
            break;
        }
        firstItem = false;
        unsigned char lo;
        if (c == '\\') {
            if (i + 1 >= len)
                return false;
            lo = escaped(pat[i + 1]);
            i += 2;
        } else {
            lo = static_cast<unsigned char>(c);
            ++i;
        }
        unsigned char hi = lo;
        if (i + 1 < len && pat[i] == '-' && pat[i + 1] != ']') {
            ++i;
            if (pat[i] == '\\') {
                if (i + 1 >= len)
                    return false;
                hi = escaped(pat[i + 1]);
                i += 2;
            } else {
                hi = static_cast<unsigned char>(pat[i]);
                ++i;
            }
            if (hi < lo)
                return false;
        }
        for (unsigned v = lo; v <= hi; ++v)
            cls.add(static_cast<unsigned char>(v));
    }
    if (negate)
        cls.invert();
    return true;
}

} // namespace

void RWCRegexp::compile(const char* pat, size_t len)
{
    delete m_prog;
    m_prog = nullptr;
    m_status = OK;

    Program* prog = new (std::nothrow) Program;
    if (!prog) {
        m_status = NOMEMORY;
        return;
    }
    std::vector<Item>& items = prog->items;
    bool lastIsAtom = false; // whether a quantifier may follow
    for (size_t i = 0; i < len;) {
        char c = pat[i];
        if (items.size() >= kMaxItems) {
            m_status = TOOLONG;
            break;
        }
        if (c == '?' || c == '*' || c == '+') {
            if (!lastIsAtom) {
                m_status = ILLEGAL;
                break;
            }
            Item& prev = items.back();
            if (c == '?')
                prev.repeat = Repeat::Optional;
            else if (c == '*')
                prev.repeat = Repeat::Many;
            else {
                Item again = prev; // x+ is x followed by x*
                again.repeat = Repeat::Many;
                items.push_back(again);
            }
            lastIsAtom = false;
            ++i;
            continue;
        }
        Item it{Kind::Literal, Repeat::One, 0, 0};
        if (c == '^' && i == 0) {
            it.kind = Kind::Begin;
            ++i;
        } else if (c == '$' && i + 1 == len) {
            it.kind = Kind::End;
            ++i;
        } else if (c == '.') {
            it.kind = Kind::Any;
            ++i;
        } else if (c == '\\') {
            if (i + 1 >= len) {
                m_status = ILLEGAL;
                break;
            }
            it.ch = escaped(pat[i + 1]);
            i += 2;
        } else if (c == '[') {
            ++i;
            ByteClass cls;
            if (!parseClass(pat, len, i, cls)) {
                m_status = ILLEGAL;
                break;
            }
            it.kind = Kind::Set;
            it.set = prog->sets.size();
            prog->sets.push_back(cls);
        } else {
            it.ch = static_cast<unsigned char>(c);
            ++i;
        }
        items.push_back(it);
        lastIsAtom = it.kind != Kind::Begin && it.kind != Kind::End;
    }
    if (m_status == OK) {
        prog->computeLead();
        m_prog = prog;
    } else
        delete prog;
}

RWCRegexp::RWCRegexp(const char* pattern) : m_prog(nullptr), m_status(OK)
{
    compile(pattern ? pattern : "", pattern ? std::strlen(pattern) : 0);
}

RWCRegexp::RWCRegexp(const RWCString& pattern) : m_prog(nullptr), m_status(OK)
{
    compile(pattern.data(), pattern.length());
}

RWCRegexp::RWCRegexp(const RWCRegexp& other)
    : m_prog(other.m_prog ? new Program(*other.m_prog) : nullptr), m_status(other.m_status)
{}

RWCRegexp& RWCRegexp::operator=(const RWCRegexp& other)
{
    if (this != &other) {
        Program* copy = other.m_prog ? new Program(*other.m_prog) : nullptr;
        delete m_prog;
        m_prog = copy;
        m_status = other.m_status;
    }
    return *this;
}

RWCRegexp& RWCRegexp::operator=(const char* pattern)
{
    compile(pattern ? pattern : "", pattern ? std::strlen(pattern) : 0);
    return *this;
}

RWCRegexp& RWCRegexp::operator=(const RWCString& pattern)
{
    compile(pattern.data(), pattern.length());
    return *this;
}

RWCRegexp::~RWCRegexp() { delete m_prog; }

size_t RWCRegexp::index(const RWCString& text, size_t* matchLength, size_t start) const
{
    return index(text.data(), text.length(), matchLength, start);
}

size_t RWCRegexp::index(const char* text, size_t n, size_t* matchLength, size_t start) const
{
    if (!m_prog || start > n)
        return RW_NPOS;
    const Program& prog = *m_prog;
    const std::vector<Item>& items = prog.items;
    const size_t m = items.size();
    const size_t none = RW_NPOS;

    // at[i]: earliest start of a partial match that has reached item i (none when inactive);
    // at[m] is the accepting state.
    // Short patterns (the usual case) keep both state rows on the stack.
    const size_t kStackStates = 32;
    size_t stackRows[2 * kStackStates];
    std::vector<size_t> heapRows;
    size_t* at = stackRows;
    if (m + 1 > kStackStates) {
        heapRows.resize(2 * (m + 1));
        at = heapRows.data();
    }
    size_t* next = at + (m + 1);
    for (size_t i = 0; i <= m; ++i)
        at[i] = none;

    size_t bestStart = none;
    size_t bestEnd = 0;

    // Lets matches flow over items that need no character here (optional, repeated, anchors).
    auto closure = [&](size_t* s, size_t pos) {
        for (size_t i = 0; i < m; ++i) {
            if (s[i] == none)
                continue;
            const Item& it = items[i];
            bool skip =
                it.repeat != Repeat::One || (it.kind == Kind::Begin && pos == 0) || (it.kind == Kind::End && pos == n);
            if (skip && s[i] < s[i + 1])
                s[i + 1] = s[i];
        }
    };

    const bool anchored = m > 0 && items[0].kind == Kind::Begin;

    bool active = false;
    for (size_t pos = start;; ++pos) {
        if (anchored && pos != 0) {
            if (!active)
                break;
        } else if (bestStart == none) {
            if (!active && prog.leadUsable) {
                // Nothing in progress: jump to the next byte that can begin a match.
                if (prog.leadByte >= 0) {
                    const void* hit = pos < n ? std::memchr(text + pos, prog.leadByte, n - pos) : nullptr;
                    if (!hit)
                        return RW_NPOS;
                    pos = static_cast<size_t>(static_cast<const char*>(hit) - text);
                } else {
                    while (pos < n && !prog.lead.has(static_cast<unsigned char>(text[pos])))
                        ++pos;
                    if (pos >= n)
                        return RW_NPOS;
                }
            }
            if (pos < at[0])
                at[0] = pos;
        }
        closure(at, pos);
        if (at[m] != none && (at[m] < bestStart || (at[m] == bestStart && pos > bestEnd))) {
            bestStart = at[m];
            bestEnd = pos;
        }
        if (pos >= n)
            break;

        // Consume text[pos]; partial matches that started after the best match cannot win.
        const unsigned char c = static_cast<unsigned char>(text[pos]);
        active = false;
        for (size_t i = 0; i <= m; ++i)
            next[i] = none;
        for (size_t i = 0; i < m; ++i) {
            size_t from = at[i];
            if (from == none || (bestStart != none && from > bestStart))
                continue;
            const Item& it = items[i];
            if (!prog.consumes(it, c))
                continue;
            size_t to = it.repeat == Repeat::Many ? i : i + 1;
            if (from < next[to])
                next[to] = from;
            active = true;
        }
        std::swap(at, next);
        if (!active && bestStart != none)
            break;
    }
    if (bestStart == none)
        return RW_NPOS;
    if (matchLength)
        *matchLength = bestEnd - bestStart;
    return bestStart;
}
