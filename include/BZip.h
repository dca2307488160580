#pragma once
#include "LogInterface.h"
#include "RWCString.h"
#include "UnzipCommand.h"

// Zip extraction through the zip library dunzip32.dll, loaded for each operation and driven with
// the command record: the total of the entries' sizes, and every entry into a directory, with
// the result optionally scheduled for deletion at the next restart.
class RAVELUTIL_API BZip : public LogInterface
{
public:
    enum ReturnValue { BZIP_ERROR = 2, BZIP_OK = 3 };

    BZip();
    BZip(RWCString basePath);
    BZip(const BZip& other);
    BZip& operator=(const BZip& other);
    virtual ~BZip();

    ReturnValue init();
    // The sum of the sizes the library reports for the entries (their uncompressed sizes).
    ReturnValue getCompressedInfo(RWCString zipFile, unsigned long& total);
    // The three flags are the zip library's options, passed through unchanged.
    ReturnValue decompressAll(RWCString& zipFile, const RWCString& destination, bool option1, bool option2,
                              bool option3, bool deleteOnReboot);

private:
    void initUNZIPCmdStruct(UNZIPCMDSTRUCT* command);
    void deleteOnRebootAllFilesInPath(RWCString directory);

    RWCString m_basePath;
};
