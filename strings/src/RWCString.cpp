#include "RWCString.h"
#include "RWCRegexp.h"

#include <cstdlib>
#include <new>

// A string is one pointer to its own block, so arrays of strings may be moved bytewise
// (qsort over string slots).
static_assert(sizeof(RWCString) == sizeof(char*), "RWCString must stay a single pointer");

namespace {

inline unsigned char foldCase(unsigned char c) noexcept
{
    return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c + ('a' - 'A')) : c;
}

int compareText(const char* a, size_t alen, const char* b, size_t blen, RWCString::caseCompare cmp) noexcept
{
    size_t n = alen < blen ? alen : blen;
    if (cmp == RWCString::exact) {
        int r = n ? std::memcmp(a, b, n) : 0;
        if (r != 0)
            return r < 0 ? -1 : 1;
    } else {
        for (size_t i = 0; i < n; ++i) {
            unsigned char x = foldCase(static_cast<unsigned char>(a[i]));
            unsigned char y = foldCase(static_cast<unsigned char>(b[i]));
            if (x != y)
                return x < y ? -1 : 1;
        }
    }
    return alen == blen ? 0 : (alen < blen ? -1 : 1);
}

bool equalFolded(const char* a, const char* b, size_t n) noexcept
{
    for (size_t i = 0; i < n; ++i)
        if (foldCase(static_cast<unsigned char>(a[i])) != foldCase(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

// Byte membership table for first(set).
struct ByteSet
{
    bool in[256] = {};
    ByteSet(const char* s, size_t n) noexcept
    {
        for (size_t i = 0; i < n; ++i)
            in[static_cast<unsigned char>(s[i])] = true;
    }
};

const size_t kMinCapacity = 15;

} // namespace

// ---- storage ----

char* RWCString::emptyText() noexcept
{
    // Never written: every change that makes the text non-empty allocates first.
    struct EmptyRep
    {
        Header h;
        char text[sizeof(Header)];
    };
    static EmptyRep rep = {{0, 0}, {0}};
    return rep.text;
}

char* RWCString::allocate(size_t cap)
{
    if (cap > (~static_cast<size_t>(0)) - sizeof(Header) - 1)
        throw std::bad_alloc();
    void* block = std::malloc(sizeof(Header) + cap + 1);
    if (!block)
        throw std::bad_alloc();
    Header* h = new (block) Header{0, cap};
    char* text = reinterpret_cast<char*>(h + 1);
    text[0] = '\0';
    return text;
}

void RWCString::release(char* p) noexcept
{
    if (p != emptyText())
        std::free(reinterpret_cast<Header*>(p) - 1);
}

void RWCString::growTo(size_t newLen)
{
    size_t cap = capacity();
    if (newLen <= cap)
        return;
    // Doubling keeps repeated appends linear overall.
    size_t want = cap > (~static_cast<size_t>(0)) / 2 ? newLen : cap * 2;
    if (want < newLen)
        want = newLen;
    if (want < kMinCapacity)
        want = kMinCapacity;
    reallocate(want);
}

void RWCString::reallocate(size_t cap)
{
    if (m_data == emptyText()) {
        m_data = allocate(cap);
        return;
    }
    if (cap > (~static_cast<size_t>(0)) - sizeof(Header) - 1)
        throw std::bad_alloc();
    // realloc may extend the block in place; the text keeps its offset behind the header.
    void* block = std::realloc(header(), sizeof(Header) + cap + 1);
    if (!block)
        throw std::bad_alloc();
    Header* h = static_cast<Header*>(block);
    h->cap = cap;
    m_data = reinterpret_cast<char*>(h + 1);
}

void RWCString::assignText(const char* s, size_t len)
{
    if (len <= capacity()) {
        std::memmove(m_data, s, len); // s may lie inside our own text
        if (capacity() != 0) {
            m_data[len] = '\0';
            header()->len = len;
        }
        return;
    }
    char* fresh = allocate(len);
    std::memcpy(fresh, s, len);
    fresh[len] = '\0';
    (reinterpret_cast<Header*>(fresh) - 1)->len = len;
    release(m_data);
    m_data = fresh;
}

// ---- construction and assignment ----

RWCString::RWCString() : m_data(emptyText()) {}

RWCString::RWCString(const RWCString& s) : m_data(emptyText()) { assignText(s.m_data, s.length()); }

RWCString::RWCString(RWCString&& s) noexcept : m_data(s.m_data) { s.m_data = emptyText(); }

RWCString::RWCString(const char* s) : m_data(emptyText())
{
    if (s)
        assignText(s, std::strlen(s));
}

RWCString::RWCString(const char* s, size_t len) : m_data(emptyText())
{
    if (s && len)
        assignText(s, len);
}

RWCString::RWCString(char c) : m_data(emptyText()) { assignText(&c, 1); }

RWCString::RWCString(char c, size_t count) : m_data(emptyText()) { append(c, count); }

RWCString::RWCString(const RWCSubString& s) : m_data(emptyText())
{
    if (s.length())
        assignText(s.data(), s.length());
}

RWCString::~RWCString() { release(m_data); }

RWCString& RWCString::operator=(const RWCString& s)
{
    if (this != &s)
        assignText(s.m_data, s.length());
    return *this;
}

RWCString& RWCString::operator=(RWCString&& s) noexcept
{
    std::swap(m_data, s.m_data);
    return *this;
}

RWCString& RWCString::operator=(const char* s)
{
    assignText(s ? s : "", s ? std::strlen(s) : 0);
    return *this;
}

RWCString& RWCString::operator=(char c)
{
    assignText(&c, 1);
    return *this;
}

// ---- concatenation and editing ----

RWCString& RWCString::append(const char* s) { return s ? append(s, std::strlen(s)) : *this; }

RWCString& RWCString::append(const char* s, size_t len)
{
    if (len == 0 || !s)
        return *this;
    size_t old = length();
    if (len > (~static_cast<size_t>(0)) - old)
        throw std::bad_alloc();
    if (old + len > capacity()) {
        // s may point into our own text, which is about to move.
        const bool inside = s >= m_data && s <= m_data + old;
        const size_t offset = inside ? static_cast<size_t>(s - m_data) : 0;
        growTo(old + len);
        if (inside)
            s = m_data + offset;
    }
    std::memmove(m_data + old, s, len);
    m_data[old + len] = '\0';
    header()->len = old + len;
    return *this;
}

RWCString& RWCString::append(const RWCString& s, size_t len)
{
    return append(s.data(), len < s.length() ? len : s.length());
}

RWCString& RWCString::append(char c, size_t count)
{
    if (count == 0)
        return *this;
    size_t old = length();
    if (count > (~static_cast<size_t>(0)) - old)
        throw std::bad_alloc();
    growTo(old + count);
    std::memset(m_data + old, static_cast<unsigned char>(c), count);
    m_data[old + count] = '\0';
    header()->len = old + count;
    return *this;
}

RWCString& RWCString::prepend(const char* s) { return s ? replaceAt(0, 0, s, std::strlen(s)) : *this; }

RWCString& RWCString::prepend(const char* s, size_t len) { return s ? replaceAt(0, 0, s, len) : *this; }

RWCString& RWCString::prepend(const RWCString& s, size_t len)
{
    return replaceAt(0, 0, s.data(), len < s.length() ? len : s.length());
}

RWCString& RWCString::prepend(char c, size_t count)
{
    RWCString fill(c, count);
    return replaceAt(0, 0, fill.data(), fill.length());
}

RWCString& RWCString::replaceAt(size_t pos, size_t n, const char* s, size_t len)
{
    if (!s)
        len = 0;
    size_t old = length();
    if (len > n && len - n > (~static_cast<size_t>(0)) - old)
        throw std::bad_alloc();
    size_t newLen = old - n + len;
    if (len != 0 && s >= m_data && s <= m_data + old) {
        // The replacement lies in our own text, which is about to move.
        RWCString copy(s, len);
        return replaceAt(pos, n, copy.m_data, len);
    }
    if (newLen > capacity())
        growTo(newLen);
    if (newLen != 0) {
        std::memmove(m_data + pos + len, m_data + pos + n, old - pos - n);
        if (len)
            std::memcpy(m_data + pos, s, len);
    }
    if (capacity() != 0) {
        m_data[newLen] = '\0';
        header()->len = newLen;
    }
    return *this;
}

// ---- comparison ----

int RWCString::compareTo(const char* s, caseCompare cmp) const
{
    return compareText(m_data, length(), s ? s : "", s ? std::strlen(s) : 0, cmp);
}

int RWCString::compareTo(const RWCString& s, caseCompare cmp) const
{
    return compareText(m_data, length(), s.m_data, s.length(), cmp);
}

int RWCString::compareTo(const RWCSubString& s, caseCompare cmp) const
{
    return compareText(m_data, length(), s.data(), s.length(), cmp);
}

// ---- searching ----

size_t RWCString::index(const char* pat, size_t start, caseCompare cmp) const
{
    return index(pat, pat ? std::strlen(pat) : 0, start, cmp);
}

size_t RWCString::index(const RWCString& pat, size_t start, caseCompare cmp) const
{
    return index(pat.m_data, pat.length(), start, cmp);
}

size_t RWCString::index(const RWCString& pat, size_t patlen, size_t start, caseCompare cmp) const
{
    return index(pat.m_data, patlen < pat.length() ? patlen : pat.length(), start, cmp);
}

size_t RWCString::index(const char* pat, size_t patlen, size_t start, caseCompare cmp) const
{
    size_t len = length();
    if (start > len || patlen > len - start)
        return npos;
    if (patlen == 0)
        return start;
    const size_t lastStart = len - patlen;
    if (cmp == exact) {
        const char first = pat[0];
        size_t i = start;
        while (i <= lastStart) {
            const void* hit = std::memchr(m_data + i, first, lastStart - i + 1);
            if (!hit)
                return npos;
            i = static_cast<size_t>(static_cast<const char*>(hit) - m_data);
            if (std::memcmp(m_data + i + 1, pat + 1, patlen - 1) == 0)
                return i;
            ++i;
        }
        return npos;
    }
    const unsigned char first = foldCase(static_cast<unsigned char>(pat[0]));
    for (size_t i = start; i <= lastStart; ++i)
        if (foldCase(static_cast<unsigned char>(m_data[i])) == first &&
            equalFolded(m_data + i + 1, pat + 1, patlen - 1))
            return i;
    return npos;
}

size_t RWCString::index(const RWCRegexp& re, size_t start) const { return re.index(*this, nullptr, start); }

size_t RWCString::index(const RWCRegexp& re, size_t* matchLength, size_t start) const
{
    return re.index(*this, matchLength, start);
}

size_t RWCString::rindex(const char* pat, caseCompare cmp) const
{
    return rindex(pat, pat ? std::strlen(pat) : 0, npos, cmp);
}

size_t RWCString::rindex(const char* pat, size_t end, caseCompare cmp) const
{
    return rindex(pat, pat ? std::strlen(pat) : 0, end, cmp);
}

size_t RWCString::rindex(const RWCString& pat, caseCompare cmp) const
{
    return rindex(pat.m_data, pat.length(), npos, cmp);
}

size_t RWCString::rindex(const RWCString& pat, size_t end, caseCompare cmp) const
{
    return rindex(pat.m_data, pat.length(), end, cmp);
}

size_t RWCString::rindex(const char* pat, size_t patlen, size_t end, caseCompare cmp) const
{
    size_t len = length();
    if (patlen > len)
        return npos;
    size_t i = len - patlen;
    if (end < i)
        i = end;
    if (patlen == 0)
        return i;
    for (;;) {
        bool same = cmp == exact ? std::memcmp(m_data + i, pat, patlen) == 0 : equalFolded(m_data + i, pat, patlen);
        if (same)
            return i;
        if (i == 0)
            return npos;
        --i;
    }
}

bool RWCString::contains(const char* pat, caseCompare cmp) const { return index(pat, 0, cmp) != npos; }

bool RWCString::contains(const RWCString& pat, caseCompare cmp) const
{
    return index(pat.m_data, pat.length(), 0, cmp) != npos;
}

size_t RWCString::first(char c) const noexcept { return first(c, 0); }

size_t RWCString::first(char c, size_t start) const noexcept
{
    size_t len = length();
    if (start >= len)
        return npos;
    const void* hit = std::memchr(m_data + start, c, len - start);
    return hit ? static_cast<size_t>(static_cast<const char*>(hit) - m_data) : npos;
}

size_t RWCString::first(const char* set) const noexcept { return set ? first(set, std::strlen(set)) : npos; }

size_t RWCString::first(const char* set, size_t setLen) const noexcept
{
    if (!set || setLen == 0)
        return npos;
    if (setLen == 1)
        return first(set[0], 0);
    ByteSet table(set, setLen);
    size_t len = length();
    for (size_t i = 0; i < len; ++i)
        if (table.in[static_cast<unsigned char>(m_data[i])])
            return i;
    return npos;
}

size_t RWCString::last(char c) const noexcept { return last(c, npos); }

size_t RWCString::last(char c, size_t end) const noexcept
{
    size_t len = length();
    if (len == 0)
        return npos;
    size_t i = end < len - 1 ? end : len - 1;
    for (;;) {
        if (m_data[i] == c)
            return i;
        if (i == 0)
            return npos;
        --i;
    }
}

size_t RWCString::occurrencesOf(char c) const noexcept
{
    size_t n = 0;
    size_t len = length();
    for (size_t i = 0; i < len; ++i)
        n += m_data[i] == c ? 1 : 0;
    return n;
}

// ---- sub-strings ----

RWCSubString RWCString::subString(const char* pat, size_t start, caseCompare cmp)
{
    size_t patlen = pat ? std::strlen(pat) : 0;
    size_t i = index(pat, patlen, start, cmp);
    return i == npos ? RWCSubString(this, npos, 0) : RWCSubString(this, i, patlen);
}

const RWCSubString RWCString::subString(const char* pat, size_t start, caseCompare cmp) const
{
    return const_cast<RWCString*>(this)->subString(pat, start, cmp);
}

RWCSubString RWCString::operator()(const RWCRegexp& re, size_t start)
{
    size_t len = 0;
    size_t i = re.index(*this, &len, start);
    return i == npos ? RWCSubString(this, npos, 0) : RWCSubString(this, i, len);
}

const RWCSubString RWCString::operator()(const RWCRegexp& re, size_t start) const
{
    return (*const_cast<RWCString*>(this))(re, start);
}

RWCSubString RWCString::strip(stripType s, char c)
{
    size_t b = 0;
    size_t e = length();
    if (s & leading)
        while (b < e && m_data[b] == c)
            ++b;
    if (s & trailing)
        while (e > b && m_data[e - 1] == c)
            --e;
    return RWCSubString(this, b, e - b);
}

const RWCSubString RWCString::strip(stripType s, char c) const { return const_cast<RWCString*>(this)->strip(s, c); }

// ---- misc ----

void RWCString::capacity(size_t n)
{
    if (n > capacity())
        reallocate(n);
}

void RWCString::resize(size_t n)
{
    size_t len = length();
    if (n > len)
        append(' ', n - len);
    else if (n < len)
        replaceAt(n, len - n, "", 0);
}

void RWCString::toLower()
{
    size_t len = length();
    for (size_t i = 0; i < len; ++i)
        m_data[i] = static_cast<char>(foldCase(static_cast<unsigned char>(m_data[i])));
}

void RWCString::toUpper()
{
    size_t len = length();
    for (size_t i = 0; i < len; ++i)
        if (m_data[i] >= 'a' && m_data[i] <= 'z')
            m_data[i] = static_cast<char>(m_data[i] - ('a' - 'A'));
}

unsigned RWCString::hash(caseCompare cmp) const
{
    // FNV-1a over the (folded) bytes.
    unsigned h = 2166136261u;
    size_t len = length();
    for (size_t i = 0; i < len; ++i) {
        unsigned char c = static_cast<unsigned char>(m_data[i]);
        h = (h ^ (cmp == ignoreCase ? foldCase(c) : c)) * 16777619u;
    }
    return h;
}

RWCString toLower(const RWCString& s)
{
    RWCString r(s);
    r.toLower();
    return r;
}

RWCString toUpper(const RWCString& s)
{
    RWCString r(s);
    r.toUpper();
    return r;
}

// ---- RWCSubString ----

RWCSubString& RWCSubString::operator=(const RWCString& s)
{
    if (!isNull()) {
        m_str->replaceAt(m_begin, m_extent, s.data(), s.length());
        m_extent = s.length();
    }
    return *this;
}

RWCSubString& RWCSubString::operator=(const char* s)
{
    if (!isNull()) {
        size_t len = s ? std::strlen(s) : 0;
        m_str->replaceAt(m_begin, m_extent, s, len);
        m_extent = len;
    }
    return *this;
}

void RWCSubString::toLower()
{
    for (size_t i = 0; i < m_extent; ++i) {
        char& c = m_str->m_data[m_begin + i];
        c = static_cast<char>(foldCase(static_cast<unsigned char>(c)));
    }
}

void RWCSubString::toUpper()
{
    for (size_t i = 0; i < m_extent; ++i) {
        char& c = m_str->m_data[m_begin + i];
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - ('a' - 'A'));
    }
}
