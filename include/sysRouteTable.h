#pragma once
#include "LogInterface.h"
#include "RWCString.h"
#include "sysRouteTableEntryPtrVector.h"
#include "sysRouteTableParser.h"

// The IPv4 route table through the system's route command: host routes added and deleted, the
// listing searched and returned, and the local interface that reaches an address most closely,
// chosen from one process-wide parse of the table made on first use.
class RAVELUTIL_API sysRouteTable : public LogInterface
{
public:
    sysRouteTable();
    sysRouteTable(const sysRouteTable& other);
    sysRouteTable& operator=(const sysRouteTable& other);
    virtual ~sysRouteTable();

    // True when the route command ran; its own verdict is not examined.
    bool addToRouteTable(RWCString address, RWCString nic);
    bool deleteFromRouteTable(RWCString address);
    // Whether the address stands as a whole number in some line of the listing.
    bool inRouteTable(RWCString address);
    RWCString dumpRouteTable();
    // The interface of the closest covering route, or "NOT FOUND".
    RWCString getNICforClosestMatch(RWCString address);

    static bool initializeParser();
    // Parses again; the fresh entries follow the older ones, which stay.
    static bool resetParser();

private:
    bool closerMatch(RWCString netmask, RWCString than);
    bool getRouteEntryRange(RWCString destination, RWCString netmask, RWCString& low, RWCString& high);
    bool isIPInRouteEntryRange(RWCString address, RWCString destination, RWCString netmask);

    static sysRouteTableParser m_routeTableParser;
    static sysRouteTableEntryPtrVector m_routeTableEntryVector;
    static bool m_bParserInitialized;
};
