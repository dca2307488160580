#pragma once
#include "RWBoundsErr.h"
#include "RavelExport.h"
#include "sysRouteTableEntry.h"

// An ordered vector of route entries that owns what it points to. Copies hold copies of the
// entries, so no entry ever has two owners.
class RAVELUTIL_API sysRouteTableEntryPtrVector
{
public:
    sysRouteTableEntryPtrVector();
    sysRouteTableEntryPtrVector(const sysRouteTableEntryPtrVector& other);
    sysRouteTableEntryPtrVector& operator=(const sysRouteTableEntryPtrVector& other);
    ~sysRouteTableEntryPtrVector();

    // Takes ownership of the entry and stores it at the end.
    void insert(sysRouteTableEntry* entry);
    unsigned int entries() const { return m_count; }

    // Inline so that the bounds error is raised in the caller's own module.
    sysRouteTableEntry* operator[](unsigned int index) const
    {
        if (index >= m_count)
            RWBoundsErr::raise(index, m_count);
        return m_array[index];
    }

private:
    void destroyAll();

    unsigned int m_capacity;
    sysRouteTableEntry** m_array;
    unsigned int m_count;
};
