#ifndef RWCTOKENIZER_H
#define RWCTOKENIZER_H

#include "RWCString.h"

// Hands out the successive tokens of a string. Runs of delimiters separate tokens, so no token
// is ever empty; a null (empty) sub-string means the text is used up. The tokenizer keeps its
// own copy of the text, and the tokens refer to that copy.
class TLS7912D_API RWCTokenizer
{
public:
    explicit RWCTokenizer(const RWCString& text);
    RWCTokenizer(const RWCTokenizer& other);
    RWCTokenizer& operator=(const RWCTokenizer& other);
    ~RWCTokenizer();

    RWCSubString operator()(); // delimiters blank, tab, newline
    RWCSubString operator()(const char* delims);
    RWCSubString operator()(const char* delims, size_t delimCount); // may include zero bytes
    RWCSubString operator()(const RWCString& delims);               // every byte of delims

    // The text not yet handed out, starting at the next unread position.
    RWCSubString remaining();

private:
    RWCString m_text;
    size_t m_place;
};

#endif
