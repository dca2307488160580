#include "sysRouteTableEntryPtrVector.h"

#include "sysRouteTableEntry.h"

#include <algorithm>
#include <memory>

namespace {
// The vector starts with room for this many pointers and grows by as many again.
const unsigned int kGrowth = 64;
} // namespace

sysRouteTableEntryPtrVector::sysRouteTableEntryPtrVector()
    : m_capacity(kGrowth), m_array(new sysRouteTableEntry*[kGrowth]), m_count(0)
{}

sysRouteTableEntryPtrVector::sysRouteTableEntryPtrVector(const sysRouteTableEntryPtrVector& other)
    : sysRouteTableEntryPtrVector()
{
    for (unsigned int i = 0; i < other.m_count; ++i)
        insert(new sysRouteTableEntry(*other.m_array[i]));
}

sysRouteTableEntryPtrVector& sysRouteTableEntryPtrVector::operator=(const sysRouteTableEntryPtrVector& other)
{
    if (this == &other)
        return *this;
    // Copy first, so a failed allocation leaves this vector as it was.
    sysRouteTableEntryPtrVector copy(other);
    std::swap(m_capacity, copy.m_capacity);
    std::swap(m_array, copy.m_array);
    std::swap(m_count, copy.m_count);
    return *this;
}

sysRouteTableEntryPtrVector::~sysRouteTableEntryPtrVector()
{
    destroyAll();
    delete[] m_array;
}

void sysRouteTableEntryPtrVector::insert(sysRouteTableEntry* entry)
{
    std::unique_ptr<sysRouteTableEntry> owned(entry);
    if (m_count == m_capacity) {
        const unsigned int capacity = m_count + kGrowth;
        sysRouteTableEntry** grown = new sysRouteTableEntry*[capacity];
        std::copy(m_array, m_array + m_count, grown);
        delete[] m_array;
        m_array = grown;
        m_capacity = capacity;
    }
    m_array[m_count++] = owned.release();
}

void sysRouteTableEntryPtrVector::destroyAll()
{
    for (unsigned int i = 0; i < m_count; ++i)
        delete m_array[i];
    m_count = 0;
}
