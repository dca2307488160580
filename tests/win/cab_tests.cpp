// BCabExtractor through the DLL under Wine: listing, extraction with exact bytes, names, times and
// attributes, sets, the finder's answers, refused names, the records, and the cab commands.
#include "internal/win/WinHandle.h"

#include "BCabExtractor.h"
#include "LogCapture.h"
#include "RunProgram.h"
#include "TestData.h"
#include "cab_support.h"
#include <gtest/gtest.h>
#include <string>
#include <vector>
#include <windows.h>

namespace testpaths = ravel::test;
using ravel::test::LogCapture;
using testpaths::readFile;
using testpaths::scratchDir;

namespace {

RWCString cab(const std::string& relative) { return RWCString(testpaths::dataPath("cab/" + relative).c_str()); }
bool all(RWCString, void*) { return true; }
bool inSets(RWCString, RWCString, RWCString, RWCString* path, void*) { return (*path = cab("sets\\"), true); }
bool refuse(RWCString, RWCString, RWCString, RWCString*, void*) { return false; }
bool tooLong(RWCString, RWCString, RWCString, RWCString* path, void*) { return (*path = RWCString('x', 256), true); }
std::string sha(const std::string& bytes) { return cabtest::sha256Hex(bytes.data(), bytes.size()); }

// The DOS date and time a file's last-write time shows in local time.
std::pair<unsigned, unsigned> dosTimeOf(const std::string& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data))
        return {0, 0};
    FILETIME local;
    WORD date = 0, time = 0;
    FileTimeToLocalFileTime(&data.ftLastWriteTime, &local);
    FileTimeToDosDateTime(&local, &date, &time);
    return {date, time};
}

// A stored cabinet with one file of 20 bytes under `name`.
RWCString oneFileCabinet(const std::string& dir, const std::string& name)
{
    const cabtest::Bytes bytes =
        cabtest::buildCabinet({cabtest::storedFolder(cabtest::sampleData(20, 1, 20))}, {{name, 20, 0, 0}});
    testpaths::writeFile(dir + "one.cab", std::string(bytes.begin(), bytes.end()));
    return RWCString((dir + "one.cab").c_str());
}

// A finder that always answers yes, with the directory it was given.
struct Always
{
    int calls = 0;
    std::string dir;
};
bool always(RWCString, RWCString, RWCString, RWCString* path, void* a)
{
    *path = RWCString(static_cast<Always*>(a)->dir.c_str());
    return ++static_cast<Always*>(a)->calls, true;
}
bool counting(RWCString, void* calls) { return ++*static_cast<int*>(calls), true; }

// first.cab in `dir` holds whole.txt (10 bytes) and 20 of split.bin's 40 and names `next`; the
// follower holds the rest.
void writeSet(const std::string& dir, const std::string& next, const std::string& follower,
              std::uint16_t followerSet = 0x1234)
{
    const auto write = [](const std::string& path, const cabtest::Bytes& bytes) {
        testpaths::writeFile(path, std::string(bytes.begin(), bytes.end()));
    };
    write(dir + "first.cab",
          cabtest::setMember(0, cabtest::storedFolder(cabtest::Bytes(30, 'a')),
                             {{"whole.txt", 10, 0, 0}, {"split.bin", 40, 10, 0xFFFE}}, {}, {next, "d2"}));
    write(follower, cabtest::setMember(1, cabtest::storedFolder(cabtest::Bytes(20, 'b')),
                                       {{"split.bin", 40, 10, 0xFFFD}}, {"first.cab", "d1"}, {}, followerSet));
}

} // namespace

TEST(CabExtractor, NotACabinetLeavesNoContext)
{
    LogCapture log;
    BCabExtractor x;
    EXPECT_EQ(x.initialize(cab("README.md")), 0);
    EXPECT_EQ(x.copy(RWCString(scratchDir("cab-none").c_str()), all, nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(x.initialize(cab("edge\\derived-bad-version.cab")), 0);
    EXPECT_EQ(x.getErrorInfo().erfOper, 3);
    EXPECT_EQ(x.getErrorInfo().erfType, 0x0104);
    EXPECT_TRUE(log.has("ZEVAR: enter BCabExtractor::initialize", "general", "info", "release"));
    EXPECT_EQ(x.uninitialize(), 1);
    const char* const texts[] = {"No error",
                                 "Cabinet not found",
                                 "Not a cabinet",
                                 "Unknown cabinet version",
                                 "Corrupt cabinet",
                                 "Memory allocation failed",
                                 "Unknown compression type",
                                 "Failure decompressing data",
                                 "Failure writing to target file",
                                 "Cabinets in set have different RESERVE sizes",
                                 "Cabinet returned on fdintNEXT_CABINET is incorrect",
                                 "User aborted",
                                 "Unknown error"};
    for (int code = 0; code <= 12; ++code)
        EXPECT_STREQ(x.return_fdi_error_string(static_cast<FDIERROR>(code)).data(), texts[code]);
}

TEST(CabExtractor, ExtractsBytesTimesAndAttributes)
{
    LogCapture log;
    BCabExtractor x;
    ASSERT_EQ(x.initialize(cab("edge\\derived-exec-attrib.cab")), 1);
    BStringVector& names = x.getContents();
    ASSERT_EQ(names.entries(), 4u);
    EXPECT_STREQ(names[0].data(), "readonly.txt");
    EXPECT_STREQ(names[3].data(), "archive.txt");
    EXPECT_FALSE(x.getNextCabinetExists());
    const std::string out = scratchDir("cab-attrib");
    testpaths::writeFile(out + "hidden.txt", std::string(500, 'o')); // longer than what replaces it
    ASSERT_EQ(x.copy(RWCString(out.c_str()), all, nullptr, nullptr, nullptr), 1);
    const struct
    {
        const char* name;
        const char* sha;
        unsigned attribs, date, time;
    } files[] = {
        {"readonly.txt", "406801de5c54c2b59116ae6f79559d52d85e00e223980a0b9a4fda70d4b1c5e6", 0x21, 0x24d0, 0x5bca},
        {"hidden.txt", "f1df79d9c6949fa70c63db903c8250134e5a0edf23248bef4111475ed49703a2", 0x00, 0x2b2b, 0x4000},
        {"system.txt", "b0ce8cd3fa03d868ca218d17375241500f390fc2c5823efd8a52dafa0ae73cc8", 0x04, 0x3679, 0x7da0},
        {"archive.txt", "f075a844e933928e2138921b9cdbede3d65fb36cd51ab02386f631cb148324a0", 0x20, 0x3b99, 0x0000},
    };
    for (const auto& f : files) {
        SCOPED_TRACE(f.name);
        const std::string path = out + f.name;
        EXPECT_EQ(sha(readFile(path)), f.sha);
        // Wine reports the archive bit on every file, so only read-only, hidden and system are compared.
        EXPECT_EQ(GetFileAttributesA(path.c_str()) & 0x07u, f.attribs & 0x07u);
        EXPECT_EQ(dosTimeOf(path), std::make_pair(f.date, f.time));
        EXPECT_TRUE(log.has("ZEVAR: cab extracting  = " + path, "general", "info", "release"));
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    }
    EXPECT_TRUE(log.has("ZEVAR: enter BCabExtractor::copy2", "general", "info", "release"));
}

TEST(CabExtractor, ListCopyFiltersWithoutRegardToCase)
{
    LogCapture log;
    BCabExtractor x;
    ASSERT_EQ(x.initialize(cab("mszip\\gocabinet-mszip.cab")), 1);
    ASSERT_EQ(x.getContents().entries(), 3u);
    const std::string second = x.getContents()[1].data();
    std::string upper = second;
    for (char& c : upper)
        c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    const std::string out = scratchDir("cab-list");
    BStringVector wanted;
    wanted.insert(RWCString(upper.c_str()));
    wanted.insert("not-in-the-cabinet");
    ASSERT_EQ(x.copy(RWCString(out.c_str()), wanted, nullptr, nullptr), 1);
    EXPECT_TRUE(log.has("ZEVAR: enter BCabExtractor::copy1", "general", "info", "release"));
    EXPECT_TRUE(log.has("ZEVAR: enter BCabExtractor::copy2", "general", "info", "release"));
    EXPECT_FALSE(readFile(out + second).empty());
    EXPECT_FALSE(testpaths::exists(out + x.getContents()[0].data()));
    // No destination or no filter: nothing is extracted and the copy succeeds.
    EXPECT_EQ(x.copy("", all, nullptr, nullptr, nullptr), 1);
    EXPECT_EQ(x.copy(RWCString(scratchDir("cab-nofilter").c_str()), nullptr, nullptr, nullptr, nullptr), 1);
    EXPECT_FALSE(testpaths::exists(scratchDir("cab-nofilter") + second));
}

TEST(CabExtractor, SetsFollowTheFinder)
{
    LogCapture log;
    BCabExtractor x;
    ASSERT_EQ(x.initialize(cab("sets\\Split-1.CAB")), 1);
    EXPECT_TRUE(x.getNextCabinetExists());
    EXPECT_STREQ(x.getNextCabinetName().data(), "Split-2.CAB");
    const std::string out = scratchDir("cab-set");
    ASSERT_EQ(x.copy(RWCString(out.c_str()), all, nullptr, inSets, nullptr), 1);
    EXPECT_EQ(sha(readFile(out + "medium1.bin")), "35a052709780ba369567875f644a0cc97059298f0724429a191d066fb27f05c4");
    EXPECT_EQ(sha(readFile(out + "small2.bin")), "1b1366101b3cd6297c0852d133686887b4539c4d5d4e7a96eb944d04c2d9deb0");
    const std::pair<BCabExtractor::CabinetFinder, const char*> cases[] = {
        {nullptr, "ZEVAR: invalid cab file finder function"},
        {refuse, "ZEVAR: Cab file not found."},
        {tooLong, "ZEVAR: cab file and path length too large"}};
    for (const auto& [finder, record] : cases) {
        SCOPED_TRACE(record);
        log.clear();
        ASSERT_EQ(x.initialize(cab("sets\\Split-1.CAB")), 1);
        EXPECT_EQ(x.copy(RWCString(scratchDir("cab-set-fail").c_str()), all, nullptr, finder, nullptr), 0);
        EXPECT_TRUE(log.has(record, "general", "info", "release"));
        EXPECT_TRUE(log.has("ZEVAR: fail copy:  User aborted\n  erf = ", "prntpath", "error", "release"));
        EXPECT_EQ(x.copy(RWCString(out.c_str()), all, nullptr, inSets, nullptr), 0) << "the context was released";
    }
}

TEST(CabExtractor, NamesOutsideTheDestinationAreRefused)
{
    const std::string dir = scratchDir("cab-unsafe");
    CreateDirectoryA((dir + "out").c_str(), nullptr);
    for (const char* name : {"..\\escaped.txt", "sub\\.. \\x.txt", "...\\x.txt", "\\rooted.txt", "C:drive.txt",
                             "sub\\..\\..\\escaped.txt"}) {
        SCOPED_TRACE(name);
        LogCapture log;
        BCabExtractor x;
        ASSERT_EQ(x.initialize(oneFileCabinet(dir, name)), 1);
        EXPECT_EQ(x.copy(RWCString((dir + "out\\").c_str()), all, nullptr, nullptr, nullptr), 0);
        EXPECT_EQ(x.getErrorInfo().erfOper, FDIERROR_USER_ABORT);
        EXPECT_TRUE(log.has(std::string("ZEVAR: unsafe file name refused = ") + name, "prntpath", "error", "release"));
        EXPECT_TRUE(!testpaths::exists(dir + "escaped.txt") && !testpaths::exists("\\rooted.txt"));
    }
    // A directory the destination does not have aborts the copy at the open.
    LogCapture log;
    BCabExtractor x;
    ASSERT_EQ(x.initialize(oneFileCabinet(dir, "missing\\file.txt")), 1);
    EXPECT_EQ(x.copy(RWCString((dir + "out\\").c_str()), all, nullptr, nullptr, nullptr), 0);
    EXPECT_TRUE(log.has("ZEVAR: cab extract file_open failure = " + dir + "out\\missing\\file.txt", "prntpath", "error",
                        "release"));
    EXPECT_TRUE(log.has("ZEVAR: fail copy:  User aborted\n  erf = ", "prntpath", "error", "release"));
}

TEST(CabCommand, InfoListAndExtractOfASet)
{
    const std::string split = testpaths::dataPath("cab/sets\\Split-1.CAB");
    auto r = testpaths::ravelutil("cab info \"" + split + "\"");
    const std::string disk = r.out.substr(r.out.rfind(": ") + 2, r.out.size() - r.out.rfind(": ") - 3);
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, "Information in cabinet file 'Split-1.CAB'\n"
                     "   Total length of cabinet file : 30000\n"
                     "   Number of folders in cabinet : 2\n"
                     "   Number of files in cabinet   : 3\n"
                     "   Cabinet set ID               : 5988\n"
                     "   Cabinet number in set        : 0\n"
                     "   RESERVE area in cabinet?     : yes\n"
                     "   Chained to prev cabinet?     : no\n"
                     "   Chained to next cabinet?     : yes\n\n"
                     "   Previous cabinet             : \n"
                     "   Previous disk                : \n"
                     "   Next cabinet                 : Split-2.CAB\n"
                     "   Next disk                    : " +
                         disk + "\n");
    EXPECT_EQ(testpaths::ravelutil("cab list \"" + split + "\"").out,
              "      2000  2018-07-17 08:52:54  ---A--      0  small1.bin\n"
              "      8000  2018-07-17 08:52:54  ---A--  65534  small2.bin\n"
              "     40000  2018-07-17 08:52:54  ---A--  65534  medium1.bin\n");
    const std::string out = scratchDir("cab-cli");
    const std::string outArgument = "\"" + out.substr(0, out.size() - 1) + "\""; // a "\" before a quote escapes it
    r = testpaths::ravelutil("cab extract \"" + split + "\" " + outArgument);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    for (const char* name : {"small1.bin", "small2.bin", "medium1.bin", "medium2.bin", "small3.bin", "medium3.bin"})
        EXPECT_FALSE(readFile(out + name).empty()) << name;
    EXPECT_EQ(sha(readFile(out + "small1.bin")), "416e95ff9e088dca5fa43eeb41acb104852a6c812f3762ac72d6801d1da0ccc2");
    EXPECT_NE(r.out.find("extracted 6 files"), std::string::npos) << r.out;
    r = testpaths::ravelutil("cab extract \"" + testpaths::dataPath("cab/edge\\derived-bad-data-checksum.cab") + "\" " +
                             outArgument);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("Corrupt cabinet"), std::string::npos) << r.err;
    EXPECT_EQ(testpaths::ravelutil("cab list").exitCode, 2);
}

// Names a cabinet supplies are refused before a finder or filter hears of them: next-cabinet names
// out of the set's directory and device names. The file cut short is removed, finished ones stay.
TEST(CabExtractor, CabinetSuppliedNamesAreVettedFirst)
{
    const std::string dir = scratchDir("cab-vetted");
    CreateDirectoryA((dir + "set").c_str(), nullptr);
    for (const char* name : {"..\\x.cab", "\\\\host\\share\\x.cab", "CON", "nul.txt", "Com1 .log"}) {
        SCOPED_TRACE(name);
        const bool next = std::string(name).find(".cab") != std::string::npos;
        writeSet(dir + "set\\", name, dir + "x.cab");
        LogCapture log;
        BCabExtractor x;
        Always finder{0, dir + "set\\"};
        int filtered = 0;
        ASSERT_EQ(x.initialize(next ? RWCString((dir + "set\\first.cab").c_str()) : oneFileCabinet(dir, name)), 1);
        EXPECT_EQ(x.copy(RWCString(dir.c_str()), counting, &filtered, always, &finder), 0);
        EXPECT_EQ(x.getErrorInfo().erfOper, FDIERROR_USER_ABORT);
        EXPECT_EQ(finder.calls + filtered, next ? 2 : 0);
        EXPECT_TRUE(log.has(std::string("ZEVAR: unsafe file name refused = ") + name, "prntpath", "error", "release"));
        EXPECT_EQ(readFile(dir + "whole.txt"), next ? std::string(10, 'a') : "");
        EXPECT_FALSE(testpaths::exists(dir + "split.bin"));
        DeleteFileA((dir + "whole.txt").c_str());
    }
}

TEST(CabExtractor, Utf8NamesReachTheFileSystemAsTheyRead)
{
    const std::string out = scratchDir("cab-utf8");
    BCabExtractor x;
    ASSERT_EQ(x.initialize(cab("stored\\cabarchive-utf8.cab")), 1);
    ASSERT_EQ(x.copy(RWCString(out.c_str()), all, nullptr, nullptr, nullptr), 1);
    EXPECT_NE(GetFileAttributesW((std::wstring(out.begin(), out.end()) + L"t\u00e9st.dat").c_str()),
              INVALID_FILE_ATTRIBUTES);
    // Overlong separators and dots, absolute and climbing names: nothing lands beside the destination.
    const std::string parent = scratchDir("cab-dirwalk");
    const auto r = testpaths::ravelutil("cab extract \"" + testpaths::dataPath("cab/edge\\names-dirwalk-vulns.cab") +
                                        "\" \"" + parent + "out\"");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("unsafe file name refused: /absolute/path"), std::string::npos) << r.err;
    WIN32_FIND_DATAA found;
    const ravel::FindHandle h(FindFirstFileA((parent + "*").c_str(), &found));
    ASSERT_TRUE(h.valid());
    std::vector<std::string> entries;
    do
        entries.push_back(found.cFileName);
    while (FindNextFileA(h.get(), &found));
    EXPECT_EQ(entries, (std::vector<std::string>{".", "..", "out"}));
}

// The command follows a set only to the next cabinet of the same set, once, in the cabinet's own
// directory or --next-dir; names match with either separator and wildcards.
TEST(CabCommand, SetWalkListingAndNamedFiles)
{
    const std::string dir = scratchDir("cab-walk");
    auto extract = [&](const std::string& more) {
        return testpaths::ravelutil("cab extract \"" + dir + "first.cab\" \"" + dir + "out\" " + more);
    };
    for (const char* next : {"first.cab", "other.cab"}) { // itself, and a cabinet of another set
        writeSet(dir, next, dir + "other.cab", 0x9999);
        const auto r = extract("");
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_NE(r.err.find(std::string("next cabinet ") + next + " is missing or does not continue"),
                  std::string::npos)
            << r.err;
    }
    CreateDirectoryA((dir + "b").c_str(), nullptr);
    writeSet(dir, "next.cab", dir + "b\\next.cab");
    auto r = extract("");
    EXPECT_NE(r.err.find("split.bin was cut short and removed"), std::string::npos) << r.err;
    EXPECT_FALSE(testpaths::exists(dir + "out\\split.bin"));
    r = extract("--next-dir \"" + dir + "b\" W*.TXT split.??? nothing.here");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(readFile(dir + "out\\split.bin"), std::string(20, 'a') + std::string(20, 'b'));
    EXPECT_NE(r.out.find("extracted 2 files, 50 bytes"), std::string::npos) << r.out;
    EXPECT_NE(r.err.find("nothing.here: no such file in the cabinet"), std::string::npos) << r.err;
    std::string escaped;
    for (char c : dir)
        escaped += c == '\\' ? std::string("\\\\") : std::string(1, c);
    EXPECT_EQ(
        testpaths::ravelutil("cab list \"" + dir + "b\\next.cab\" --json").out,
        "{\"cabinet\": \"" + escaped +
            "b\\\\next.cab\", \"files\": [\n  {\"name\": \"split.bin\", \"size\": 40, "
            "\"datetime\": \"1997-03-12T11:13:52\", \"attributes\": 32, \"folder\": 65533, \"continued\": true}\n]}\n");
}
