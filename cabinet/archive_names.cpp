#include "archive_names.h"

#include <cstring>

namespace cabinet {

namespace {

bool isSeparator(char c) { return c == '\\' || c == '/'; }

// A component of only dots and blanks with at least two dots: Windows drops trailing dots and
// blanks, so "..." and ".. " climb like "..".
bool isParentComponent(const char* begin, const char* end)
{
    int dots = 0;
    for (const char* c = begin; c != end; ++c) {
        if (*c == '.')
            ++dots;
        else if (*c != ' ')
            return false;
    }
    return dots >= 2;
}

char upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// The part before the first dot, without trailing blanks and dots, names a device whatever
// follows: "con", "CON.txt", "nul .log", "com1..".
bool isDeviceComponent(const char* begin, const char* end)
{
    const char* stem = begin;
    while (stem != end && *stem != '.')
        ++stem;
    while (stem != begin && (stem[-1] == ' ' || stem[-1] == '.'))
        --stem;
    const std::size_t n = static_cast<std::size_t>(stem - begin);
    char name[4];
    if (n != 3 && n != 4)
        return false;
    for (std::size_t i = 0; i < n; ++i)
        name[i] = upper(begin[i]);
    if (n == 3)
        return std::memcmp(name, "CON", 3) == 0 || std::memcmp(name, "PRN", 3) == 0 ||
               std::memcmp(name, "AUX", 3) == 0 || std::memcmp(name, "NUL", 3) == 0;
    return (std::memcmp(name, "COM", 3) == 0 || std::memcmp(name, "LPT", 3) == 0) && name[3] >= '1' && name[3] <= '9';
}

} // namespace

bool decodeUtf8(const char* text, std::u16string& wide)
{
    wide.clear();
    const auto* p = reinterpret_cast<const unsigned char*>(text);
    while (*p != 0) {
        const unsigned lead = *p;
        unsigned length = 0;
        unsigned long code = 0, least = 0;
        if (lead < 0x80) {
            length = 1, code = lead;
        } else if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2, code = lead & 0x1F, least = 0x80;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3, code = lead & 0x0F, least = 0x800;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4, code = lead & 0x07, least = 0x10000;
        } else {
            return false; // a continuation byte first, or a lead that can only start an overlong form
        }
        for (unsigned i = 1; i < length; ++i) {
            if ((p[i] & 0xC0) != 0x80)
                return false; // also stops at the terminating zero
            code = (code << 6) | (p[i] & 0x3F);
        }
        if (code < least || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
            return false;
        if (code >= 0x10000) {
            code -= 0x10000;
            wide.push_back(static_cast<char16_t>(0xD800 + (code >> 10)));
            wide.push_back(static_cast<char16_t>(0xDC00 + (code & 0x3FF)));
        } else {
            wide.push_back(static_cast<char16_t>(code));
        }
        p += length;
    }
    return true;
}

bool isUnsafeArchiveName(const char* name, bool utf8)
{
    if (name == nullptr || isSeparator(name[0]) || std::strchr(name, ':') != nullptr)
        return true;
    if (utf8) {
        std::u16string ignored;
        if (!decodeUtf8(name, ignored))
            return true;
    }
    // Well-formed UTF-8 encodes every ASCII character as itself, so the byte rules below judge
    // the decoded name too.
    const char* part = name;
    for (const char* p = name;; ++p) {
        if (isSeparator(*p) || *p == '\0') {
            if (isParentComponent(part, p) || isDeviceComponent(part, p))
                return true;
            if (*p == '\0')
                return false;
            part = p + 1;
        }
    }
}

} // namespace cabinet
