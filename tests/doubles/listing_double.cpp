// Stands in for the system's route or arp program. Every run appends its command line (one line)
// to the file named by RAVEL_<NAME>_LOG; a listing run ("route print", "arp -a") writes the bytes
// of the file named by RAVEL_<NAME>_OUTPUT to standard output. Both variables are set by the test.
#include "internal/win/WinHandle.h"

#include <fstream>
#include <iterator>
#include <string>

#ifndef RAVEL_DOUBLE_NAME
#error "RAVEL_DOUBLE_NAME (ROUTE or ARP) must be defined"
#endif

namespace {

std::string variable(const char* suffix)
{
    const std::string name = std::string("RAVEL_") + RAVEL_DOUBLE_NAME + suffix;
    char value[MAX_PATH * 2];
    const DWORD n = GetEnvironmentVariableA(name.c_str(), value, sizeof value);
    return n > 0 && n < sizeof value ? std::string(value, n) : std::string();
}

void writeAll(HANDLE to, const std::string& bytes)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        DWORD written = 0;
        if (!WriteFile(to, bytes.data() + done, static_cast<DWORD>(bytes.size() - done), &written, nullptr) ||
            written == 0)
            return;
        done += written;
    }
}

std::string readAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The first argument after the program name.
std::string firstArgument(const std::string& commandLine)
{
    std::size_t at = 0;
    if (!commandLine.empty() && commandLine[0] == '"')
        at = commandLine.find('"', 1);
    at = commandLine.find(' ', at == std::string::npos ? 0 : at);
    if (at == std::string::npos)
        return std::string();
    at = commandLine.find_first_not_of(' ', at);
    if (at == std::string::npos)
        return std::string();
    const std::size_t end = commandLine.find(' ', at);
    return commandLine.substr(at, end == std::string::npos ? std::string::npos : end - at);
}

} // namespace

int main()
{
    const std::string commandLine = GetCommandLineA();
    const std::string log = variable("_LOG");
    if (!log.empty()) {
        const ravel::FileHandle file(CreateFileA(log.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                                 nullptr, OPEN_ALWAYS, 0, nullptr));
        if (file)
            writeAll(file.get(), commandLine + "\n");
    }
    const std::string argument = firstArgument(commandLine);
    if (argument == "print" || argument == "-a") {
        const std::string output = variable("_OUTPUT");
        if (!output.empty())
            writeAll(GetStdHandle(STD_OUTPUT_HANDLE), readAll(output));
    }
    return 0;
}
