#include "sysArpTable.h"

#include "internal/net/CommandRun.h"
#include "internal/net/NetText.h"

namespace {
const char kAdd[] = "arp -s %s %s %s";
const char kDelete[] = "arp -d %s";

const char kColon[] = ":";
const char kDash[] = "-";

const char kAddIp[] = "[sysArpTable::addToArpTableWithInterface] IP : ";
const char kAddMac[] = " MAC : ";
const char kAddNic[] = " NIC : ";
const char kAddFailed[] = "[sysArpTable::addToArpTableWithInterface] FAILED to SpawnProcess - ";
const char kDeleteIp[] = "[sysArpTable::deleteFromArpTable] IP : ";
const char kDeleteFailed[] = "[sysArpTable::deleteFromArpTable] FAILED to SpawnProcess - ";

} // namespace

sysArpTable::sysArpTable() = default;
sysArpTable::sysArpTable(const sysArpTable&) = default;
sysArpTable& sysArpTable::operator=(const sysArpTable&) = default;
sysArpTable::~sysArpTable() = default;

RWCString sysArpTable::dumpArpTable() { return ravel::reshapeListing(ravel::captureCommand(ravel::kArpListCommand)); }

bool sysArpTable::inARPTable(RWCString ip, RWCString mac)
{
    replaceStr1WithStr2(mac, kColon, kDash);
    return ravel::arpListingHolds(ravel::captureCommand(ravel::kArpListCommand), ip, mac);
}

bool sysArpTable::addToArpTableWithInterface(RWCString ip, RWCString mac, RWCString nic)
{
    replaceStr1WithStr2(mac, kColon, kDash);
    RAVEL_LOG(CAT_GENERAL, TYPE_INFO, LEVEL_RELEASE, kAddIp + ip + kAddMac + mac + kAddNic + nic);
    RWCString line;
    if (ravel::runCommand(kAdd, {ip, mac, nic}, line))
        return true;
    RAVEL_LOG(CAT_NETWORK, TYPE_ERROR, LEVEL_RELEASE, kAddFailed + line);
    return false;
}

bool sysArpTable::deleteFromArpTable(RWCString ip)
{
    RAVEL_LOG(CAT_GENERAL, TYPE_INFO, LEVEL_RELEASE, kDeleteIp + ip);
    RWCString line;
    if (ravel::runCommand(kDelete, {ip}, line))
        return true;
    RAVEL_LOG(CAT_NETWORK, TYPE_ERROR, LEVEL_RELEASE, kDeleteFailed + line);
    return false;
}

bool sysArpTable::replaceStr1WithStr2(RWCString& text, RWCString str1, RWCString str2)
{
    text = ravel::replaceEach(text, str1, str2);
    return true;
}
