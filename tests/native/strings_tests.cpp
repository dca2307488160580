// The string and collection library: value semantics, searching at the edges, regular
// expressions on the address patterns the library relies on, tokenising and checked vectors.
#include "tls7912d.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const char kIPv4Pattern[] = "[0-9]?[0-9]?[0-9]\\.[0-9][0-9]?[0-9]?\\.[0-9][0-9]?[0-9]?\\.[0-9][0-9]?[0-9]?";

RWCString firstMatch(const char* pattern, const RWCString& text)
{
    RWCRegexp re(pattern);
    EXPECT_EQ(re.status(), RWCRegexp::OK) << pattern;
    return RWCString(text(re));
}

} // namespace

TEST(RWCStringTest, ValuesEditsCompareSearchViewsAndBounds)
{
    RWCString a("printer"), b(a), c;
    c = a;
    b[0] = 'P';
    c += "-2";
    EXPECT_EQ(a + " " + b + " " + c, "printer Printer printer-2");
    RWCString z("a\0b", 3);
    EXPECT_EQ(z.length(), 3u);
    EXPECT_NE(z, "a"); // the zero-terminated "a" is shorter
    EXPECT_EQ(RWCString("a\0b", 3) + z, RWCString("a\0ba\0b", 6));
    EXPECT_EQ(RWCString(static_cast<const char*>(nullptr)) + RWCString('x', 3), "xxx");
    RWCString s("mid");
    s.prepend("<").append(">").append(RWCString("tail"), 2).prepend(RWCString("xyz"), 1);
    EXPECT_EQ(s, "x<mid>ta");
    for (int i = 0; i < 5; ++i)
        s += s; // reads the text before it moves
    s.append(s.data() + 1, 2);
    EXPECT_EQ(s.length(), 258u);
    EXPECT_EQ(s(254, 4), "ta<m");
    RWCString e("0123456789");
    e.insert(10, "!").insert(0, "<").remove(3, 2).replace(1, 2, "AB");
    EXPECT_EQ(e, "<AB456789!");
    e.remove(4);
    e.replace(2, RWCString::npos, e.data(), 2);
    EXPECT_EQ(e, "<A<A");
    EXPECT_THROW(e.insert(5, "x"), RWBoundsErr);
    e.resize(6);
    EXPECT_EQ(e, "<A<A  ");
    RWCString key("HKEY_Local_Machine");
    EXPECT_EQ(key.compareTo("hkey_local_machine", RWCString::ignoreCase), 0);
    EXPECT_LT(key.compareTo("hkey_local_machine"), 0); // upper case sorts first
    EXPECT_LT(RWCString("abc").compareTo("abcd"), 0);
    EXPECT_GT(RWCString("b").compareTo("ABC", RWCString::ignoreCase), 0);
    EXPECT_LT(RWCString("a").compareTo("\xe9"), 0); // bytes compare as unsigned
    EXPECT_EQ(toUpper(key), "HKEY_LOCAL_MACHINE");
    key.toLower();
    EXPECT_EQ(key, "hkey_local_machine");
    const RWCString ips("10.0.0.1 110.0.0.1 10.0.0.1");
    const size_t npos = RWCString::npos;
    const size_t found[] = {ips.index("10.0.0.1", 1),
                            ips.index("10.0.0.1", 11),
                            ips.index("10.0.0.1", 20),
                            ips.index("", ips.length()),
                            ips.index("", ips.length() + 1),
                            ips.index("1", npos),
                            ips.index("0.0.0.1X", 7, 0, RWCString::exact),
                            ips.rindex("10.0.0.1"),
                            ips.rindex("10.0.0.1", 18),
                            RWCString("").index(""),
                            RWCString("").rindex("a")};
    const size_t expected[] = {10, 19, npos, ips.length(), npos, npos, 1, 19, 10, 0, npos};
    for (size_t i = 0; i < sizeof found / sizeof found[0]; ++i)
        EXPECT_EQ(found[i], expected[i]) << "case " << i;
    RWCString line("Interface: 192.168.1.100 --- 0x2 Dynamic");
    EXPECT_EQ(line.index("DYNAMIC", 0, RWCString::ignoreCase), 33u);
    EXPECT_EQ(line.index("DYNAMIC"), npos);
    EXPECT_EQ(line.first("0123456789"), 11u);
    EXPECT_EQ(line.last('.', 19), 18u);
    EXPECT_EQ(RWCString("a\0b", 3).first("\0", 1), 1u);
    // Strip, views that replace in place, and bounds.
    RWCString kv("  key = value  ");
    EXPECT_EQ(kv.strip(RWCString::both), "key = value");
    EXPECT_EQ(kv.strip(RWCString::leading), "key = value  ");
    EXPECT_EQ(kv.strip(), "  key = value");
    EXPECT_EQ(RWCString("000").strip(RWCString::leading, '0').length(), 0u);
    RWCSubString sub = kv(2, 3);
    EXPECT_EQ(kv(kv.length(), 0).length(), 0u); // empty view at the very end
    EXPECT_THROW(kv(kv.length(), 1), RWBoundsErr);
    EXPECT_THROW(kv(3, RWCString::npos), RWBoundsErr);
    sub = "KEYS"; // replaces the viewed text in place
    kv.subString("value") = "v";
    EXPECT_EQ(kv, "  KEYS = v  ");
    EXPECT_TRUE(kv.subString("absent").isNull());
    EXPECT_THROW(kv[kv.length()], RWBoundsErr);
    try {
        (void)kv.strip(RWCString::both)[20];
        FAIL() << "no bounds error";
    } catch (const RWBoundsErr& bounds) {
        EXPECT_NE(std::string(bounds.why()).find("20"), std::string::npos);
    }
}

TEST(TextScanning, RegexpDialectAddressesInvalidPatternsAndTokenizerDelimiters)
{
    // Only a match equal to the whole text makes an address; "" is no match.
    const char* const cases[][3] = {
        {kIPv4Pattern, "010.001.000.255", "010.001.000.255"},
        {kIPv4Pattern, "1234.1.1.1", "234.1.1.1"},
        {kIPv4Pattern, "1.2.3.4.5", "1.2.3.4"},
        {kIPv4Pattern, "1.2.3.4567", "1.2.3.456"},
        {kIPv4Pattern, "x1.2.3 9.8.7.6", "9.8.7.6"},
        {kIPv4Pattern, "1.2.3", ""},
        {kIPv4Pattern, "1x2.3.4", ""},
        {"a.c", "xxabcabc", "abc"},
        {"ab+c", "ac abbc", "abbc"},
        {"[^0-9 ]+", "12 ab3", "ab"},
        {"[]a]+", "x]a]", "]a]"},
        {"[a-]+", "z-a-", "-a-"},
        {"\\\\[a-z]*", "C:\\dir", "\\dir"},
        {"^ab", "abab", "ab"},
        {"^ab", "xab", ""},
        {"a?a?a?aaa", "aaaa", "aaaa"}, // leftmost, then longest
    };
    for (const auto& c : cases)
        EXPECT_EQ(firstMatch(c[0], c[1]), c[2]) << c[0] << " on " << c[1];
    EXPECT_EQ(RWCString("abab")(RWCRegexp("ab$")).start(), 2u);
    EXPECT_EQ(RWCString("abc")(RWCRegexp("x*")).start(), 0u); // empty match at the start
    const RWCString text("gw 10.0.0.138 if 192.168.0.1");
    size_t len = 0;
    EXPECT_EQ(RWCRegexp(kIPv4Pattern).index(text, &len, 0) * 100 + len, 310u);
    EXPECT_EQ(text.index(RWCRegexp(kIPv4Pattern), &len, 6) * 100 + len, 1711u);
    EXPECT_EQ(text.index(RWCRegexp(kIPv4Pattern), text.length() + 1), RWCString::npos);
    for (const char* bad : {"*a", "a**", "[abc", "a\\", "[z-a]", "^*"}) {
        RWCRegexp re(bad);
        EXPECT_EQ(re.status(), RWCRegexp::ILLEGAL) << bad;
        EXPECT_EQ(re.index(RWCString("aaa")), RWCString::npos) << bad;
    }
    // No exponential blow-up: this would take ages with a backtracking matcher.
    std::string pattern;
    for (int i = 0; i < 30; ++i)
        pattern += "a?";
    EXPECT_TRUE(
        RWCString(std::string(30, 'a').c_str())(RWCRegexp((pattern + std::string(30, 'a') + "b").c_str())).isNull());
    RWCTokenizer next("  0.0.0.0\t 0.0.0.0   192.168.1.1 \n20\r\n");
    for (const char* token : {"0.0.0.0", "0.0.0.0", "192.168.1.1", "20\r"}) // \r is not a default delimiter
        EXPECT_EQ(next(), token);
    EXPECT_TRUE(next().isNull() && next().isNull() && next().length() == 0); // stays used up
    RWCTokenizer dots("010..1.");
    EXPECT_EQ(dots("."), "010");
    EXPECT_EQ(dots("."), "1");
    EXPECT_TRUE(dots(".").isNull());
    // Lines separated by zero bytes, as a profile section arrives.
    RWCTokenizer lines(RWCString("a=1\0;c\0b=2\0", 11));
    EXPECT_EQ(lines("\0", 1), "a=1");
    EXPECT_EQ(lines(RWCString("\0", 1)), ";c");
    EXPECT_EQ(lines("\0", 1), "b=2");
    EXPECT_TRUE(lines("\0", 1).isNull());
    RWCString temp("-a value -s x");
    RWCTokenizer tok(temp);
    temp = "changed";
    EXPECT_EQ(tok(), "-a");
    EXPECT_EQ(tok.remaining(), " value -s x");
}

TEST(OrderedVectorTest, CheckedIndexesValueSearchAndPointees)
{
    RWCStringVector v;
    EXPECT_THROW(v[0], RWBoundsErr);
    EXPECT_THROW(v.removeAt(0), RWBoundsErr);
    v.insert("b");
    v.append("c");
    v.prepend("a");
    v.insertAt(3, "d"); // a b c d
    EXPECT_THROW(v.insertAt(5, "x"), RWBoundsErr);
    EXPECT_THROW(v.at(4), RWBoundsErr);
    EXPECT_EQ(v.index("C"), RW_NPOS);
    EXPECT_EQ(v.removeAt(1), "b");
    EXPECT_EQ(v.index("d"), 2u);
    RWCStringVector copy(v);
    copy[0] = "changed";
    EXPECT_EQ(v[0], "a");
    static int destroyed = 0;
    struct Entry
    {
        RWCString name;
        explicit Entry(const char* n) : name(n) {}
        ~Entry() { ++destroyed; }
        bool operator==(const Entry& o) const { return name == o.name; }
    };
    RWTPtrOrderedVector<Entry> p;
    Entry *a = new Entry("a"), probe("b");
    p.insert(a);
    p.insert(new Entry("b"));
    p.insert(nullptr);
    EXPECT_EQ(p.index(&probe), 1u);
    EXPECT_EQ(p.indexByPointer(&probe), RW_NPOS);
    EXPECT_EQ(p.find(&probe), p[1]);
    EXPECT_EQ(p.removeAt(2), nullptr);
    EXPECT_THROW(p[2], RWBoundsErr);
    EXPECT_EQ(p.indexByPointer(a), 0u);
    destroyed = 0;
    p.clearAndDestroy();
    EXPECT_EQ(destroyed, 2);
    EXPECT_TRUE(p.isEmpty());
}
