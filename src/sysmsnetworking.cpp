#include "sysMSNetworking.h"

#include "internal/net/DriveLetters.h"

#include <windows.h>
#include <winnetwk.h>

namespace {
const char kMapFailed[] = "[sysMSNetworking::mapDrive] FAILED to map ";
const char kMapped[] = "[sysMSNetworking::mapDrive] successfully mapped ";
const char kMappedTo[] = " to ";
const char kUnmapFailed[] = "[sysMSNetworking::unmapDrive] FAILED to unmap ";
const char kUnmapped[] = "[sysMSNetworking::unmapDrive] successfully unmapped ";
} // namespace

sysMSNetworking::sysMSNetworking() = default;
sysMSNetworking::sysMSNetworking(const sysMSNetworking&) = default;
sysMSNetworking& sysMSNetworking::operator=(const sysMSNetworking&) = default;
sysMSNetworking::~sysMSNetworking() = default;

bool sysMSNetworking::getFreeLogicalDrive(RWCString& drive)
{
    const char letter = ravel::highestFreeDriveLetter(GetLogicalDrives());
    if (letter == 0)
        return false;
    const char name[] = {letter, ':', '\0'};
    drive = name;
    return true;
}

bool sysMSNetworking::mapDrive(RWCString share, RWCString& drive)
{
    drive = "";
    RWCString freeDrive;
    if (share.length() == 0 || !getFreeLogicalDrive(freeDrive))
        return false;
    DWORD answer = WNetAddConnectionA(share.data(), nullptr, freeDrive.data());
    // Some servers refuse a missing password but take the empty one.
    if (answer == ERROR_INVALID_PASSWORD)
        answer = WNetAddConnectionA(share.data(), "", freeDrive.data());
    if (answer != NO_ERROR) {
        RAVEL_LOG(CAT_NETWORK, TYPE_ERROR, LEVEL_RELEASE, kMapFailed + share);
        return false;
    }
    drive = freeDrive;
    RAVEL_LOG(CAT_GENERAL, TYPE_INFO, LEVEL_RELEASE, kMapped + share + kMappedTo + drive);
    return true;
}

bool sysMSNetworking::unmapDrive(RWCString drive)
{
    if (drive.length() < 2)
        return false;
    const RWCString name(drive.data(), 2);
    if (WNetCancelConnectionA(name.data(), TRUE) != NO_ERROR) {
        RAVEL_LOG(CAT_NETWORK, TYPE_ERROR, LEVEL_RELEASE, kUnmapFailed + drive);
        return false;
    }
    RAVEL_LOG(CAT_GENERAL, TYPE_INFO, LEVEL_RELEASE, kUnmapped + drive);
    return true;
}
