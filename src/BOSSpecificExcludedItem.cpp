#include "BOSSpecificExcludedItem.h"

namespace {
// The list starts with room for 64 types and grows by 64.
const size_t kGrowth = 64;
} // namespace

BOSSpecificExcludedItem::BOSSpecificExcludedItem() : m_types(kGrowth) {}
BOSSpecificExcludedItem::BOSSpecificExcludedItem(const BOSSpecificExcludedItem&) = default;
BOSSpecificExcludedItem& BOSSpecificExcludedItem::operator=(const BOSSpecificExcludedItem&) = default;
BOSSpecificExcludedItem::~BOSSpecificExcludedItem() = default;

bool BOSSpecificExcludedItem::addExcludedOS(teOSExclusionType type)
{
    m_types.insert(type);
    return true;
}

bool BOSSpecificExcludedItem::clearExcludedOSs()
{
    m_types.clear();
    return true;
}

bool BOSSpecificExcludedItem::isExcluded(teOSExclusionType type) { return m_types.contains(type); }

bool BOSSpecificExcludedItem::operator==(const BOSSpecificExcludedItem&) const { return false; }
