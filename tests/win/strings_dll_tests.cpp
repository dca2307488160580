// The string library through tls7912d.dll: strings grown and released inside the DLL, and bounds
// errors thrown there (or by the vector templates) caught here.
#include "tls7912d.h"

#include <gtest/gtest.h>

#include <string>

TEST(StringsDll, StringsAndBoundsErrorsCrossTheBoundary)
{
    RWCString s("Printer");
    for (int i = 0; i < 1000; ++i)
        s += "-x"; // reallocated by the DLL, released by it again
    RWCString copy = s;
    copy(0, 7) = "Gateway";
    EXPECT_EQ(s(0, 7), "Printer");
    EXPECT_EQ(copy.index("GATEWAY-X", 0, RWCString::ignoreCase), 0u);
    EXPECT_EQ(copy.rindex("-x"), 2005u);
    RWCTokenizer next(RWCString("  0.0.0.0  192.168.001.001  20\r"));
    EXPECT_EQ(next(), "0.0.0.0");
    EXPECT_EQ(next(), "192.168.001.001");
    EXPECT_EQ(RWCString("1.2.3.4x")(RWCRegexp("[0-9]\\.[0-9]\\.[0-9]\\.[0-9]")), "1.2.3.4");
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
    EXPECT_THROW(s[s.length()], RWBoundsErr);
    EXPECT_THROW(s(2007, 2), RWBoundsErr);
}
