// IPv4-and-IPv6 commands: address text, name resolution, the local adapters, the ICMPv6 probe
// and the finer platform, through sysNetworkAFIndependent.
#include "command.h"

#include "sysNetworkAFIndependent.h"

#include <cstdio>

using namespace ravelutil;

namespace {
const char* const kHostPresentNames[] = {"HOST_PROBE_FAILED", "HOST_NOT_PRESENT", "HOST_PRESENT"};
const char* const kPlatformNames[] = {"PLATFORMS_UNRECOGNIZED", "PLATFORMS_WIN32S", "PLATFORMS_WIN95",
                                      "PLATFORMS_WIN98",        "PLATFORMS_WINME",  "PLATFORMS_WINNT4",
                                      "PLATFORMS_WIN2000",      "PLATFORMS_WINXP",  "PLATFORMS_WIN2003",
                                      "PLATFORMS_WINVISTA",     "PLATFORMS_LATER"};
const int kMostAdapters = 15;
const unsigned int kDefaultTimeoutMs = 1000;

bool parseFamily(const std::string& text, int& family)
{
    if (text != "2" && text != "23")
        return false;
    family = text == "2" ? 2 : 23;
    return true;
}

void printEach(const RWCStringVector& list)
{
    for (const RWCString& entry : list)
        std::printf("%s\n", entry.data());
}
} // namespace

RAVEL_COMMAND(cmdAddr, "addr", "addr <text>",
              "which address tests the text passes: ipv4 ipv6 valid-ipv4 link-local loopback fqdn")
{
    if (args.size() != 1)
        return usage("addr <text>");
    sysNetworkAFIndependent net;
    const RWCString text = rw(args[0]);
    const struct
    {
        const char* name;
        bool passed;
    } tests[] = {
        {"ipv4", net.isIPv4Address(text)},
        {"ipv6", net.isIPv6Address(text)},
        {"valid-ipv4", net.isValidIPv4Address(text)},
        {"link-local", net.isLinkLocal(text)},
        {"loopback", net.isLoopbackAddress(text)},
        {"fqdn", sysNetworkAFIndependent::isFullyQualifiedHostname(text)},
    };
    std::string passed;
    for (const auto& t : tests)
        if (t.passed)
            passed += (passed.empty() ? "" : " ") + std::string(t.name);
    std::printf("%s\n", passed.c_str());
    return kTrue;
}

RAVEL_COMMAND(cmdResolve, "resolve", "resolve <name> [--family 2|23] [--filter <addr>...]",
              "the numeric addresses of a name, link-local last (an empty filter keeps nothing)")
{
    const char* const line = "resolve <name> [--family 2|23] [--filter <addr>...]";
    std::string name;
    bool haveName = false;
    int family = 0;
    bool filtered = false;
    RWCStringVector filter;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--family") {
            if (++i >= args.size() || !parseFamily(args[i], family))
                return usage(line);
        } else if (args[i] == "--filter") {
            filtered = true;
            while (i + 1 < args.size() && args[i + 1].compare(0, 2, "--") != 0)
                filter.append(rw(args[++i]));
        } else if (!haveName) {
            name = args[i];
            haveName = true;
        } else {
            return usage(line);
        }
    }
    if (!haveName)
        return usage(line);
    RWCStringVector addresses;
    const bool ok =
        sysNetworkAFIndependent().getAddressesByName(rw(name), addresses, filtered ? &filter : nullptr, family);
    printEach(addresses);
    return exitFor(ok);
}

RAVEL_COMMAND(cmdResolve4, "resolve4", "resolve4 <name>",
              "whether a name has an IPv4 address other than 127.0.0.1, and which")
{
    if (args.size() != 1)
        return usage("resolve4 <name>");
    RWCStringVector addresses;
    const bool ok = sysNetworkAFIndependent().getIPv4AddressesByName(rw(args[0]), addresses, nullptr, 0);
    printEach(addresses);
    return exitFor(ok);
}

RAVEL_COMMAND(cmdNameOf, "name-of", "name-of <address>", "the host name registered for an IPv4 or IPv6 address")
{
    if (args.size() != 1)
        return usage("name-of <address>");
    RWCString name;
    const bool found = sysNetworkAFIndependent().getHostName(rw(args[0]), name);
    if (found)
        std::printf("%s\n", name.data());
    return exitFor(found);
}

RAVEL_COMMAND(cmdAdapters, "adapters", "adapters [--family 2|23]",
              "one address per adapter (at most 15): address, interface index, scope id")
{
    int family = 23;
    if (!args.empty() && (args.size() != 2 || args[0] != "--family" || !parseFamily(args[1], family)))
        return usage("adapters [--family 2|23]");
    interfaceAddresses entries[kMostAdapters] = {};
    int count = 0;
    const bool ok = sysNetworkAFIndependent().getInterfaces(entries, count, family);
    for (int i = 0; i < count && i < kMostAdapters; ++i)
        std::printf("%s %lu %ld\n", entries[i].address.data(), entries[i].interfaceIndex, entries[i].scopeId);
    return exitFor(ok);
}

RAVEL_COMMAND(cmdPing6, "ping6", "ping6 <address|name> [--timeout <ms>] [--family 2|23]",
              "up to three ICMPv6 echoes (ICMP with --family 2): HOST_PRESENT, HOST_NOT_PRESENT or HOST_PROBE_FAILED")
{
    const char* const line = "ping6 <address|name> [--timeout <ms>] [--family 2|23]";
    std::string target;
    bool haveTarget = false;
    unsigned long long timeout = kDefaultTimeoutMs;
    int family = 23;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--timeout") {
            if (++i >= args.size() || !parseUnsigned(args[i], timeout) || timeout > 0xFFFFFFFFull)
                return usage(line);
        } else if (args[i] == "--family") {
            if (++i >= args.size() || !parseFamily(args[i], family))
                return usage(line);
        } else if (!haveTarget) {
            target = args[i];
            haveTarget = true;
        } else {
            return usage(line);
        }
    }
    if (!haveTarget)
        return usage(line);
    const sysNetworkAFIndependent::teHostPresent result =
        sysNetworkAFIndependent().hostPresent(rw(target), family, static_cast<unsigned int>(timeout));
    std::printf("%s\n", kHostPresentNames[result]);
    return exitFor(result == sysNetworkAFIndependent::HOST_PRESENT);
}

RAVEL_COMMAND(cmdPlatformSp, "platform-sp", "platform-sp", "the finer platform (with its number) and the service pack")
{
    if (!args.empty())
        return usage("platform-sp");
    unsigned short major = 0;
    unsigned short minor = 0;
    const sysNetworkAFIndependent::Platforms platform = sysNetworkAFIndependent().getPlatform(major, minor);
    std::printf("%s %d\nservice pack %u.%u\n", kPlatformNames[platform], static_cast<int>(platform), major, minor);
    return exitFor(platform != sysNetworkAFIndependent::PLATFORMS_UNRECOGNIZED);
}
