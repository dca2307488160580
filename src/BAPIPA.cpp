#include <windows.h>

#include "BAPIPA.h"

#include "BHost.h"
#include "internal/net/Apipa.h"
#include "sysNetwork.h"
#include "sysRouteTable.h"

namespace {
const char kAutoIPSubnet[] = "169.254.0.0";
const char kAutoIPSubnetMask[] = "255.255.0.0";
const unsigned int kMSAttempts = 8;

const char kNoUniqueAddress[] = "Unable to find unique IP for subnet [";
const char kNoUniqueAddressEnd[] = "].";
} // namespace

BAPIPA::BAPIPA() : m_autoIPSubnet(kAutoIPSubnet), m_autoIPSubnetMask(kAutoIPSubnetMask) {}
BAPIPA::BAPIPA(const BAPIPA&) = default;
BAPIPA& BAPIPA::operator=(const BAPIPA&) = default;
BAPIPA::~BAPIPA() = default;

bool BAPIPA::getAutoIPAddress(RWCString subnet, RWCString* address, unsigned int attempts)
{
    if (!sysNetwork().isIPProtocolPresent())
        return false;
    const std::uint32_t seed = ravel::apipaSeed(GetCurrentProcessId());
    unsigned numbers[4];
    ravel::apipaSubnetNumbers(subnet.data(), numbers);
    bool routeAdded = false;
    for (unsigned int k = attempts; k >= 1; --k) {
        const ravel::ApipaCandidate candidate = ravel::apipaCandidate(numbers, seed, k);
        *address = candidate.text.c_str();
        if (candidate.skipped)
            continue;
        switch (BHost().hostPresentWithRouteAdd(*address, routeAdded, 0, true, RWCString())) {
        case BHost::HOST_NOT_PRESENT:
            return true;
        case BHost::HOST_PRESENT:
            // Taken; the route that reached it is not ours to keep.
            if (routeAdded)
                sysRouteTable().deleteFromRouteTable(*address);
            break;
        default:
            return false;
        }
    }
    RAVEL_LOG(CAT_NETWORK, TYPE_INFO, LEVEL_RELEASE, kNoUniqueAddress + subnet + kNoUniqueAddressEnd);
    return false;
}

bool BAPIPA::getMSAutoIPAddress(RWCString* address)
{
    if (getAutoIPAddress(m_autoIPSubnet, address, kMSAttempts))
        return true;
    *address = RWCString();
    return false;
}

bool BAPIPA::getMSAutoIPSubnet(RWCString* subnet)
{
    *subnet = m_autoIPSubnet;
    return true;
}

bool BAPIPA::getMSAutoIPSubnetMask(RWCString* mask)
{
    *mask = m_autoIPSubnetMask;
    return true;
}

RWCString ravelApipaCandidate(RWCString subnet, unsigned long processId, unsigned int countdown, bool& skipped)
{
    unsigned numbers[4];
    ravel::apipaSubnetNumbers(subnet.data(), numbers);
    const ravel::ApipaCandidate candidate = ravel::apipaCandidate(numbers, ravel::apipaSeed(processId), countdown);
    skipped = candidate.skipped;
    return RWCString(candidate.text.c_str());
}
