// Replays inputs through a fuzz target without the fuzzing engine, so every build (and CTest)
// runs the seed corpus. Arguments are files or directories; "data:<path>" names a path under
// the repository's test data (RAVEL_DATA_DIR).
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace fs = std::filesystem;

namespace {

std::string resolve(const std::string& arg)
{
    const std::string prefix = "data:";
    if (arg.compare(0, prefix.size(), prefix) != 0) return arg;
    std::string base;
    if (const char* d = std::getenv("RAVEL_DATA_DIR"))
        base = d;
    else if (const char* s = std::getenv("RAVEL_SOURCE_DIR"))
        base = std::string(s) + "/tests/data";
    else
        base = "tests/data";
    return base + "/" + arg.substr(prefix.size());
}

void replay(const fs::path& file, std::size_t& count)
{
    std::ifstream in(file, std::ios::binary);
    const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    ++count;
}

}  // namespace

int main(int argc, char** argv)
{
    std::size_t count = 0;
    for (int i = 1; i < argc; ++i) {
        const fs::path path = resolve(argv[i]);
        std::error_code ec;
        if (fs::is_directory(path, ec)) {
            std::vector<fs::path> files;
            for (const auto& entry : fs::recursive_directory_iterator(path, ec))
                if (entry.is_regular_file()) files.push_back(entry.path());
            std::sort(files.begin(), files.end());
            for (const fs::path& f : files) replay(f, count);
        } else if (fs::is_regular_file(path, ec)) {
            replay(path, count);
        } else {
            std::fprintf(stderr, "skipped (not found): %s\n", path.string().c_str());
        }
    }
    std::printf("replayed %zu inputs\n", count);
    return count > 0 ? 0 : 1;
}
