#pragma once
// Running programs the way scripts and installers do: a command line, its exit code and both
// output streams.
#include "RWCString.h"
#include "TestData.h"
#include "internal/win/WinHandle.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace ravel::test {

struct ProgramResult
{
    int exitCode = -1; // -1 when the program could not be started
    std::string out, err;
};

inline ProgramResult runProgram(const std::string& commandLine)
{
    const auto drain = [](HANDLE pipe, std::string& into) {
        char buffer[4096];
        DWORD got = 0;
        while (ReadFile(pipe, buffer, sizeof buffer, &got, nullptr) && got > 0)
            into.append(buffer, got);
    };
    ProgramResult result;
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    KernelHandle outRead, outWrite, errRead, errWrite;
    if (!CreatePipe(outRead.receive(), outWrite.receive(), &inherit, 0) ||
        !CreatePipe(errRead.receive(), errWrite.receive(), &inherit, 0))
        return result;
    SetHandleInformation(outRead.get(), HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(errRead.get(), HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    si.hStdOutput = outWrite.get();
    si.hStdError = errWrite.get();
    PROCESS_INFORMATION pi = {};
    std::string line = commandLine;
    // Under load Wine now and then refuses to start a program copied a moment ago; no test expects
    // a start to fail, so a refused start is tried again a few times before it counts.
    bool started = false;
    for (int attempt = 0; attempt < 5 && !started; ++attempt) {
        started = CreateProcessA(nullptr, &line[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi) != FALSE;
        if (!started)
            Sleep(200);
    }
    if (!started)
        return result;
    const KernelHandle process(pi.hProcess), thread(pi.hThread);
    // Only the child may hold the write ends, or the reads below never see their end.
    outWrite.reset();
    errWrite.reset();
    std::thread errReader([&] { drain(errRead.get(), result.err); });
    drain(outRead.get(), result.out);
    errReader.join();
    DWORD code = 0;
    WaitForSingleObject(process.get(), INFINITE);
    GetExitCodeProcess(process.get(), &code);
    result.exitCode = static_cast<int>(code);
    return result;
}

// RWCString and std::string both ways, embedded zeros included.
inline std::string str(const RWCString& s) { return std::string(s.data(), s.length()); }
inline RWCString rw(const std::string& s) { return RWCString(s.data(), s.size()); }
inline bool exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }
// An argument in quotes, and the space before the next.
inline std::string quoted(const std::string& s) { return "\"" + s + "\" "; }

// The folder of the running test program (where the DLLs sit), with a trailing backslash.
inline std::string binDir()
{
    char path[MAX_PATH];
    const std::string s(path, GetModuleFileNameA(nullptr, path, MAX_PATH));
    return s.substr(0, s.find_last_of('\\') + 1);
}

// The Windows directory, with a trailing backslash.
inline std::string windowsDir()
{
    char path[MAX_PATH];
    return std::string(path, GetWindowsDirectoryA(path, MAX_PATH)) + "\\";
}

// bin\ravelutil.exe with the given arguments (already quoted as needed).
inline ProgramResult ravelutil(const std::string& arguments)
{
    return runProgram("\"" + binDir() + "ravelutil.exe\" " + arguments);
}

// Creates the file if need be and sets its last-write time (noon UTC).
inline bool setWriteTime(const std::string& path, int year, int month, int day)
{
    const SYSTEMTIME parts = {
        static_cast<WORD>(year), static_cast<WORD>(month), 0, static_cast<WORD>(day), 12, 0, 0, 0};
    FILETIME time = {};
    const FileHandle file(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, 0, nullptr));
    return SystemTimeToFileTime(&parts, &time) && file && SetFileTime(file.get(), nullptr, nullptr, &time);
}

// A DLL of tests/win/versioned, named by the version resource it carries.
inline std::string versioned(const char* name) { return binDir() + "ver_" + name + ".dll"; }

inline bool copyInto(const std::string& from, const std::string& folder, const std::string& name)
{
    return CopyFileA(from.c_str(), (folder + name).c_str(), FALSE) != FALSE;
}

// A scratch folder holding a program of bin (by default ravelutil.exe) under a name of its own, so
// that Wine settings by program name reach it alone, with the library's DLLs and further files of
// bin (doubles\..., placed by their file names).
inline std::string programFolder(const std::string& tag, const std::string& exeName,
                                 const std::vector<std::string>& more = {}, const std::string& from = "ravelutil.exe")
{
    const std::string folder = scratchDir(tag);
    for (const char* file : {"qvzkut01.dll", "tls7912d.dll"})
        EXPECT_TRUE(copyInto(binDir() + file, folder, file)) << file;
    for (const std::string& file : more)
        EXPECT_TRUE(copyInto(binDir() + file, folder, file.substr(file.find_last_of('\\') + 1))) << file;
    EXPECT_TRUE(copyInto(binDir() + from, folder, exeName)) << from;
    return folder;
}

} // namespace ravel::test
