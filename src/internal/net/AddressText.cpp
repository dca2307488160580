#include "internal/net/AddressText.h"

#include <cstddef>

namespace ravel {

namespace {
const char kDot = '.';
const char kColon = ':';
const char kPercent = '%';

// The IPv6 scan's limits: characters in one group, colons in all, dots in all.
const int kGroupLimit = 4;
const int kColonLimit = 8;
const int kDotLimit = 3;

const std::u16string kTunnelMarks[] = {u"Pseudo-Interface", u"6to4", u"isatap", u"ISATAP"};

bool isDecimal(char c) { return c >= '0' && c <= '9'; }

bool isHex(char c) { return isDecimal(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

bool sameBytes(const unsigned char* bytes, const unsigned char* than, std::size_t n)
{
    for (std::size_t i = 0; i < n; ++i)
        if (bytes[i] != than[i])
            return false;
    return true;
}

const unsigned char kIPv4Loopback[4] = {127, 0, 0, 1};
const unsigned char kIPv6Loopback[16] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1};
const unsigned char kNeverValid[][4] = {{127, 0, 0, 1}, {192, 0, 0, 192}, {0, 0, 0, 0}};
} // namespace

bool isIPv4Text(const RWCString& text)
{
    const char* p = text.data();
    const char* const end = p + text.length();
    for (int group = 0; group < 4; ++group) {
        if (group > 0) {
            if (p == end || *p != kDot)
                return false;
            ++p;
        }
        int digits = 0;
        while (p != end && isDecimal(*p) && digits < 4) {
            ++digits;
            ++p;
        }
        if (digits < 1 || digits > 3)
            return false;
    }
    return p == end;
}

bool isIPv6Text(const RWCString& text)
{
    int group = 0;
    int colons = 0;
    int emptyColons = 0;
    int dots = 0;
    const char* const begin = text.data();
    for (const char* p = begin; p != begin + text.length(); ++p) {
        const char c = *p;
        if (isHex(c)) {
            if (++group > kGroupLimit)
                return false;
        } else if (c == kColon) {
            ++colons;
            if (group == 0 && ++emptyColons > 1)
                return false;
            if (colons > kColonLimit)
                return false;
            group = 0;
        } else if (c == kDot) {
            if (group == 0 || ++dots > kDotLimit)
                return false;
            // The dot opens the next group with one character already counted.
            group = 1;
        } else {
            return false;
        }
    }
    return dots == 0 || dots == kDotLimit;
}

bool hasDot(const RWCString& name) { return name.length() > 0 && name.first(kDot) != RWCString::npos; }

bool isLinkLocalAddress(int family, const unsigned char* bytes)
{
    if (family == kFamilyIPv4)
        return bytes[0] == 169 && bytes[1] == 254;
    if (family == kFamilyIPv6)
        return bytes[0] == 0xFE && (bytes[1] & 0xC0) == 0x80;
    return false;
}

bool isLoopbackAddressBytes(int family, const unsigned char* bytes)
{
    if (family == kFamilyIPv4)
        return sameBytes(bytes, kIPv4Loopback, sizeof kIPv4Loopback);
    if (family == kFamilyIPv6)
        return sameBytes(bytes, kIPv6Loopback, sizeof kIPv6Loopback);
    return false;
}

bool isNeverValidIPv4(const unsigned char* bytes)
{
    for (const unsigned char* never : kNeverValid)
        if (sameBytes(bytes, never, 4))
            return true;
    return false;
}

void placeResolved(RWCStringVector& addresses, const RWCString& text, bool linkLocal)
{
    if (linkLocal)
        addresses.append(text);
    else
        addresses.prepend(text);
}

bool passesFilter(const RWCString& text, const RWCStringVector* filter)
{
    return filter == nullptr || filter->contains(text);
}

RWCString runTogether(const RWCStringVector& addresses)
{
    RWCString all;
    for (const RWCString& a : addresses)
        all += a;
    return all;
}

bool zoneOf(const RWCString& text, long& zone)
{
    const std::size_t at = text.last(kPercent);
    if (at == RWCString::npos)
        return false;
    // Wider than the field: a zone too long for it wraps rather than overflowing.
    unsigned long value = 0;
    for (std::size_t i = at + 1; i < text.length() && isDecimal(text.data()[i]); ++i)
        value = value * 10 + static_cast<unsigned long>(text.data()[i] - '0');
    zone = static_cast<long>(static_cast<unsigned int>(value));
    return true;
}

bool isTunnelDescription(const std::u16string& description)
{
    for (const std::u16string& mark : kTunnelMarks)
        if (description.find(mark) != std::u16string::npos)
            return true;
    return false;
}

bool AdapterAddressWalk::offer(bool loopback, bool linkLocal, const RWCString& text)
{
    if (m_found)
        return false;
    if (loopback) {
        m_loopback = true;
        return true;
    }
    if (text.isNull())
        return true;
    if (linkLocal) {
        m_linkLocal = text;
        return true;
    }
    m_address = text;
    m_found = true;
    return false;
}

} // namespace ravel
