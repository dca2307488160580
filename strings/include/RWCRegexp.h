#ifndef RWCREGEXP_H
#define RWCREGEXP_H

#include "RWCString.h"

// A regular expression over 8-bit text, matched without backtracking (time linear in the
// text for a given pattern). Dialect:
//   c        a literal character        \c     the character c taken literally (\. \\ \[ ...)
//   .        any character               [...]  a class: ranges a-z, negation [^...], ] first is literal
//   ^ $      start / end of the text     ?*+    zero-or-one, zero-or-more, one-or-more of the item before
// The first match is the leftmost one; among matches starting there, the longest.
class TLS7912D_API RWCRegexp
{
public:
    enum statVal { OK = 0, ILLEGAL, NOMEMORY, TOOLONG };

    explicit RWCRegexp(const char* pattern);
    explicit RWCRegexp(const RWCString& pattern);
    RWCRegexp(const RWCRegexp& other);
    RWCRegexp& operator=(const RWCRegexp& other);
    RWCRegexp& operator=(const char* pattern);
    RWCRegexp& operator=(const RWCString& pattern);
    ~RWCRegexp();

    // Position of the first match at or after start (npos when none, or when the pattern is
    // invalid); its length goes to *matchLength when that is not null.
    size_t index(const RWCString& text, size_t* matchLength = nullptr, size_t start = 0) const;
    size_t index(const char* text, size_t textLength, size_t* matchLength, size_t start) const;

    statVal status() const noexcept { return m_status; }

private:
    struct Program;
    void compile(const char* pattern, size_t length);

    Program* m_prog;
    statVal m_status;
};

#endif
