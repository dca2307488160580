// FDICopy over an in-memory cabinet. The input is the first cabinet; a second "MSCF" signature in
// it starts the cabinet served under whatever name the first gives as its next, so set spanning
// is reached too. The caller never gives up on a next cabinet, so the engine's own bound must end
// the retries. Every way out must end in success or an error code, close every cabinet, give back
// every byte, and open nothing the cabinet's names lead outside the set's directory.
#include "archive_names.h"
#include "cab_support.h"
#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {

// Nothing the engine asks for may exceed the largest legitimate need (an LZX window and a block).
constexpr std::size_t kLargestAllocation = 4u * 1024u * 1024u;
constexpr std::size_t kMostOpens = 64; // two cabinets and a bounded number of retries, each opened twice
const std::string kSetDir = "/fuzz/";
cabtest::Bytes g_next;

FDI_INT_PTR serveNext(FDINOTIFICATIONTYPE type, FDINOTIFICATION* n)
{
    if (type == fdintCABINET_INFO && n->psz1[0] != '\0')
        cabtest::putFile(std::string(n->psz3) + n->psz1, g_next);
    return type == fdintNEXT_CABINET ? 0 : cabtest::extractAll(type, n);
}

bool leftTheSet(const std::vector<std::string>& opened)
{
    return opened.size() > kMostOpens || std::any_of(opened.begin(), opened.end(), [](const std::string& path) {
               return path.compare(0, kSetDir.size(), kSetDir) != 0 ||
                      cabinet::isUnsafeArchiveName(path.c_str() + kSetDir.size());
           });
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::size_t split = size;
    for (std::size_t i = 4; i + 4 <= size && split == size; ++i)
        if (std::memcmp(data + i, "MSCF", 4) == 0)
            split = i;
    cabtest::resetFiles();
    cabtest::resetCounters();
    cabtest::files().keepOutput = false;
    cabtest::putFile("/fuzz/first.cab", cabtest::Bytes(data, data + split));
    g_next.assign(data + split, data + size);
    const cabtest::CopyResult run = cabtest::copy("/fuzz/", "first.cab", serveNext, (size & 1) != 0);
    const auto& sizes = cabtest::fdiHeap().sizes;
    if ((!run.ok && (run.erf.erfOper < FDIERROR_CABINET_NOT_FOUND || run.erf.erfOper > FDIERROR_USER_ABORT)) ||
        cabtest::files().openHandles != 0 || cabtest::fdiHeap().outstanding != 0 ||
        leftTheSet(cabtest::files().opened) ||
        std::any_of(sizes.begin(), sizes.end(), [](std::size_t n) { return n > kLargestAllocation; }))
        std::abort();
    return 0;
}
