#include "internal/net/NetText.h"

#include "RWCTokenizer.h"
#include "sysIPAddress.h"
#include "sysRouteTableEntryPtrVector.h"

#include <cstdint>
#include <memory>

namespace ravel {

const char kNotFound[] = "NOT FOUND";
const char kRoutePrintCommand[] = "route print";
const char kArpListCommand[] = "arp.exe -a";

namespace {
const char kLineFeed = '\n';
const char kDigits[] = "0123456789";

bool isDigit(char c)
{
    for (const char* d = kDigits; *d != '\0'; ++d)
        if (c == *d)
            return true;
    return false;
}

// Whether the first occurrence of the text in the line stands alone; only that one is tried.
bool firstStandsAlone(const RWCString& line, const RWCString& text)
{
    const std::size_t at = line.index(text, 0, RWCString::ignoreCase);
    return at != RWCString::npos && standsAlone(line, at, text.length());
}

std::uint32_t toNumber(const RWCString& address)
{
    unsigned char b[4];
    sysIPAddress::IPtoByte(address, b[0], b[1], b[2], b[3]);
    return (std::uint32_t(b[0]) << 24) | (std::uint32_t(b[1]) << 16) | (std::uint32_t(b[2]) << 8) | b[3];
}

RWCString toText(std::uint32_t n)
{
    RWCString text;
    sysIPAddress::byteToIP(text, static_cast<unsigned char>(n >> 24), static_cast<unsigned char>(n >> 16),
                           static_cast<unsigned char>(n >> 8), static_cast<unsigned char>(n));
    return text;
}
} // namespace

bool LineReader::next(RWCString& line)
{
    const std::size_t end = m_text.first(kLineFeed, m_next);
    if (end == RWCString::npos)
        return false;
    line = RWCString(m_text.data() + m_next, end - m_next);
    m_next = end + 1;
    return true;
}

bool standsAlone(const RWCString& line, std::size_t pos, std::size_t length)
{
    if (pos > 0 && isDigit(line.data()[pos - 1]))
        return false;
    const std::size_t after = pos + length;
    return !(after < line.length() && isDigit(line.data()[after]));
}

RWCString reshapeListing(const RWCString& listing)
{
    RWCString shaped;
    LineReader lines(listing);
    RWCString line;
    while (lines.next(line)) {
        if (line.length() > 2) {
            shaped.append(line.data(), line.length() - 2);
            shaped += kLineFeed;
        }
    }
    shaped += kLineFeed;
    return shaped;
}

bool routeListingHolds(const RWCString& listing, const RWCString& address)
{
    LineReader lines(listing);
    RWCString line;
    while (lines.next(line)) {
        if (!line.contains(address, RWCString::ignoreCase))
            continue;
        // The neighbours are those of the first exact occurrence.
        const std::size_t at = line.index(address);
        if (at != RWCString::npos && standsAlone(line, at, address.length()))
            return true;
    }
    return false;
}

bool arpListingHolds(const RWCString& listing, const RWCString& address, const RWCString& hardware)
{
    LineReader lines(listing);
    RWCString line;
    while (lines.next(line)) {
        if (firstStandsAlone(line, address) && firstStandsAlone(line, hardware))
            return true;
    }
    return false;
}

RWCString replaceEach(const RWCString& text, const RWCString& what, const RWCString& with)
{
    // One pass from the front: the same result as searching afresh from the start after each
    // replacement, since the replacement never holds the character replaced.
    RWCString result;
    std::size_t from = 0;
    for (std::size_t at; (at = text.index(what, from)) != RWCString::npos && !what.isNull();
         from = at + what.length()) {
        result.append(text.data() + from, at - from);
        result += with;
    }
    result.append(text.data() + from, text.length() - from);
    return result;
}

bool formatCommandLine(const char* pattern, std::initializer_list<RWCString> texts, RWCString& line)
{
    line = RWCString();
    const RWCString* next = texts.begin();
    for (const char* p = pattern; *p != '\0'; ++p) {
        if (p[0] == '%' && p[1] == 's') {
            if (next != texts.end())
                line.append(next++->data());
            ++p;
        } else {
            line += *p;
        }
    }
    return line.length() < kCommandLineSize;
}

void appendRouteEntries(const RWCString& listing, sysRouteTableEntryPtrVector& entries)
{
    LineReader lines(listing);
    RWCString line;
    while (lines.next(line)) {
        RWCTokenizer next(line);
        RWCString first(next());
        if (first.isNull() || !sysIPAddress::isValid(first))
            continue;
        auto entry = std::make_unique<sysRouteTableEntry>();
        RWCString* const columns[] = {&entry->m_destination, &entry->m_netmask, &entry->m_gateway, &entry->m_interface};
        *columns[0] = first;
        // A column that is not an address stays empty but keeps its place; the metric and
        // whatever follows it do not matter.
        for (std::size_t column = 1; column < 4; ++column) {
            RWCString token(next());
            if (token.isNull())
                break;
            if (sysIPAddress::isValid(token))
                *columns[column] = token;
        }
        entries.insert(entry.release());
    }
}

bool routeEntryRange(RWCString destination, RWCString netmask, RWCString& low, RWCString& high)
{
    if (!sysIPAddress::isValid(destination) || !sysIPAddress::isValid(netmask))
        return false;
    const std::uint32_t d = toNumber(destination);
    const std::uint32_t m = toNumber(netmask);
    if (m == 0xFFFFFFFFu) {
        low = high = toText(d);
        return true;
    }
    // The network and broadcast addresses are left out.
    low = toText((d & m) | 1u);
    high = toText(((d & m) | ~m) & ~1u);
    return true;
}

bool inRouteEntryRange(const RWCString& address, const RWCString& destination, const RWCString& netmask)
{
    RWCString low, high;
    routeEntryRange(destination, netmask, low, high);
    unsigned char a[4], l[4], h[4];
    sysIPAddress::IPtoByte(address, a[0], a[1], a[2], a[3]);
    sysIPAddress::IPtoByte(low, l[0], l[1], l[2], l[3]);
    sysIPAddress::IPtoByte(high, h[0], h[1], h[2], h[3]);
    for (int i = 0; i < 4; ++i) {
        if (a[i] < l[i] || a[i] > h[i])
            return false;
        if (a[i] > l[i] && a[i] < h[i])
            return true;
    }
    return true;
}

bool closerMatch(const RWCString& netmask, const RWCString& than)
{
    unsigned char a[4], b[4];
    sysIPAddress::IPtoByte(netmask, a[0], a[1], a[2], a[3]);
    sysIPAddress::IPtoByte(than, b[0], b[1], b[2], b[3]);
    for (int i = 0; i < 4; ++i)
        if (a[i] < b[i])
            return false;
    return true;
}

RWCString closestInterface(const sysRouteTableEntryPtrVector& entries, const RWCString& address)
{
    const sysRouteTableEntry* best = nullptr;
    for (unsigned int i = 0; i < entries.entries(); ++i) {
        const sysRouteTableEntry* entry = entries[i];
        if (!inRouteEntryRange(address, entry->m_destination, entry->m_netmask))
            continue;
        // The first match is kept even without an interface; later ones must name one.
        if (best == nullptr || (closerMatch(entry->m_netmask, best->m_netmask) && !entry->m_interface.isNull()))
            best = entry;
    }
    return best != nullptr ? best->m_interface : RWCString(kNotFound);
}

} // namespace ravel
