#pragma once
#include "LogInterface.h"
#include "RWCString.h"

#include <windows.h>

// Installs files when a comparison says the source is newer than the installed copy.
class RAVELUTIL_API BFileInstaller : public LogInterface
{
public:
    // Result of file information, comparisons and installation; callers keep these as integers.
    enum teError
    {
        FILE_OK = 0,
        FILE_FALSE = 1,
        FILE_API_FAILURE = 2,
        FILE_NOT_FOUND = 3,
        FILE_NO_VERSION_INFO = 4
    };

    // A snapshot of one file taken at construction: open status, times, fixed version block and
    // "FileVersion" text. Later queries answer from the snapshot without touching the file.
    class RAVELUTIL_API BFileInfo : public LogInterface
    {
    public:
        // The snapshot of no file: empty path, zero times and version, and every query answers
        // FILE_NOT_FOUND, as for a missing file. Nothing is opened or logged.
        BFileInfo();
        BFileInfo(RWCString path);
        BFileInfo(const BFileInfo& other);
        BFileInfo& operator=(const BFileInfo& other);
        virtual ~BFileInfo();

        teError exists();
        teError getTimeStamp(FILETIME* lastWrite);
        teError getVersionStamp(unsigned __int64* version);
        teError getVersionStampString(RWCString* version);

        // FILE_OK when this file is newer than the other, or exactly one of the two is missing.
        teError compareTime(BFileInfo& other);
        teError compareVersion(BFileInfo& other);
        teError compareVersionString(BFileInfo& other);
        // FILE_OK when the first version text is newer than the second (numbers of up to four
        // fields separated by blanks, commas or periods), else FILE_FALSE.
        static teError compareVersionString(RWCString& first, RWCString& second);

        void toString(RWCString* text);
        void display();

    private:
        teError openFile(RWCString& path, HANDLE* handle);
        teError getTimeStamp(HANDLE& handle, FILETIME* creation, FILETIME* lastAccess, FILETIME* lastWrite);
        teError getVersionStamp(RWCString& path, VS_FIXEDFILEINFO* fixed, RWCString* text);

        RWCString m_path;
        FILETIME m_creationTime;
        FILETIME m_lastAccessTime;
        FILETIME m_lastWriteTime;
        VS_FIXEDFILEINFO m_fixedFileInfo;
        RWCString m_versionString;
        teError m_openStatus;
        teError m_timeStatus;
        teError m_versionStatus;
    };

    BFileInstaller();
    BFileInstaller(const BFileInstaller& other);
    BFileInstaller& operator=(const BFileInstaller& other);
    virtual ~BFileInstaller();
};
