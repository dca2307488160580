// Cabinet decoding throughput: every file of a cabinet through FDICopy, into memory (or files).
//   cabbench <cabinet> [--repeat N] [--to-files <dir>]
// The last line is "<total output bytes> <seconds> <MB/s>" (1 MB = 10^6 bytes).
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "fdi.h"

namespace {

std::string g_toFiles;
unsigned long long g_bytes = 0;
unsigned g_files = 0;
constexpr FDI_INT_PTR kMemorySink = 1 << 20; // above any descriptor
unsigned char g_sink[32768];

FNALLOC(benchAlloc) { return std::malloc(cb); }
FNFREE(benchFree) { std::free(pv); }
FNOPEN(benchOpen)
{
    (void)oflag;
    (void)pmode;
    return ::open(pszFile, O_RDONLY);
}
FNREAD(benchRead)
{
    const ssize_t n = ::read(static_cast<int>(hf), pv, cb);
    return n < 0 ? static_cast<FDI_UINT>(-1) : static_cast<FDI_UINT>(n);
}
FNWRITE(benchWrite)
{
    g_bytes += cb;
    if (hf == kMemorySink) {
        std::memcpy(g_sink, pv, cb < sizeof g_sink ? cb : sizeof g_sink);
        return cb;
    }
    const ssize_t n = ::write(static_cast<int>(hf), pv, cb);
    return n < 0 ? static_cast<FDI_UINT>(-1) : static_cast<FDI_UINT>(n);
}
FNCLOSE(benchClose) { return hf == kMemorySink ? 0 : ::close(static_cast<int>(hf)); }
FNSEEK(benchSeek) { return static_cast<FDI_LONG>(::lseek(static_cast<int>(hf), dist, seektype)); }

// Stored names use backslashes; make the directories they name below the target directory.
std::string targetPath(const char* stored)
{
    std::string relative = stored;
    for (char& c : relative)
        if (c == '\\')
            c = '/';
    std::string path = g_toFiles + "/" + relative;
    for (std::size_t slash = g_toFiles.size() + 1; (slash = path.find('/', slash)) != std::string::npos; ++slash)
        ::mkdir(path.substr(0, slash).c_str(), 0755);
    return path;
}

FNFDINOTIFY(benchNotify)
{
    switch (fdint) {
    case fdintCOPY_FILE:
        ++g_files;
        if (g_toFiles.empty())
            return kMemorySink;
        return ::open(targetPath(pfdin->psz1).c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    case fdintCLOSE_FILE_INFO:
        return benchClose(pfdin->hf) == 0 ? 1 : 0;
    case fdintNEXT_CABINET:
        return pfdin->fdie == FDIERROR_NONE ? 0 : -1;
    default:
        return 0;
    }
}

int usage()
{
    std::fprintf(stderr, "usage: cabbench <cabinet> [--repeat N] [--to-files <dir>]\n");
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
        return usage();
    std::string cabinet = argv[1];
    long repeat = 1;
    for (int i = 2; i < argc; ++i) {
        if (std::strcmp(argv[i], "--repeat") == 0 && i + 1 < argc)
            repeat = std::strtol(argv[++i], nullptr, 10);
        else if (std::strcmp(argv[i], "--to-files") == 0 && i + 1 < argc)
            g_toFiles = argv[++i];
        else
            return usage();
    }
    if (repeat < 1)
        return usage();
    const std::size_t slash = cabinet.rfind('/');
    std::string dir = slash == std::string::npos ? "" : cabinet.substr(0, slash + 1);
    std::string name = slash == std::string::npos ? cabinet : cabinet.substr(slash + 1);

    ERF erf{};
    HFDI hfdi =
        FDICreate(benchAlloc, benchFree, benchOpen, benchRead, benchWrite, benchClose, benchSeek, cpu80386, &erf);
    if (hfdi == nullptr) {
        std::fprintf(stderr, "cabbench: no memory\n");
        return 1;
    }
    const auto start = std::chrono::steady_clock::now();
    for (long r = 0; r < repeat; ++r) {
        if (!FDICopy(hfdi, name.data(), dir.data(), 0, benchNotify, nullptr, nullptr)) {
            std::fprintf(stderr, "cabbench: %s: error %d\n", cabinet.c_str(), erf.erfOper);
            FDIDestroy(hfdi);
            return 1;
        }
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    FDIDestroy(hfdi);
    std::printf("%u files in %ld pass(es)\n", g_files, repeat);
    std::printf("%llu %.6f %.1f\n", g_bytes, seconds, seconds > 0 ? g_bytes / 1e6 / seconds : 0.0);
    return 0;
}
