// Replays inputs through a fuzz target without the fuzzing engine, so every build (and CTest)
// runs the seed corpus. Arguments are files or directories; "data:<path>" names a fixture under
// tests/data. With --mutate each input is also replayed damaged: at about 300 positions spread over
// it, once with the byte flipped, once with one bit flipped and once cut short there.
#include "TestData.h"
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);
namespace fs = std::filesystem;

int main(int argc, char** argv)
{
    std::size_t count = 0;
    const bool mutate = argc > 1 && std::string(argv[1]) == "--mutate";
    auto run = [&count](const std::string& bytes) {
        LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
        ++count;
    };
    auto replay = [&](const fs::path& file) {
        const std::string bytes = ravel::test::readFile(file.string());
        run(bytes);
        for (std::size_t at = 0; mutate && at < bytes.size(); at += bytes.size() / 300 + 1) {
            std::string damaged = bytes;
            run((damaged[at] ^= '\xA5', damaged));
            run((damaged[at] = static_cast<char>(bytes[at] ^ 1), damaged));
            run(bytes.substr(0, at));
        }
    };
    for (int i = mutate ? 2 : 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const fs::path path = arg.compare(0, 5, "data:") == 0 ? ravel::test::dataPath(arg.substr(5)) : arg;
        std::error_code ec;
        if (fs::is_directory(path, ec)) {
            std::vector<fs::path> found;
            for (const auto& entry : fs::recursive_directory_iterator(path, ec))
                if (entry.is_regular_file())
                    found.push_back(entry.path());
            std::sort(found.begin(), found.end());
            for (const fs::path& f : found)
                replay(f);
        } else if (fs::is_regular_file(path, ec)) {
            replay(path);
        } else {
            std::fprintf(stderr, "skipped (not found): %s\n", path.string().c_str());
        }
    }
    std::printf("replayed %zu inputs\n", count);
    return count > 0 ? 0 : 1;
}
