#include "RWCTokenizer.h"

namespace {
const char kWhiteSpace[] = " \t\n";
}

RWCTokenizer::RWCTokenizer(const RWCString& text) : m_text(text), m_place(0) {}

RWCTokenizer::RWCTokenizer(const RWCTokenizer& other) = default;

RWCTokenizer& RWCTokenizer::operator=(const RWCTokenizer& other) = default;

RWCTokenizer::~RWCTokenizer() = default;

RWCSubString RWCTokenizer::operator()() { return (*this)(kWhiteSpace, sizeof kWhiteSpace - 1); }

RWCSubString RWCTokenizer::operator()(const char* delims) { return (*this)(delims, delims ? std::strlen(delims) : 0); }

RWCSubString RWCTokenizer::operator()(const RWCString& delims) { return (*this)(delims.data(), delims.length()); }

RWCSubString RWCTokenizer::operator()(const char* delims, size_t delimCount)
{
    bool isDelim[256] = {};
    for (size_t i = 0; i < delimCount; ++i)
        isDelim[static_cast<unsigned char>(delims[i])] = true;

    const char* text = m_text.data();
    const size_t len = m_text.length();
    while (m_place < len && isDelim[static_cast<unsigned char>(text[m_place])])
        ++m_place;
    if (m_place >= len)
        return RWCSubString(&m_text, RW_NPOS, 0);
    size_t start = m_place;
    while (m_place < len && !isDelim[static_cast<unsigned char>(text[m_place])])
        ++m_place;
    return RWCSubString(&m_text, start, m_place - start);
}

RWCSubString RWCTokenizer::remaining() { return RWCSubString(&m_text, m_place, m_text.length() - m_place); }
