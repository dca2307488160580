#include "internal/net/CommandRun.h"

#include "internal/net/NetText.h"
#include "sysServices.h"

#include <cstring>

namespace ravel {

RWCString captureCommand(const char* commandLine)
{
    RWCString output;
    sysServices services;
    services.SpawnProcessCaptureOutput(commandLine, output);
    return output;
}

bool runCommand(const char* pattern, std::initializer_list<RWCString> texts, RWCString& line)
{
    if (!formatCommandLine(pattern, texts, line))
        return false;
    // The system may write into the command line it is given, so it goes in a buffer of our own.
    char buffer[kCommandLineSize] = {};
    std::memcpy(buffer, line.data(), line.length());
    sysServices services;
    return services.SpawnProcess(buffer, RWCString(), true);
}

} // namespace ravel
