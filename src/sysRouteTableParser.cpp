#include "sysRouteTableParser.h"

#include "internal/net/CommandRun.h"
#include "internal/net/NetText.h"
#include "sysRouteTableEntryPtrVector.h"

sysRouteTableParser::sysRouteTableParser() : m_bInitialized(false), m_pEntryVector(nullptr) {}

sysRouteTableParser::sysRouteTableParser(sysRouteTableEntryPtrVector* entries)
    : m_bInitialized(false), m_pEntryVector(entries)
{}

sysRouteTableParser::sysRouteTableParser(const sysRouteTableParser&) = default;
sysRouteTableParser& sysRouteTableParser::operator=(const sysRouteTableParser&) = default;
sysRouteTableParser::~sysRouteTableParser() = default;

bool sysRouteTableParser::beenInitialized() { return m_bInitialized; }

bool sysRouteTableParser::init(sysRouteTableEntryPtrVector* entries)
{
    if (entries == nullptr)
        return false;
    m_pEntryVector = entries;
    parse();
    return true;
}

bool sysRouteTableParser::reset() { return parse(); }

bool sysRouteTableParser::parse()
{
    // Without a vector there is nowhere to put the table.
    if (m_pEntryVector == nullptr)
        return false;
    // A failed capture leaves the text empty: no entries, still a parse.
    ravel::appendRouteEntries(ravel::captureCommand(ravel::kRoutePrintCommand), *m_pEntryVector);
    m_bInitialized = true;
    return true;
}
