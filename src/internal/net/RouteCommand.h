#pragma once
// The route command lines, shared by the library and the route-add helper program (portable; no
// string library, so the helper can be built from it alone).
#include <string>

namespace ravel {

// Windows 95 and 98 do not keep routes across restarts; every other platform is asked to.
extern const char kRouteAdd[];           // "route ADD %s %s"
extern const char kRouteAddPersistent[]; // "route -p ADD %s %s"
extern const char kRouteDelete[];        // "route delete %s"

// Whether the route added on the platform of this version record (platform id, major, minor)
// is made persistent.
bool routeAddPersistent(unsigned long platformId, unsigned long major, unsigned long minor);

// The helper's arguments: "-i <printer address> -g <interface address>", in either order, each
// once, both dotted IPv4 addresses.
struct RouteHelperArguments
{
    std::string printer;
    std::string nic;
};
bool parseRouteHelperArguments(int argc, const char* const* argv, RouteHelperArguments& out);

// The host route command for the helper's arguments.
std::string routeHelperCommand(const RouteHelperArguments& arguments, bool persistent);

extern const char kRouteHelperUsage[];

} // namespace ravel
