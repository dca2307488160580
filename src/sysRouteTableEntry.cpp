#include "sysRouteTableEntry.h"

sysRouteTableEntry::sysRouteTableEntry() = default;
sysRouteTableEntry::sysRouteTableEntry(const sysRouteTableEntry&) = default;
sysRouteTableEntry& sysRouteTableEntry::operator=(const sysRouteTableEntry&) = default;
sysRouteTableEntry::~sysRouteTableEntry() = default;
