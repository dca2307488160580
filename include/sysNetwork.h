#pragma once
#include "LogInterface.h"
#include "RWCString.h"

// IPv4 queries of the local computer: one ICMP echo to a host, the local addresses, host names,
// and whether the IP and IPX protocols and the LAN Manager and NetWare providers are installed.
// Every operation starts and releases what it needs itself.
class RAVELUTIL_API sysNetwork : public LogInterface
{
public:
    enum teHostPresent { HOST_PROBE_FAILED = 0, HOST_NOT_PRESENT = 1, HOST_PRESENT = 2 };

    sysNetwork();
    sysNetwork(const sysNetwork& other);
    sysNetwork& operator=(const sysNetwork& other);
    virtual ~sysNetwork();

    // Whether the ICMP library is in the system directory; nothing is loaded.
    bool isIcmpDllPresent();
    // One echo of 64 bytes, waiting 1000 milliseconds; only a reply from the address itself
    // counts. The second argument has no effect.
    teHostPresent hostPresent(RWCString address, unsigned int unused);

    // The local IPv4 addresses, each followed by one blank, and their number.
    bool getInterfaces(RWCString& addresses, int& count);
    // The registered name of a dotted IPv4 address; hostName must not be null.
    bool getHostName(RWCString address, RWCString* hostName);

    bool isIPProtocolPresent();
    bool isIPXProtocolPresent();
    bool isLANManagerProviderPresent();
    bool isNetwareProviderPresent();

private:
    bool isProtocolPresent(int family, int protocol);
    bool isProviderPresent(unsigned long type);
};
