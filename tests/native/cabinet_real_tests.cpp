// Real cabinets from the fixtures: every file's name, bytes, time and attributes against the
// reference table, sets followed member by member, and the outcome of the corrupt and hostile ones.
#include "TestData.h"
#include "cab_support.h"
#include <gtest/gtest.h>
#include <map>
#include <set>
#include <sstream>

using namespace cabtest;

namespace {

struct Row
{
    std::string cab, name, sha;
    unsigned long size = 0;
    unsigned attribs = 0, date = 0, time = 0;
    std::string status;
};

bool startsWith(const std::string& s, const std::string& p) { return s.compare(0, p.size(), p) == 0; }

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

// The reference table by cabinet: name, size, sha256, attributes, date, time, ..., status.
const std::map<std::string, std::vector<Row>>& rows()
{
    static const std::map<std::string, std::vector<Row>> all = [] {
        std::map<std::string, std::vector<Row>> r;
        std::istringstream in(ravel::test::readFile(cabDir("EXPECTED.tsv")));
        std::string line;
        std::getline(in, line);
        while (std::getline(in, line)) {
            std::vector<std::string> f;
            std::stringstream ss(line);
            for (std::string field; std::getline(ss, field, '\t');)
                f.push_back(field);
            if (f.size() < 11)
                continue;
            auto hex = [](const std::string& v) { return static_cast<unsigned>(std::stoul(v, nullptr, 16)); };
            r[f[0]].push_back({f[0], unescape(f[1]), f[3], std::stoul(f[2]), hex(f[4]), hex(f[5]), hex(f[6]), f[10]});
        }
        return r;
    }();
    return all;
}

CopyResult copyFixture(const std::string& cab)
{
    const std::size_t slash = cab.rfind('/');
    resetFiles();
    return copy(cabDir(cab.substr(0, slash + 1)), cab.substr(slash + 1));
}

// Copies every cabinet under `prefix`, each on its own, and checks each file that starts in it
// (set members pull in the following cabinets as their files need them).
void checkCabinets(const std::string& prefix)
{
    int cabinets = 0;
    for (const auto& [cab, expected] : rows()) {
        if (!startsWith(cab, prefix))
            continue;
        SCOPED_TRACE(cab);
        ++cabinets;
        const CopyResult run = copyFixture(cab);
        bool shouldSucceed = true;
        std::vector<const Row*> wanted;
        std::vector<std::string> partial;
        for (const Row& r : expected) {
            if (startsWith(r.status, "not-extracted") || startsWith(r.status, "error"))
                shouldSucceed = false;
            if (startsWith(r.status, "continued"))
                partial.push_back(r.name);
            else
                wanted.push_back(&r);
        }
        EXPECT_EQ(run.ok, shouldSucceed) << "code " << run.erf.erfOper;
        if (!shouldSucceed)
            continue;
        EXPECT_EQ(names(run, fdintPARTIAL_FILE), partial);
        std::vector<Event> closes;
        for (const Event& e : run.events)
            if (e.type == fdintCLOSE_FILE_INFO)
                closes.push_back(e);
        ASSERT_EQ(run.files.size(), wanted.size());
        ASSERT_EQ(closes.size(), wanted.size());
        for (std::size_t i = 0; i < wanted.size(); ++i) {
            const Row& r = *wanted[i];
            SCOPED_TRACE(r.name);
            EXPECT_EQ(run.files[i].name, r.name);
            EXPECT_EQ(run.files[i].data.size(), r.size);
            EXPECT_EQ(sha256Hex(run.files[i].data), r.sha);
            // The execute bit leaves the attributes and comes back as the notification's cb.
            EXPECT_EQ(closes[i].attribs, r.attribs & ~0x40u);
            EXPECT_EQ(closes[i].cb, (r.attribs & 0x40u) ? 1 : 0);
            EXPECT_EQ(std::make_pair(closes[i].date, closes[i].time), std::make_pair(r.date, r.time));
        }
    }
    EXPECT_GT(cabinets, 0) << "no cabinets under " << prefix;
}

} // namespace

TEST(RealCabinets, Stored) { checkCabinets("stored/"); }
TEST(RealCabinets, Mszip) { checkCabinets("mszip/"); }
TEST(RealCabinets, Sets) { checkCabinets("sets/"); }
TEST(RealCabinets, Lzx) { checkCabinets("lzx/"); }
TEST(RealCabinets, Quantum) { checkCabinets("quantum/"); }
TEST(RealCabinets, ExecuteAttributeIsClearedAndReported) { checkCabinets("edge/derived-exec-attrib.cab"); }

TEST(RealCabinets, CorruptAndHostileCabinetsEndInTheirCodesAndTheRestKeepTheirFiles)
{
    const std::map<std::string, int> codes = {
        // 0: the copy succeeds
        {"bad_signature.cab", 2},
        {"partial_shortheader.cab", 2},
        {"partial_shortextheader.cab", 2},
        {"partial_str_nopname.cab", 4},
        {"partial_str_shortpname.cab", 4},
        {"partial_str_nonname.cab", 4},
        {"partial_shortfile1.cab", 4},
        {"partial_nodata.cab", 4},
        {"derived-bad-version.cab", 3},
        {"derived-bad-data-checksum.cab", 4},
        {"derived-unknown-method.cab", 6},
        {"cve-2017-11423-fname-overread.cab", 4},
        {"cve-2015-4470-mszip-over-read.cab", 3},
        {"cve-2010-2800-mszip-infinite-loop.cab", 7},
        {"gcab-CVE-2014-9732.cab", 7},
        {"cve-2015-4471-lzx-under-read.cab", 4},
        {"libarchive-lzx_invalid_history.cab", 7},
        {"lzx-main-tree-no-lengths.cab", 7},
        {"lzx-premature-matches.cab", 7},
        {"cve-2014-9556-qtm-infinite-loop.cab", 7},
        {"cve-2018-18584-qtm-max-size-block.cab", 7},
        {"hidden-files.cab", 0},
        {"bad_folderindex.cab", 0},
        {"bad_nofiles.cab", 0},
        {"gocabinet-empty_file.cab", 0},
    };
    std::set<std::string> cabinets;
    for (const auto& entry : codes)
        cabinets.insert("edge/" + entry.first);
    for (const auto& entry : rows())
        if (startsWith(entry.first, "edge/"))
            cabinets.insert(entry.first);
    for (const std::string& cab : cabinets) {
        SCOPED_TRACE(cab);
        const CopyResult run = copyFixture(cab);
        EXPECT_EQ(files().openHandles, 0u) << "a cabinet handle was left open";
        const auto code = codes.find(cab.substr(5));
        if (code != codes.end()) {
            EXPECT_EQ(std::make_tuple(run.ok, run.ok ? 0 : run.erf.erfOper, run.ok ? 0 : run.erf.fError),
                      std::make_tuple(code->second == 0, code->second, code->second == 0 ? 0 : 1));
        } else if (!run.ok) {
            EXPECT_TRUE(run.erf.erfOper >= 1 && run.erf.erfOper <= 11) << run.erf.erfOper;
        }
        const auto expected = rows().find(cab);
        for (std::size_t i = 0; run.ok && expected != rows().end() && i < expected->second.size(); ++i) {
            const Row& row = expected->second[i]; // whatever succeeds keeps the files the table has
            bool found = row.status != "ok";
            for (const Output& o : run.files)
                found = found || (o.name == row.name && sha256Hex(o.data) == row.sha);
            EXPECT_TRUE(found) << row.name;
        }
    }
    EXPECT_EQ(copyFixture("edge/derived-bad-version.cab").erf.erfType, 0x0104);
    EXPECT_EQ(names(copyFixture("edge/hidden-files.cab"), fdintCOPY_FILE),
              (std::vector<std::string>{"hidden1.txt", "hidden2.txt"}));
}
