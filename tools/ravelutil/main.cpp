// ravelutil [-v | --log-level <level>] <command> [args]: the library from the command line.
// Answers go to standard output, errors to standard error; log records only when asked for.
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
// Above every level: no record passes.
const int kNoRecords = 5;
const char kLevelUsage[] = "--log-level needs omega, alpha, beta, final, release or 0..5";

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
    clearStatus();
    std::fputs(record, stderr);
    std::fflush(stderr);
}

int listCommands()
{
    std::vector<Command> sorted = commands();
    std::sort(sorted.begin(), sorted.end(),
              [](const Command& a, const Command& b) { return std::strcmp(a.name, b.name) < 0; });
    std::printf("usage: ravelutil [-v | --log-level omega|alpha|beta|final|release|0..5] <command> [args]\n\n"
                "Answers go to standard output, errors to standard error. Log records are written to\n"
                "standard error only when asked for: -v at level release, --log-level from the given\n"
                "level up (5: none). On a terminal, cab and zip extract show their progress on one line.\n\n");
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
    // Options stand before the command; --log-level is also taken after it, where scripts have it.
    Args words;
    int level = kNoRecords;
    bool asked = false;
    for (int i = 1; i < argc; ++i) {
        const std::string word = argv[i];
        if (word == "--log-level") {
            if (i + 1 >= argc || !parseLevel(argv[i + 1], level))
                return usageError(kLevelUsage);
            asked = true;
            ++i;
        } else if (word == "-v" && words.empty()) {
            level = LogInterface::LEVEL_RELEASE;
            asked = true;
        } else {
            words.push_back(word);
        }
    }
    if (words.empty())
        return usage("[-v | --log-level <level>] <command> [args]   (ravelutil help lists the commands)");

    setRavelUtilitiesLogLevel(static_cast<LogInterface::teLevel>(level));
    if (asked) {
        // The sink is only called with a non-null context.
        static int context;
        setRavelUtilitiesLogFile(&stderrSink, &context);
    }

    const std::string name = words.front();
    const Args args(words.begin() + 1, words.end());
    for (const Command& c : commands()) {
        if (name == c.name) {
            const int code = c.run(args);
            clearStatus();
            std::fflush(stdout);
            return code;
        }
    }
    return usageError("unknown command '" + name + "' (ravelutil help lists the commands)");
}
