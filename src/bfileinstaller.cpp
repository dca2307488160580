#include "BFileInstaller.h"

#include "internal/files/VersionText.h"
#include "internal/win/WinCall.h"
#include "internal/win/WinHandle.h"
#include "sysFileStructure.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

namespace {

const char kCreateFileFailure[] = "CreateFile api failure, getlasterror = ";
const char kGetFileTimeFailure[] = "GetFileTime api failure, getlasterror = ";
const char kGetFileVersionFailure[] = "GetFileVersion api failure, getlasterror = ";
const char kVerQueryValueFailure[] = "VerQueryValue api failure, getlasterror = ";
const char kFileNameLabel[] = "file name = ";
const char kVersionFound[] = ": version(%s) information was found using Location Identifier %04X and Code Page %04X";
const char kRootBlock[] = "\\";
const char kStringQuery[] = "\\StringFileInfo\\%04X%04X\\%s";
const char kFileVersionName[] = "FileVersion";

const char kNotExist[] = " file does NOT exist.";
const char kCreationLabel[] = "  creation time = ";
const char kLastWriteLabel[] = "  last write time = ";
const char kLastAccessLabel[] = "  last access time = ";
const char kVersionWords[] = "  version info:  Most significant word = %x, LSW = %x\n";
const char kVersionText[] = "  version string info:  %s\n\n";
const int kTimeTextSize = 256;

const char kInstallFailed[] = "Install Function Failed";
const char kNotCurrent[] = "BFileInstaller::isCurrent - not current src: ";
const char kDestLabel[] = ", dest = ";
const char kSetAttributesFailure[] = "SetFileAttributes api failure, getlasterror = ";
const char kCopyFileFailure[] = "CopyFile api failure, getlasterror = ";
const char kDestFileLabel[] = "dest file name = ";
const char kSrcFileLabel[] = "src file name = ";
const char kRebootCopyFailure[] = "BHost rebootCopy failure";
const char kLogFileInfoEntry[] = "BFileInstaller::logFileInfo entry";
const char kSourceLabel[] = "Source:\n";
const char kDestinationLabel[] = "Destination:\n";
const char kSrcOutput[] = "SRC:\n";
const char kDestOutput[] = "DEST:\n";

// Languages and code pages of the string tables, in the order they are tried (language outer).
const unsigned short kLanguages[] = {
    0x0409, 0x0405, 0x0406, 0x0413, 0x040B, 0x040C, 0x0407, 0x040E, 0x0410, 0x0411, 0x0412, 0x0414, 0x0415, 0x0416,
    0x0419, 0x0804, 0x040A, 0x041D, 0x0404, 0x041E, 0x041F, 0x0000, 0x0400, 0x0436, 0x041C, 0x0401, 0x0801, 0x0C01,
    0x1001, 0x1401, 0x1801, 0x1C01, 0x2001, 0x2401, 0x2801, 0x2C01, 0x3001, 0x3401, 0x3801, 0x3C01, 0x4001, 0x042B,
    0x044D, 0x042C, 0x082C, 0x042D, 0x0423, 0x0445, 0x0402, 0x0455, 0x0403, 0x0C04, 0x1004, 0x1404, 0x041A, 0x0813,
    0x0809, 0x0C09, 0x1009, 0x1409, 0x1809, 0x1C09, 0x2009, 0x2409, 0x2809, 0x2C09, 0x3009, 0x3409, 0x0425, 0x0438,
    0x0429, 0x080C, 0x0C0C, 0x100C, 0x140C, 0x180C, 0x0437, 0x0807, 0x0C07, 0x1007, 0x1407, 0x0408, 0x0447, 0x040D,
    0x0439, 0x040F, 0x0421, 0x0810, 0x044B, 0x0860, 0x043F, 0x0457, 0x0812, 0x0426, 0x0427, 0x0827, 0x042F, 0x043E,
    0x083E, 0x044C, 0x0458, 0x044E, 0x0861, 0x0814, 0x0448, 0x0816, 0x0446, 0x0418, 0x044F, 0x0C1A, 0x081A, 0x0459,
    0x041B, 0x0424, 0x080A, 0x0C0A, 0x100A, 0x140A, 0x180A, 0x1C0A, 0x200A, 0x240A, 0x280A, 0x2C0A, 0x300A, 0x340A,
    0x380A, 0x3C0A, 0x400A, 0x440A, 0x480A, 0x4C0A, 0x500A, 0x0430, 0x0441, 0x081D, 0x0449, 0x0444, 0x044A, 0x0422,
    0x0420, 0x0820, 0x0443, 0x0843, 0x042A};
const unsigned short kCodePages[] = {1200, 1250, 1251, 1252, 1253, 1254, 1255, 1256, 1257, 1361, 437, 708,
                                     709,  710,  720,  737,  775,  850,  852,  855,  857,  860,  861, 862,
                                     863,  864,  865,  866,  869,  874,  932,  936,  949,  950};
static_assert(sizeof kLanguages / sizeof kLanguages[0] == 145, "145 languages");
static_assert(sizeof kCodePages / sizeof kCodePages[0] == 34, "34 code pages");

#if defined(__GNUC__)
__attribute__((format(gnu_printf, 1, 2)))
#endif
RWCString
format(const char* pattern, ...)
{
    va_list args;
    va_start(args, pattern);
    va_list again;
    va_copy(again, args);
    const int length = std::vsnprintf(nullptr, 0, pattern, args);
    va_end(args);
    RWCString text;
    if (length > 0) {
        std::vector<char> buffer(static_cast<size_t>(length) + 1);
        std::vsnprintf(buffer.data(), buffer.size(), pattern, again);
        text = RWCString(buffer.data(), static_cast<size_t>(length));
    }
    va_end(again);
    return text;
}

// The time of day of a file time, in local time and the user's format.
RWCString timeOfDay(const FILETIME& time)
{
    FILETIME local = {};
    SYSTEMTIME parts = {};
    char text[kTimeTextSize] = {};
    if (FileTimeToLocalFileTime(&time, &local) && FileTimeToSystemTime(&local, &parts))
        GetTimeFormatA(LOCALE_USER_DEFAULT, 0, &parts, nullptr, text, kTimeTextSize);
    return RWCString(text);
}

// The comparison rule shared by every aspect: a and b are the statuses of this object and the other
// for the aspect, order the comparison of their values when both are known.
BFileInstaller::teError compareRule(BFileInstaller::teError a, BFileInstaller::teError b, int order)
{
    using F = BFileInstaller;
    if (a == F::FILE_OK && b == F::FILE_OK)
        return order > 0 ? F::FILE_OK : F::FILE_FALSE;
    // Exactly one missing: the present one must be installed, or the missing one replaced.
    if ((a == F::FILE_OK && b == F::FILE_NOT_FOUND) || (a == F::FILE_NOT_FOUND && b == F::FILE_OK))
        return F::FILE_OK;
    return a != F::FILE_OK ? a : b;
}

int compareVersionWords(const VS_FIXEDFILEINFO& a, const VS_FIXEDFILEINFO& b)
{
    const auto msA = static_cast<long>(static_cast<int>(a.dwFileVersionMS));
    const auto msB = static_cast<long>(static_cast<int>(b.dwFileVersionMS));
    if (msA != msB)
        return msA > msB ? 1 : -1;
    if (a.dwFileVersionLS != b.dwFileVersionLS)
        return a.dwFileVersionLS > b.dwFileVersionLS ? 1 : -1;
    return 0;
}

} // namespace

BFileInstaller::BFileInstaller()
    : m_install(&BFileInstaller::copyInstall), m_compare(&BFileInstaller::compareFileVersion)
{}

BFileInstaller::BFileInstaller(RWCString sourceDir, RWCString destDir, FileFunction compare, FileFunction installer)
    : m_install(installer), m_compare(compare), m_destDir(destDir), m_sourceDir(sourceDir)
{}

BFileInstaller::BFileInstaller(const BFileInstaller&) = default;
BFileInstaller& BFileInstaller::operator=(const BFileInstaller&) = default;
BFileInstaller::~BFileInstaller() = default;

BFileInstaller::teError BFileInstaller::install(BStringVector& names)
{
    teError result = FILE_OK;
    for (unsigned int i = 0; i < names.entries(); ++i) {
        RWCString source = m_sourceDir + "\\" + names[i];
        RWCString destination = m_destDir + "\\" + names[i];
        if ((this->*m_compare)(source, destination) != FILE_OK)
            continue;
        const teError installed = (this->*m_install)(source, destination);
        if (installed == FILE_OK)
            continue;
        RAVEL_LOG(CAT_GENERAL, TYPE_ERROR, LEVEL_RELEASE, kInstallFailed);
        if (result == FILE_OK)
            result = installed;
    }
    return result;
}

BFileInstaller::teError BFileInstaller::isCurrent(BStringVector& names)
{
    for (unsigned int i = 0; i < names.entries(); ++i) {
        RWCString source = m_sourceDir + "\\" + names[i];
        RWCString destination = m_destDir + "\\" + names[i];
        const teError compared = (this->*m_compare)(source, destination);
        // The comparison's yes (install it) is the check's no (not current).
        if (compared == FILE_OK) {
            RAVEL_LOG(CAT_GENERAL, TYPE_INFO, LEVEL_RELEASE, kNotCurrent + source + kDestLabel + destination);
            return FILE_FALSE;
        }
        if (compared != FILE_FALSE)
            return compared;
    }
    return FILE_OK;
}

BFileInstaller::teError BFileInstaller::copyInstall(RWCString& source, RWCString& destination)
{
    // A read-only, hidden or system copy must not stop the overwrite.
    if (!SetFileAttributesA(destination.data(), FILE_ATTRIBUTE_NORMAL) && GetLastError() != ERROR_FILE_NOT_FOUND) {
        RAVEL_LOG_LAST_ERROR(CAT_GENERAL, TYPE_ERROR, LEVEL_RELEASE, kSetAttributesFailure);
        RAVEL_LOG(CAT_GENERAL, TYPE_ERROR, LEVEL_RELEASE, kDestFileLabel + destination);
    }
    if (CopyFileA(source.data(), destination.data(), FALSE))
        return FILE_OK;
    RAVEL_LOG_LAST_ERROR(CAT_GENERAL, TYPE_ERROR, LEVEL_RELEASE, kCopyFileFailure);
    RAVEL_LOG(CAT_GENERAL, TYPE_ERROR, LEVEL_RELEASE, kDestFileLabel + destination);
    RAVEL_LOG(CAT_GENERAL, TYPE_ERROR, LEVEL_RELEASE, kSrcFileLabel + source);
    return FILE_API_FAILURE;
}

BFileInstaller::teError BFileInstaller::rebootCopyInstall(RWCString& source, RWCString& destination)
{
    if (!SetFileAttributesA(destination.data(), FILE_ATTRIBUTE_NORMAL)) {
        RAVEL_LOG_LAST_ERROR(CAT_GENERAL, TYPE_ERROR, LEVEL_RELEASE, kSetAttributesFailure);
        RAVEL_LOG(CAT_GENERAL, TYPE_ERROR, LEVEL_RELEASE, kDestFileLabel + destination);
    }
    sysFileStructure files;
    if (files.CopyOnReboot(source, destination))
        return FILE_OK;
    RAVEL_LOG(CAT_GENERAL, TYPE_ERROR, LEVEL_RELEASE, kRebootCopyFailure);
    return FILE_API_FAILURE;
}

BFileInstaller::teError BFileInstaller::compareTimeStamp(RWCString& first, RWCString& second)
{
    BFileInfo a(first), b(second);
    return a.compareTime(b);
}

BFileInstaller::teError BFileInstaller::compareVersionStamp(RWCString& first, RWCString& second)
{
    BFileInfo a(first), b(second);
    return a.compareVersionString(b);
}

BFileInstaller::teError BFileInstaller::compareFileVersion(RWCString& first, RWCString& second)
{
    const teError byVersion = compareVersionStamp(first, second);
    return byVersion == FILE_NO_VERSION_INFO ? compareTimeStamp(first, second) : byVersion;
}

void BFileInstaller::logFileInfo(BStringVector& names)
{
    RAVEL_LOG(CAT_GENERAL, TYPE_ERROR, LEVEL_RELEASE, kLogFileInfoEntry);
    for (unsigned int i = 0; i < names.entries(); ++i) {
        BFileInfo source(m_sourceDir + "\\" + names[i]), destination(m_destDir + "\\" + names[i]);
        RWCString text;
        source.toString(&text);
        RAVEL_LOG(CAT_GENERAL, TYPE_ERROR, LEVEL_RELEASE, kSourceLabel + text);
        destination.toString(&text);
        RAVEL_LOG(CAT_GENERAL, TYPE_ERROR, LEVEL_RELEASE, kDestinationLabel + text);
    }
}

void BFileInstaller::outputFileInfo(BStringVector& names)
{
    for (unsigned int i = 0; i < names.entries(); ++i) {
        BFileInfo source(m_sourceDir + "\\" + names[i]), destination(m_destDir + "\\" + names[i]);
        std::fputs(kSrcOutput, stdout);
        source.display();
        std::fputs(kDestOutput, stdout);
        destination.display();
    }
}

RWCString& BFileInstaller::getDestDir() { return m_destDir; }

RWCString& BFileInstaller::getSourceDir() { return m_sourceDir; }

BFileInstaller::BFileInfo::BFileInfo()
    : m_creationTime(), m_lastAccessTime(), m_lastWriteTime(), m_fixedFileInfo(), m_openStatus(FILE_NOT_FOUND),
      m_timeStatus(FILE_NOT_FOUND), m_versionStatus(FILE_NOT_FOUND)
{}

BFileInstaller::BFileInfo::BFileInfo(RWCString path)
    : m_path(path), m_creationTime(), m_lastAccessTime(), m_lastWriteTime(), m_fixedFileInfo(),
      m_openStatus(FILE_API_FAILURE), m_timeStatus(FILE_API_FAILURE), m_versionStatus(FILE_API_FAILURE)
{
    ravel::FileHandle file;
    m_openStatus = openFile(m_path, file.receive());
    if (m_openStatus != FILE_OK)
        return;
    HANDLE handle = file.get();
    m_timeStatus = getTimeStamp(handle, &m_creationTime, &m_lastAccessTime, &m_lastWriteTime);
    m_versionStatus = getVersionStamp(m_path, &m_fixedFileInfo, &m_versionString);
}

BFileInstaller::BFileInfo::BFileInfo(const BFileInfo&) = default;
BFileInstaller::BFileInfo& BFileInstaller::BFileInfo::operator=(const BFileInfo&) = default;
BFileInstaller::BFileInfo::~BFileInfo() = default;

BFileInstaller::teError BFileInstaller::BFileInfo::openFile(RWCString& path, HANDLE* handle)
{
    // No data access: the handle is only for the times, and must not collide with other users.
    *handle = CreateFileA(path.data(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (*handle != INVALID_HANDLE_VALUE)
        return FILE_OK;
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND)
        return FILE_NOT_FOUND;
    RAVEL_LOG_CODE(CAT_GENERAL, TYPE_ERROR, LEVEL_RELEASE, kCreateFileFailure, error);
    return FILE_API_FAILURE;
}

BFileInstaller::teError BFileInstaller::BFileInfo::getTimeStamp(HANDLE& handle, FILETIME* creation,
                                                                FILETIME* lastAccess, FILETIME* lastWrite)
{
    if (GetFileTime(handle, creation, lastAccess, lastWrite))
        return FILE_OK;
    RAVEL_LOG_LAST_ERROR(CAT_GENERAL, TYPE_ERROR, LEVEL_RELEASE, kGetFileTimeFailure);
    return FILE_API_FAILURE;
}

BFileInstaller::teError BFileInstaller::BFileInfo::getVersionStamp(RWCString& path, VS_FIXEDFILEINFO* fixed,
                                                                   RWCString* text)
{
    unsigned long size = 0;
    std::vector<char> block = ravel::sizedCall<char>(
        [&path](char* buffer, unsigned long length) -> unsigned long {
            DWORD ignored = 0;
            if (buffer == nullptr)
                return GetFileVersionInfoSizeA(path.data(), &ignored);
            return GetFileVersionInfoA(path.data(), 0, length, buffer) != FALSE;
        },
        &size);
    if (size == 0) {
        fixed->dwSignature = 0;
        return FILE_NO_VERSION_INFO;
    }
    if (block.empty()) {
        RAVEL_LOG_LAST_ERROR(CAT_GENERAL, TYPE_ERROR, LEVEL_RELEASE, kGetFileVersionFailure);
        RAVEL_LOG(CAT_GENERAL, TYPE_ERROR, LEVEL_RELEASE, kFileNameLabel + path);
        fixed->dwSignature = 0;
        return FILE_API_FAILURE;
    }
    void* value = nullptr;
    UINT valueLength = 0;
    if (!VerQueryValueA(block.data(), kRootBlock, &value, &valueLength) || value == nullptr ||
        valueLength < sizeof(VS_FIXEDFILEINFO)) {
        RAVEL_LOG_LAST_ERROR(CAT_GENERAL, TYPE_ERROR, LEVEL_RELEASE, kVerQueryValueFailure);
        RAVEL_LOG(CAT_GENERAL, TYPE_ERROR, LEVEL_RELEASE, kFileNameLabel + path);
        fixed->dwSignature = 0;
        return FILE_API_FAILURE;
    }
    *fixed = *static_cast<const VS_FIXEDFILEINFO*>(value);

    char query[64];
    for (const unsigned short language : kLanguages) {
        for (const unsigned short codePage : kCodePages) {
            std::snprintf(query, sizeof query, kStringQuery, language, codePage, kFileVersionName);
            if (!VerQueryValueA(block.data(), query, &value, &valueLength) || value == nullptr)
                continue;
            *text = static_cast<const char*>(value);
            RAVEL_LOG(CAT_GENERAL, TYPE_INFO, LEVEL_OMEGA,
                      path + format(kVersionFound, text->data(), language, codePage));
            return FILE_OK;
        }
    }
    RAVEL_LOG_LAST_ERROR(CAT_GENERAL, TYPE_ERROR, LEVEL_RELEASE, kVerQueryValueFailure);
    RAVEL_LOG(CAT_GENERAL, TYPE_ERROR, LEVEL_RELEASE, kFileNameLabel + path);
    return FILE_API_FAILURE;
}

BFileInstaller::teError BFileInstaller::BFileInfo::exists() { return m_openStatus; }

BFileInstaller::teError BFileInstaller::BFileInfo::getTimeStamp(FILETIME* lastWrite)
{
    if (m_openStatus != FILE_OK)
        return m_openStatus;
    if (lastWrite != nullptr)
        *lastWrite = m_lastWriteTime;
    return m_timeStatus;
}

BFileInstaller::teError BFileInstaller::BFileInfo::getVersionStamp(unsigned __int64* version)
{
    if (m_openStatus != FILE_OK)
        return m_openStatus;
    if (version != nullptr)
        *version =
            (static_cast<unsigned __int64>(m_fixedFileInfo.dwFileVersionMS) << 32) | m_fixedFileInfo.dwFileVersionLS;
    return m_versionStatus;
}

BFileInstaller::teError BFileInstaller::BFileInfo::getVersionStampString(RWCString* version)
{
    if (m_openStatus != FILE_OK)
        return m_openStatus;
    *version = m_versionString;
    return m_versionStatus;
}

BFileInstaller::teError BFileInstaller::BFileInfo::compareTime(BFileInfo& other)
{
    const teError a = m_openStatus != FILE_OK ? m_openStatus : m_timeStatus;
    const teError b = other.m_openStatus != FILE_OK ? other.m_openStatus : other.m_timeStatus;
    return compareRule(a, b, CompareFileTime(&m_lastWriteTime, &other.m_lastWriteTime));
}

BFileInstaller::teError BFileInstaller::BFileInfo::compareVersion(BFileInfo& other)
{
    const teError a = m_openStatus != FILE_OK ? m_openStatus : m_versionStatus;
    const teError b = other.m_openStatus != FILE_OK ? other.m_openStatus : other.m_versionStatus;
    return compareRule(a, b, compareVersionWords(m_fixedFileInfo, other.m_fixedFileInfo));
}

BFileInstaller::teError BFileInstaller::BFileInfo::compareVersionString(BFileInfo& other)
{
    const teError a = m_openStatus != FILE_OK ? m_openStatus : m_versionStatus;
    const teError b = other.m_openStatus != FILE_OK ? other.m_openStatus : other.m_versionStatus;
    return compareRule(a, b, compareVersionString(m_versionString, other.m_versionString) == FILE_OK ? 1 : 0);
}

BFileInstaller::teError BFileInstaller::BFileInfo::compareVersionString(RWCString& first, RWCString& second)
{
    return ravel::versionTextIsNewer(first, second) ? FILE_OK : FILE_FALSE;
}

void BFileInstaller::BFileInfo::toString(RWCString* text)
{
    if (text == nullptr)
        return;
    if (m_openStatus != FILE_OK) {
        *text = "\n" + m_path + kNotExist;
        return;
    }
    RWCString out = "\n" + m_path + "\n";
    out += kCreationLabel + timeOfDay(m_creationTime) + "\n";
    out += kLastWriteLabel + timeOfDay(m_lastWriteTime) + "\n";
    out += kLastAccessLabel + timeOfDay(m_lastAccessTime) + "\n";
    out += format(kVersionWords, static_cast<unsigned>(m_fixedFileInfo.dwFileVersionMS),
                  static_cast<unsigned>(m_fixedFileInfo.dwFileVersionLS));
    out += format(kVersionText, m_versionString.data());
    *text = out;
}

void BFileInstaller::BFileInfo::display()
{
    RWCString text;
    toString(&text);
    std::fwrite(text.data(), 1, text.length(), stdout);
    std::fflush(stdout);
}
