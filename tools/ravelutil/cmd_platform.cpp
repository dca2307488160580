// Platform, option-string and process commands: platform, args, run, spawn.
#include "command.h"

#include "BCommandStringParser.h"
#include "sysServices.h"
#include "sysVersion.h"

#include <cstdio>
#include <vector>

using namespace ravelutil;

namespace {
const char* const kPlatformNames[] = {"PLATFORM_UNRECOGNIZED", "PLATFORM_WIN32S", "PLATFORM_WIN95",
                                      "PLATFORM_WIN98",        "PLATFORM_WINNT4", "PLATFORM_WIN2000",
                                      "PLATFORM_WINME",        "PLATFORM_WINXP",  "PLATFORM_WINVISTA"};

const char* yesNo(bool value) { return value ? "true" : "false"; }

// The words from `first` on as one command line; words with blanks are quoted again, since the
// shell's quotes were taken off on the way in.
RWCString commandLine(const Args& args, std::size_t first)
{
    RWCString line;
    for (std::size_t i = first; i < args.size(); ++i) {
        if (i > first)
            line += ' ';
        const bool quote = args[i].find_first_of(" \t") != std::string::npos && args[i].front() != '"';
        if (quote)
            line += '"';
        line += rw(args[i]);
        if (quote)
            line += '"';
    }
    return line;
}
} // namespace

RAVEL_COMMAND(cmdPlatform, "platform", "platform", "print the Windows platform, its version and family")
{
    if (!args.empty())
        return usage("platform");
    sysVersion version;
    const tePlatform platform = version.getPlatform();
    unsigned long major = 0, minor = 0, build = 0;
    version.getPlatformVersion(&major, &minor, &build);
    const unsigned index = static_cast<unsigned>(platform);
    std::printf("platform %u %s\n", index,
                index < sizeof kPlatformNames / sizeof kPlatformNames[0] ? kPlatformNames[index] : "?");
    std::printf("version %lu.%lu.%lu\n", major, minor, build);
    std::printf("isWin9x %s\n", yesNo(version.isWin9x()));
    std::printf("isWinNTBased %s\n", yesNo(version.isWinNTBased()));
    return platform == PLATFORM_UNRECOGNIZED ? kFalse : kTrue;
}

RAVEL_COMMAND(cmdArgs, "args", "args <switch chars> <option letter> <command string...>",
              "what the option parser finds for one option letter")
{
    static const char kUsage[] = "args <switch chars> <option letter> <command string...>";
    if (args.size() < 2 || args[1].size() != 1)
        return usage(kUsage);
    RWCString command;
    for (std::size_t i = 2; i < args.size(); ++i) {
        if (i > 2)
            command += ' ';
        command += rw(args[i]);
    }
    BCommandStringParser parser(command, rw(args[0]));
    const char option = args[1][0];
    RWCString text;
    int number = 0;
    const bool present = parser.exists(option);
    const bool hasString = parser.getString(option, &text);
    const bool hasInt = parser.getInt(option, &number);
    std::printf("command %s\n", parser.getCommandString().data());
    std::printf("present %s\n", yesNo(present));
    std::printf("string %s %s\n", yesNo(hasString), text.data());
    if (hasInt)
        std::printf("int true %d\n", number);
    else
        std::printf("int false\n");
    return exitFor(present);
}

RAVEL_COMMAND(cmdRun, "run", "run <command line>", "run a program and print what it wrote to standard output")
{
    if (args.empty())
        return usage("run <command line>");
    RWCString output;
    sysServices services;
    if (!services.SpawnProcessCaptureOutput(commandLine(args, 0), output))
        return failure("run: nothing captured (the program did not start, or wrote nothing)");
    std::fwrite(output.data(), 1, output.length(), stdout);
    return kTrue;
}

RAVEL_COMMAND(cmdSpawn, "spawn", "spawn [--wait] [--dir D] <command line>",
              "start a program, optionally in a directory, optionally waiting for its end")
{
    static const char kUsage[] = "spawn [--wait] [--dir D] <command line>";
    bool wait = false;
    RWCString directory;
    std::size_t at = 0;
    for (; at < args.size(); ++at) {
        if (args[at] == "--wait") {
            wait = true;
        } else if (args[at] == "--dir") {
            if (++at >= args.size())
                return usage(kUsage);
            directory = rw(args[at]);
        } else {
            break;
        }
    }
    if (at >= args.size())
        return usage(kUsage);
    const RWCString line = commandLine(args, at);
    // The system may write into the line it is given.
    std::vector<char> buffer(line.data(), line.data() + line.length() + 1);
    sysServices services;
    if (!services.SpawnProcess(buffer.data(), directory, wait))
        return failure("spawn: the program did not start, or could not be waited for");
    return kTrue;
}
