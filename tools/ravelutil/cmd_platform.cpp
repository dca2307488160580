// Platform and option-string commands: platform, args.
#include "command.h"

#include "BCommandStringParser.h"
#include "sysVersion.h"

#include <cstdio>

using namespace ravelutil;

namespace {
const char* const kPlatformNames[] = {"PLATFORM_UNRECOGNIZED", "PLATFORM_WIN32S", "PLATFORM_WIN95",
                                      "PLATFORM_WIN98",        "PLATFORM_WINNT4", "PLATFORM_WIN2000",
                                      "PLATFORM_WINME",        "PLATFORM_WINXP",  "PLATFORM_WINVISTA"};

const char* yesNo(bool value) { return value ? "true" : "false"; }
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
