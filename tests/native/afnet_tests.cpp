// Address text of the address-family independent class: the two scans, address classes, the
// order of resolved addresses and the choice of an adapter's address.
#include "internal/net/AddressText.h"
#include "internal/net/FinerPlatform.h"

#include <gtest/gtest.h>

#include <string>

using namespace ravel;

TEST(AddressText, IPv4ScanWantsFourShortDecimalGroups)
{
    for (const char* yes : {"1.2.3.4", "999.0.0.1", "000.0.0.0"})
        EXPECT_TRUE(isIPv4Text(yes)) << yes;
    for (const char* no :
         {"1.2.3", "1.2.3.4.5", "1234.1.1.1", "", " 1.2.3.4", "1.2.3.4 ", "1..2.3", "1.2.3.", "1.2.3.a"})
        EXPECT_FALSE(isIPv4Text(no)) << no;
    EXPECT_FALSE(isIPv4Text(RWCString("1.2.3.4\0", 8)));
}

TEST(AddressText, IPv6ScanIsPermissiveAsWritten)
{
    // Eight colons pass however the groups fall; after a dot the group already counts one.
    for (const char* yes : {"", "fe80::1", "1::", "2001:db8:0:0:0:0:0:1", "1.2.3.4", "1234.1.1.1", ":",
                            "1:2:3:4:5:6:7:8:9", "a:1.234.5.6"})
        EXPECT_TRUE(isIPv6Text(yes)) << yes;
    for (const char* no : {"::1", "::", "1::2::3", "12345::1", "1:2:3:4:5:6:7:8:9:0", "1.2.3", "1.2.3.4.5", "fe80::1%3",
                           "g::1", "1:.2.3.4", "a:1.2345.5.6", " 1::"})
        EXPECT_FALSE(isIPv6Text(no)) << no;
    EXPECT_FALSE(hasDot(""));
    EXPECT_TRUE(hasDot("printer.example"));
}

TEST(AddressText, LinkLocalEdgesOfRawAddresses)
{
    const unsigned char v4[] = {169, 253, 0, 1};
    unsigned char v6[16] = {0xFE, 0xBF}; // the top of fe80::/10
    EXPECT_FALSE(isLinkLocalAddress(kFamilyIPv4, v4));
    EXPECT_TRUE(isLinkLocalAddress(kFamilyIPv6, v6));
    v6[1] = 0xC0;
    EXPECT_FALSE(isLinkLocalAddress(kFamilyIPv6, v6));
    EXPECT_FALSE(isLinkLocalAddress(6, v6));
}

TEST(AddressText, ResolvedOrderPutsLinkLocalLastAndFiltersExactly)
{
    RWCStringVector out;
    placeResolved(out, "10.0.0.5", false);
    placeResolved(out, "169.254.3.4", true);
    placeResolved(out, "fe80::9", true);
    placeResolved(out, "10.0.0.6", false);
    EXPECT_EQ(std::string(runTogether(out).data()), "10.0.0.610.0.0.5169.254.3.4fe80::9");
    RWCStringVector filter;
    EXPECT_TRUE(passesFilter("10.0.0.5", nullptr));
    EXPECT_FALSE(passesFilter("10.0.0.5", &filter));
    filter.append("10.0.0.5");
    EXPECT_FALSE(passesFilter("10.0.0.50", &filter));
}

TEST(AdapterChoice, ZoneTunnelMarksAndTheAddressWalk)
{
    long zone = -1;
    EXPECT_FALSE(zoneOf("fe80::1", zone));
    EXPECT_TRUE(zoneOf("a%1%7x", zone));
    EXPECT_EQ(zone, 7);
    EXPECT_TRUE(zoneOf("fe80::1%eth0", zone));
    EXPECT_EQ(zone, 0);
    EXPECT_TRUE(isTunnelDescription(u"Teredo Tunneling Pseudo-Interface") && isTunnelDescription(u"Microsoft 6to4"));
    EXPECT_FALSE(isTunnelDescription(u"Isatap.{x}"));

    AdapterAddressWalk walk;
    EXPECT_TRUE(walk.offer(false, true, "fe80::1"));
    EXPECT_TRUE(walk.offer(false, true, "fe80::2"));
    EXPECT_TRUE(walk.offer(false, false, "")); // could not be rendered
    EXPECT_FALSE(walk.offer(false, false, "2001:db8::5"));
    EXPECT_FALSE(walk.offer(true, false, "::1")); // after the end: not seen
    EXPECT_FALSE(walk.loopbackSeen());
    EXPECT_EQ(std::string(walk.address().data()) + " " + walk.linkLocal().data(), "2001:db8::5 fe80::2");
}

TEST(FinerPlatform, VersionRecordsMapToTheTable)
{
    struct Row
    {
        unsigned long id, major, minor;
        int value;
    };
    const Row rows[] = {{0, 3, 1, 1}, {1, 4, 90, 4}, {1, 4, 4, 0}, {2, 3, 51, 5},  {2, 5, 0, 6},
                        {2, 5, 2, 8}, {2, 5, 3, 10}, {2, 6, 3, 9}, {2, 10, 0, 10}, {3, 10, 0, 0}};
    for (const Row& r : rows)
        EXPECT_EQ(finerPlatform(r.id, r.major, r.minor), r.value) << r.id << " " << r.major << "." << r.minor;
}
