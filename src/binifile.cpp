#include "BIniFile.h"

#include "RavelConvert.h"
#include "internal/config/IniText.h"
#include "internal/win/WinCall.h"
#include "internal/win/WinHandle.h"
#include "sysFileStructure.h"

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace {

const char kNullName[] = "BIniFile: Constructor - File name is null.";
const char kFound[] = "BIniFile: Constructor - File Found";
const char kNotFound[] = "BIniFile: Constructor - File NOT Found";
const char kDirectoryCreated[] = "BIniFile: Constructor - Directory created.";
const char kFileCreated[] = "BIniFile: Constructor - File created.";
const char kFileNameNull[] = "BIniFile: FileName is null.";
const char kSectionRead[] = "BIniFile.bGetSection: (";
const char kSectionFailed[] = "BIniFile.bGetSection: FAILED";
const char kSectionToken[] = "BIniFile.bGetSection: Tokens :(";
const char kWriteString[] = "BIniFile.bWriteString: section (";
const char kNulMissing[] = "BIniFile::bWriteNULKeyStringVector: File DOESN'T exist.";
const char kNulExists[] = "BIniFile::bWriteNULKeyStringVector: File exists.";
const char kNulMoveFailed[] = "BIniFile::bWriteNULKeyStringVector: Unable to move the temporary ini file.";

const char kKeyNotFound[] = "Key Not Found";
const char kTemporaryFile[] = "qvknul.ini";
const char kBesideSuffix[] = ".qvknul";
// A key's text: 254 characters and the terminator.
const DWORD kValueBufferSize = 255;
const DWORD kSectionBufferSize = 0x7FFF;

// The name under the current directory, where the profile functions would otherwise look in the
// Windows directory for a bare name.
RWCString inCurrentDirectory(const RWCString& fileName)
{
    sysFileStructure files;
    RWCString cwd;
    files.getCwd(cwd);
    return cwd + "\\" + fileName;
}

// The whole file, or false when it cannot be opened.
bool readWholeFile(const RWCString& path, std::string& bytes)
{
    const std::unique_ptr<std::FILE, decltype(&std::fclose)> file(std::fopen(path.data(), "rb"), &std::fclose);
    if (!file)
        return false;
    char buffer[4096];
    for (size_t got; (got = std::fread(buffer, 1, sizeof buffer, file.get())) > 0;)
        bytes.append(buffer, got);
    return true;
}

bool writeWholeFile(const char* path, const std::string& bytes)
{
    const std::unique_ptr<std::FILE, decltype(&std::fclose)> file(std::fopen(path, "wb"), &std::fclose);
    if (!file)
        return false;
    return std::fwrite(bytes.data(), 1, bytes.size(), file.get()) == bytes.size();
}

} // namespace

BIniFile::BIniFile() = default;

BIniFile::BIniFile(RWCString fileName) : m_fileName(fileName)
{
    if (m_fileName.isNull()) {
        RAVEL_LOG(CAT_GENERAL, TYPE_INFO, LEVEL_RELEASE, kNullName);
        return;
    }
    WIN32_FIND_DATAA found;
    if (ravel::FindHandle(FindFirstFileA(m_fileName.data(), &found))) {
        RAVEL_LOG(CAT_GENERAL, TYPE_INFO, LEVEL_RELEASE, kFound + m_fileName);
        return;
    }
    RAVEL_LOG(CAT_GENERAL, TYPE_INFO, LEVEL_RELEASE, kNotFound);
    RWCString directory;
    getPathFromFullFileNameAndPath(m_fileName, directory);
    if (!ravel::FindHandle(FindFirstFileA(directory.data(), &found))) {
        if (!CreateDirectoryA(directory.data(), nullptr))
            return;
        RAVEL_LOG(CAT_GENERAL, TYPE_INFO, LEVEL_RELEASE, kDirectoryCreated + directory);
    }
    std::FILE* file = std::fopen(m_fileName.data(), "w");
    if (file == nullptr) {
        m_fileName = RWCString();
        return;
    }
    std::fclose(file);
    RAVEL_LOG(CAT_GENERAL, TYPE_INFO, LEVEL_RELEASE, kFileCreated + m_fileName);
}

BIniFile::BIniFile(const BIniFile&) = default;
BIniFile& BIniFile::operator=(const BIniFile&) = default;
BIniFile::~BIniFile() = default;

bool BIniFile::bSetFileName(RWCString fileName)
{
    if (fileName.isNull())
        return false;
    m_fileName = fileName;
    return true;
}

bool BIniFile::fileNameSet()
{
    if (!m_fileName.isNull())
        return true;
    RAVEL_LOG(CAT_GENERAL, TYPE_ASSERT, LEVEL_FINAL, kFileNameNull);
    return false;
}

void BIniFile::getPathFromFullFileNameAndPath(RWCString fullPath, RWCString& directory)
{
    directory = ravel::iniDirectoryPart(fullPath);
}

void BIniFile::getKeyFromPair(RWCString pair, RWCString& key) { key = ravel::iniKeyFromPair(pair); }

void BIniFile::getValueFromPair(RWCString pair, RWCString& value) { value = ravel::iniValueFromPair(pair); }

RWCString BIniFile::convertToEightDotThree(RWCString path)
{
    // A buffer as long as the path: only a form shorter than the path fits.
    const DWORD room = static_cast<DWORD>(path.length());
    if (room == 0)
        return RWCString();
    std::vector<char> buffer(room);
    const DWORD length = GetShortPathNameA(path.data(), buffer.data(), room);
    if (length == 0 || length >= room)
        return RWCString();
    return RWCString(buffer.data(), length);
}

bool BIniFile::bGetString(RWCString section, RWCString key, RWCString& value)
{
    if (!fileNameSet() || section.isNull() || key.isNull())
        return false;
    char buffer[kValueBufferSize] = {};
    DWORD count =
        GetPrivateProfileStringA(section.data(), key.data(), kKeyNotFound, buffer, kValueBufferSize, m_fileName.data());
    RWCString text(buffer, count);
    if (count == 0 || text.compareTo(kKeyNotFound) == 0) {
        count = GetPrivateProfileStringA(section.data(), key.data(), kKeyNotFound, buffer, kValueBufferSize,
                                         inCurrentDirectory(m_fileName).data());
        text = RWCString(buffer, count);
    }
    if (count == 0 || text.compareTo(kKeyNotFound) == 0) {
        value = RWCString();
        return false;
    }
    value = text;
    return true;
}

bool BIniFile::bGetInt(RWCString section, RWCString key, int& value)
{
    if (!fileNameSet() || section.isNull() || key.isNull())
        return false;
    value = 0;
    const UINT number = GetPrivateProfileIntA(section.data(), key.data(), 0, m_fileName.data());
    if (number == 0)
        return false;
    value = static_cast<int>(number);
    return true;
}

bool BIniFile::bGetSection(RWCString section, BStringVector& lines, bool skipComments)
{
    if (!fileNameSet())
        return false;
    RAVEL_LOG(CAT_GENERAL, TYPE_INFO, LEVEL_RELEASE, kSectionRead + section + ")");
    if (section.isNull())
        return false;
    std::vector<char> buffer(kSectionBufferSize);
    const DWORD count = GetPrivateProfileSectionA(section.data(), buffer.data(), kSectionBufferSize,
                                                  inCurrentDirectory(m_fileName).data());
    if (count == 0) {
        RAVEL_LOG(CAT_GENERAL, TYPE_INFO, LEVEL_RELEASE, kSectionFailed);
        return false;
    }
    const BStringVector found = ravel::iniSectionLines(buffer.data(), count, skipComments);
    for (unsigned int i = 0; i < found.entries(); ++i) {
        RAVEL_LOG(CAT_GENERAL, TYPE_INFO, LEVEL_OMEGA, kSectionToken + found[i] + ")");
        lines.insert(found[i]);
    }
    return true;
}

bool BIniFile::bWriteString(RWCString section, RWCString key, RWCString value)
{
    if (!fileNameSet())
        return false;
    RAVEL_LOG(CAT_GENERAL, TYPE_INFO, LEVEL_RELEASE,
              kWriteString + section + ") key (" + key + ") outString(" + value + ")");
    if (section.isNull() || key.isNull() || value.isNull())
        return false;
    return WritePrivateProfileStringA(section.data(), key.data(), value.data(), m_fileName.data()) != FALSE;
}

bool BIniFile::bWriteInt(RWCString section, RWCString key, int value)
{
    if (!fileNameSet() || section.isNull() || key.isNull())
        return false;
    return bWriteString(section, key, iToRWCString(value, 10));
}

bool BIniFile::bWriteSection(RWCString section, BStringVector pairs)
{
    if (!fileNameSet() || section.isNull())
        return false;
    for (unsigned int i = 0; i < pairs.entries(); ++i) {
        RWCString key, value;
        getKeyFromPair(pairs[i], key);
        getValueFromPair(pairs[i], value);
        if (!bWriteString(section, key, value))
            return false;
    }
    return true;
}

bool BIniFile::bWriteNULKeyString(RWCString path)
{
    RWCString entry = convertToEightDotThree(path);
    if (entry.isNull())
        entry = path;
    BStringVector entries;
    entries.insert(entry);
    return bWriteNULKeyStringVector(entries);
}

bool BIniFile::bWriteNULKeyStringVector(BStringVector entries)
{
    std::string existing;
    if (!readWholeFile(m_fileName, existing)) {
        RAVEL_LOG(CAT_GENERAL, TYPE_INFO, LEVEL_OMEGA, kNulMissing + m_fileName);
        return writeWholeFile(m_fileName.data(), ravel::iniWithNulEntries(std::string(), entries));
    }
    RAVEL_LOG(CAT_GENERAL, TYPE_INFO, LEVEL_OMEGA, kNulExists + m_fileName);
    if (!writeWholeFile(kTemporaryFile, ravel::iniWithNulEntries(existing, entries)))
        return false;
    // The stored file keeps its content unless the copy takes its place in one replacing move.
    // The copy is built in the current directory, which may lie on another volume (where a move
    // would be a copy over the file), so it goes beside the stored file first.
    const RWCString beside = m_fileName + kBesideSuffix;
    if (!CopyFileA(kTemporaryFile, beside.data(), FALSE) ||
        !MoveFileExA(beside.data(), m_fileName.data(), MOVEFILE_REPLACE_EXISTING)) {
        RAVEL_LOG_LAST_ERROR(CAT_GENERAL, TYPE_ERROR, LEVEL_RELEASE, kNulMoveFailed);
        DeleteFileA(beside.data());
        return false;
    }
    DeleteFileA(kTemporaryFile);
    return true;
}
