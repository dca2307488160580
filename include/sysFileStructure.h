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

    // Lists one directory's entries, "." and ".." left out: files, sub-directories or both, in
    // the system's order. Used once: step until the answer is not 0. A copy starts its own walk.
    class RAVELUTIL_API directoryWalker : public LogInterface
    {
    public:
        directoryWalker(RWCString directory, int includeDirectories, int includeFiles);
        directoryWalker(const directoryWalker& other);
        directoryWalker& operator=(const directoryWalker& other);
        virtual ~directoryWalker();

        // 0 and the entry's name (valid until the next call), or the system's error code: 18 at
        // the regular end, another code when the directory cannot be listed; later calls fail too.
        int FindNext(char** name);

    private:
        int FindNextOne(char** name);
        void closeSearch();

        int m_includeDirectories;
        int m_includeFiles;
        RWCString m_path;
        int m_started;
        alignas(8) unsigned char m_findData[320]; // the system's ANSI find record
        void* m_hSearch;
    };

    // Finds a file by exact name (case included) under a base directory: a directory's files
    // before its sub-directories, sub-trees depth first, the first match wins.
    class RAVELUTIL_API fileFinder : public LogInterface
    {
    public:
        fileFinder();
        fileFinder(RWCString baseDirectory);
        fileFinder(const fileFinder& other);
        fileFinder& operator=(const fileFinder& other);
        virtual ~fileFinder();

        // False when the directory exists and was taken; true (nothing changed) otherwise.
        bool setBaseDir(RWCString directory);
        RWCString getBaseDir();
        // The full path of the first match, or empty.
        RWCString findPathToFile(RWCString fileName);
        bool hasFile(RWCString fileName);

    private:
        bool validBaseDir(RWCString directory);
        RWCString findPathToFileRecursively(RWCString directory, RWCString fileName);

        RWCString m_baseDir;
    };

private:
    void getFileNameFromFullFileNameAndPath(RWCString fullPath, RWCString& fileName);

    static RWCString tempDirForService;
};
