// Route table, ARP cache and ICMP probing through the DLL. This program runs in a folder of its
// own beside the route.exe and arp.exe doubles, which the library starts by command line; the
// platform branches and the icmp.dll double are exercised through copies of ravelutil.exe in
// scratch folders. The only real echo goes to 127.0.0.1.
#include "LogCapture.h"
#include "RunProgram.h"
#include "TestData.h"
#include "WinScoped.h"

#include <ipexport.h>

#include "sysArpTable.h"
#include "sysICMP.h"
#include "sysNetwork.h"
#include "sysRouteTable.h"
#include "sysRouteTableEntryPtrVector.h"
#include "sysRouteTableParser.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

using namespace ravel::test;
using Lines = std::vector<std::string>;

namespace {

// A route or arp double: the listing it prints and the file its command lines go to.
struct CommandDouble
{
    CommandDouble(const std::string& name, const std::string& listing, const ScopedTempDir& scratch)
        : log(scratch / (name + ".log")), output("RAVEL_" + name + "_OUTPUT", listing),
          logVariable("RAVEL_" + name + "_LOG", log)
    {}
    Lines commands() const { return lines(readFile(log)); }
    const std::string log;
    const ScopedVariable output, logVariable;
};

// A scratch folder holding ravelutil.exe under the given name, the DLLs it needs and doubles.
struct RavelutilFolder : ScopedTempDir
{
    RavelutilFolder(const std::string& exe, std::initializer_list<const char*> doubles) : ScopedTempDir("net")
    {
        const std::string bin = binDir() + "..\\";
        EXPECT_TRUE(copyInto(bin + "ravelutil.exe", path(), exe));
        for (const char* dll : {"qvzkut01.dll", "tls7912d.dll"})
            EXPECT_TRUE(copyInto(bin + dll, path(), dll));
        for (const std::string name : doubles)
            EXPECT_TRUE(copyInto(bin + "doubles\\" + name, path(), name.substr(name.rfind('\\') + 1))) << name;
    }
    ProgramResult run(const std::string& exe, const std::string& arguments) const
    {
        return runProgram("\"" + *this / exe + "\" " + arguments);
    }
};

std::string netRecord(const std::string& comment, const char* type, const char* file = "src/sysNetwork.cpp")
{
    return record(comment, "network", type, "release", file);
}

// The record of a route or arp command that could not be started.
std::string notStarted(const char* method, const std::string& command)
{
    const std::string file = std::string("src/") + (command[0] == 'r' ? "sysRouteTable" : "sysArpTable") + ".cpp";
    return netRecord(std::string(method) + " FAILED to SpawnProcess - " + command, "error", file.c_str());
}

} // namespace

TEST(RouteAndArpTables, CommandsAnswersAndTheirRecords)
{
    const ScopedTempDir scratch("net-commands");
    CommandDouble route("ROUTE", "", scratch), arp("ARP", dataPath("net/arp/08-win10-getmac-multi-if.txt"), scratch);
    LogCapture log;
    sysRouteTable routes;
    EXPECT_TRUE(routes.addToRouteTable("192.0.0.192", "10.1.2.3"));
    EXPECT_TRUE(routes.deleteFromRouteTable("192.0.0.192"));
    // Too long for the command-line buffer: never run, reported like a command that cannot start.
    const RWCString longAddress('1', 300);
    EXPECT_FALSE(routes.addToRouteTable(longAddress, "10.1.2.3"));
    EXPECT_FALSE(routes.deleteFromRouteTable(longAddress));
    // Wine reports a version from 2000 on unless told otherwise: the route is persistent.
    EXPECT_EQ(route.commands(), (Lines{"route -p ADD 192.0.0.192 10.1.2.3", "route delete 192.0.0.192"}));
    EXPECT_TRUE(log.general("[sysRouteTable::addToRouteTable] attempting to add IP {192.0.0.192} NIC {10.1.2.3}"));
    EXPECT_TRUE(
        log.contains(notStarted("[sysRouteTable::addToRouteTable]", "route -p ADD " + str(longAddress) + " 10.1.2.3")));

    sysArpTable arps;
    EXPECT_TRUE(arps.inARPTable("10.0.0.187", "5C:AA:FD:5E:49:48"));
    EXPECT_FALSE(arps.inARPTable("10.0.0.175", "5c:aa:fd:5e:49:48"));
    EXPECT_TRUE(arps.addToArpTableWithInterface("192.0.0.192", "00:11:22:33:44:55", "10.1.2.3"));
    EXPECT_TRUE(arps.deleteFromArpTable("192.0.0.192"));
    EXPECT_FALSE(arps.deleteFromArpTable(RWCString('9', 300)));
    EXPECT_EQ(arp.commands(), (Lines{"arp.exe -a", "arp.exe -a", "arp -s 192.0.0.192 00-11-22-33-44-55 10.1.2.3",
                                     "arp -d 192.0.0.192"}));
    EXPECT_TRUE(log.contains(record("[sysArpTable::addToArpTableWithInterface] IP : 192.0.0.192 MAC : "
                                    "00-11-22-33-44-55 NIC : 10.1.2.3",
                                    "general", "info", "release", "src/sysArpTable.cpp")));
    EXPECT_TRUE(log.contains(notStarted("[sysArpTable::deleteFromArpTable]", "arp -d " + std::string(300, '9'))));
    writeFile(scratch / "small.txt",
              "\r\nInterface: 10.0.0.5 --- 0x4\r\n  10.0.0.1  00-aa-bb-cc-dd-ee  dynamic\r\nrest");
    CommandDouble smallArp("ARP", scratch / "small.txt", scratch);
    EXPECT_EQ(str(arps.dumpArpTable()), "Interface: 10.0.0.5 --- 0x\n  10.0.0.1  00-aa-bb-cc-dd-ee  dynami\n\n");
}

TEST(RouteTable, OneParseUntilResetAndTheParserAppends)
{
    const ScopedTempDir scratch("net-route-parse");
    writeFile(scratch / "newer.txt", "          0.0.0.0          0.0.0.0       10.7.7.1       10.7.7.7    1\r\n");
    {
        CommandDouble route("ROUTE", dataPath("net/route/01-nt4-kb162055-active-only.txt"), scratch);
        sysRouteTable table;
        EXPECT_EQ(str(table.getNICforClosestMatch("100.50.41.50")), "100.50.84.54");
        EXPECT_EQ(str(table.getNICforClosestMatch("0.0.0.0")), "NOT FOUND");
        EXPECT_TRUE(sysRouteTable::initializeParser());
        EXPECT_EQ(route.commands(), Lines{"route print"});
        sysRouteTableEntryPtrVector entries;
        sysRouteTableParser parser;
        EXPECT_FALSE(parser.init(nullptr) || parser.beenInitialized());
        EXPECT_TRUE(parser.init(&entries));
        ASSERT_EQ(entries.entries(), 9u);
        sysRouteTableParser copy(parser); // shares the vector: each parse appends to it
        EXPECT_TRUE(copy.beenInitialized() && parser.reset() && copy.reset());
        EXPECT_EQ(entries.entries(), 27u);
        EXPECT_EQ(str(entries[26]->m_destination), "255.255.255.255");
    }
    CommandDouble route("ROUTE", scratch / "newer.txt", scratch);
    sysRouteTable table;
    // Not seen until the table is parsed again; then the newest equal route wins.
    EXPECT_EQ(str(table.getNICforClosestMatch("8.8.8.8")), "100.50.84.54");
    EXPECT_TRUE(sysRouteTable::resetParser());
    EXPECT_EQ(str(table.getNICforClosestMatch("8.8.8.8")), "10.7.7.7");
}

TEST(RavelutilNet, RouteAddFollowsThePlatformAndMissingProgramsAreReported)
{
    const char* const cases[][2] = {{"win95", "route ADD"},
                                    {"win98", "route ADD"},
                                    {"winme", "route -p ADD"},
                                    {"nt40", "route -p ADD"},
                                    {"winxp", "route -p ADD"}};
    for (const auto& c : cases) {
        const std::string exe = std::string("ru-") + c[0] + ".exe";
        const RavelutilFolder folder(exe, {"route.exe"});
        CommandDouble route("ROUTE", "", folder);
        ScopedWineSetting version(exe, "", "Version", c[0]);
        EXPECT_EQ(folder.run(exe, "route-add 192.0.0.192 10.1.2.3").exitCode, 0) << c[0];
        EXPECT_EQ(route.commands(), Lines{std::string(c[1]) + " 192.0.0.192 10.1.2.3"}) << c[0];
    }
    const RavelutilFolder folder("ravelutil.exe", {"route.exe"});
    CommandDouble route("ROUTE", dataPath("net/route/17-win10plus-multiple-default-gw.txt"), folder);
    EXPECT_EQ(folder.run("ravelutil.exe", "nic-for 203.0.113.9").out, "10.21.38.97\n");
    // Without a route program nothing can run: the failure is reported, the listing is empty.
    DeleteFileA((folder / "route.exe").c_str());
    const ProgramResult failed = folder.run("ravelutil.exe", "-v route-delete 192.0.0.192");
    EXPECT_EQ(failed.exitCode, 1);
    EXPECT_NE(failed.err.find(notStarted("[sysRouteTable::deleteFromRouteTable]", "route delete 192.0.0.192")),
              std::string::npos)
        << failed.err;
    EXPECT_EQ(folder.run("ravelutil.exe", "nic-for 10.0.0.1").out, "NOT FOUND\n");
}

TEST(Network, HostPresenceIcmpCopiesInterfacesAndHostNames)
{
    LogCapture log;
    sysNetwork network;
    EXPECT_TRUE(network.isIcmpDllPresent());
    EXPECT_EQ(network.hostPresent("127.0.0.1", 60), sysNetwork::HOST_PRESENT);
    EXPECT_TRUE(log.general("hostPresent: started IP:127.0.0.1", "info", "omega"));
    EXPECT_TRUE(log.contains(netRecord("Received replies from host [127.0.0.1]", "info")));
    // The reply's source is compared as text: leading zeros never match it.
    EXPECT_EQ(network.hostPresent("127.000.000.001", 0), sysNetwork::HOST_NOT_PRESENT);
    EXPECT_TRUE(log.contains(netRecord("Received replies from router [127.0.0.1] not host [127.000.000.001]", "info")));
    // Both folders hold the program under this one name.
    const std::string exe = "ru-icmp.exe";
    const RavelutilFolder folder(exe, {"icmp\\icmp.dll"}), incomplete(exe, {"icmp-incomplete\\icmp.dll"});
    ScopedWineSetting native(exe, "DllOverrides", "icmp", "native");
    ScopedVariable logVariable("RAVEL_ICMP_LOG", folder / "icmp.log");
    const std::string replySize = std::to_string(sizeof(ICMP_ECHO_REPLY) + 64 + 8);
    const char* const cases[][3] = {
        {"host", "HOST_PRESENT", "Received replies from host [127.0.0.2]"},
        {"other:10.0.0.254", "HOST_NOT_PRESENT", "Received replies from router [10.0.0.254] not host [127.0.0.2]"},
        {"none", "HOST_NOT_PRESENT", "No replies received from host [127.0.0.2]"},
        {"nocreate", "HOST_PROBE_FAILED", "Unable to create ICMP file!"},
    };
    // Every scripted address is loopback: should the double ever fail to load, nothing leaves the machine.
    for (const auto& c : cases) {
        ScopedVariable script("RAVEL_ICMP_SCRIPT", c[0]);
        DeleteFileA((folder / "icmp.log").c_str());
        const ProgramResult run = folder.run(exe, "ping 127.0.0.2 --log-level omega");
        const Lines calls = lines(readFile(folder / "icmp.log"));
        ASSERT_FALSE(calls.empty()) << "the icmp.dll double was not loaded";
        EXPECT_EQ(run.out, std::string(c[1]) + "\n") << c[0];
        const bool failure = std::string(c[1]) == "HOST_PROBE_FAILED";
        EXPECT_NE(run.err.find(netRecord(c[2], failure ? "error" : "info")), std::string::npos) << c[0] << run.err;
        const Lines expected = failure ? Lines{"IcmpCreateFile failed"}
                                       : Lines{"IcmpCreateFile",
                                               "IcmpSendEcho 127.0.0.2 handle=ok request=64 head=aaaaaaaa options=none "
                                               "reply=" +
                                                   replySize + " timeout=1000 script=" + c[0],
                                               "IcmpCloseHandle"};
        EXPECT_EQ(calls, expected);
    }
    const ProgramResult run = incomplete.run(exe, "-v ping 127.0.0.2");
    EXPECT_EQ(run.out, "HOST_PROBE_FAILED\n");
    EXPECT_NE(run.err.find(netRecord("icmp.dll was not loaded!", "error")), std::string::npos) << run.err;
    // Copies keep the library loaded: a handle made through one closes through another.
    sysICMP* first = new sysICMP;
    ASSERT_TRUE(first->isLoaded());
    sysICMP copy(*first), assigned;
    assigned = copy;
    delete first;
    void* handle = nullptr;
    ASSERT_TRUE(assigned.IcmpCreateFile(handle));
    int closed = 0;
    const auto close = &sysICMP::IcmpCloseHandle;
    EXPECT_TRUE((copy.*close)(handle, closed));
    EXPECT_NE(closed, 0);
    log.clear();
    RWCString addresses("stale");
    int count = -1;
    ASSERT_TRUE(network.getInterfaces(addresses, count));
    const std::string text = str(addresses);
    EXPECT_GE(count, 1);
    EXPECT_EQ(static_cast<int>(std::count(text.begin(), text.end(), ' ')), count);
    EXPECT_TRUE(log.general("[sysNetwork::getInterfaces] returning: " + text, "info", "omega"));
    EXPECT_TRUE(network.isIPProtocolPresent());
    // Only a name the hosts file knows: any other lookup could leave this machine.
    RWCString name("untouched");
    ASSERT_TRUE(network.getHostName("127.0.0.1", &name));
    EXPECT_TRUE(log.general("sysNetwork::getHostName : HostName (" + str(name) + ") IP (127.0.0.1)"));
}
