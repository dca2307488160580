// The configuration family on Wine's real registry and profile functions: BRegistry in a scoped
// key, BIniFile and the exclusion lists in scratch folders, and their ravelutil commands.
#include "BExcluder.h"
#include "BIniFile.h"
#include "BOSSpecificExcluder.h"
#include "BRegistry.h"
#include "LogCapture.h"
#include "RunProgram.h"
#include "TestData.h"
#include "WinScoped.h"
#include "internal/win/WinHandle.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

using namespace ravel::test;

namespace {

const char kDefaultKey[] = "HKEY_LOCAL_MACHINE\\Software\\Corvane\\Velloran";

// The test's own key by its full path, with its values and sub-keys read past the class.
struct ScopedKey : ScopedRegistryKey
{
    const std::string full = "HKEY_CURRENT_USER\\" + path();
    // The stored bytes of a value; empty when missing.
    std::string raw(const char* name, DWORD* type = nullptr) const
    {
        char data[1024];
        DWORD size = sizeof data;
        return RegGetValueA(get(), nullptr, name, RRF_RT_ANY | RRF_NOEXPAND, type, data, &size) == ERROR_SUCCESS
                   ? std::string(data, size)
                   : "";
    }
    bool exists(const char* below) const
    {
        ravel::RegistryKeyHandle key;
        return RegOpenKeyExA(get(), below, 0, KEY_READ, key.receive()) == ERROR_SUCCESS;
    }
};

std::string joined(const BStringVector& names)
{
    std::string all;
    for (unsigned int i = 0; i < names.entries(); ++i)
        all += (i ? "," : "") + str(names[i]);
    return all;
}

} // namespace

TEST(Registry, ValuesAndTheirFailureAnswers)
{
    ScopedKey scratch;
    BRegistry key(rw(scratch.full));
    // The answer and the out-value of each read, as one text.
    const auto text = [&](const char* name) {
        RWCString t("stale");
        const bool ok = key.getValue(name, t);
        return std::to_string(ok) + str(t);
    };
    const auto number = [&](const char* name) {
        unsigned long n = 5;
        const bool ok = key.getValue(name, n);
        return std::to_string(ok) + std::to_string(n);
    };
    EXPECT_FALSE(key.setValue("empty", RWCString()) || key.setValue("", "x"));
    EXPECT_EQ(scratch.raw("empty"), "");
    char bytes[] = {'a', '\0', 'b'};
    ASSERT_TRUE(key.setValue("text", "hello") && key.setValue("number", 0xDEADBEEFul) &&
                key.setValue("bin", bytes, 3ul));
    DWORD type = 0;
    const std::string bin = scratch.raw("bin", &type);
    EXPECT_EQ(bin + std::to_string(type), std::string("a\0b3", 4));
    // Any type reads as text up to its first zero; a value over 255 characters cannot be read.
    ASSERT_TRUE(key.setValue("long", rw(std::string(300, 'L'))));
    EXPECT_EQ(text("text") + "," + text("bin") + "," + text("missing") + "," + text("long"), "1hello,1a,0,0");
    EXPECT_EQ(number("number"), "13735928559");

    // Clearing: a number becomes 0; other types, long and missing values are refused.
    EXPECT_TRUE(key.clearValue("number"));
    EXPECT_EQ(scratch.raw("number"), std::string(4, '\0'));
    EXPECT_FALSE(key.clearValue("bin") || key.clearValue("missing") || key.clearValue("long"));

    EXPECT_FALSE(key.valueExists("TEXT")); // names compare exactly
    EXPECT_TRUE(key.deleteValue("missing") && key.deleteValue("long"));
    EXPECT_FALSE(key.deleteValue(""));
    BSortedStringVector names;
    names.insert("stale");
    EXPECT_TRUE(key.enumValues(names));
    EXPECT_EQ(joined(names), "bin,number,text");
}

TEST(Registry, AnObjectThatNeverOpenedRefusesValuesForLife)
{
    ScopedKey scratch;
    LogCapture log;
    // Wine refuses to create keys under the performance root.
    BRegistry never("HKEY_PERFORMANCE_DATA\\RavelUtilitiesTests");
    EXPECT_TRUE(log.has("BRegistry::setWorkingKey : RegCreateKeyEx FAILED on Simple Velloran Installer", "general",
                        "info", "omega"))
        << log.all();
    EXPECT_EQ(str(never.getWorkingKey()), kDefaultKey);
    EXPECT_TRUE(never.setWorkingKey(rw(scratch.full)));
    RWCString text("kept");
    unsigned long number = 5;
    EXPECT_FALSE(never.setValue("v", "x") || never.getValue("v", text) || never.getValue("v", number) ||
                 never.deleteValue("v"));
    EXPECT_EQ(str(text) + std::to_string(number), "kept5");
    // Listing does not ask whether the object is open; key operations take their own paths.
    BRegistry(rw(scratch.full)).setValue("v", "x");
    BStringVector names;
    EXPECT_TRUE(never.enumValues(names));
    EXPECT_EQ(joined(names), "v");
    EXPECT_TRUE(never.keyExists(rw(scratch.full)));
}

// Lower-case roots, short forms and the machine root are checked through the commands below.
TEST(Registry, WorkingKeysAndKeysByFullPathAndCopiesWithHandlesOfTheirOwn)
{
    ScopedKey scratch;
    BRegistry key(rw(scratch.full));
    EXPECT_EQ(str(key.toString()), "BRegistry*");
    // A bare root has no sub-key: refused, though the path is kept; a path without a root is not.
    EXPECT_FALSE(key.setWorkingKey("HKEY_CURRENT_USER") || key.setWorkingKey("HKCU\\x"));
    EXPECT_EQ(str(key.getWorkingKey()), "HKEY_CURRENT_USER");
    EXPECT_TRUE(key.setWorkingKey(rw(scratch.full + "\\b\\deep\\deeper")) && key.setValue("w", 7ul));
    EXPECT_EQ(scratch.raw("w"), "");
    BRegistry(rw(scratch.full + "\\a"));
    BRegistry(rw(scratch.full + "\\C"));
    BSortedStringVector sorted;
    EXPECT_TRUE(key.enumKeys(rw(scratch.full), sorted));
    EXPECT_EQ(joined(sorted), "a,b,C");
    EXPECT_FALSE(key.enumKeys("HKEY_CURRENT_USER", sorted) || !sorted.isEmpty());
    EXPECT_TRUE(key.keyExists(rw(scratch.full + "\\b\\deep")) && scratch.exists("b\\deep\\deeper"));
    EXPECT_FALSE(key.keyExists(rw(scratch.full + "\\absent")) || key.keyExists("HKEY_CURRENT_USER"));
    {
        BRegistry copy(key);
        BRegistry assigned(rw(scratch.full + "\\a"));
        assigned = key;
        EXPECT_EQ(str(assigned.getWorkingKey()), scratch.full + "\\b\\deep\\deeper");
        EXPECT_TRUE(assigned.setValue("x", 1ul));
    }
    EXPECT_TRUE(key.setValue("y", 2ul)) << "the copies closed their own handles";

    EXPECT_FALSE(key.deleteKey("HKEY_LOCAL_MACHINE") || key.deleteKey("") ||
                 key.deleteKey(rw(scratch.full + "\\absent")));
    EXPECT_TRUE(key.deleteKey(rw(scratch.full + "\\b")));
    EXPECT_FALSE(scratch.exists("b"));
    EXPECT_TRUE(scratch.exists("a"));
}

TEST(IniFile, ConstructionFindsOrCreatesTheFile)
{
    const std::string dir = ravel::test::scratchDir("ini_make"), made = dir + "new\\made.ini";
    LogCapture log;
    BIniFile created(rw(made));
    EXPECT_NE(GetFileAttributesA(made.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(log.has("BIniFile: Constructor - File NOT Found", "general", "info", "release"));
    EXPECT_TRUE(log.has("BIniFile: Constructor - Directory created." + dir + "new", "general", "info", "release"));
    EXPECT_TRUE(log.has("BIniFile: Constructor - File created." + made, "general", "info", "release"));
    BIniFile found(rw(made));
    EXPECT_TRUE(log.has("BIniFile: Constructor - File Found" + made, "general", "info", "release")) << log.all();
    // One directory level only; a bare name has no directory to make.
    BIniFile(rw(dir + "x\\y\\deep.ini"));
    BIniFile("ravel_bare_absent.ini");
    EXPECT_EQ(GetFileAttributesA((dir + "x").c_str()) & GetFileAttributesA("ravel_bare_absent.ini"),
              INVALID_FILE_ATTRIBUTES);

    log.clear();
    BIniFile unnamed;
    RWCString value;
    int number = 0;
    BStringVector lines;
    EXPECT_FALSE(unnamed.bGetString("s", "k", value) || unnamed.bGetInt("s", "k", number) ||
                 unnamed.bGetSection("s", lines, false) || unnamed.bWriteString("s", "k", "v") ||
                 unnamed.bSetFileName(""));
    EXPECT_EQ(log.records().size(), 4u);
    EXPECT_TRUE(log.has("BIniFile: FileName is null.", "general", "assert", "final"));
}

TEST(IniFile, ReadsAndWritesThroughTheProfileFunctions)
{
    const std::string dir = ravel::test::scratchDir("ini_rw");
    ravel::test::writeFile(dir + "r.ini", "[s]\r\nempty=\r\nliteral=Key Not Found\r\nzero=0\r\nn=42\r\n"
                                          "[lines]\r\nk=v ; later\r\n[hollow]\r\n");
    ScopedCurrentDirectory cwd(dir);
    // A bare name: the profile functions look in the Windows directory; strings are tried here too.
    BIniFile ini("r.ini"), full(rw(dir + "r.ini"));
    RWCString value("stale");
    EXPECT_FALSE(ini.bGetString("s", "empty", value) || ini.bGetString("s", "literal", value));
    EXPECT_EQ(str(value), "");
    EXPECT_TRUE(ini.bGetString("s", "n", value));
    int number = 5;
    EXPECT_FALSE(ini.bGetInt("s", "zero", number));
    EXPECT_EQ(number, 0);
    EXPECT_FALSE(ini.bGetInt("s", "n", number)) << "numbers are read by the stored name only";
    EXPECT_TRUE(full.bGetInt("s", "n", number));
    EXPECT_EQ(number, 42);

    LogCapture log;
    BStringVector lines;
    EXPECT_TRUE(ini.bGetSection("lines", lines, true) && ini.bGetSection("lines", lines, false));
    EXPECT_EQ(joined(lines), "k=v ; later,k=v ; later"); // appended (Wine itself drops comment lines)
    EXPECT_TRUE(log.has("BIniFile.bGetSection: (lines)", "general", "info", "release"));
    EXPECT_TRUE(log.has("BIniFile.bGetSection: Tokens :(k=v ; later)", "general", "info", "omega"));
    EXPECT_FALSE(ini.bGetSection("hollow", lines, false));
    EXPECT_TRUE(log.has("BIniFile.bGetSection: FAILED", "general", "info", "release"));
    EXPECT_FALSE(full.bGetSection("lines", lines, false)) << "sections are read under the current directory";

    EXPECT_FALSE(full.bWriteString("w", "k", ""));
    EXPECT_TRUE(log.has("BIniFile.bWriteString: section (w) key (k) outString()", "general", "info", "release"));
    EXPECT_TRUE(full.bWriteInt("w", "minus", -12));
    BStringVector pairs;
    for (const char* pair : {"a = b", "x=1=2", "broken", "after=1"})
        pairs.insert(pair);
    EXPECT_FALSE(full.bWriteSection("w", pairs));
    EXPECT_NE(ravel::test::readFile(dir + "r.ini").find("[w]\r\nminus=-12\r\na=b\r\nx=1=2\r\n"), std::string::npos);
    EXPECT_FALSE(full.bGetString("w", "after", value)) << "the first failure ends the section";
}

TEST(IniFile, NulKeyWriterShortNamesAndASafeReplacement)
{
    const std::string dir = ravel::test::scratchDir("ini_nul"), stored = dir + "stored.ini";
    const std::string longName = dir + "a long file name.txt";
    ravel::test::writeFile(longName, "x");
    ScopedCurrentDirectory cwd(dir);
    LogCapture log;
    BIniFile ini;
    ini.bSetFileName(rw(stored));
    EXPECT_TRUE(ini.bWriteNULKeyString(rw(longName)) && ini.bWriteNULKeyString("C:\\A.DLL"));
    char shortName[MAX_PATH];
    GetShortPathNameA(longName.c_str(), shortName, MAX_PATH);
    EXPECT_EQ(ravel::test::readFile(stored), "[rename]\r\nNUL=C:\\A.DLL\r\nNUL=" + std::string(shortName) + "\r\n");
    EXPECT_TRUE(
        log.has("BIniFile::bWriteNULKeyStringVector: File DOESN'T exist." + stored, "general", "info", "omega"));
    EXPECT_TRUE(log.has("BIniFile::bWriteNULKeyStringVector: File exists." + stored, "general", "info", "omega"));
    EXPECT_EQ(GetFileAttributesA("qvknul.ini"), INVALID_FILE_ATTRIBUTES) << "the copy took the file's place";

    // A replacement the system refuses (the file is open without shared deletion) keeps the file.
    const std::string before = ravel::test::readFile(stored);
    {
        const ravel::FileHandle held(
            CreateFileA(stored.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(held.valid());
        EXPECT_FALSE(ini.bWriteNULKeyString("C:\\B.DLL"));
    }
    EXPECT_EQ(ravel::test::readFile(stored), before);
    EXPECT_EQ(GetFileAttributesA((stored + ".qvknul").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_NE(log.all().find("COMMENT: BIniFile::bWriteNULKeyStringVector: Unable to move the temporary ini file."
                             "   CAT: general  TYPE: error  LEVEL: release  FILE: src/binifile.cpp  LINE: "),
              std::string::npos)
        << log.all();
    EXPECT_NE(log.all().find("DATA: 05 00 00 00 "), std::string::npos) << "Wine refuses with access denied";
}

TEST(Excluders, ListsAndPerSystemSections)
{
    const std::string dir = ravel::test::scratchDir("excluder");
    ravel::test::writeFile(dir + "list.ini",
                           "[EXCLUDED]\r\na.dll\r\nb.dll\r\nk=v\r\n"
                           "[a.dll]\r\nwindows95\r\nwindows98\r\nWindows95\r\n[k=v]\r\nwindows2000\r\n");
    ravel::test::writeFile(dir + "none.ini", "[other]\r\na.dll\r\n");
    ScopedCurrentDirectory cwd(dir);
    BExcluder plain;
    EXPECT_FALSE(plain.isExcluded("a.dll") || plain.initialize("none.ini") || plain.isExcluded("a.dll"));
    EXPECT_TRUE(plain.initialize("list.ini") && plain.initialize("none.ini")) << "read once";
    EXPECT_TRUE(plain.isExcluded("A.DLL") && plain.isExcluded("b.dll") && plain.isExcluded("k=v"));
    EXPECT_FALSE(plain.isExcluded("c.dll"));

    BOSSpecificExcluder bySystem;
    EXPECT_TRUE(bySystem.initialize("list.ini") && bySystem.initialize("list.ini")); // the same answers again
    EXPECT_TRUE(bySystem.isExcluded("A.DLL", EXCLUDE_OS_WIN95) && bySystem.isExcluded("a.dll", EXCLUDE_OS_WIN98));
    EXPECT_TRUE(bySystem.isExcluded("k=v", EXCLUDE_OS_WIN2000));
    EXPECT_FALSE(bySystem.isExcluded("a.dll", EXCLUDE_OS_WINNT) || bySystem.isExcluded("a.dll", EXCLUDE_OS_WINDOWS));
    EXPECT_FALSE(bySystem.isExcluded("b.dll", EXCLUDE_OS_WIN95)) << "listed without a section of its own";
    // This Wine reports a system that maps to no type (or to XP's, which no list names).
    EXPECT_FALSE(bySystem.isExcluded("k=v"));

    BOSSpecificExcludedItem item;
    item.addExcludedOS(EXCLUDE_OS_WINXP);
    EXPECT_TRUE(item.isExcluded(EXCLUDE_OS_WINXP));
    EXPECT_FALSE(item == item);
    item.clearExcludedOSs();
    EXPECT_FALSE(item.isExcluded(EXCLUDE_OS_WINXP));
}

TEST(ConfigCli, RegistryAndIniCommands)
{
    ScopedKey scratch;
    const std::string key = "\"hkey_current_user\\" + scratch.path() + "\" ";
    EXPECT_EQ(ravelutil("reg set " + key + "s text").exitCode + ravelutil("reg clear " + key + "s").exitCode, 0);
    const ravel::test::ProgramResult blank = ravelutil("reg get " + key + "s");
    EXPECT_EQ(blank.out + std::to_string(blank.exitCode), " \n0");
    const ravel::test::ProgramResult missing = ravelutil("reg get-dword " + key + "none");
    EXPECT_EQ(missing.out + std::to_string(missing.exitCode), "4294967295\n1");
    EXPECT_EQ(ravelutil("reg delete-value " + key + "none").exitCode, 0);
    EXPECT_EQ(ravelutil("reg set-binary " + key + "b \"00 ff\"").exitCode, 0);
    EXPECT_EQ(scratch.raw("b"), std::string("\0\xff", 2));
    // A short root is no root: the value lands in the default key.
    EXPECT_EQ(ravelutil("reg set HKLM\\Software\\x fallback yes").exitCode, 0);
    EXPECT_EQ(ravelutil("reg get " + std::string(kDefaultKey) + " fallback").out, "yes\n");
    EXPECT_EQ(ravelutil("reg delete-key HKEY_LOCAL_MACHINE").exitCode, 1);
    EXPECT_EQ(ravelutil("reg key-exists " + std::string(kDefaultKey)).exitCode, 0);
    EXPECT_EQ(ravelutil("reg delete-key HKEY_LOCAL_MACHINE\\Software\\Corvane").exitCode, 0);

    const std::string dir = ravel::test::scratchDir("ini_cli");
    struct Case
    {
        const char* name;
        const char* before;
        const char* after;
    };
    const Case cases[] = {
        {"plain.ini", "[a]\r\nx=1\r\n", "[a]\r\nx=1\r\n[rename]\r\nNUL=C:\\A\r\nNUL=C:\\B\r\n"},
        {"capital.ini", "[Rename]\r\nf=1\r\n", "[Rename]\r\nNUL=C:\\A\r\nNUL=C:\\B\r\nf=1\r\n"},
        {"nolf.ini", "[a]\r\nx=1", "[a]\r\nx=1\r\n[rename]\r\nNUL=C:\\A\r\nNUL=C:\\B\r\n"},
        {"missing.ini", nullptr, "[rename]\r\nNUL=C:\\A\r\nNUL=C:\\B\r\n"},
    };
    for (const Case& c : cases) {
        if (c.before != nullptr)
            ravel::test::writeFile(dir + c.name, c.before);
        EXPECT_EQ(ravelutil("ini nul \"" + dir + c.name + "\" C:\\A C:\\B").exitCode, 0) << c.name;
        EXPECT_EQ(ravel::test::readFile(dir + c.name), c.after) << c.name;
    }
}
