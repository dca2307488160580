// Address text of the address-family independent class: the two scans, address classes, the
// order of resolved addresses and the choice of an adapter's address.
#include "internal/net/AddressText.h"
#include "internal/net/FinerPlatform.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace ravel;

namespace {
std::string joined(const RWCStringVector& v)
{
    std::string all;
    for (const RWCString& s : v)
        all += std::string(s.data(), s.length()) + " ";
    return all;
}
} // namespace

TEST(AddressText, IPv4ScanWantsFourShortDecimalGroups)
{
    for (const char* yes : {"1.2.3.4", "999.0.0.1", "000.0.0.0", "255.255.255.255"})
        EXPECT_TRUE(isIPv4Text(yes)) << yes;
    for (const char* no : {"1.2.3", "1.2.3.4.5", "1234.1.1.1", "", " 1.2.3.4", "1.2.3.4 ", "1..2.3", "1.2.3.",
                           ".1.2.3", "1.2.3.a", "0x1.2.3.4", "1.2.3.4\n"})
        EXPECT_FALSE(isIPv4Text(no)) << no;
    // An embedded zero byte ends nothing: the text is its whole length.
    EXPECT_FALSE(isIPv4Text(RWCString("1.2.3.4\0", 8)));
}

TEST(AddressText, IPv6ScanIsPermissiveAsWritten)
{
    // Eight colons pass however the groups fall; after a dot the group already counts one, so
    // three more characters fill it.
    for (const char* yes : {"", "fe80::1", "1::", "2001:db8:0:0:0:0:0:1", "1.2.3.4", "999.0.0.1", "1234.1.1.1",
                            "ABCD:ef01::", ":", "1:2:3:4:5:6:7:8:9", "a:1.234.5.6"})
        EXPECT_TRUE(isIPv6Text(yes)) << yes;
    for (const char* no : {"::1", "::", "::ffff", "1::2::3", "12345::1", "1:2:3:4:5:6:7:8:9:0", "1.2.3", "1.2.3.4.5",
                           "fe80::1%3", "g::1", "1:.2.3.4", "a:1.2345.5.6", " 1::"})
        EXPECT_FALSE(isIPv6Text(no)) << no;
}

TEST(AddressText, FullyQualifiedNeedsADot)
{
    EXPECT_FALSE(hasDot(""));
    EXPECT_FALSE(hasDot("printer"));
    EXPECT_TRUE(hasDot("."));
    EXPECT_TRUE(hasDot("printer.example"));
}

TEST(AddressText, ClassesOfRawAddresses)
{
    const unsigned char v4[][4] = {{169, 254, 3, 4}, {169, 253, 0, 1}, {127, 0, 0, 1}, {127, 0, 0, 2},
                                   {192, 0, 0, 192}, {0, 0, 0, 0}, {10, 0, 0, 5}};
    EXPECT_TRUE(isLinkLocalAddress(kFamilyIPv4, v4[0]));
    EXPECT_FALSE(isLinkLocalAddress(kFamilyIPv4, v4[1]));
    EXPECT_FALSE(isLinkLocalAddress(6, v4[0]));
    EXPECT_TRUE(isLoopbackAddressBytes(kFamilyIPv4, v4[2]));
    EXPECT_FALSE(isLoopbackAddressBytes(kFamilyIPv4, v4[3]));
    EXPECT_EQ(std::vector<bool>({isNeverValidIPv4(v4[2]), isNeverValidIPv4(v4[3]), isNeverValidIPv4(v4[4]),
                                 isNeverValidIPv4(v4[5]), isNeverValidIPv4(v4[6])}),
              std::vector<bool>({true, false, true, true, false}));

    unsigned char v6[16] = {0xFE, 0x80};
    EXPECT_TRUE(isLinkLocalAddress(kFamilyIPv6, v6));
    v6[1] = 0xBF; // still fe80::/10
    EXPECT_TRUE(isLinkLocalAddress(kFamilyIPv6, v6));
    v6[1] = 0xC0; // site-local, not link-local
    EXPECT_FALSE(isLinkLocalAddress(kFamilyIPv6, v6));
    const unsigned char loop6[16] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1};
    EXPECT_TRUE(isLoopbackAddressBytes(kFamilyIPv6, loop6));
    EXPECT_FALSE(isLoopbackAddressBytes(kFamilyIPv4, loop6));
}

TEST(AddressText, ResolvedOrderPutsLinkLocalLastAndFiltersExactly)
{
    RWCStringVector out;
    placeResolved(out, "10.0.0.5", false);
    placeResolved(out, "169.254.3.4", true);
    placeResolved(out, "fe80::9", true);
    placeResolved(out, "10.0.0.6", false);
    EXPECT_EQ(joined(out), "10.0.0.6 10.0.0.5 169.254.3.4 fe80::9 ");
    EXPECT_EQ(std::string(runTogether(out).data()), "10.0.0.610.0.0.5169.254.3.4fe80::9");

    RWCStringVector filter;
    EXPECT_TRUE(passesFilter("10.0.0.5", nullptr));
    EXPECT_FALSE(passesFilter("10.0.0.5", &filter));
    filter.append("10.0.0.5");
    EXPECT_TRUE(passesFilter("10.0.0.5", &filter));
    EXPECT_FALSE(passesFilter("10.0.0.50", &filter));
}

TEST(AddressText, ZoneIsTheNumberAfterTheLastPercent)
{
    long zone = -1;
    EXPECT_FALSE(zoneOf("fe80::1", zone));
    EXPECT_EQ(zone, -1);
    EXPECT_TRUE(zoneOf("fe80::1%12", zone));
    EXPECT_EQ(zone, 12);
    EXPECT_TRUE(zoneOf("a%1%7x", zone));
    EXPECT_EQ(zone, 7);
    EXPECT_TRUE(zoneOf("fe80::1%eth0", zone));
    EXPECT_EQ(zone, 0);
}

TEST(AdapterChoice, TunnelDescriptionsAreFoundCaseSensitively)
{
    for (const char16_t* yes : {u"Teredo Tunneling Pseudo-Interface", u"Microsoft 6to4 Adapter", u"isatap.{x}", u"ISATAP x"})
        EXPECT_TRUE(isTunnelDescription(yes));
    for (const char16_t* no : {u"Isatap.{x}", u"pseudo-interface", u"Ethernet", u""})
        EXPECT_FALSE(isTunnelDescription(no));
}

TEST(AdapterChoice, WalkKeepsTheFirstOtherAddressAndTheLatestLinkLocal)
{
    AdapterAddressWalk both;
    EXPECT_TRUE(both.offer(false, true, "fe80::1"));
    EXPECT_TRUE(both.offer(false, true, "fe80::2"));
    EXPECT_TRUE(both.offer(false, false, ""));       // could not be rendered
    EXPECT_FALSE(both.offer(false, false, "2001:db8::5"));
    EXPECT_FALSE(both.offer(true, false, "::1"));    // after the end: not seen
    EXPECT_TRUE(both.found());
    EXPECT_FALSE(both.loopbackSeen());
    EXPECT_EQ(std::string(both.address().data()), "2001:db8::5");
    EXPECT_EQ(std::string(both.linkLocal().data()), "fe80::2");

    AdapterAddressWalk loop;
    EXPECT_TRUE(loop.offer(true, false, ""));
    EXPECT_FALSE(loop.offer(false, false, "10.0.0.1"));
    EXPECT_TRUE(loop.loopbackSeen());
}

TEST(FinerPlatform, VersionRecordsMapToTheTable)
{
    struct Row { unsigned long id, major, minor; int value; };
    const Row rows[] = {{0, 3, 1, 1},  {1, 4, 0, 2},  {1, 4, 10, 3}, {1, 4, 90, 4}, {1, 4, 4, 0}, {2, 3, 51, 5},
                        {2, 4, 0, 5},  {2, 5, 0, 6},  {2, 5, 1, 7},  {2, 5, 2, 8},  {2, 5, 3, 10}, {2, 6, 0, 9},
                        {2, 6, 3, 9},  {2, 10, 0, 10}, {3, 10, 0, 0}};
    for (const Row& r : rows)
        EXPECT_EQ(finerPlatform(r.id, r.major, r.minor), r.value) << r.id << " " << r.major << "." << r.minor;
}
