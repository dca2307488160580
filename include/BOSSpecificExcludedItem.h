#pragma once
#include "RWOrderedVector.h"
#include "RavelExport.h"

// The operating systems an exclusion list can name. No list names NONE or WINXP.
enum teOSExclusionType {
    EXCLUDE_OS_NONE = 0,
    EXCLUDE_OS_WINDOWS = 1,
    EXCLUDE_OS_WIN95 = 2,
    EXCLUDE_OS_WIN98 = 3,
    EXCLUDE_OS_WINNT = 4,
    EXCLUDE_OS_WIN2000 = 5,
    EXCLUDE_OS_WINXP = 6
};

// The operating systems on which one listed name is excluded.
class RAVELUTIL_API BOSSpecificExcludedItem
{
public:
    BOSSpecificExcludedItem();
    BOSSpecificExcludedItem(const BOSSpecificExcludedItem& other);
    BOSSpecificExcludedItem& operator=(const BOSSpecificExcludedItem& other);
    virtual ~BOSSpecificExcludedItem();

    // Duplicates are kept. Always true.
    bool addExcludedOS(teOSExclusionType type);
    bool clearExcludedOSs();
    bool isExcluded(teOSExclusionType type);

    // Items are never equal: a search for one never finds it.
    bool operator==(const BOSSpecificExcludedItem& other) const;

private:
    RWTValOrderedVector<teOSExclusionType> m_types;
};
