// Fuzz target: "route print" and "arp -a" text as the library reads it. Any bytes must parse,
// search and reshape without a fault. Built with RAVEL_FUZZ_REPLAY it is a plain program that
// runs the target over the files and folders named on its command line (the test corpus).
#include "internal/NetText.h"
#include "sysRouteTableEntryPtrVector.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const RWCString text(reinterpret_cast<const char*>(data), size);
    sysRouteTableEntryPtrVector entries;
    ravel::appendRouteEntries(text, entries);
    // Every parsed field must be an address the rules can use again.
    const unsigned int probes = entries.entries() < 16 ? entries.entries() : 16;
    for (unsigned int i = 0; i < probes; ++i) {
        const sysRouteTableEntry* e = entries[i];
        ravel::closestInterface(entries, e->m_destination);
        RWCString low, high;
        ravel::routeEntryRange(e->m_destination, e->m_netmask, low, high);
    }
    ravel::routeListingHolds(text, "10.0.0.1");
    ravel::arpListingHolds(text, "10.0.0.1", "00-11-22-33-44-55");
    ravel::reshapeListing(text);
    return 0;
}

#ifdef RAVEL_FUZZ_REPLAY
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <vector>

int main(int argc, char** argv)
{
    namespace fs = std::filesystem;
    int files = 0;
    for (int i = 1; i < argc; ++i) {
        std::vector<fs::path> inputs;
        if (fs::is_directory(argv[i])) {
            for (const auto& item : fs::directory_iterator(argv[i]))
                inputs.push_back(item.path());
        } else {
            inputs.emplace_back(argv[i]);
        }
        for (const fs::path& input : inputs) {
            std::ifstream in(input, std::ios::binary);
            const std::vector<char> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
            LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
            ++files;
        }
    }
    std::cout << "replayed " << files << " inputs\n";
    return files > 0 ? 0 : 1;
}
#endif
