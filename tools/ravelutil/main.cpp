// ravelutil <command> [args] [--log-level <level>]: the library from the command line.
#include "command.h"

#include "LogInterface.h"

#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

using namespace ravelutil;

const char* const kLevelNames[] = {"omega", "alpha", "beta", "final", "release"};

bool parseLevel(const std::string& text, int& level)
{
    for (int i = 0; i < 5; ++i) {
        if (text == kLevelNames[i]) {
            level = i;
            return true;
        }
    }
    if (text.size() == 1 && text[0] >= '0' && text[0] <= '5') {
        level = text[0] - '0';
        return true;
    }
    return false;
}

void stderrSink(const char* record, void*)
{
    std::fputs(record, stderr);
    std::fflush(stderr);
}

int listCommands()
{
    std::vector<Command> sorted = commands();
    std::sort(sorted.begin(), sorted.end(),
              [](const Command& a, const Command& b) { return std::strcmp(a.name, b.name) < 0; });
    std::printf("usage: ravelutil <command> [args] [--log-level omega|alpha|beta|final|release|0..5]\n\n");
    for (const Command& c : sorted)
        std::printf("  %-44s %s\n", c.usage, c.help);
    return kTrue;
}

} // namespace

RAVEL_COMMAND(cmdHelp, "help", "help", "list the commands")
{
    (void)args;
    return listCommands();
}

int main(int argc, char** argv)
{
    // Output goes out byte for byte (records, captured program output): no CR added before LF.
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    Args words;
    int level = LogInterface::LEVEL_RELEASE;
    for (int i = 1; i < argc; ++i) {
        const std::string word = argv[i];
        if (word == "--log-level") {
            if (i + 1 >= argc || !parseLevel(argv[i + 1], level))
                return usageError("--log-level needs omega, alpha, beta, final, release or 0..5");
            ++i;
        } else {
            words.push_back(word);
        }
    }
    if (words.empty())
        return usage("<command> [args]   (ravelutil help lists the commands)");

    setRavelUtilitiesLogLevel(static_cast<LogInterface::teLevel>(level));
    // The sink is only called with a non-null context.
    static int context;
    setRavelUtilitiesLogFile(&stderrSink, &context);

    const std::string name = words.front();
    const Args args(words.begin() + 1, words.end());
    for (const Command& c : commands()) {
        if (name == c.name) {
            const int code = c.run(args);
            std::fflush(stdout);
            return code;
        }
    }
    return usageError("unknown command '" + name + "' (ravelutil help lists the commands)");
}
