#include "BOSSpecificExcluder.h"

#include "internal/config/ExclusionTypes.h"
#include "sysVersion.h"

namespace {
const size_t kGrowth = 64;
}

BOSSpecificExcluder::BOSSpecificExcluder() : m_items(kGrowth) {}
BOSSpecificExcluder::BOSSpecificExcluder(const BOSSpecificExcluder&) = default;
BOSSpecificExcluder& BOSSpecificExcluder::operator=(const BOSSpecificExcluder&) = default;
BOSSpecificExcluder::~BOSSpecificExcluder() = default;

bool BOSSpecificExcluder::initialize(RWCString iniFile)
{
    if (!BExcluder::initialize(iniFile))
        return false;
    // Item i belongs to name i. A repeated call puts fresh items ahead of the earlier ones, which
    // answer the same while the file is unchanged.
    for (unsigned int i = 0; i < m_names.entries(); ++i) {
        BOSSpecificExcludedItem item;
        BStringVector lines;
        if (m_iniFile.bGetSection(m_names[i], lines, false)) {
            for (unsigned int j = 0; j < lines.entries(); ++j) {
                const teOSExclusionType type = ravel::exclusionTypeFromLine(lines[j]);
                if (type != EXCLUDE_OS_NONE)
                    item.addExcludedOS(type);
            }
        }
        m_items.insertAt(i, item);
    }
    m_bInitialized = true;
    return true;
}

bool BOSSpecificExcluder::isExcluded(RWCString name, teOSExclusionType type)
{
    const unsigned int index = m_names.find(name, false);
    if (index >= m_names.entries() || index >= m_items.entries())
        return false;
    return m_items[index].isExcluded(type);
}

bool BOSSpecificExcluder::isExcluded(RWCString name) { return isExcluded(name, getCurrentOSType()); }

teOSExclusionType BOSSpecificExcluder::getCurrentOSType()
{
    return ravel::exclusionTypeForPlatform(sysVersion().getPlatform());
}
