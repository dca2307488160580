#pragma once
#include "RavelExport.h"

class sysRouteTableEntryPtrVector;

// Reads the IPv4 route table from "route print" and appends one entry per route line to a
// vector it does not own. Each parse appends a complete new copy of the table.
class RAVELUTIL_API sysRouteTableParser
{
public:
    sysRouteTableParser();
    explicit sysRouteTableParser(sysRouteTableEntryPtrVector* entries);
    sysRouteTableParser(const sysRouteTableParser& other);
    sysRouteTableParser& operator=(const sysRouteTableParser& other);
    virtual ~sysRouteTableParser();

    bool beenInitialized();
    // Stores the vector and parses into it; false (and nothing changed) for a null vector.
    bool init(sysRouteTableEntryPtrVector* entries);
    // Parses again into the stored vector, after the entries already there.
    bool reset();

private:
    bool parse();

    bool m_bInitialized;
    sysRouteTableEntryPtrVector* m_pEntryVector;
};
