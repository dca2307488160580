// A child program for the process tests. Writes with WriteFile so that nothing is left in a
// runtime buffer when it ends.
//   bytes <n>            n bytes of a repeating text
//   text <words...>      the words joined by blanks, and a line end
//   nothing              writes nothing
//   stderr               writes only to standard error
//   exit <code> <text>   writes the text and ends with that exit code
//   cwd <file>           writes the current directory into the file
//   grandchild <event>   starts "hold <event>" with the same standard output, writes its id, ends
//   hold <event>         waits for the named event (at most a minute)
#include "Doubles.h"

#include <cstdlib>

namespace {

bool writeOut(const std::string& bytes) { return writeAll(GetStdHandle(STD_OUTPUT_HANDLE), bytes); }

int grandchild(const char* self, const char* event)
{
    std::string line = std::string("\"") + self + "\" hold " + event;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION started = {};
    if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &started))
        return 2;
    const ravel::KernelHandle process(started.hProcess), thread(started.hThread);
    writeOut("grandchild " + std::to_string(started.dwProcessId) + "\n");
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "bytes" && argc == 3)
        return writeOut(childPattern(std::strtoul(argv[2], nullptr, 10))) ? 0 : 1;
    if (mode == "text") {
        std::string text;
        for (int i = 2; i < argc; ++i)
            text += (i > 2 ? " " : "") + std::string(argv[i]);
        return writeOut(text + "\n") ? 0 : 1;
    }
    if (mode == "nothing")
        return 0;
    if (mode == "stderr")
        return writeAll(GetStdHandle(STD_ERROR_HANDLE), "only here\n") ? 0 : 1;
    if (mode == "exit" && argc == 4)
        return writeOut(std::string(argv[3]) + "\n") ? std::atoi(argv[2]) : 1;
    if (mode == "cwd" && argc == 3) {
        char directory[MAX_PATH] = {};
        GetCurrentDirectoryA(MAX_PATH, directory);
        const ravel::FileHandle file(CreateFileA(argv[2], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
        return file && writeAll(file.get(), directory) ? 0 : 1;
    }
    if (mode == "grandchild" && argc == 3)
        return grandchild(argv[0], argv[2]);
    if (mode == "hold" && argc == 3) {
        const ravel::KernelHandle event(OpenEventA(SYNCHRONIZE, FALSE, argv[2]));
        return event && WaitForSingleObject(event.get(), 60000) == WAIT_OBJECT_0 ? 0 : 1;
    }
    return 2;
}
