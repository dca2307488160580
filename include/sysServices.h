#pragma once
#include "LogInterface.h"
#include "RWCString.h"

// Services on the system as a whole: starting programs and capturing their output.
class RAVELUTIL_API sysServices : public LogInterface
{
public:
    sysServices();
    sysServices(const sysServices& other);
    sysServices& operator=(const sysServices& other);
    virtual ~sysServices();

    // Runs the command line, waits for its end and, on success, replaces output with everything the
    // program wrote to its standard output. A program that writes nothing counts as a failure.
    // Switches the process's standard output handle while starting the child: calls must not overlap.
    bool SpawnProcessCaptureOutput(RWCString commandLine, RWCString& output);
    // Starts the program, in workingDir when it is not empty (relative to the current directory
    // unless it holds a drive colon or is a UNC path), and optionally waits for its end.
    bool SpawnProcess(char* commandLine, RWCString workingDir, bool wait);
};
