// Zip extraction under Wine: dunzip32.dll through its command record, BZip over it (exact bytes,
// names and times, refused archives, the restart deletions), the directory walker and file finder,
// and the zip and file commands of ravelutil.
#include "BZip.h"
#include "RunProgram.h"
#include "TestData.h"
#include "WinScoped.h"
#include "internal/win/WinHandle.h"
#include "sysFileStructure.h"
#include <algorithm>
#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <vector>
#include <windows.h>

using ravel::test::exists;
using ravel::test::quoted;
using ravel::test::ravelutil;
using ravel::test::readFile;
using ravel::test::scratchDir;
using ravel::test::writeFile;

namespace {

std::string seed(const std::string& name)
{
    std::string path = std::string("Z:" RAVEL_ZIP_SEEDS "/") + name;
    for (char& c : path)
        if (c == '/')
            c = '\\';
    return path;
}

// Every path below a directory, relative, directories ending in a backslash.
void listTree(const std::string& dir, const std::string& prefix, std::vector<std::string>& out)
{
    sysFileStructure::directoryWalker walker(RWCString((dir + prefix).c_str()), 1, 1);
    char* name = nullptr;
    while (walker.FindNext(&name) == 0) {
        const std::string entry = prefix + name;
        const bool directory = GetFileAttributesA((dir + entry).c_str()) & FILE_ATTRIBUTE_DIRECTORY;
        out.push_back(directory ? entry + "\\" : entry);
        if (directory)
            listTree(dir, entry + "\\", out);
    }
}

// dunzip32.dll loaded directly, as BZip loads it.
class Library
{
public:
    Library() : m_module(LoadLibraryA("dunzip32.dll"))
    {
        const FARPROC address = GetProcAddress(m_module.get(), "dunzip");
        std::memcpy(&m_entry, &address, sizeof m_entry);
    }
    int operator()(UNZIPCMDSTRUCT& command) const { return m_entry(&command); }
    bool loaded() const { return m_entry != nullptr; }

private:
    ravel::ModuleHandle m_module;
    int(WINAPI* m_entry)(UNZIPCMDSTRUCT*) = nullptr;
};

UNZIPCMDSTRUCT openRecord(const std::string& zip)
{
    UNZIPCMDSTRUCT command;
    std::memset(&command, 0, sizeof command);
    command.structSize = kUnzipCmdSize;
    command.command = kUnzipOpen;
    command.zipFile = zip.c_str();
    return command;
}

} // namespace

TEST(Dunzip, CommandsThroughTheRecord)
{
    const Library unzip;
    ASSERT_TRUE(unzip.loaded());
    const std::string zip = seed("py-mixed.zip");
    UNZIPCMDSTRUCT command = openRecord(zip);
    ASSERT_EQ(unzip(command), 0);
    EXPECT_EQ(command.entryCount, 4u);

    unsigned char info[sizeof(ZIPENTRYINFO)];
    command.command = kUnzipEntryInfo;
    command.entryInfo = info;
    command.entryIndex = 3;
    ASSERT_EQ(unzip(command), 0);
    std::uint32_t size = 0;
    std::memcpy(&size, info + 2, 4);
    EXPECT_EQ(size, 11u);
    EXPECT_STREQ(reinterpret_cast<const char*>(info + 38), "dir/\xC3\xBC"
                                                           "ml\xC3\xA4ut \xE6\x97\xA5\xE6\x9C\xAC.txt");
    command.entryIndex = 4;
    EXPECT_NE(unzip(command), 0);

    UNZIPCMDSTRUCT wrongSize = openRecord(zip);
    wrongSize.structSize = kUnzipCmdSize == 142 ? 154 : 142;
    EXPECT_NE(unzip(wrongSize), 0) << "a record of the other build's layout is refused";
    const std::string absent = seed("absent.zip");
    UNZIPCMDSTRUCT missingFile = openRecord(absent);
    EXPECT_NE(unzip(missingFile), 0);
    EXPECT_EQ(missingFile.entryCount, 0u);
}

TEST(BZipExtract, ArchivesFromZipAndPython)
{
    const std::string dest = scratchDir("zip_good");
    BZip zip;
    for (const char* name : {"zip-deflate.zip", "zip-zip64.zip", "py-mixed.zip", "py-descriptor.zip"}) {
        RWCString path(seed(name).c_str());
        EXPECT_EQ(zip.decompressAll(path, RWCString((dest + name).c_str()), false, false, true, false), BZip::BZIP_OK)
            << name;
    }
    const std::string setup = readFile(dest + "zip-deflate.zip\\drv\\setup.inf");
    EXPECT_EQ(setup.size(), 5000u);
    EXPECT_EQ(readFile(dest + "zip-zip64.zip\\drv\\setup.inf"), setup);
    EXPECT_EQ(readFile(dest + "zip-deflate.zip\\drv\\sub\\deep\\big.txt").size(), 1200u * 1024);
    EXPECT_EQ(readFile(dest + "py-descriptor.zip\\small.txt"), "small\n");
    const std::wstring utf8Name =
        std::wstring(dest.begin(), dest.end()) + L"py-mixed.zip\\dir\\\u00fcml\u00e4ut \u65e5\u672c.txt";
    EXPECT_NE(GetFileAttributesW(utf8Name.c_str()), INVALID_FILE_ATTRIBUTES);

    unsigned long total = 1;
    EXPECT_EQ(zip.getCompressedInfo(RWCString(seed("zip-deflate.zip").c_str()), total), BZip::BZIP_OK);
    EXPECT_EQ(total, 1233800ul);
    EXPECT_EQ(zip.getCompressedInfo(RWCString(seed("py-empty.zip").c_str()), total), BZip::BZIP_OK);
    EXPECT_EQ(total, 0ul);
    RWCString empty(seed("py-empty.zip").c_str());
    EXPECT_EQ(zip.decompressAll(empty, RWCString((dest + "empty").c_str()), false, false, true, false), BZip::BZIP_OK);
    EXPECT_EQ(zip.getCompressedInfo(RWCString(seed("absent.zip").c_str()), total), BZip::BZIP_ERROR);
    EXPECT_EQ(total, 0ul);
    EXPECT_EQ(zip.init(), BZip::BZIP_OK);
}

TEST(BZipExtract, HostileArchivesWriteNothingOutside)
{
    // Every hostile seed but the one of five entries, which fails only at its third.
    std::vector<std::string> hostile;
    const std::string folder = seed("");
    sysFileStructure::directoryWalker seeds(RWCString(folder.substr(0, folder.size() - 1).c_str()), 0, 1);
    for (char* name = nullptr; seeds.FindNext(&name) == 0;)
        if (std::strncmp(name, "bad-", 4) == 0 && std::strcmp(name, "bad-third-of-five.zip") != 0)
            hostile.push_back(name);
    EXPECT_EQ(hostile.size(), 13u);
    BZip zip;
    for (const std::string& name : hostile) {
        const std::string sandbox = scratchDir("zip_" + name);
        RWCString path(seed(name).c_str());
        EXPECT_EQ(zip.decompressAll(path, RWCString((sandbox + "dest").c_str()), false, false, true, false),
                  BZip::BZIP_ERROR)
            << name;
        std::vector<std::string> tree;
        listTree(sandbox, "", tree);
        for (const std::string& entry : tree) {
            EXPECT_EQ(entry.compare(0, 5, "dest\\"), 0) << name << ": " << entry;
            EXPECT_EQ(entry.find("evil"), std::string::npos) << name << ": " << entry;
        }
    }
    EXPECT_TRUE(!exists("Z:\\tmp\\evil.txt") && !exists("C:\\tmp\\evil.txt") && !exists("C:\\evil.txt"));

    // The third of five entries fails: two are written, the failing one is removed, none follows.
    const std::string dest = scratchDir("zip_third");
    RWCString path(seed("bad-third-of-five.zip").c_str());
    EXPECT_EQ(zip.decompressAll(path, RWCString(dest.c_str()), false, false, true, false), BZip::BZIP_ERROR);
    EXPECT_EQ(readFile(dest + "part2.txt"), "part 2\n");
    EXPECT_TRUE(!exists(dest + "part3.txt") && !exists(dest + "part4.txt"));
}

TEST(BZipExtract, DeleteAtRestartRegistersFilesBeforeTheirDirectories)
{
    const std::string dest = scratchDir("zip_reboot") + "dest";
    CreateDirectoryA(dest.c_str(), nullptr);
    writeFile(dest + "\\before.txt", "was there");
    ravel::test::ScopedWineSetting version("ravelutil.exe", "", "Version", "winxp");
    const auto run =
        ravelutil("-v zip extract " + quoted(seed("zip-stored.zip")) + quoted(dest) + "--delete-at-restart");
    EXPECT_EQ(run.exitCode, 0) << run.err;
    std::vector<std::string> order;
    const std::string marker = "attempting to delete {";
    for (const std::string& line : ravel::test::lines(run.err)) {
        const std::size_t at = line.find(marker);
        if (at != std::string::npos)
            order.push_back(line.substr(at + marker.size(), line.find('}', at) - at - marker.size()));
    }
    ASSERT_FALSE(order.empty()) << run.err;
    EXPECT_EQ(order.back(), dest);
    EXPECT_NE(std::find(order.begin(), order.end(), dest + "\\before.txt"), order.end());
    EXPECT_NE(std::find(order.begin(), order.end(), dest + "\\drv\\sub\\deep"), order.end());
    for (std::size_t i = 0; i < order.size(); ++i)
        for (std::size_t j = i + 1; j < order.size(); ++j)
            EXPECT_NE(order[j].compare(0, order[i].size() + 1, order[i] + "\\"), 0)
                << order[j] << " registered after its directory " << order[i];
}

TEST(DirectoryWalker, EndsAndErrors)
{
    const std::string dir = scratchDir("walker");
    char* name = nullptr;
    sysFileStructure::directoryWalker absent(RWCString((dir + "absent").c_str()), 1, 1);
    const int code = absent.FindNext(&name);
    EXPECT_TRUE(code != 0 && code != 18) << code;
    EXPECT_EQ(absent.FindNext(&name), code);

    CreateDirectoryA((dir + "empty").c_str(), nullptr);
    sysFileStructure::directoryWalker empty(RWCString((dir + "empty").c_str()), 1, 1);
    EXPECT_EQ(empty.FindNext(&name), 18);
    EXPECT_EQ(empty.FindNext(&name), 18);

    CreateDirectoryA((dir + "mixed").c_str(), nullptr);
    CreateDirectoryA((dir + "mixed\\sub").c_str(), nullptr);
    writeFile(dir + "mixed\\file.txt", "x");
    const RWCString mixed((dir + "mixed").c_str());
    const auto walk = [&](int dirs, int files) {
        sysFileStructure::directoryWalker walker(mixed, dirs, files);
        std::vector<std::string> names;
        while (walker.FindNext(&name) == 0)
            names.push_back(name);
        sysFileStructure::directoryWalker copy(walker); // a walk of its own, from the start
        if (copy.FindNext(&name) == 0)
            names.push_back(std::string("copy:") + name);
        return names;
    };
    EXPECT_EQ(walk(0, 1), (std::vector<std::string>{"file.txt", "copy:file.txt"}));
    EXPECT_EQ(walk(1, 0), (std::vector<std::string>{"sub", "copy:sub"}));
    EXPECT_EQ(walk(1, 1).size(), 3u); // both entries and the copy's first
    EXPECT_TRUE(walk(0, 0).empty());
}

TEST(FileFinder, BaseDirectoryFirstAndExactNames)
{
    const std::string base = scratchDir("finder") + "base";
    // b holds a directory of the searched name, which is not a file.
    for (const char* d : {"", "\\a", "\\b", "\\b\\x.txt", "\\sub", "\\sub\\deep"})
        CreateDirectoryA((base + d).c_str(), nullptr);
    writeFile(base + "\\sub\\deep\\x.txt", "x");
    writeFile(base + "\\a\\SETUP.INF", "upper");
    writeFile(base + "\\sub\\setup.inf", "sub");
    writeFile(base + "\\setup.inf", "base");
    sysFileStructure::fileFinder finder(RWCString(base.c_str()));
    EXPECT_EQ(std::string(finder.findPathToFile("setup.inf").data()), base + "\\setup.inf");
    EXPECT_EQ(std::string(finder.findPathToFile("x.txt").data()), base + "\\sub\\deep\\x.txt");
    EXPECT_EQ(std::string(finder.findPathToFile("SETUP.INF").data()), base + "\\a\\SETUP.INF");
    EXPECT_FALSE(finder.hasFile("Setup.inf"));
    EXPECT_FALSE(finder.hasFile(""));
    EXPECT_TRUE(finder.setBaseDir(RWCString((base + "\\absent").c_str())));
    EXPECT_EQ(std::string(finder.getBaseDir().data()), base);
    EXPECT_FALSE(finder.setBaseDir(RWCString((base + "\\sub").c_str())));
    EXPECT_EQ(std::string(finder.findPathToFile("setup.inf").data()), base + "\\sub\\setup.inf");
    sysFileStructure::fileFinder none(RWCString((base + "\\absent").c_str()));
    EXPECT_EQ(none.getBaseDir().length(), 0u);
    EXPECT_FALSE(none.hasFile("setup.inf"));
}

TEST(ZipCommands, InfoListExtractAndFileCommands)
{
    const auto info = ravelutil("zip info " + quoted(seed("zip-deflate.zip")));
    EXPECT_EQ(info.out, "entries: 6\ntotal size: 1233800\n");
    const auto list = ravelutil("zip list " + quoted(seed("bad-third-of-five.zip")));
    EXPECT_EQ(ravel::test::lines(list.out).size(), 5u);
    EXPECT_NE(list.out.find("         7  part3.txt\n"), std::string::npos) << list.out;
    const std::string dir = scratchDir("zip_cli");
    EXPECT_EQ(ravelutil("zip extract " + quoted(seed("py-mixed.zip")) + quoted(dir + "out")).exitCode, 0);
    EXPECT_EQ(readFile(dir + "out\\stored.txt").size(), 1000u);
    EXPECT_EQ(ravelutil("zip extract " + quoted(seed("bad-traversal.zip")) + quoted(dir + "bad")).exitCode, 1);

    writeFile(dir + "long.txt", std::string(2000, 'x') + "\ntail");
    const auto pieces = ravelutil("lines " + quoted(dir + "long.txt"));
    EXPECT_EQ(pieces.out, std::string(1023, 'x') + "\n" + std::string(977, 'x') + "$\ntail\n");
    EXPECT_EQ(ravelutil("write " + quoted(dir + "w.txt") + "a a").exitCode, 0);
    EXPECT_EQ(readFile(dir + "w.txt"), "aa");
    CreateDirectoryA((dir + "f").c_str(), nullptr);
    CreateDirectoryA((dir + "f\\sub").c_str(), nullptr);
    writeFile(dir + "f\\sub\\x.txt", "");
    writeFile(dir + "f\\x.txt", "");
    EXPECT_EQ(ravelutil("find " + quoted(dir + "f") + "x.txt").out, dir + "f\\x.txt\n");
    EXPECT_EQ(ravelutil("walk " + quoted(dir + "f") + "--dirs").out, "sub\n");
}
