// Portable pieces of the file family: version-text comparison, path splitting, full paths.
#include "internal/files/PathText.h"
#include "internal/files/VersionText.h"
#include "sysFileStructure.h"

#include <gtest/gtest.h>

using ravel::versionTextIsNewer;

TEST(FileTexts, VersionNumbersPathSplittingAndJoining)
{
    struct Case
    {
        const char* a;
        const char* b;
        bool newer;
    };
    const Case cases[] = {
        {"1.2.3.5", "1.2.3.4", true},
        {"1.2.3.4", "1.2.3.5", false},
        {"2.0", "1.9.9.9", true},
        {"1.10", "1.9", true},
        {"1.9", "1.10", false},
        {"1.2.3.4", "1.2.3.4", false},
        {"1.2.0", "1.2", true},
        {"1.2", "1.2.0", false},
        {"5, 1, 2600, 0", "5.1.2600.0", false},
        {"5.1.2600.0", "5, 1, 2600, 0", false},
        {"1.2.3.4.9", "1.2.3.4.1", false}, // only four fields count
        {"1.2a", "1.2", false},
        {"", "1.0", false},
        {"", "", false},
        {"0", "", true},
        {" ., ", "1", false}, // separators alone hold no field
        {"..2", "1", true},   // leading separators are skipped
        // A field without leading digits counts as 0; a sign is read.
        {"1.beta", "1.-1", true},
        {"1.beta", "1.0", false},
        {"1.beta", "1", true},
        // Fields beyond the range of int do not wrap.
        {"99999999999", "2147483646", true},
        {"-99999999999", "-2147483647", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(versionTextIsNewer(c.a, c.b), c.newer) << '"' << c.a << "\" against \"" << c.b << '"';
    struct Split
    {
        const char* path;
        char separator;
        const char* name;
        const char* dir;
    };
    const Split splits[] = {
        {"D:\\dir\\file.txt", '\\', "file.txt", "D:\\dir\\"},
        {"D:\\dir\\", '\\', "", "D:\\dir\\"},
        {"name.txt", '\\', "name.txt", ""},
        {"a/b\\c/d", '/', "d", "a/b\\c/"},
        {"", '\\', "", ""},
    };
    RWCString name("stale"), dir("stale");
    for (const Split& c : splits) {
        sysFileStructure::getFileNameAndPath(c.path, &name, &dir, c.separator);
        EXPECT_EQ(name, c.name) << c.path;
        EXPECT_EQ(dir, c.dir) << c.path;
    }
    name = "kept";
    sysFileStructure::getFileNameAndPath("x\\y", nullptr, &dir, '\\');
    EXPECT_EQ(name, "kept");
    EXPECT_EQ(dir, "x\\");
    sysFileStructure::getFileNameAndPath("x\\y", &name, nullptr, '\\');
    EXPECT_EQ(name, "y");
    sysFileStructure::getFileNameAndPath("x\\y", nullptr, nullptr, '\\');
    using ravel::fullPathAgainst;
    EXPECT_EQ(fullPathAgainst("sub\\file", "D:\\work"), "D:\\work\\sub\\file");
    EXPECT_EQ(fullPathAgainst("\\file", "D:\\work"), "D:\\work\\file"); // not the drive root
    EXPECT_EQ(fullPathAgainst("\\\\host\\share\\x", "D:\\work"), "\\\\host\\share\\x");
    EXPECT_EQ(fullPathAgainst("D:x", "C:\\work"), "D:x");
    EXPECT_EQ(fullPathAgainst("..\\.\\x", "D:\\work"), "D:\\work\\..\\.\\x");
    EXPECT_EQ(fullPathAgainst("file", "D:\\"), "D:\\\\file"); // no normalisation
    EXPECT_EQ(fullPathAgainst("", "D:\\work"), "D:\\work\\");
    EXPECT_EQ(fullPathAgainst("\\", "D:\\work"), "D:\\work\\");
}
