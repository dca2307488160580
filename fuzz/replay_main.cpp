// Replays inputs through a fuzz target without the fuzzing engine, so every build (and CTest)
// runs the seed corpus. Arguments are files or directories; "data:<path>" names a fixture under
// tests/data.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "TestData.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace fs = std::filesystem;

int main(int argc, char** argv) {
    std::size_t count = 0;
    auto replay = [&count](const fs::path& file) {
        const std::string bytes = ravel::test::readFile(file.string());
        LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
        ++count;
    };
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const fs::path path = arg.compare(0, 5, "data:") == 0 ? ravel::test::dataPath(arg.substr(5)) : arg;
        std::error_code ec;
        if (fs::is_directory(path, ec)) {
            std::vector<fs::path> found;
            for (const auto& entry : fs::recursive_directory_iterator(path, ec))
                if (entry.is_regular_file()) found.push_back(entry.path());
            std::sort(found.begin(), found.end());
            for (const fs::path& f : found) replay(f);
        } else if (fs::is_regular_file(path, ec)) {
            replay(path);
        } else {
            std::fprintf(stderr, "skipped (not found): %s\n", path.string().c_str());
        }
    }
    std::printf("replayed %zu inputs\n", count);
    return count > 0 ? 0 : 1;
}
