// Portable pieces of the system family: the language table, the drive letter a share goes to,
// and the names commands to run once are registered under.
#include "internal/net/DriveLetters.h"
#include "internal/system/LanguageTable.h"
#include "internal/system/RunOnceNames.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

TEST(LanguageTable, EveryIdentifierOfTheTableAndNoOther)
{
    struct Language
    {
        int value;
        const char* directory;
        std::vector<unsigned short> ids;
    };
    const std::vector<Language> table = {
        {1,
         "En",
         {0x0000, 0x0400, 0x0409, 0x0809, 0x0C09, 0x1009, 0x1409, 0x1809, 0x1C09, 0x2009, 0x2409, 0x2809, 0x2C09,
          0x3009, 0x3409}},
        {2, "Fr", {0x040C, 0x080C, 0x0C0C, 0x100C, 0x140C, 0x180C}},
        {3, "Ge", {0x0407, 0x0807, 0x0C07, 0x1007, 0x1407}},
        {4, "It", {0x0410, 0x0810}},
        {5, "Sp", {0x040A, 0x080A, 0x0C0A, 0x100A, 0x140A, 0x180A, 0x1C0A, 0x200A, 0x240A, 0x280A,
                   0x2C0A, 0x300A, 0x340A, 0x380A, 0x3C0A, 0x400A, 0x440A, 0x480A, 0x4C0A, 0x500A}},
        {6, "Pg", {0x0416, 0x0816}},
        {7, "Cz", {0x0405}},
        {8, "Po", {0x0415}},
        {9, "Ru", {0x0419}},
        {10, "Jp", {0x0411}},
        {11, "Ko", {0x0412, 0x0812}},
        {12, "Tc", {0x0404, 0x0C04, 0x1004, 0x1404}},
        {13, "Sc", {0x0804}},
        {14, "Dn", {0x0406}},
        {15, "Du", {0x0413, 0x0813}},
        {16, "Fi", {0x040B}},
        {17, "Hu", {0x040E}},
        {18, "No", {0x0414, 0x0814}},
        {19, "Sw", {0x041D, 0x081D}},
        {20, "Ti", {0x041E}},
        {21, "Tk", {0x041F}},
        {22,
         "Ar",
         {0x0401, 0x0801, 0x0C01, 0x1001, 0x1401, 0x1801, 0x1C01, 0x2001, 0x2401, 0x2801, 0x2C01, 0x3001, 0x3401,
          0x3801, 0x3C01, 0x4001}},
        {23, "He", {0x040D}},
    };
    std::set<unsigned> listed;
    for (const Language& language : table) {
        EXPECT_STREQ(ravel::languageDirectoryName(language.value), language.directory);
        for (unsigned short id : language.ids) {
            EXPECT_EQ(ravel::languageOfLanguageID(id), language.value) << std::hex << id;
            listed.insert(id);
        }
    }
    // Everything else is unlisted, neighbours of listed identifiers (0x3809, 0x0418) included.
    for (unsigned id = 0; id <= 0xFFFF; ++id) {
        if (listed.count(id) == 0) {
            ASSERT_EQ(ravel::languageOfLanguageID(static_cast<unsigned short>(id)), 0) << std::hex << id;
        }
    }
    EXPECT_STREQ(ravel::languageDirectoryName(0), "unknown");
    EXPECT_EQ(ravel::languageDirectoryName(24), nullptr);
    EXPECT_EQ(ravel::languageDirectoryName(-1), nullptr);
}

TEST(DriveLetters, HighestFreeFromZDownToE)
{
    const unsigned long aToD = 0xF;
    const unsigned long fToZ = 0x3FFFFFFul & ~0x1Ful;
    EXPECT_EQ(ravel::highestFreeDriveLetter(0), 'z');
    EXPECT_EQ(ravel::highestFreeDriveLetter(1ul << 25), 'y');
    EXPECT_EQ(ravel::highestFreeDriveLetter(fToZ), 'e');
    // z: to e: all taken: a: to d: are free but never offered.
    EXPECT_EQ(ravel::highestFreeDriveLetter(fToZ | (1ul << 4)), 0);
    EXPECT_EQ(ravel::highestFreeDriveLetter(aToD | (1ul << 25)), 'y');
    EXPECT_EQ(ravel::highestFreeDriveLetter(0xFFFFFFFFul & ~(1ul << 12)), 'm'); // bits above z: mean nothing
}

TEST(RunOnceNames, BaseNameThenCountedFirstFree)
{
    std::set<std::string> held;
    const auto next = [&held] {
        return std::string(
            ravel::firstFreeRunOnceName([&held](const RWCString& n) { return held.count(n.data()) != 0; }).data());
    };
    for (const char* name : {"qvkxokey", "qvkxokey1", "qvkxokey2", "qvkxokey3", "qvkxokey4", "qvkxokey5", "qvkxokey6",
                             "qvkxokey7", "qvkxokey8", "qvkxokey9", "qvkxokey10"}) {
        EXPECT_EQ(next(), name);
        held.insert(name);
    }
    // Once the system has run and removed a value, its name is free again.
    held.erase("qvkxokey");
    EXPECT_EQ(next(), "qvkxokey");
}
