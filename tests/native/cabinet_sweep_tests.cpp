// Hostile input: every byte of sample cabinets flipped and every cut, including set members whose
// followers stay intact. Each copy must end in success or an error code, releasing all it took.
#include <gtest/gtest.h>

#include "cab_builder.h"
#include "cab_harness.h"

using namespace cabtest;

namespace {

const std::string kDir = "/mem/";

#if defined(__SANITIZE_ADDRESS__)
constexpr std::size_t kPositions = 200;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr std::size_t kPositions = 200;
#else
constexpr std::size_t kPositions = 600;
#endif
#else
constexpr std::size_t kPositions = 600;
#endif

void sweep(const std::string& folder, const std::string& name, const std::vector<std::string>& followers = {}) {
    const Bytes original = fixture(folder + name);
    ASSERT_FALSE(original.empty()) << name;
    std::vector<std::pair<std::string, Bytes>> others;
    for (const std::string& f : followers) others.emplace_back(f, fixture(folder + f));

    auto run = [&](const Bytes& cab, const char* what, std::size_t at) {
        resetFiles();
        resetCounters();
        putFile(kDir + name, cab);
        for (const auto& [n, b] : others) putFile(kDir + n, b);
        const CopyResult r = copy(kDir, name);
        if (!r.ok && (r.erf.erfOper < 1 || r.erf.erfOper > 11))
            ADD_FAILURE() << name << " " << what << " at " << at << ": code " << r.erf.erfOper;
        if (fdiHeap().outstandingBytes != 0 || files().openHandles != 0)
            ADD_FAILURE() << name << " " << what << " at " << at << ": memory or a handle left behind";
    };
    // Longer cabinets are sampled, more sparsely under the sanitizers, to keep the sweep short.
    const std::size_t step = original.size() / kPositions + 1;
    for (std::size_t at = 0; at < original.size(); at += step) {
        Bytes flipped = original;
        flipped[at] ^= 0xA5;
        run(flipped, "flip", at);
        flipped[at] = original[at] ^ 0x01;
        run(flipped, "bit", at);
    }
    for (std::size_t length = 0; length < original.size(); length += step)
        run(Bytes(original.begin(), original.begin() + static_cast<long>(length)), "cut", length);
}

}  // namespace

TEST(CabinetSweep, Stored) { sweep("stored/", "reserve_HFD.cab"); }
TEST(CabinetSweep, MixedFolders) { sweep("mszip/", "gocabinet-mixed_compression.cab"); }
TEST(CabinetSweep, Mszip) { sweep("mszip/", "libarchive-cab_2.cab"); }
TEST(CabinetSweep, MszipWithReserves) { sweep("mszip/", "gocabinet-reserves.cab"); }
TEST(CabinetSweep, SetMembers) {
    sweep("sets/", "test_read_format_cab_multi.p1.cab", {"test_read_format_cab_multi.p2.cab"});
    sweep("sets/", "Split-4.CAB", {"Split-5.CAB"});
}
TEST(CabinetSweep, Lzx) { sweep("lzx/", "libarchive-cab_3.cab"); }
TEST(CabinetSweep, Quantum) { sweep("quantum/", "mszip_lzx_qtm.cab"); }
