#ifndef RWCSTRING_H
#define RWCSTRING_H

#include "RWBoundsErr.h"
#include "tls7912d_export.h"

#include <cstring>
#include <ostream>
#include <utility>

class RWCString;
class RWCSubString;
class RWCRegexp;

// A view of part of an RWCString: produced by sub-string extraction, matching, stripping and
// tokenising. It refers to the string it came from, which must outlive it. A null sub-string
// (nothing matched) has length 0 and start() == RWCString::npos.
class TLS7912D_API RWCSubString
{
public:
    RWCSubString(const RWCSubString&) = default;

    size_t length() const noexcept { return m_extent; }
    size_t start() const noexcept { return m_begin; }
    bool isNull() const noexcept { return m_begin == RW_NPOS; }

    // Points into the parent string; NOT terminated at the end of the sub-string.
    inline const char* data() const noexcept;

    char operator[](size_t i) const { return at(i); }
    char operator()(size_t i) const { return at(i); }
    char& operator[](size_t i) { return at(i); }
    char& operator()(size_t i) { return at(i); }

    // Another sub-string re-points this view (so `t = next()` loops over tokens safely).
    RWCSubString& operator=(const RWCSubString&) = default;
    // Text replaces the viewed part of the parent string (a null sub-string ignores it).
    RWCSubString& operator=(const RWCString& s);
    RWCSubString& operator=(const char* s);

    void toLower();
    void toUpper();

private:
    friend class RWCString;
    friend class RWCTokenizer;
    RWCSubString(const RWCString* str, size_t start, size_t len) noexcept
        : m_str(const_cast<RWCString*>(str)), m_begin(start), m_extent(len)
    {}
    inline char& at(size_t i) const;

    RWCString* m_str;
    size_t m_begin;
    size_t m_extent;
};

// Kept out of the exported class so each module has its own constant instead of importing one
// that the DLL never emits.
struct RWCStringConstants
{
    static constexpr size_t npos = RW_NPOS;
};

// A length-counted, 8-bit string with value semantics (copies never share storage).
// Embedded zero bytes are allowed; data() is always zero-terminated after length() bytes.
class TLS7912D_API RWCString : public RWCStringConstants
{
public:
    enum caseCompare { exact, ignoreCase };
    enum stripType { leading = 0x1, trailing = 0x2, both = 0x3 };

    RWCString();
    RWCString(const RWCString& s);
    RWCString(RWCString&& s) noexcept;
    RWCString(const char* s);             // zero-terminated; a null pointer gives ""
    RWCString(const char* s, size_t len); // exactly len bytes, zero bytes included
    RWCString(char c);
    RWCString(char c, size_t count); // count copies of c
    RWCString(const RWCSubString& s);
    ~RWCString();

    RWCString& operator=(const RWCString& s);
    RWCString& operator=(RWCString&& s) noexcept;
    RWCString& operator=(const char* s);
    RWCString& operator=(char c);

    RWCString& operator+=(const RWCString& s) { return append(s.data(), s.length()); }
    RWCString& operator+=(const char* s) { return append(s); }
    RWCString& operator+=(char c) { return append(c, 1); }

    RWCString& append(const char* s);
    RWCString& append(const char* s, size_t len);
    RWCString& append(const RWCString& s) { return append(s.data(), s.length()); }
    RWCString& append(const RWCString& s, size_t len); // at most len bytes of s
    RWCString& append(char c, size_t count = 1);

    RWCString& prepend(const char* s);
    RWCString& prepend(const char* s, size_t len);
    RWCString& prepend(const RWCString& s) { return prepend(s.data(), s.length()); }
    RWCString& prepend(const RWCString& s, size_t len);
    RWCString& prepend(char c, size_t count = 1);

    // Editing in place: pos beyond length() raises RWBoundsErr; n is cut at the end of the text.
    RWCString& insert(size_t pos, const char* s) { return replace(pos, 0, s, tls7912dTextLength(s)); }
    RWCString& insert(size_t pos, const char* s, size_t len) { return replace(pos, 0, s, len); }
    RWCString& insert(size_t pos, const RWCString& s) { return replace(pos, 0, s.data(), s.length()); }
    RWCString& remove(size_t pos) { return replace(pos, npos, "", 0); } // everything from pos on
    RWCString& remove(size_t pos, size_t n) { return replace(pos, n, "", 0); }
    RWCString& replace(size_t pos, size_t n, const char* s) { return replace(pos, n, s, tls7912dTextLength(s)); }
    RWCString& replace(size_t pos, size_t n, const RWCString& s) { return replace(pos, n, s.data(), s.length()); }
    RWCString& replace(size_t pos, size_t n, const char* s, size_t len)
    {
        if (pos > length())
            RWBoundsErr::raise(pos, length());
        return replaceAt(pos, n < length() - pos ? n : length() - pos, s, len);
    }

    // Negative, zero or positive, comparing bytes as unsigned; ignoreCase folds ASCII letters.
    int compareTo(const char* s, caseCompare cmp = exact) const;
    int compareTo(const RWCString& s, caseCompare cmp = exact) const;
    int compareTo(const RWCSubString& s, caseCompare cmp = exact) const;

    // First occurrence at or after start, or npos.
    size_t index(const char* pat, size_t start = 0, caseCompare cmp = exact) const;
    size_t index(const RWCString& pat, size_t start = 0, caseCompare cmp = exact) const;
    size_t index(const char* pat, size_t patlen, size_t start, caseCompare cmp) const;
    size_t index(const RWCString& pat, size_t patlen, size_t start, caseCompare cmp) const;
    size_t index(const RWCRegexp& re, size_t start = 0) const;
    size_t index(const RWCRegexp& re, size_t* matchLength, size_t start) const;

    // Last occurrence that begins at or before end, or npos.
    size_t rindex(const char* pat, caseCompare cmp = exact) const;
    size_t rindex(const char* pat, size_t end, caseCompare cmp = exact) const;
    size_t rindex(const RWCString& pat, caseCompare cmp = exact) const;
    size_t rindex(const RWCString& pat, size_t end, caseCompare cmp = exact) const;
    size_t rindex(const char* pat, size_t patlen, size_t end, caseCompare cmp) const;

    bool contains(const char* pat, caseCompare cmp = exact) const;
    bool contains(const RWCString& pat, caseCompare cmp = exact) const;

    size_t first(char c) const noexcept;
    size_t first(char c, size_t start) const noexcept;
    size_t first(const char* set) const noexcept;                // first byte that is in set
    size_t first(const char* set, size_t setLen) const noexcept; // set may hold zero bytes
    size_t last(char c) const noexcept;
    size_t last(char c, size_t end) const noexcept; // last at or before end
    size_t occurrencesOf(char c) const noexcept;

    // Sub-strings: start + len must not exceed length() (RWBoundsErr otherwise).
    RWCSubString operator()(size_t start, size_t len)
    {
        checkRange(start, len);
        return RWCSubString(this, start, len);
    }
    const RWCSubString operator()(size_t start, size_t len) const
    {
        checkRange(start, len);
        return RWCSubString(this, start, len);
    }
    RWCSubString subString(const char* pat, size_t start = 0, caseCompare cmp = exact);
    const RWCSubString subString(const char* pat, size_t start = 0, caseCompare cmp = exact) const;

    // The first match of the expression at or after start; null when there is none.
    RWCSubString operator()(const RWCRegexp& re, size_t start = 0);
    const RWCSubString operator()(const RWCRegexp& re, size_t start = 0) const;
    RWCSubString match(const RWCRegexp& re, size_t start = 0) { return (*this)(re, start); }
    const RWCSubString match(const RWCRegexp& re, size_t start = 0) const { return (*this)(re, start); }

    // The text left after removing c from the chosen end(s).
    RWCSubString strip(stripType s = trailing, char c = ' ');
    const RWCSubString strip(stripType s = trailing, char c = ' ') const;

    // Character access; an index at or beyond length() raises RWBoundsErr.
    char& operator[](size_t i)
    {
        checkIndex(i);
        return m_data[i];
    }
    char operator[](size_t i) const
    {
        checkIndex(i);
        return m_data[i];
    }
    char& operator()(size_t i)
    {
        checkIndex(i);
        return m_data[i];
    }
    char operator()(size_t i) const
    {
        checkIndex(i);
        return m_data[i];
    }

    size_t length() const noexcept { return header()->len; }
    size_t capacity() const noexcept { return header()->cap; }
    bool isNull() const noexcept { return header()->len == 0; }
    const char* data() const noexcept { return m_data; }

    void capacity(size_t n); // reserve room for n bytes
    void resize(size_t n);   // truncate, or pad with blanks
    void toLower();
    void toUpper();
    unsigned hash(caseCompare cmp = exact) const;

private:
    friend class RWCSubString;
    struct Header
    {
        size_t len;
        size_t cap;
    };
    const Header* header() const noexcept { return reinterpret_cast<const Header*>(m_data) - 1; }
    Header* header() noexcept { return reinterpret_cast<Header*>(m_data) - 1; }
    static size_t tls7912dTextLength(const char* s) noexcept { return s ? std::strlen(s) : 0; }
    static char* emptyText() noexcept;
    static char* allocate(size_t cap);
    static void release(char* p) noexcept;
    void assignText(const char* s, size_t len);
    void growTo(size_t newLen);  // room for newLen bytes, content kept, geometric growth
    void reallocate(size_t cap); // exactly cap bytes of room, content kept
    RWCString& replaceAt(size_t pos, size_t n, const char* s, size_t len); // checked by caller
    void checkIndex(size_t i) const
    {
        if (i >= length())
            RWBoundsErr::raise(i, length());
    }
    void checkRange(size_t start, size_t len) const
    {
        if (start > length() || len > length() - start)
            RWBoundsErr::raise(start > length() ? start : start + len, length());
    }

    // Points at the text; the Header lives just before it. Always a valid buffer (the shared
    // empty buffer when nothing was allocated), so the object is a single relocatable pointer.
    char* m_data;
};

inline const char* RWCSubString::data() const noexcept { return isNull() ? "" : m_str->m_data + m_begin; }

inline char& RWCSubString::at(size_t i) const
{
    if (i >= m_extent)
        RWBoundsErr::raise(i, m_extent);
    return m_str->m_data[m_begin + i];
}

// Case-folding copies.
TLS7912D_API RWCString toLower(const RWCString& s);
TLS7912D_API RWCString toUpper(const RWCString& s);

// Concatenation.
inline RWCString operator+(const RWCString& a, const RWCString& b)
{
    RWCString r;
    r.capacity(a.length() + b.length());
    r.append(a.data(), a.length());
    r.append(b.data(), b.length());
    return r;
}
inline RWCString operator+(RWCString&& a, const RWCString& b) { return std::move(a.append(b)); }
inline RWCString operator+(const RWCString& a, const char* b)
{
    RWCString r(a);
    r.append(b);
    return r;
}
inline RWCString operator+(RWCString&& a, const char* b) { return std::move(a.append(b)); }
inline RWCString operator+(const char* a, const RWCString& b)
{
    RWCString r(a);
    r.append(b);
    return r;
}
inline RWCString operator+(const RWCString& a, char b)
{
    RWCString r(a);
    r.append(b);
    return r;
}
inline RWCString operator+(RWCString&& a, char b) { return std::move(a.append(b)); }
inline RWCString operator+(char a, const RWCString& b)
{
    RWCString r(a);
    r.append(b);
    return r;
}

// Comparison: exact, byte by byte as unsigned.
namespace tls7912d_detail {
inline bool sameText(const char* a, size_t alen, const char* b, size_t blen) noexcept
{
    return alen == blen && (alen == 0 || std::memcmp(a, b, alen) == 0);
}
inline size_t textLength(const char* s) noexcept { return s ? std::strlen(s) : 0; }
} // namespace tls7912d_detail

inline bool operator==(const RWCString& a, const RWCString& b) noexcept
{
    return tls7912d_detail::sameText(a.data(), a.length(), b.data(), b.length());
}
inline bool operator==(const RWCString& a, const char* b) noexcept
{
    return tls7912d_detail::sameText(a.data(), a.length(), b ? b : "", tls7912d_detail::textLength(b));
}
inline bool operator==(const char* a, const RWCString& b) noexcept { return b == a; }
inline bool operator==(const RWCSubString& a, const RWCSubString& b) noexcept
{
    return tls7912d_detail::sameText(a.data(), a.length(), b.data(), b.length());
}
inline bool operator==(const RWCSubString& a, const RWCString& b) noexcept
{
    return tls7912d_detail::sameText(a.data(), a.length(), b.data(), b.length());
}
inline bool operator==(const RWCString& a, const RWCSubString& b) noexcept { return b == a; }
inline bool operator==(const RWCSubString& a, const char* b) noexcept
{
    return tls7912d_detail::sameText(a.data(), a.length(), b ? b : "", tls7912d_detail::textLength(b));
}
inline bool operator==(const char* a, const RWCSubString& b) noexcept { return b == a; }

inline bool operator!=(const RWCString& a, const RWCString& b) noexcept { return !(a == b); }
inline bool operator!=(const RWCString& a, const char* b) noexcept { return !(a == b); }
inline bool operator!=(const char* a, const RWCString& b) noexcept { return !(a == b); }
inline bool operator!=(const RWCSubString& a, const RWCSubString& b) noexcept { return !(a == b); }
inline bool operator!=(const RWCSubString& a, const RWCString& b) noexcept { return !(a == b); }
inline bool operator!=(const RWCString& a, const RWCSubString& b) noexcept { return !(a == b); }
inline bool operator!=(const RWCSubString& a, const char* b) noexcept { return !(a == b); }
inline bool operator!=(const char* a, const RWCSubString& b) noexcept { return !(a == b); }

inline bool operator<(const RWCString& a, const RWCString& b) { return a.compareTo(b) < 0; }
inline bool operator<(const RWCString& a, const char* b) { return a.compareTo(b) < 0; }
inline bool operator<(const char* a, const RWCString& b) { return b.compareTo(a) > 0; }
inline bool operator>(const RWCString& a, const RWCString& b) { return a.compareTo(b) > 0; }
inline bool operator>(const RWCString& a, const char* b) { return a.compareTo(b) > 0; }
inline bool operator>(const char* a, const RWCString& b) { return b.compareTo(a) < 0; }
inline bool operator<=(const RWCString& a, const RWCString& b) { return a.compareTo(b) <= 0; }
inline bool operator<=(const RWCString& a, const char* b) { return a.compareTo(b) <= 0; }
inline bool operator<=(const char* a, const RWCString& b) { return b.compareTo(a) >= 0; }
inline bool operator>=(const RWCString& a, const RWCString& b) { return a.compareTo(b) >= 0; }
inline bool operator>=(const RWCString& a, const char* b) { return a.compareTo(b) >= 0; }
inline bool operator>=(const char* a, const RWCString& b) { return b.compareTo(a) <= 0; }

// Written with the caller's own stream library, never across the module boundary.
inline std::ostream& operator<<(std::ostream& os, const RWCString& s)
{
    return os.write(s.data(), static_cast<std::streamsize>(s.length()));
}
inline std::ostream& operator<<(std::ostream& os, const RWCSubString& s)
{
    return os.write(s.data(), static_cast<std::streamsize>(s.length()));
}

#endif
