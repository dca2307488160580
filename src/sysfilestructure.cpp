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
