#include "BExcluder.h"

namespace {
const char kExcludedSection[] = "EXCLUDED";
}

BExcluder::BExcluder() : m_bInitialized(false) {}
BExcluder::BExcluder(const BExcluder&) = default;
BExcluder& BExcluder::operator=(const BExcluder&) = default;
BExcluder::~BExcluder() = default;

bool BExcluder::initialize(RWCString iniFile)
{
    if (m_bInitialized)
        return true;
    if (iniFile.isNull() || !m_iniFile.bSetFileName(iniFile))
        return false;
    m_names.clear();
    // Comment lines are names too.
    if (!m_iniFile.bGetSection(kExcludedSection, m_names, false)) {
        m_names.clear();
        return false;
    }
    m_bInitialized = true;
    return true;
}

bool BExcluder::isExcluded(RWCString name)
{
    return m_bInitialized && m_names.find(name, false) != static_cast<unsigned int>(-1);
}
