#pragma once
// Rules shared by the classes that read and drive the system's route and arp commands.
#include "RWCString.h"

#include <cstddef>
#include <initializer_list>

class sysRouteTableEntryPtrVector;

namespace ravel {

// Hands out the lines of a command's output: the text before each "\n". A last piece without
// a closing "\n" is never handed out; a carriage return before the "\n" stays in the line.
class LineReader
{
public:
    explicit LineReader(const RWCString& text) : m_text(text), m_next(0) {}
    bool next(RWCString& line);

private:
    const RWCString& m_text;
    std::size_t m_next;
};

// Whether the text at [pos, pos + length) of the line has no decimal digit just before or just
// after it, so that 10.0.0.1 does not count inside 110.0.0.1 or 10.0.0.10.
bool standsAlone(const RWCString& line, std::size_t pos, std::size_t length);

// The listing as people read it: each line of more than two characters without its last two
// (the "\r" and one more), each followed by "\n", and a final "\n".
RWCString reshapeListing(const RWCString& listing);

// Whether one line of "route print" output holds the address as a whole number.
bool routeListingHolds(const RWCString& listing, const RWCString& address);

// Whether one line of "arp -a" output holds both the address and the hardware address (already
// in dash form), each as a whole number.
bool arpListingHolds(const RWCString& listing, const RWCString& address, const RWCString& hardware);

// Every occurrence of the one-character text `what` replaced by `with`.
RWCString replaceEach(const RWCString& text, const RWCString& what, const RWCString& with);

// Command lines live in buffers of this size: 255 characters and the terminator.
const std::size_t kCommandLineSize = 256;

// The template with each "%s" filled, in order, from the texts (each up to its first zero byte, as
// the C formatting would). False when the result would not fit in a command-line buffer; the
// line is complete either way so that a failure can be reported with it.
bool formatCommandLine(const char* pattern, std::initializer_list<RWCString> texts, RWCString& line);

// Appends one entry for each line of "route print" output that starts with an IPv4 address.
void appendRouteEntries(const RWCString& listing, sysRouteTableEntryPtrVector& entries);

// The first and last host address of a route (both the destination for a host route); false,
// bounds untouched, when the destination or the netmask is not an address.
bool routeEntryRange(RWCString destination, RWCString netmask, RWCString& low, RWCString& high);
// Whether the address lies within the route's host range, byte by byte.
bool inRouteEntryRange(const RWCString& address, const RWCString& destination, const RWCString& netmask);
// Whether every byte of the first netmask is at least the matching byte of the second.
bool closerMatch(const RWCString& netmask, const RWCString& than);
// The interface of the route that covers the address most closely, or "NOT FOUND".
RWCString closestInterface(const sysRouteTableEntryPtrVector& entries, const RWCString& address);

extern const char kNotFound[];
// The listings the library reads.
extern const char kRoutePrintCommand[];
extern const char kArpListCommand[];

} // namespace ravel
