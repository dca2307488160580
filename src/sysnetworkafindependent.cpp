#include <winsock2.h>
#include <ws2tcpip.h>

#include "sysNetworkAFIndependent.h"

#include "RavelConvert.h"

#include "sysNetwork.h"

#include "internal/net/AddressText.h"
#include "internal/net/FinerPlatform.h"
#include "internal/win/NetPresence.h"
#include "internal/win/WinCall.h"
#include "internal/win/WinHandle.h"

#include <ipexport.h>
#include <iphlpapi.h>
#include <winnetwk.h>

#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

// The compatibility layer of the Windows SDK: IPv4-only name resolution for systems whose
// Windows Sockets have no getaddrinfo (import library ws2_32).
extern "C" {
int WINAPI WspiapiLegacyGetAddrInfo(const char* node, const char* service, const addrinfo* hints, addrinfo** result);
int WINAPI WspiapiLegacyGetNameInfo(const sockaddr* address, socklen_t length, char* host, size_t hostLength,
                                    char* service, size_t serviceLength, int flags);
void WINAPI WspiapiLegacyFreeAddrInfo(addrinfo* list);
}

namespace {

using ravel::kFamilyIPv4;
using ravel::kFamilyIPv6;

static_assert(sizeof(sockaddr_storage) == 128, "socket addresses are converted into 128 bytes");
static_assert(sysNetworkAFIndependent::PLATFORMS_WIN2003 == 8 && sysNetworkAFIndependent::PLATFORMS_LATER == 10,
              "the finer platform table numbers the platforms as the class does");

const char kSystemWinsock[] = "\\ws2_32";
const char kSystemIPv6Preview[] = "\\wship6";
const char kGetAddrInfo[] = "getaddrinfo";
const char kGetNameInfo[] = "getnameinfo";
const char kFreeAddrInfo[] = "freeaddrinfo";

const char kToSockaddrNoSockets[] = "sysNetworkAFIndependent::RWCStringToSockaddr WSAStartup failed";
const char kToSockaddrNoMemory[] = "sysNetworkAFIndependent::RWCStringToSockaddr new failed";
const char kToSockaddrFailed[] =
    "sysNetworkAFIndependent::RWCStringToSockaddr WSAStringToAddress failed (WSAGetLastError = %d)";
const char kNoLocalName[] = "sysNetworkAFIndependent::getaddressesByName gethostname failed error: ";
const char kByNameReturning[] = "sysNetworkAFIndependent::getaddressesByName returning: ";
const char kHostNameNoSockets[] = "sysNetworkAFIndependent::getHostName WSAStartup failed";
const char kHostNameFailed[] =
    "sysNetworkAFIndependent::getHostName getnameinfo failed (WSAGetLastError = %d) for IP (";
const char kHostNameFound[] = "sysNetworkAFIndependent::getHostName HostName (";
const char kHostNameIp[] = ") IP (";
const char kCloseParen[] = ")";

const char kAdaptersLibrary[] = "Iphlpapi.dll";
const char kGetAdaptersAddresses[] = "GetAdaptersAddresses";
const char kGetAdaptersInfo[] = "GetAdaptersInfo";
const char kNoAdaptersAddresses[] =
    "sysNetworkAFIndependent::getInterfaces GetAdaptersAddresses() not found in Iphlpapi.dll";
const char kNoMemoryAddresses[] = "sysNetworkAFIndependent::getInterfaces not enough memory (PIP_ADAPTER_ADDRESSES)";
const char kNoMemoryInfo[] = "sysNetworkAFIndependent::getInterfaces not enough memory (PIP_ADAPTER_INFO)";

const char kEchoLibrary[] = "IPHLPAPI.DLL";
const char kIcmp6CreateFile[] = "Icmp6CreateFile";
const char kIcmpCloseHandle[] = "IcmpCloseHandle";
const char kIcmp6SendEcho2[] = "Icmp6SendEcho2";
const char kIcmp6ParseReplies[] = "Icmp6ParseReplies";
const char kIcmpCreateFile[] = "IcmpCreateFile";
const char kIcmpSendEcho[] = "IcmpSendEcho";
const char kNoEchoLibrary[] = "sysNetworkAFIndependent::hostPresent ERROR - Could not load IPHLPAPI.DLL";
const char kNoEchoFunctions[] =
    "sysNetworkAFIndependent::hostPresent ERROR - Could get IPHLPAPI.DLL function address(es)";
const char kNoDestination[] = "sysNetworkAFIndependent::hostPresent ERROR - Destination socket invalid (";
const char kNoEchoHandle[] = "sysNetworkAFIndependent::hostPresent ERROR - IcmpCreateFile() failed (";
const char kTimedOut[] = "sysNetworkAFIndependent::hostPresent - Ping timed-out.";
const char kPingError[] = "sysNetworkAFIndependent::hostPresent ERROR - Ping error (";

const WORD kWinsock22 = MAKEWORD(2, 2);
const WORD kWinsock11 = MAKEWORD(1, 1);
const int kIPX = 6;
const int kIPXProtocol = 1000;
const int kHostBufferSize = NI_MAXHOST; // 1025
const ULONG kAdapterFlags = GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST;
const int kMostEntries = 15;
const int kEchoAttempts = 3;
const WORD kEchoDataSize = 32;
const DWORD kEchoReplySize = 292;
const UCHAR kEchoTimeToLive = 255;

// Version records: the extended one first, the plain one where that is refused.
const DWORD kVersionExSize = sizeof(OSVERSIONINFOEXA);
const DWORD kVersionSize = sizeof(OSVERSIONINFOA);
static_assert(sizeof(OSVERSIONINFOEXA) == 156 && sizeof(OSVERSIONINFOA) == 148, "version record sizes");

// ---- name resolution bound at run time -----------------------------------------------------------

using GetAddrInfoEntry = int(WSAAPI*)(const char*, const char*, const addrinfo*, addrinfo**);
using GetNameInfoEntry = int(WSAAPI*)(const sockaddr*, socklen_t, char*, DWORD, char*, DWORD, int);
using FreeAddrInfoEntry = void(WSAAPI*)(addrinfo*);
using LegacyGetNameInfo = int(WINAPI*)(const sockaddr*, socklen_t, char*, size_t, char*, size_t, int);

struct Resolver
{
    GetAddrInfoEntry getAddrInfo = nullptr;
    GetNameInfoEntry getNameInfo = nullptr;
    LegacyGetNameInfo legacyGetNameInfo = nullptr;
    FreeAddrInfoEntry freeAddrInfo = nullptr;
};

// The library under the system directory that exports all three, kept loaded for the process.
bool bindFrom(const char* library, Resolver& resolver)
{
    char directory[MAX_PATH + 1] = {};
    const UINT length = GetSystemDirectoryA(directory, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return false;
    ravel::ModuleHandle module(LoadLibraryA((std::string(directory) + library).c_str()));
    if (!module)
        return false;
    const FARPROC get = GetProcAddress(module.get(), kGetAddrInfo);
    const FARPROC name = GetProcAddress(module.get(), kGetNameInfo);
    const FARPROC release = GetProcAddress(module.get(), kFreeAddrInfo);
    if (get == nullptr || name == nullptr || release == nullptr)
        return false;
    resolver.getAddrInfo = reinterpret_cast<GetAddrInfoEntry>(reinterpret_cast<void*>(get));
    resolver.getNameInfo = reinterpret_cast<GetNameInfoEntry>(reinterpret_cast<void*>(name));
    resolver.freeAddrInfo = reinterpret_cast<FreeAddrInfoEntry>(reinterpret_cast<void*>(release));
    // Deliberately kept: the bound functions stay usable for the life of the process.
    module.release();
    return true;
}

// Plain globals, filled on first use; concurrent first calls fill them with the same values.
Resolver g_resolver;
bool g_resolverBound = false;

const Resolver& resolver()
{
    if (!g_resolverBound) {
        Resolver bound;
        if (!bindFrom(kSystemWinsock, bound) && !bindFrom(kSystemIPv6Preview, bound)) {
            bound.getAddrInfo = &WspiapiLegacyGetAddrInfo;
            bound.legacyGetNameInfo = &WspiapiLegacyGetNameInfo;
            bound.freeAddrInfo = &WspiapiLegacyFreeAddrInfo;
        }
        g_resolver = bound;
        g_resolverBound = true;
    }
    return g_resolver;
}

// Each leaves its result as the Windows Sockets last error, as the system's own functions do.
int resolveName(const char* name, const addrinfo& hints, addrinfo** list)
{
    const int result = resolver().getAddrInfo(name, nullptr, &hints, list);
    WSASetLastError(result);
    return result;
}

int nameOfAddress(const sockaddr* address, int length, char* host, int hostLength, int flags)
{
    const Resolver& r = resolver();
    const int result = r.getNameInfo != nullptr
                           ? r.getNameInfo(address, length, host, hostLength, nullptr, 0, flags)
                           : r.legacyGetNameInfo(address, length, host, hostLength, nullptr, 0, flags);
    WSASetLastError(result);
    return result;
}

struct FreeResolved
{
    void operator()(addrinfo* list) const { resolver().freeAddrInfo(list); }
};
using ResolvedList = std::unique_ptr<addrinfo, FreeResolved>;

// The numeric text of a socket address; null when it cannot be rendered.
RWCString numericText(const sockaddr* address, int length)
{
    char host[kHostBufferSize] = {};
    if (nameOfAddress(address, length, host, sizeof host, NI_NUMERICHOST) != 0)
        return RWCString();
    return RWCString(host);
}

// ---- small helpers --------------------------------------------------------------------------------

// The raw address bytes of an IPv4 or IPv6 socket address; null for other families.
const unsigned char* addressBytes(const sockaddr* address)
{
    if (address->sa_family == AF_INET)
        return reinterpret_cast<const unsigned char*>(&reinterpret_cast<const sockaddr_in*>(address)->sin_addr);
    if (address->sa_family == AF_INET6)
        return reinterpret_cast<const unsigned char*>(&reinterpret_cast<const sockaddr_in6*>(address)->sin6_addr);
    return nullptr;
}

bool isLoopbackSockaddr(const sockaddr* address)
{
    const unsigned char* bytes = addressBytes(address);
    return bytes != nullptr && ravel::isLoopbackAddressBytes(address->sa_family, bytes);
}

bool isLinkLocalSockaddr(const sockaddr* address)
{
    const unsigned char* bytes = addressBytes(address);
    return bytes != nullptr && ravel::isLinkLocalAddress(address->sa_family, bytes);
}

// A record text with its one "%d" filled.
RWCString withCode(const char* pattern, long code)
{
    const std::string text(pattern);
    const std::size_t at = text.find("%d");
    return RWCString((text.substr(0, at) + std::to_string(code) + text.substr(at + 2)).c_str());
}

// GetAdaptersInfo and GetAdaptersAddresses: the size first, then the list. `list(buffer, size)`
// answers the system's code and updates the size. An empty buffer is a failure; only a size we
// cannot (or will not) allocate writes the record.
template <class List>
std::vector<unsigned char> adapterList(List list, const char* noMemory)
{
    const unsigned long limit = 1ul << 24;
    bool tooLarge = false;
    std::vector<unsigned char> buffer;
    try {
        buffer = ravel::sizedCall<unsigned char>(
            [&](unsigned char* into, unsigned long size) -> unsigned long {
                ULONG length = size;
                const unsigned long answer = list(into, &length);
                if (into != nullptr)
                    return answer == NO_ERROR;
                tooLarge = answer == ERROR_BUFFER_OVERFLOW && length > limit;
                return answer == ERROR_BUFFER_OVERFLOW ? length : 0;
            },
            nullptr, limit);
    } catch (const std::bad_alloc&) {
        tooLarge = true;
    }
    if (tooLarge)
        RAVEL_LOG(LogInterface::CAT_GENERAL, LogInterface::TYPE_INFO, LogInterface::LEVEL_RELEASE, noMemory);
    return buffer;
}

// The local computer's name, as gethostname gives it.
bool localHostName(RWCString& name)
{
    char buffer[kHostBufferSize] = {};
    if (gethostname(buffer, sizeof buffer) != 0)
        return false;
    name = buffer;
    return true;
}

template <class Entry>
Entry entryPoint(const ravel::ModuleHandle& module, const char* name)
{
    return reinterpret_cast<Entry>(reinterpret_cast<void*>(GetProcAddress(module.get(), name)));
}

// Plain globals for the life of the process: the platform once found and its service pack.
int g_platform = 0;
unsigned short g_servicePackMajor = 0;
unsigned short g_servicePackMinor = 0;

} // namespace

sysNetworkAFIndependent::sysNetworkAFIndependent() = default;
sysNetworkAFIndependent::sysNetworkAFIndependent(const sysNetworkAFIndependent&) = default;
sysNetworkAFIndependent& sysNetworkAFIndependent::operator=(const sysNetworkAFIndependent&) = default;
sysNetworkAFIndependent::~sysNetworkAFIndependent() = default;

// ---- text and addresses -----------------------------------------------------------------------------

bool sysNetworkAFIndependent::isIPv4Address(RWCString text) { return ravel::isIPv4Text(text); }

bool sysNetworkAFIndependent::isIPv6Address(RWCString text) { return ravel::isIPv6Text(text); }

bool sysNetworkAFIndependent::isFullyQualifiedHostname(RWCString name) { return ravel::hasDot(name); }

bool sysNetworkAFIndependent::RWCStringToSockaddr(RWCString text, sockaddr_storage& address)
{
    if (!isIcmpDllPresent() || !isProtocolPresent(kFamilyIPv4, 0))
        return false;
    const bool v4 = isIPv4Address(text);
    if (!v4 && !isIPv6Address(text))
        return false;
    const ravel::WinsockSession sockets(kWinsock22);
    if (!sockets.started()) {
        RAVEL_LOG(CAT_GENERAL, TYPE_INFO, LEVEL_RELEASE, kToSockaddrNoSockets);
        return false;
    }
    // The conversion wants a writable text.
    const std::unique_ptr<char[]> copy(new (std::nothrow) char[text.length() + 1]);
    if (!copy) {
        RAVEL_LOG(CAT_GENERAL, TYPE_INFO, LEVEL_RELEASE, kToSockaddrNoMemory);
        return false;
    }
    std::memcpy(copy.get(), text.data(), text.length() + 1);
    const int family = v4 ? kFamilyIPv4 : kFamilyIPv6;
    address.ss_family = static_cast<short>(family);
    int length = sizeof(sockaddr_storage);
    if (WSAStringToAddressA(copy.get(), family, nullptr, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        RAVEL_LOG(CAT_GENERAL, TYPE_INFO, LEVEL_RELEASE, withCode(kToSockaddrFailed, WSAGetLastError()));
        return false;
    }
    return true;
}

bool sysNetworkAFIndependent::isLinkLocal(sockaddr* address) { return isLinkLocalSockaddr(address); }

bool sysNetworkAFIndependent::isLinkLocal(RWCString text)
{
    sockaddr_storage address = {};
    return RWCStringToSockaddr(text, address) && isLinkLocal(reinterpret_cast<sockaddr*>(&address));
}

bool sysNetworkAFIndependent::isLoopbackAddress(sockaddr* address) { return isLoopbackSockaddr(address); }

bool sysNetworkAFIndependent::isLoopbackAddress(RWCString text)
{
    sockaddr_storage address = {};
    return RWCStringToSockaddr(text, address) && isLoopbackAddress(reinterpret_cast<sockaddr*>(&address));
}

bool sysNetworkAFIndependent::isValidIPv4Address(RWCString text)
{
    sockaddr_storage address = {};
    if (!isIPv4Address(text) || !RWCStringToSockaddr(text, address))
        return false;
    return !ravel::isNeverValidIPv4(addressBytes(reinterpret_cast<const sockaddr*>(&address)));
}

// ---- name resolution ---------------------------------------------------------------------------------

bool sysNetworkAFIndependent::getAddressesByName(RWCString name, RWCStringVector& addresses, RWCStringVector* filter,
                                                 int family)
{
    addresses.clear();
    const ravel::WinsockSession sockets(kWinsock22);
    if (!sockets.started())
        return false;
    if (name.length() == 0 && !localHostName(name)) {
        RAVEL_LOG(CAT_GENERAL, TYPE_INFO, LEVEL_RELEASE, kNoLocalName + iToRWCString(WSAGetLastError(), 10));
        return false;
    }
    addrinfo hints = {};
    hints.ai_flags = AI_PASSIVE;
    hints.ai_family = family;
    addrinfo* raw = nullptr;
    if (resolveName(name.data(), hints, &raw) != 0)
        return false;
    const ResolvedList list(raw);
    for (const addrinfo* item = list.get(); item != nullptr; item = item->ai_next) {
        if (item->ai_addr == nullptr || isLoopbackSockaddr(item->ai_addr))
            continue;
        const RWCString text = numericText(item->ai_addr, static_cast<int>(item->ai_addrlen));
        if (text.length() == 0 || !ravel::passesFilter(text, filter))
            continue;
        // Classed by the address itself: a scoped link-local text ("fe80::1%3") is no numeric text
        // the conversion takes, but it is still link-local.
        ravel::placeResolved(addresses, text, isLinkLocalSockaddr(item->ai_addr));
    }
    RAVEL_LOG(CAT_GENERAL, TYPE_INFO, LEVEL_OMEGA, kByNameReturning + ravel::runTogether(addresses));
    return true;
}

bool sysNetworkAFIndependent::getIPv4AddressesByName(RWCString name, RWCStringVector& addresses, RWCStringVector*, int)
{
    addresses.clear();
    const ravel::WinsockSession sockets(kWinsock22);
    if (!sockets.started())
        return false;
    if (name.length() == 0 && !localHostName(name))
        return false;
    addrinfo hints = {};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    addrinfo* raw = nullptr;
    if (resolveName(name.data(), hints, &raw) != 0)
        return false;
    const ResolvedList list(raw);
    bool found = false;
    for (const addrinfo* item = list.get(); item != nullptr; item = item->ai_next) {
        if (item->ai_addr == nullptr || isLoopbackSockaddr(item->ai_addr))
            continue;
        found = true;
        const RWCString text = numericText(item->ai_addr, static_cast<int>(item->ai_addrlen));
        if (text.length() > 0)
            addresses.append(text);
    }
    RAVEL_LOG(CAT_GENERAL, TYPE_INFO, LEVEL_OMEGA, kByNameReturning + ravel::runTogether(addresses));
    return found;
}

bool sysNetworkAFIndependent::getHostName(RWCString address, RWCString& hostName)
{
    sockaddr_storage binary = {};
    if (!RWCStringToSockaddr(address, binary))
        return false;
    const ravel::WinsockSession sockets(kWinsock22);
    if (!sockets.started()) {
        RAVEL_LOG(CAT_GENERAL, TYPE_INFO, LEVEL_RELEASE, kHostNameNoSockets);
        return false;
    }
    char host[kHostBufferSize] = {};
    // A missing name is an error, not the numeric text again.
    const int result =
        nameOfAddress(reinterpret_cast<const sockaddr*>(&binary), sizeof binary, host, sizeof host, NI_NAMEREQD);
    if (result != 0) {
        RAVEL_LOG(CAT_GENERAL, TYPE_INFO, LEVEL_RELEASE, withCode(kHostNameFailed, result) + address + kCloseParen);
        return false;
    }
    hostName = host;
    RAVEL_LOG(CAT_GENERAL, TYPE_INFO, LEVEL_RELEASE, kHostNameFound + hostName + kHostNameIp + address + kCloseParen);
    return true;
}

// ---- platform ----------------------------------------------------------------------------------------

sysNetworkAFIndependent::Platforms sysNetworkAFIndependent::getPlatform(unsigned short& servicePackMajor,
                                                                        unsigned short& servicePackMinor)
{
    if (g_platform != PLATFORMS_UNRECOGNIZED) {
        servicePackMajor = g_servicePackMajor;
        servicePackMinor = g_servicePackMinor;
        return static_cast<Platforms>(g_platform);
    }
    OSVERSIONINFOEXA info = {};
    info.dwOSVersionInfoSize = kVersionExSize;
    if (GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&info))) {
        servicePackMajor = g_servicePackMajor = info.wServicePackMajor;
        servicePackMinor = g_servicePackMinor = info.wServicePackMinor;
    } else {
        info = OSVERSIONINFOEXA();
        info.dwOSVersionInfoSize = kVersionSize;
        if (!GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&info)))
            return PLATFORMS_UNRECOGNIZED;
        servicePackMajor = g_servicePackMajor = 0;
        servicePackMinor = g_servicePackMinor = 0;
    }
    g_platform = ravel::finerPlatform(info.dwPlatformId, info.dwMajorVersion, info.dwMinorVersion);
    return static_cast<Platforms>(g_platform);
}

// ---- adapters ----------------------------------------------------------------------------------------

bool sysNetworkAFIndependent::getInterfaces(interfaceAddresses* entries, int& count, int family)
{
    count = 0;
    unsigned short servicePackMajor = 0;
    unsigned short servicePackMinor = 0;
    const bool adapterAddresses = getPlatform(servicePackMajor, servicePackMinor) >= PLATFORMS_WINXP;
    if (!adapterAddresses && family == kFamilyIPv6)
        return false;

    // Bound at run time even for the older listing: systems without the library still load us.
    const ravel::ModuleHandle library(LoadLibraryA(kAdaptersLibrary));
    if (!adapterAddresses) {
        using Entry = DWORD(WINAPI*)(PIP_ADAPTER_INFO, PULONG);
        const Entry listInfo = library ? entryPoint<Entry>(library, kGetAdaptersInfo) : nullptr;
        if (listInfo == nullptr)
            return false;
        const std::vector<unsigned char> buffer =
            adapterList([&](unsigned char* into,
                            PULONG length) { return listInfo(reinterpret_cast<PIP_ADAPTER_INFO>(into), length); },
                        kNoMemoryInfo);
        for (const IP_ADAPTER_INFO* adapter = buffer.empty() ? nullptr
                                                             : reinterpret_cast<const IP_ADAPTER_INFO*>(buffer.data());
             adapter != nullptr && count < kMostEntries; adapter = adapter->Next) {
            // The entry keeps the adapter's last address.
            for (const IP_ADDR_STRING* a = &adapter->IpAddressList; a != nullptr; a = a->Next)
                entries[count].address = a->IpAddress.String;
            entries[count].interfaceIndex = 0;
            entries[count].scopeId = 0;
            ++count;
        }
        return count != 0;
    }

    using Entry = ULONG(WINAPI*)(ULONG, ULONG, PVOID, PIP_ADAPTER_ADDRESSES, PULONG);
    const Entry listAddresses = library ? entryPoint<Entry>(library, kGetAdaptersAddresses) : nullptr;
    if (listAddresses == nullptr) {
        RAVEL_LOG(CAT_GENERAL, TYPE_INFO, LEVEL_RELEASE, kNoAdaptersAddresses);
        return false;
    }
    const std::vector<unsigned char> buffer = adapterList(
        [&](unsigned char* into, PULONG length) {
            return listAddresses(family, kAdapterFlags, nullptr, reinterpret_cast<PIP_ADAPTER_ADDRESSES>(into), length);
        },
        kNoMemoryAddresses);
    for (const IP_ADAPTER_ADDRESSES* adapter =
             buffer.empty() ? nullptr : reinterpret_cast<const IP_ADAPTER_ADDRESSES*>(buffer.data());
         adapter != nullptr && count < kMostEntries; adapter = adapter->Next) {
        if (family == kFamilyIPv6 && adapter->Description != nullptr &&
            ravel::isTunnelDescription(std::u16string(reinterpret_cast<const char16_t*>(adapter->Description))))
            continue;
        interfaceAddresses& entry = entries[count];
        ravel::AdapterAddressWalk walk;
        for (const IP_ADAPTER_UNICAST_ADDRESS* a = adapter->FirstUnicastAddress; a != nullptr; a = a->Next) {
            const sockaddr* address = a->Address.lpSockaddr;
            if (address == nullptr)
                continue;
            const bool loopback = isLoopbackSockaddr(address);
            const RWCString text = loopback ? RWCString() : numericText(address, a->Address.iSockaddrLength);
            if (!walk.offer(loopback, isLinkLocalSockaddr(address), text))
                break;
        }
        if (walk.found())
            entry.address = walk.address();
        if (walk.loopbackSeen())
            continue;
        entry.interfaceIndex = adapter->Ipv6IfIndex;
        entry.scopeId = 0;
        if (family == kFamilyIPv6) {
            for (const IP_ADAPTER_DNS_SERVER_ADDRESS* dns = adapter->FirstDnsServerAddress; dns != nullptr;
                 dns = dns->Next) {
                if (dns->Address.lpSockaddr == nullptr)
                    continue;
                long zone = 0;
                if (ravel::zoneOf(numericText(dns->Address.lpSockaddr, dns->Address.iSockaddrLength), zone)) {
                    entry.scopeId = zone;
                    break;
                }
            }
        }
        if (entry.address.length() == 0 && walk.linkLocal().length() > 0)
            entry.address = walk.linkLocal();
        ++count;
    }
    return count != 0;
}

// ---- presence ----------------------------------------------------------------------------------------

sysNetworkAFIndependent::teHostPresent sysNetworkAFIndependent::hostPresent(RWCString address, int family,
                                                                            unsigned int timeout)
{
    const ravel::ModuleHandle library(LoadLibraryA(kEchoLibrary));
    if (!library) {
        RAVEL_LOG(CAT_GENERAL, TYPE_INFO, LEVEL_RELEASE, kNoEchoLibrary);
        return HOST_PROBE_FAILED;
    }
    using CreateEntry = HANDLE(WINAPI*)();
    using CloseEntry = ravel::handle_policy::Icmp::Closer;
    using Send6Entry = DWORD(WINAPI*)(HANDLE, HANDLE, FARPROC, PVOID, sockaddr_in6*, sockaddr_in6*, LPVOID, WORD,
                                      PIP_OPTION_INFORMATION, LPVOID, DWORD, DWORD);
    using ParseEntry = DWORD(WINAPI*)(LPVOID, DWORD);
    using Send4Entry = DWORD(WINAPI*)(HANDLE, IPAddr, LPVOID, WORD, PIP_OPTION_INFORMATION, LPVOID, DWORD, DWORD);
    // IPv4 destinations go out as ICMP echoes: an ICMPv6 echo cannot carry them.
    const bool v4 = family == kFamilyIPv4;
    const CreateEntry create = entryPoint<CreateEntry>(library, v4 ? kIcmpCreateFile : kIcmp6CreateFile);
    const CloseEntry close = entryPoint<CloseEntry>(library, kIcmpCloseHandle);
    const Send6Entry send6 = v4 ? nullptr : entryPoint<Send6Entry>(library, kIcmp6SendEcho2);
    const ParseEntry parse = v4 ? nullptr : entryPoint<ParseEntry>(library, kIcmp6ParseReplies);
    const Send4Entry send4 = v4 ? entryPoint<Send4Entry>(library, kIcmpSendEcho) : nullptr;
    if (create == nullptr || close == nullptr || (v4 ? send4 == nullptr : send6 == nullptr || parse == nullptr)) {
        RAVEL_LOG(CAT_GENERAL, TYPE_INFO, LEVEL_RELEASE, kNoEchoFunctions);
        return HOST_PROBE_FAILED;
    }

    const ravel::WinsockSession sockets(kWinsock11);
    sockaddr_in6 source = {};
    source.sin6_family = static_cast<short>(family);

    addrinfo hints = {};
    hints.ai_flags = AI_PASSIVE;
    hints.ai_family = family;
    addrinfo* raw = nullptr;
    if (resolveName(address.data(), hints, &raw) != 0 || raw == nullptr) {
        RAVEL_LOG(CAT_GENERAL, TYPE_INFO, LEVEL_RELEASE,
                  kNoDestination + iToRWCString(WSAGetLastError(), 10) + kCloseParen);
        return HOST_PROBE_FAILED;
    }
    const ResolvedList list(raw);
    const ravel::IcmpHandle handle(create(), ravel::handle_policy::Icmp(close));
    if (!handle) {
        RAVEL_LOG(CAT_GENERAL, TYPE_INFO, LEVEL_RELEASE,
                  kNoEchoHandle + iToRWCString(WSAGetLastError(), 10) + kCloseParen);
        return HOST_PROBE_FAILED;
    }

    unsigned char request[kEchoDataSize] = {};
    unsigned char reply[kEchoReplySize] = {};
    IP_OPTION_INFORMATION options = {};
    options.Ttl = kEchoTimeToLive;
    DWORD replies = 0;
    DWORD sendError = 0;
    for (int attempt = 0; attempt < kEchoAttempts && replies == 0; ++attempt) {
        if (v4) {
            IPAddr destination = 0;
            if (list->ai_addr != nullptr && list->ai_addr->sa_family == AF_INET)
                destination = reinterpret_cast<const sockaddr_in*>(list->ai_addr)->sin_addr.s_addr;
            replies =
                send4(handle.get(), destination, request, kEchoDataSize, &options, reply, kEchoReplySize, timeout);
        } else {
            replies =
                send6(handle.get(), nullptr, nullptr, nullptr, &source, reinterpret_cast<sockaddr_in6*>(list->ai_addr),
                      request, kEchoDataSize, &options, reply, kEchoReplySize, timeout);
        }
        sendError = GetLastError();
    }
    if (replies == 0) {
        if (parse != nullptr)
            parse(reply, kEchoReplySize);
        // A silent host is told from a failed send by the last echo's own error code: the reply
        // buffer holds no status the system promises to fill when nothing came back.
        if (sendError == IP_REQ_TIMED_OUT)
            RAVEL_LOG(CAT_GENERAL, TYPE_INFO, LEVEL_RELEASE, kTimedOut);
        else
            RAVEL_LOG(CAT_GENERAL, TYPE_INFO, LEVEL_RELEASE,
                      kPingError + iToRWCString(static_cast<int>(sendError), 10) + kCloseParen);
    }
    return replies > 0 ? HOST_PRESENT : HOST_NOT_PRESENT;
}

// ---- presence of protocols and providers -------------------------------------------------------------

bool sysNetworkAFIndependent::isIcmpDllPresent() { return sysNetwork().isIcmpDllPresent(); }

bool sysNetworkAFIndependent::isIPProtocolPresent() { return isIcmpDllPresent() && isProtocolPresent(kFamilyIPv4, 0); }

bool sysNetworkAFIndependent::isIPv6ProtocolPresent() { return isProtocolPresent(kFamilyIPv6, 0); }

bool sysNetworkAFIndependent::isIPXProtocolPresent() { return isProtocolPresent(kIPX, kIPXProtocol); }

bool sysNetworkAFIndependent::isLANManagerProviderPresent() { return isProviderPresent(WNNC_NET_LANMAN); }

bool sysNetworkAFIndependent::isNetwareProviderPresent() { return isProviderPresent(WNNC_NET_NETWARE); }

bool sysNetworkAFIndependent::isProtocolPresent(int family, int protocol)
{
    return ravel::protocolPresent(family, protocol, kWinsock22);
}

bool sysNetworkAFIndependent::isProviderPresent(unsigned long type) { return ravel::providerPresent(type); }
