#pragma once
// Running programs the way scripts and installers do: a command line, its exit code and both
// output streams.
#include <string>

namespace ravel::test {

struct ProgramResult
{
    int exitCode = -1;  // -1 when the program could not be started
    std::string out;
    std::string err;
};

ProgramResult runProgram(const std::string& commandLine);
// bin\ravelutil.exe with the given arguments (already quoted as needed).
ProgramResult ravelutil(const std::string& arguments);

// The folder of the running test program (where the DLLs sit), with a trailing backslash.
std::string binDir();
bool copyInto(const std::string& from, const std::string& folder, const std::string& name);

} // namespace ravel::test
