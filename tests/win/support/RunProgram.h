#pragma once
#include <string>

namespace testpaths {

struct ProgramResult
{
    int exitCode = -1;  // -1 when the program could not be started
    std::string out;
    std::string err;
};

// Runs a command line, waits for it, and returns its exit code and both output streams.
ProgramResult runProgram(const std::string& commandLine);

// Runs bin\ravelutil.exe with the given arguments (already quoted as needed).
ProgramResult ravelutil(const std::string& arguments);

}
