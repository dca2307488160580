// Configuration and installation commands: reg, ini, excluded, reboot-copy, reboot-delete,
// delete-files, install, is-current, file-report. Reading commands print what they read (also
// when the answer is false); writing commands print nothing; the exit code is the answer.
#include "command.h"

#include "BExcluder.h"
#include "BFileDestructor.h"
#include "BFileInstaller.h"
#include "BIniFile.h"
#include "BOSSpecificExcluder.h"
#include "BRegistry.h"
#include "sysFileStructure.h"

#include <algorithm>
#include <cstdio>

using namespace ravelutil;

namespace {

const char kRegUsage[] = "reg get|get-dword|set|set-dword|set-binary|clear|delete-value|has|values <key> [name [value]]"
                         " | reg keys|key-exists|delete-key <path>";
const char kIniUsage[] =
    "ini get|get-int|set|set-int <file> <section> <key> [value] | ini section <file> <section> "
    "[--skip-comments] | ini set-section <file> <section> <key=value>... | ini nul <file> <entry>...";
const char kInstallUsage[] = "<srcdir> <dstdir> <name>... [--by version|time|file-version]";
const char* const kErrorNames[] = {"FILE_OK", "FILE_FALSE", "FILE_API_FAILURE", "FILE_NOT_FOUND",
                                   "FILE_NO_VERSION_INFO"};

// Takes a flag out of the words; true when it was there.
bool takeFlag(Args& words, const char* flag)
{
    const auto at = std::find(words.begin(), words.end(), flag);
    if (at == words.end())
        return false;
    words.erase(at);
    return true;
}

// Takes "option value" out of the words: 1 taken, 0 absent, -1 without a value.
int takeOption(Args& words, const char* option, std::string& value)
{
    const auto at = std::find(words.begin(), words.end(), option);
    if (at == words.end())
        return 0;
    if (at + 1 == words.end())
        return -1;
    value = *(at + 1);
    words.erase(at, at + 2);
    return 1;
}

BStringVector vectorOf(Args::const_iterator from, Args::const_iterator to)
{
    BStringVector all;
    for (; from != to; ++from)
        all.insert(rw(*from));
    return all;
}

void printLines(const BStringVector& lines)
{
    for (unsigned int i = 0; i < lines.entries(); ++i)
        std::printf("%s\n", lines[i].data());
}

int printed(const RWCString& text, bool answer)
{
    std::printf("%s\n", text.data());
    return exitFor(answer);
}

// Hex digits in pairs, blanks allowed between bytes.
bool parseHex(const std::string& text, std::string& bytes)
{
    std::string digits;
    for (const char c : text)
        if (c != ' ')
            digits += c;
    if (digits.size() % 2 != 0)
        return false;
    for (size_t i = 0; i < digits.size(); i += 2) {
        unsigned long long byte = 0;
        if (!parseUnsigned("0x" + digits.substr(i, 2), byte))
            return false;
        bytes += static_cast<char>(byte);
    }
    return true;
}

int regValueCommand(const std::string& verb, const Args& a)
{
    BRegistry key(rw(a[0]));
    if (verb == "values" && a.size() == 1) {
        BStringVector names;
        const bool ok = key.enumValues(names);
        printLines(names);
        return exitFor(ok);
    }
    if (a.size() < 2)
        return usage(kRegUsage);
    const RWCString name = rw(a[1]);
    if (a.size() == 2) {
        if (verb == "get") {
            RWCString value;
            const bool ok = key.getValue(name, value);
            return printed(value, ok);
        }
        if (verb == "get-dword") {
            unsigned long value = 0;
            const bool ok = key.getValue(name, value);
            std::printf("%lu\n", value);
            return exitFor(ok);
        }
        if (verb == "clear")
            return exitFor(key.clearValue(name));
        if (verb == "delete-value")
            return exitFor(key.deleteValue(name));
        if (verb == "has")
            return exitFor(key.valueExists(name));
    } else if (a.size() == 3) {
        if (verb == "set")
            return exitFor(key.setValue(name, rw(a[2])));
        unsigned long long number = 0;
        if (verb == "set-dword")
            return parseUnsigned(a[2], number) && number <= 0xFFFFFFFFull
                       ? exitFor(key.setValue(name, static_cast<unsigned long>(number)))
                       : usageError("set-dword needs a number from 0 to 4294967295");
        std::string bytes;
        if (verb == "set-binary")
            return parseHex(a[2], bytes)
                       ? exitFor(key.setValue(name, &bytes[0], static_cast<unsigned long>(bytes.size())))
                       : usageError("set-binary needs hex digits in pairs");
    }
    return usage(kRegUsage);
}

teOSExclusionType osTypeOf(const std::string& name, bool& known)
{
    struct Os
    {
        const char* name;
        teOSExclusionType type;
    };
    static const Os kOs[] = {{"windows", EXCLUDE_OS_WINDOWS},
                             {"windows95", EXCLUDE_OS_WIN95},
                             {"windows98", EXCLUDE_OS_WIN98},
                             {"windowsNT", EXCLUDE_OS_WINNT},
                             {"windows2000", EXCLUDE_OS_WIN2000}};
    for (const Os& os : kOs)
        if (name == os.name) {
            known = true;
            return os.type;
        }
    known = false;
    return EXCLUDE_OS_NONE;
}

// "--by" chooses the comparison; file-version (by version text, else by time) when absent.
bool comparisonOf(Args& words, BFileInstaller::FileFunction& compare)
{
    std::string by = "file-version";
    if (takeOption(words, "--by", by) < 0)
        return false;
    if (by == "version")
        compare = &BFileInstaller::compareVersionStamp;
    else if (by == "time")
        compare = &BFileInstaller::compareTimeStamp;
    else if (by == "file-version")
        compare = &BFileInstaller::compareFileVersion;
    else
        return false;
    return true;
}

} // namespace

RAVEL_COMMAND(cmdReg, "reg", "reg <verb> <key> [name [value]]",
              "registry values of a working key (get, get-dword, set, set-dword, set-binary, clear, delete-value, "
              "has, values) and keys by full path (keys, key-exists, delete-key)")
{
    if (args.size() < 2)
        return usage(kRegUsage);
    const std::string verb = args[0];
    const Args rest(args.begin() + 1, args.end());
    if (verb == "keys" || verb == "key-exists" || verb == "delete-key") {
        if (rest.size() != 1)
            return usage(kRegUsage);
        // These take full paths; the object's own working key plays no part.
        BRegistry registry;
        if (verb == "key-exists")
            return exitFor(registry.keyExists(rw(rest[0])));
        if (verb == "delete-key")
            return exitFor(registry.deleteKey(rw(rest[0])));
        BStringVector names;
        const bool ok = registry.enumKeys(rw(rest[0]), names);
        printLines(names);
        return exitFor(ok);
    }
    return regValueCommand(verb, rest);
}

RAVEL_COMMAND(cmdIni, "ini", "ini <verb> <file> ...",
              "INI files: get, get-int, section [--skip-comments], set, set-int, set-section, nul")
{
    Args words = args;
    const bool skipComments = takeFlag(words, "--skip-comments");
    if (words.size() < 3)
        return usage(kIniUsage);
    const std::string verb = words[0];
    const RWCString section = rw(words[2]);
    if (verb == "nul") {
        // The file is named, not opened: a missing file is the writer's own case.
        BIniFile ini;
        ini.bSetFileName(rw(words[1]));
        return exitFor(ini.bWriteNULKeyStringVector(vectorOf(words.begin() + 2, words.end())));
    }
    BIniFile ini(rw(words[1]));
    if (verb == "section" && words.size() == 3) {
        BStringVector lines;
        const bool ok = ini.bGetSection(section, lines, skipComments);
        printLines(lines);
        return exitFor(ok);
    }
    if (verb == "set-section")
        return exitFor(ini.bWriteSection(section, vectorOf(words.begin() + 3, words.end())));
    if (words.size() == 4 && verb == "get") {
        RWCString value;
        const bool ok = ini.bGetString(section, rw(words[3]), value);
        return printed(value, ok);
    }
    if (words.size() == 4 && verb == "get-int") {
        int value = 0;
        const bool ok = ini.bGetInt(section, rw(words[3]), value);
        std::printf("%d\n", value);
        return exitFor(ok);
    }
    if (words.size() == 5 && verb == "set")
        return exitFor(ini.bWriteString(section, rw(words[3]), rw(words[4])));
    long long number = 0;
    if (words.size() == 5 && verb == "set-int")
        return parseLong(words[4], number) && number >= -2147483648LL && number <= 2147483647LL
                   ? exitFor(ini.bWriteInt(section, rw(words[3]), static_cast<int>(number)))
                   : usageError("set-int needs a 32-bit number");
    return usage(kIniUsage);
}

RAVEL_COMMAND(cmdExcluded, "excluded", "excluded <ini> <name> [--os windows|windows95|windows98|windowsNT|windows2000]",
              "whether an exclusion list (INI relative to the current directory) names the item, or names it for "
              "that system")
{
    static const char kUsage[] = "excluded <ini> <name> [--os windows|windows95|windows98|windowsNT|windows2000]";
    Args words = args;
    std::string os;
    const int hasOs = takeOption(words, "--os", os);
    if (words.size() != 2 || hasOs < 0)
        return usage(kUsage);
    if (hasOs == 0) {
        BExcluder excluder;
        excluder.initialize(rw(words[0]));
        return exitFor(excluder.isExcluded(rw(words[1])));
    }
    bool known = false;
    const teOSExclusionType type = osTypeOf(os, known);
    if (!known)
        return usage(kUsage);
    BOSSpecificExcluder excluder;
    excluder.initialize(rw(words[0]));
    return exitFor(excluder.isExcluded(rw(words[1]), type));
}

RAVEL_COMMAND(cmdRebootCopy, "reboot-copy", "reboot-copy <src> <dst>",
              "stage a copy and have it replace the destination at the next restart")
{
    if (args.size() != 2)
        return usage("reboot-copy <src> <dst>");
    sysFileStructure files;
    return exitFor(files.CopyOnReboot(rw(args[0]), rw(args[1])));
}

RAVEL_COMMAND(cmdRebootDelete, "reboot-delete", "reboot-delete <path>", "have a file deleted at the next restart")
{
    if (args.size() != 1)
        return usage("reboot-delete <path>");
    sysFileStructure files;
    return exitFor(files.DeleteOnReboot(rw(args[0])));
}

RAVEL_COMMAND(cmdDeleteFiles, "delete-files", "delete-files <path>...",
              "delete files now, or at the next restart those in use; 1 when any is still there")
{
    if (args.empty())
        return usage("delete-files <path>...");
    {
        BFileDestructor destructor;
        for (const std::string& path : args)
            destructor.addFileToDelete(rw(path));
    }
    sysFileStructure files;
    const bool gone =
        std::none_of(args.begin(), args.end(), [&](const std::string& p) { return files.fileExists(rw(p)); });
    return exitFor(gone);
}

RAVEL_COMMAND(cmdInstall, "install", "install <srcdir> <dstdir> <name>... [--by version|time|file-version] [--reboot]",
              "install the named files whose source is newer, now or at the next restart")
{
    Args words = args;
    const bool reboot = takeFlag(words, "--reboot");
    BFileInstaller::FileFunction compare = nullptr;
    if (!comparisonOf(words, compare) || words.size() < 3)
        return usage(std::string("install ") + kInstallUsage + " [--reboot]");
    BFileInstaller installer(rw(words[0]), rw(words[1]), compare,
                             reboot ? &BFileInstaller::rebootCopyInstall : &BFileInstaller::copyInstall);
    BStringVector names = vectorOf(words.begin() + 2, words.end());
    return exitFor(installer.install(names) == BFileInstaller::FILE_OK);
}

RAVEL_COMMAND(cmdIsCurrent, "is-current", "is-current <srcdir> <dstdir> <name>... [--by version|time|file-version]",
              "FILE_OK when no named file would be installed")
{
    Args words = args;
    BFileInstaller::FileFunction compare = nullptr;
    if (!comparisonOf(words, compare) || words.size() < 3)
        return usage(std::string("is-current ") + kInstallUsage);
    BFileInstaller installer(rw(words[0]), rw(words[1]), compare, &BFileInstaller::copyInstall);
    BStringVector names = vectorOf(words.begin() + 2, words.end());
    const BFileInstaller::teError answer = installer.isCurrent(names);
    std::printf("%s\n", kErrorNames[answer]);
    return exitFor(answer == BFileInstaller::FILE_OK);
}

RAVEL_COMMAND(cmdFileReport, "file-report", "file-report <srcdir> <dstdir> <name>...",
              "describe each named source and destination file")
{
    if (args.size() < 3)
        return usage("file-report <srcdir> <dstdir> <name>...");
    BFileInstaller installer(rw(args[0]), rw(args[1]), &BFileInstaller::compareFileVersion,
                             &BFileInstaller::copyInstall);
    BStringVector names = vectorOf(args.begin() + 2, args.end());
    installer.outputFileInfo(names);
    return kTrue;
}
