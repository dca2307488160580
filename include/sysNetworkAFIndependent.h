#pragma once
#include "LogInterface.h"
#include "RWCString.h"
#include "RWOrderedVector.h"

struct sockaddr;
struct sockaddr_storage;

// One network adapter as sysNetworkAFIndependent::getInterfaces lists it.
struct interfaceAddresses
{
    // The adapter's address as numeric text.
    RWCString address;
    // The adapter's IPv6 interface index (0 where the system gives none, and on systems before XP).
    unsigned long interfaceIndex;
    // The zone of the adapter's first DNS server address that carries one (IPv6 only), else 0.
    long scopeId;
};

// IPv4 and IPv6 companion of sysNetwork: address text and classes, name resolution, the local
// adapters, an ICMPv6 presence probe, the platform, and protocol and provider tests. Nothing is
// kept between calls except the platform and the bound name-resolution functions.
class RAVELUTIL_API sysNetworkAFIndependent : public LogInterface
{
public:
    enum Platforms {
        PLATFORMS_UNRECOGNIZED = 0,
        PLATFORMS_WIN32S = 1,
        PLATFORMS_WIN95 = 2,
        PLATFORMS_WIN98 = 3,
        PLATFORMS_WINME = 4,
        PLATFORMS_WINNT4 = 5,
        PLATFORMS_WIN2000 = 6,
        PLATFORMS_WINXP = 7,
        PLATFORMS_WIN2003 = 8,
        PLATFORMS_WINVISTA = 9,
        PLATFORMS_LATER = 10
    };
    enum teHostPresent { HOST_PROBE_FAILED = 0, HOST_NOT_PRESENT = 1, HOST_PRESENT = 2 };

    sysNetworkAFIndependent();
    sysNetworkAFIndependent(const sysNetworkAFIndependent& other);
    sysNetworkAFIndependent& operator=(const sysNetworkAFIndependent& other);
    virtual ~sysNetworkAFIndependent();

    // Four groups of one to three decimal digits joined by dots (values above 255 pass).
    bool isIPv4Address(RWCString text);
    // A permissive character scan, not a proof: the empty text passes, and so does any IPv4 text;
    // a leading "::" fails.
    bool isIPv6Address(RWCString text);
    // Not empty and holds a dot.
    static bool isFullyQualifiedHostname(RWCString name);

    // Numeric IPv4 or IPv6 text to a socket address (false when IP is unavailable or the text is
    // neither).
    bool RWCStringToSockaddr(RWCString text, sockaddr_storage& address);
    // 169.254.0.0/16 and fe80::/10.
    bool isLinkLocal(sockaddr* address);
    bool isLinkLocal(RWCString text);
    // Exactly 127.0.0.1 or ::1.
    bool isLoopbackAddress(sockaddr* address);
    bool isLoopbackAddress(RWCString text);
    // IPv4 text other than 127.0.0.1, 192.0.0.192 and 0.0.0.0.
    bool isValidIPv4Address(RWCString text);

    // The numeric addresses of a name (the local computer when empty), without 127.0.0.1 and ::1:
    // others first, newest first, then the link-local ones in the resolver's order. A filter keeps
    // only its own entries (an empty one keeps nothing). family: 0 any, 2 or 23.
    bool getAddressesByName(RWCString name, RWCStringVector& addresses, RWCStringVector* filter, int family);
    // True when the name (the local computer when empty) has an IPv4 address other than
    // 127.0.0.1; addresses receives those addresses. filter and family are not consulted.
    bool getIPv4AddressesByName(RWCString name, RWCStringVector& addresses, RWCStringVector* filter, int family);
    // The registered name of a numeric address.
    bool getHostName(RWCString address, RWCString& hostName);

    // The platform, finer than sysVersion's, and the service pack; found once per process.
    Platforms getPlatform(unsigned short& servicePackMajor, unsigned short& servicePackMinor);

    // One address per adapter for family 2 or 23, at most 15, into entries (which must hold 15).
    bool getInterfaces(interfaceAddresses* entries, int& count, int family);
    // Up to three echoes of 32 bytes, each waiting timeout milliseconds, stopping at the first
    // reply. Family 23 (and any family but 2) sends ICMPv6 echoes through the system's IPv6 ICMP
    // functions. Family 2 sends ICMP (IPv4) echoes through the same library's IPv4 functions, so
    // an IPv4 host is probed as a caller asking about it expects, with the same results and
    // records. The source of a reply is not compared with the destination. When no echo is
    // answered, the last echo's error code tells a time-out from any other failure.
    teHostPresent hostPresent(RWCString address, int family, unsigned int timeout);

    bool isIcmpDllPresent();
    bool isIPProtocolPresent();
    bool isIPv6ProtocolPresent();
    bool isIPXProtocolPresent();
    bool isLANManagerProviderPresent();
    bool isNetwareProviderPresent();

private:
    bool isProtocolPresent(int family, int protocol);
    bool isProviderPresent(unsigned long type);
};
