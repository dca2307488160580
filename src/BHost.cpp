#include "BHost.h"

#include "BFileInstaller.h"
#include "BRegistry.h"
#include "BStringVector.h"
#include "RWCTokenizer.h"
#include "RavelConvert.h"
#include "sysArpTable.h"
#include "sysFileStructure.h"
#include "sysNetwork.h"
#include "sysRouteTable.h"
#include "sysVersion.h"

namespace {
const char kRunKey[] = "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const char kRouteAddExe[] = "qvkxora.exe";
const char kRunValueName[] = "qvkxoroute";
const char kStringLibraryDll[] = "tls704d.dll";
const char kIostreamRuntimeDll[] = "msvcirt.dll";
const char kRuntimeDll[] = "msvcrt.dll";
const char kUtilitiesDll[] = "qvzkut01.dll";

// The one printer address that is also bound to its hardware address while routes are tried.
const char kSpecialAddress[] = "192.0.0.192";
const unsigned int kProbeArgument = 60;
const char kAddressDelimiters[] = " \t\n";
const char kHelperSwitchPrinter[] = " -i ";
const char kHelperSwitchNic[] = " -g ";
const char kSourceDirectory[] = ".";

const char kFound[] = " found.";
const char kAddRoute[] = "hostPresentWithRouteAdd: addroute IP:";
const char kAddRouteInterface[] = " Interface IP:";
const char kReturnValue[] = "hostPresentWithRouteAdd: returnValue: ";

const char kEnableAddRoute[] = "enableCommunications: addroute IP:";
const char kEnablePresent[] = "enableCommunications: host IS present";
const char kEnableRouteAdded[] = "enableCommunications: route was added in the hostPresentWithRouteAdd call.";
const char kEnableRouteNotAdded[] = "enableCommunications: route was NOT added in the hostPresentWithRouteAdd call.";
const char kEnableNotPresent[] = "enableCommunications: host NOT present";
const char kDisableDelete[] = "disableCommunications: delete route IP:";

const char kFilesCurrent[] = "BHost::copyRouteAddExeToWindowsDirectory : Files are current.";
const char kFilesNotCurrent[] = "BHost::copyRouteAddExeToWindowsDirectory : Files are NOT current. Installing...";
const char kInstallFailed[] = "BHost::copyRouteAddExeToWindowsDirectory : File install FAILED.";
const char kSetupKeyFailed[] = "BHost::copyAndSetupRouteAddExe : Registry Set Working Key FAILED - Key = ";
const char kSetupAlreadySet[] = "BHost::copyAndSetupRouteAddExe : Registry Already Set - Key = ";
const char kSetupDone[] = "BHost::copyAndSetupRouteAddExe : Registry Set ";
const char kSetupFailed[] = "BHost::copyAndSetupRouteAddExe : Registry Set FAILED - Key =";
const char kRemoveKeyFailed[] = "BHost::deleteAndRemoveSetupRouteAddExe : Registry Set Working Key FAILED - Key = ";
const char kRemoveDone[] = "BHost::deleteAndRemoveSetupRouteAddExe : Registry deleteValue ";
const char kRemoveFailed[] = "BHost::deleteAndRemoveSetupRouteAddExe: Registry deleteValue FAILED - Key =";

BHost::teHostPresent probe(const RWCString& address)
{
    return static_cast<BHost::teHostPresent>(sysNetwork().hostPresent(address, kProbeArgument));
}

// The first `count` addresses of the list, in its order.
void firstAddresses(const RWCString& list, int count, BStringVector& addresses)
{
    RWCTokenizer next(list);
    for (int i = 0; i < count; ++i) {
        const RWCString token(next(kAddressDelimiters));
        if (token.isNull())
            break;
        addresses.insert(token);
    }
}
} // namespace

bool BHost::m_bOkToDisable = true;

BHost::BHost()
    : m_runKey(kRunKey), m_routeAddExe(kRouteAddExe), m_runValueName(kRunValueName),
      m_stringLibraryDll(kStringLibraryDll), m_iostreamRuntimeDll(kIostreamRuntimeDll), m_runtimeDll(kRuntimeDll),
      m_utilitiesDll(kUtilitiesDll)
{}

BHost::BHost(const BHost&) = default;
BHost::~BHost() = default;

BHost::teHostPresent BHost::hostPresentWithRouteAdd(RWCString address, bool& routeAdded, unsigned int,
                                                    bool installHelper, RWCString hardwareAddress)
{
    routeAdded = false;
    RWCString list;
    int count = 0;
    if (!sysNetwork().getInterfaces(list, count) || count < 1)
        return HOST_PROBE_FAILED;
    BStringVector interfaces;
    firstAddresses(list, count, interfaces);

    const bool special = !hardwareAddress.isNull() && address == kSpecialAddress;
    sysArpTable arp;
    sysRouteTable routes;
    if (special)
        arp.addToArpTableWithInterface(address, hardwareAddress, interfaces[0]);
    teHostPresent result = probe(address);
    if (result == HOST_PRESENT) {
        routeAdded = false;
        RAVEL_LOG(CAT_GENERAL, TYPE_INFO, LEVEL_RELEASE, address + kFound);
        return HOST_PRESENT;
    }
    if (special)
        arp.deleteFromArpTable(address);

    const bool helper = installHelper && sysVersion().isWin9x();
    for (unsigned int i = 0; i < interfaces.entries(); ++i) {
        const RWCString nic = interfaces[i];
        RAVEL_LOG(CAT_GENERAL, TYPE_INFO, LEVEL_RELEASE, kAddRoute + address + kAddRouteInterface + nic);
        if (helper)
            copyAndSetupRouteAddExe(address, nic);
        const bool routeRan = routes.addToRouteTable(address, nic);
        const bool arpRan = !special || arp.addToArpTableWithInterface(address, hardwareAddress, nic);
        // A command that cannot run ends the search; what this attempt added stays.
        if (!routeRan || !arpRan) {
            result = HOST_PROBE_FAILED;
            break;
        }
        routeAdded = true;
        result = probe(address);
        if (result == HOST_PRESENT) {
            RAVEL_LOG(CAT_GENERAL, TYPE_INFO, LEVEL_RELEASE, address + kFound);
            break;
        }
        if (helper)
            deleteAndRemoveSetupRouteAddExe(address);
        if (special)
            arp.deleteFromArpTable(address);
        if (!routes.deleteFromRouteTable(address)) {
            result = HOST_PROBE_FAILED;
            break;
        }
        routeAdded = false;
    }
    RAVEL_LOG(CAT_GENERAL, TYPE_INFO, LEVEL_RELEASE, kReturnValue + iToRWCString(result, 10));
    return result;
}

bool BHost::enableCommunications(RWCString address, bool installHelper, RWCString hardwareAddress)
{
    // While communications must stay, the route has to come back at every start.
    const bool helper = installHelper || !m_bOkToDisable;
    if (!sysNetwork().isIPProtocolPresent())
        return false;
    RAVEL_LOG(CAT_GENERAL, TYPE_INFO, LEVEL_RELEASE, kEnableAddRoute + address);
    bool routeAdded = false;
    if (hostPresentWithRouteAdd(address, routeAdded, kProbeArgument, helper, hardwareAddress) == HOST_PRESENT) {
        RAVEL_LOG(CAT_GENERAL, TYPE_INFO, LEVEL_RELEASE, kEnablePresent);
        RAVEL_LOG(CAT_GENERAL, TYPE_INFO, LEVEL_RELEASE, routeAdded ? kEnableRouteAdded : kEnableRouteNotAdded);
        return true;
    }
    RAVEL_LOG(CAT_GENERAL, TYPE_INFO, LEVEL_RELEASE, kEnableNotPresent);
    return false;
}

bool BHost::disableCommunications(RWCString address)
{
    if (!m_bOkToDisable)
        return true;
    if (!sysNetwork().isIPProtocolPresent())
        return false;
    sysRouteTable().deleteFromRouteTable(address);
    if (address == kSpecialAddress)
        sysArpTable().deleteFromArpTable(address);
    RAVEL_LOG(CAT_GENERAL, TYPE_INFO, LEVEL_RELEASE, kDisableDelete + address);
    return true;
}

void BHost::allowDisableCommunications(bool allow) { m_bOkToDisable = allow; }

bool BHost::disableCommunicationsAllowed() { return m_bOkToDisable; }

bool BHost::copyRouteAddExeToWindowsDirectory()
{
    RWCString windows;
    sysFileStructure().getWindowsDirectory(windows);
    BFileInstaller installer(kSourceDirectory, windows, &BFileInstaller::compareFileVersion,
                             &BFileInstaller::copyInstall);
    BStringVector files;
    files.insert(m_routeAddExe);
    files.insert(m_stringLibraryDll);
    files.insert(m_iostreamRuntimeDll);
    files.insert(m_runtimeDll);
    files.insert(m_utilitiesDll);
    if (installer.isCurrent(files) == BFileInstaller::FILE_OK) {
        RAVEL_LOG(CAT_GENERAL, TYPE_INFO, LEVEL_RELEASE, kFilesCurrent);
        return true;
    }
    RAVEL_LOG(CAT_GENERAL, TYPE_INFO, LEVEL_RELEASE, kFilesNotCurrent);
    if (installer.install(files) == BFileInstaller::FILE_OK)
        return true;
    RAVEL_LOG(CAT_GENERAL, TYPE_INFO, LEVEL_RELEASE, kInstallFailed);
    return false;
}

bool BHost::copyAndSetupRouteAddExe(RWCString address, RWCString nic)
{
    const RWCString valueName = m_runValueName + address;
    const RWCString command = m_routeAddExe + kHelperSwitchPrinter + address + kHelperSwitchNic + nic;
    if (!copyRouteAddExeToWindowsDirectory())
        return false;
    BRegistry registry;
    if (!registry.setWorkingKey(m_runKey)) {
        RAVEL_LOG(CAT_GENERAL, TYPE_INFO, LEVEL_RELEASE, kSetupKeyFailed + m_runKey);
        return false;
    }
    // One value per printer: the first registration stays, whatever interface it names.
    if (registry.valueExists(valueName)) {
        RAVEL_LOG(CAT_GENERAL, TYPE_INFO, LEVEL_RELEASE, kSetupAlreadySet + valueName);
        return true;
    }
    if (registry.setValue(valueName, command)) {
        RAVEL_LOG(CAT_GENERAL, TYPE_INFO, LEVEL_RELEASE, kSetupDone + address);
        return true;
    }
    RAVEL_LOG(CAT_GENERAL, TYPE_INFO, LEVEL_RELEASE, kSetupFailed + valueName);
    return false;
}

bool BHost::deleteAndRemoveSetupRouteAddExe(RWCString address)
{
    const RWCString valueName = m_runValueName + address;
    BRegistry registry;
    if (!registry.setWorkingKey(m_runKey)) {
        RAVEL_LOG(CAT_GENERAL, TYPE_INFO, LEVEL_RELEASE, kRemoveKeyFailed + m_runKey);
        return false;
    }
    if (registry.deleteValue(valueName)) {
        RAVEL_LOG(CAT_GENERAL, TYPE_INFO, LEVEL_RELEASE, kRemoveDone + address);
        return true;
    }
    RAVEL_LOG(CAT_GENERAL, TYPE_INFO, LEVEL_RELEASE, kRemoveFailed + valueName);
    return false;
}
