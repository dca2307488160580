// Cabinet commands: the summary, the stored files, and extraction of a whole set or named files.
#include "command.h"

#include "BCabExtractor.h"
#include "BStringVector.h"
#include "RavelNames.h"
#include "fdi_crt.h"

#include <sys/stat.h>
#include <windows.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <unordered_set>
#include <vector>

using namespace ravelutil;

namespace {

const char* const kCabUsage = "cab info <cab> | cab list <cab> [--json] | "
                              "cab extract <cab> <destination> [--next-dir <dir>] [name ...]";
constexpr int kMostCabinetsInASet = 1000;
constexpr unsigned kNameIsUtf8 = 0x80;

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

std::string withBackslash(std::string dir)
{
    if (!dir.empty() && dir.back() != '\\')
        dir += '\\';
    return dir;
}

std::wstring widened(const std::string& text, unsigned codePage)
{
    const int n = MultiByteToWideChar(codePage, 0, text.c_str(), -1, nullptr, 0);
    if (n <= 0)
        return std::wstring();
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(codePage, 0, text.c_str(), -1, &wide[0], n);
    wide.resize(static_cast<std::size_t>(n - 1));
    return wide;
}

std::string utf8Of(const std::wstring& wide)
{
    const int n = WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), -1, nullptr, 0, nullptr, nullptr);
    if (n <= 0)
        return std::string();
    std::string text(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), -1, &text[0], n, nullptr, nullptr);
    text.resize(static_cast<std::size_t>(n - 1));
    return text;
}

bool isUnsafe(const std::string& name, bool utf8)
{
    return utf8 ? ravelIsUnsafeUtf8ArchiveName(name.c_str()) : ravelIsUnsafeArchiveName(name.c_str());
}

// A stored name below a destination, as the file system sees it: UTF-8 names spell their
// characters, others are in the system's code page.
std::wstring nativePath(const std::string& destination, const std::string& name, bool utf8)
{
    return widened(destination, CP_ACP) + widened(name, utf8 ? CP_UTF8 : CP_ACP);
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

// --- the engine's own listing: every file with its fields, and the chaining names ---------------

struct Entry
{
    std::string name;
    unsigned long size = 0;
    unsigned date = 0, time = 0, attribs = 0, folder = 0;
    bool continued = false; // from an earlier cabinet
    bool utf8() const { return (attribs & kNameIsUtf8) != 0; }
};

struct Listing
{
    FDICABINETINFO info = {};
    std::string previousCabinet, previousDisk, nextCabinet, nextDisk;
    std::vector<Entry> files;
    bool enumerated = false;
};

const char* orEmpty(const char* s) { return s != nullptr ? s : ""; }

FNFDINOTIFY(collect)
{
    auto* l = static_cast<Listing*>(pfdin->pv);
    switch (fdint) {
    case fdintCABINET_INFO:
        l->nextCabinet = orEmpty(pfdin->psz1);
        l->nextDisk = orEmpty(pfdin->psz2);
        return 0;
    case fdintENUMERATE:
        if (!l->enumerated) {
            l->previousCabinet = orEmpty(pfdin->psz1);
            l->previousDisk = orEmpty(pfdin->psz2);
            l->enumerated = true;
        }
        return 0;
    case fdintPARTIAL_FILE:
    case fdintCOPY_FILE: {
        Entry e;
        e.name = orEmpty(pfdin->psz1);
        e.size = static_cast<unsigned long>(pfdin->cb);
        e.date = pfdin->date;
        e.time = pfdin->time;
        e.attribs = pfdin->attribs;
        e.folder = pfdin->iFolder;
        e.continued = fdint == fdintPARTIAL_FILE;
        l->files.push_back(e);
        return 0; // listed, not extracted
    }
    case fdintNEXT_CABINET:
        return -1;
    default:
        return 0;
    }
}

// Reads a cabinet's header (and, with `files`, its whole list); false when it is no cabinet.
bool readCabinet(const std::string& path, Listing& out, bool files = true)
{
    ERF erf = {};
    const HFDI fdi = fdi_crt::create(&erf);
    if (fdi == nullptr)
        return false;
    bool ok = false;
    const int fd = _open(path.c_str(), _O_BINARY | _O_RDONLY);
    if (fd != -1) {
        ok = FDIIsCabinet(fdi, fd, &out.info) != 0;
        _close(fd);
    }
    if (ok && files) {
        const std::string dir = directoryOf(path);
        std::vector<char> name(path.begin() + static_cast<long>(dir.size()), path.end());
        name.push_back('\0');
        std::vector<char> where(dir.begin(), dir.end());
        where.push_back('\0');
        ok = FDICopy(fdi, name.data(), where.data(), 0, collect, nullptr, &out) != 0;
    }
    FDIDestroy(fdi);
    return ok;
}

// --- names asked for on the command line --------------------------------------------------------

char folded(char c) { return c == '/' ? '\\' : static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }

// "*" and "?" wildcards, either separator, without regard to case.
bool matches(const std::string& pattern, const std::string& name)
{
    std::size_t p = 0, n = 0, star = std::string::npos, resume = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            star = p++, resume = n;
        } else if (p < pattern.size() && (pattern[p] == '?' || folded(pattern[p]) == folded(name[n]))) {
            ++p, ++n;
        } else if (star != std::string::npos) {
            p = star + 1, n = ++resume;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

struct Pattern
{
    std::string text;
    bool matched = false;
};

struct Progress
{
    std::string destination;
    std::vector<Pattern>* wanted = nullptr;    // null: every file
    std::unordered_set<std::string> utf8Names; // of the cabinet being extracted
    std::string pending;                       // the file being written, counted once it is done
    unsigned long files = 0;                   // of the whole run
    unsigned long long bytes = 0;
    // The cabinet being extracted: its name, the bytes of the files it will write, and how many
    // of them are written.
    std::string cabinet;
    unsigned long long cabinetTotal = 0;
    unsigned long cabinetFiles = 0;
    unsigned long long cabinetBytes = 0;

    std::wstring pathOf(const std::string& name) const
    {
        return nativePath(destination, name, utf8Names.count(name) != 0);
    }

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
        if (_wstat64(pathOf(pending).c_str(), &info) == 0)
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

bool selects(const Progress& p, const std::string& name)
{
    if (p.wanted == nullptr)
        return true;
    bool any = false;
    for (Pattern& pattern : *p.wanted)
        if (matches(pattern.text, name))
            pattern.matched = any = true;
    return any;
}

bool filter(RWCString fileName, void* data)
{
    auto* p = static_cast<Progress*>(data);
    p->settle();
    if (!selects(*p, str(fileName)))
        return false;
    p->pending = str(fileName);
    return true;
}

// --- following a set ----------------------------------------------------------------------------

// A set is followed only to the cabinet of the same set ID with the next index, found in the
// directory of the cabinet before it or in the one named with --next-dir, and never twice to
// one cabinet: a cabinet cannot send the walk to an unrelated cabinet or round in a circle.
struct SetWalk
{
    std::vector<std::string> directories; // where to look: the current cabinet's first
    unsigned setID = 0;
    unsigned index = 0;   // of the cabinet whose copy runs
    unsigned reached = 0; // of the cabinet the engine has reached with a file spanning on
    std::set<std::string> visited;
    std::string declined; // the next cabinet asked for and not found

    static std::string identity(const std::string& path)
    {
        char full[MAX_PATH];
        const DWORD n = GetFullPathNameA(path.c_str(), MAX_PATH, full, nullptr);
        std::string id = n > 0 && n < MAX_PATH ? std::string(full, n) : path;
        for (char& c : id)
            c = folded(c);
        return id;
    }

    // The directory holding the named cabinet of this set at `wantIndex`, or empty.
    std::string locate(const std::string& name, unsigned wantIndex, bool once) const
    {
        if (ravelIsUnsafeArchiveName(name.c_str()))
            return std::string();
        for (const std::string& dir : directories) {
            Listing next;
            if (readCabinet(dir + name, next, false) && next.info.setID == setID && next.info.iCabinet == wantIndex &&
                (!once || visited.count(identity(dir + name)) == 0))
                return dir;
        }
        return std::string();
    }

    void enter(const std::string& path, const FDICABINETINFO& info)
    {
        directories.front() = directoryOf(path);
        setID = info.setID;
        index = reached = info.iCabinet;
        visited.insert(identity(path));
    }
};

// The engine itself insists on the set ID and the next index; the finder only says where.
bool findNext(RWCString, RWCString cabinetName, RWCString, RWCString* newPath, void* data)
{
    auto* walk = static_cast<SetWalk*>(data);
    const std::string dir = walk->locate(str(cabinetName), walk->reached + 1, false);
    if (dir.empty()) {
        walk->declined = str(cabinetName);
        return false;
    }
    ++walk->reached;
    *newPath = rw(dir);
    return true;
}

// Makes every directory along a path that ends in a backslash.
void makePath(const std::wstring& path)
{
    for (std::size_t at = path.find(L'\\'); at != std::wstring::npos; at = path.find(L'\\', at + 1))
        CreateDirectoryW(path.substr(0, at).c_str(), nullptr);
}

// Stored names may carry directories below the destination; make them first.
void makeDirectories(const Listing& listing, Progress& p)
{
    for (const Entry& e : listing.files) {
        if (e.continued || !selects(p, e.name) || isUnsafe(e.name, e.utf8()))
            continue;
        const std::string relative = windowsPath(e.name);
        const std::size_t last = relative.rfind('\\');
        if (last != std::string::npos)
            makePath(nativePath(p.destination, relative.substr(0, last + 1), e.utf8()));
    }
}

// Why a copy stopped, as far as the tool can tell beyond the engine's code.
std::string copyFailure(BCabExtractor& cab, const std::string& path, const Listing& listing, const Progress& p,
                        const SetWalk& walk)
{
    std::string text = failureText(cab, path);
    for (const Entry& e : listing.files)
        if (!e.continued && isUnsafe(e.name, e.utf8()))
            return text + " (unsafe file name refused: " + e.name + ")";
    if (!walk.declined.empty())
        text += " (next cabinet " + walk.declined + " is missing or does not continue this set)";
    else if (ravelIsUnsafeArchiveName(listing.nextCabinet.c_str()))
        text += " (unsafe next cabinet name refused: " + listing.nextCabinet + ")";
    if (!p.pending.empty() && GetFileAttributesW(p.pathOf(p.pending).c_str()) == INVALID_FILE_ATTRIBUTES)
        text += "; " + p.pending + " was cut short and removed";
    return text;
}

// --- the commands -------------------------------------------------------------------------------

int info(const std::string& path)
{
    BCabExtractor cab;
    Listing listing;
    if (!cab.initialize(rw(path)) || !readCabinet(path, listing))
        return fail(path, failureText(cab, path));
    std::fflush(stdout);
    cab.printOutSummaryInfo();
    std::fflush(stdout);
    std::printf("   Previous cabinet             : %s\n"
                "   Previous disk                : %s\n"
                "   Next cabinet                 : %s\n"
                "   Next disk                    : %s\n",
                listing.previousCabinet.c_str(), listing.previousDisk.c_str(), listing.nextCabinet.c_str(),
                listing.nextDisk.c_str());
    return kTrue;
}

std::string dateTime(unsigned date, unsigned time, char between)
{
    char text[32];
    std::snprintf(text, sizeof text, "%04u-%02u-%02u%c%02u:%02u:%02u", 1980 + (date >> 9), (date >> 5) & 15, date & 31,
                  between, time >> 11, (time >> 5) & 63, (time & 31) * 2);
    return text;
}

std::string attributeLetters(unsigned a)
{
    const char* const letters = "RHS??AXU"; // bits 0-2 and 5-7
    std::string text;
    for (unsigned bit : {0u, 1u, 2u, 5u, 6u, 7u})
        text += (a & (1u << bit)) ? letters[bit] : '-';
    return text;
}

// JSON text: UTF-8 names as they are, others from the system's code page.
std::string jsonString(const std::string& text, bool utf8)
{
    const std::string u = utf8 && !ravelIsUnsafeUtf8ArchiveName(text.c_str()) ? text : utf8Of(widened(text, CP_ACP));
    std::string out = "\"";
    for (char c : u) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
            out += escaped;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

int list(const std::string& path, bool json)
{
    BCabExtractor cab;
    Listing listing;
    if (!cab.initialize(rw(path)) || !readCabinet(path, listing))
        return fail(path, failureText(cab, path));
    if (json) {
        std::string out = "{\"cabinet\": " + jsonString(path, false) + ", \"files\": [";
        for (std::size_t i = 0; i < listing.files.size(); ++i) {
            const Entry& e = listing.files[i];
            out += (i == 0 ? "\n  " : ",\n  ");
            out += "{\"name\": " + jsonString(e.name, e.utf8()) + ", \"size\": " + std::to_string(e.size) +
                   ", \"datetime\": \"" + dateTime(e.date, e.time, 'T') +
                   "\", \"attributes\": " + std::to_string(e.attribs) + ", \"folder\": " + std::to_string(e.folder) +
                   ", \"continued\": " + (e.continued ? "true" : "false") + "}";
        }
        out += listing.files.empty() ? "]}\n" : "\n]}\n";
        std::fputs(out.c_str(), stdout);
        return kTrue;
    }
    for (const Entry& e : listing.files) {
        std::printf("%10lu  %s  %s  %5u  %s%s\n", e.size, dateTime(e.date, e.time, ' ').c_str(),
                    attributeLetters(e.attribs).c_str(), e.folder, e.name.c_str(),
                    e.continued ? ("  (continued from " + listing.previousCabinet + ")").c_str() : "");
    }
    return kTrue;
}

int extract(const Args& args)
{
    std::string path = windowsPath(args[1]);
    std::string destination = withBackslash(windowsPath(args[2]));
    std::vector<Pattern> wanted;
    SetWalk walk;
    walk.directories.push_back(directoryOf(path));
    for (std::size_t i = 3; i < args.size(); ++i) {
        if (args[i] == "--next-dir" && i + 1 < args.size())
            walk.directories.push_back(withBackslash(windowsPath(args[++i])));
        else if (args[i] == "--next-dir")
            return usage(kCabUsage);
        else
            wanted.push_back({args[i]});
    }

    makePath(widened(destination, CP_ACP));
    Progress progress;
    progress.destination = destination;
    progress.wanted = wanted.empty() ? nullptr : &wanted;

    // Each cabinet of a set extracts the files that start in it (and their continuations).
    for (int cabinets = 0; cabinets < kMostCabinetsInASet; ++cabinets) {
        BCabExtractor cab;
        Listing listing;
        if (!cab.initialize(rw(path)) || !readCabinet(path, listing))
            return fail(path, failureText(cab, path));
        walk.enter(path, listing.info);
        progress.utf8Names.clear();
        unsigned long long total = 0;
        for (const Entry& e : listing.files) {
            if (e.utf8())
                progress.utf8Names.insert(e.name);
            if (!e.continued && selects(progress, e.name) && !isUnsafe(e.name, e.utf8()))
                total += e.size;
        }
        makeDirectories(listing, progress);
        progress.startCabinet(path.substr(directoryOf(path).size()), total);
        walk.declined.clear();
        if (!cab.copy(rw(destination), filter, &progress, findNext, &walk)) {
            clearStatus();
            return fail(path, copyFailure(cab, path, listing, progress, walk));
        }
        progress.settle();
        if (!cab.getNextCabinetExists() || listing.nextCabinet.empty())
            break;
        const std::string next = listing.nextCabinet;
        if (ravelIsUnsafeArchiveName(next.c_str()))
            return fail(path, "unsafe next cabinet name refused: " + next);
        const std::string dir = walk.locate(next, walk.index + 1, true);
        if (dir.empty()) {
            // Nothing continues into it, so the files so far are whole; say what is left out.
            clearStatus();
            std::printf("extracted %lu files, %llu bytes\n", progress.files, progress.bytes);
            return fail(path, "next cabinet " + next + " is missing or does not continue this set");
        }
        path = dir + next;
    }
    clearStatus();
    std::printf("extracted %lu files, %llu bytes\n", progress.files, progress.bytes);
    int result = kTrue;
    for (const Pattern& p : wanted)
        if (!p.matched)
            result = failure(p.text + ": no such file in the cabinet");
    return result;
}

} // namespace

RAVEL_COMMAND(cmdCab, "cab", kCabUsage, "a cabinet's summary, its stored files, or extraction of all or named files")
{
    if (args.size() == 2 && args[0] == "info")
        return info(windowsPath(args[1]));
    if ((args.size() == 2 || (args.size() == 3 && args[2] == "--json")) && args[0] == "list")
        return list(windowsPath(args[1]), args.size() == 3);
    if (args.size() >= 3 && args[0] == "extract")
        return extract(args);
    return usage(kCabUsage);
}
