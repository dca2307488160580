#pragma once
// Address text as the address-family independent network class reads it: the IPv4 and IPv6
// scans, the classes of raw addresses, the order of resolved addresses and the rules that pick
// the one address an adapter is listed with. No sockets: everything here is plain text and bytes.
#include "RWCString.h"
#include "RWOrderedVector.h"

#include <string>

namespace ravel {

// Socket address families as Windows numbers them.
const int kFamilyIPv4 = 2;
const int kFamilyIPv6 = 23;

// Exactly four groups of one to three decimal digits joined by single dots; values above 255
// pass (999.0.0.1 does).
bool isIPv4Text(const RWCString& text);

// A permissive scan of hexadecimal groups, colons and dots. It does not prove the text is an
// address: the empty text and any text with three dots in a valid place pass, and a leading
// "::" fails because the first colon already counts as the empty group.
bool isIPv6Text(const RWCString& text);

// Not empty and holds a dot somewhere.
bool hasDot(const RWCString& name);

// Classes of a raw address (network byte order, 4 bytes for IPv4, 16 for IPv6). Other families
// are neither.
bool isLinkLocalAddress(int family, const unsigned char* bytes);
bool isLoopbackAddressBytes(int family, const unsigned char* bytes);
// 127.0.0.1, 192.0.0.192 and 0.0.0.0 are never an address worth using.
bool isNeverValidIPv4(const unsigned char* bytes);

// Resolved addresses in the order callers get them: link-local ones at the end in the
// resolver's order, every other one at the front, so those come out newest first.
void placeResolved(RWCStringVector& addresses, const RWCString& text, bool linkLocal);
// Whether a resolved address stays: always without a filter, only when one entry of the filter
// is the same text with one (an empty filter keeps nothing).
bool passesFilter(const RWCString& text, const RWCStringVector* filter);
// The entries run together without separators, for the closing record.
RWCString runTogether(const RWCStringVector& addresses);

// The zone after the last "%" of a numeric address text: its leading decimal digits, 0 when
// there are none. False when the text holds no "%".
bool zoneOf(const RWCString& text, long& zone);

// Whether an adapter's (UTF-16) description names a tunnel pseudo-adapter. The search is
// case-sensitive: "isatap" and "ISATAP" match, "Isatap" does not.
bool isTunnelDescription(const std::u16string& description);

// The walk over one adapter's unicast addresses, in list order. A loopback address marks the
// adapter; a link-local one is remembered (the latest wins) and the walk goes on; the first
// other address that could be rendered is the adapter's, and ends the walk.
class AdapterAddressWalk
{
public:
    // One address: whether it is 127.0.0.1 or ::1, whether it is link-local, and its numeric text
    // (null when it could not be rendered). False once the walk is over.
    bool offer(bool loopback, bool linkLocal, const RWCString& text);

    bool loopbackSeen() const { return m_loopback; }
    bool found() const { return m_found; }
    const RWCString& address() const { return m_address; }
    const RWCString& linkLocal() const { return m_linkLocal; }

private:
    bool m_loopback = false;
    bool m_found = false;
    RWCString m_address;
    RWCString m_linkLocal;
};

} // namespace ravel
