// File-system utilities and file information through qvzkut01.dll, on real files under Wine:
// small DLLs built with version resources (tests/win/versioned), Wine's own system DLLs, and
// scratch files with chosen times.
#include "BFileInstaller.h"
#include "LogCapture.h"
#include "RunProgram.h"
#include "TestPaths.h"
#include "sysFileStructure.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

namespace {

// A scratch folder without its ".." part, as the system reports current directories.
std::string scratch(const std::string& name)
{
    const std::string dir = testpaths::scratchDir(name);
    char full[MAX_PATH];
    const DWORD n = GetFullPathNameA(dir.c_str(), MAX_PATH, full, nullptr);
    return n > 0 && n < MAX_PATH ? std::string(full, n) : dir;
}

using FileInfo = BFileInstaller::BFileInfo;

std::string s(const RWCString& text) { return std::string(text.data(), text.length()); }

std::string versioned(const char* name) { return testpaths::binDir() + "ver_" + name + ".dll"; }

// The record whose comment is exactly this text, or "".
std::string record(const LogCapture& log, const std::string& comment)
{
    for (const std::string& r : log.records())
        if (r.rfind("COMMENT: " + comment + "   ", 0) == 0)
            return r;
    return "";
}

FILETIME fileTime(int year, int month, int day)
{
    SYSTEMTIME parts = {};
    parts.wYear = static_cast<WORD>(year);
    parts.wMonth = static_cast<WORD>(month);
    parts.wDay = static_cast<WORD>(day);
    parts.wHour = 12;
    FILETIME time = {};
    SystemTimeToFileTime(&parts, &time);
    return time;
}

bool setWriteTime(const std::string& path, const FILETIME& time)
{
    const HANDLE file = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    const BOOL ok = SetFileTime(file, nullptr, nullptr, &time);
    CloseHandle(file);
    return ok != FALSE;
}

std::string makeFile(const std::string& path, const std::string& bytes = "x")
{
    testpaths::writeFile(path, bytes);
    return path;
}

// Restores an environment variable on the way out.
class EnvironmentGuard
{
public:
    explicit EnvironmentGuard(const char* name) : m_name(name)
    {
        char value[MAX_PATH * 4];
        const DWORD n = GetEnvironmentVariableA(name, value, sizeof value);
        m_had = n > 0 && n < sizeof value;
        if (m_had)
            m_value.assign(value, n);
    }
    ~EnvironmentGuard() { SetEnvironmentVariableA(m_name, m_had ? m_value.c_str() : nullptr); }

private:
    const char* m_name;
    bool m_had = false;
    std::string m_value;
};

} // namespace

// ---- BFileInstaller::BFileInfo ------------------------------------------------------------

TEST(FileInfo, FileVersionFoundThroughTheLanguageAndCodePageLists)
{
    struct Case
    {
        const char* dll;
        const char* text;
        unsigned long long words;
        const char* where;
    };
    const Case cases[] = {
        {"us", "1.2.3.4", 0x0001000200030004ull, "Location Identifier 0409 and Code Page 04B0"},
        {"spanish", "2.0.0.1", 0x0002000000000001ull, "Location Identifier 0C0A and Code Page 04E4"},
        // Language outer, code page inner: US English/1252 before German/1200.
        {"order", "9.0", 0x0009000000000000ull, "Location Identifier 0409 and Code Page 04E4"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.dll);
        LogCapture log;
        const std::string path = versioned(c.dll);
        FileInfo info(path.c_str());
        EXPECT_EQ(info.exists(), BFileInstaller::FILE_OK);
        RWCString text;
        EXPECT_EQ(info.getVersionStampString(&text), BFileInstaller::FILE_OK);
        EXPECT_EQ(s(text), c.text);
        unsigned __int64 words = 0;
        EXPECT_EQ(info.getVersionStamp(&words), BFileInstaller::FILE_OK);
        EXPECT_EQ(words, c.words);
        FILETIME written = {};
        EXPECT_EQ(info.getTimeStamp(&written), BFileInstaller::FILE_OK);
        EXPECT_NE(written.dwHighDateTime, 0u);
        EXPECT_TRUE(log.has(path + ": version(" + c.text + ") information was found using " + c.where, "general",
                            "info", "omega"))
            << log.all();
        EXPECT_EQ(log.records().size(), 1u) << log.all();
    }
}

TEST(FileInfo, VersionResourcesWithoutASearchedFileVersion)
{
    // Only outside the lists, or no FileVersion at all: the fixed words are still there.
    for (const char* dll : {"outside", "nofileversion"}) {
        SCOPED_TRACE(dll);
        LogCapture log;
        const std::string path = versioned(dll);
        FileInfo info(path.c_str());
        EXPECT_EQ(info.exists(), BFileInstaller::FILE_OK);
        unsigned __int64 words = 0;
        EXPECT_EQ(info.getVersionStamp(&words), BFileInstaller::FILE_API_FAILURE);
        EXPECT_EQ(words >> 48, std::string(dll) == "outside" ? 3u : 4u);
        RWCString text("stale");
        EXPECT_EQ(info.getVersionStampString(&text), BFileInstaller::FILE_API_FAILURE);
        EXPECT_EQ(s(text), "");
        const std::string failure = record(log, "VerQueryValue api failure, getlasterror = ");
        EXPECT_NE(failure.find("CAT: general  TYPE: error  LEVEL: release"), std::string::npos) << log.all();
        EXPECT_NE(failure.find("     DATA: "), std::string::npos) << "the error code as data";
        EXPECT_TRUE(log.has("file name = " + path, "general", "error", "release"));
        EXPECT_EQ(log.records().size(), 2u) << log.all();
    }

    // No resource at all: zero words, no record.
    LogCapture log;
    FileInfo none(versioned("none").c_str());
    unsigned __int64 words = 1;
    EXPECT_EQ(none.getVersionStamp(&words), BFileInstaller::FILE_NO_VERSION_INFO);
    EXPECT_EQ(words, 0u);
    EXPECT_EQ(none.getVersionStamp(nullptr), BFileInstaller::FILE_NO_VERSION_INFO);
    EXPECT_TRUE(log.records().empty()) << log.all();
}

TEST(FileInfo, MissingFilesAndMissingDirectories)
{
    const std::string dir = scratch("fileinfo_missing");
    LogCapture log;
    FileInfo missing((dir + "absent.dll").c_str());
    EXPECT_EQ(missing.exists(), BFileInstaller::FILE_NOT_FOUND);
    FILETIME time = {1, 2};
    EXPECT_EQ(missing.getTimeStamp(&time), BFileInstaller::FILE_NOT_FOUND);
    EXPECT_EQ(time.dwLowDateTime, 1u);
    EXPECT_EQ(time.dwHighDateTime, 2u);
    unsigned __int64 words = 7;
    EXPECT_EQ(missing.getVersionStamp(&words), BFileInstaller::FILE_NOT_FOUND);
    EXPECT_EQ(words, 7u);
    RWCString text("kept");
    EXPECT_EQ(missing.getVersionStampString(&text), BFileInstaller::FILE_NOT_FOUND);
    EXPECT_EQ(s(text), "kept");
    EXPECT_TRUE(log.records().empty()) << log.all();

    // A missing directory is a different error from the system: logged, and an API failure.
    FileInfo noDir((dir + "nodir\\absent.dll").c_str());
    EXPECT_EQ(noDir.exists(), BFileInstaller::FILE_API_FAILURE);
    EXPECT_EQ(noDir.getTimeStamp(&time), BFileInstaller::FILE_API_FAILURE);
    const std::string failure = record(log, "CreateFile api failure, getlasterror = ");
    EXPECT_NE(failure.find("CAT: general  TYPE: error  LEVEL: release"), std::string::npos) << log.all();
    EXPECT_NE(failure.find("DATA: 03 00 00 00 "), std::string::npos) << failure;  // path not found
    EXPECT_EQ(log.records().size(), 1u);

    // A copy answers from the snapshot.
    FileInfo copy(missing);
    EXPECT_EQ(copy.exists(), BFileInstaller::FILE_NOT_FOUND);
    copy = noDir;
    EXPECT_EQ(copy.exists(), BFileInstaller::FILE_API_FAILURE);
}

TEST(FileInfo, CompareTimeByLastWrite)
{
    const std::string dir = scratch("fileinfo_time");
    const std::string older = makeFile(dir + "older.txt");
    const std::string newer = makeFile(dir + "newer.txt");
    const std::string same = makeFile(dir + "same.txt");
    ASSERT_TRUE(setWriteTime(older, fileTime(2005, 12, 31)));
    ASSERT_TRUE(setWriteTime(newer, fileTime(2006, 1, 1)));
    ASSERT_TRUE(setWriteTime(same, fileTime(2006, 1, 1)));
    FileInfo a(older.c_str()), b(newer.c_str()), c(same.c_str());
    FileInfo gone((dir + "gone.txt").c_str()), alsoGone((dir + "alsogone.txt").c_str());

    EXPECT_EQ(b.compareTime(a), BFileInstaller::FILE_OK);
    EXPECT_EQ(a.compareTime(b), BFileInstaller::FILE_FALSE);
    EXPECT_EQ(b.compareTime(c), BFileInstaller::FILE_FALSE);
    EXPECT_EQ(c.compareTime(b), BFileInstaller::FILE_FALSE);
    // Exactly one missing: yes, either way round. Both missing: not found.
    EXPECT_EQ(a.compareTime(gone), BFileInstaller::FILE_OK);
    EXPECT_EQ(gone.compareTime(a), BFileInstaller::FILE_OK);
    EXPECT_EQ(gone.compareTime(alsoGone), BFileInstaller::FILE_NOT_FOUND);

    // The snapshot does not follow later changes of the file.
    ASSERT_TRUE(setWriteTime(older, fileTime(2020, 1, 1)));
    EXPECT_EQ(a.compareTime(b), BFileInstaller::FILE_FALSE);
}

TEST(FileInfo, CompareVersionWordsAndVersionTexts)
{
    FileInfo us(versioned("us").c_str());              // 1.2.3.4
    FileInfo spanish(versioned("spanish").c_str());    // 2.0.0.1
    FileInfo high(versioned("high").c_str());          // 32768.0.0.0
    FileInfo lowWord(versioned("lowword").c_str());    // 1.2.32768.0
    FileInfo none(versioned("none").c_str());
    FileInfo outside(versioned("outside").c_str());
    FileInfo gone(versioned("absent").c_str());

    EXPECT_EQ(spanish.compareVersion(us), BFileInstaller::FILE_OK);
    EXPECT_EQ(us.compareVersion(spanish), BFileInstaller::FILE_FALSE);
    EXPECT_EQ(us.compareVersion(us), BFileInstaller::FILE_FALSE);
    // The most significant word is signed, the least significant one unsigned.
    EXPECT_EQ(high.compareVersion(us), BFileInstaller::FILE_FALSE);
    EXPECT_EQ(us.compareVersion(high), BFileInstaller::FILE_OK);
    EXPECT_EQ(lowWord.compareVersion(us), BFileInstaller::FILE_OK);
    // The text comparison reads numbers: 32768 is newer there.
    EXPECT_EQ(high.compareVersionString(us), BFileInstaller::FILE_OK);
    EXPECT_EQ(spanish.compareVersionString(us), BFileInstaller::FILE_OK);
    EXPECT_EQ(us.compareVersionString(spanish), BFileInstaller::FILE_FALSE);

    // Statuses: this object's failure first, then the other's; one missing file is a yes.
    EXPECT_EQ(none.compareVersionString(us), BFileInstaller::FILE_NO_VERSION_INFO);
    EXPECT_EQ(us.compareVersionString(none), BFileInstaller::FILE_NO_VERSION_INFO);
    EXPECT_EQ(none.compareVersion(outside), BFileInstaller::FILE_NO_VERSION_INFO);
    EXPECT_EQ(outside.compareVersion(none), BFileInstaller::FILE_API_FAILURE);
    EXPECT_EQ(us.compareVersion(gone), BFileInstaller::FILE_OK);
    EXPECT_EQ(gone.compareVersionString(us), BFileInstaller::FILE_OK);
    EXPECT_EQ(none.compareVersion(gone), BFileInstaller::FILE_NO_VERSION_INFO);
    EXPECT_EQ(gone.compareVersion(gone), BFileInstaller::FILE_NOT_FOUND);

    RWCString a("1.10"), b("1.9");
    EXPECT_EQ(FileInfo::compareVersionString(a, b), BFileInstaller::FILE_OK);
    EXPECT_EQ(FileInfo::compareVersionString(b, a), BFileInstaller::FILE_FALSE);
}

TEST(FileInfo, SystemDllsCarryTheirFileVersion)
{
    // Wine's own binaries: the text found agrees with the fixed words (these have all four fields).
    char system[MAX_PATH];
    GetSystemDirectoryA(system, MAX_PATH);
    for (const char* name : {"kernel32.dll", "user32.dll", "version.dll", "shell32.dll", "advapi32.dll"}) {
        SCOPED_TRACE(name);
        FileInfo info((std::string(system) + "\\" + name).c_str());
        RWCString text;
        ASSERT_EQ(info.getVersionStampString(&text), BFileInstaller::FILE_OK);
        unsigned __int64 words = 0;
        ASSERT_EQ(info.getVersionStamp(&words), BFileInstaller::FILE_OK);
        char expected[64];
        std::snprintf(expected, sizeof expected, "%u.%u.%u.%u", unsigned(words >> 48), unsigned(words >> 32) & 0xFFFF,
                      unsigned(words >> 16) & 0xFFFF, unsigned(words) & 0xFFFF);
        RWCString fromWords(expected);
        EXPECT_EQ(FileInfo::compareVersionString(text, fromWords), BFileInstaller::FILE_FALSE) << s(text);
        EXPECT_EQ(FileInfo::compareVersionString(fromWords, text), BFileInstaller::FILE_FALSE) << s(text);
    }
}

TEST(FileInfo, Description)
{
    const std::string missingPath = versioned("absent");
    FileInfo missing(missingPath.c_str());
    RWCString text;
    missing.toString(&text);
    EXPECT_EQ(s(text), "\n" + missingPath + " file does NOT exist.");
    missing.toString(nullptr);

    const std::string path = versioned("us");
    FileInfo us(path.c_str());
    us.toString(&text);
    const std::string d = s(text);
    EXPECT_EQ(d.rfind("\n" + path + "\n  creation time = ", 0), 0u) << d;
    const size_t write = d.find("\n  last write time = ");
    const size_t access = d.find("\n  last access time = ");
    ASSERT_NE(write, std::string::npos);
    ASSERT_NE(access, std::string::npos);
    EXPECT_LT(write, access);
    EXPECT_EQ(d.substr(d.find("\n  version info:")),
              "\n  version info:  Most significant word = 10002, LSW = 30004\n"
              "  version string info:  1.2.3.4\n\n");

    // The last write time as the user's locale writes a time of day.
    FILETIME written = {}, local = {};
    ASSERT_EQ(us.getTimeStamp(&written), BFileInstaller::FILE_OK);
    SYSTEMTIME parts = {};
    FileTimeToLocalFileTime(&written, &local);
    FileTimeToSystemTime(&local, &parts);
    char clock[256] = {};
    GetTimeFormatA(LOCALE_USER_DEFAULT, 0, &parts, nullptr, clock, sizeof clock);
    EXPECT_NE(d.find(std::string("\n  last write time = ") + clock + "\n"), std::string::npos) << d;
}

// ---- sysFileStructure -----------------------------------------------------------------------

TEST(FileStructure, ExistenceAndSize)
{
    const std::string dir = scratch("files_exist");
    sysFileStructure files;
    makeFile(dir + "five.txt", "12345");
    makeFile(dir + "empty.txt", "");
    EXPECT_FALSE(files.fileExists(""));
    EXPECT_TRUE(files.fileExists((dir + "five.txt").c_str()));
    EXPECT_TRUE(files.fileExists(dir.substr(0, dir.size() - 1).c_str()));  // a directory
    EXPECT_FALSE(files.fileExists(dir.c_str()));                           // trailing backslash
    EXPECT_TRUE(files.fileExists((dir + "*.txt").c_str()));
    EXPECT_FALSE(files.fileExists((dir + "*.dll").c_str()));
    EXPECT_FALSE(files.fileExists((dir + "absent.txt").c_str()));

    EXPECT_EQ(files.fileSize((dir + "five.txt").c_str()), 5u);
    EXPECT_EQ(files.fileSize((dir + "empty.txt").c_str()), 0u);
    EXPECT_EQ(files.fileSize((dir + "absent.txt").c_str()), 0u);
    EXPECT_EQ(files.fileSize(""), 0u);

    // 4 GiB and more: only the low 32 bits (a sparse file, so no disk space is used).
    const std::string big = dir + "big.bin";
    const HANDLE file = CreateFileA(big.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    LARGE_INTEGER size;
    size.QuadPart = 0x100000000LL + 10;
    const bool sized = SetFilePointerEx(file, size, nullptr, FILE_BEGIN) && SetEndOfFile(file);
    CloseHandle(file);
    const unsigned long reported = files.fileSize(big.c_str());
    DeleteFileA(big.c_str());
    ASSERT_TRUE(sized);
    EXPECT_EQ(reported, 10u);
}

TEST(FileStructure, DirectoriesAndTheirRecords)
{
    LogCapture log;
    sysFileStructure files;
    char expected[MAX_PATH];
    RWCString directory("stale");

    GetSystemDirectoryA(expected, MAX_PATH);
    EXPECT_TRUE(files.getSystemDirectory(directory));
    EXPECT_EQ(s(directory), expected);
    EXPECT_TRUE(log.has(std::string("[sysFileStructure::getSystemDirectory] returned = ") + expected, "general",
                        "info", "release"));
    GetWindowsDirectoryA(expected, MAX_PATH);
    EXPECT_TRUE(files.getWindowsDirectory(directory));
    EXPECT_EQ(s(directory), expected);
    EXPECT_TRUE(log.has(std::string("[sysFileStructure::getWindowsDirectory] returned = ") + expected, "general",
                        "info", "release"));

    RWCString original;
    ASSERT_TRUE(files.getCwd(original));
    const std::string dir = scratch("files_cwd");
    const std::string target = dir.substr(0, dir.size() - 1);
    log.clear();
    EXPECT_FALSE(files.setCwd(""));
    EXPECT_FALSE(files.setCwd((dir + "absent").c_str()));
    EXPECT_TRUE(log.records().empty());
    EXPECT_TRUE(files.setCwd(target.c_str()));
    EXPECT_TRUE(log.has("[sysFileStructure::setCwd] cwd set to: " + target, "general", "info", "release"));
    EXPECT_TRUE(files.getCwd(directory));
    EXPECT_EQ(s(directory), target);
    EXPECT_TRUE(log.has("[sysFileStructure::getCwd] returned = " + target, "general", "info", "release"));

    // Relative paths join the current directory; full ones are left alone without asking for it.
    RWCString path("sub\\file");
    EXPECT_TRUE(files.ensurePathIsAFullPath(&path));
    EXPECT_EQ(s(path), target + "\\sub\\file");
    path = "\\file";
    files.ensurePathIsAFullPath(&path);
    EXPECT_EQ(s(path), target + "\\file");
    log.clear();
    for (const char* full : {"\\\\host\\share\\x", "D:x"}) {
        path = full;
        files.ensurePathIsAFullPath(&path);
        EXPECT_EQ(s(path), full);
    }
    EXPECT_TRUE(log.records().empty());
    EXPECT_TRUE(files.setCwd(original));
}

TEST(FileStructure, TemporaryDirectoryFollowsTMP)
{
    EnvironmentGuard keep("TMP");
    LogCapture log;
    sysFileStructure files;
    const std::string dir = scratch("files_tmp");
    const std::string temp = dir.substr(0, dir.size() - 1);
    SetEnvironmentVariableA("TMP", temp.c_str());
    RWCString directory;
    EXPECT_TRUE(files.getTempDirectory(directory));
    EXPECT_EQ(s(directory), temp);
    EXPECT_TRUE(log.has("[sysFileStructure::getTempDirectory] returned = " + temp, "general", "info", "release"));

    // Without the variable the reference stays unexpanded: the expansion itself did not fail.
    SetEnvironmentVariableA("TMP", nullptr);
    EXPECT_TRUE(files.getTempDirectory(directory));
    EXPECT_EQ(s(directory), "%TMP%");
}

TEST(FileStructure, UniqueTemporaryDirectories)
{
    EnvironmentGuard keep("TMP");
    const std::string dir = scratch("files_unique");
    const std::string temp = dir.substr(0, dir.size() - 1);
    SetEnvironmentVariableA("TMP", temp.c_str());
    sysFileStructure files;
    RWCString created("stale");
    EXPECT_TRUE(files.createUniqueTempDirectory(&created));
    EXPECT_EQ(s(created), temp + "\\qvkxotmp");
    EXPECT_NE(GetFileAttributesA(created.data()), INVALID_FILE_ATTRIBUTES);

    // A file of the name counts as taken too.
    makeFile(dir + "qvkxotmp_1");
    EXPECT_TRUE(files.createUniqueTempDirectory(&created));
    EXPECT_EQ(s(created), temp + "\\qvkxotmp_2");
    EXPECT_TRUE(GetFileAttributesA(created.data()) & FILE_ATTRIBUTE_DIRECTORY);

    // A temporary directory that does not exist: nothing can be created.
    SetEnvironmentVariableA("TMP", (dir + "absent").c_str());
    EXPECT_FALSE(files.createUniqueTempDirectory(&created));
    EXPECT_EQ(s(created), "");
}

TEST(FileStructure, AgeInCalendarMonths)
{
    const std::string dir = scratch("files_age");
    const std::string path = makeFile(dir + "aged.txt");
    SYSTEMTIME now = {};
    GetSystemTime(&now);
    int months = -1;

    // Days play no part: any day of last month is one month ago.
    const int lastYear = now.wMonth == 1 ? now.wYear - 1 : now.wYear;
    const int lastMonth = now.wMonth == 1 ? 12 : now.wMonth - 1;
    ASSERT_TRUE(setWriteTime(path, fileTime(lastYear, lastMonth, 28)));
    EXPECT_TRUE(sysFileStructure::compareFileTimeToSystemTime(path.c_str(), &months));
    EXPECT_EQ(months, 1);
    ASSERT_TRUE(setWriteTime(path, fileTime(now.wYear, now.wMonth, 1)));
    EXPECT_TRUE(sysFileStructure::compareFileTimeToSystemTime(path.c_str(), &months));
    EXPECT_EQ(months, 0);
    ASSERT_TRUE(setWriteTime(path, fileTime(2005, 12, 31)));
    EXPECT_TRUE(sysFileStructure::compareFileTimeToSystemTime(path.c_str(), &months));
    EXPECT_EQ(months, (now.wYear - 2006) * 12 + now.wMonth);

    months = -1;
    EXPECT_FALSE(sysFileStructure::compareFileTimeToSystemTime((dir + "absent.txt").c_str(), &months));
    EXPECT_EQ(months, 0);
}

// ---- ravelutil --------------------------------------------------------------------------------

TEST(FilesCli, VersionCompareAnswersTheExamples)
{
    struct Case
    {
        const char* args;
        const char* answer;
    };
    const Case cases[] = {
        {"1.2.3.4 1.2.3.5", "FILE_FALSE"}, {"2.0 1.9.9.9", "FILE_OK"},       {"1.10 1.9", "FILE_OK"},
        {"1.2 1.2", "FILE_FALSE"},         {"1.2.0 1.2", "FILE_OK"},         {"1.2 1.2.0", "FILE_FALSE"},
        {"\"5, 1, 2600, 0\" 5.1.2600.0", "FILE_FALSE"}, {"1.2.3.4.9 1.2.3.4.1", "FILE_FALSE"},
        {"1.2a 1.2", "FILE_FALSE"},        {"\"\" 1.0", "FILE_FALSE"},     {"1.0 \"\"", "FILE_OK"},
    };
    for (const Case& c : cases) {
        const testpaths::ProgramResult r = testpaths::ravelutil(std::string("version-compare ") + c.args);
        EXPECT_EQ(r.out, std::string(c.answer) + "\n") << c.args;
        EXPECT_EQ(r.exitCode, std::string(c.answer) == "FILE_OK" ? 0 : 1) << c.args;
    }
    EXPECT_EQ(testpaths::ravelutil("version-compare 1.0").exitCode, 2);
}

TEST(FilesCli, FileInfoAndNewer)
{
    const std::string us = versioned("us");
    testpaths::ProgramResult r = testpaths::ravelutil("fileinfo \"" + us + "\"");
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out.rfind("\n" + us + "\n", 0), 0u) << r.out;
    EXPECT_NE(r.out.find("  version string info:  1.2.3.4\n\n"), std::string::npos) << r.out;
    r = testpaths::ravelutil("fileinfo \"" + versioned("absent") + "\"");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "\n" + versioned("absent") + " file does NOT exist.");

    const std::string spanish = versioned("spanish");
    r = testpaths::ravelutil("newer \"" + spanish + "\" \"" + us + "\" --by text");
    EXPECT_EQ(r.out, "FILE_OK\n");
    EXPECT_EQ(r.exitCode, 0);
    r = testpaths::ravelutil("newer \"" + versioned("high") + "\" \"" + us + "\" --by version");
    EXPECT_EQ(r.out, "FILE_FALSE\n");
    EXPECT_EQ(r.exitCode, 1);
    r = testpaths::ravelutil("newer \"" + versioned("none") + "\" \"" + us + "\" --by text");
    EXPECT_EQ(r.out, "FILE_NO_VERSION_INFO\n");
    r = testpaths::ravelutil("newer \"" + versioned("absent") + "\" \"" + versioned("gone") + "\" --by time");
    EXPECT_EQ(r.out, "FILE_NOT_FOUND\n");
    EXPECT_EQ(testpaths::ravelutil("newer a b --by size").exitCode, 2);
}

TEST(FilesCli, DirectoriesTemporaryFullPathAndAge)
{
    testpaths::ProgramResult r = testpaths::ravelutil("dirs");
    char system[MAX_PATH];
    GetSystemDirectoryA(system, MAX_PATH);
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out.rfind(std::string("system ") + system + "\nwindows ", 0), 0u) << r.out;
    EXPECT_NE(r.out.find("\ncurrent "), std::string::npos);
    EXPECT_NE(r.out.find("\ntemp "), std::string::npos);

    r = testpaths::ravelutil("mktemp");
    EXPECT_EQ(r.exitCode, 0);
    const std::string created = r.out.substr(0, r.out.find('\n'));
    EXPECT_NE(created.find("qvkxotmp"), std::string::npos) << r.out;
    EXPECT_TRUE(GetFileAttributesA(created.c_str()) & FILE_ATTRIBUTE_DIRECTORY);
    RemoveDirectoryA(created.c_str());

    r = testpaths::ravelutil("fullpath \\\\host\\share\\x");
    EXPECT_EQ(r.out, "\\\\host\\share\\x\n");

    const std::string dir = scratch("files_cli");
    const std::string aged = makeFile(dir + "aged.txt");
    ASSERT_TRUE(setWriteTime(aged, fileTime(2005, 12, 31)));
    SYSTEMTIME now = {};
    GetSystemTime(&now);
    r = testpaths::ravelutil("age \"" + aged + "\"");
    EXPECT_EQ(r.out, std::to_string((now.wYear - 2006) * 12 + now.wMonth) + "\n");
    EXPECT_EQ(testpaths::ravelutil("age \"" + dir + "absent\"").exitCode, 1);
}

// Last in this program: the override is process-wide and nothing clears it.
TEST(FileStructureForServices, PermanentTemporaryDirectory)
{
    EnvironmentGuard keep("TMP");
    const std::string dir = scratch("files_service");
    const std::string fromEnvironment = dir + "env";
    CreateDirectoryA(fromEnvironment.c_str(), nullptr);
    SetEnvironmentVariableA("TMP", fromEnvironment.c_str());
    sysFileStructure files;
    RWCString directory;

    RWCString absent((dir + "absent").c_str());
    EXPECT_FALSE(sysFileStructure::permanentlySetTempDir(absent));
    EXPECT_TRUE(files.getTempDirectory(directory));
    EXPECT_EQ(s(directory), fromEnvironment);

    RWCString service((dir + "service").c_str());
    CreateDirectoryA(service.data(), nullptr);
    EXPECT_TRUE(sysFileStructure::permanentlySetTempDir(service));
    LogCapture log;
    EXPECT_TRUE(files.getTempDirectory(directory));
    EXPECT_EQ(s(directory), s(service));
    EXPECT_TRUE(log.records().empty()) << "the override is answered without a record";
    SetEnvironmentVariableA("TMP", nullptr);
    EXPECT_TRUE(files.getTempDirectory(directory));
    EXPECT_EQ(s(directory), s(service));
    EXPECT_TRUE(files.createUniqueTempDirectory(&directory));
    EXPECT_EQ(s(directory), s(service) + "\\qvkxotmp");

    // A later existing directory replaces it; a missing one does not.
    RWCString other((dir + "env").c_str());
    EXPECT_TRUE(sysFileStructure::permanentlySetTempDir(other));
    EXPECT_FALSE(sysFileStructure::permanentlySetTempDir(absent));
    EXPECT_TRUE(files.getTempDirectory(directory));
    EXPECT_EQ(s(directory), fromEnvironment);
}
