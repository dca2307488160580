#pragma once
#include "BStringVector.h"
#include "LogInterface.h"
#include "RWCString.h"

// One INI file, read and written through the system's profile functions, plus the NUL-key
// writer that repeats the key "NUL" under "[rename]" (which the profile functions cannot).
class RAVELUTIL_API BIniFile : public LogInterface
{
public:
    BIniFile();
    // Finds the file, or creates it (and its directory, one level) empty.
    explicit BIniFile(RWCString fileName);
    BIniFile(const BIniFile& other);
    BIniFile& operator=(const BIniFile& other);
    virtual ~BIniFile();

    // An empty name is refused; the file is not touched.
    bool bSetFileName(RWCString fileName);

    // The stored name first, then the name under the current directory. An empty value, or the
    // text "Key Not Found", reads as missing.
    bool bGetString(RWCString section, RWCString key, RWCString& value);
    // The stored name only; 0 reads as missing.
    bool bGetInt(RWCString section, RWCString key, int& value);
    // The file under the current directory only. Lines are appended to lines.
    bool bGetSection(RWCString section, BStringVector& lines, bool skipComments);

    // Empty values are refused: this neither writes them nor deletes keys.
    bool bWriteString(RWCString section, RWCString key, RWCString value);
    bool bWriteInt(RWCString section, RWCString key, int value);
    // Each "key=value" (split at the last "=") as one key; stops at the first failure.
    bool bWriteSection(RWCString section, BStringVector pairs);

    // "NUL=<short form of path>" under "[rename]".
    bool bWriteNULKeyString(RWCString path);
    // "NUL=<entry>" lines after every line that mentions "[rename]", or a new section at the end.
    bool bWriteNULKeyStringVector(BStringVector entries);

private:
    void getPathFromFullFileNameAndPath(RWCString fullPath, RWCString& directory);
    void getKeyFromPair(RWCString pair, RWCString& key);
    void getValueFromPair(RWCString pair, RWCString& value);
    RWCString convertToEightDotThree(RWCString path);
    bool fileNameSet();

    RWCString m_fileName;
};
