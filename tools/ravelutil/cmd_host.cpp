// Host reachability and link-local addresses: reach, release and probe over BHost, the route-add
// helper's registration, and the free-address search of BAPIPA with its candidate list.
#include "command.h"

#include "BAPIPA.h"
#include "BHost.h"

#include <cstdio>
#include <string>

using namespace ravelutil;

namespace {
const char* const kHostPresentNames[] = {"HOST_PROBE_FAILED", "HOST_NOT_PRESENT", "HOST_PRESENT"};
const char kMacOption[] = "--mac";
const char kHelperOption[] = "--helper";
const char kDefaultSubnet[] = "169.254.0.0";
const unsigned long long kDefaultAttempts = 8;

const char kReachUsage[] = "reach <ip> [--mac <hw>] [--helper]";
const char kProbeUsage[] = "probe <ip> [--mac <hw>] [--helper]";
const char kApipaUsage[] = "apipa [--subnet <s>] [--attempts <n>]";
const char kCandidatesUsage[] = "apipa-candidates <subnet> <attempts> <seed>";

// The address followed by --mac <hw> and --helper in any order, each at most once.
struct HostRequest
{
    RWCString address;
    RWCString hardware;
    bool helper = false;
};

bool parseHostRequest(const Args& args, HostRequest& request)
{
    if (args.empty())
        return false;
    request.address = rw(args[0]);
    bool haveMac = false;
    for (std::size_t i = 1; i < args.size(); ++i) {
        if (args[i] == kMacOption && !haveMac && i + 1 < args.size()) {
            request.hardware = rw(args[++i]);
            haveMac = true;
        } else if (args[i] == kHelperOption && !request.helper) {
            request.helper = true;
        } else {
            return false;
        }
    }
    return true;
}
} // namespace

RAVEL_COMMAND(cmdReach, "reach", kReachUsage,
              "make a host answer, adding a host route through a local interface if needed (-v tells which)")
{
    HostRequest request;
    if (!parseHostRequest(args, request))
        return usage(kReachUsage);
    return exitFor(BHost().enableCommunications(request.address, request.helper, request.hardware));
}

RAVEL_COMMAND(cmdRelease, "release", "release <ip>", "delete the route (and ARP entry) that reach added")
{
    if (args.size() != 1)
        return usage("release <ip>");
    return exitFor(BHost().disableCommunications(rw(args[0])));
}

RAVEL_COMMAND(cmdProbe, "probe", kProbeUsage,
              "try the host through each local interface: the result and whether a route was added")
{
    HostRequest request;
    if (!parseHostRequest(args, request))
        return usage(kProbeUsage);
    bool routeAdded = false;
    const BHost::teHostPresent result =
        BHost().hostPresentWithRouteAdd(request.address, routeAdded, 60, request.helper, request.hardware);
    std::printf("%s\nroute added: %s\n", kHostPresentNames[result], routeAdded ? "true" : "false");
    return exitFor(result == BHost::HOST_PRESENT);
}

RAVEL_COMMAND(cmdHelperInstall, "helper-install", "helper-install <ip> <interface>",
              "copy the route-add helper into the Windows directory and register it to run at start-up")
{
    if (args.size() != 2)
        return usage("helper-install <ip> <interface>");
    return exitFor(BHost().copyAndSetupRouteAddExe(rw(args[0]), rw(args[1])));
}

RAVEL_COMMAND(cmdHelperRemove, "helper-remove", "helper-remove <ip>", "remove the route-add helper's start-up value")
{
    if (args.size() != 1)
        return usage("helper-remove <ip>");
    return exitFor(BHost().deleteAndRemoveSetupRouteAddExe(rw(args[0])));
}

RAVEL_COMMAND(cmdApipa, "apipa", kApipaUsage, "a free link-local address (or one in the subnet given)")
{
    RWCString subnet(kDefaultSubnet);
    unsigned long long attempts = kDefaultAttempts;
    bool custom = false;
    for (std::size_t i = 0; i < args.size(); i += 2) {
        if (i + 1 >= args.size())
            return usage(kApipaUsage);
        if (args[i] == "--subnet") {
            subnet = rw(args[i + 1]);
        } else if (args[i] == "--attempts") {
            if (!parseUnsigned(args[i + 1], attempts) || attempts > 0xFFFFFFFFull)
                return usageError("--attempts needs a number from 0 to 4294967295");
        } else {
            return usage(kApipaUsage);
        }
        custom = true;
    }
    BAPIPA apipa;
    RWCString address;
    const bool found = custom ? apipa.getAutoIPAddress(subnet, &address, static_cast<unsigned int>(attempts))
                              : apipa.getMSAutoIPAddress(&address);
    if (!found)
        return failure("no free address found (last tried: " + str(address) + ")");
    std::printf("%s\n", address.data());
    return kTrue;
}

RAVEL_COMMAND(cmdApipaCandidates, "apipa-candidates", kCandidatesUsage,
              "the candidates a process whose id has these low 16 bits tries, skipped ones marked")
{
    unsigned long long attempts = 0;
    unsigned long long seed = 0;
    if (args.size() != 3 || !parseUnsigned(args[1], attempts) || attempts > 0xFFFFFFFFull ||
        !parseUnsigned(args[2], seed))
        return usage(kCandidatesUsage);
    for (unsigned int k = static_cast<unsigned int>(attempts); k >= 1; --k) {
        bool skipped = false;
        const RWCString candidate =
            ravelApipaCandidate(RWCString(args[0].c_str()), static_cast<unsigned long>(seed), k, skipped);
        std::printf("%s%s\n", candidate.data(), skipped ? " skipped" : "");
    }
    return kTrue;
}
