#include <winsock2.h>

#include "sysNetwork.h"

#include "internal/win/NetPresence.h"
#include "internal/win/WinCall.h"
#include "internal/win/WinHandle.h"
#include "sysFileStructure.h"
#include "sysICMP.h"

#include <ipexport.h>
#include <winnetwk.h>

#include <cstring>
#include <memory>
#include <new>

namespace {
const char kIcmpLibrary[] = "icmp.dll";
const char kIcmpCloseHandle[] = "IcmpCloseHandle";
const char kBackslash[] = "\\";

const char kProbeStarted[] = "hostPresent: started IP:";
const char kIcmpNotLoaded[] = "icmp.dll was not loaded!";
const char kNoSockets[] = "Unable to startup sockets!";
const char kNoIcmpFile[] = "Unable to create ICMP file!";
const char kNoRequest[] = "Unable to allocate ICMP request packet!";
const char kNoReply[] = "Unable to allocate ICMP reply packet!";
const char kNoReplies[] = "No replies received from host [";
const char kHostReplied[] = "Received replies from host [";
const char kRouterReplied[] = "Received replies from router [";
const char kNotHost[] = "] not host [";
const char kCloseBracket[] = "]";

const char kInterfacesReturning[] = "[sysNetwork::getInterfaces] returning: ";
const char kHostNameNoSockets[] = "sysNetwork::getHostName : WSAStartup failed";
const char kHostNameFound[] = "sysNetwork::getHostName : HostName (";
const char kHostNameIp[] = ") IP (";
const char kHostNameNotFound[] = "sysNetwork::getHostName : gethostbyaddr failed for IP (";
const char kCloseParen[] = ")";
const char kBlank[] = " ";

const unsigned short kRequestSize = 64;
const unsigned char kRequestMark = 0xAA;
const unsigned long kTimeoutMs = 1000;
// Room for one reply record and the echoed data, plus the 8 bytes of an ICMP error report that
// the system may write in its place. The record's size differs between 32- and 64-bit builds.
const unsigned long kReplySize = sizeof(ICMP_ECHO_REPLY) + kRequestSize + 8;

const int kIPv4 = AF_INET;
const int kIPX = 6;
const int kIPXProtocol = 1000;
const int kHostNameSize = 256;

std::unique_ptr<unsigned char[]> allocate(std::size_t size)
{
    return std::unique_ptr<unsigned char[]>(new (std::nothrow) unsigned char[size]());
}

RWCString dotted(unsigned long address)
{
    in_addr a;
    a.s_addr = address;
    return inet_ntoa(a);
}
} // namespace

sysNetwork::sysNetwork() = default;
sysNetwork::sysNetwork(const sysNetwork&) = default;
sysNetwork& sysNetwork::operator=(const sysNetwork&) = default;
sysNetwork::~sysNetwork() = default;

bool sysNetwork::isIcmpDllPresent()
{
    RWCString candidate(kIcmpLibrary);
    RWCString systemDirectory;
    if (sysFileStructure().getSystemDirectory(systemDirectory))
        candidate = systemDirectory + kBackslash + kIcmpLibrary;
    WIN32_FIND_DATAA found;
    const ravel::FindHandle search(FindFirstFileA(candidate.data(), &found));
    return search.valid();
}

sysNetwork::teHostPresent sysNetwork::hostPresent(RWCString address, unsigned int)
{
    RAVEL_LOG(CAT_GENERAL, TYPE_INFO, LEVEL_OMEGA, kProbeStarted + address);

    sysICMP icmp;
    if (!icmp.isLoaded()) {
        RAVEL_LOG(CAT_NETWORK, TYPE_ERROR, LEVEL_RELEASE, kIcmpNotLoaded);
        return HOST_PROBE_FAILED;
    }
    const ravel::WinsockSession sockets;
    if (!sockets.started()) {
        RAVEL_LOG(CAT_NETWORK, TYPE_ERROR, LEVEL_RELEASE, kNoSockets);
        return HOST_PROBE_FAILED;
    }
    // The handle goes back through the library that made it; a loaded sysICMP has found all three
    // entry points, so asking for the closer again cannot fail (and logs nothing).
    void* closer = nullptr;
    icmp.getFunction(kIcmpCloseHandle, &closer);
    void* rawHandle = nullptr;
    const bool created = icmp.IcmpCreateFile(rawHandle);
    const ravel::IcmpHandle handle(
        rawHandle, ravel::handle_policy::Icmp(reinterpret_cast<ravel::handle_policy::Icmp::Closer>(closer)));
    if (!created || !handle) {
        RAVEL_LOG(CAT_NETWORK, TYPE_ERROR, LEVEL_RELEASE, kNoIcmpFile);
        return HOST_PROBE_FAILED;
    }

    const std::unique_ptr<unsigned char[]> request = allocate(kRequestSize);
    if (!request) {
        RAVEL_LOG(CAT_NETWORK, TYPE_ERROR, LEVEL_RELEASE, kNoRequest);
        return HOST_PROBE_FAILED;
    }
    for (int i = 0; i < 4; ++i)
        request[i] = kRequestMark;
    // Zeroed, so the reply's source address reads 0 until a reply is stored.
    const std::unique_ptr<unsigned char[]> reply = allocate(kReplySize);
    if (!reply) {
        RAVEL_LOG(CAT_NETWORK, TYPE_ERROR, LEVEL_RELEASE, kNoReply);
        return HOST_PROBE_FAILED;
    }

    // No name resolution and no validation: the text goes straight to the dotted conversion.
    unsigned long replies = 0;
    icmp.IcmpSendEcho(handle.get(), inet_addr(address.data()), request.get(), kRequestSize, nullptr, reply.get(),
                      kReplySize, kTimeoutMs, replies);
    if (replies == 0) {
        RAVEL_LOG(CAT_NETWORK, TYPE_INFO, LEVEL_RELEASE, kNoReplies + address + kCloseBracket);
        return HOST_NOT_PRESENT;
    }
    // Only the host's own reply counts; a gateway's error report comes from another address.
    const RWCString source = dotted(reinterpret_cast<const ICMP_ECHO_REPLY*>(reply.get())->Address);
    if (source == address) {
        RAVEL_LOG(CAT_NETWORK, TYPE_INFO, LEVEL_RELEASE, kHostReplied + address + kCloseBracket);
        return HOST_PRESENT;
    }
    RAVEL_LOG(CAT_NETWORK, TYPE_INFO, LEVEL_RELEASE, kRouterReplied + source + kNotHost + address + kCloseBracket);
    return HOST_NOT_PRESENT;
}

bool sysNetwork::getInterfaces(RWCString& addresses, int& count)
{
    addresses = RWCString();
    count = 0;
    const ravel::WinsockSession sockets;
    if (!sockets.started())
        return false;
    char name[kHostNameSize] = {};
    if (gethostname(name, sizeof name) != 0)
        return false;
    const hostent* host = gethostbyname(name);
    if (host == nullptr)
        return false;
    RWCString text;
    for (char** entry = host->h_addr_list; entry != nullptr && *entry != nullptr; ++entry) {
        in_addr a;
        std::memcpy(&a, *entry, sizeof a);
        text += inet_ntoa(a);
        text += kBlank;
        ++count;
    }
    addresses = text;
    RAVEL_LOG(CAT_GENERAL, TYPE_INFO, LEVEL_OMEGA, kInterfacesReturning + addresses);
    return true;
}

bool sysNetwork::getHostName(RWCString address, RWCString* hostName)
{
    if (!isIPProtocolPresent())
        return false;
    const ravel::WinsockSession sockets;
    if (!sockets.started()) {
        RAVEL_LOG(CAT_GENERAL, TYPE_INFO, LEVEL_RELEASE, kHostNameNoSockets);
        return false;
    }
    const unsigned long binary = inet_addr(address.data());
    const hostent* host = gethostbyaddr(reinterpret_cast<const char*>(&binary), 4, kIPv4);
    if (host == nullptr || host->h_name == nullptr) {
        RAVEL_LOG(CAT_GENERAL, TYPE_INFO, LEVEL_RELEASE, kHostNameNotFound + address + kCloseParen);
        return false;
    }
    *hostName = host->h_name;
    RAVEL_LOG(CAT_GENERAL, TYPE_INFO, LEVEL_RELEASE, kHostNameFound + *hostName + kHostNameIp + address + kCloseParen);
    return true;
}

bool sysNetwork::isIPProtocolPresent() { return isIcmpDllPresent() && isProtocolPresent(kIPv4, 0); }

bool sysNetwork::isIPXProtocolPresent() { return isProtocolPresent(kIPX, kIPXProtocol); }

bool sysNetwork::isLANManagerProviderPresent() { return isProviderPresent(WNNC_NET_LANMAN); }

bool sysNetwork::isNetwareProviderPresent() { return isProviderPresent(WNNC_NET_NETWARE); }

bool sysNetwork::isProtocolPresent(int family, int protocol)
{
    return ravel::protocolPresent(family, protocol, MAKEWORD(1, 1));
}

bool sysNetwork::isProviderPresent(unsigned long type) { return ravel::providerPresent(type); }
