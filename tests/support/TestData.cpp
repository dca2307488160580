#include "TestData.h"

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

namespace ravel::test {

namespace {
std::string env(const char* name)
{
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

#ifdef _WIN32
const char kSeparator = '\\';
#else
const char kSeparator = '/';
#endif

std::string native(std::string path)
{
#ifdef _WIN32
    if (!path.empty() && path[0] == '/')
        path = "Z:" + path;
    for (char& c : path)
        if (c == '/')
            c = '\\';
#endif
    return path;
}
} // namespace

std::string dataPath(const std::string& relative)
{
    std::string root = env("RAVEL_DATA_DIR");
    if (root.empty())
        root = env("RAVEL_SOURCE_DIR") + "/tests/data";
    return native(root + "/" + relative);
}

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

bool writeFile(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

ScopedTempDir::ScopedTempDir(const std::string& tag)
{
    static std::atomic<unsigned> counter{0};
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    std::error_code ignored;
    for (int attempt = 0; attempt < 1000; ++attempt) {
        const fs::path dir = fs::temp_directory_path(ignored) /
                             (tag + "-" + std::to_string(stamp % 1000000007) + "-" + std::to_string(counter++));
        if (fs::create_directories(dir, ignored)) {
            m_path = dir.string() + kSeparator;
            return;
        }
    }
    throw std::runtime_error("no temporary directory can be made");
}

ScopedTempDir::~ScopedTempDir()
{
    std::error_code ignored;
    fs::remove_all(fs::path(m_path), ignored);
}

std::string scratchDir(const std::string& tag)
{
    static std::vector<std::unique_ptr<ScopedTempDir>> kept;
    kept.push_back(std::make_unique<ScopedTempDir>(tag));
    return kept.back()->path();
}

} // namespace ravel::test
