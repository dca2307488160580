#include "RunProgram.h"
#include "TestPaths.h"

#include <windows.h>

#include <thread>

namespace testpaths {

namespace {
struct Handle
{
    HANDLE h = nullptr;
    ~Handle() { reset(); }
    void reset()
    {
        if (h != nullptr && h != INVALID_HANDLE_VALUE)
            CloseHandle(h);
        h = nullptr;
    }
};

void drain(HANDLE pipe, std::string& into)
{
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(pipe, buffer, sizeof buffer, &got, nullptr) && got > 0)
        into.append(buffer, got);
}
} // namespace

ProgramResult runProgram(const std::string& commandLine)
{
    ProgramResult result;
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    Handle outRead, outWrite, errRead, errWrite;
    if (!CreatePipe(&outRead.h, &outWrite.h, &inherit, 0) || !CreatePipe(&errRead.h, &errWrite.h, &inherit, 0))
        return result;
    SetHandleInformation(outRead.h, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(errRead.h, HANDLE_FLAG_INHERIT, 0);

    STARTUPINFOA si = {};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    si.hStdOutput = outWrite.h;
    si.hStdError = errWrite.h;
    PROCESS_INFORMATION pi = {};
    std::string line = commandLine;
    if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi))
        return result;
    outWrite.reset();
    errWrite.reset();
    std::thread errReader([&] { drain(errRead.h, result.err); });
    drain(outRead.h, result.out);
    errReader.join();
    WaitForSingleObject(pi.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(pi.hProcess, &code);
    result.exitCode = static_cast<int>(code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return result;
}

ProgramResult ravelutil(const std::string& arguments)
{
    return runProgram("\"" + binDir() + "ravelutil.exe\" " + arguments);
}

} // namespace testpaths
