// Host reachability, the route-add helper and link-local addresses, run only by host_namespace.sh.
// Simulated: loopback only, three local interfaces from the hosts file, the route and arp doubles
// keeping their table in a state file and the ICMP double answering from it; every target is
// loopback or finds no route. End to end: a printer in a second namespace behind a real route.
#include <windows.h>

#include "LogCapture.h"
#include "RunProgram.h"
#include "TestData.h"
#include "WinScoped.h"

#include "BAPIPA.h"
#include "BHost.h"
#include "internal/net/Apipa.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

using namespace ravel::test;

namespace {

using Lines = std::vector<std::string>;

const std::string A = "127.0.0.9", S = "192.0.0.192", MAC = "00:11:22:33:44:55";
const std::string I1 = "10.1.2.3", I2 = "10.2.0.1", I3 = "10.3.0.1";
const std::string kArpS = "arp -s " + S + " 00-11-22-33-44-55 ", kArpD = "arp -d " + S;
const char kRunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const std::string kFiles = "BHost::copyRouteAddExeToWindowsDirectory : Files are ";

std::string add(const std::string& a, const std::string& i, bool persistent = true)
{
    return (persistent ? "route -p ADD " : "route ADD ") + a + " " + i;
}
std::string del(const std::string& a) { return "route delete " + a; }
std::string tried(const std::string& a, const std::string& i)
{
    return "hostPresentWithRouteAdd: addroute IP:" + a + " Interface IP:" + i;
}
std::string ret(int n) { return "hostPresentWithRouteAdd: returnValue: " + std::to_string(n); }
std::string set(const std::string& a) { return "BHost::copyAndSetupRouteAddExe : Registry Set " + a; }
std::string unset(const std::string& a) { return "BHost::deleteAndRemoveSetupRouteAddExe : Registry deleteValue " + a; }

// The comments of the records one source wrote, in order; each at info/release.
Lines recordsOf(const std::string& err, const char* file, const char* category = "general")
{
    Lines found;
    for (const std::string& line : lines(err)) {
        if (line.find(std::string("  FILE: ") + file + "  LINE: ") == std::string::npos)
            continue;
        const std::string comment = line.substr(9, line.find("   CAT: ") - 9);
        EXPECT_EQ(line.rfind(ravel::test::record(comment, category, "info", "release", file), 0), 0u) << line;
        found.push_back(comment);
    }
    return found;
}

std::string runValue(const std::string& address)
{
    char data[512] = {};
    DWORD size = sizeof data;
    return RegGetValueA(HKEY_LOCAL_MACHINE, kRunKey, ("qvkxoroute" + address).c_str(), RRF_RT_REG_SZ, nullptr, data,
                        &size) == ERROR_SUCCESS
               ? data
               : "(none)";
}

// A scratch folder with a program under a name of its own (ICMP double forced), the DLLs, the
// doubles and the helper; both command doubles log to one file, so their order shows.
struct Network
{
    explicit Network(const std::string& name, const std::string& program = "ravelutil.exe",
                     const std::string& from = "ravelutil.exe")
        : folder(programFolder(name, program,
                               {"qvkxora.exe", "doubles\\route.exe", "doubles\\arp.exe", "doubles\\icmp\\icmp.dll"},
                               from)),
          exe(program), native(program, "DllOverrides", "icmp", "native")
    {
        for (const char* log : {"RAVEL_ROUTE_LOG", "RAVEL_ARP_LOG"})
            setVariable(log, folder + "commands.log");
        setVariable("RAVEL_NET_STATE", folder + "state.txt");
        setVariable("RAVEL_ICMP_LOG", folder + "icmp.log");
    }
    void setVariable(const std::string& name, const std::string& value)
    {
        variables.push_back(std::make_unique<ScopedVariable>(name, value));
    }
    ProgramResult run(const std::string& arguments) const
    {
        return ravel::test::runProgram("\"" + folder + exe + "\" -v " + arguments);
    }
    Lines commands() const { return lines(ravel::test::readFile(folder + "commands.log")); }
    // Echoes the ICMP double sent: none where one was due means the system library answered.
    std::size_t echoes() const
    {
        const Lines calls = lines(ravel::test::readFile(folder + "icmp.log"));
        return std::count_if(calls.begin(), calls.end(),
                             [](const std::string& c) { return c.rfind("IcmpSendEcho ", 0) == 0; });
    }
    const std::string folder, exe;
    ScopedWineSetting native;
    std::vector<std::unique_ptr<ScopedVariable>> variables;
};

// Run values and the files the helper copies into the Windows directory go at the end; the
// helper's files are taken from the current directory, which is the folder meanwhile.
struct HelperScope
{
    Lines addresses;
    ScopedCurrentDirectory cwd;
    HelperScope(const std::string& folder, Lines runValues) : addresses(std::move(runValues)), cwd(folder) {}
    ~HelperScope()
    {
        for (const std::string& a : addresses)
            RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, kRunKey, ("qvkxoroute" + a).c_str());
        for (const char* file : {"qvkxora.exe", "tls704d.dll", "msvcirt.dll", "msvcrt.dll", "qvzkut01.dll"})
            DeleteFileA((windowsDir() + file).c_str());
    }
};

bool inChild() { return std::getenv("RAVEL_HOST_CHILD") != nullptr; }

} // namespace

TEST(HostScenarios, ResultsRecordsAndCommandsFollowTheScriptedNetwork)
{
    struct Scenario
    {
        const char* name;
        std::string arguments, icmp, breakRoute, breakArp;
        int exit;
        std::string out;
        Lines commands, records;
        std::string state;
        std::size_t echoes;
    };
    const std::string reached = "enableCommunications: addroute IP:", present = "enableCommunications: host IS present";
    const std::string added = "enableCommunications: route was added in the hostPresentWithRouteAdd call.";
    const std::string failed = "HOST_PROBE_FAILED\nroute added: false\n";
    const Lines allThree = {add(A, I1), del(A), add(A, I2), del(A), add(A, I3), del(A)};
    const auto row = [](const char* name, std::string arguments, std::string icmp, std::string breakRoute,
                        std::string breakArp, int exit, std::string out, Lines commands, Lines records,
                        std::string state, std::size_t echoes) {
        return Scenario{name, arguments, icmp, breakRoute, breakArp, exit, out, commands, records, state, echoes};
    };
    const Scenario scenarios[] = {
        row("at-once", "reach " + A, "host", "", "", 0, "", {},
            {reached + A, A + " found.", present,
             "enableCommunications: route was NOT added in the hostPresentWithRouteAdd call."},
            "", 1),
        row("second", "reach " + A, "state:route " + A + " " + I2, "", "", 0, "", {add(A, I1), del(A), add(A, I2)},
            {reached + A, tried(A, I1), tried(A, I2), A + " found.", ret(2), present, added},
            "route " + A + " " + I2 + "\n", 3),
        row("none", "reach " + A, "none", "", "", 1, "", allThree,
            {reached + A, tried(A, I1), tried(A, I2), tried(A, I3), ret(1), "enableCommunications: host NOT present"},
            "", 4),
        row("route-cannot-run", "probe " + A, "none", "start", "", 1, failed, {}, {tried(A, I1), ret(0)}, "", 1),
        row("arp-cannot-run", "probe " + S + " --mac " + MAC, "none", "", "-d", 1, failed,
            {kArpS + I1, kArpD, add(S, I1)}, {tried(S, I1), ret(0)}, "route " + S + " " + I1 + "\n", 1),
        row("route-stays", "probe " + A, "none", "ADD", "", 1, "HOST_PROBE_FAILED\nroute added: true\n", {add(A, I1)},
            {tried(A, I1), ret(0)}, "route " + A + " " + I1 + "\n", 2),
        row("hardware", "reach " + S + " --mac " + MAC,
            "state:route " + S + " " + I2 + ";arp " + S + " 00-11-22-33-44-55 " + I2, "", "", 0, "",
            {kArpS + I1, kArpD, add(S, I1), kArpS + I1, kArpD, del(S), add(S, I2), kArpS + I2},
            {reached + S, tried(S, I1), tried(S, I2), S + " found.", ret(2), present, added},
            "route " + S + " " + I2 + "\narp " + S + " 00-11-22-33-44-55 " + I2 + "\n", 3),
        // Without a hardware address the special address is like any other.
        row("no-hardware", "probe " + S, "none", "", "", 1, "HOST_NOT_PRESENT\nroute added: false\n",
            {add(S, I1), del(S), add(S, I2), del(S), add(S, I3), del(S)},
            {tried(S, I1), tried(S, I2), tried(S, I3), ret(1)}, "", 4),
        row("release-special", "release " + S, "none", "", "", 0, "", {del(S), kArpD},
            {"disableCommunications: delete route IP:" + S}, "", 0),
        row("release", "release " + A, "none", "", "", 0, "", {del(A)}, {"disableCommunications: delete route IP:" + A},
            "", 0),
        // Without the system's ICMP library (set aside for the run) nothing is tried and nothing logged.
        row("no-icmp", "reach " + A, "no library", "", "", 1, "", {}, {}, "", 0),
    };
    char system[MAX_PATH];
    const std::string icmp = std::string(system, GetSystemDirectoryA(system, MAX_PATH)) + "\\icmp.dll";
    for (const Scenario& s : scenarios) {
        Network net(std::string("host-") + s.name);
        net.setVariable("RAVEL_ICMP_SCRIPT", s.icmp);
        net.setVariable("RAVEL_ROUTE_BREAK", s.breakRoute);
        net.setVariable("RAVEL_ARP_BREAK", s.breakArp);
        if (s.breakRoute == "start")
            ravel::test::writeFile(net.folder + "route.exe", "not a program\n");
        const bool aside = s.icmp == "no library" && MoveFileA(icmp.c_str(), (icmp + ".aside").c_str());
        const ProgramResult run = net.run(s.arguments);
        if (aside)
            MoveFileA((icmp + ".aside").c_str(), icmp.c_str());
        EXPECT_EQ(run.exitCode, s.exit) << s.name << "\n" << run.err;
        EXPECT_EQ(run.out, s.out) << s.name;
        EXPECT_EQ(net.commands(), s.commands) << s.name;
        EXPECT_EQ(recordsOf(run.err, "src/BHost.cpp"), s.records) << s.name;
        EXPECT_EQ(ravel::test::readFile(net.folder + "state.txt"), s.state) << s.name;
        EXPECT_EQ(net.echoes(), s.echoes) << s.name;
    }
}

TEST(HostHelper, RegisteredUnderWindows98AndNotUnderXP)
{
    for (const std::string version : {"win98", "winxp"}) {
        const bool is98 = version == "win98";
        Network net("host-helper-" + version, "ru-" + version + ".exe");
        ScopedWineSetting told("ru-" + version + ".exe", "", "Version", version.c_str());
        // Stand-ins with a version resource for the libraries the helper names: all five can be current.
        for (const char* library : {"tls704d.dll", "msvcirt.dll", "msvcrt.dll"})
            ASSERT_TRUE(copyInto(ravel::test::binDir() + "tls7912d.dll", net.folder, library));
        HelperScope scope(net.folder, {A, S});
        if (is98) {
            const ProgramResult first = net.run("helper-install " + S + " " + I1);
            EXPECT_EQ(first.exitCode, 0) << first.err;
            EXPECT_NE(GetFileAttributesA((windowsDir() + "qvkxora.exe").c_str()), INVALID_FILE_ATTRIBUTES);
            EXPECT_EQ(runValue(S), "qvkxora.exe -i " + S + " -g " + I1);
            const ProgramResult again = net.run("helper-install " + S + " " + I2);
            EXPECT_EQ(runValue(S), "qvkxora.exe -i " + S + " -g " + I1);
            const ProgramResult removed = net.run("helper-remove " + S);
            EXPECT_EQ(runValue(S), "(none)");
            EXPECT_EQ(again.exitCode + removed.exitCode + net.run("helper-remove " + S).exitCode, 0);
            EXPECT_EQ(
                recordsOf(first.err + again.err + removed.err, "src/BHost.cpp"),
                (Lines{kFiles + "NOT current. Installing...", set(S), kFiles + "current.",
                       "BHost::copyAndSetupRouteAddExe : Registry Already Set - Key = qvkxoroute" + S, unset(S)}));
        }
        // While routes are tried: registered per interface, removed when the route did not help.
        net.setVariable("RAVEL_ICMP_SCRIPT", "state:route " + A + " " + I2);
        const ProgramResult run = net.run("probe " + A + " --helper");
        EXPECT_EQ(run.out, "HOST_PRESENT\nroute added: true\n") << version;
        EXPECT_EQ(net.commands(), (Lines{add(A, I1, !is98), del(A), add(A, I2, !is98)}));
        EXPECT_EQ(runValue(A), is98 ? "qvkxora.exe -i " + A + " -g " + I2 : "(none)");
        EXPECT_EQ(recordsOf(run.err, "src/BHost.cpp"),
                  (is98 ? Lines{tried(A, I1), kFiles + "current.", set(A), unset(A), tried(A, I2), kFiles + "current.",
                                set(A), A + " found.", ret(2)}
                        : Lines{tried(A, I1), tried(A, I2), A + " found.", ret(2)}));
    }
}

TEST(HostHelper, HelperProgramAddsTheRouteAlone)
{
    // Only the helper and the route double: none of the library's DLLs.
    const std::string folder = ravel::test::scratchDir("host-qvkxora"), bin = ravel::test::binDir();
    for (const char* name : {"qvkxora.exe", "qv-98.exe"})
        ASSERT_TRUE(copyInto(bin + "qvkxora.exe", folder, name));
    ASSERT_TRUE(copyInto(bin + "doubles\\route.exe", folder, "route.exe"));
    ScopedWineSetting version98("qv-98.exe", "", "Version", "win98");
    ScopedVariable log("RAVEL_ROUTE_LOG", folder + "route.log");
    const std::string helper = "\"" + folder + "qvkxora.exe\" ";
    EXPECT_EQ(ravel::test::runProgram(helper + "-i " + S + " -g " + I1).exitCode, 0);
    EXPECT_EQ(ravel::test::runProgram("\"" + folder + "qv-98.exe\" -g " + I1 + " -i " + S).exitCode, 0);
    EXPECT_EQ(ravel::test::runProgram(helper + "-i " + S).exitCode, 2);
    EXPECT_EQ(lines(ravel::test::readFile(folder + "route.log")), (Lines{add(S, I1), add(S, I1, false)}));
    DeleteFileA((folder + "route.exe").c_str());
    EXPECT_EQ(ravel::test::runProgram(helper + "-i " + S + " -g " + I1).exitCode, 1);
}

TEST(Apipa, CommandsListCandidatesAndReportExhaustion)
{
    Network net("host-apipa");
    EXPECT_EQ(net.run("apipa-candidates 169.254.0.0 8 4660").out.substr(0, 45),
              "169.254.179.90\n169.254.220.237\n169.254.8.131\n");
    EXPECT_EQ(net.run("apipa-candidates 169.254.254.0 1 4660").out, "169.254.254.107 skipped\n");
    // No attempt, or only skipped ones: no probe, one record.
    for (const std::string subnet : {"169.254.0.0 --attempts 0", "10.0.254.0 --attempts 3"}) {
        const ProgramResult run = net.run("apipa --subnet " + subnet);
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_EQ(recordsOf(run.err, "src/BAPIPA.cpp", "network"),
                  Lines{"Unable to find unique IP for subnet [" + subnet.substr(0, subnet.find(' ')) + "]."});
    }
    EXPECT_EQ(net.echoes() + net.commands().size(), 0u);
}

// The classes in a process of their own: this program copied as host-98.exe, told Windows 98.
TEST(HostClass, RunInAChildUnderWindows98)
{
    char self[MAX_PATH];
    const std::string path(self, GetModuleFileNameA(nullptr, self, MAX_PATH));
    Network net("host-class", "host-98.exe", path.substr(path.find_last_of('\\') + 1));
    ScopedWineSetting version98("host-98.exe", "", "Version", "win98");
    ScopedVariable child("RAVEL_HOST_CHILD", "1");
    HelperScope scope(net.folder, {});
    const ProgramResult run = ravel::test::runProgram("\"" + net.folder + "host-98.exe\" --gtest_filter=HostChild.*");
    EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
    EXPECT_NE(run.out.find("[  PASSED  ] 2 tests."), std::string::npos) << run.out;
}

TEST(HostChild, DisablingCanBeForbiddenForTheProcess)
{
    if (!inChild())
        GTEST_SKIP();
    HelperScope scope(ravel::test::binDir(), {A});
    ScopedVariable script("RAVEL_ICMP_SCRIPT", "state:route " + A + " " + I1);
    BHost host;
    EXPECT_TRUE(host.disableCommunicationsAllowed());
    host.allowDisableCommunications(false);
    EXPECT_FALSE(BHost().disableCommunicationsAllowed());
    LogCapture log;
    EXPECT_TRUE(BHost(host).disableCommunications(A.c_str()));
    EXPECT_TRUE(log.records().empty());
    // The route must come back at every start: the helper is registered though not asked for.
    EXPECT_TRUE(host.enableCommunications(A.c_str(), false, ""));
    EXPECT_EQ(runValue(A), "qvkxora.exe -i " + A + " -g " + I1);
    host.allowDisableCommunications(true);
    EXPECT_TRUE(host.disableCommunications(A.c_str()));
    EXPECT_EQ(lines(ravel::test::readFile(ravel::test::binDir() + "commands.log")), (Lines{add(A, I1, false), del(A)}));
}

TEST(HostChild, TakenCandidateLosesItsRouteAndTheNextIsFree)
{
    if (!inChild())
        GTEST_SKIP();
    DeleteFileA((ravel::test::binDir() + "commands.log").c_str());
    unsigned numbers[4];
    ravel::apipaSubnetNumbers("169.254.0.0", numbers);
    const std::uint32_t seed = ravel::apipaSeed(GetCurrentProcessId());
    const std::string first = ravel::apipaCandidate(numbers, seed, 8).text;
    const std::string second = ravel::apipaCandidate(numbers, seed, 7).text;
    HelperScope scope(ravel::test::binDir(), {first, second});
    ScopedVariable script("RAVEL_ICMP_SCRIPT", "state:route " + first + " " + I1);
    BAPIPA apipa;
    RWCString address;
    ASSERT_TRUE(apipa.getAutoIPAddress("169.254.0.0", &address, 8));
    EXPECT_EQ(std::string(address.data()), second);
    EXPECT_EQ(lines(ravel::test::readFile(ravel::test::binDir() + "commands.log")),
              (Lines{add(first, I1, false), del(first), add(second, I1, false), del(second), add(second, I2, false),
                     del(second), add(second, I3, false), del(second)}));
    // Every candidate answering: the address is emptied, the record names the subnet.
    ScopedVariable everyone("RAVEL_ICMP_SCRIPT", "host");
    LogCapture log;
    EXPECT_FALSE(apipa.getMSAutoIPAddress(&address));
    EXPECT_TRUE(address.isNull());
    EXPECT_TRUE(log.has("Unable to find unique IP for subnet [169.254.0.0].", "network", "info", "release"));
    RWCString subnet, mask;
    EXPECT_TRUE(apipa.getMSAutoIPSubnet(&subnet) && apipa.getMSAutoIPSubnetMask(&mask));
    EXPECT_EQ(std::string(subnet.data()) + " " + mask.data(), "169.254.0.0 255.255.0.0");
}

TEST(HostEndToEnd, PrinterAnswersOnlyThroughTheAddedRoute)
{
    const char* apply = std::getenv("RAVEL_E2E_APPLY_WIN");
    ASSERT_NE(apply, nullptr) << "runs inside host_namespace.sh end-to-end";
    // No ICMP double: Wine's own echo goes to the printer namespace.
    const std::string folder = programFolder("host-e2e", "ravelutil.exe", {"doubles\\route.exe"});
    ScopedVariable log("RAVEL_ROUTE_LOG", folder + "route.log"), real("RAVEL_ROUTE_APPLY", apply);
    const std::string exe = "\"" + folder + "ravelutil.exe\" ";
    EXPECT_EQ(ravel::test::runProgram(exe + "ping 10.88.0.2").out, "HOST_NOT_PRESENT\n");
    const ProgramResult run = ravel::test::runProgram(exe + "-v probe 10.88.0.2");
    EXPECT_EQ(run.out, "HOST_PRESENT\nroute added: true\n") << run.err;
    EXPECT_EQ(recordsOf(run.err, "src/BHost.cpp"),
              (Lines{tried("10.88.0.2", "10.77.0.1"), "10.88.0.2 found.", ret(2)}));
    EXPECT_EQ(ravel::test::runProgram(exe + "release 10.88.0.2").exitCode, 0);
    EXPECT_EQ(ravel::test::runProgram(exe + "ping 10.88.0.2").out, "HOST_NOT_PRESENT\n");
    EXPECT_EQ(lines(ravel::test::readFile(folder + "route.log")),
              (Lines{add("10.88.0.2", "10.77.0.1"), del("10.88.0.2")}));
}
