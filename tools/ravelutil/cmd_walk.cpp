// Directory walking, file finding and text files: walk, find, lines, write.
#include "command.h"

#include "BFileBuilder.h"
#include "BFileIterator.h"
#include "sysFileStructure.h"

#include <cstdio>
#include <string>

using namespace ravelutil;

namespace {

const char* const kWalkUsage = "walk <dir> [--files] [--dirs]";
const char* const kFindUsage = "find <basedir> <name>";
const char* const kLinesUsage = "lines <file> [--buffer <n>]";
const char* const kWriteUsage = "write <file> <text>...";

// Each piece as delivered, its line end shown as a marker so that split lines are visible.
bool printPiece(RWCString& line, void*)
{
    std::string text = str(line);
    const bool ended = !text.empty() && text.back() == '\n';
    if (ended)
        text.pop_back();
    std::printf("%s%s\n", text.c_str(), ended ? "$" : "");
    return true;
}

} // namespace

RAVEL_COMMAND(cmdWalk, "walk", kWalkUsage, "a directory's files and sub-directories, in the system's order")
{
    if (args.empty())
        return usage(kWalkUsage);
    bool files = false, dirs = false;
    for (std::size_t i = 1; i < args.size(); ++i) {
        if (args[i] == "--files")
            files = true;
        else if (args[i] == "--dirs")
            dirs = true;
        else
            return usage(kWalkUsage);
    }
    if (!files && !dirs)
        files = dirs = true;
    sysFileStructure::directoryWalker walker(rw(args[0]), dirs, files);
    char* name = nullptr;
    int result;
    while ((result = walker.FindNext(&name)) == 0)
        std::printf("%s\n", name);
    return result == 18 ? kTrue : failure(args[0] + ": walk ended with system error " + std::to_string(result));
}

RAVEL_COMMAND(cmdFind, "find", kFindUsage, "the full path of the first file of that name (base directory first)")
{
    if (args.size() != 2)
        return usage(kFindUsage);
    sysFileStructure::fileFinder finder(rw(args[0]));
    const RWCString path = finder.findPathToFile(rw(args[1]));
    if (path.length() == 0)
        return kFalse;
    std::printf("%s\n", path.data());
    return kTrue;
}

RAVEL_COMMAND(cmdLines, "lines", kLinesUsage, "a text file's lines as the iterator delivers them ($ marks a line end)")
{
    long long size = 1024;
    if (args.size() == 3 && args[1] == "--buffer") {
        if (!parseLong(args[2], size) || size < 2 || size > (1 << 24))
            return usageError("--buffer wants a number from 2 to 16777216");
    } else if (args.size() != 1) {
        return usage(kLinesUsage);
    }
    BFileIterator iterator(static_cast<int>(size));
    const BFileIterator::teErrors result = iterator.iterate(rw(args[0]), printPiece, nullptr);
    if (result == BFileIterator::ITERATE_OPEN_FAILED)
        return failure(args[0] + ": cannot open");
    return result == BFileIterator::ITERATE_OK ? kTrue : failure(args[0] + ": read error");
}

RAVEL_COMMAND(cmdWrite, "write", kWriteUsage, "a new text file with the texts written one after another")
{
    if (args.size() < 2)
        return usage(kWriteUsage);
    BFileBuilder builder;
    if (builder.init(rw(args[0])) != BFileBuilder::BUILD_OK)
        return failure(args[0] + ": cannot create");
    for (std::size_t i = 1; i < args.size(); ++i) {
        RWCString text = rw(args[i]);
        if (builder.addString(text) != BFileBuilder::BUILD_OK)
            return failure(args[0] + ": write failed");
    }
    return kTrue;
}
