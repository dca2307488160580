// Cabinet commands: the summary, the stored names, and extraction of a whole set or named files.
#include "command.h"

#include "BCabExtractor.h"
#include "BStringVector.h"
#include "RavelNames.h"
#include "fdi.h"

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

using namespace ravelutil;

namespace {

const char* const kCabUsage = "cab info <cab> | cab list <cab> | cab extract <cab> <destination> [name ...]";
constexpr int kMostCabinetsInASet = 1000;

std::string windowsPath(std::string path)
{
    for (char& c : path)
        if (c == '/')
            c = '\\';
    return path;
}

std::string directoryOf(const std::string& path)
{
    const std::size_t slash = path.rfind('\\');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// The engine's error text, or why the engine never saw the file.
std::string failureText(BCabExtractor& cab, const std::string& path)
{
    const ERF& erf = cab.getErrorInfo();
    if (erf.fError)
        return str(cab.return_fdi_error_string(static_cast<FDIERROR>(erf.erfOper)));
    struct _stat info;
    return str(cab.return_fdi_error_string(_stat(path.c_str(), &info) == 0 ? FDIERROR_NOT_A_CABINET
                                                                             : FDIERROR_CABINET_NOT_FOUND));
}

int fail(const std::string& path, const std::string& text) { return failure(path + ": " + text); }

struct Progress {
    std::string destination;
    const BStringVector* wanted = nullptr;  // null: every file
    std::string pending;                     // the file being written, counted once it is done
    unsigned long files = 0;                 // of the whole run
    unsigned long long bytes = 0;
    // The cabinet being extracted: its name, the bytes of the files it will write, and how many
    // of them are written.
    std::string cabinet;
    unsigned long long cabinetTotal = 0;
    unsigned long cabinetFiles = 0;
    unsigned long long cabinetBytes = 0;

    void startCabinet(const std::string& name, unsigned long long total)
    {
        cabinet = name;
        cabinetTotal = total;
        cabinetFiles = 0;
        cabinetBytes = 0;
        show();
    }

    void settle()
    {
        if (pending.empty())
            return;
        struct _stat64 info;
        unsigned long long size = 0;
        if (_stat64((destination + pending).c_str(), &info) == 0)
            size = static_cast<unsigned long long>(info.st_size);
        bytes += size;
        cabinetBytes += size;
        ++files;
        ++cabinetFiles;
        pending.clear();
        show();
    }

    void show() const
    {
        if (!statusLineShown())
            return;
        const unsigned long long percent =
            cabinetTotal == 0 ? 100 : (cabinetBytes >= cabinetTotal ? 100 : cabinetBytes * 100 / cabinetTotal);
        char line[96];
        std::snprintf(line, sizeof line, ": %lu files, %llu bytes, %llu%%", cabinetFiles, cabinetBytes, percent);
        showStatus(cabinet + line);
    }
};

bool selects(const Progress& p, const RWCString& name)
{
    return p.wanted == nullptr || p.wanted->find(name, false) != static_cast<unsigned int>(-1);
}

// The bytes a cabinet will write for the selection, from the engine's own listing of it (so the
// tool reads no cabinet structure itself); only wanted for the progress line.
namespace sizes {

FNALLOC(cabAlloc) { return std::malloc(cb); }
FNFREE(cabFree) { std::free(pv); }
FNOPEN(cabOpen) { return _open(pszFile, oflag, pmode); }
FNREAD(cabRead) { return static_cast<FDI_UINT>(_read(static_cast<int>(hf), pv, cb)); }
FNWRITE(cabWrite) { return static_cast<FDI_UINT>(_write(static_cast<int>(hf), pv, cb)); }
FNCLOSE(cabClose) { return _close(static_cast<int>(hf)); }
FNSEEK(cabSeek) { return _lseek(static_cast<int>(hf), dist, seektype); }

struct Sum {
    const Progress* progress;
    unsigned long long bytes;
};

// Files continued from an earlier cabinet are not offered here: they were written with it.
FNFDINOTIFY(count)
{
    auto* sum = static_cast<Sum*>(pfdin->pv);
    if (fdint == fdintCOPY_FILE && selects(*sum->progress, RWCString(pfdin->psz1)) &&
        !ravelIsUnsafeArchiveName(pfdin->psz1) && pfdin->cb > 0)
        sum->bytes += static_cast<unsigned long long>(pfdin->cb);
    return fdint == fdintNEXT_CABINET ? -1 : 0;
}

unsigned long long selectedBytes(const std::string& directory, const std::string& name, const Progress& progress)
{
    ERF erf = {};
    const HFDI fdi = FDICreate(cabAlloc, cabFree, cabOpen, cabRead, cabWrite, cabClose, cabSeek, cpu80386, &erf);
    if (fdi == nullptr)
        return 0;
    std::vector<char> cabinet(name.begin(), name.end());
    cabinet.push_back('\0');
    std::vector<char> path(directory.begin(), directory.end());
    path.push_back('\0');
    Sum sum{&progress, 0};
    FDICopy(fdi, cabinet.data(), path.data(), 0, count, nullptr, &sum);
    FDIDestroy(fdi);
    return sum.bytes;
}

} // namespace sizes

bool filter(RWCString fileName, void* data)
{
    auto* p = static_cast<Progress*>(data);
    p->settle();
    if (!selects(*p, fileName))
        return false;
    p->pending = str(fileName);
    return true;
}

// Follows a set in the directory of its first cabinet; a second request for the same cabinet
// means it is not there.
struct Finder {
    std::string directory;
    std::string lastAsked;
    bool declined = false;
};

bool findNext(RWCString, RWCString cabinetName, RWCString, RWCString* newPath, void* data)
{
    auto* f = static_cast<Finder*>(data);
    if (str(cabinetName) == f->lastAsked) {
        f->declined = true;
        return false;
    }
    f->lastAsked = str(cabinetName);
    *newPath = rw(f->directory);
    return true;
}

// Makes every directory along a path that ends in a backslash.
void makePath(const std::string& path)
{
    for (std::size_t at = path.find('\\'); at != std::string::npos; at = path.find('\\', at + 1))
        CreateDirectoryA(path.substr(0, at).c_str(), nullptr);
}

// Stored names may carry directories below the destination; make them first.
void makeDirectories(const std::string& destination, BStringVector& contents, const Progress& p)
{
    for (unsigned int i = 0; i < contents.entries(); ++i) {
        const RWCString name = contents[i];
        if (!selects(p, name) || ravelIsUnsafeArchiveName(name.data()))
            continue;
        const std::string relative = windowsPath(str(name));
        const std::size_t last = relative.rfind('\\');
        if (last != std::string::npos)
            makePath(destination + relative.substr(0, last + 1));
    }
}

int info(const std::string& path)
{
    BCabExtractor cab;
    if (!cab.initialize(rw(path)))
        return fail(path, failureText(cab, path));
    std::fflush(stdout);
    cab.printOutSummaryInfo();
    return kTrue;
}

int list(const std::string& path)
{
    BCabExtractor cab;
    if (!cab.initialize(rw(path)))
        return fail(path, failureText(cab, path));
    BStringVector& contents = cab.getContents();
    for (unsigned int i = 0; i < contents.entries(); ++i)
        std::printf("%s\n", contents[i].data());
    return kTrue;
}

int extract(const Args& args)
{
    std::string path = windowsPath(args[1]);
    std::string destination = windowsPath(args[2]);
    if (destination.empty() || destination.back() != '\\')
        destination += '\\';
    BStringVector wanted;
    for (std::size_t i = 3; i < args.size(); ++i)
        wanted.insert(rw(args[i]));

    makePath(destination);
    Progress progress;
    progress.destination = destination;
    progress.wanted = args.size() > 3 ? &wanted : nullptr;
    Finder finder{directoryOf(path), std::string()};

    // Each cabinet of a set extracts the files that start in it (and their continuations).
    for (int cabinets = 0; cabinets < kMostCabinetsInASet; ++cabinets) {
        BCabExtractor cab;
        if (!cab.initialize(rw(path)))
            return fail(path, failureText(cab, path));
        makeDirectories(destination, cab.getContents(), progress);
        if (statusLineShown()) {
            const std::string name = path.substr(directoryOf(path).size());
            progress.startCabinet(name, sizes::selectedBytes(directoryOf(path), name, progress));
        }
        finder.lastAsked.clear();
        if (!cab.copy(rw(destination), filter, &progress, findNext, &finder)) {
            if (finder.declined) {
                // The engine asked twice for the same next cabinet: it is missing, or not of this set.
                return fail(path, failureText(cab, path) + " (next cabinet " + finder.directory + finder.lastAsked +
                                      " is missing or does not continue this set)");
            }
            return fail(path, failureText(cab, path));
        }
        progress.settle();
        if (!cab.getNextCabinetExists())
            break;
        const std::string next = str(cab.getNextCabinetName());
        if (next.empty())
            break;
        path = directoryOf(path) + next;
    }
    clearStatus();
    std::printf("extracted %lu files, %llu bytes\n", progress.files, progress.bytes);
    return kTrue;
}

}  // namespace

RAVEL_COMMAND(cmdCab, "cab", kCabUsage, "a cabinet's summary, its stored names, or extraction of all or named files")
{
    if (args.size() == 2 && args[0] == "info")
        return info(windowsPath(args[1]));
    if (args.size() == 2 && args[0] == "list")
        return list(windowsPath(args[1]));
    if (args.size() >= 3 && args[0] == "extract")
        return extract(args);
    return usage(kCabUsage);
}
