#include "sysRouteTable.h"

#include "internal/net/CommandRun.h"
#include "internal/net/NetText.h"
#include "internal/net/RouteCommand.h"
#include "sysVersion.h"

namespace {
const char kAddAttempt[] = "[sysRouteTable::addToRouteTable] attempting to add IP {";
const char kAddNic[] = "} NIC {";
const char kAddFailed[] = "[sysRouteTable::addToRouteTable] FAILED to SpawnProcess - ";
const char kDeleteAttempt[] = "[sysRouteTable::deleteFromRouteTable] attempting to delete IP {";
const char kDeleteFailed[] = "[sysRouteTable::deleteFromRouteTable] FAILED to SpawnProcess - ";
const char kClose[] = "}";

} // namespace

sysRouteTableParser sysRouteTable::m_routeTableParser;
sysRouteTableEntryPtrVector sysRouteTable::m_routeTableEntryVector;
bool sysRouteTable::m_bParserInitialized = false;

sysRouteTable::sysRouteTable() = default;
sysRouteTable::sysRouteTable(const sysRouteTable&) = default;
sysRouteTable& sysRouteTable::operator=(const sysRouteTable&) = default;
sysRouteTable::~sysRouteTable() = default;

bool sysRouteTable::addToRouteTable(RWCString address, RWCString nic)
{
    RAVEL_LOG(CAT_GENERAL, TYPE_INFO, LEVEL_RELEASE, kAddAttempt + address + kAddNic + nic + kClose);
    // Windows 95 and 98 do not keep routes across restarts.
    const tePlatform platform = sysVersion().getPlatform();
    const bool persistent = platform != PLATFORM_WIN95 && platform != PLATFORM_WIN98;
    RWCString line;
    if (ravel::runCommand(persistent ? ravel::kRouteAddPersistent : ravel::kRouteAdd, {address, nic}, line))
        return true;
    RAVEL_LOG(CAT_NETWORK, TYPE_ERROR, LEVEL_RELEASE, kAddFailed + line);
    return false;
}

bool sysRouteTable::deleteFromRouteTable(RWCString address)
{
    RAVEL_LOG(CAT_GENERAL, TYPE_INFO, LEVEL_RELEASE, kDeleteAttempt + address + kClose);
    RWCString line;
    if (ravel::runCommand(ravel::kRouteDelete, {address}, line))
        return true;
    RAVEL_LOG(CAT_NETWORK, TYPE_ERROR, LEVEL_RELEASE, kDeleteFailed + line);
    return false;
}

bool sysRouteTable::inRouteTable(RWCString address)
{
    return ravel::routeListingHolds(ravel::captureCommand(ravel::kRoutePrintCommand), address);
}

RWCString sysRouteTable::dumpRouteTable()
{
    return ravel::reshapeListing(ravel::captureCommand(ravel::kRoutePrintCommand));
}

RWCString sysRouteTable::getNICforClosestMatch(RWCString address)
{
    initializeParser();
    return ravel::closestInterface(m_routeTableEntryVector, address);
}

bool sysRouteTable::initializeParser()
{
    if (m_bParserInitialized)
        return true;
    m_routeTableParser.init(&m_routeTableEntryVector);
    m_bParserInitialized = true;
    return true;
}

bool sysRouteTable::resetParser()
{
    // Before the first parse the parser has no vector yet; give it the process-wide one.
    if (!m_bParserInitialized)
        return initializeParser();
    m_routeTableParser.reset();
    return true;
}

bool sysRouteTable::closerMatch(RWCString netmask, RWCString than) { return ravel::closerMatch(netmask, than); }

bool sysRouteTable::getRouteEntryRange(RWCString destination, RWCString netmask, RWCString& low, RWCString& high)
{
    return ravel::routeEntryRange(destination, netmask, low, high);
}

bool sysRouteTable::isIPInRouteEntryRange(RWCString address, RWCString destination, RWCString netmask)
{
    return ravel::inRouteEntryRange(address, destination, netmask);
}
