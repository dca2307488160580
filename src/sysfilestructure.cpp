#include "sysFileStructure.h"

#include "BFileInstaller.h"
#include "BIniFile.h"
#include "RavelConvert.h"
#include "internal/files/PathText.h"
#include "internal/files/RebootMethod.h"
#include "internal/win/WinCall.h"
#include "internal/win/WinHandle.h"
#include "sysVersion.h"

#include <windows.h>

#include <cstring>
#include <utility>
#include <vector>

namespace {

const char kSystemDirectoryReturned[] = "[sysFileStructure::getSystemDirectory] returned = ";
const char kWindowsDirectoryReturned[] = "[sysFileStructure::getWindowsDirectory] returned = ";
const char kCwdReturned[] = "[sysFileStructure::getCwd] returned = ";
const char kCwdSet[] = "[sysFileStructure::setCwd] cwd set to: ";
const char kTempReturned[] = "[sysFileStructure::getTempDirectory] returned = ";
const char kTempFailed[] = "[sysFileStructure::getTempDirectory] FAILED in = getWindowsDirectory";
const char kTempVariable[] = "%TMP%";
const char kUniqueTempName[] = "qvkxotmp";
const char kCopyAttempt[] = "[sysFileStructure::CopyOnReboot] attempting to copy {";
const char kCopyFailed[] = "[sysFileStructure::CopyOnReboot] FAILED";
const char kCopySucceeded[] = "[sysFileStructure::CopyOnReboot] Succeeded";
const char kDeleteAttempt[] = "[sysFileStructure::DeleteOnReboot] attempting to delete {";
const char kDeleteSucceeded[] = "[sysFileStructure::DeleteOnReboot] Succeeded";
const char kWininitName[] = "wininit.ini";
const char kRenameSection[] = "rename";

// The system's maximum path length, terminator included.
const DWORD kPathBufferSize = MAX_PATH;

// The first entry the system's search finds for the path, if any.
bool findFirst(const RWCString& path, WIN32_FIND_DATAA& found)
{
    if (path.isNull())
        return false;
    const ravel::FindHandle search(FindFirstFileA(path.data(), &found));
    return search.valid();
}

} // namespace

RWCString sysFileStructure::tempDirForService;

sysFileStructure::sysFileStructure() = default;
sysFileStructure::sysFileStructure(const sysFileStructure&) = default;
sysFileStructure& sysFileStructure::operator=(const sysFileStructure&) = default;
sysFileStructure::~sysFileStructure() = default;

bool sysFileStructure::fileExists(RWCString path)
{
    WIN32_FIND_DATAA found;
    return findFirst(path, found);
}

unsigned long sysFileStructure::fileSize(RWCString path)
{
    WIN32_FIND_DATAA found;
    return findFirst(path, found) ? found.nFileSizeLow : 0;
}

bool sysFileStructure::getSystemDirectory(RWCString& directory)
{
    directory = RWCString();
    char buffer[kPathBufferSize] = {};
    GetSystemDirectoryA(buffer, kPathBufferSize);
    directory = buffer;
    RAVEL_LOG(CAT_GENERAL, TYPE_INFO, LEVEL_RELEASE, kSystemDirectoryReturned + directory);
    return true;
}

bool sysFileStructure::getWindowsDirectory(RWCString& directory)
{
    directory = RWCString();
    char buffer[kPathBufferSize] = {};
    GetWindowsDirectoryA(buffer, kPathBufferSize);
    directory = buffer;
    RAVEL_LOG(CAT_GENERAL, TYPE_INFO, LEVEL_RELEASE, kWindowsDirectoryReturned + directory);
    return true;
}

bool sysFileStructure::getCwd(RWCString& directory)
{
    directory = RWCString();
    char buffer[kPathBufferSize] = {};
    if (GetCurrentDirectoryA(kPathBufferSize, buffer) == 0)
        return false;
    directory = buffer;
    RAVEL_LOG(CAT_GENERAL, TYPE_INFO, LEVEL_RELEASE, kCwdReturned + directory);
    return true;
}

bool sysFileStructure::setCwd(RWCString directory)
{
    if (directory.isNull() || !SetCurrentDirectoryA(directory.data()))
        return false;
    RAVEL_LOG(CAT_GENERAL, TYPE_INFO, LEVEL_RELEASE, kCwdSet + directory);
    return true;
}

bool sysFileStructure::getTempDirectory(RWCString& directory)
{
    if (!tempDirForService.isNull()) {
        directory = tempDirForService;
        return true;
    }
    directory = RWCString();
    unsigned long needed = 0;
    const std::vector<char> expanded = ravel::sizedCall<char>(
        [](char* buffer, unsigned long size) -> unsigned long {
            return ExpandEnvironmentStringsA(kTempVariable, buffer, size);
        },
        &needed);
    if (needed != 0) {
        // A failed second expansion leaves the text empty, as a zeroed buffer would.
        directory = expanded.empty() ? "" : expanded.data();
    } else if (!getWindowsDirectory(directory)) {
        directory = RWCString();
        RAVEL_LOG(CAT_FILE, TYPE_ERROR, LEVEL_RELEASE, kTempFailed);
        return false;
    }
    RAVEL_LOG(CAT_GENERAL, TYPE_INFO, LEVEL_RELEASE, kTempReturned + directory);
    return true;
}

bool sysFileStructure::permanentlySetTempDir(RWCString& directory)
{
    sysFileStructure files;
    if (!files.fileExists(directory))
        return false;
    tempDirForService = directory;
    return true;
}

bool sysFileStructure::createUniqueTempDirectory(RWCString* directory)
{
    *directory = RWCString();
    RWCString temp;
    if (!getTempDirectory(temp))
        return false;
    const RWCString base = temp + "\\" + kUniqueTempName;
    RWCString candidate = base;
    for (int n = 1; fileExists(candidate); ++n)
        candidate = base + "_" + iToRWCString(n, 10);
    if (!CreateDirectoryA(candidate.data(), nullptr))
        return false;
    *directory = candidate;
    return true;
}

bool sysFileStructure::ensurePathIsAFullPath(RWCString* path)
{
    if (ravel::isFullPath(*path))
        return true;
    RWCString cwd;
    getCwd(cwd);
    *path = ravel::fullPathAgainst(*path, cwd);
    return true;
}

bool sysFileStructure::compareFileTimeToSystemTime(RWCString path, int* months)
{
    *months = 0;
    BFileInstaller::BFileInfo file(path);
    FILETIME written = {};
    if (file.getTimeStamp(&written) != BFileInstaller::FILE_OK)
        return false;
    SYSTEMTIME then = {};
    if (!FileTimeToSystemTime(&written, &then))
        return false;
    SYSTEMTIME now = {};
    GetSystemTime(&now);
    *months = (static_cast<int>(now.wYear) - then.wYear) * 12 + (static_cast<int>(now.wMonth) - then.wMonth);
    return true;
}

// The wininit.ini that 95, 98 and Me process at start-up.
static RWCString wininitPath(sysFileStructure& files)
{
    RWCString windows;
    files.getWindowsDirectory(windows);
    return windows + "\\" + kWininitName;
}

bool sysFileStructure::CopyOnReboot(RWCString source, RWCString destination)
{
    RAVEL_LOG(CAT_GENERAL, TYPE_INFO, LEVEL_RELEASE, kCopyAttempt + source + "} to {" + destination + "}");
    if (!fileExists(source)) {
        RAVEL_LOG(CAT_FILE, TYPE_ERROR, LEVEL_RELEASE, kCopyFailed);
        return false;
    }
    // The staged copy waits in the temporary directory under the source's own name.
    RWCString temp, name;
    getTempDirectory(temp);
    getFileNameFromFullFileNameAndPath(source, name);
    const RWCString staging = temp + "\\" + name;
    SetFileAttributesA(staging.data(), FILE_ATTRIBUTE_NORMAL);
    if (!CopyFileA(source.data(), staging.data(), FALSE)) {
        RAVEL_LOG_LAST_ERROR(CAT_FILE, TYPE_ERROR, LEVEL_RELEASE, kCopyFailed);
        return false;
    }
    bool registered = false;
    switch (ravel::rebootMethodFor(sysVersion().getPlatform())) {
    case ravel::RebootMethod::WininitIni: {
        BIniFile wininit(wininitPath(*this));
        registered = wininit.bWriteString(kRenameSection, destination, staging);
        break;
    }
    case ravel::RebootMethod::DelayedMove:
        registered = MoveFileExA(staging.data(), destination.data(),
                                 MOVEFILE_REPLACE_EXISTING | MOVEFILE_DELAY_UNTIL_REBOOT) != FALSE;
        break;
    case ravel::RebootMethod::None:
        break;
    }
    if (!registered) {
        RAVEL_LOG(CAT_FILE, TYPE_ERROR, LEVEL_RELEASE, kCopyFailed);
        return false;
    }
    RAVEL_LOG(CAT_GENERAL, TYPE_INFO, LEVEL_RELEASE, kCopySucceeded);
    return true;
}

bool sysFileStructure::DeleteOnReboot(RWCString path)
{
    RAVEL_LOG(CAT_GENERAL, TYPE_INFO, LEVEL_RELEASE, kDeleteAttempt + path + "}");
    if (!fileExists(path))
        return false;
    bool registered = false;
    switch (ravel::rebootMethodFor(sysVersion().getPlatform())) {
    case ravel::RebootMethod::WininitIni: {
        BIniFile wininit(wininitPath(*this));
        registered = wininit.bWriteNULKeyString(path);
        break;
    }
    case ravel::RebootMethod::DelayedMove:
        registered = MoveFileExA(path.data(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) != FALSE;
        break;
    case ravel::RebootMethod::None:
        break;
    }
    if (registered)
        RAVEL_LOG(CAT_GENERAL, TYPE_INFO, LEVEL_RELEASE, kDeleteSucceeded);
    return registered;
}

// ---- directoryWalker: no records; the search handle through the one handle owner.

static_assert(sizeof(WIN32_FIND_DATAA) <= 320, "the walker's find record holds the system's");

sysFileStructure::directoryWalker::directoryWalker(RWCString directory, int includeDirectories, int includeFiles)
    : m_includeDirectories(includeDirectories), m_includeFiles(includeFiles), m_path(directory), m_started(0),
      m_findData(), m_hSearch(INVALID_HANDLE_VALUE)
{}

sysFileStructure::directoryWalker::directoryWalker(const directoryWalker& other)
    : LogInterface(other), m_includeDirectories(other.m_includeDirectories), m_includeFiles(other.m_includeFiles),
      m_path(other.m_path), m_started(0), m_findData(), m_hSearch(INVALID_HANDLE_VALUE)
{}

sysFileStructure::directoryWalker& sysFileStructure::directoryWalker::operator=(const directoryWalker& other)
{
    if (this != &other) {
        closeSearch();
        m_includeDirectories = other.m_includeDirectories;
        m_includeFiles = other.m_includeFiles;
        m_path = other.m_path;
        m_started = 0;
    }
    return *this;
}

sysFileStructure::directoryWalker::~directoryWalker() { closeSearch(); }

void sysFileStructure::directoryWalker::closeSearch()
{
    ravel::FindHandle(std::exchange(m_hSearch, INVALID_HANDLE_VALUE)).reset();
}

int sysFileStructure::directoryWalker::FindNextOne(char** name)
{
    auto* found = reinterpret_cast<WIN32_FIND_DATAA*>(m_findData);
    if (!m_started || m_hSearch == INVALID_HANDLE_VALUE) {
        // A search that could not be opened is asked again each time, so it keeps its error.
        m_started = 1;
        m_hSearch = FindFirstFileA((m_path + "\\*.*").data(), found);
        if (m_hSearch == INVALID_HANDLE_VALUE)
            return static_cast<int>(GetLastError());
    } else if (!FindNextFileA(m_hSearch, found)) {
        return static_cast<int>(GetLastError());
    }
    *name = found->cFileName;
    return 0;
}

int sysFileStructure::directoryWalker::FindNext(char** name)
{
    const bool ended = m_started && m_hSearch == INVALID_HANDLE_VALUE;
    for (;;) {
        char* entry = nullptr;
        const int result = FindNextOne(&entry);
        if (result != 0)
            return result;
        if (ended) { // the directory appeared after a failed start: this walk stays over
            closeSearch();
            m_started = 1;
            return ERROR_NO_MORE_FILES;
        }
        if (std::strcmp(entry, ".") == 0 || std::strcmp(entry, "..") == 0)
            continue;
        const bool directory =
            (reinterpret_cast<WIN32_FIND_DATAA*>(m_findData)->dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        if (directory ? !m_includeDirectories : !m_includeFiles)
            continue;
        *name = entry;
        return 0;
    }
}

// ---- fileFinder: no records.

sysFileStructure::fileFinder::fileFinder() = default;
sysFileStructure::fileFinder::fileFinder(RWCString baseDirectory)
{
    if (validBaseDir(baseDirectory))
        m_baseDir = baseDirectory;
}
sysFileStructure::fileFinder::fileFinder(const fileFinder&) = default;
sysFileStructure::fileFinder& sysFileStructure::fileFinder::operator=(const fileFinder&) = default;
sysFileStructure::fileFinder::~fileFinder() = default;

bool sysFileStructure::fileFinder::setBaseDir(RWCString directory)
{
    if (!validBaseDir(directory))
        return true;
    m_baseDir = directory;
    return false;
}

RWCString sysFileStructure::fileFinder::getBaseDir() { return m_baseDir; }

bool sysFileStructure::fileFinder::validBaseDir(RWCString directory)
{
    return directory.length() > 0 && sysFileStructure().fileExists(directory);
}

RWCString sysFileStructure::fileFinder::findPathToFile(RWCString fileName)
{
    if (!validBaseDir(m_baseDir) || fileName.length() == 0)
        return RWCString();
    return findPathToFileRecursively(m_baseDir, fileName);
}

bool sysFileStructure::fileFinder::hasFile(RWCString fileName) { return findPathToFile(fileName).length() > 0; }

RWCString sysFileStructure::fileFinder::findPathToFileRecursively(RWCString directory, RWCString fileName)
{
    char* name = nullptr;
    int result;
    directoryWalker files(directory, 0, 1);
    while ((result = files.FindNext(&name)) == 0) {
        if (std::strcmp(name, fileName.data()) != 0)
            continue;
        RWCString path = directory + "\\" + name;
        sysFileStructure().ensurePathIsAFullPath(&path);
        return path;
    }
    if (result != ERROR_NO_MORE_FILES)
        return RWCString();
    directoryWalker directories(directory, 1, 0);
    while (directories.FindNext(&name) == 0) {
        RWCString found = findPathToFileRecursively(directory + "\\" + name, fileName);
        if (found.length() > 0)
            return found;
    }
    return RWCString();
}
