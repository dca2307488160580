#pragma once
// The command record between BZip and the zip library dunzip32.dll (entry point "dunzip", one
// argument: a pointer to this record; standard calling convention; 0 for success). The 32-bit
// record is fixed: 142 bytes, packed, 4-byte pointers. A 4-byte field cannot carry a 64-bit
// address, so the 64-bit record widens the pointer fields to 8 bytes and moves what follows them;
// its size field says 154. Both libraries of one build agree by compiling this header.
#include <cstddef>
#include <cstdint>

#pragma pack(push, 1)
struct UNZIPCMDSTRUCT
{
    std::uint32_t structSize; // 142 (32-bit) or 154 (64-bit)
    std::uint32_t command;    // 1 open and count, 7 entry information, 8 extract entry
    const char* zipFile;      // zero-terminated path of the archive
    void* entryInfo;          // receives a ZIPENTRYINFO for command 7
    std::uint32_t reserved16;
    std::int32_t entryIndex; // 0 upward for commands 7 and 8
    const char* destination; // zero-terminated directory for command 8
    std::uint8_t reserved28[8];
    std::uint32_t option1; // three option flags, accepted and passed through
    std::uint32_t option2;
    std::uint32_t reserved44;
    std::uint32_t option3;
    std::uint32_t reserved52;
    std::uint32_t reserved56;
    std::uint8_t reserved60[16];
    std::uint32_t entryCount; // written by command 1
    std::uint32_t reserved80;
    std::uint32_t reserved84;
    std::uint8_t reserved88[20];
    std::uint16_t reserved108;
    std::uint8_t reserved110[32];
};

// What command 7 writes: the entry's uncompressed size (all ones when it does not fit 32 bits)
// at offset 2 and its zero-terminated UTF-8 name, cut to fit, at offset 38.
struct ZIPENTRYINFO
{
    std::uint16_t reserved0;
    std::uint32_t size;
    std::uint8_t reserved6[32];
    char name[1024];
};
#pragma pack(pop)

#define RAVEL_UNZIP_OFFSETS(size, ptr)                                                                                 \
    static_assert(sizeof(UNZIPCMDSTRUCT) == (size), "command record size");                                            \
    static_assert(offsetof(UNZIPCMDSTRUCT, command) == 4, "command");                                                  \
    static_assert(offsetof(UNZIPCMDSTRUCT, zipFile) == 8, "zip file");                                                 \
    static_assert(offsetof(UNZIPCMDSTRUCT, entryInfo) == 8 + (ptr), "entry information");                              \
    static_assert(offsetof(UNZIPCMDSTRUCT, entryIndex) == 12 + 2 * (ptr), "entry index");                              \
    static_assert(offsetof(UNZIPCMDSTRUCT, destination) == 16 + 2 * (ptr), "destination");                             \
    static_assert(offsetof(UNZIPCMDSTRUCT, option1) == 24 + 3 * (ptr), "first option");                                \
    static_assert(offsetof(UNZIPCMDSTRUCT, option2) == 28 + 3 * (ptr), "second option");                               \
    static_assert(offsetof(UNZIPCMDSTRUCT, option3) == 36 + 3 * (ptr), "third option");                                \
    static_assert(offsetof(UNZIPCMDSTRUCT, reserved56) == 44 + 3 * (ptr), "field 56");                                 \
    static_assert(offsetof(UNZIPCMDSTRUCT, entryCount) == 64 + 3 * (ptr), "entry count");                              \
    static_assert(offsetof(UNZIPCMDSTRUCT, reserved84) == 72 + 3 * (ptr), "field 84");                                 \
    static_assert(offsetof(UNZIPCMDSTRUCT, reserved108) == 96 + 3 * (ptr), "field 108")

#if UINTPTR_MAX == 0xFFFFFFFFu
constexpr std::uint32_t kUnzipCmdSize = 142;
RAVEL_UNZIP_OFFSETS(142, 4);
#else
constexpr std::uint32_t kUnzipCmdSize = 154;
RAVEL_UNZIP_OFFSETS(154, 8);
#endif
static_assert(offsetof(ZIPENTRYINFO, size) == 2 && offsetof(ZIPENTRYINFO, name) == 38, "entry information");

constexpr std::uint32_t kUnzipOpen = 1;
constexpr std::uint32_t kUnzipEntryInfo = 7;
constexpr std::uint32_t kUnzipExtract = 8;
