#pragma once
#include "LogInterface.h"
#include "RWCString.h"

// Small file-system services: existence and size, path splitting, the system, Windows, current
// and temporary directories, unique temporary directories, full paths and file age.
class RAVELUTIL_API sysFileStructure : public LogInterface
{
public:
    sysFileStructure();
    sysFileStructure(const sysFileStructure& other);
    sysFileStructure& operator=(const sysFileStructure& other);
    virtual ~sysFileStructure();

    // True when the system's file search finds anything for the path (directories and
    // wild-card patterns included).
    bool fileExists(RWCString path);
    // The low 32 bits of the size of what the search finds; 0 when nothing is found.
    unsigned long fileSize(RWCString path);

    // Splits at the last separator; the directory keeps it. Without one, the file name is the
    // whole path and the directory empty. Null out-pointers are skipped.
    static void getFileNameAndPath(RWCString fullPath, RWCString* fileName, RWCString* path, char separator);

    bool getSystemDirectory(RWCString& directory);
    bool getWindowsDirectory(RWCString& directory);
    bool getCwd(RWCString& directory);
    bool setCwd(RWCString directory);
    // The override set by permanentlySetTempDir, else %TMP% (else the Windows directory when the
    // expansion itself fails).
    bool getTempDirectory(RWCString& directory);
    // For processes that run as a service: from now on every getTempDirectory of the process
    // answers this directory. Only an existing directory is taken.
    static bool permanentlySetTempDir(RWCString& directory);
    // Creates qvkxotmp (or qvkxotmp_1, qvkxotmp_2, ...) under the temporary directory.
    bool createUniqueTempDirectory(RWCString* directory);
    // Prefixes a relative path with the current directory; no normalisation. Always true.
    bool ensurePathIsAFullPath(RWCString* path);
    // The age of the file's last write in whole calendar months (UTC).
    static bool compareFileTimeToSystemTime(RWCString path, int* months);

    // Stages a copy of the source in the temporary directory and registers its move over the
    // destination at the next restart: wininit.ini on 95, 98 and Me, the delayed move on NT 4,
    // 2000 and XP. False on every other platform.
    bool CopyOnReboot(RWCString source, RWCString destination);
    // Registers the deletion of an existing file at the next restart, on the same platforms.
    bool DeleteOnReboot(RWCString path);

private:
    void getFileNameFromFullFileNameAndPath(RWCString fullPath, RWCString& fileName);

    static RWCString tempDirForService;
};
