// Real cabinets from the shared test data: every file's name, bytes, time and attributes against
// the expectation table, and the outcome of the corrupt and hostile ones.
#include <gtest/gtest.h>

#include <map>
#include <sstream>

#include "cab_harness.h"
#include "TestData.h"

using namespace cabtest;

namespace {

struct Row {
    std::string cab, name, sha;
    unsigned long size = 0;
    unsigned attribs = 0, date = 0, time = 0;
    std::string status;
};

std::string unescape(const std::string& s)
{
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        const bool escape = s[i] == '%' && i + 2 < s.size();
        out += escape ? static_cast<char>(std::stoi(s.substr(i + 1, 2), nullptr, 16)) : s[i];
        i += escape ? 2 : 0;
    }
    return out;
}

// The reference table: cabinet, name, size, sha256, attributes, date, time, ..., status.
const std::vector<Row>& rows()
{
    static const std::vector<Row> all = [] {
        std::vector<Row> r;
        std::istringstream in(ravel::test::readFile(cabDir("EXPECTED.tsv")));
        std::string line;
        std::getline(in, line);
        while (std::getline(in, line)) {
            std::vector<std::string> f;
            std::stringstream ss(line);
            for (std::string field; std::getline(ss, field, '\t');) f.push_back(field);
            if (f.size() < 11) continue;
            auto hex = [](const std::string& v) { return static_cast<unsigned>(std::stoul(v, nullptr, 16)); };
            r.push_back({f[0], unescape(f[1]), f[3], std::stoul(f[2]), hex(f[4]), hex(f[5]), hex(f[6]), f[10]});
        }
        return r;
    }();
    return all;
}

bool startsWith(const std::string& s, const std::string& p) { return s.compare(0, p.size(), p) == 0; }

// Copies every cabinet of a folder of the test data, each one on its own, and checks each file
// that starts in it (set members pull in the following cabinets as their files need them).
void checkFolder(const std::string& folder)
{
    std::map<std::string, std::vector<Row>> byCab;
    for (const Row& r : rows())
        if (startsWith(r.cab, folder)) byCab[r.cab].push_back(r);
    ASSERT_FALSE(byCab.empty()) << "no cabinets under " << folder;

    for (const auto& [cab, expected] : byCab) {
        SCOPED_TRACE(cab);
        const std::size_t slash = cab.rfind('/');
        const std::string dir = cabDir(cab.substr(0, slash + 1));
        resetFiles();
        const CopyResult run = copy(dir, cab.substr(slash + 1));

        bool shouldSucceed = true;
        for (const Row& r : expected)
            if (startsWith(r.status, "not-extracted") || startsWith(r.status, "error")) shouldSucceed = false;
        EXPECT_EQ(run.ok, shouldSucceed) << "code " << run.erf.erfOper;
        if (!shouldSucceed) continue;

        std::vector<const Row*> wanted;
        std::vector<std::string> partial;
        for (const Row& r : expected) {
            if (startsWith(r.status, "continued"))
                partial.push_back(r.name);
            else
                wanted.push_back(&r);
        }
        EXPECT_EQ(names(run, fdintPARTIAL_FILE), partial);
        ASSERT_EQ(run.files.size(), wanted.size());
        std::vector<Event> closes;
        for (const Event& e : run.events)
            if (e.type == fdintCLOSE_FILE_INFO) closes.push_back(e);
        ASSERT_EQ(closes.size(), wanted.size());
        for (std::size_t i = 0; i < wanted.size(); ++i) {
            const Row& r = *wanted[i];
            SCOPED_TRACE(r.name);
            EXPECT_EQ(run.files[i].name, r.name);
            EXPECT_EQ(run.files[i].data.size(), r.size);
            EXPECT_EQ(sha256Hex(run.files[i].data), r.sha);
            EXPECT_EQ(closes[i].attribs, r.attribs & ~0x40u);
            EXPECT_EQ(closes[i].cb, (r.attribs & 0x40u) ? 1 : 0);
            EXPECT_EQ(closes[i].date, r.date);
            EXPECT_EQ(closes[i].time, r.time);
        }
    }
}

}  // namespace

TEST(RealCabinets, Stored) { checkFolder("stored/"); }
TEST(RealCabinets, Mszip) { checkFolder("mszip/"); }
TEST(RealCabinets, Sets) { checkFolder("sets/"); }
TEST(RealCabinets, Lzx) { checkFolder("lzx/"); }
TEST(RealCabinets, Quantum) { checkFolder("quantum/"); }

TEST(RealCabinets, ExecuteAttributeIsClearedAndReported)
{
    checkFolder("edge/derived-exec-attrib.cab");
}

TEST(RealCabinets, SetCopiedFromItsFirstCabinetFollowsEveryMember)
{
    // A block split over all five cabinets: the copy walks them all, asking for each in turn.
    const CopyResult run = copy(cabDir("sets/"), "cabd_multi_basic_pt1.cab");
    ASSERT_TRUE(run.ok);
    EXPECT_EQ(names(run, fdintNEXT_CABINET),
              (std::vector<std::string>{"cabd_multi_basic_pt2.cab", "cabd_multi_basic_pt3.cab",
                                        "cabd_multi_basic_pt4.cab", "cabd_multi_basic_pt5.cab"}));
    std::vector<unsigned> cabinets;
    for (const Event& e : run.events)
        if (e.type == fdintCABINET_INFO) cabinets.push_back(e.iCabinet);
    EXPECT_EQ(cabinets, (std::vector<unsigned>{0, 1, 2, 3, 4}));
    ASSERT_EQ(run.files.size(), 3u);
    EXPECT_EQ(run.files[2].name, "test3.txt");
}

namespace {

struct EdgeCase {
    const char* cab;
    bool ok;
    int code;
};

}  // namespace

TEST(RealCabinets, CorruptAndHostileCabinetsEndInTheirCodes)
{
    const EdgeCase cases[] = {
        {"bad_signature.cab", false, 2},
        {"partial_shortheader.cab", false, 2},
        {"partial_shortextheader.cab", false, 2},
        {"partial_str_nopname.cab", false, 4},
        {"partial_str_shortpname.cab", false, 4},
        {"partial_str_nonname.cab", false, 4},
        {"partial_shortfile1.cab", false, 4},
        {"partial_nodata.cab", false, 4},
        {"derived-bad-version.cab", false, 3},
        {"derived-bad-data-checksum.cab", false, 4},
        {"derived-unknown-method.cab", false, 6},
        {"cve-2017-11423-fname-overread.cab", false, 4},
        {"cve-2015-4470-mszip-over-read.cab", false, 3},
        {"cve-2010-2800-mszip-infinite-loop.cab", false, 7},
        {"gcab-CVE-2014-9732.cab", false, 7},
        {"cve-2015-4471-lzx-under-read.cab", false, 4},
        {"libarchive-lzx_invalid_history.cab", false, 7},
        {"lzx-main-tree-no-lengths.cab", false, 7},
        {"lzx-premature-matches.cab", false, 7},
        {"cve-2014-9556-qtm-infinite-loop.cab", false, 7},
        {"cve-2018-18584-qtm-max-size-block.cab", false, 7},
        {"hidden-files.cab", true, 0},
        {"bad_folderindex.cab", true, 0},
        {"bad_nofiles.cab", true, 0},
        {"gocabinet-empty_file.cab", true, 0},
    };
    for (const EdgeCase& c : cases) {
        SCOPED_TRACE(c.cab);
        resetFiles();
        const CopyResult run = copy(cabDir("edge/"), c.cab);
        EXPECT_EQ(run.ok, c.ok);
        if (!c.ok) {
            EXPECT_EQ(run.erf.erfOper, c.code);
            EXPECT_EQ(run.erf.fError, 1);
        }
        EXPECT_EQ(files().openHandles, 0u) << "a cabinet handle was left open";
    }
    const CopyResult version = copy(cabDir("edge/"), "derived-bad-version.cab");
    EXPECT_EQ(version.erf.erfType, 0x0104);
    const CopyResult hidden = copy(cabDir("edge/"), "hidden-files.cab");
    EXPECT_EQ(names(hidden, fdintCOPY_FILE), (std::vector<std::string>{"hidden1.txt", "hidden2.txt"}));
}

TEST(RealCabinets, EveryEdgeCabinetEndsInSuccessOrACode)
{
    std::map<std::string, bool> seen;
    for (const Row& r : rows()) {
        if (!startsWith(r.cab, "edge/") || seen[r.cab]) continue;
        seen[r.cab] = true;
        SCOPED_TRACE(r.cab);
        const std::size_t slash = r.cab.rfind('/');
        resetFiles();
        const CopyResult run = copy(cabDir(r.cab.substr(0, slash + 1)), r.cab.substr(slash + 1));
        if (!run.ok) {
            EXPECT_GE(run.erf.erfOper, 1);
            EXPECT_LE(run.erf.erfOper, 11);
        }
        for (const Row& row : rows())
            if (row.cab == r.cab && row.status == "ok" && run.ok) {
                bool found = false;
                for (const Output& o : run.files)
                    if (o.name == row.name && sha256Hex(o.data) == row.sha) found = true;
                EXPECT_TRUE(found) << row.name;
            }
    }
}
