// IPv4 address text, route listings and their rules, ARP listings: the portable network core.
#include "internal/net/NetText.h"
#include "sysIPAddress.h"
#include "sysRouteTableEntryPtrVector.h"

#include "TestData.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using ravel::test::dataPath;

namespace {

RWCString rw(const std::string& s) { return RWCString(s.data(), s.size()); }
std::string str(const RWCString& s) { return std::string(s.data(), s.length()); }
RWCString listing(const fs::path& path) { return rw(ravel::test::readFile(path.string())); }

// Every listing with the given companion file beside it.
std::vector<fs::path> fixtures(const char* kind, const char* companion)
{
    std::vector<fs::path> found;
    for (const auto& item : fs::directory_iterator(dataPath(std::string("net/") + kind)))
        if (item.path().extension() == ".txt" && fs::exists(fs::path(item.path()).replace_extension(companion)))
            found.push_back(item.path());
    return found;
}

std::string describe(const sysRouteTableEntryPtrVector& entries)
{
    std::string text;
    for (unsigned int i = 0; i < entries.entries(); ++i)
        for (const RWCString* f :
             {&entries[i]->m_destination, &entries[i]->m_netmask, &entries[i]->m_gateway, &entries[i]->m_interface})
            text += (f->isNull() ? "-" : str(*f)) + (f == &entries[i]->m_interface ? "\n" : " ");
    return text;
}

std::string canonical(const char* text)
{
    RWCString s(text);
    return sysIPAddress::isValid(s) ? str(s) : std::string("rejected");
}

sysRouteTableEntry* route(const char* destination, const char* netmask, const char* nic)
{
    auto* e = new sysRouteTableEntry;
    e->m_destination = destination;
    e->m_netmask = netmask;
    e->m_interface = nic;
    return e;
}

} // namespace

TEST(AddressAndListingText, CanonicalAddressesFixtureEntriesAndHostileText)
{
    EXPECT_EQ(canonical("010.001.000.255") + " " + canonical("000.0.00.1"), "10.1.0.255 0.0.0.1");
    for (const char* bad : {"", "256.1.1.1", "1.2.3", "1.2.3.4.5", " 1.2.3.4", "1.2.3.4 ", "1.2.3.4x", "1234.1.1.1",
                            "1..2.3", "1.2.3.999", "a.b.c.d", "1.2.3.4\r", "0x1.2.3.4", "-1.2.3.4", "1.2.3.04x"})
        EXPECT_EQ(canonical(bad), "rejected") << '"' << bad << '"';
    unsigned char a = 9, b = 9, c = 9, d = 9;
    EXPECT_TRUE(sysIPAddress::IPtoByte("255.254.010.001", a, b, c, d));
    EXPECT_EQ((std::vector<int>{a, b, c, d}), (std::vector<int>{255, 254, 10, 1}));
    EXPECT_FALSE(sysIPAddress::IPtoByte("10.0.0.256", a, b, c, d));
    EXPECT_EQ((std::vector<int>{a, b, c, d}), (std::vector<int>{0, 0, 0, 0}));
    RWCString text("old");
    EXPECT_TRUE(sysIPAddress::byteToIP(text, 192, 0, 0, 192) && text == "192.0.0.192");
    const std::vector<fs::path> files = fixtures("route", ".expected");
    ASSERT_GE(files.size(), 17u);
    for (const fs::path& file : files) {
        sysRouteTableEntryPtrVector entries;
        ravel::appendRouteEntries(listing(file), entries);
        EXPECT_EQ(describe(entries), ravel::test::readFile(fs::path(file).replace_extension(".expected").string()))
            << file.filename();
    }
    const std::string huge(1 << 20, '1');
    std::string manyTokens = "1.1.1.1" + std::string(100000, ' ');
    for (int i = 0; i < 20000; ++i)
        manyTokens += "1.1.1.1 ";
    for (const std::string& hostile :
         {huge + "\n", "1.1.1.1 " + huge + "\n", std::string("1.1.1.1\0 2.2.2.2\n", 17), manyTokens + "\n"}) {
        sysRouteTableEntryPtrVector entries;
        ravel::appendRouteEntries(rw(hostile), entries);
        EXPECT_LE(entries.entries(), 1u);
    }
}

TEST(RouteTables, OwnedEntriesRangesAndTheClosestInterface)
{
    sysRouteTableEntryPtrVector entries;
    for (int i = 0; i < 200; ++i)
        entries.insert(route(std::to_string(i).c_str(), "", ""));
    ASSERT_EQ(entries.entries(), 200u);
    EXPECT_EQ(str(entries[199]->m_destination), "199");
    EXPECT_THROW(entries[200], RWBoundsErr);
    sysRouteTableEntryPtrVector copy(entries), assigned;
    copy[0]->m_destination = "changed";
    assigned.insert(route("x", "", ""));
    assigned = copy;
    ASSERT_EQ(assigned.entries(), 200u);
    EXPECT_EQ(str(entries[0]->m_destination) + " " + str(assigned[0]->m_destination), "0 changed");
    RWCString low("untouched"), high("untouched");
    EXPECT_FALSE(ravel::routeEntryRange("On-link", "255.0.0.0", low, high));
    EXPECT_EQ(str(low) + " " + str(high), "untouched untouched");
    EXPECT_TRUE(ravel::routeEntryRange("192.168.1.0", "255.255.255.0", low, high));
    EXPECT_EQ(str(low) + " " + str(high), "192.168.1.1 192.168.1.254");
    EXPECT_TRUE(ravel::routeEntryRange("0.0.0.0", "0.0.0.0", low, high));
    EXPECT_EQ(str(low) + " " + str(high), "0.0.0.1 255.255.255.254");
    struct Case
    {
        const char* address;
        const char* destination;
        const char* netmask;
        bool in;
    };
    const Case cases[] = {
        {"192.168.1.0", "192.168.1.0", "255.255.255.0", false},
        {"192.168.1.255", "192.168.1.0", "255.255.255.0", false},
        {"10.0.1.0", "10.0.0.0", "255.255.0.0", true},
        // Bytes are compared one at a time: a byte equal to a bound sends the next byte to both bounds.
        {"10.0.0.255", "10.0.0.0", "255.255.0.0", false},
        // Unreadable routes count as 0.0.0.0 to 0.0.0.0.
        {"0.0.0.0", "", "", true},
        {"10.0.0.1", "", "255.0.0.0", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ravel::inRouteEntryRange(c.address, c.destination, c.netmask), c.in)
            << c.address << " " << c.destination;
    EXPECT_TRUE(ravel::closerMatch("255.255.255.0", "255.255.0.0") && ravel::closerMatch("255.255.0.0", "255.255.0.0"));
    EXPECT_FALSE(ravel::closerMatch("255.0.255.0", "255.255.0.0"));
    sysRouteTableEntryPtrVector table, blank;
    table.insert(route("0.0.0.0", "0.0.0.0", "10.0.0.5"));
    table.insert(route("192.168.1.0", "255.255.255.0", "192.168.1.7"));
    table.insert(route("172.16.0.0", "255.255.0.0", "172.16.0.9"));
    table.insert(route("172.16.0.0", "255.255.0.0", ""));
    table.insert(route("172.16.0.0", "255.255.0.0", "172.16.0.10"));
    const char* const made[][2] = {{"192.168.1.50", "192.168.1.7"},
                                   {"10.9.9.9", "10.0.0.5"},
                                   {"172.16.3.3", "172.16.0.10"},
                                   {"255.255.255.255", "NOT FOUND"}};
    for (const auto& c : made)
        EXPECT_EQ(str(ravel::closestInterface(table, c[0])), c[1]) << c[0];
    EXPECT_EQ(str(ravel::closestInterface(blank, "10.0.0.1")), "NOT FOUND");
    // The first covering route is kept even without an interface; later ones must name one.
    blank.insert(route("10.0.0.0", "255.0.0.0", ""));
    blank.insert(route("10.1.0.0", "255.255.0.0", ""));
    EXPECT_EQ(str(ravel::closestInterface(blank, "10.1.2.3")), "");
    struct Real
    {
        const char* file;
        const char* address;
        const char* nic;
    };
    const Real real[] = {
        // Two default routes through one interface; the host route wins over the /21.
        {"01-nt4-kb162055-active-only.txt", "100.50.41.50", "100.50.84.54"},
        {"01-nt4-kb162055-active-only.txt", "127.0.0.9", "127.0.0.1"},
        // "On-link" leaves the gateway empty, the interface is still read.
        {"13-win10-getmac-route4-over4kb.txt", "10.0.0.77", "10.0.0.185"},
        // Two words for On-link push the interface out of its column: the default route stays best.
        {"10-win81-de-netstat-rn-cp1252.txt", "192.168.2.50", "192.168.2.111"},
        // Two equal default routes: the later one wins.
        {"17-win10plus-multiple-default-gw.txt", "203.0.113.9", "10.21.38.97"},
    };
    for (const Real& c : real) {
        sysRouteTableEntryPtrVector parsed;
        ravel::appendRouteEntries(listing(dataPath(std::string("net/route/") + c.file)), parsed);
        EXPECT_EQ(str(ravel::closestInterface(parsed, c.address)), c.nic) << c.file << " " << c.address;
    }
}

TEST(ListingText, LinesWordsArpFixturesAndCommandLines)
{
    EXPECT_EQ(str(ravel::reshapeListing("")), "\n");
    // The last two characters go, whatever they are: lines of two or fewer vanish.
    EXPECT_EQ(str(ravel::reshapeListing("abc\r\n\r\nx\nde\r\nlast")), "ab\nd\n\n");
    EXPECT_EQ(str(ravel::reshapeListing("Route Table\n  1.2.3.4  x\r\n")), "Route Tab\n  1.2.3.4  \n\n");
    // Only whole words of complete lines count.
    const RWCString routes("  110.0.0.1  10.0.0.10  On-link\r\n 7.7.7.7  10.0.0.1");
    for (const char* absent : {"10.0.0.1", "ON-LINK", "7.7.7.7"})
        EXPECT_FALSE(ravel::routeListingHolds(routes, absent)) << absent;
    EXPECT_TRUE(ravel::routeListingHolds(routes, "On-link"));
    EXPECT_TRUE(ravel::routeListingHolds("  x10.0.0.1.\r\n", "10.0.0.1"));
    // Every arp listing answers the cases beside it.
    const std::vector<fs::path> files = fixtures("arp", ".cases");
    ASSERT_GE(files.size(), 8u);
    for (const fs::path& file : files) {
        const RWCString text = listing(file);
        std::istringstream cases(ravel::test::readFile(fs::path(file).replace_extension(".cases").string()));
        std::string ip, mac, expected;
        int count = 0;
        while (cases >> ip >> mac >> expected) {
            const RWCString dashed = ravel::replaceEach(rw(mac), ":", "-");
            EXPECT_EQ(ravel::arpListingHolds(text, rw(ip), dashed), expected == "true")
                << file.filename() << ": " << ip << " " << mac;
            ++count;
        }
        EXPECT_GT(count, 0) << file.filename();
    }
    RWCString line;
    EXPECT_TRUE(ravel::formatCommandLine("arp -s %s %s %s", {"1.2.3.4", "00-11", RWCString("n\0x", 3)}, line));
    EXPECT_EQ(str(line), "arp -s 1.2.3.4 00-11 n");
    EXPECT_TRUE(ravel::formatCommandLine("arp -d %s", {RWCString('x', 248)}, line));
    EXPECT_EQ(line.length(), 255u);
    EXPECT_FALSE(ravel::formatCommandLine("arp -d %s", {RWCString('x', 249)}, line));
    EXPECT_EQ(line.length(), 256u);
    EXPECT_EQ(str(ravel::replaceEach("00:11:22:33:44:5a", ":", "-")), "00-11-22-33-44-5a");
}
