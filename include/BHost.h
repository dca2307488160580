#pragma once
#include "LogInterface.h"
#include "RWCString.h"

// Makes a printer at an IPv4 address reachable: pings it, and when it does not answer adds a host
// route through each local interface in turn, keeping the first route that makes it answer. For
// the address "192.0.0.192" with a hardware address it also binds the two in the ARP cache on the
// interface being tried. On the 9x family it can install the route-add helper and register it to
// run at every start of the system.
class RAVELUTIL_API BHost : public LogInterface
{
public:
    enum teHostPresent { HOST_PROBE_FAILED = 0, HOST_NOT_PRESENT = 1, HOST_PRESENT = 2 };

    BHost();
    BHost(const BHost& other);
    // Not assignable: the fields are fixed texts.
    BHost& operator=(const BHost& other) = delete;
    virtual ~BHost();

    // routeAdded is true on return exactly when a route was added for the host and left in
    // place (and when a route that did not help could not be removed). The third argument is
    // not used.
    teHostPresent hostPresentWithRouteAdd(RWCString address, bool& routeAdded, unsigned int unused, bool installHelper,
                                          RWCString hardwareAddress);
    // True when the host answers, with or without an added route.
    bool enableCommunications(RWCString address, bool installHelper, RWCString hardwareAddress);
    // Deletes the route (and the ARP entry of "192.0.0.192") unless disabling is forbidden.
    bool disableCommunications(RWCString address);

    // The process-wide permission to disable communications, true at load.
    void allowDisableCommunications(bool allow);
    bool disableCommunicationsAllowed();

    // Installs the route-add helper's files in the Windows directory and registers it under the
    // machine's Run key for the address; a registration for the address that exists stays.
    bool copyAndSetupRouteAddExe(RWCString address, RWCString nic);
    // Removes the address's Run value (true also when there was none); the files stay.
    bool deleteAndRemoveSetupRouteAddExe(RWCString address);

private:
    bool copyRouteAddExeToWindowsDirectory();

    RWCString m_runKey;
    RWCString m_routeAddExe;
    RWCString m_runValueName;
    RWCString m_stringLibraryDll;
    RWCString m_iostreamRuntimeDll;
    RWCString m_runtimeDll;
    RWCString m_utilitiesDll;

    static bool m_bOkToDisable;
};
