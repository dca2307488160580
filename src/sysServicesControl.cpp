// The system-control half of sysServices: the administrator test, privileges, shutting down,
// restarting and logging off, commands to run once. These write no records; every failure is a
// false result.
#include "sysServices.h"

#include "BRegistry.h"
#include "internal/system/RunOnceNames.h"
#include "internal/win/WinHandle.h"
#include "sysVersion.h"

#include <windows.h>

#include <cstring>

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
