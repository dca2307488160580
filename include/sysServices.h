#pragma once
#include "LogInterface.h"
#include "RWCString.h"

// Services on the system as a whole: starting programs and capturing their output; the user's
// rights, the token's privileges, shutting down, restarting and logging off. None of the latter
// writes a record; every failure is a false result.
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

    // Whether the caller's token (the thread's impersonation token, else the process token)
    // holds the administrators group, whatever the group's attributes; always true on the 9x
    // family. A token with more groups than fit 1024 bytes counts as not an administrator.
    bool isCurrentUserAdmin();
    // Enables (non-zero) or disables (zero) a privilege in the caller's token. A name the system
    // does not know fails; a privilege the token does not hold is not detected and succeeds.
    bool Privilege(char* name, int enable);
    // Each only starts the operation (no force flag) and returns while applications are asked to
    // close. Restart and shut-down enable the shut-down privilege first on NT 4, 2000 and XP only.
    bool ShutDownAndRestart();
    bool ShutDown();
    bool LogOff();
    // Registers the command line to run once at the current user's next log-on, under the first
    // free value name of "qvkxokey", "qvkxokey1", "qvkxokey2", ... Works through a BRegistry made
    // with the default working key, so it fails for a user who may not open that key with full
    // access; an empty command fails and writes nothing.
    bool CommandToRunOnce(RWCString command);
};
