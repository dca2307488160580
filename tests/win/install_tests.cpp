// Installation on Wine: the file installer with real version resources and file times, the
// reboot-time copy and delete carried out by a restart of the prefix (wineboot -r) under the
// Windows 98 and XP settings, and the shared delete list.
#include "BFileDestructor.h"
#include "BFileInstaller.h"
#include "LogCapture.h"
#include "RunProgram.h"
#include "TestData.h"
#include "WinScoped.h"
#include "internal/win/WinHandle.h"
#include "sysFileStructure.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

using namespace ravel::test;

namespace {

using Installer = BFileInstaller;
const Installer::teError OK = Installer::FILE_OK, NO = Installer::FILE_FALSE, API = Installer::FILE_API_FAILURE;

// A scratch folder without a trailing backslash.
std::string folder(const std::string& name)
{
    const std::string dir = ravel::test::scratchDir(name);
    return dir.substr(0, dir.size() - 1);
}

// What the system does at start-up: Wine's restart carries out wininit.ini and the pending moves.
void restart() { ASSERT_EQ(ravel::test::runProgram("wineboot.exe -r").exitCode, 0); }

} // namespace

TEST(Installer, ComparisonsDecideWhatIsInstalled)
{
    const std::string src = folder("install_src"), dst = folder("install_dst");
    struct File
    {
        const char* name;
        const char* source;
        const char* dest;
    };
    const File files[] = {
        {"a.dll", "spanish", "us"}, // 2.0.0.1 over 1.2.3.4
        {"b.dll", "us", "spanish"}, // older: left alone
        {"c.dll", "none", "none"},  // no version resource: time decides, where asked
        {"d.dll", "outside", "us"}, // a FileVersion outside the searched tables: never installed
        {"e.dll", "us", nullptr},   // nothing installed yet
    };
    for (const File& f : files) {
        CopyFileA(versioned(f.source).c_str(), (src + "\\" + f.name).c_str(), FALSE);
        if (f.dest != nullptr)
            CopyFileA(versioned(f.dest).c_str(), (dst + "\\" + f.name).c_str(), FALSE);
    }
    ASSERT_TRUE(setWriteTime(src + "\\c.dll", 2020, 6, 1) && setWriteTime(dst + "\\c.dll", 2010, 6, 1));

    const std::string dirs = quoted(src) + quoted(dst), all = "a.dll b.dll c.dll d.dll e.dll ";
    EXPECT_EQ(ravelutil("is-current " + dirs + "b.dll a.dll --by version").out, "FILE_FALSE\n");
    EXPECT_EQ(ravelutil("install " + dirs + all + "--by version").exitCode, 0);
    EXPECT_EQ(ravel::test::readFile(dst + "\\a.dll"), ravel::test::readFile(versioned("spanish")));
    EXPECT_EQ(ravel::test::readFile(dst + "\\b.dll"), ravel::test::readFile(versioned("spanish")));
    EXPECT_EQ(ravel::test::readFile(dst + "\\d.dll"), ravel::test::readFile(versioned("us")));
    EXPECT_TRUE(exists(dst + "\\e.dll"));
    EXPECT_EQ(ravelutil("is-current " + dirs + "a.dll b.dll e.dll --by version").out, "FILE_OK\n");
    EXPECT_EQ(ravelutil("is-current " + dirs + "d.dll").out, "FILE_API_FAILURE\n");
    // By version text with the time as fall-back (the default), c.dll is newer.
    EXPECT_EQ(ravelutil("is-current " + dirs + "c.dll").out, "FILE_FALSE\n");
    EXPECT_EQ(ravelutil("install " + dirs + "c.dll").exitCode, 0);
    EXPECT_EQ(ravelutil("is-current " + dirs + "c.dll --by time").out, "FILE_OK\n") << "same time now";

    Installer installer(rw(src), rw(dst), &Installer::compareTimeStamp, &Installer::copyInstall);
    BStringVector none;
    EXPECT_EQ(installer.install(none) + installer.isCurrent(none), OK);
}

TEST(Installer, FailuresAreLoggedAndTheRestIsInstalled)
{
    const std::string src = folder("install_fail_src"), dst = folder("install_fail_dst");
    for (const char* name : {"1.txt", "3.txt"})
        ravel::test::writeFile(src + "\\" + name, "new");
    for (const char* name : {"1.txt", "2.txt", "3.txt"})
        ravel::test::writeFile(dst + "\\" + name, "old");
    for (const char* name : {"1.txt", "3.txt"})
        ASSERT_TRUE(setWriteTime(src + "\\" + name, 2020, 6, 1) && setWriteTime(dst + "\\" + name, 2010, 6, 1));
    SetFileAttributesA((dst + "\\3.txt").c_str(), FILE_ATTRIBUTE_READONLY);

    LogCapture log;
    Installer installer(rw(src), rw(dst), &Installer::compareTimeStamp, &Installer::copyInstall);
    BStringVector list;
    for (const char* name : {"1.txt", "2.txt", "3.txt"})
        list.insert(name);
    // 2.txt has no source: "newer" by the missing-file rule, and its copy fails.
    EXPECT_EQ(installer.isCurrent(list), NO);
    EXPECT_TRUE(log.has("BFileInstaller::isCurrent - not current src: " + src + "\\1.txt, dest = " + dst + "\\1.txt",
                        "general", "info", "release"));
    EXPECT_EQ(installer.install(list), API);
    EXPECT_EQ(ravel::test::readFile(dst + "\\1.txt") + ravel::test::readFile(dst + "\\3.txt"), "newnew");
    EXPECT_TRUE(log.has("Install Function Failed", "general", "error", "release"));
    EXPECT_NE(
        log.all().find("COMMENT: CopyFile api failure, getlasterror =    CAT: general  TYPE: error  LEVEL: release"),
        std::string::npos);
    EXPECT_NE(log.all().find("DATA: 02 00 00 00 "), std::string::npos) << log.all();
    EXPECT_TRUE(log.has("dest file name = " + dst + "\\2.txt", "general", "error", "release"));
    EXPECT_TRUE(log.has("src file name = " + src + "\\2.txt", "general", "error", "release"));

    // A missing destination is no failure for the copy, but the restart copy logs it (and fails
    // here: this Wine is no platform with a restart method).
    log.clear();
    RWCString from = rw(src + "\\1.txt"), to = rw(dst + "\\new.txt");
    EXPECT_EQ(installer.copyInstall(from, to), OK);
    EXPECT_TRUE(log.records().empty()) << log.all();
    to = rw(dst + "\\later.txt");
    EXPECT_EQ(installer.rebootCopyInstall(from, to), API);
    EXPECT_NE(log.all().find("COMMENT: SetFileAttributes api failure, getlasterror =    CAT: general  TYPE: error"),
              std::string::npos);
    EXPECT_TRUE(log.has("BHost rebootCopy failure", "general", "error", "release"));
    EXPECT_TRUE(log.has("[sysFileStructure::CopyOnReboot] FAILED", "file", "error", "release"));

    log.clear();
    BStringVector one;
    one.insert("2.txt");
    installer.logFileInfo(one);
    ASSERT_EQ(log.records().size(), 3u) << log.all();
    EXPECT_TRUE(log.has("BFileInstaller::logFileInfo entry", "general", "error", "release"));
    EXPECT_TRUE(log.has("Source:\n\n" + src + "\\2.txt file does NOT exist.", "general", "error", "release"));
    const ravel::test::ProgramResult report = ravelutil("file-report " + quoted(src) + quoted(dst) + "2.txt");
    EXPECT_EQ(report.out.substr(0, report.out.find("  creation")),
              "SRC:\n\n" + src + "\\2.txt file does NOT exist.DEST:\n\n" + dst + "\\2.txt\n");
}

TEST(RebootOperations, RefusedWithoutARestartMethod)
{
    const std::string dir = folder("reboot_none"), staging = folder("reboot_none_tmp");
    ravel::test::ScopedVariable tmp("TMP", staging);
    ravel::test::writeFile(dir + "\\src.txt", "x");
    LogCapture log;
    sysFileStructure files;
    // A missing source stages nothing; a refused registration leaves its staged copy behind.
    EXPECT_FALSE(files.CopyOnReboot(rw(dir + "\\absent.txt"), rw(dir + "\\dst.txt")) ||
                 files.CopyOnReboot(rw(dir + "\\src.txt"), rw(dir + "\\dst.txt")));
    EXPECT_TRUE(exists(staging + "\\src.txt") && !exists(staging + "\\absent.txt"));
    EXPECT_TRUE(log.has("[sysFileStructure::CopyOnReboot] attempting to copy {" + dir + "\\absent.txt} to {" + dir +
                            "\\dst.txt}",
                        "general", "info", "release"));
    log.clear();
    EXPECT_FALSE(files.DeleteOnReboot(rw(dir + "\\absent.txt")) || files.DeleteOnReboot(rw(dir + "\\src.txt")));
    EXPECT_EQ(log.records().size(), 2u) << "only the attempts are logged";
    // A Windows 10 setting is no platform these operations know either.
    ravel::test::ScopedWineSetting version("ravelutil.exe", "", "Version", "win10");
    EXPECT_EQ(ravelutil("reboot-copy " + quoted(dir + "\\src.txt") + quoted(dir + "\\dst.txt")).exitCode +
                  ravelutil("reboot-delete " + quoted(dir + "\\src.txt")).exitCode,
              2);
}

TEST(RebootOperations, DelayedMovesUnderXpAreCarriedOutByTheRestart)
{
    const std::string dir = folder("reboot_xp"), staging = folder("reboot_xp_tmp");
    ravel::test::ScopedVariable tmp("TMP", staging);
    ravel::test::ScopedWineSetting version("ravelutil.exe", "", "Version", "winxp");
    for (const char* name : {"dst.txt", "gone.txt", "installed.txt"})
        ravel::test::writeFile(dir + "\\" + name, "old");
    ravel::test::writeFile(dir + "\\new.txt", "xp");
    SetFileAttributesA((dir + "\\installed.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(ravelutil("reboot-copy " + quoted(dir + "\\new.txt") + quoted(dir + "\\dst.txt")).exitCode, 0);
    EXPECT_EQ(ravelutil("reboot-delete " + quoted(dir + "\\gone.txt")).exitCode, 0);
    const std::string source = folder("reboot_xp_src");
    ravel::test::writeFile(source + "\\installed.txt", "installed");
    EXPECT_EQ(ravelutil("install " + quoted(source) + quoted(dir) + "installed.txt --by time --reboot").exitCode, 0);
    EXPECT_EQ(ravel::test::readFile(staging + "\\new.txt"), "xp");
    EXPECT_EQ(ravel::test::readFile(dir + "\\dst.txt"), "old") << "nothing happens before the restart";
    restart();
    EXPECT_EQ(ravel::test::readFile(dir + "\\dst.txt"), "xp");
    EXPECT_EQ(ravel::test::readFile(dir + "\\installed.txt"), "installed");
    EXPECT_FALSE(exists(dir + "\\gone.txt"));
    EXPECT_FALSE(exists(staging + "\\new.txt")) << "the staged copy was moved";
}

TEST(RebootOperations, WininitUnderWindows98IsCarriedOutByTheRestart)
{
    const std::string dir = folder("reboot_98"), staging = folder("reboot_98_tmp");
    const std::string wininit = ravel::test::windowsDir() + "wininit.ini";
    DeleteFileA(wininit.c_str());
    ravel::test::ScopedVariable tmp("TMP", staging);
    ravel::test::ScopedWineSetting version("ravelutil.exe", "", "Version", "win98");
    ravel::test::writeFile(dir + "\\new.txt", "98");
    ravel::test::writeFile(dir + "\\dst.txt", "old");
    const std::string longName = dir + "\\a long name.txt";
    ravel::test::writeFile(longName, "x");
    // The NUL-key writer builds its copy in the current directory.
    const ravel::test::ProgramResult copied = ravel::test::runProgram(
        "cmd /c cd /d " + quoted(dir) + "&& " + quoted(ravel::test::binDir() + "ravelutil.exe") + "reboot-copy " +
        quoted(dir + "\\new.txt") + quoted(dir + "\\dst.txt") + "&& " +
        quoted(ravel::test::binDir() + "ravelutil.exe") + "reboot-delete " + quoted(longName));
    EXPECT_EQ(copied.exitCode, 0) << copied.err;
    char shortName[MAX_PATH];
    GetShortPathNameA(longName.c_str(), shortName, MAX_PATH);
    EXPECT_EQ(ravel::test::readFile(wininit),
              "[rename]\r\nNUL=" + std::string(shortName) + "\r\n" + dir + "\\dst.txt=" + staging + "\\new.txt\r\n");
    restart();
    EXPECT_EQ(ravel::test::readFile(dir + "\\dst.txt"), "98");
    EXPECT_FALSE(exists(longName));
    EXPECT_FALSE(exists(wininit)) << "done with";
}

TEST(FileDestructor, TheLastObjectDeletesTheSharedList)
{
    const std::string dir = folder("destructor");
    const std::string a = dir + "\\a.txt", b = dir + "\\b.txt", held = dir + "\\held.txt";
    for (const std::string& path : {a, b, held})
        ravel::test::writeFile(path, "x");
    const ravel::FileHandle open(
        CreateFileA(held.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    LogCapture log;
    {
        BFileDestructor first;
        {
            BFileDestructor copy(first);
            copy.addFileToDelete(rw(a));
            first.addFileToDelete(rw(held));
            BFileDestructor().addFileToDelete(rw(b));
            EXPECT_EQ(BFileDestructor::instantiationCounter, 2ul);
        }
        EXPECT_TRUE(exists(a) && exists(b)) << "another object still lives";
    }
    EXPECT_FALSE(exists(a) || exists(b));
    // In use: handed to the restart deletion (which this platform refuses).
    EXPECT_TRUE(exists(held));
    EXPECT_TRUE(
        log.has("[sysFileStructure::DeleteOnReboot] attempting to delete {" + held + "}", "general", "info", "release"))
        << log.all();

    // The list is kept: after initialize the next destruction deletes it all again.
    ravel::test::writeFile(a, "again");
    {
        BFileDestructor one, two;
        two.initialize();
    }
    EXPECT_FALSE(exists(a));
    EXPECT_EQ(BFileDestructor::instantiationCounter, 0ul);
    ravel::test::writeFile(a, "cli");
    EXPECT_EQ(ravelutil("delete-files " + quoted(a) + quoted(held)).exitCode, 1) << "one is held open";
    EXPECT_FALSE(exists(a));
}
