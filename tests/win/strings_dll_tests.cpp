// The string library through tls7912d.dll: strings built here and grown, searched and released
// inside the DLL, and bounds errors caught here from the vector templates and character access.
#include "tls7912d.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

TEST(StringsDll, StringsCrossTheBoundary)
{
    RWCString s("Printer");
    for (int i = 0; i < 1000; ++i)
        s += "-x";   // reallocated by the DLL, released by it again
    EXPECT_EQ(s.length(), 2007u);
    RWCString copy = s;
    copy(0, 7) = "Gateway";
    EXPECT_EQ(s(0, 7), "Printer");
    EXPECT_EQ(copy.index("GATEWAY-X", 0, RWCString::ignoreCase), 0u);
    EXPECT_EQ(copy.rindex("-x"), 2005u);

    RWCString route("  0.0.0.0  0.0.0.0  192.168.001.001  192.168.1.100  20\r");
    RWCTokenizer next(route);
    std::vector<std::string> tokens;
    for (RWCSubString t = next(); !t.isNull(); t = next())
        tokens.emplace_back(t.data(), t.length());
    ASSERT_EQ(tokens.size(), 5u);
    EXPECT_EQ(tokens[2], "192.168.001.001");

    RWCRegexp re("[0-9]?[0-9]?[0-9]\\.[0-9][0-9]?[0-9]?\\.[0-9][0-9]?[0-9]?\\.[0-9][0-9]?[0-9]?");
    EXPECT_EQ(RWCString("1.2.3.4x")(re), "1.2.3.4");
}

TEST(StringsDll, BoundsErrorsAreCaughtHere)
{
    RWCStringVector names;
    names.insert("a");
    EXPECT_THROW(names.removeAt(3), RWBoundsErr);

    RWTPtrOrderedVector<RWCString> owned;
    owned.insert(new RWCString("x"));
    try {
        (void)owned[1];
        FAIL() << "no bounds error";
    } catch (const RWBoundsErr& e) {
        EXPECT_NE(std::string(e.why()).find("out of range"), std::string::npos);
    }
    owned.clearAndDestroy();

    RWCString s("abc");
    EXPECT_THROW(s[3], RWBoundsErr);
    EXPECT_THROW(s(2, 2), RWBoundsErr);
}
