// Routing and network commands: ping, the route table and ARP cache through the system's route
// and arp programs (a route.exe or arp.exe beside ravelutil.exe is the one used), local
// interfaces, host names and the protocol tests.
#include "command.h"

#include "sysArpTable.h"
#include "sysNetwork.h"
#include "sysNetworkAFIndependent.h"
#include "sysRouteTable.h"

#include <cstdio>
#include <string>

using namespace ravelutil;

namespace {
const char* const kHostPresentNames[] = {"HOST_PROBE_FAILED", "HOST_NOT_PRESENT", "HOST_PRESENT"};
const char kNotFound[] = "NOT FOUND";

const char* yesNo(bool value) { return value ? "true" : "false"; }

// The library reports why in its records; without them the user still learns that it failed.
int done(bool ok, const char* what)
{
    return ok ? kTrue : failure(std::string(what) + ": the system's command could not be run");
}

int answer(bool value)
{
    std::printf("%s\n", yesNo(value));
    return exitFor(value);
}

// Listings go out byte for byte.
void printRaw(const RWCString& text) { std::fwrite(text.data(), 1, text.length(), stdout); }
} // namespace

RAVEL_COMMAND(cmdPing, "ping", "ping <ip>", "one ICMP echo: HOST_PRESENT, HOST_NOT_PRESENT or HOST_PROBE_FAILED")
{
    if (args.size() != 1)
        return usage("ping <ip>");
    const sysNetwork::teHostPresent result = sysNetwork().hostPresent(rw(args[0]), 60);
    std::printf("%s\n", kHostPresentNames[result]);
    return exitFor(result == sysNetwork::HOST_PRESENT);
}

RAVEL_COMMAND(cmdRoutes, "routes", "routes", "print the route table as the library reads it")
{
    if (!args.empty())
        return usage("routes");
    printRaw(sysRouteTable().dumpRouteTable());
    return kTrue;
}

RAVEL_COMMAND(cmdRouteAdd, "route-add", "route-add <ip> <interface>", "add a host route through a local interface")
{
    if (args.size() != 2)
        return usage("route-add <ip> <interface>");
    return done(sysRouteTable().addToRouteTable(rw(args[0]), rw(args[1])), "route-add");
}

RAVEL_COMMAND(cmdRouteDelete, "route-delete", "route-delete <ip>", "delete the route to an address")
{
    if (args.size() != 1)
        return usage("route-delete <ip>");
    return done(sysRouteTable().deleteFromRouteTable(rw(args[0])), "route-delete");
}

RAVEL_COMMAND(cmdInRoutes, "in-routes", "in-routes <ip>", "whether the address stands in the route listing")
{
    if (args.size() != 1)
        return usage("in-routes <ip>");
    return answer(sysRouteTable().inRouteTable(rw(args[0])));
}

RAVEL_COMMAND(cmdNicFor, "nic-for", "nic-for <ip>", "the local interface of the closest route to an address")
{
    if (args.size() != 1)
        return usage("nic-for <ip>");
    const RWCString nic = sysRouteTable().getNICforClosestMatch(rw(args[0]));
    std::printf("%s\n", nic.data());
    return exitFor(nic != kNotFound);
}

RAVEL_COMMAND(cmdArp, "arp", "arp", "print the ARP cache as the library reads it")
{
    if (!args.empty())
        return usage("arp");
    printRaw(sysArpTable().dumpArpTable());
    return kTrue;
}

RAVEL_COMMAND(cmdArpHas, "arp-has", "arp-has <ip> <mac>",
              "whether one ARP line holds the address and the hardware address")
{
    if (args.size() != 2)
        return usage("arp-has <ip> <mac>");
    return answer(sysArpTable().inARPTable(rw(args[0]), rw(args[1])));
}

RAVEL_COMMAND(cmdArpAdd, "arp-add", "arp-add <ip> <mac> <interface>", "add a static ARP entry on a local interface")
{
    if (args.size() != 3)
        return usage("arp-add <ip> <mac> <interface>");
    return done(sysArpTable().addToArpTableWithInterface(rw(args[0]), rw(args[1]), rw(args[2])), "arp-add");
}

RAVEL_COMMAND(cmdArpDelete, "arp-delete", "arp-delete <ip>", "delete the ARP entry of an address")
{
    if (args.size() != 1)
        return usage("arp-delete <ip>");
    return done(sysArpTable().deleteFromArpTable(rw(args[0])), "arp-delete");
}

RAVEL_COMMAND(cmdInterfaces, "interfaces", "interfaces", "the local IPv4 addresses and their number")
{
    if (!args.empty())
        return usage("interfaces");
    RWCString addresses;
    int count = 0;
    const bool ok = sysNetwork().getInterfaces(addresses, count);
    std::printf("addresses [%s]\ncount %d\n", addresses.data(), count);
    return exitFor(ok);
}

RAVEL_COMMAND(cmdHostname, "hostname", "hostname <ip>", "the host name registered for an address")
{
    if (args.size() != 1)
        return usage("hostname <ip>");
    RWCString name;
    const bool found = sysNetwork().getHostName(rw(args[0]), &name);
    if (found)
        std::printf("%s\n", name.data());
    return exitFor(found);
}

RAVEL_COMMAND(cmdProtocols, "protocols", "protocols", "whether IP, IPv6, IPX, LAN Manager and NetWare are installed")
{
    if (!args.empty())
        return usage("protocols");
    sysNetwork network;
    std::printf("icmp.dll %s\n", yesNo(network.isIcmpDllPresent()));
    std::printf("IP %s\n", yesNo(network.isIPProtocolPresent()));
    std::printf("IPv6 %s\n", yesNo(sysNetworkAFIndependent().isIPv6ProtocolPresent()));
    std::printf("IPX %s\n", yesNo(network.isIPXProtocolPresent()));
    std::printf("LAN Manager %s\n", yesNo(network.isLANManagerProviderPresent()));
    std::printf("NetWare %s\n", yesNo(network.isNetwareProviderPresent()));
    return kTrue;
}
