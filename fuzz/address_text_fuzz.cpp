// Fuzz target: address text as the address-family independent class scans it. Any bytes must
// scan without a fault, and the scans must agree where they overlap: IPv4 text always passes the
// permissive IPv6 scan and always holds a dot.
#include "internal/net/AddressText.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const RWCString text(reinterpret_cast<const char*>(data), size);
    const bool v4 = ravel::isIPv4Text(text);
    const bool v6 = ravel::isIPv6Text(text);
    if (v4 && (!v6 || !ravel::hasDot(text)))
        std::abort();
    long zone = 0;
    ravel::zoneOf(text, zone);
    return 0;
}
