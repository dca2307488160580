// Cabinet extraction over the cabinet engine, with the runtime's descriptor file functions as the
// engine's file callbacks and plain malloc/free as its memory.
#include "BCabExtractor.h"
#include "sysFileStructure.h"

#include "archive_names.h"
#include "fdi_crt.h"
#include "internal/win/WinHandle.h"
#include "internal/win/WinPath.h"

#include <sys/stat.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

const char* const kEnterInitialize = "ZEVAR: enter BCabExtractor::initialize";
const char* const kEnterCopy2 = "ZEVAR: enter BCabExtractor::copy2";
const char* const kEnterCopy1 = "ZEVAR: enter BCabExtractor::copy1";
const char* const kFailCopy = "ZEVAR: fail copy:  ";
const char* const kFailCopyRecord = "\n  erf = ";
const char* const kOpenFailure = "ZEVAR: cab extract file_open failure = ";
const char* const kExtracting = "ZEVAR: cab extracting  = ";
const char* const kNoFinder = "ZEVAR: invalid cab file finder function";
const char* const kCabinetNotFound = "ZEVAR: Cab file not found.";
const char* const kPathTooLong = "ZEVAR: cab file and path length too large";
const char* const kUnsafeName = "ZEVAR: unsafe file name refused = ";

const char* const kErrorTexts[] = {"No error",
                                   "Cabinet not found",
                                   "Not a cabinet",
                                   "Unknown cabinet version",
                                   "Corrupt cabinet",
                                   "Memory allocation failed",
                                   "Unknown compression type",
                                   "Failure decompressing data",
                                   "Failure writing to target file",
                                   "Cabinets in set have different RESERVE sizes",
                                   "Cabinet returned on fdintNEXT_CABINET is incorrect",
                                   "User aborted"};
const char* const kUnknownError = "Unknown error";

const char* const kSummaryFormat = "Information in cabinet file '%s'\n"
                                   "   Total length of cabinet file : %d\n"
                                   "   Number of folders in cabinet : %d\n"
                                   "   Number of files in cabinet   : %d\n"
                                   "   Cabinet set ID               : %d\n"
                                   "   Cabinet number in set        : %d\n"
                                   "   RESERVE area in cabinet?     : %s\n"
                                   "   Chained to prev cabinet?     : %s\n"
                                   "   Chained to next cabinet?     : %s\n\n";
const char* const kCabinetInfoFormat = "fdintCABINET_INFO\n"
                                       "  next cabinet     = %s\n"
                                       "  next disk        = %s\n"
                                       "  cabinet path     = %s\n"
                                       "  cabinet set ID   = %d\n"
                                       "  cabinet # in set = %d (zero based)\n\n";
const char* const kPartialFileFormat = "fdintPARTIAL_FILE\n"
                                       "   name of continued file            = %s\n"
                                       "   name of cabinet where file starts = %s\n"
                                       "   name of disk where file starts    = %s\n";
const char* const kNextCabinetFormat = "fdintNEXT_CABINET\n"
                                       "   name of next cabinet where file continued = %s\n"
                                       "   name of next disk where file continued    = %s\n"
                                       "   cabinet path name                         = %s\n\n";

constexpr std::size_t kMaxCabinetPath = 255;
constexpr unsigned kKeptAttributes =
    FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE;

std::vector<char> mutableText(const RWCString& s) { return std::vector<char>(s.data(), s.data() + s.length() + 1); }

const char* orEmpty(const char* s) { return s != nullptr ? s : ""; }

struct ExtractionContext
{
    BCabExtractor::FileFilter filter;
    void* filterData;
    BCabExtractor::CabinetFinder finder;
    void* finderData;
    RWCString destination;
    // The file being written, until the engine hands it back: a copy that fails before then
    // leaves no partial file behind.
    std::wstring target;
    bool writing = false;
};

void logUnsafeName(const char* name)
{
    RAVEL_LOG(LogInterface::CAT_PRNTPATH, LogInterface::TYPE_ERROR, LogInterface::LEVEL_RELEASE,
              RWCString(kUnsafeName) + RWCString(name));
}

// Destination + stored name as the file system sees it: a name flagged as UTF-8 spells its
// characters; any other name is taken in the system's code page, as the destination is.
std::wstring targetPath(const RWCString& destination, const FDINOTIFICATION* n)
{
    std::wstring path = ravel::widened(destination.data(), CP_ACP);
    if (n->attribs & _A_NAME_IS_UTF) {
        std::u16string name;
        cabinet::decodeUtf8(n->psz1, name);
        path.append(name.begin(), name.end());
    } else {
        path += ravel::widened(n->psz1, CP_ACP);
    }
    return path;
}

FDI_INT_PTR copyFile(ExtractionContext& c, const FDINOTIFICATION* n)
{
    if (c.destination.length() == 0 || c.filter == nullptr)
        return 0;
    // Judged before the caller's filter sees it: a filter may well act on the name.
    if (cabinet::isUnsafeArchiveName(n->psz1, (n->attribs & _A_NAME_IS_UTF) != 0)) {
        logUnsafeName(n->psz1);
        return -1;
    }
    if (!c.filter(RWCString(n->psz1), c.filterData))
        return 0;
    const RWCString target = c.destination + RWCString(n->psz1);
    c.target = targetPath(c.destination, n);
    int fd =
        _wopen(c.target.c_str(), _O_BINARY | _O_WRONLY | _O_SEQUENTIAL | _O_CREAT | _O_TRUNC, _S_IREAD | _S_IWRITE);
    if (fd == -1) {
        RAVEL_LOG_DATA(LogInterface::CAT_PRNTPATH, LogInterface::TYPE_ERROR, LogInterface::LEVEL_RELEASE,
                       RWCString(kOpenFailure) + target, &fd, sizeof fd);
        return -1;
    }
    c.writing = true;
    RAVEL_LOG(LogInterface::CAT_GENERAL, LogInterface::TYPE_INFO, LogInterface::LEVEL_RELEASE,
              RWCString(kExtracting) + target);
    return fd;
}

FDI_INT_PTR closeFile(ExtractionContext& c, const FDINOTIFICATION* n)
{
    const std::wstring target = targetPath(c.destination, n);
    _close(static_cast<int>(n->hf));
    c.writing = false;
    // Times and attributes are a courtesy: their failures do not fail the extraction.
    const ravel::FileHandle file(
        CreateFileW(target.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    if (file) {
        FILETIME local;
        FILETIME utc;
        if (DosDateTimeToFileTime(n->date, n->time, &local) && LocalFileTimeToFileTime(&local, &utc))
            SetFileTime(file.get(), &utc, nullptr, &utc);
    }
    SetFileAttributesW(target.c_str(), n->attribs & kKeptAttributes);
    return 1;
}

FDI_INT_PTR nextCabinet(const ExtractionContext& c, FDINOTIFICATION* n)
{
    // The next cabinet's name comes from the cabinet: it must not lead the finder, or the engine,
    // out of the set's directory.
    if (cabinet::isUnsafeArchiveName(n->psz1)) {
        logUnsafeName(n->psz1);
        return -1;
    }
    if (c.finder == nullptr) {
        RAVEL_LOG(LogInterface::CAT_GENERAL, LogInterface::TYPE_INFO, LogInterface::LEVEL_RELEASE, kNoFinder);
        return -1;
    }
    RWCString found;
    if (!c.finder(RWCString(n->psz2), RWCString(n->psz1), RWCString(n->psz3), &found, c.finderData)) {
        RAVEL_LOG(LogInterface::CAT_GENERAL, LogInterface::TYPE_INFO, LogInterface::LEVEL_RELEASE, kCabinetNotFound);
        return -1;
    }
    if (found.length() > kMaxCabinetPath) {
        RAVEL_LOG(LogInterface::CAT_GENERAL, LogInterface::TYPE_INFO, LogInterface::LEVEL_RELEASE, kPathTooLong);
        return -1;
    }
    std::memcpy(n->psz3, found.data(), found.length() + 1);
    return 0;
}

FNFDINOTIFY(copyNotify)
{
    auto* c = static_cast<ExtractionContext*>(pfdin->pv);
    switch (fdint) {
    case fdintCOPY_FILE:
        return copyFile(*c, pfdin);
    case fdintCLOSE_FILE_INFO:
        return closeFile(*c, pfdin);
    case fdintNEXT_CABINET:
        return nextCabinet(*c, pfdin);
    default:
        return 0;
    }
}

FNFDINOTIFY(listNotify) { return static_cast<BCabExtractor*>(pfdin->pv)->outputNotification(fdint, pfdin); }

bool inList(RWCString fileName, void* names)
{
    return static_cast<const BStringVector*>(names)->find(fileName, false) != static_cast<unsigned int>(-1);
}

} // namespace

BCabExtractor::BCabExtractor()
    : m_hfdi(nullptr), m_erf(), m_cabinetInfo(), m_nextCabinetExists(false), m_cabinetInfoNotification(),
      m_partialFileNotification(), m_nextCabinetNotification()
{}

BCabExtractor::BCabExtractor(const BCabExtractor& other) : LogInterface(other), m_hfdi(nullptr) { takeFields(other); }

BCabExtractor& BCabExtractor::operator=(const BCabExtractor& other)
{
    if (this != &other) {
        destroyContext();
        LogInterface::operator=(other);
        takeFields(other);
    }
    return *this;
}

BCabExtractor::~BCabExtractor() { destroyContext(); }

void BCabExtractor::takeFields(const BCabExtractor& other)
{
    m_erf = other.m_erf;
    m_cabinetInfo = other.m_cabinetInfo;
    m_cabinetFileName = other.m_cabinetFileName;
    m_cabinetDirectory = other.m_cabinetDirectory;
    m_contents = other.m_contents;
    m_nextCabinetName = other.m_nextCabinetName;
    m_nextCabinetExists = other.m_nextCabinetExists;
    m_cabinetInfoNotification = FDINOTIFICATION();
    m_partialFileNotification = FDINOTIFICATION();
    m_nextCabinetNotification = FDINOTIFICATION();
}

bool BCabExtractor::destroyContext()
{
    if (m_hfdi == nullptr)
        return true;
    const bool destroyed = FDIDestroy(m_hfdi) != 0;
    m_hfdi = nullptr;
    // The stored records' texts lived in the context.
    for (FDINOTIFICATION* n : {&m_cabinetInfoNotification, &m_partialFileNotification, &m_nextCabinetNotification})
        n->psz1 = n->psz2 = n->psz3 = nullptr;
    return destroyed;
}

int BCabExtractor::initialize(RWCString cabinetPath)
{
    RAVEL_LOG(CAT_GENERAL, TYPE_INFO, LEVEL_RELEASE, kEnterInitialize);
    destroyContext();
    m_hfdi = fdi_crt::create(&m_erf);
    if (m_hfdi == nullptr)
        return 0;

    const int fd = _open(cabinetPath.data(), _O_BINARY | _O_RDONLY | _O_SEQUENTIAL);
    if (fd == -1) {
        destroyContext();
        return 0;
    }
    const bool isCabinet = FDIIsCabinet(m_hfdi, fd, &m_cabinetInfo) != 0;
    _close(fd);
    if (!isCabinet) {
        destroyContext();
        return 0;
    }

    sysFileStructure::getFileNameAndPath(cabinetPath, &m_cabinetFileName, &m_cabinetDirectory, '\\');
    m_cabinetInfoNotification = FDINOTIFICATION();
    m_partialFileNotification = FDINOTIFICATION();
    m_nextCabinetNotification = FDINOTIFICATION();

    std::vector<char> name = mutableText(m_cabinetFileName);
    std::vector<char> directory = mutableText(m_cabinetDirectory);
    if (!FDICopy(m_hfdi, name.data(), directory.data(), 0, listNotify, nullptr, this)) {
        destroyContext();
        return 0;
    }
    m_nextCabinetExists = m_cabinetInfo.hasnext != 0;
    m_nextCabinetName = RWCString(m_cabinetInfoNotification.psz1);
    return 1;
}

int BCabExtractor::uninitialize()
{
    if (m_hfdi == nullptr)
        return 1;
    return destroyContext() ? 1 : 0;
}

int BCabExtractor::copy(RWCString destination, FileFilter filter, void* filterData, CabinetFinder finder,
                        void* finderData)
{
    RAVEL_LOG(CAT_GENERAL, TYPE_INFO, LEVEL_RELEASE, kEnterCopy2);
    if (m_hfdi == nullptr)
        return 0;
    ExtractionContext context{filter, filterData, finder, finderData, destination, std::wstring(), false};
    std::vector<char> name = mutableText(m_cabinetFileName);
    std::vector<char> directory = mutableText(m_cabinetDirectory);
    if (FDICopy(m_hfdi, name.data(), directory.data(), 0, copyNotify, nullptr, &context))
        return 1;
    // The engine has closed the file it was writing; what it holds is only a part.
    if (context.writing)
        DeleteFileW(context.target.c_str());

    const RWCString text = RWCString(kFailCopy) + return_fdi_error_string(static_cast<FDIERROR>(m_erf.erfOper)) +
                           RWCString(kFailCopyRecord);
    RAVEL_LOG_DATA(CAT_PRNTPATH, TYPE_ERROR, LEVEL_RELEASE, text, &m_erf, sizeof m_erf);
    destroyContext();
    return 0;
}

int BCabExtractor::copy(RWCString destination, BStringVector fileNames, CabinetFinder finder, void* finderData)
{
    RAVEL_LOG(CAT_GENERAL, TYPE_INFO, LEVEL_RELEASE, kEnterCopy1);
    return copy(destination, inList, &fileNames, finder, finderData);
}

int BCabExtractor::outputNotification(FDINOTIFICATIONTYPE type, PFDINOTIFICATION notification)
{
    switch (type) {
    case fdintCABINET_INFO:
        m_cabinetInfoNotification = *notification;
        break;
    case fdintPARTIAL_FILE:
        m_partialFileNotification = *notification;
        break;
    case fdintCOPY_FILE:
        m_contents.insert(RWCString(notification->psz1));
        break;
    case fdintNEXT_CABINET:
        m_nextCabinetNotification = *notification;
        break;
    default:
        break;
    }
    return 0;
}

RWCString BCabExtractor::return_fdi_error_string(FDIERROR code)
{
    const int index = static_cast<int>(code);
    if (index < 0 || index >= static_cast<int>(sizeof kErrorTexts / sizeof kErrorTexts[0]))
        return kUnknownError;
    return kErrorTexts[index];
}

BStringVector& BCabExtractor::getContents() { return m_contents; }
RWCString& BCabExtractor::getNextCabinetName() { return m_nextCabinetName; }
bool BCabExtractor::getNextCabinetExists() { return m_nextCabinetExists; }
ERF& BCabExtractor::getErrorInfo() { return m_erf; }

void BCabExtractor::printOutSummaryInfo()
{
    if (m_hfdi == nullptr)
        return;
    auto yesNo = [](FDI_BOOL flag) { return flag == 1 ? "yes" : "no"; };
    std::printf(kSummaryFormat, m_cabinetFileName.data(), static_cast<int>(m_cabinetInfo.cbCabinet),
                static_cast<int>(m_cabinetInfo.cFolders), static_cast<int>(m_cabinetInfo.cFiles),
                static_cast<int>(m_cabinetInfo.setID), static_cast<int>(m_cabinetInfo.iCabinet),
                yesNo(m_cabinetInfo.fReserve), yesNo(m_cabinetInfo.hasprev), yesNo(m_cabinetInfo.hasnext));
}

int BCabExtractor::printCabNotificationInfo()
{
    const FDINOTIFICATION& info = m_cabinetInfoNotification;
    std::printf(kCabinetInfoFormat, orEmpty(info.psz1), orEmpty(info.psz2), orEmpty(info.psz3),
                static_cast<int>(info.setID), static_cast<int>(info.iCabinet));
    const FDINOTIFICATION& partial = m_partialFileNotification;
    std::printf(kPartialFileFormat, orEmpty(partial.psz1), orEmpty(partial.psz2), orEmpty(partial.psz3));
    const FDINOTIFICATION& next = m_nextCabinetNotification;
    std::printf(kNextCabinetFormat, orEmpty(next.psz1), orEmpty(next.psz2), orEmpty(next.psz3));
    return 1;
}
