// Portable rules of the configuration family: registry key paths, INI pairs and the NUL-key
// writer's text, exclusion types, and how each platform replaces files at restart.
#include "internal/config/ExclusionTypes.h"
#include "internal/config/IniText.h"
#include "internal/config/RegistryPath.h"
#include "internal/files/RebootMethod.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string s(const RWCString& text) { return std::string(text.data(), text.length()); }

std::string joined(const BStringVector& lines)
{
    std::string all;
    for (unsigned int i = 0; i < lines.entries(); ++i)
        all += (i ? "|" : "") + s(lines[i]);
    return all;
}

} // namespace

TEST(RegistryPath, RootsSubKeysAndLeaves)
{
    struct Case
    {
        const char* path;
        int root;
        bool hasSub;
        const char* sub;
    };
    const Case cases[] = {
        {"hkey_current_user\\Software\\x", 1, true, "Software\\x"}, // case ignored
        {"HKLM\\Software\\x", -1, false, ""},                       // no short forms
        {"HKEY_CURRENT_CONFIG\\x", -1, false, ""},                  // not a recognised root
        // A root after other text: the sub-key is still everything after the first backslash.
        {"Computer\\HKEY_USERS\\x", 5, true, "HKEY_USERS\\x"},
        // Several roots: the latest in the fixed order wins, wherever it stands.
        {"HKEY_USERS\\HKEY_LOCAL_MACHINE\\x", 5, true, "HKEY_LOCAL_MACHINE\\x"},
        {"HKEY_LOCAL_MACHINE\\HKEY_CLASSES_ROOT", 3, true, "HKEY_CLASSES_ROOT"},
        {"xHKEY_DYN_DATAx", 2, false, ""}, // valid, but no backslash
        {"HKEY_CURRENT_USER\\", 1, true, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(ravel::registryRootIndex(c.path), c.root);
        EXPECT_EQ(ravel::registryPathValid(c.path), c.root >= 0);
        RWCString sub("kept");
        EXPECT_EQ(ravel::registrySubKey(c.path, sub), c.hasSub);
        EXPECT_EQ(s(sub), c.hasSub ? c.sub : "kept");
    }
    struct Leaf
    {
        const char* path;
        bool ok;
        const char* split;
    };
    const Leaf leaves[] = {{"HKEY_USERS\\a\\b", true, "HKEY_USERS\\a|b"},
                           {"HKEY_USERS", true, "|HKEY_USERS"},
                           {"HKU\\a", false, "HKU\\a|"}};
    for (const Leaf& c : leaves) {
        RWCString path(c.path), leaf("stale");
        EXPECT_EQ(ravel::registryLeafKey(path, leaf), c.ok);
        EXPECT_EQ(s(path) + "|" + s(leaf), c.split);
    }
    // Deleting and listing must never act on a root: no sub-key, or backslashes only.
    EXPECT_FALSE(ravel::registryNamesSubKey(""));
    EXPECT_FALSE(ravel::registryNamesSubKey("\\\\"));
    EXPECT_TRUE(ravel::registryNamesSubKey("\\a"));
}

TEST(IniText, PairsSplitAtTheLastEqualsSign)
{
    // Blanks go only where they touch the sign.
    EXPECT_EQ(s(ravel::iniKeyFromPair(" k = v ")) + "|" + s(ravel::iniValueFromPair(" k = v ")), " k|v ");
    EXPECT_EQ(s(ravel::iniKeyFromPair("noequals")) + "|" + s(ravel::iniValueFromPair("noequals")), "|");
}

TEST(IniText, SectionLinesUpToTheFirstEmptyOne)
{
    const char data[] = ";c\0k=v ; x\0\0after\0";
    EXPECT_EQ(joined(ravel::iniSectionLines(data, sizeof data - 1, false)), ";c|k=v ; x");
    EXPECT_EQ(joined(ravel::iniSectionLines(data, sizeof data - 1, true)), "k=v ; x");
    EXPECT_EQ(joined(ravel::iniSectionLines(data, 4, false)), ";c|k"); // never beyond the count
}

TEST(IniText, NulEntriesGoAfterEveryRenameMention)
{
    BStringVector two;
    two.insert("C:\\A.DLL");
    two.insert("C:\\B.DLL");
    const std::string added = "NUL=C:\\A.DLL\r\nNUL=C:\\B.DLL\r\n";
    struct Case
    {
        std::string in;
        std::string out;
    };
    const Case cases[] = {
        // Lines with bare line feeds come out with CR LF; a mention anywhere in a line counts,
        // every mention gets the entries, and a last line without a line feed is ended first.
        {"; see [RENAME]\n[rename]", "; see [RENAME]\r\n" + added + "[rename]\r\n" + added},
        // What follows a Ctrl-Z is not read; a lone CR is kept as it was.
        {"a\rb\r\n\x1a[rename]\r\n", "a\rb\r\n[rename]\r\n" + added},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ravel::iniWithNulEntries(c.in, two), c.out) << c.in;

    // Lines are read in pieces of 254 characters: a mention cut by a piece boundary is missed,
    // one inside a later piece is found.
    const std::string cut = std::string(250, 'x') + "[rename]\r\n";
    EXPECT_EQ(ravel::iniWithNulEntries(cut, two), cut + "[rename]\r\n" + added);
    const std::string later = std::string(254, 'x') + "[rename]\r\n";
    EXPECT_EQ(ravel::iniWithNulEntries(later, two), later + added);
}

TEST(ExclusionTypes, SectionLinesAndPlatforms)
{
    EXPECT_EQ(ravel::exclusionTypeFromLine("windowsNT"), EXCLUDE_OS_WINNT);
    for (const char* ignored : {"Windows95", "windows95 ", "windowsnt", "windowsXP", ""})
        EXPECT_EQ(ravel::exclusionTypeFromLine(ignored), EXCLUDE_OS_NONE) << ignored;

    // platform 0..8 against the exclusion type and the restart method.
    const teOSExclusionType types[] = {EXCLUDE_OS_NONE,  EXCLUDE_OS_WINDOWS, EXCLUDE_OS_WIN95,
                                       EXCLUDE_OS_WIN98, EXCLUDE_OS_WINNT,   EXCLUDE_OS_WIN2000,
                                       EXCLUDE_OS_NONE,  EXCLUDE_OS_WINXP,   EXCLUDE_OS_NONE};
    using M = ravel::RebootMethod;
    const M methods[] = {M::None,        M::None,       M::WininitIni,  M::WininitIni, M::DelayedMove,
                         M::DelayedMove, M::WininitIni, M::DelayedMove, M::None};
    for (int p = 0; p <= 8; ++p) {
        EXPECT_EQ(ravel::exclusionTypeForPlatform(static_cast<tePlatform>(p)), types[p]) << p;
        EXPECT_EQ(ravel::rebootMethodFor(static_cast<tePlatform>(p)), methods[p]) << p;
    }
}
