// File commands: fileinfo, version-compare, newer, dirs, mktemp, fullpath, age.
#include "command.h"

#include "BFileInstaller.h"
#include "sysFileStructure.h"

#include <cstdio>

using namespace ravelutil;

namespace {

using FileInfo = BFileInstaller::BFileInfo;

const char* const kErrorNames[] = {"FILE_OK", "FILE_FALSE", "FILE_API_FAILURE", "FILE_NOT_FOUND",
                                   "FILE_NO_VERSION_INFO"};

int printError(BFileInstaller::teError error)
{
    const unsigned index = static_cast<unsigned>(error);
    std::printf("%s\n", index < sizeof kErrorNames / sizeof kErrorNames[0] ? kErrorNames[index] : "?");
    return exitFor(error == BFileInstaller::FILE_OK);
}

} // namespace

RAVEL_COMMAND(cmdFileInfo, "fileinfo", "fileinfo <path>", "describe a file: times, version words and FileVersion")
{
    if (args.size() != 1)
        return usage("fileinfo <path>");
    FileInfo info(rw(args[0]));
    info.display();
    return exitFor(info.exists() == BFileInstaller::FILE_OK);
}

RAVEL_COMMAND(cmdVersionCompare, "version-compare", "version-compare <a> <b>",
              "FILE_OK when version text a is newer than b, else FILE_FALSE")
{
    if (args.size() != 2)
        return usage("version-compare <a> <b>");
    RWCString first = rw(args[0]);
    RWCString second = rw(args[1]);
    return printError(FileInfo::compareVersionString(first, second));
}

RAVEL_COMMAND(cmdNewer, "newer", "newer <first> <second> --by time|version|text",
              "whether the first file is newer than the second, by time, version words or version text")
{
    static const char kUsage[] = "newer <first> <second> --by time|version|text";
    if (args.size() != 4 || args[2] != "--by")
        return usage(kUsage);
    FileInfo first(rw(args[0]));
    FileInfo second(rw(args[1]));
    if (args[3] == "time")
        return printError(first.compareTime(second));
    if (args[3] == "version")
        return printError(first.compareVersion(second));
    if (args[3] == "text")
        return printError(first.compareVersionString(second));
    return usage(kUsage);
}

RAVEL_COMMAND(cmdDirs, "dirs", "dirs", "print the system, Windows, current and temporary directories")
{
    if (!args.empty())
        return usage("dirs");
    sysFileStructure files;
    RWCString system, windows, current, temp;
    const bool ok = files.getSystemDirectory(system) & files.getWindowsDirectory(windows) & files.getCwd(current) &
                    files.getTempDirectory(temp);
    std::printf("system %s\nwindows %s\ncurrent %s\ntemp %s\n", system.data(), windows.data(), current.data(),
                temp.data());
    return exitFor(ok);
}

RAVEL_COMMAND(cmdMktemp, "mktemp", "mktemp", "create a new unique temporary directory and print its path")
{
    if (!args.empty())
        return usage("mktemp");
    sysFileStructure files;
    RWCString directory;
    if (!files.createUniqueTempDirectory(&directory))
        return failure("mktemp: no temporary directory could be created");
    std::printf("%s\n", directory.data());
    return kTrue;
}

RAVEL_COMMAND(cmdFullPath, "fullpath", "fullpath <path>", "the path made full against the current directory")
{
    if (args.size() != 1)
        return usage("fullpath <path>");
    sysFileStructure files;
    RWCString path = rw(args[0]);
    files.ensurePathIsAFullPath(&path);
    std::printf("%s\n", path.data());
    return kTrue;
}

RAVEL_COMMAND(cmdAge, "age", "age <path>", "the age of a file's last write in calendar months")
{
    if (args.size() != 1)
        return usage("age <path>");
    int months = 0;
    if (!sysFileStructure::compareFileTimeToSystemTime(rw(args[0]), &months))
        return failure(args[0] + ": no last-write time");
    std::printf("%d\n", months);
    return kTrue;
}
