// dunzip32.dll: the zip library BZip drives with its command record. The archive is mapped once by
// command 1 and kept, with its checked directory, for the commands 7 and 8 that follow on it.
// File names reach the system as UTF-16, so UTF-8 and code page 437 names arrive intact.
#include <windows.h>

#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "UnzipCommand.h"
#include "ZipArchive.h"
#include "archive_names.h"
#include "internal/win/WinHandle.h"
#include "internal/win/WinPath.h"

namespace {

// Results besides the reader's own (which are 1 to 12).
constexpr int kBadRecord = 100;
constexpr int kCannotOpen = 101;
constexpr int kNotOpen = 102;
constexpr int kUnknownCommand = 103;
constexpr int kCannotCreate = 104;

struct OpenArchive
{
    std::string path;
    ravel::FileHandle file;
    ravel::KernelHandle mapping;
    const std::uint8_t* view = nullptr;
    ravelzip::ZipArchive archive;
    // Directory entries get their times once the last entry is written, as their contents
    // change them on the way.
    std::vector<std::pair<std::wstring, FILETIME>> directoryTimes;
    ~OpenArchive()
    {
        if (view != nullptr)
            UnmapViewOfFile(view);
    }
};
std::unique_ptr<OpenArchive> g_open;

int openArchive(const char* path)
{
    g_open.reset();
    auto open = std::make_unique<OpenArchive>();
    open->path = path;
    open->file.reset(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!open->file)
        return kCannotOpen;
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(open->file.get(), &size) || static_cast<unsigned long long>(size.QuadPart) > SIZE_MAX)
        return kCannotOpen;
    if (size.QuadPart > 0) {
        open->mapping.reset(CreateFileMappingA(open->file.get(), nullptr, PAGE_READONLY, 0, 0, nullptr));
        if (!open->mapping)
            return kCannotOpen;
        open->view = static_cast<const std::uint8_t*>(MapViewOfFile(open->mapping.get(), FILE_MAP_READ, 0, 0, 0));
        if (open->view == nullptr)
            return kCannotOpen;
    }
    const ravelzip::ZipResult result = open->archive.open(open->view, static_cast<std::size_t>(size.QuadPart));
    if (result != ravelzip::ZipResult::kOk)
        return static_cast<int>(result);
    g_open = std::move(open);
    return 0;
}

class FileSink : public ravelzip::ZipSink
{
public:
    explicit FileSink(HANDLE file) : m_file(file) {}
    bool write(const std::uint8_t* data, std::size_t size) override
    {
        while (size > 0) {
            const DWORD chunk = size > 0x40000000u ? 0x40000000u : static_cast<DWORD>(size);
            DWORD written = 0;
            if (!WriteFile(m_file, data, chunk, &written, nullptr) || written != chunk)
                return false;
            data += chunk;
            size -= chunk;
        }
        return true;
    }

private:
    HANDLE m_file;
};

// The entry's time as unzip sets it: the extended time stamp (UTC) when present, else the DOS
// date and time read as local time.
bool entryTime(const ravelzip::ZipEntry& entry, FILETIME& out)
{
    if (entry.hasUnixTime) {
        const unsigned long long ticks =
            (static_cast<unsigned long long>(entry.unixTime) + 11644473600ull) * 10000000ull;
        out.dwLowDateTime = static_cast<DWORD>(ticks);
        out.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
        return true;
    }
    SYSTEMTIME local{};
    local.wYear = static_cast<WORD>(1980 + (entry.dosDate >> 9));
    local.wMonth = static_cast<WORD>((entry.dosDate >> 5) & 15);
    local.wDay = static_cast<WORD>(entry.dosDate & 31);
    local.wHour = static_cast<WORD>(entry.dosTime >> 11);
    local.wMinute = static_cast<WORD>((entry.dosTime >> 5) & 63);
    local.wSecond = static_cast<WORD>((entry.dosTime & 31) * 2);
    SYSTEMTIME utc{};
    return TzSpecificLocalTimeToSystemTime(nullptr, &local, &utc) && SystemTimeToFileTime(&utc, &out);
}

int extractEntry(std::size_t index, const char* destination)
{
    if (index >= g_open->archive.count())
        return static_cast<int>(ravelzip::ZipResult::kBadIndex);
    const ravelzip::ZipEntry& entry = g_open->archive.entry(index);
    std::u16string name;
    if (!cabinet::decodeUtf8(entry.name.c_str(), name))
        return static_cast<int>(ravelzip::ZipResult::kUnsafeName);
    std::wstring path = ravel::widened(destination, CP_ACP);
    if (!path.empty() && path.back() != L'\\' && path.back() != L'/')
        path += L'\\';
    for (char16_t c : name)
        path += c == u'/' ? L'\\' : static_cast<wchar_t>(c);
    ravel::createDirectoriesAlong(path, 0); // the destination too, as unzip -d makes it
    if (entry.directory) {
        path.pop_back();
        if (!CreateDirectoryW(path.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
            return kCannotCreate;
        FILETIME time{};
        if (entryTime(entry, time))
            g_open->directoryTimes.emplace_back(path, time);
        return 0;
    }
    ravel::FileHandle file(
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return kCannotCreate;
    FileSink sink(file.get());
    auto removePartial = ravel::onScopeExit([&] {
        file.reset();
        DeleteFileW(path.c_str());
    });
    const ravelzip::ZipResult result = g_open->archive.extract(index, sink);
    if (result != ravelzip::ZipResult::kOk)
        return static_cast<int>(result);
    FILETIME time{};
    if (entryTime(entry, time))
        SetFileTime(file.get(), nullptr, &time, &time);
    removePartial.dismiss();
    return 0;
}

void setDirectoryTimes()
{
    for (const auto& [path, time] : g_open->directoryTimes) {
        const ravel::FileHandle directory(CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES,
                                                      FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                                      FILE_FLAG_BACKUP_SEMANTICS, nullptr));
        if (directory)
            SetFileTime(directory.get(), nullptr, &time, &time);
    }
    g_open->directoryTimes.clear();
}

} // namespace

extern "C" __declspec(dllexport) int WINAPI dunzip(UNZIPCMDSTRUCT* command)
{
    if (command == nullptr || command->structSize != kUnzipCmdSize || command->zipFile == nullptr)
        return kBadRecord;
    try {
        if (command->command == kUnzipOpen) {
            const int result = openArchive(command->zipFile);
            command->entryCount = result == 0 ? static_cast<std::uint32_t>(g_open->archive.count()) : 0;
            return result;
        }
        if (command->command != kUnzipEntryInfo && command->command != kUnzipExtract)
            return kUnknownCommand;
        if (!g_open || g_open->path != command->zipFile) {
            const int result = openArchive(command->zipFile);
            if (result != 0)
                return result;
        }
        if (command->entryIndex < 0)
            return static_cast<int>(ravelzip::ZipResult::kBadIndex);
        const std::size_t index = static_cast<std::size_t>(command->entryIndex);
        if (command->command == kUnzipEntryInfo) {
            if (command->entryInfo == nullptr)
                return kBadRecord;
            if (index >= g_open->archive.count())
                return static_cast<int>(ravelzip::ZipResult::kBadIndex);
            const ravelzip::ZipEntry& entry = g_open->archive.entry(index);
            auto* info = static_cast<ZIPENTRYINFO*>(command->entryInfo);
            std::memset(info, 0, sizeof *info);
            info->size = entry.size > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<std::uint32_t>(entry.size);
            const std::size_t n = entry.name.size() < sizeof info->name - 1 ? entry.name.size() : sizeof info->name - 1;
            std::memcpy(info->name, entry.name.data(), n);
            return 0;
        }
        if (command->destination == nullptr)
            return kBadRecord;
        const int result = extractEntry(index, command->destination);
        if (index + 1 == g_open->archive.count())
            setDirectoryTimes();
        return result;
    } catch (const std::bad_alloc&) {
        return kNotOpen;
    }
}

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_DETACH)
        g_open.reset();
    return TRUE;
}
