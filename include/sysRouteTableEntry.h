#pragma once
#include "RWCString.h"
#include "RavelExport.h"

// One line of the IPv4 route table. A field is empty when its column was missing or not an
// address; every other field holds a canonical address.
class RAVELUTIL_API sysRouteTableEntry
{
public:
    sysRouteTableEntry();
    sysRouteTableEntry(const sysRouteTableEntry& other);
    sysRouteTableEntry& operator=(const sysRouteTableEntry& other);
    virtual ~sysRouteTableEntry();

    RWCString m_destination;
    RWCString m_netmask;
    RWCString m_gateway;
    RWCString m_interface;
};
