// Fuzz target: "route print" and "arp -a" text as the library reads it. Any bytes must parse,
// search and reshape without a fault.
#include "internal/net/NetText.h"
#include "sysRouteTableEntryPtrVector.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const RWCString text(reinterpret_cast<const char*>(data), size);
    sysRouteTableEntryPtrVector entries;
    ravel::appendRouteEntries(text, entries);
    // Every parsed field must be an address the rules can use again.
    const unsigned int probes = entries.entries() < 16 ? entries.entries() : 16;
    for (unsigned int i = 0; i < probes; ++i) {
        const sysRouteTableEntry* e = entries[i];
        ravel::closestInterface(entries, e->m_destination);
        RWCString low, high;
        ravel::routeEntryRange(e->m_destination, e->m_netmask, low, high);
    }
    ravel::routeListingHolds(text, "10.0.0.1");
    ravel::arpListingHolds(text, "10.0.0.1", "00-11-22-33-44-55");
    ravel::reshapeListing(text);
    return 0;
}
