#pragma once
#include "BExcluder.h"
#include "BOSSpecificExcludedItem.h"
#include "RWOrderedVector.h"

// An exclusion list whose names are excluded only on the operating systems that a section of
// the same name lists ("windows", "windows95", "windows98", "windowsNT", "windows2000").
class RAVELUTIL_API BOSSpecificExcluder : public BExcluder
{
public:
    BOSSpecificExcluder();
    BOSSpecificExcluder(const BOSSpecificExcluder& other);
    BOSSpecificExcluder& operator=(const BOSSpecificExcluder& other);
    virtual ~BOSSpecificExcluder();

    // The list, then each name's own section.
    bool initialize(RWCString iniFile);
    // Whether the name (ignoring case) is excluded on that operating system.
    bool isExcluded(RWCString name, teOSExclusionType type);
    // The same for the running platform.
    bool isExcluded(RWCString name);

private:
    teOSExclusionType getCurrentOSType();

    RWTValOrderedVector<BOSSpecificExcludedItem> m_items;
};
