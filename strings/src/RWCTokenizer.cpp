#include "RWCTokenizer.h"

namespace {
const char kWhiteSpace[] = " \t\n";
}

RWCTokenizer::RWCTokenizer(const RWCString& text) : text_(text), place_(0) {}

RWCTokenizer::RWCTokenizer(const RWCTokenizer& other) = default;

RWCTokenizer& RWCTokenizer::operator=(const RWCTokenizer& other) = default;

RWCTokenizer::~RWCTokenizer() = default;

RWCSubString RWCTokenizer::operator()()
{
    return (*this)(kWhiteSpace, sizeof kWhiteSpace - 1);
}

RWCSubString RWCTokenizer::operator()(const char* delims)
{
    return (*this)(delims, delims ? std::strlen(delims) : 0);
}

RWCSubString RWCTokenizer::operator()(const RWCString& delims)
{
    return (*this)(delims.data(), delims.length());
}

RWCSubString RWCTokenizer::operator()(const char* delims, size_t delimCount)
{
    bool isDelim[256] = {};
    for (size_t i = 0; i < delimCount; ++i)
        isDelim[static_cast<unsigned char>(delims[i])] = true;

    const char* text = text_.data();
    const size_t len = text_.length();
    while (place_ < len && isDelim[static_cast<unsigned char>(text[place_])])
        ++place_;
    if (place_ >= len)
        return RWCSubString(&text_, RW_NPOS, 0);
    size_t start = place_;
    while (place_ < len && !isDelim[static_cast<unsigned char>(text[place_])])
        ++place_;
    return RWCSubString(&text_, start, place_ - start);
}

RWCSubString RWCTokenizer::remaining()
{
    return RWCSubString(&text_, place_, text_.length() - place_);
}
