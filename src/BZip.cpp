#include "BZip.h"

#include <cstring>

#include "BDll.h"
#include "sysFileStructure.h"

namespace {

const int kNoMoreFiles = 18; // the system's code at the regular end of a directory walk

// The zip library, loaded for the life of one operation.
class UnzipLibrary : public BDll
{
public:
    using Entry = int(WINAPI*)(UNZIPCMDSTRUCT*);
    UnzipLibrary()
    {
        void* address = nullptr;
        if (LoadDll("dunzip32.dll") && getFunction("dunzip", &address))
            std::memcpy(&m_entry, &address, sizeof m_entry);
    }
    ~UnzipLibrary() override { UnLoadDll(); }
    UnzipLibrary(const UnzipLibrary&) = delete;
    UnzipLibrary& operator=(const UnzipLibrary&) = delete;

    bool found() const { return m_entry != nullptr; }
    // False without the entry point, else the library's result.
    int operator()(UNZIPCMDSTRUCT* command) const { return m_entry == nullptr ? 0 : m_entry(command); }

private:
    Entry m_entry = nullptr;
};

} // namespace

BZip::BZip() = default;
BZip::BZip(RWCString basePath) : m_basePath(basePath) {}
BZip::BZip(const BZip&) = default;
BZip& BZip::operator=(const BZip&) = default;
BZip::~BZip() = default;

BZip::ReturnValue BZip::init() { return BZIP_OK; }

void BZip::initUNZIPCmdStruct(UNZIPCMDSTRUCT* command)
{
    std::memset(command, 0, sizeof *command);
    command->structSize = kUnzipCmdSize;
    command->command = 9;
    command->entryIndex = -1;
    command->option3 = 1;
    command->reserved52 = 1;
    command->reserved56 = 1;
}

BZip::ReturnValue BZip::getCompressedInfo(RWCString zipFile, unsigned long& total)
{
    total = 0;
    UNZIPCMDSTRUCT command;
    initUNZIPCmdStruct(&command);
    command.zipFile = zipFile.data();
    command.command = kUnzipOpen;
    command.option2 = 1;
    command.option3 = 1;
    const UnzipLibrary unzip;
    if (!unzip.found() || unzip(&command) != 0)
        return BZIP_ERROR;
    ZIPENTRYINFO info;
    const std::uint32_t count = command.entryCount;
    command.command = kUnzipEntryInfo;
    command.entryInfo = &info;
    for (std::uint32_t i = 0; i < count; ++i) {
        command.entryIndex = static_cast<std::int32_t>(i);
        if (unzip(&command) != 0)
            return BZIP_ERROR;
        total += info.size;
    }
    return BZIP_OK;
}

BZip::ReturnValue BZip::decompressAll(RWCString& zipFile, const RWCString& destination, bool option1, bool option2,
                                      bool option3, bool deleteOnReboot)
{
    UNZIPCMDSTRUCT command;
    initUNZIPCmdStruct(&command);
    command.zipFile = zipFile.data();
    command.option3 = option3;
    command.option2 = option2;
    command.option1 = option1;
    command.reserved56 = 0;
    command.reserved108 = 1;
    command.destination = destination.data();
    command.command = kUnzipOpen;
    const UnzipLibrary unzip;
    if (!unzip.found() || unzip(&command) != 0)
        return BZIP_ERROR;
    const std::uint32_t count = command.entryCount;
    command.command = kUnzipExtract;
    command.reserved84 = 1;
    for (std::uint32_t i = 0; i < count; ++i) {
        command.entryIndex = static_cast<std::int32_t>(i);
        if (unzip(&command) != 0)
            return BZIP_ERROR;
    }
    if (deleteOnReboot)
        deleteOnRebootAllFilesInPath(destination);
    return BZIP_OK;
}

// Files first, then each sub-tree, then the directory itself, so that at the restart a directory
// is deleted after its contents; a walk that ends on anything but its last entry stops there.
void BZip::deleteOnRebootAllFilesInPath(RWCString directory)
{
    sysFileStructure files;
    char* name = nullptr;
    sysFileStructure::directoryWalker fileWalk(directory, 0, 1);
    int result;
    while ((result = fileWalk.FindNext(&name)) == 0) {
        RWCString path = directory + "\\" + name;
        files.ensurePathIsAFullPath(&path);
        files.DeleteOnReboot(path);
    }
    if (result != kNoMoreFiles)
        return;
    sysFileStructure::directoryWalker directoryWalk(directory, 1, 0);
    while ((result = directoryWalk.FindNext(&name)) == 0)
        deleteOnRebootAllFilesInPath(directory + "\\" + name);
    if (result != kNoMoreFiles)
        return;
    RWCString self = directory;
    files.ensurePathIsAFullPath(&self);
    files.DeleteOnReboot(self);
}
