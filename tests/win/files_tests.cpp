// File information and file-system utilities on real files under Wine: small DLLs built with
// version resources (tests/win/versioned), scratch files with set times.
#include "BFileInstaller.h"
#include "LogCapture.h"
#include "RunProgram.h"
#include "TestData.h"
#include "WinScoped.h"
#include "sysFileStructure.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace ravel::test;

namespace {

using FileInfo = BFileInstaller::BFileInfo;
const BFileInstaller::teError OK = BFileInstaller::FILE_OK, NO = BFileInstaller::FILE_FALSE,
                              API = BFileInstaller::FILE_API_FAILURE, MISSING = BFileInstaller::FILE_NOT_FOUND,
                              NOVERSION = BFileInstaller::FILE_NO_VERSION_INFO;

FileInfo info(const std::string& path) { return FileInfo(path.c_str()); }

// A scratch folder as the system reports directories: no trailing backslash.
struct Scratch : ScopedTempDir
{
    explicit Scratch(const char* tag) : ScopedTempDir(tag), dir(path().substr(0, path().size() - 1)) {}
    std::string operator+(const char* name) const { return dir + "\\" + name; }
    const std::string dir;
};

} // namespace

TEST(FileInfo, VersionsFailuresComparisonsAndDescription)
{
    struct Case
    {
        const char* dll;
        const char* text;
        unsigned long long words;
        const char* where;
    };
    const Case cases[] = {
        {"us", "1.2.3.4", 0x0001000200030004ull, "0409 and Code Page 04B0"},
        {"spanish", "2.0.0.1", 0x0002000000000001ull, "0C0A and Code Page 04E4"},
        // Language outer, code page inner: US English/1252 before German/1200.
        {"order", "9.0", 0x0009000000000000ull, "0409 and Code Page 04E4"},
    };
    for (const Case& c : cases) {
        LogCapture log;
        RWCString text;
        unsigned __int64 words = 0;
        EXPECT_TRUE(info(versioned(c.dll)).getVersionStampString(&text) == OK &&
                    info(versioned(c.dll)).getVersionStamp(&words) == OK);
        EXPECT_EQ(str(text) + " " + std::to_string(words), c.text + (" " + std::to_string(c.words)));
        const std::string found =
            ": version(" + std::string(c.text) + ") information was found using Location Identifier ";
        EXPECT_TRUE(log.general(versioned(c.dll) + found + c.where, "info", "omega")) << log.all();
    }
    // Only outside the lists, or no FileVersion at all: an API failure, the fixed words still there.
    for (const char* dll : {"outside", "nofileversion"}) {
        LogCapture log;
        unsigned __int64 words = 0;
        RWCString text("stale");
        FileInfo file(info(versioned(dll)));
        EXPECT_TRUE(file.getVersionStamp(&words) == API && file.getVersionStampString(&text) == API);
        EXPECT_EQ(words >> 48, std::string(dll) == "outside" ? 3u : 4u);
        EXPECT_EQ(str(text), "");
        EXPECT_TRUE(log.general("VerQueryValue api failure, getlasterror = ", "error")) << log.all();
        EXPECT_TRUE(log.general("file name = " + versioned(dll), "error"));
        EXPECT_EQ(log.records().size(), 2u);
    }
    const Scratch scratch("fileinfo_missing");
    LogCapture log;
    unsigned __int64 words = 1;
    EXPECT_EQ(info(versioned("none")).getVersionStamp(&words), NOVERSION);
    EXPECT_EQ(words, 0u);
    FileInfo missing(info(scratch + "absent.dll"));
    FILETIME time = {1, 2};
    RWCString text("kept");
    EXPECT_TRUE(missing.exists() == MISSING && missing.getTimeStamp(&time) == MISSING &&
                missing.getVersionStamp(&words) == MISSING && missing.getVersionStampString(&text) == MISSING);
    EXPECT_EQ(time.dwLowDateTime + time.dwHighDateTime + words + text.length(), 7u) << "outputs untouched";
    EXPECT_TRUE(log.records().empty()) << log.all();
    // A missing folder is another error of the system: logged with its code, an API failure.
    EXPECT_EQ(info(scratch + "nodir\\absent.dll").exists(), API);
    EXPECT_TRUE(log.general("CreateFile api failure, getlasterror = ", "error")) << log.all();
    EXPECT_TRUE(log.contains("\n     DATA: 03 00 00 00 \n")) << log.all();
    EXPECT_EQ(log.records().size(), 1u);
    const Scratch dir("fileinfo_compare");
    ASSERT_TRUE(setWriteTime(dir + "older", 2005, 12, 31) && setWriteTime(dir + "newer", 2006, 1, 1) &&
                setWriteTime(dir + "same", 2006, 1, 1));
    FileInfo a(info(dir + "older")), b(info(dir + "newer")), c(info(dir + "same")), gone(info(dir + "gone"));
    // Equal times are no; exactly one missing is yes either way round; both missing: not found.
    const int times[] = {b.compareTime(a),    a.compareTime(b),    b.compareTime(c),
                         a.compareTime(gone), gone.compareTime(a), gone.compareTime(gone)};
    EXPECT_EQ(std::vector<int>(times, times + 6), (std::vector<int>{OK, NO, NO, OK, OK, MISSING}));
    ASSERT_TRUE(setWriteTime(dir + "older", 2020, 1, 1));
    EXPECT_EQ(a.compareTime(b), NO) << "a snapshot does not follow the file";
    FileInfo us(info(versioned("us"))), spanish(info(versioned("spanish"))), high(info(versioned("high"))),
        lowWord(info(versioned("lowword"))), none(info(versioned("none"))), outside(info(versioned("outside")));
    // The most significant word compares signed (32768.x is oldest), the least significant
    // unsigned; the texts compare as numbers (there 32768 is newest). This object's failure
    // comes first, then the other's.
    const int versions[] = {
        spanish.compareVersion(us),    us.compareVersion(us),         high.compareVersion(us),
        lowWord.compareVersion(us),    high.compareVersionString(us), us.compareVersionString(spanish),
        none.compareVersionString(us), us.compareVersionString(none), outside.compareVersion(none),
        none.compareVersion(gone),     us.compareVersion(gone)};
    EXPECT_EQ(std::vector<int>(versions, versions + 11),
              (std::vector<int>{OK, NO, NO, OK, OK, NO, NOVERSION, NOVERSION, API, NOVERSION, OK}));
    gone.toString(&text);
    EXPECT_EQ(str(text), "\n" + (dir + "gone") + " file does NOT exist.");
    us.toString(&text);
    const std::string d = str(text);
    EXPECT_EQ(d.rfind("\n" + versioned("us") + "\n  creation time = ", 0), 0u) << d;
    EXPECT_LT(d.find("\n  last write time = "), d.find("\n  last access time = ")) << d;
    EXPECT_EQ(d.substr(d.find("\n  version info:")),
              "\n  version info:  Most significant word = 10002, LSW = 30004\n  version string info:  1.2.3.4\n\n");
}

TEST(FileStructure, ExistenceSizeAgeDirectoriesAndTheFrontEnd)
{
    const Scratch dir("files_exist");
    sysFileStructure files;
    writeFile(dir + "five.txt", "12345");
    EXPECT_FALSE(files.fileExists(""));
    EXPECT_FALSE(files.fileExists((dir.dir + "\\").c_str())); // not with a trailing backslash
    EXPECT_TRUE(files.fileExists((dir + "*.txt").c_str()));   // a pattern that matches
    EXPECT_FALSE(files.fileExists((dir + "*.dll").c_str()));
    EXPECT_EQ(files.fileSize((dir + "five.txt").c_str()), 5u);
    EXPECT_EQ(files.fileSize((dir + "absent.txt").c_str()), 0u);
    // 4 GiB and more: the low 32 bits (a sparse file: no disk space used).
    ravel::FileHandle file(
        CreateFileA((dir + "big.bin").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    LARGE_INTEGER size;
    size.QuadPart = 0x100000000LL + 10;
    ASSERT_TRUE(SetFilePointerEx(file.get(), size, nullptr, FILE_BEGIN) && SetEndOfFile(file.get()));
    file.reset();
    EXPECT_EQ(files.fileSize((dir + "big.bin").c_str()), 10u);
    // Age in calendar months: days play no part (any day of last month is one month ago).
    SYSTEMTIME now = {};
    GetSystemTime(&now);
    const int rows[][4] = {{now.wMonth == 1 ? now.wYear - 1 : now.wYear, now.wMonth == 1 ? 12 : now.wMonth - 1, 28, 1},
                           {now.wYear, now.wMonth, 1, 0}};
    int months = -1;
    for (const auto& r : rows) {
        ASSERT_TRUE(setWriteTime(dir + "aged.txt", r[0], r[1], r[2]));
        EXPECT_TRUE(sysFileStructure::compareFileTimeToSystemTime((dir + "aged.txt").c_str(), &months));
        EXPECT_EQ(months, r[3]) << r[0] << "-" << r[1] << "-" << r[2];
    }
    EXPECT_FALSE(sysFileStructure::compareFileTimeToSystemTime((dir + "absent.txt").c_str(), &months));
    EXPECT_EQ(months, 0);
    // Directories, the current one, full paths, and their records.
    LogCapture log;
    RWCString directory("stale");
    EXPECT_TRUE(files.getSystemDirectory(directory));
    EXPECT_TRUE(log.general("[sysFileStructure::getSystemDirectory] returned = " + str(directory)));
    EXPECT_TRUE(files.getWindowsDirectory(directory));
    EXPECT_EQ(str(directory), "C:\\windows");
    RWCString original;
    ASSERT_TRUE(files.getCwd(original));
    const std::string& cwd = dir.dir;
    log.clear();
    EXPECT_FALSE(files.setCwd((cwd + "\\absent").c_str()));
    EXPECT_TRUE(log.records().empty());
    EXPECT_TRUE(files.setCwd(cwd.c_str()) && files.getCwd(directory));
    EXPECT_EQ(str(directory), cwd);
    EXPECT_TRUE(log.general("[sysFileStructure::setCwd] cwd set to: " + cwd));
    EXPECT_TRUE(log.general("[sysFileStructure::getCwd] returned = " + cwd));
    RWCString path("sub\\file");
    EXPECT_TRUE(files.ensurePathIsAFullPath(&path));
    EXPECT_EQ(str(path), cwd + "\\sub\\file");
    log.clear();
    path = "D:x";
    files.ensurePathIsAFullPath(&path);
    EXPECT_EQ(str(path), "D:x");
    EXPECT_TRUE(log.records().empty()) << "a full path does not ask for the current directory";
    EXPECT_TRUE(files.setCwd(original));
    // The front end prints the library's answers and tells usage errors apart.
    const ProgramResult equal = ravelutil("version-compare \"5, 1, 2600, 0\" 5.1.2600.0");
    EXPECT_EQ(equal.out, "FILE_FALSE\n");
    EXPECT_EQ(equal.exitCode, 1);
    EXPECT_EQ(ravelutil("newer \"" + versioned("none") + "\" \"" + versioned("us") + "\" --by text").out,
              "FILE_NO_VERSION_INFO\n");
    for (const char* usage : {"version-compare 1.0", "newer a b --by size"})
        EXPECT_EQ(ravelutil(usage).exitCode, 2) << usage;
}

// Last in this program: the permanent override is process-wide and nothing clears it.
TEST(FileStructure, TemporaryDirectoriesAndTheirPermanentOverride)
{
    const Scratch scratch("files_tmp");
    const std::string& temp = scratch.dir;
    ScopedVariable keep("TMP", temp);
    LogCapture log;
    sysFileStructure files;
    RWCString directory;
    EXPECT_TRUE(files.getTempDirectory(directory));
    EXPECT_EQ(str(directory), temp);
    EXPECT_TRUE(log.general("[sysFileStructure::getTempDirectory] returned = " + temp));
    EXPECT_TRUE(files.createUniqueTempDirectory(&directory));
    EXPECT_EQ(str(directory), temp + "\\qvkxotmp");
    writeFile(temp + "\\qvkxotmp_1", ""); // a file of the name counts as taken
    EXPECT_TRUE(files.createUniqueTempDirectory(&directory));
    EXPECT_EQ(str(directory), temp + "\\qvkxotmp_2");
    EXPECT_TRUE(GetFileAttributesA(directory.data()) & FILE_ATTRIBUTE_DIRECTORY);
    RWCString absent((temp + "\\absent").c_str()), service(directory), other(temp.c_str());
    EXPECT_FALSE(sysFileStructure::permanentlySetTempDir(absent));
    SetEnvironmentVariableA("TMP", absent.data());
    EXPECT_FALSE(files.createUniqueTempDirectory(&directory));
    EXPECT_EQ(str(directory), "");
    // Without the variable the reference stays unexpanded: the expansion itself did not fail.
    SetEnvironmentVariableA("TMP", nullptr);
    EXPECT_TRUE(files.getTempDirectory(directory));
    EXPECT_EQ(str(directory), "%TMP%");
    EXPECT_TRUE(sysFileStructure::permanentlySetTempDir(service));
    log.clear();
    EXPECT_TRUE(files.getTempDirectory(directory));
    EXPECT_EQ(str(directory), str(service));
    EXPECT_TRUE(log.records().empty()) << "the override is answered without a record";
    // A later existing directory replaces it; a missing one does not.
    EXPECT_TRUE(sysFileStructure::permanentlySetTempDir(other));
    EXPECT_FALSE(sysFileStructure::permanentlySetTempDir(absent));
    EXPECT_TRUE(files.getTempDirectory(directory));
    EXPECT_EQ(str(directory), temp);
}
