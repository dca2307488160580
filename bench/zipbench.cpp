// Zip extraction throughput: every entry of an archive inflated (or copied) and its CRC-32 checked,
// counted and dropped, so entries of any size run without touching the disk.
//   zipbench <zip> [--repeat N]
// One line per entry that fails, then "<total output bytes> <seconds> <MB/s>" (1 MB = 10^6 bytes).
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "ZipArchive.h"

namespace {

class CountingSink : public ravelzip::ZipSink
{
public:
    unsigned long long bytes = 0;
    bool write(const std::uint8_t*, std::size_t size) override
    {
        bytes += size;
        return true;
    }
};

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: zipbench <zip> [--repeat N]\n");
        return 2;
    }
    int repeat = 1;
    for (int i = 2; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "--repeat") == 0)
            repeat = std::max(1, std::atoi(argv[i + 1]));

    const int fd = ::open(argv[1], O_RDONLY);
    struct stat st
    {};
    if (fd < 0 || ::fstat(fd, &st) != 0) {
        std::perror(argv[1]);
        return 1;
    }
    const std::size_t size = static_cast<std::size_t>(st.st_size);
    void* mapped = size == 0 ? nullptr : ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
    if (mapped == MAP_FAILED) {
        std::perror("mmap");
        return 1;
    }
    const auto* data = static_cast<const std::uint8_t*>(mapped);

    CountingSink sink;
    int failures = 0;
    const auto start = std::chrono::steady_clock::now();
    for (int r = 0; r < repeat; ++r) {
        ravelzip::ZipArchive archive;
        const ravelzip::ZipResult opened = archive.open(data, size);
        if (opened != ravelzip::ZipResult::kOk) {
            std::fprintf(stderr, "%s: %s\n", argv[1], ravelzip::describe(opened));
            return 1;
        }
        for (std::size_t i = 0; i < archive.count(); ++i) {
            const ravelzip::ZipResult result = archive.extract(i, sink);
            if (result != ravelzip::ZipResult::kOk && r == 0) {
                std::printf("%s: %s\n", archive.entry(i).name.c_str(), ravelzip::describe(result));
                ++failures;
            }
        }
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%llu %.6f %.1f\n", sink.bytes, seconds, seconds > 0 ? sink.bytes / seconds / 1e6 : 0.0);
    return failures == 0 ? 0 : 1;
}
