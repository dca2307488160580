// Portable pieces of the file family: version-text comparison, path splitting, full paths.
#include "internal/PathText.h"
#include "internal/VersionText.h"
#include "sysFileStructure.h"

#include <gtest/gtest.h>

using ravel::versionTextIsNewer;

TEST(VersionText, NumbersNotText)
{
    EXPECT_FALSE(versionTextIsNewer("1.2.3.4", "1.2.3.5"));
    EXPECT_TRUE(versionTextIsNewer("1.2.3.5", "1.2.3.4"));
    EXPECT_TRUE(versionTextIsNewer("2.0", "1.9.9.9"));
    EXPECT_TRUE(versionTextIsNewer("1.10", "1.9"));
    EXPECT_FALSE(versionTextIsNewer("1.9", "1.10"));
    EXPECT_FALSE(versionTextIsNewer("1.2.3.4", "1.2.3.4"));
}

TEST(VersionText, FieldCountsAndSeparators)
{
    EXPECT_TRUE(versionTextIsNewer("1.2.0", "1.2"));
    EXPECT_FALSE(versionTextIsNewer("1.2", "1.2.0"));
    EXPECT_FALSE(versionTextIsNewer("5, 1, 2600, 0", "5.1.2600.0"));
    EXPECT_FALSE(versionTextIsNewer("5.1.2600.0", "5, 1, 2600, 0"));
    EXPECT_FALSE(versionTextIsNewer("1.2.3.4.9", "1.2.3.4.1"));  // only four fields count
    EXPECT_FALSE(versionTextIsNewer("1.2a", "1.2"));
    EXPECT_FALSE(versionTextIsNewer("", "1.0"));
    EXPECT_FALSE(versionTextIsNewer("", ""));
    EXPECT_TRUE(versionTextIsNewer("0", ""));
    EXPECT_FALSE(versionTextIsNewer(" ., ", "1"));  // separators alone hold no field
    EXPECT_TRUE(versionTextIsNewer("..2", "1"));     // leading separators are skipped
    // A field without leading digits counts as 0; a sign is read.
    EXPECT_TRUE(versionTextIsNewer("1.beta", "1.-1"));
    EXPECT_FALSE(versionTextIsNewer("1.beta", "1.0"));
    EXPECT_TRUE(versionTextIsNewer("1.beta", "1"));
    // Fields beyond the range of int do not wrap.
    EXPECT_TRUE(versionTextIsNewer("99999999999", "2147483646"));
    EXPECT_FALSE(versionTextIsNewer("-99999999999", "-2147483647"));
}

TEST(PathSplitting, LastSeparatorAndNullOutputs)
{
    RWCString name("stale"), dir("stale");
    sysFileStructure::getFileNameAndPath("D:\\dir\\file.txt", &name, &dir, '\\');
    EXPECT_EQ(name, "file.txt");
    EXPECT_EQ(dir, "D:\\dir\\");
    sysFileStructure::getFileNameAndPath("D:\\dir\\", &name, &dir, '\\');
    EXPECT_EQ(name, "");
    EXPECT_EQ(dir, "D:\\dir\\");
    sysFileStructure::getFileNameAndPath("name.txt", &name, &dir, '\\');
    EXPECT_EQ(name, "name.txt");
    EXPECT_EQ(dir, "");
    sysFileStructure::getFileNameAndPath("a/b\\c/d", &name, &dir, '/');
    EXPECT_EQ(name, "d");
    EXPECT_EQ(dir, "a/b\\c/");
    sysFileStructure::getFileNameAndPath("", &name, &dir, '\\');
    EXPECT_EQ(name, "");
    EXPECT_EQ(dir, "");

    name = "kept";
    sysFileStructure::getFileNameAndPath("x\\y", nullptr, &dir, '\\');
    EXPECT_EQ(name, "kept");
    EXPECT_EQ(dir, "x\\");
    sysFileStructure::getFileNameAndPath("x\\y", &name, nullptr, '\\');
    EXPECT_EQ(name, "y");
    sysFileStructure::getFileNameAndPath("x\\y", nullptr, nullptr, '\\');
}

TEST(FullPath, RelativePathsJoinTheCurrentDirectory)
{
    using ravel::fullPathAgainst;
    EXPECT_EQ(fullPathAgainst("sub\\file", "D:\\work"), "D:\\work\\sub\\file");
    EXPECT_EQ(fullPathAgainst("\\file", "D:\\work"), "D:\\work\\file");  // not the drive root
    EXPECT_EQ(fullPathAgainst("\\\\host\\share\\x", "D:\\work"), "\\\\host\\share\\x");
    EXPECT_EQ(fullPathAgainst("D:x", "C:\\work"), "D:x");
    EXPECT_EQ(fullPathAgainst("..\\.\\x", "D:\\work"), "D:\\work\\..\\.\\x");
    EXPECT_EQ(fullPathAgainst("file", "D:\\"), "D:\\\\file");  // no normalisation
    EXPECT_EQ(fullPathAgainst("", "D:\\work"), "D:\\work\\");
    EXPECT_EQ(fullPathAgainst("x", "D:\\work"), "D:\\work\\x");
    EXPECT_EQ(fullPathAgainst("\\", "D:\\work"), "D:\\work\\");
}
