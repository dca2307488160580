// Host reachability, the route-add helper and link-local addresses, run in a network namespace of
// their own (host_namespace.sh). "simulated": loopback only, three local interfaces named by the
// hosts file, the route and arp doubles keeping the table in a state file and the ICMP double
// answering from it; every scripted target is loopback or would find no route. "end-to-end": a
// printer in a second namespace, reached through a route the double applies with "ip route".
#include <windows.h>

#include "LogCapture.h"
#include "RunProgram.h"
#include "TestPaths.h"
#include "WinScoped.h"

#include "BAPIPA.h"
#include "BHost.h"
#include "internal/net/Apipa.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace {

using testpaths::copyInto;
using testpaths::lines;
using testpaths::ScopedVariable;
using testpaths::ScopedWineSetting;
using Lines = std::vector<std::string>;

const std::string A = "127.0.0.9", S = "192.0.0.192", MAC = "00:11:22:33:44:55", DASH = "00-11-22-33-44-55";
const std::string I1 = "10.1.2.3", I2 = "10.2.0.1", I3 = "10.3.0.1";
const char kRunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";

bool inMode(const char* mode)
{
    const char* value = std::getenv("RAVEL_HOST_NAMESPACE");
    return value != nullptr && std::string(value) == mode;
}
#define REQUIRE_MODE(mode)                                                                          \
    if (!inMode(mode))                                                                              \
    GTEST_SKIP() << "runs inside host_namespace.sh " mode

std::string add(const std::string& a, const std::string& i, bool persistent = true)
{
    return (persistent ? "route -p ADD " : "route ADD ") + a + " " + i;
}
std::string del(const std::string& a) { return "route delete " + a; }
std::string arpS(const std::string& i) { return "arp -s " + S + " " + DASH + " " + i; }
const std::string arpD = "arp -d " + S;
std::string addroute(const std::string& a, const std::string& i)
{
    return "hostPresentWithRouteAdd: addroute IP:" + a + " Interface IP:" + i;
}
std::string ret(int n) { return "hostPresentWithRouteAdd: returnValue: " + std::to_string(n); }

// The comments of the records one source wrote, in order; each must be general/info/release
// (network/info/release for BAPIPA).
Lines recordsOf(const std::string& err, const char* file, const char* category = "general")
{
    Lines found;
    for (const std::string& line : lines(err)) {
        if (line.find(std::string("  FILE: ") + file + "  LINE: ") == std::string::npos)
            continue;
        const std::string comment = line.substr(9, line.find("   CAT: ") - 9);
        EXPECT_EQ(line.rfind(testpaths::record(comment, category, "info", "release", file), 0), 0u) << line;
        found.push_back(comment);
    }
    return found;
}

std::string runValue(const std::string& name)
{
    char data[512] = {};
    DWORD size = sizeof data;
    if (RegGetValueA(HKEY_LOCAL_MACHINE, kRunKey, name.c_str(), RRF_RT_REG_SZ, nullptr, data, &size) != ERROR_SUCCESS)
        return "(none)";
    return data;
}

// A folder holding ravelutil.exe under a name of its own, the DLLs, the doubles and the helper,
// with the simulated network's files and variables; both command doubles log to one file, so the
// order of route and arp commands shows.
class Network
{
public:
    Network(const std::string& name, const std::string& exe = "ravelutil.exe", const std::string& from = "ravelutil.exe")
        : m_folder(testpaths::scratchDir(name)), m_exe(exe)
    {
        const std::string bin = testpaths::binDir();
        for (const char* file : {"qvzkut01.dll", "tls7912d.dll", "qvkxora.exe", "doubles\\route.exe",
                                 "doubles\\arp.exe", "doubles\\icmp\\icmp.dll"}) {
            const std::string path(file);
            EXPECT_TRUE(copyInto(bin + path, m_folder, path.substr(path.find_last_of('\\') + 1))) << file;
        }
        EXPECT_TRUE(copyInto(bin + from, m_folder, exe));
        set("RAVEL_NET_STATE", m_folder + "state.txt");
        set("RAVEL_ROUTE_LOG", m_folder + "commands.log");
        set("RAVEL_ARP_LOG", m_folder + "commands.log");
        set("RAVEL_ICMP_LOG", m_folder + "icmp.log");
        m_native = std::make_unique<ScopedWineSetting>(exe, "DllOverrides", "icmp", "native");
    }
    void set(const std::string& name, const std::string& value)
    {
        m_variables.push_back(std::make_unique<ScopedVariable>(name, value));
    }
    testpaths::ProgramResult run(const std::string& arguments) const
    {
        return testpaths::runProgram("\"" + m_folder + m_exe + "\" -v " + arguments);
    }
    Lines commands() const { return lines(testpaths::readFile(m_folder + "commands.log")); }
    std::string state() const { return testpaths::readFile(m_folder + "state.txt"); }
    // How many echoes the ICMP double sent: none at all would mean the system library answered.
    int echoes() const
    {
        int n = 0;
        for (const std::string& line : lines(testpaths::readFile(m_folder + "icmp.log")))
            n += line.rfind("IcmpSendEcho ", 0) == 0;
        return n;
    }
    const std::string& folder() const { return m_folder; }

private:
    std::string m_folder;
    std::string m_exe;
    std::vector<std::unique_ptr<ScopedVariable>> m_variables;
    std::unique_ptr<ScopedWineSetting> m_native;
};

// Removes the helper's registration and the files it copies into the Windows directory.
struct HelperCleanup
{
    std::vector<std::string> addresses;
    ~HelperCleanup()
    {
        for (const std::string& a : addresses)
            RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, kRunKey, ("qvkxoroute" + a).c_str());
        char windows[MAX_PATH];
        GetWindowsDirectoryA(windows, MAX_PATH);
        for (const char* file : {"qvkxora.exe", "tls704d.dll", "msvcirt.dll", "msvcrt.dll", "qvzkut01.dll"})
            DeleteFileA((std::string(windows) + "\\" + file).c_str());
    }
};

} // namespace

TEST(HostScenarios, ResultsRecordsAndCommandsFollowTheScriptedNetwork)
{
    REQUIRE_MODE("simulated");
    struct Scenario
    {
        const char* name;
        std::string arguments, icmp, breakRoute, breakArp;
        int exit;
        std::string out;
        Lines commands, records;
        std::string state;
        int echoes;
    };
    const std::string present = "enableCommunications: host IS present";
    const Scenario scenarios[] = {
        {"at-once", "reach " + A, "host", "", "", 0, "", {},
         {"enableCommunications: addroute IP:" + A, A + " found.", present,
          "enableCommunications: route was NOT added in the hostPresentWithRouteAdd call."}, "", 1},
        {"second", "reach " + A, "state:route " + A + " " + I2, "", "", 0, "", {add(A, I1), del(A), add(A, I2)},
         {"enableCommunications: addroute IP:" + A, addroute(A, I1), addroute(A, I2), A + " found.", ret(2), present,
          "enableCommunications: route was added in the hostPresentWithRouteAdd call."},
         "route " + A + " " + I2 + "\n", 3},
        {"none", "probe " + A, "none", "", "", 1, "HOST_NOT_PRESENT\nroute added: false\n",
         {add(A, I1), del(A), add(A, I2), del(A), add(A, I3), del(A)},
         {addroute(A, I1), addroute(A, I2), addroute(A, I3), ret(1)}, "", 4},
        {"reach-none", "reach " + A, "none", "", "", 1, "", {add(A, I1), del(A), add(A, I2), del(A), add(A, I3), del(A)},
         {"enableCommunications: addroute IP:" + A, addroute(A, I1), addroute(A, I2), addroute(A, I3), ret(1),
          "enableCommunications: host NOT present"}, "", 4},
        {"route-cannot-run", "probe " + A, "none", "start", "", 1, "HOST_PROBE_FAILED\nroute added: false\n", {},
         {addroute(A, I1), ret(0)}, "", 1},
        {"arp-cannot-run", "probe " + S + " --mac " + MAC, "none", "", "-d", 1,
         "HOST_PROBE_FAILED\nroute added: false\n", {arpS(I1), arpD, add(S, I1)}, {addroute(S, I1), ret(0)},
         "route " + S + " " + I1 + "\n", 1},
        {"route-stays", "probe " + A, "none", "ADD", "", 1, "HOST_PROBE_FAILED\nroute added: true\n", {add(A, I1)},
         {addroute(A, I1), ret(0)}, "route " + A + " " + I1 + "\n", 2},
        {"hardware", "reach " + S + " --mac " + MAC, "state:route " + S + " " + I2 + ";arp " + S + " " + DASH + " " + I2,
         "", "", 0, "", {arpS(I1), arpD, add(S, I1), arpS(I1), arpD, del(S), add(S, I2), arpS(I2)},
         {"enableCommunications: addroute IP:" + S, addroute(S, I1), addroute(S, I2), S + " found.", ret(2), present,
          "enableCommunications: route was added in the hostPresentWithRouteAdd call."},
         "route " + S + " " + I2 + "\narp " + S + " " + DASH + " " + I2 + "\n", 3},
        // Without a hardware address the special address is an address like any other.
        {"no-hardware", "probe " + S, "none", "", "", 1, "HOST_NOT_PRESENT\nroute added: false\n",
         {add(S, I1), del(S), add(S, I2), del(S), add(S, I3), del(S)},
         {addroute(S, I1), addroute(S, I2), addroute(S, I3), ret(1)}, "", 4},
        {"release-special", "release " + S, "none", "", "", 0, "", {del(S), arpD},
         {"disableCommunications: delete route IP:" + S}, "", 0},
        {"release", "release " + A, "none", "", "", 0, "", {del(A)}, {"disableCommunications: delete route IP:" + A}, "",
         0},
    };
    for (const Scenario& s : scenarios) {
        Network net(std::string("host-") + s.name);
        net.set("RAVEL_ICMP_SCRIPT", s.icmp);
        net.set("RAVEL_ROUTE_BREAK", s.breakRoute);
        net.set("RAVEL_ARP_BREAK", s.breakArp);
        if (s.breakRoute == "start")
            testpaths::writeFile(net.folder() + "route.exe", "not a program\n");
        const testpaths::ProgramResult run = net.run(s.arguments);
        EXPECT_EQ(run.exitCode, s.exit) << s.name << "\n" << run.err;
        EXPECT_EQ(run.out, s.out) << s.name;
        EXPECT_EQ(net.commands(), s.commands) << s.name;
        EXPECT_EQ(recordsOf(run.err, "src/BHost.cpp"), s.records) << s.name;
        EXPECT_EQ(net.state(), s.state) << s.name;
        EXPECT_EQ(net.echoes(), s.echoes) << s.name;
    }
}

TEST(HostScenarios, WithoutTheIcmpLibraryNothingIsTriedOrLogged)
{
    REQUIRE_MODE("simulated");
    char system[MAX_PATH];
    GetSystemDirectoryA(system, MAX_PATH);
    const std::string icmp = std::string(system) + "\\icmp.dll", aside = icmp + ".aside";
    ASSERT_TRUE(MoveFileA(icmp.c_str(), aside.c_str()));
    const testpaths::ProgramResult run = Network("host-no-icmp").run("reach " + A);
    MoveFileA(aside.c_str(), icmp.c_str());
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(recordsOf(run.err, "src/BHost.cpp"), Lines{});
}

TEST(HostHelper, RegisteredUnderWindows98AndNotUnderXP)
{
    REQUIRE_MODE("simulated");
    HelperCleanup cleanup{{A, S}};
    Network net98("host-helper-98", "ru-98.exe");
    ScopedWineSetting version98("ru-98.exe", "", "Version", "win98");
    // The helper's files are taken from the current directory; stand-ins with a version resource
    // for the libraries it names, so that the five can be current.
    for (const char* library : {"tls704d.dll", "msvcirt.dll", "msvcrt.dll"})
        ASSERT_TRUE(copyInto(testpaths::binDir() + "tls7912d.dll", net98.folder(), library));
    char previous[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, previous);
    SetCurrentDirectoryA(net98.folder().c_str());

    testpaths::ProgramResult run = net98.run("helper-install " + S + " " + I1);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    char windows[MAX_PATH];
    GetWindowsDirectoryA(windows, MAX_PATH);
    EXPECT_NE(GetFileAttributesA((std::string(windows) + "\\qvkxora.exe").c_str()), INVALID_FILE_ATTRIBUTES);
    const std::string registered = "qvkxora.exe -i " + S + " -g " + I1;
    EXPECT_EQ(runValue("qvkxoroute" + S), registered);
    const testpaths::ProgramResult again = net98.run("helper-install " + S + " " + I2);
    EXPECT_EQ(again.exitCode, 0);
    EXPECT_EQ(runValue("qvkxoroute" + S), registered);
    const testpaths::ProgramResult removed = net98.run("helper-remove " + S);
    EXPECT_EQ(removed.exitCode, 0);
    EXPECT_EQ(runValue("qvkxoroute" + S), "(none)");
    EXPECT_EQ(net98.run("helper-remove " + S).exitCode, 0);
    const std::string install = "BHost::copyRouteAddExeToWindowsDirectory : Files are ";
    EXPECT_EQ(recordsOf(run.err + again.err + removed.err, "src/BHost.cpp"),
              (Lines{install + "NOT current. Installing...", "BHost::copyAndSetupRouteAddExe : Registry Set " + S,
                     install + "current.", "BHost::copyAndSetupRouteAddExe : Registry Already Set - Key = qvkxoroute" + S,
                     "BHost::deleteAndRemoveSetupRouteAddExe : Registry deleteValue " + S}));

    // While routes are tried: registered per interface, removed when the route did not help.
    net98.set("RAVEL_ICMP_SCRIPT", "state:route " + A + " " + I2);
    run = net98.run("probe " + A + " --helper");
    EXPECT_EQ(run.out, "HOST_PRESENT\nroute added: true\n");
    EXPECT_EQ(net98.commands(), (Lines{add(A, I1, false), del(A), add(A, I2, false)}));
    EXPECT_EQ(runValue("qvkxoroute" + A), "qvkxora.exe -i " + A + " -g " + I2);
    EXPECT_EQ(recordsOf(run.err, "src/BHost.cpp"),
              (Lines{addroute(A, I1), install + "current.", "BHost::copyAndSetupRouteAddExe : Registry Set " + A,
                     "BHost::deleteAndRemoveSetupRouteAddExe : Registry deleteValue " + A, addroute(A, I2),
                     install + "current.", "BHost::copyAndSetupRouteAddExe : Registry Set " + A, A + " found.", ret(2)}));
    RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, kRunKey, ("qvkxoroute" + A).c_str());

    Network netXP("host-helper-xp", "ru-xp.exe");
    ScopedWineSetting versionXP("ru-xp.exe", "", "Version", "winxp");
    netXP.set("RAVEL_ICMP_SCRIPT", "state:route " + A + " " + I2);
    run = netXP.run("probe " + A + " --helper");
    EXPECT_EQ(run.out, "HOST_PRESENT\nroute added: true\n");
    EXPECT_EQ(runValue("qvkxoroute" + A), "(none)");
    EXPECT_EQ(recordsOf(run.err, "src/BHost.cpp"), (Lines{addroute(A, I1), addroute(A, I2), A + " found.", ret(2)}));
    SetCurrentDirectoryA(previous);
}

TEST(HostHelper, HelperProgramAddsTheRouteAlone)
{
    REQUIRE_MODE("simulated");
    // Only the helper and the route double: none of the library's DLLs.
    const std::string folder = testpaths::scratchDir("host-qvkxora");
    const std::string bin = testpaths::binDir();
    ASSERT_TRUE(copyInto(bin + "qvkxora.exe", folder, "qvkxora.exe"));
    ASSERT_TRUE(copyInto(bin + "qvkxora.exe", folder, "qv-98.exe"));
    ASSERT_TRUE(copyInto(bin + "doubles\\route.exe", folder, "route.exe"));
    ScopedWineSetting version98("qv-98.exe", "", "Version", "win98");
    ScopedVariable log("RAVEL_ROUTE_LOG", folder + "route.log");
    EXPECT_EQ(testpaths::runProgram("\"" + folder + "qvkxora.exe\" -i " + S + " -g " + I1).exitCode, 0);
    EXPECT_EQ(testpaths::runProgram("\"" + folder + "qv-98.exe\" -g " + I1 + " -i " + S).exitCode, 0);
    EXPECT_EQ(testpaths::runProgram("\"" + folder + "qvkxora.exe\" -i " + S).exitCode, 2);
    EXPECT_EQ(lines(testpaths::readFile(folder + "route.log")), (Lines{add(S, I1), add(S, I1, false)}));
    DeleteFileA((folder + "route.exe").c_str());
    EXPECT_EQ(testpaths::runProgram("\"" + folder + "qvkxora.exe\" -i " + S + " -g " + I1).exitCode, 1);
    // A version resource, so the installer's comparison can tell it current.
    EXPECT_GT(GetFileVersionInfoSizeA((folder + "qvkxora.exe").c_str(), nullptr), 0u);
}

TEST(Apipa, CommandsListCandidatesAndReportExhaustion)
{
    REQUIRE_MODE("simulated");
    Network net("host-apipa");
    EXPECT_EQ(net.run("apipa-candidates 169.254.0.0 8 4660").out.substr(0, 45),
              "169.254.179.90\n169.254.220.237\n169.254.8.131\n");
    EXPECT_EQ(net.run("apipa-candidates 169.254.254.0 1 4660").out, "169.254.254.107 skipped\n");
    // No attempt, or only skipped ones: no probe, one record.
    for (const char* subnet : {"169.254.0.0", "10.0.254.0"}) {
        const std::string attempts = std::string(subnet) == "10.0.254.0" ? "3" : "0";
        const testpaths::ProgramResult run = net.run(std::string("apipa --subnet ") + subnet + " --attempts " + attempts);
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_EQ(recordsOf(run.err, "src/BAPIPA.cpp", "network"),
                  Lines{std::string("Unable to find unique IP for subnet [") + subnet + "]."});
    }
    EXPECT_EQ(net.echoes(), 0);
    EXPECT_EQ(net.commands(), Lines{});
}

// The class in a process of its own: a copy of this program named host-98.exe, told Windows 98,
// with the ICMP double, started with RAVEL_HOST_CHILD set.
TEST(HostClass, RunInAChildUnderWindows98)
{
    REQUIRE_MODE("simulated");
    if (std::getenv("RAVEL_HOST_CHILD") != nullptr)
        GTEST_SKIP();
    HelperCleanup cleanup{{A}};
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    Network net("host-class", "host-98.exe", std::string(self).substr(std::string(self).find_last_of('\\') + 1));
    ScopedWineSetting version98("host-98.exe", "", "Version", "win98");
    ScopedVariable child("RAVEL_HOST_CHILD", "1");
    char previous[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, previous);
    SetCurrentDirectoryA(net.folder().c_str());
    const testpaths::ProgramResult run =
        testpaths::runProgram("\"" + net.folder() + "host-98.exe\" --gtest_filter=HostChild.*");
    SetCurrentDirectoryA(previous);
    EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
    EXPECT_NE(run.out.find("[  PASSED  ] 2 tests."), std::string::npos) << run.out;
}

TEST(HostChild, DisablingCanBeForbiddenForTheProcess)
{
    if (std::getenv("RAVEL_HOST_CHILD") == nullptr)
        GTEST_SKIP();
    const std::string folder = testpaths::binDir();
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
    EXPECT_EQ(runValue("qvkxoroute" + A), "qvkxora.exe -i " + A + " -g " + I1);
    host.allowDisableCommunications(true);
    EXPECT_TRUE(host.disableCommunications(A.c_str()));
    EXPECT_EQ(lines(testpaths::readFile(folder + "commands.log")), (Lines{add(A, I1, false), del(A)}));
}

TEST(HostChild, TakenCandidateLosesItsRouteAndTheNextIsFree)
{
    if (std::getenv("RAVEL_HOST_CHILD") == nullptr)
        GTEST_SKIP();
    const std::string folder = testpaths::binDir();
    DeleteFileA((folder + "commands.log").c_str());
    unsigned numbers[4];
    ravel::apipaSubnetNumbers("169.254.0.0", numbers);
    const std::uint32_t seed = ravel::apipaSeed(GetCurrentProcessId());
    const std::string first = ravel::apipaCandidate(numbers, seed, 8).text;
    const std::string second = ravel::apipaCandidate(numbers, seed, 7).text;
    HelperCleanup cleanup{{first, second}};
    ScopedVariable script("RAVEL_ICMP_SCRIPT", "state:route " + first + " " + I1);
    BAPIPA apipa;
    RWCString address;
    ASSERT_TRUE(apipa.getAutoIPAddress("169.254.0.0", &address, 8));
    EXPECT_EQ(std::string(address.data()), second);
    EXPECT_EQ(lines(testpaths::readFile(folder + "commands.log")),
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
    REQUIRE_MODE("end-to-end");
    const char* apply = std::getenv("RAVEL_E2E_APPLY_WIN");
    ASSERT_NE(apply, nullptr);
    // No ICMP double: Wine's own echo goes to the printer namespace.
    const std::string folder = testpaths::scratchDir("host-e2e");
    const std::string bin = testpaths::binDir();
    for (const char* file : {"ravelutil.exe", "qvzkut01.dll", "tls7912d.dll"})
        ASSERT_TRUE(copyInto(bin + file, folder, file));
    ASSERT_TRUE(copyInto(bin + "doubles\\route.exe", folder, "route.exe"));
    ScopedVariable log("RAVEL_ROUTE_LOG", folder + "route.log");
    ScopedVariable real("RAVEL_ROUTE_APPLY", apply);
    const std::string exe = "\"" + folder + "ravelutil.exe\" ";

    EXPECT_EQ(testpaths::runProgram(exe + "ping 10.88.0.2").out, "HOST_NOT_PRESENT\n");
    const testpaths::ProgramResult run = testpaths::runProgram(exe + "-v probe 10.88.0.2");
    EXPECT_EQ(run.out, "HOST_PRESENT\nroute added: true\n") << run.err;
    EXPECT_EQ(recordsOf(run.err, "src/BHost.cpp"),
              (Lines{addroute("10.88.0.2", "10.77.0.1"), "10.88.0.2 found.", ret(2)}));
    EXPECT_EQ(testpaths::runProgram(exe + "release 10.88.0.2").exitCode, 0);
    EXPECT_EQ(testpaths::runProgram(exe + "ping 10.88.0.2").out, "HOST_NOT_PRESENT\n");
    EXPECT_EQ(lines(testpaths::readFile(folder + "route.log")),
              (Lines{add("10.88.0.2", "10.77.0.1"), del("10.88.0.2")}));
}
