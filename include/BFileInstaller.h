#pragma once
#include "BStringVector.h"
#include "LogInterface.h"
#include "RWCString.h"

#include <windows.h>

// Installs files when a comparison says the source is newer than the installed copy.
class RAVELUTIL_API BFileInstaller : public LogInterface
{
public:
    // Result of file information, comparisons and installation; callers keep these as integers.
    enum teError { FILE_OK = 0, FILE_FALSE = 1, FILE_API_FAILURE = 2, FILE_NOT_FOUND = 3, FILE_NO_VERSION_INFO = 4 };

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

    // A comparison (FILE_OK: the source must be installed) or a way of installing, each taking
    // the source and destination paths.
    typedef teError (BFileInstaller::*FileFunction)(RWCString& source, RWCString& destination);

    // Compares by compareFileVersion and installs by copyInstall, with no directories.
    BFileInstaller();
    BFileInstaller(RWCString sourceDir, RWCString destDir, FileFunction compare, FileFunction installer);
    BFileInstaller(const BFileInstaller& other);
    BFileInstaller& operator=(const BFileInstaller& other);
    virtual ~BFileInstaller();

    // Installs each named file that the comparison reports as newer; every file is tried, and the
    // first failure's code is the answer.
    teError install(BStringVector& names);
    // FILE_OK when no named file would be installed; FILE_FALSE at the first that would be.
    teError isCurrent(BStringVector& names);

    // Copies now over the destination, read-only or not.
    teError copyInstall(RWCString& source, RWCString& destination);
    // Has the destination replaced by the source at the next restart.
    teError rebootCopyInstall(RWCString& source, RWCString& destination);

    // By last-write time.
    teError compareTimeStamp(RWCString& first, RWCString& second);
    // By "FileVersion" text.
    teError compareVersionStamp(RWCString& first, RWCString& second);
    // By "FileVersion" text, and by time when a file has no version resource.
    teError compareFileVersion(RWCString& first, RWCString& second);

    void logFileInfo(BStringVector& names);
    // The same descriptions on standard output.
    void outputFileInfo(BStringVector& names);

    RWCString& getDestDir();
    RWCString& getSourceDir();

private:
    FileFunction m_install;
    FileFunction m_compare;
    RWCString m_destDir;
    RWCString m_sourceDir;
};
