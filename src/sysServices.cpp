#include "sysServices.h"

#include "BRegistry.h"
#include "internal/process/CaptureText.h"
#include "internal/system/RunOnceNames.h"
#include "internal/win/WinHandle.h"
#include "sysFileStructure.h"
#include "sysVersion.h"

#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

const char kSpawnStarted[] = "SpawnProcess: Started";
const char kSpawnWaitFailed[] = "SpawnProcess: Error, wait for single object failed.";
const char kSpawnSucceeded[] = "SpawnProcess succeeded for: ";

// Largest single read from the pipe.
const DWORD kReadSize = 64 * 1024;
// Pauses while the pipe is empty and the child still runs, in milliseconds: short at first, so
// a writer blocked on the full pipe goes on quickly, longer for a child that works quietly.
const DWORD kIdlePauses[] = {0, 0, 1, 1, 2, 4, 8, 16};

// Reads the pipe while the child runs and after it has ended, until the pipe is empty or broken.
// The child's writes are all in the pipe once it has ended, so a grandchild that inherited the
// write end and lives on cannot hold the reading up. False when a read of waiting bytes fails.
bool drainUntilChildEnds(HANDLE pipe, HANDLE process, std::string& bytes)
{
    const size_t lastPause = sizeof kIdlePauses / sizeof kIdlePauses[0] - 1;
    std::vector<char> buffer(kReadSize);
    bool ended = false;
    size_t idle = 0;
    for (;;) {
        DWORD waiting = 0;
        // Failing here means every write end is closed and the pipe is empty.
        if (!PeekNamedPipe(pipe, nullptr, 0, nullptr, &waiting, nullptr))
            break;
        if (waiting > 0) {
            DWORD got = 0;
            if (!ReadFile(pipe, buffer.data(), waiting < kReadSize ? waiting : kReadSize, &got, nullptr) || got == 0)
                return false;
            bytes.append(buffer.data(), got);
            idle = 0;
            continue;
        }
        if (ended)
            break;
        ended = WaitForSingleObject(process, kIdlePauses[idle < lastPause ? idle++ : lastPause]) == WAIT_OBJECT_0;
    }
    // The output may end before the program does.
    if (!ended)
        WaitForSingleObject(process, INFINITE);
    return true;
}

} // namespace

sysServices::sysServices() = default;
sysServices::sysServices(const sysServices&) = default;
sysServices& sysServices::operator=(const sysServices&) = default;
sysServices::~sysServices() = default;

bool sysServices::SpawnProcessCaptureOutput(RWCString commandLine, RWCString& output)
{
    if (commandLine.isNull())
        return false;
    const HANDLE savedStdout = GetStdHandle(STD_OUTPUT_HANDLE);

    SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, nullptr, TRUE};
    ravel::KernelHandle inheritedRead;
    ravel::KernelHandle write;
    if (!CreatePipe(inheritedRead.receive(), write.receive(), &inheritable, 0))
        return false;
    if (!SetStdHandle(STD_OUTPUT_HANDLE, write.get()))
        return false;
    // The process's standard output goes back on every way out.
    auto restoreStdout = ravel::onScopeExit([savedStdout] { SetStdHandle(STD_OUTPUT_HANDLE, savedStdout); });
    // The child inherits only the write end.
    const ravel::KernelHandle read = ravel::duplicateHandle(inheritedRead.get());
    if (!read)
        return false;
    inheritedRead.reset();

    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = write.get();
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION started = {};
    // The system may write into the command line it is given.
    std::vector<char> line(commandLine.data(), commandLine.data() + commandLine.length() + 1);
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, DETACHED_PROCESS, nullptr, nullptr, &startup,
                        &started))
        return false;
    const ravel::KernelHandle process(started.hProcess);
    const ravel::KernelHandle thread(started.hThread);

    // The child has its own write end now; without ours the pipe breaks when the child's last
    // writer closes it.
    restoreStdout.dismiss();
    const bool restored = SetStdHandle(STD_OUTPUT_HANDLE, savedStdout) != FALSE;
    write.reset();

    std::string bytes;
    const bool readAll = drainUntilChildEnds(read.get(), process.get(), bytes);
    if (!restored || !readAll || bytes.empty())
        return false;
    output = ravel::capturedText(bytes);
    return true;
}

bool sysServices::SpawnProcess(char* commandLine, RWCString workingDir, bool wait)
{
    RAVEL_LOG(CAT_GENERAL, TYPE_INFO, LEVEL_OMEGA, kSpawnStarted);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started = {};

    RWCString directory;
    if (!workingDir.isNull()) {
        const bool absolute = workingDir.first(':') != RWCString::npos ||
                              (workingDir.length() >= 2 && workingDir[0] == '\\' && workingDir[1] == '\\');
        if (absolute) {
            directory = workingDir;
        } else {
            sysFileStructure files;
            files.getCwd(directory);
            directory = directory + "\\" + workingDir;
        }
    }
    if (!CreateProcessA(nullptr, commandLine, nullptr, nullptr, FALSE, DETACHED_PROCESS, nullptr,
                        directory.isNull() ? nullptr : directory.data(), &startup, &started))
        return false;
    const ravel::KernelHandle process(started.hProcess);
    const ravel::KernelHandle thread(started.hThread);
    if (!wait)
        return true;
    if (WaitForSingleObject(process.get(), INFINITE) == WAIT_FAILED) {
        RAVEL_LOG(CAT_GENERAL, TYPE_ERROR, LEVEL_RELEASE, kSpawnWaitFailed);
        return false;
    }
    RAVEL_LOG(CAT_GENERAL, TYPE_INFO, LEVEL_OMEGA, RWCString(kSpawnSucceeded) + commandLine);
    return true;
}

// System control: the administrator test, privileges, shutting down,
// restarting and logging off, commands to run once. These write no records; every failure is a
// false result.
namespace {

const char kShutdownPrivilege[] = "SeShutdownPrivilege";
const char kRunOnceKey[] = "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
// The token's group list must fit this; a longer one is a failure, not a reason to grow.
const DWORD kTokenGroupsSize = 1024;

// The caller's token: the thread's own when it impersonates (opened as self, so the process's
// rights decide whether we may open it), otherwise the process's.
ravel::KernelHandle openCallerToken(DWORD access)
{
    ravel::KernelHandle token;
    if (OpenThreadToken(GetCurrentThread(), access, TRUE, token.receive()))
        return token;
    if (GetLastError() != ERROR_NO_TOKEN)
        return ravel::KernelHandle();
    if (!OpenProcessToken(GetCurrentProcess(), access, token.receive()))
        return ravel::KernelHandle();
    return token;
}

bool exitWindows(UINT how) { return ExitWindowsEx(how, 0) != FALSE; }

// Restart and shut-down need the privilege enabled on NT 4, 2000 and XP; the 9x family has no
// privileges, and NT 6 is left to the token as it is.
bool shutDownWith(sysServices& services, UINT how)
{
    if (sysVersion().isWinNTBased()) {
        char name[sizeof kShutdownPrivilege];
        std::memcpy(name, kShutdownPrivilege, sizeof name);
        if (!services.Privilege(name, 1))
            return false;
    }
    return exitWindows(how);
}

} // namespace

bool sysServices::isCurrentUserAdmin()
{
    if (sysVersion().isWin9x())
        return true;

    // TOKEN_GROUPS starts with a count and then pointers: keep the buffer aligned for both.
    alignas(TOKEN_GROUPS) unsigned char buffer[kTokenGroupsSize];
    DWORD needed = 0;
    {
        const ravel::KernelHandle token = openCallerToken(TOKEN_QUERY);
        if (!token || !GetTokenInformation(token.get(), TokenGroups, buffer, kTokenGroupsSize, &needed))
            return false;
    }

    SID_IDENTIFIER_AUTHORITY ntAuthority = SECURITY_NT_AUTHORITY;
    PSID administrators = nullptr;
    if (!AllocateAndInitializeSid(&ntAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0,
                                  0, &administrators))
        return false;
    const auto freeSid = ravel::onScopeExit([administrators] { FreeSid(administrators); });

    const auto* groups = reinterpret_cast<const TOKEN_GROUPS*>(buffer);
    for (DWORD i = 0; i < groups->GroupCount; ++i) {
        if (EqualSid(groups->Groups[i].Sid, administrators))
            return true;
    }
    return false;
}

bool sysServices::Privilege(char* name, int enable)
{
    const ravel::KernelHandle token = openCallerToken(TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY);
    if (!token)
        return false;
    TOKEN_PRIVILEGES privileges = {};
    privileges.PrivilegeCount = 1;
    if (!LookupPrivilegeValueA(nullptr, name, &privileges.Privileges[0].Luid))
        return false;
    privileges.Privileges[0].Attributes = enable != 0 ? SE_PRIVILEGE_ENABLED : 0;
    // Succeeds without assigning anything when the token lacks the privilege
    // (ERROR_NOT_ALL_ASSIGNED); callers are not told.
    return AdjustTokenPrivileges(token.get(), FALSE, &privileges, 0, nullptr, nullptr) != FALSE;
}

bool sysServices::ShutDownAndRestart() { return shutDownWith(*this, EWX_REBOOT); }

bool sysServices::ShutDown() { return shutDownWith(*this, EWX_SHUTDOWN); }

bool sysServices::LogOff() { return exitWindows(EWX_LOGOFF); }

bool sysServices::CommandToRunOnce(RWCString command)
{
    BRegistry registry;
    if (!registry.setWorkingKey(kRunOnceKey))
        return false;
    const RWCString name =
        ravel::firstFreeRunOnceName([&](const RWCString& candidate) { return registry.valueExists(candidate); });
    return registry.setValue(name, command);
}
