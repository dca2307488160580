// The copy driver: reads the cabinet structures through the caller's file callbacks, reports each
// step through the notification callback, and feeds one data block at a time to the decoder of
// the folder's compression type. Memory comes only from the caller's allocation callback and does
// not depend on the size of the cabinet or of a file: one block in, one block out.
//
// Every number read from a cabinet is untrusted: offsets are range-checked before a seek, strings
// are read with a bound, and a block is taken only when it fits its buffer. Corrupt input ends in
// an error code.
#include "fdi.h"

#include <cstdint>
#include <cstring>
#include <new>

#include "archive_names.h"
#include "block_decoders.h"
#include "checksum.h"

#if defined(_WIN32) && !defined(_WIN64)
// The published 32-bit layouts, which callers compiled against that interface rely on.
static_assert(sizeof(ERF) == 12, "ERF layout");
static_assert(sizeof(FDICABINETINFO) == 24, "FDICABINETINFO layout");
static_assert(sizeof(FDINOTIFICATION) == 40, "FDINOTIFICATION layout");
static_assert(sizeof(FDIDECRYPT) == 32, "FDIDECRYPT layout");
#endif

namespace {

using cabinet::BlockDecoders;

constexpr std::size_t kContextBytes = 2052;
constexpr std::uint32_t kContextTag = 0x43494446u; // "FDIC"
constexpr std::size_t kHeaderSize = 36;
constexpr std::size_t kFileRecordSize = 16;
constexpr std::size_t kFolderFixedSize = 8;
constexpr std::size_t kDataFixedSize = 8;
// Blocks read ahead at most; the decoder's own room is usually less.
constexpr unsigned kMaxQueued = 4;
constexpr std::size_t kNameMax = 256; // a stored name or disk name with its terminator
constexpr std::size_t kPathMax = 257; // 256 characters of path and a terminator
constexpr std::uint16_t kVersion = 0x0103;
constexpr std::uint16_t kUnsetSize = 0xFFFF;
constexpr std::uint16_t kNoFolder = 0xFFFF;
constexpr std::uint16_t kFlagPrevious = 0x0001;
constexpr std::uint16_t kFlagNext = 0x0002;
constexpr std::uint16_t kFlagReserve = 0x0004;
constexpr std::uint16_t kFirstSpecialFolder = 0xFFFC;
constexpr std::uint16_t kContinuedFromPrevious = 0xFFFD;
constexpr std::uint16_t kContinuedToNext = 0xFFFE;
constexpr std::uint16_t kContinuedBoth = 0xFFFF;
constexpr long kAnyCabinet = -1;
constexpr FDI_INT_PTR kClosed = -1;
constexpr int kSeekSet = 0;
constexpr int kSeekCur = 1;
constexpr std::uint64_t kMaxOffset = 0x7FFFFFFF; // what the seek callback's 32-bit offset reaches
constexpr std::uint16_t kLastIndex = 0xFFFF;     // a cabinet at this index has no successor
// Attempts at one next cabinet before the copy gives up: a caller that keeps answering "go on"
// must not keep the copy alive for ever.
constexpr int kNextCabinetAttempts = 8;

std::uint16_t u16(const unsigned char* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }
std::uint32_t u32(const unsigned char* p)
{
    return std::uint32_t{p[0]} | (std::uint32_t{p[1]} << 8) | (std::uint32_t{p[2]} << 16) | (std::uint32_t{p[3]} << 24);
}

struct Header
{
    std::uint32_t cbCabinet = 0;
    std::uint32_t coffFiles = 0;
    std::uint16_t version = 0;
    std::uint16_t cFolders = 0;
    std::uint16_t cFiles = 0;
    std::uint16_t flags = 0;
    std::uint16_t setID = 0;
    std::uint16_t iCabinet = 0;
};

Header parseHeader(const unsigned char* raw)
{
    Header h;
    h.cbCabinet = u32(raw + 8);
    h.coffFiles = u32(raw + 16);
    h.version = u16(raw + 24);
    h.cFolders = u16(raw + 26);
    h.cFiles = u16(raw + 28);
    h.flags = u16(raw + 30);
    h.setID = u16(raw + 32);
    h.iCabinet = u16(raw + 34);
    return h;
}

std::size_t boundedLength(const char* text, std::size_t limit)
{
    const void* end = std::memchr(text, 0, limit);
    return end != nullptr ? static_cast<std::size_t>(static_cast<const char*>(end) - text) : limit;
}

bool isSignature(const unsigned char* raw) { return std::memcmp(raw, "MSCF", 4) == 0; }

struct FileRecord
{
    std::uint32_t cbFile = 0;
    std::uint32_t uoffFolderStart = 0;
    std::uint16_t iFolder = 0;
    std::uint16_t date = 0;
    std::uint16_t time = 0;
    std::uint16_t attribs = 0;
};

struct Names
{
    char previousCabinet[kNameMax] = {};
    char previousDisk[kNameMax] = {};
    char nextCabinet[kNameMax] = {};
    char nextDisk[kNameMax] = {};
};

struct Context
{
    std::uint32_t tag = kContextTag;
    PERF erf = nullptr;
    PFNALLOC alloc = nullptr;
    PFNFREE free = nullptr;
    PFNOPEN open = nullptr;
    PFNREAD read = nullptr;
    PFNWRITE write = nullptr;
    PFNCLOSE close = nullptr;
    PFNSEEK seek = nullptr;
    int cpuType = 0;

    PFNFDINOTIFY notify = nullptr;
    PFNFDIDECRYPT decrypt = nullptr;
    void* user = nullptr;

    FDI_INT_PTR hfList = kClosed; // header and file list
    FDI_INT_PTR hfData = kClosed; // folders and data blocks

    Header header;
    unsigned char* headerReserve = nullptr;
    std::uint16_t cbCFHeader = 0;
    std::uint8_t cbCFFolder = 0;
    std::uint8_t cbCFData = 0;
    std::uint16_t folderRecordSize = kUnsetSize; // fixed by the first cabinet of the context
    std::uint16_t dataHeaderSize = kUnsetSize;
    unsigned char* folderRecord = nullptr;
    unsigned char* dataHeader = nullptr;
    BlockDecoders decoders;

    std::uint32_t firstFolderPos = 0;
    std::uint32_t listPos = 0;
    std::uint16_t filesLeft = 0;
    std::uint16_t blocksLeft = 0;
    std::uint16_t currentFolder = kNoFolder;
    std::uint64_t blockOffset = 0; // of the current block within its folder
    std::uint32_t blockLength = 0; // bytes of the current block in the output buffer
    // Blocks read ahead and handed to a decoder that decodes ahead, oldest first: their output
    // lengths. A failure to go back to where reading ahead began is reported at the next block.
    std::uint16_t queued[kMaxQueued] = {};
    unsigned queuedHead = 0;
    unsigned queuedCount = 0;
    FDIERROR readAheadError = FDIERROR_NONE;

    FileRecord file;
    char fileName[kNameMax] = {};
    Names names;
    char cabPath[kPathMax] = {};

    bool switched = false;             // the copy has moved on to a following cabinet
    std::uint16_t continuedToSkip = 0; // skipped files whose continuations the next list opens with
    int errorType = 0;                 // secondary value of the failure being reported

    // --- file access ---
    bool readExact(FDI_INT_PTR hf, void* buffer, std::size_t n)
    {
        return n == 0 || read(hf, buffer, static_cast<FDI_UINT>(n)) == n;
    }
    bool seekTo(FDI_INT_PTR hf, std::uint64_t position)
    {
        if (position > kMaxOffset)
            return false;
        return seek(hf, static_cast<FDI_LONG>(position), kSeekSet) != -1;
    }
    // Reads a zero-terminated string of at most 255 characters at `position` and leaves the file
    // just after its terminator; answers its length or -1.
    long readName(FDI_INT_PTR hf, std::uint64_t position, char* out)
    {
        const FDI_UINT got = read(hf, out, static_cast<FDI_UINT>(kNameMax));
        if (got > kNameMax)
            return -1;
        const void* end = std::memchr(out, 0, got);
        if (end == nullptr)
            return -1;
        const long length = static_cast<const char*>(end) - out;
        if (!seekTo(hf, position + static_cast<std::uint64_t>(length) + 1))
            return -1;
        return length;
    }
    bool closeHandles()
    {
        bool ok = true;
        if (hfList != kClosed && close(hfList) != 0)
            ok = false;
        if (hfData != kClosed && close(hfData) != 0)
            ok = false;
        hfList = hfData = kClosed;
        return ok;
    }

    FDI_INT_PTR tell(FDINOTIFICATIONTYPE type, FDINOTIFICATION& n)
    {
        n.pv = user;
        return notify(type, &n);
    }
    bool decryptAborts(FDIDECRYPT& d)
    {
        if (decrypt == nullptr)
            return false;
        d.pvUser = user;
        return decrypt(&d) == -1;
    }

    FDIERROR openCabinet(const char* name, long wantIndex);
    FDIERROR readCabinetHeader(FDI_INT_PTR hf, long wantIndex, Header& h, Names& found, std::uint32_t& folders);
    FDIERROR readFileRecord(FileRecord& record, char* name);
    FDIERROR enumerate();
    FDIERROR copyFiles();
    FDIERROR extractFile(FDI_INT_PTR hf);
    FDIERROR writeFileData(FDI_INT_PTR hf);
    FDIERROR selectFolder(std::uint16_t index);
    FDIERROR readDataBlock(std::size_t held, std::uint16_t& cbData, std::uint16_t& cbUncomp);
    FDIERROR nextBlock();
    void readAhead();
    FDIERROR moveToNextCabinet();
    FDIERROR enterFirstFolder();
};

Context* contextOf(HFDI hfdi)
{
    auto* c = static_cast<Context*>(hfdi);
    return c != nullptr && c->tag == kContextTag ? c : nullptr;
}

void setError(PERF erf, FDIERROR code, int type)
{
    if (erf == nullptr)
        return;
    erf->erfOper = code;
    erf->erfType = type;
    erf->fError = 1;
}

void* decoderAlloc(void* ctx, std::size_t bytes)
{
    if (bytes > 0xFFFFFFFFu)
        return nullptr;
    return static_cast<Context*>(ctx)->alloc(static_cast<FDI_ULONG>(bytes));
}

void decoderRelease(void* ctx, void* p) { static_cast<Context*>(ctx)->free(p); }

FDIERROR Context::readCabinetHeader(FDI_INT_PTR hf, long wantIndex, Header& h, Names& found, std::uint32_t& folders)
{
    unsigned char raw[kHeaderSize];
    if (!readExact(hf, raw, kHeaderSize) || !isSignature(raw))
        return FDIERROR_NOT_A_CABINET;
    h = parseHeader(raw);
    if (h.version != kVersion) {
        errorType = h.version;
        return FDIERROR_UNKNOWN_CABINET_VERSION;
    }
    if (wantIndex != kAnyCabinet && (h.setID != header.setID || h.iCabinet != wantIndex))
        return FDIERROR_WRONG_CABINET;

    std::uint64_t position = kHeaderSize;
    std::uint16_t headerReserveSize = 0;
    std::uint8_t folderReserveSize = 0;
    std::uint8_t dataReserveSize = 0;
    if (h.flags & kFlagReserve) {
        unsigned char sizes[4];
        if (!readExact(hf, sizes, 4))
            return FDIERROR_NOT_A_CABINET;
        headerReserveSize = u16(sizes);
        folderReserveSize = sizes[2];
        dataReserveSize = sizes[3];
        position += 4;
    }
    if (headerReserveSize != cbCFHeader) {
        if (headerReserve != nullptr)
            free(headerReserve);
        headerReserve = nullptr;
        cbCFHeader = 0;
        if (headerReserveSize != 0) {
            headerReserve = static_cast<unsigned char*>(alloc(headerReserveSize));
            if (headerReserve == nullptr)
                return FDIERROR_ALLOC_FAIL;
        }
        cbCFHeader = headerReserveSize;
    }
    if (!readExact(hf, headerReserve, headerReserveSize))
        return FDIERROR_NOT_A_CABINET;
    position += headerReserveSize;

    const auto folderSize = static_cast<std::uint16_t>(kFolderFixedSize + folderReserveSize);
    const auto dataSize = static_cast<std::uint16_t>(kDataFixedSize + dataReserveSize);
    if (folderRecordSize == kUnsetSize) {
        folderRecord = static_cast<unsigned char*>(alloc(folderSize));
        dataHeader = static_cast<unsigned char*>(alloc(dataSize));
        if (folderRecord == nullptr || dataHeader == nullptr) {
            if (folderRecord != nullptr)
                free(folderRecord);
            if (dataHeader != nullptr)
                free(dataHeader);
            folderRecord = dataHeader = nullptr;
            return FDIERROR_ALLOC_FAIL;
        }
        folderRecordSize = folderSize;
        dataHeaderSize = dataSize;
        cbCFFolder = folderReserveSize;
        cbCFData = dataReserveSize;
    } else if (folderSize != folderRecordSize || dataSize != dataHeaderSize) {
        return FDIERROR_RESERVE_MISMATCH;
    }

    char* const strings[4] = {found.previousCabinet, found.previousDisk, found.nextCabinet, found.nextDisk};
    for (int i = 0; i < 4; ++i) {
        const std::uint16_t flag = i < 2 ? kFlagPrevious : kFlagNext;
        if (!(h.flags & flag))
            continue;
        const long length = readName(hf, position, strings[i]);
        if (length < 0)
            return FDIERROR_CORRUPT_CABINET;
        position += static_cast<std::uint64_t>(length) + 1;
    }
    if (position > kMaxOffset || !seekTo(hf, h.coffFiles))
        return FDIERROR_CORRUPT_CABINET;
    folders = static_cast<std::uint32_t>(position);
    return FDIERROR_NONE;
}

FDIERROR Context::openCabinet(const char* name, long wantIndex)
{
    errorType = 0;
    char fullPath[kPathMax];
    const std::size_t pathLength = boundedLength(cabPath, kPathMax - 1);
    const std::size_t nameLength = boundedLength(name, kPathMax);
    if (pathLength + nameLength >= kPathMax)
        return FDIERROR_CABINET_NOT_FOUND;
    std::memcpy(fullPath, cabPath, pathLength);
    std::memcpy(fullPath + pathLength, name, nameLength);
    fullPath[pathLength + nameLength] = '\0';

    const FDI_INT_PTR first = open(fullPath, FDI_OPEN_READ_BINARY, FDI_OPEN_PERMISSION);
    if (first == kClosed)
        return FDIERROR_CABINET_NOT_FOUND;
    const FDI_INT_PTR second = open(fullPath, FDI_OPEN_READ_BINARY, FDI_OPEN_PERMISSION);
    if (second == kClosed) {
        close(first);
        return FDIERROR_CABINET_NOT_FOUND;
    }

    Header h;
    Names found;
    std::uint32_t folders = 0;
    const FDIERROR rc = readCabinetHeader(first, wantIndex, h, found, folders);
    if (rc != FDIERROR_NONE) {
        close(first);
        close(second);
        return rc;
    }
    hfList = first;
    hfData = second;
    header = h;
    names = found;
    firstFolderPos = folders;
    listPos = h.coffFiles;
    filesLeft = h.cFiles;

    FDINOTIFICATION n{};
    n.psz1 = names.nextCabinet;
    n.psz2 = names.nextDisk;
    n.psz3 = cabPath;
    n.setID = header.setID;
    n.iCabinet = header.iCabinet;
    if (tell(fdintCABINET_INFO, n) == -1)
        return FDIERROR_USER_ABORT;

    FDIDECRYPT d{};
    d.fdidt = fdidtNEW_CABINET;
    d.cabinet.pHeaderReserve = headerReserve;
    d.cabinet.cbHeaderReserve = cbCFHeader;
    d.cabinet.setID = header.setID;
    d.cabinet.iCabinet = header.iCabinet;
    if (decryptAborts(d))
        return FDIERROR_USER_ABORT;
    return FDIERROR_NONE;
}

FDIERROR Context::readFileRecord(FileRecord& record, char* name)
{
    unsigned char raw[kFileRecordSize];
    if (!readExact(hfList, raw, kFileRecordSize))
        return FDIERROR_CORRUPT_CABINET;
    record.cbFile = u32(raw);
    record.uoffFolderStart = u32(raw + 4);
    record.iFolder = u16(raw + 8);
    record.date = u16(raw + 10);
    record.time = u16(raw + 12);
    record.attribs = u16(raw + 14);
    const long length = readName(hfList, std::uint64_t{listPos} + kFileRecordSize, name);
    if (length < 0)
        return FDIERROR_CORRUPT_CABINET;
    listPos += static_cast<std::uint32_t>(kFileRecordSize + static_cast<std::size_t>(length) + 1);
    --filesLeft;
    return FDIERROR_NONE;
}

// Tells the caller where the file list stands; it may move the position and change the count.
FDIERROR Context::enumerate()
{
    FDINOTIFICATION n{};
    n.cb = static_cast<FDI_LONG>(listPos);
    n.psz1 = names.previousCabinet;
    n.psz2 = names.previousDisk;
    n.iFolder = filesLeft;
    n.setID = header.setID;
    n.iCabinet = header.iCabinet;
    if (tell(fdintENUMERATE, n) == -1)
        return FDIERROR_USER_ABORT;
    filesLeft = n.iFolder;
    if (static_cast<std::uint32_t>(n.cb) != listPos) {
        if (n.cb < 0 || !seekTo(hfList, static_cast<std::uint64_t>(n.cb)))
            return FDIERROR_CORRUPT_CABINET;
        listPos = static_cast<std::uint32_t>(n.cb);
    }
    return FDIERROR_NONE;
}

FDIERROR Context::copyFiles()
{
    FDIERROR rc = enumerate();
    for (;;) {
        while (rc == FDIERROR_NONE && filesLeft > 0) {
            rc = readFileRecord(file, fileName);
            if (rc != FDIERROR_NONE)
                break;
            const std::uint16_t index = file.iFolder;
            const bool fromPrevious = index == kContinuedFromPrevious || index == kContinuedBoth;
            if (fromPrevious && !switched) {
                FDINOTIFICATION n{};
                n.psz1 = fileName;
                n.psz2 = names.previousCabinet;
                n.psz3 = names.previousDisk;
                n.cb = static_cast<FDI_LONG>(file.cbFile);
                n.date = file.date;
                n.time = file.time;
                n.attribs = file.attribs;
                n.iFolder = index;
                if (tell(fdintPARTIAL_FILE, n) == -1)
                    return FDIERROR_USER_ABORT;
                continue;
            }
            if (!fromPrevious && switched)
                return FDIERROR_NONE; // starts in a following cabinet: a later copy's
            if (!fromPrevious && index < kFirstSpecialFolder && index >= header.cFolders)
                continue;

            FDINOTIFICATION n{};
            n.psz1 = fileName;
            n.cb = static_cast<FDI_LONG>(file.cbFile);
            n.date = file.date;
            n.time = file.time;
            n.attribs = file.attribs;
            n.iFolder = index;
            n.setID = header.setID;
            n.iCabinet = header.iCabinet;
            const FDI_INT_PTR answer = tell(fdintCOPY_FILE, n);
            if (answer == -1)
                return FDIERROR_USER_ABORT;
            if (answer != 0)
                rc = extractFile(answer);
            else if (index == kContinuedToNext || index == kContinuedBoth)
                ++continuedToSkip;
        }
        if (rc != FDIERROR_NONE)
            return rc;
        rc = enumerate(); // the list is used up: the caller may point it elsewhere
        if (rc != FDIERROR_NONE || filesLeft == 0)
            return rc;
    }
}

FDIERROR Context::extractFile(FDI_INT_PTR hf)
{
    if (file.cbFile != 0) {
        const FDIERROR rc = writeFileData(hf);
        if (rc != FDIERROR_NONE) {
            close(hf);
            return rc;
        }
    }
    FDINOTIFICATION n{};
    n.psz1 = fileName;
    n.hf = hf;
    n.date = file.date;
    n.time = file.time;
    n.attribs = static_cast<FDI_USHORT>(file.attribs & ~_A_EXEC);
    n.cb = (file.attribs & _A_EXEC) ? 1 : 0;
    n.iFolder = file.iFolder;
    n.setID = header.setID;
    n.iCabinet = header.iCabinet;
    const FDI_INT_PTR answer = tell(fdintCLOSE_FILE_INFO, n);
    if (answer == -1 || answer == -2)
        return FDIERROR_USER_ABORT;
    if (answer == 0)
        return FDIERROR_TARGET_FILE;
    return FDIERROR_NONE;
}

FDIERROR Context::writeFileData(FDI_INT_PTR hf)
{
    if (!switched) {
        std::uint32_t index = file.iFolder;
        if (index == kContinuedToNext || index == kContinuedBoth)
            index = header.cFolders - 1u;
        if (header.cFolders == 0 || index >= header.cFolders)
            return FDIERROR_CORRUPT_CABINET;
        if (currentFolder != kNoFolder && file.uoffFolderStart < blockOffset)
            currentFolder = kNoFolder;
        if (index != currentFolder) {
            const FDIERROR rc = selectFolder(static_cast<std::uint16_t>(index));
            if (rc != FDIERROR_NONE)
                return rc;
        }
    } else if (currentFolder == kNoFolder || file.uoffFolderStart < blockOffset) {
        return FDIERROR_CORRUPT_CABINET; // a continued folder cannot be read again from its start
    }

    std::uint64_t at = file.uoffFolderStart;
    std::uint64_t left = file.cbFile;
    while (left > 0) {
        while (at >= blockOffset + blockLength) {
            const FDIERROR rc = nextBlock();
            if (rc != FDIERROR_NONE)
                return rc;
        }
        const std::size_t start = static_cast<std::size_t>(at - blockOffset);
        std::size_t count = blockLength - start;
        if (count > left)
            count = static_cast<std::size_t>(left);
        unsigned char* data = const_cast<unsigned char*>(decoders.output()) + start;
        if (write(hf, data, static_cast<FDI_UINT>(count)) != count)
            return FDIERROR_TARGET_FILE;
        at += count;
        left -= count;
    }
    return FDIERROR_NONE;
}

FDIERROR Context::selectFolder(std::uint16_t index)
{
    currentFolder = kNoFolder;
    if (!decoders.reset())
        return FDIERROR_MDI_FAIL;
    const std::uint64_t record = std::uint64_t{firstFolderPos} + std::uint64_t{index} * folderRecordSize;
    if (!seekTo(hfData, record) || !readExact(hfData, folderRecord, folderRecordSize))
        return FDIERROR_CORRUPT_CABINET;
    if (!seekTo(hfData, u32(folderRecord)))
        return FDIERROR_CORRUPT_CABINET;
    blocksLeft = u16(folderRecord + 4);
    const FDIERROR rc = decoders.choose(u16(folderRecord + 6));
    if (rc != FDIERROR_NONE)
        return rc;

    FDIDECRYPT d{};
    d.fdidt = fdidtNEW_FOLDER;
    d.folder.pFolderReserve = cbCFFolder != 0 ? folderRecord + kFolderFixedSize : nullptr;
    d.folder.cbFolderReserve = cbCFFolder;
    d.folder.iFolder = index;
    if (decryptAborts(d))
        return FDIERROR_USER_ABORT;

    currentFolder = index;
    blockOffset = 0;
    blockLength = 0;
    queuedCount = 0;
    readAheadError = FDIERROR_NONE;
    return nextBlock();
}

// Reads the next data block's header into dataHeader and its bytes into the input buffer after the
// `held` bytes already there of the same block, checking that they fit and carry their checksum
// (a checksum of 0 is none).
FDIERROR Context::readDataBlock(std::size_t held, std::uint16_t& cbData, std::uint16_t& cbUncomp)
{
    if (!readExact(hfData, dataHeader, dataHeaderSize))
        return FDIERROR_CORRUPT_CABINET;
    cbData = u16(dataHeader + 4);
    cbUncomp = u16(dataHeader + 6);
    const FDIERROR rc = decoders.admit(held + cbData);
    if (rc != FDIERROR_NONE)
        return rc;
    unsigned char* data = decoders.input() + held;
    if (!readExact(hfData, data, cbData))
        return FDIERROR_CORRUPT_CABINET;
    const std::uint32_t sum = u32(dataHeader);
    if (sum != 0 && cabinet::checksum(dataHeader + 4, dataHeaderSize - 4u, cabinet::checksum(data, cbData, 0)) != sum)
        return FDIERROR_CORRUPT_CABINET;
    return FDIERROR_NONE;
}

FDIERROR Context::nextBlock()
{
    blockOffset += blockLength;
    blockLength = 0;
    if (queuedCount != 0) {
        const std::uint16_t length = queued[queuedHead];
        queuedHead = (queuedHead + 1) % kMaxQueued;
        --queuedCount;
        const FDIERROR rc = decoders.take(length);
        if (rc != FDIERROR_NONE)
            return rc;
        blockLength = length;
        readAhead();
        return FDIERROR_NONE;
    }
    if (readAheadError != FDIERROR_NONE)
        return readAheadError;
    if (blocksLeft == 0) {
        const FDIERROR rc = moveToNextCabinet();
        if (rc != FDIERROR_NONE)
            return rc;
    }
    std::size_t held = 0; // bytes of a block split over cabinets read so far
    for (;;) {
        if (blocksLeft == 0)
            return FDIERROR_CORRUPT_CABINET;
        --blocksLeft;
        std::uint16_t cbData = 0, cbUncomp = 0;
        FDIERROR rc = readDataBlock(held, cbData, cbUncomp);
        if (rc != FDIERROR_NONE)
            return rc;
        unsigned char* data = decoders.input() + held;
        FDIDECRYPT d{};
        d.fdidt = fdidtDECRYPT;
        d.decrypt.pDataReserve = cbCFData != 0 ? dataHeader + kDataFixedSize : nullptr;
        d.decrypt.cbDataReserve = cbCFData;
        d.decrypt.pbData = data;
        d.decrypt.cbData = cbData;
        d.decrypt.fSplit = (cbUncomp == 0 || held != 0) ? 1 : 0;
        d.decrypt.cbPartial = static_cast<FDI_USHORT>(held);
        if (decryptAborts(d))
            return FDIERROR_USER_ABORT;
        held += cbData;

        if (cbUncomp != 0) {
            if (decoders.feed(held, cbUncomp)) {
                readAhead(); // while the worker decodes this block
                rc = decoders.take(cbUncomp);
            } else {
                rc = decoders.decode(held, cbUncomp);
            }
            if (rc != FDIERROR_NONE)
                return rc;
            blockLength = cbUncomp;
            return FDIERROR_NONE;
        }
        // The rest of this block opens the next cabinet's first folder.
        rc = moveToNextCabinet();
        if (rc != FDIERROR_NONE)
            return rc;
    }
}

// Reads whole blocks of this cabinet ahead of the current one and hands them to a decoder that
// decodes ahead, while it has room. A block that is not whole, does not fit or fails its checksum
// is left where it is (the file goes back to it): the usual reading meets it in its turn and
// reports it. Never with a decryption callback, which sees the blocks one by one.
void Context::readAhead()
{
    while (decrypt == nullptr && blocksLeft != 0 && queuedCount < kMaxQueued && readAheadError == FDIERROR_NONE) {
        const FDI_LONG mark = seek(hfData, 0, kSeekCur);
        if (mark < 0)
            return;
        std::uint16_t cbData = 0, cbUncomp = 0;
        if (readDataBlock(0, cbData, cbUncomp) != FDIERROR_NONE || cbUncomp == 0 || !decoders.feed(cbData, cbUncomp)) {
            if (!seekTo(hfData, static_cast<std::uint64_t>(mark)))
                readAheadError = FDIERROR_CORRUPT_CABINET;
            return;
        }
        --blocksLeft;
        queued[(queuedHead + queuedCount) % kMaxQueued] = cbUncomp;
        ++queuedCount;
    }
}

FDIERROR Context::moveToNextCabinet()
{
    // Only the last folder of a cabinet continues, and only when a next cabinet is named.
    if (!(header.flags & kFlagNext) || header.cFolders == 0 || currentFolder != header.cFolders - 1u)
        return FDIERROR_CORRUPT_CABINET;
    if (!closeHandles())
        return FDIERROR_CORRUPT_CABINET;

    char wanted[kNameMax];
    std::memcpy(wanted, names.nextCabinet, kNameMax);
    // The name comes from the cabinet: it must stay inside the directory the caller names, and an
    // index of 0xFFFF cannot be followed by index + 1.
    if (header.iCabinet == kLastIndex)
        return FDIERROR_CORRUPT_CABINET;
    const long wantIndex = long{header.iCabinet} + 1;
    FDIERROR lastError = FDIERROR_NONE;
    char failedPath[kPathMax] = {};
    for (int attempt = 0;; ++attempt) {
        FDINOTIFICATION n{};
        n.psz1 = names.nextCabinet;
        n.psz2 = names.nextDisk;
        n.psz3 = cabPath;
        n.setID = header.setID;
        n.iCabinet = header.iCabinet;
        n.fdie = lastError;
        if (tell(fdintNEXT_CABINET, n) == -1)
            return FDIERROR_USER_ABORT;
        cabPath[kPathMax - 1] = '\0';
        if (cabinet::isUnsafeArchiveName(wanted))
            return FDIERROR_USER_ABORT;
        // Handed back the cabinet that just failed, or asked too often: it is not coming.
        if (attempt > 0 && (std::strcmp(cabPath, failedPath) == 0 || attempt >= kNextCabinetAttempts))
            return lastError;
        FDIERROR rc = openCabinet(wanted, wantIndex);
        if (rc == FDIERROR_NONE)
            rc = enterFirstFolder();
        if (rc == FDIERROR_NONE)
            break;
        closeHandles();
        if (rc == FDIERROR_USER_ABORT)
            return rc;
        lastError = rc;
        std::memcpy(failedPath, cabPath, kPathMax);
    }

    // The new list opens with the continuation of the file being extracted and of the continued
    // files skipped before it.
    FileRecord passed;
    char passedName[kNameMax];
    for (unsigned i = 0; i <= continuedToSkip; ++i) {
        if (filesLeft == 0)
            return FDIERROR_CORRUPT_CABINET;
        const FDIERROR rc = readFileRecord(passed, passedName);
        if (rc != FDIERROR_NONE)
            return rc;
    }
    continuedToSkip = 0;
    switched = true;
    return FDIERROR_NONE;
}

FDIERROR Context::enterFirstFolder()
{
    if (header.cFolders == 0)
        return FDIERROR_CORRUPT_CABINET;
    if (!seekTo(hfData, firstFolderPos) || !readExact(hfData, folderRecord, folderRecordSize) ||
        !seekTo(hfData, u32(folderRecord)))
        return FDIERROR_CORRUPT_CABINET;
    blocksLeft = u16(folderRecord + 4);
    currentFolder = 0;
    return FDIERROR_NONE;
}

} // namespace

extern "C" {

HFDI DIAMONDAPI FDICreate(PFNALLOC pfnalloc, PFNFREE pfnfree, PFNOPEN pfnopen, PFNREAD pfnread, PFNWRITE pfnwrite,
                          PFNCLOSE pfnclose, PFNSEEK pfnseek, int cpuType, PERF perf)
{
    if (pfnalloc == nullptr || pfnfree == nullptr || pfnopen == nullptr || pfnread == nullptr || pfnwrite == nullptr ||
        pfnclose == nullptr || pfnseek == nullptr) {
        setError(perf, FDIERROR_ALLOC_FAIL, 0);
        return nullptr;
    }
    const std::size_t bytes = sizeof(Context) > kContextBytes ? sizeof(Context) : kContextBytes;
    void* memory = pfnalloc(static_cast<FDI_ULONG>(bytes));
    if (memory == nullptr) {
        setError(perf, FDIERROR_ALLOC_FAIL, 0);
        return nullptr;
    }
    auto* c = new (memory) Context;
    c->erf = perf;
    c->alloc = pfnalloc;
    c->free = pfnfree;
    c->open = pfnopen;
    c->read = pfnread;
    c->write = pfnwrite;
    c->close = pfnclose;
    c->seek = pfnseek;
    c->cpuType = cpuType;
    c->decoders.setMemory(cabinet::DecoderMemory{decoderAlloc, decoderRelease, c});
    return c;
}

FDI_BOOL DIAMONDAPI FDIIsCabinet(HFDI hfdi, FDI_INT_PTR hf, PFDICABINETINFO pfdici)
{
    Context* c = contextOf(hfdi);
    if (c == nullptr)
        return 0;
    unsigned char raw[kHeaderSize];
    if (!c->readExact(hf, raw, kHeaderSize) || !isSignature(raw))
        return 0;
    const Header h = parseHeader(raw);
    if (h.version != kVersion) {
        setError(c->erf, FDIERROR_UNKNOWN_CABINET_VERSION, h.version);
        return 0;
    }
    if (pfdici != nullptr) {
        pfdici->cbCabinet = static_cast<FDI_LONG>(h.cbCabinet);
        pfdici->cFolders = h.cFolders;
        pfdici->cFiles = h.cFiles;
        pfdici->setID = h.setID;
        pfdici->iCabinet = h.iCabinet;
        pfdici->fReserve = (h.flags & kFlagReserve) ? 1 : 0;
        pfdici->hasprev = (h.flags & kFlagPrevious) ? 1 : 0;
        pfdici->hasnext = (h.flags & kFlagNext) ? 1 : 0;
    }
    return 1;
}

FDI_BOOL DIAMONDAPI FDICopy(HFDI hfdi, char* pszCabinet, char* pszCabPath, int /*flags*/, PFNFDINOTIFY pfnfdin,
                            PFNFDIDECRYPT pfnfdid, void* pvUser)
{
    Context* c = contextOf(hfdi);
    if (c == nullptr)
        return 0;
    c->notify = pfnfdin;
    c->decrypt = pfnfdid;
    c->user = pvUser;
    c->errorType = 0;
    c->switched = false;
    c->continuedToSkip = 0;
    c->currentFolder = kNoFolder;

    FDIERROR rc = FDIERROR_NONE;
    const std::size_t pathLength = pszCabPath != nullptr ? boundedLength(pszCabPath, kPathMax) : 0;
    if (pfnfdin == nullptr) {
        rc = FDIERROR_USER_ABORT;
    } else if (pszCabinet == nullptr || pathLength >= kPathMax) {
        rc = FDIERROR_CABINET_NOT_FOUND;
    } else {
        std::memcpy(c->cabPath, pszCabPath != nullptr ? pszCabPath : "", pathLength);
        c->cabPath[pathLength] = '\0';
        rc = c->openCabinet(pszCabinet, kAnyCabinet);
        if (rc == FDIERROR_NONE)
            rc = c->copyFiles();
    }
    const bool closed = c->closeHandles();
    if (rc == FDIERROR_NONE && !closed)
        rc = FDIERROR_CORRUPT_CABINET;
    if (rc != FDIERROR_NONE) {
        setError(c->erf, rc, c->errorType);
        return 0;
    }
    return 1;
}

FDI_BOOL DIAMONDAPI FDIDestroy(HFDI hfdi)
{
    Context* c = contextOf(hfdi);
    if (c == nullptr)
        return 0;
    c->decoders.release();
    if (c->headerReserve != nullptr)
        c->free(c->headerReserve);
    if (c->folderRecord != nullptr)
        c->free(c->folderRecord);
    if (c->dataHeader != nullptr)
        c->free(c->dataHeader);
    c->closeHandles();
    PFNFREE release = c->free;
    c->tag = 0;
    c->~Context();
    release(c);
    return 1;
}

} // extern "C"
