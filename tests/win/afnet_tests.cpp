// The address-family independent class through the DLL. Echoes go only to loopback: the ICMPv6
// double answers by script, the system library is asked about ::1 and 127.0.0.1. Adapters and
// names need the network of afnet_namespace.sh (veth pairs, its own hosts file); those tests
// skip elsewhere.
#include <winsock2.h>
#include <ws2tcpip.h>

#include "LogCapture.h"
#include "RunProgram.h"
#include "TestData.h"
#include "WinScoped.h"

#include "sysNetworkAFIndependent.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

using namespace ravel::test;

namespace {

const char kFile[] = "src/sysnetworkafindependent.cpp";

std::string joined(const RWCStringVector& v)
{
    std::string all;
    for (const RWCString& s : v)
        all += str(s) + "\n";
    return all;
}

bool inNamespace() { return std::getenv("RAVEL_AFNET_NAMESPACE") != nullptr; }

#define NEEDS_NAMESPACE()                                                                                              \
    if (!inNamespace())                                                                                                \
    GTEST_SKIP() << "needs the network of afnet_namespace.sh"

std::string listing(const interfaceAddresses* entries, int count)
{
    std::string all = "\n";
    for (int i = 0; i < count; ++i)
        all += str(entries[i].address) + "\n";
    return all;
}

std::string info(const std::string& comment) { return record(comment, "general", "info", "release", kFile); }

} // namespace

TEST(AFAddressing, TextTestsAndConversionRecords)
{
    struct Case
    {
        const char* text;
        const char* passes;
    };
    const Case cases[] = {{"999.0.0.1", "ipv4 ipv6 fqdn"},
                          {"1.2.3", "fqdn"},
                          {"fe80::1", "ipv6 link-local"},
                          {"1::", "ipv6"},
                          {"::1", ""},
                          {"1::2::3", ""},
                          {"127.0.0.2", "ipv4 ipv6 valid-ipv4 fqdn"},
                          {"192.0.0.192", "ipv4 ipv6 fqdn"},
                          {"127.0.0.1", "ipv4 ipv6 loopback fqdn"},
                          {"169.254.1.1", "ipv4 ipv6 valid-ipv4 link-local fqdn"},
                          {"0:0:0:0:0:0:0:1", "ipv6 loopback"},
                          {"\"\"", "ipv6"}};
    for (const Case& c : cases) {
        const ravel::test::ProgramResult run = ravel::test::ravelutil(std::string("addr ") + c.text);
        EXPECT_EQ(run.out, std::string(c.passes) + "\n") << c.text;
        EXPECT_EQ(run.exitCode, 0) << c.text;
    }

    // Passes both scans but is no address: the conversion itself refuses it.
    LogCapture log;
    sockaddr_storage address = {};
    EXPECT_FALSE(sysNetworkAFIndependent().RWCStringToSockaddr("999.0.0.1", address));
    EXPECT_TRUE(log.contains(info("sysNetworkAFIndependent::RWCStringToSockaddr WSAStringToAddress failed "
                                  "(WSAGetLastError = 10022)")));
}

TEST(AFPresence, ScriptedIcmp6GivesEachOutcomeSendCountAndRecord)
{
    const std::string exe = "ru-icmp6.exe";
    const std::string folder = programFolder("afnet-icmp6", exe, {"doubles\\icmp6\\iphlpapi.dll"});
    const std::string incomplete =
        programFolder("afnet-icmp6-incomplete", exe, {"doubles\\icmp6-incomplete\\iphlpapi.dll"});
    ScopedWineSetting native(exe, "DllOverrides", "iphlpapi", "native");
    const std::string icmpLog = folder + "icmp6.log";
    ScopedVariable logVariable("RAVEL_ICMP6_LOG", icmpLog);

    const std::string send = " 23/00000000000000000000000000000000 to 23/00000000000000000000000000000001 data=32x0 "
                             "ttl=255 tos=0 flags=0 options=0 reply=292 timeout=250";
    struct Case
    {
        const char* script;
        const char* answer;
        int sends;
        const char* comment;
    };
    const Case cases[] = {
        {"reply-at:1", "HOST_PRESENT", 1, nullptr},
        {"reply-at:2", "HOST_PRESENT", 2, nullptr},
        {"reply-at:3", "HOST_PRESENT", 3, nullptr},
        {"none", "HOST_NOT_PRESENT", 3, "sysNetworkAFIndependent::hostPresent - Ping timed-out."},
        {"error", "HOST_NOT_PRESENT", 3, "sysNetworkAFIndependent::hostPresent ERROR - Ping error (11050)"},
        {"nocreate", "HOST_PROBE_FAILED", 0,
         "sysNetworkAFIndependent::hostPresent ERROR - IcmpCreateFile() failed (5)"},
        // -1: the library without Icmp6ParseReplies, where nothing is called.
        {"reply-at:1", "HOST_PROBE_FAILED", -1,
         "sysNetworkAFIndependent::hostPresent ERROR - Could get IPHLPAPI.DLL function address(es)"},
    };
    // Only ::1 is probed: should the double ever fail to load, nothing leaves the machine.
    for (const Case& c : cases) {
        ScopedVariable script("RAVEL_ICMP6_SCRIPT", c.script);
        DeleteFileA(icmpLog.c_str());
        const ravel::test::ProgramResult run = runProgram("\"" + (c.sends < 0 ? incomplete : folder) + exe +
                                                          "\" ping6 ::1 --timeout 250 --log-level release");
        EXPECT_EQ(run.out, std::string(c.answer) + "\n") << c.script;
        std::vector<std::string> expected{"loaded"};
        if (c.sends == 0)
            expected.push_back("Icmp6CreateFile failed");
        if (c.sends > 0) {
            expected.push_back("Icmp6CreateFile");
            for (int i = 1; i <= c.sends; ++i)
                expected.push_back("Icmp6SendEcho2 #" + std::to_string(i) + send);
            if (c.comment != nullptr)
                expected.push_back("Icmp6ParseReplies reply=292");
            expected.push_back("IcmpCloseHandle");
        }
        EXPECT_EQ(lines(ravel::test::readFile(icmpLog)), expected) << c.script;
        if (c.comment != nullptr)
            EXPECT_NE(run.err.find(info(c.comment)), std::string::npos) << c.script << "\n" << run.err;
        else
            EXPECT_EQ(run.err.find("hostPresent"), std::string::npos) << c.script << "\n" << run.err;
    }
}

TEST(AFPresence, SystemLibraryAndLoopback)
{
    LogCapture log;
    sysNetworkAFIndependent net;
    // Wine 8 has no Icmp6ParseReplies: the probe cannot be made there. Where it exists, ::1 answers.
    const bool icmp6 = GetProcAddress(LoadLibraryA("iphlpapi.dll"), "Icmp6ParseReplies") != nullptr;
    EXPECT_EQ(net.hostPresent("::1", AF_INET6, 1000),
              icmp6 ? sysNetworkAFIndependent::HOST_PRESENT : sysNetworkAFIndependent::HOST_PROBE_FAILED);
    EXPECT_EQ(
        log.contains(info("sysNetworkAFIndependent::hostPresent ERROR - Could get IPHLPAPI.DLL function address(es)")),
        !icmp6);
    EXPECT_EQ(net.hostPresent("127.0.0.1", AF_INET, 1000), sysNetworkAFIndependent::HOST_PRESENT);
    EXPECT_EQ(ravel::test::ravelutil("protocols").out.find("IPv6 true\n"),
              std::string("icmp.dll true\nIP true\n").size());
}

TEST(AFPlatform, FinerPlatformPerVersionAndTheOlderAdapterListing)
{
    struct Case
    {
        const char* version;
        const char* platform;
    };
    // Wine tells every version its usual service pack; 9x has none.
    const Case cases[] = {{"win98", "WIN98 3\nservice pack 0.0"},     {"nt40", "WINNT4 5\nservice pack 6.0"},
                          {"win2k", "WIN2000 6\nservice pack 4.0"},   {"winxp", "WINXP 7\nservice pack 3.0"},
                          {"win2003", "WIN2003 8\nservice pack 2.0"}, {"vista", "WINVISTA 9\nservice pack 2.0"}};
    for (const Case& c : cases) {
        const std::string exe = std::string("ru-") + c.version + ".exe";
        const std::string folder = programFolder(std::string("afnet-version-") + c.version, exe);
        ScopedWineSetting version(exe, "", "Version", c.version);
        const ravel::test::ProgramResult run = ravel::test::runProgram("\"" + folder + exe + "\" platform-sp");
        EXPECT_EQ(run.out, std::string("PLATFORMS_") + c.platform + "\n");
        if (std::string(c.version) == "win2k") {
            // Before XP there is no IPv6 listing at all.
            const ravel::test::ProgramResult adapters =
                ravel::test::runProgram("\"" + folder + exe + "\" adapters --family 23");
            EXPECT_EQ(adapters.exitCode, 1);
            EXPECT_EQ(adapters.out, "");
            if (inNamespace()) {
                // The older listing keeps an adapter's last IPv4 address.
                const std::string v4 = ravel::test::runProgram("\"" + folder + exe + "\" adapters --family 2").out;
                EXPECT_NE(v4.find("10.9.1.1 0 0\n"), std::string::npos) << v4;
                EXPECT_EQ(v4.find("10.9.0.1"), std::string::npos) << v4;
            }
        }
    }
}

TEST(AFNamespace, AdaptersOfBothFamilies)
{
    NEEDS_NAMESPACE();
    interfaceAddresses entries[16];
    entries[15].address = "untouched";
    int count = -1;
    ASSERT_TRUE(sysNetworkAFIndependent().getInterfaces(entries, count, AF_INET6));
    // Eighteen veth adapters (one a tunnel by name) and loopback: fifteen fit. v0a has a global
    // address, v0b link-local ones only (the latest is kept), isatap1 is left out, Isatap1 not.
    const std::string listed = listing(entries, count);
    EXPECT_EQ(count, 15);
    EXPECT_EQ(str(entries[15].address), "untouched");
    for (const char* entry : {"\n2001:db8:9::1\n", "\nfe80::10:2%v0b\n", "\nfe80::11:2%Isatap1\n"})
        EXPECT_NE(listed.find(entry), std::string::npos) << entry << listed;
    EXPECT_EQ(listed.find("isatap1"), std::string::npos) << listed;
    EXPECT_EQ(listed.find("\n::1\n"), std::string::npos) << listed;

    ASSERT_TRUE(sysNetworkAFIndependent().getInterfaces(entries, count, AF_INET));
    EXPECT_NE(listing(entries, count).find("\n10.9.0.1\n"), std::string::npos); // the adapter's first address
}

TEST(AFNamespace, NamesFromTheTestsOwnHostsFile)
{
    NEEDS_NAMESPACE();
    LogCapture log;
    sysNetworkAFIndependent net;
    RWCStringVector addresses;
    ASSERT_TRUE(net.getAddressesByName("printer.afnet.test", addresses, nullptr, AF_INET));
    EXPECT_EQ(joined(addresses), "10.0.0.6\n10.0.0.5\n169.254.3.4\n");
    EXPECT_TRUE(log.has("sysNetworkAFIndependent::getaddressesByName returning: 10.0.0.610.0.0.5169.254.3.4", "general",
                        "info", "omega"));
    ASSERT_TRUE(net.getAddressesByName("printer6.afnet.test", addresses, nullptr, AF_INET6));
    EXPECT_EQ(joined(addresses), "2001:db8:9::78\n2001:db8:9::77\nfe80::77\n");
    RWCStringVector none;
    ASSERT_TRUE(net.getAddressesByName("printer.afnet.test", addresses, &none, 0));
    EXPECT_EQ(joined(addresses), "");
    ASSERT_TRUE(net.getAddressesByName("", addresses, nullptr, AF_INET));
    EXPECT_EQ(joined(addresses), "10.9.0.1\n");
    EXPECT_EQ(ravel::test::ravelutil("resolve printer.afnet.test --family 2 --filter 169.254.3.4 10.0.0.6").out,
              "10.0.0.6\n169.254.3.4\n");

    // In the resolver's order, which its hints may change: compared as a set.
    EXPECT_TRUE(net.getIPv4AddressesByName("printer.afnet.test", addresses, nullptr, AF_INET6));
    addresses.sort();
    EXPECT_EQ(joined(addresses), "10.0.0.5\n10.0.0.6\n169.254.3.4\n");
    EXPECT_FALSE(net.getIPv4AddressesByName("localhost", addresses, nullptr, 0));

    RWCString name("untouched");
    EXPECT_FALSE(net.getHostName("10.0.0.99", name));
    EXPECT_EQ(str(name), "untouched");
    ASSERT_TRUE(net.getHostName("10.0.0.5", name));
    EXPECT_EQ(str(name), "printer.afnet.test");
    EXPECT_TRUE(log.contains(info("sysNetworkAFIndependent::getHostName HostName (printer.afnet.test) IP (10.0.0.5)")));
    EXPECT_TRUE(log.contains(info("sysNetworkAFIndependent::getHostName getnameinfo failed (WSAGetLastError = 11001) "
                                  "for IP (10.0.0.99)")));

    // The IPv4 echo functions exist everywhere, so the probe gets as far as resolving.
    EXPECT_EQ(net.hostPresent("nowhere.afnet.test", AF_INET, 100), sysNetworkAFIndependent::HOST_PROBE_FAILED);
    EXPECT_TRUE(log.contains(info("sysNetworkAFIndependent::hostPresent ERROR - Destination socket invalid (11001)")));
}
