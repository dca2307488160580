// Zip commands: the entry count and size total, the entries' names and sizes, and extraction,
// all through the zip library dunzip32.dll (loaded here through BDll for the listing, and by BZip
// for the total and the extraction).
#include "command.h"

#include "BDll.h"
#include "BZip.h"
#include "UnzipCommand.h"
#include "sysFileStructure.h"

#include <windows.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>

using namespace ravelutil;

namespace {

const char* const kZipUsage = "zip info <zip> | zip list <zip> | zip extract <zip> <destination> [--delete-at-restart]";

std::string windowsPath(std::string path)
{
    for (char& c : path)
        if (c == '/')
            c = '\\';
    return path;
}

// The sizes of the files in a directory tree.
unsigned long long bytesUnder(const std::string& directory)
{
    sysFileStructure::directoryWalker walker(RWCString(directory.c_str()), 1, 1);
    unsigned long long sum = 0;
    char* name = nullptr;
    while (walker.FindNext(&name) == 0) {
        const std::string path = directory + "\\" + name;
        WIN32_FILE_ATTRIBUTE_DATA data;
        if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data))
            continue;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            sum += bytesUnder(path);
        else
            sum += (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    }
    return sum;
}

// The library's entry point, loaded for one command.
class Unzip
{
public:
    Unzip()
    {
        void* address = nullptr;
        if (m_dll.LoadDll("dunzip32.dll") && m_dll.getFunction("dunzip", &address))
            std::memcpy(&m_entry, &address, sizeof m_entry);
    }
    ~Unzip() { m_dll.UnLoadDll(); }
    Unzip(const Unzip&) = delete;
    Unzip& operator=(const Unzip&) = delete;
    // -1 when the library or its entry point is missing.
    int operator()(UNZIPCMDSTRUCT& command) const { return m_entry == nullptr ? -1 : m_entry(&command); }

private:
    BDll m_dll;
    int(WINAPI* m_entry)(UNZIPCMDSTRUCT*) = nullptr;
};

// Opens the archive (command 1); the record is ready for the entry commands.
int openArchive(const Unzip& unzip, UNZIPCMDSTRUCT& command, const std::string& path)
{
    std::memset(&command, 0, sizeof command);
    command.structSize = kUnzipCmdSize;
    command.command = kUnzipOpen;
    command.zipFile = path.c_str();
    return unzip(command);
}

int info(const std::string& path)
{
    const Unzip unzip;
    UNZIPCMDSTRUCT command;
    const int result = openArchive(unzip, command, path);
    if (result != 0)
        return failure(path + ": the zip library answered " + std::to_string(result));
    unsigned long total = 0;
    BZip zip;
    if (zip.getCompressedInfo(RWCString(path.c_str()), total) != BZip::BZIP_OK)
        return failure(path + ": the size total failed");
    std::printf("entries: %lu\ntotal size: %lu\n", static_cast<unsigned long>(command.entryCount), total);
    return kTrue;
}

int list(const std::string& path)
{
    const Unzip unzip;
    UNZIPCMDSTRUCT command;
    int result = openArchive(unzip, command, path);
    ZIPENTRYINFO entry;
    command.command = kUnzipEntryInfo;
    command.entryInfo = &entry;
    for (std::uint32_t i = 0; result == 0 && i < command.entryCount; ++i) {
        command.entryIndex = static_cast<std::int32_t>(i);
        result = unzip(command);
        if (result == 0)
            std::printf("%10lu  %s\n", static_cast<unsigned long>(entry.size), entry.name);
    }
    return result == 0 ? kTrue : failure(path + ": the zip library answered " + std::to_string(result));
}

int extract(const Args& args)
{
    RWCString path(windowsPath(args[1]).c_str());
    const RWCString destination(windowsPath(args[2]).c_str());
    bool deleteAtRestart = false;
    for (std::size_t i = 3; i < args.size(); ++i) {
        if (args[i] != "--delete-at-restart")
            return usage(kZipUsage);
        deleteAtRestart = true;
    }
    BZip zip;
    unsigned long total = 0;
    std::atomic<bool> done{false};
    std::thread progress;
    if (statusLineShown() && zip.getCompressedInfo(path, total) == BZip::BZIP_OK) {
        // The extraction runs in one call; the bytes under the destination tell how far it is.
        progress = std::thread([&] {
            const unsigned long long before = bytesUnder(str(destination));
            while (!done) {
                const unsigned long long now = bytesUnder(str(destination));
                const unsigned long long written = now > before ? now - before : 0;
                const unsigned long long percent = total == 0 || written >= total ? 100 : written * 100 / total;
                showStatus(str(path) + ": " + std::to_string(written) + " of " + std::to_string(total) + " bytes, " +
                           std::to_string(percent) + "%");
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
            }
        });
    }
    const BZip::ReturnValue result = zip.decompressAll(path, destination, false, false, true, deleteAtRestart);
    done = true;
    if (progress.joinable())
        progress.join();
    clearStatus();
    if (result != BZip::BZIP_OK)
        return failure(str(path) + ": extraction failed");
    std::printf("extracted %s into %s%s\n", path.data(), destination.data(),
                deleteAtRestart ? ", deleted at the next restart" : "");
    return kTrue;
}

} // namespace

RAVEL_COMMAND(cmdZip, "zip", kZipUsage, "a zip archive's entry count and size total, its entries, or extraction")
{
    if (args.size() == 2 && args[0] == "info")
        return info(windowsPath(args[1]));
    if (args.size() == 2 && args[0] == "list")
        return list(windowsPath(args[1]));
    if (args.size() >= 3 && args[0] == "extract")
        return extract(args);
    return usage(kZipUsage);
}
