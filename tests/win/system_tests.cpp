// System control, threads and network drives through the DLL; privileges change only this test's
// own token. Drives are mapped through an mpr.dll double beside a copy of ravelutil.exe, never a
// real share. The commands, the locales, restart, shut-down and log-off: system_cli_tests.sh.
#include "internal/win/WinHandle.h"

#include "LogCapture.h"
#include "RunProgram.h"
#include "TestData.h"
#include "WinScoped.h"

#include "BOsAutoResetEvent.h"
#include "BOsSemaphore.h"
#include "BOsThread.h"
#include "BRegistry.h"
#include "sysServices.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

using namespace ravel::test;

namespace {

// "absent", "disabled" or "enabled", read from the token itself.
std::string privilegeIn(HANDLE token, const char* name)
{
    LUID id;
    alignas(TOKEN_PRIVILEGES) unsigned char buffer[4096];
    DWORD size = 0;
    const auto* list = reinterpret_cast<const TOKEN_PRIVILEGES*>(buffer);
    if (LookupPrivilegeValueA(nullptr, name, &id) &&
        GetTokenInformation(token, TokenPrivileges, buffer, sizeof buffer, &size)) {
        for (const LUID_AND_ATTRIBUTES* p = list->Privileges; p != list->Privileges + list->PrivilegeCount; ++p) {
            if (p->Luid.LowPart == id.LowPart && p->Luid.HighPart == id.HighPart)
                return p->Attributes & SE_PRIVILEGE_ENABLED ? "enabled" : "disabled";
        }
    }
    return "absent";
}

bool privilege(std::string name, int enable) { return sysServices().Privilege(&name[0], enable); }

// Tells that it runs, waits on a gate, and answers how many threads had passed it, itself included.
// It reads its members before waiting only, so it may outlive its object.
struct GateThread : BOsThread
{
    GateThread(HANDLE g, volatile LONG* p, HANDLE i = nullptr) : gate(g), passed(p), inside(i) {}
    unsigned int Thread() override
    {
        volatile LONG* const counter = passed;
        if (inside != nullptr)
            SetEvent(inside);
        WaitForSingleObject(gate, INFINITE);
        return static_cast<unsigned int>(InterlockedIncrement(counter));
    }
    HANDLE gate;
    volatile LONG* passed;
    HANDLE inside;
};

// Of two started threads waiting on one gate, the one that passed first; the other must not pass.
int onlyOnePassed(GateThread& a, GateThread& b)
{
    const HANDLE both[] = {a.GetHandle(), b.GetHandle()};
    const DWORD first = WaitForMultipleObjects(2, both, FALSE, 60000) - WAIT_OBJECT_0;
    EXPECT_LT(first, 2u);
    EXPECT_EQ((first == 0 ? b : a).Wait(100), 258u) << "one signal let two threads through";
    return static_cast<int>(first);
}

DWORD exitCodeOf(HANDLE thread, DWORD code = 0) { return GetExitCodeThread(thread, &code) ? code : 0xDEAD; }

} // namespace

TEST(SystemControl, AdministratorAndPrivilegesOfTheCallersToken)
{
    EXPECT_TRUE(sysServices().isCurrentUserAdmin());
    ravel::KernelHandle process;
    ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, process.receive()));
    EXPECT_TRUE(privilege("SeShutdownPrivilege", 1));
    EXPECT_EQ(privilegeIn(process.get(), "SeShutdownPrivilege"), "enabled");
    EXPECT_TRUE(privilege("SeShutdownPrivilege", 0));
    EXPECT_EQ(privilegeIn(process.get(), "SeShutdownPrivilege"), "disabled");
    EXPECT_FALSE(privilege("SeNoSuchPrivilege", 1));
    // A privilege the token lacks: nothing is assigned, and the call still succeeds.
    ASSERT_EQ(privilegeIn(process.get(), "SeCreateTokenPrivilege"), "absent");
    EXPECT_TRUE(privilege("SeCreateTokenPrivilege", 1));

    // An impersonating thread is judged, and changed, by its own token.
    ASSERT_TRUE(ImpersonateSelf(SecurityImpersonation));
    const auto revert = ravel::onScopeExit([] { RevertToSelf(); });
    ravel::KernelHandle thread;
    ASSERT_TRUE(OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, TRUE, thread.receive()));
    EXPECT_TRUE(sysServices().isCurrentUserAdmin());
    EXPECT_TRUE(privilege("SeShutdownPrivilege", 1));
    EXPECT_EQ(privilegeIn(thread.get(), "SeShutdownPrivilege"), "enabled");
    EXPECT_EQ(privilegeIn(process.get(), "SeShutdownPrivilege"), "disabled");
}

// Values land in the user's own run-once key under the next free name; an empty command writes
// nothing. The system removes the values after the next log-on, which frees the base name again.
TEST(SystemControl, RunOnceCommandsTakeTheNextFreeName)
{
    BRegistry runOnce("HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce");
    const char* const names[] = {"qvkxokey", "qvkxokey1", "qvkxokey2"};
    for (const char* name : names)
        runOnce.deleteValue(name);
    const auto value = [&](const char* name) {
        RWCString command;
        return runOnce.getValue(name, command) ? std::string(command.data()) : "absent";
    };
    sysServices services;
    EXPECT_TRUE(services.CommandToRunOnce("x.exe /a") && services.CommandToRunOnce("y.exe /b"));
    EXPECT_FALSE(services.CommandToRunOnce(""));
    EXPECT_EQ(value("qvkxokey") + "|" + value("qvkxokey1") + "|" + value("qvkxokey2"), "x.exe /a|y.exe /b|absent");
    // Once the first is gone (as after a log-on), the base name is taken again.
    EXPECT_TRUE(runOnce.deleteValue("qvkxokey") && services.CommandToRunOnce("z.exe"));
    EXPECT_EQ(value("qvkxokey"), "z.exe");
    for (const char* name : names)
        runOnce.deleteValue(name);
}

TEST(Synchronisation, SemaphoreUnitsAndEventResets)
{
    BOsSemaphore once;
    EXPECT_EQ(std::vector<bool>({once.isBlocked(), once.isBlocked()}), std::vector<bool>({false, true}));
    once.Release(1);
    EXPECT_FALSE(once.isBlocked());

    // Each unit lets one waiter through, in turn; beyond the maximum the system refuses it all.
    BOsSemaphore gate(2, 0, nullptr);
    volatile LONG passed = 0;
    GateThread a(gate.GetHandle(), &passed), b(gate.GetHandle(), &passed);
    a.Start();
    b.Start();
    EXPECT_EQ(a.Wait(100), 258u);
    gate.Release(1);
    GateThread& second = onlyOnePassed(a, b) == 0 ? b : a;
    gate.Release(1);
    EXPECT_EQ(second.Wait(-1), 0u);
    EXPECT_EQ(second.GetResult(), 2u);
    gate.Release(3);
    EXPECT_TRUE(gate.isBlocked());

    BOsAutoResetEvent automatic;
    automatic.Set();
    automatic.Reset(); // no effect
    EXPECT_TRUE(automatic.isSignaled());
    EXPECT_FALSE(automatic.isSignaled());
    BOsEvent manual;
    BOsEvent(manual).Set(); // a copy is the same event under a handle of its own
    EXPECT_TRUE(manual.isSignaled() && manual.isSignaled());
    manual.Reset();
    EXPECT_FALSE(manual.isSignaled());

    // One Set of the auto-reset event lets one of two waiters through; of the manual one, both.
    GateThread c(automatic.GetHandle(), &passed), d(automatic.GetHandle(), &passed);
    GateThread m(manual.GetHandle(), &passed), n(manual.GetHandle(), &passed);
    for (GateThread* t : {&c, &d, &m, &n})
        t->Start();
    automatic.Set();
    onlyOnePassed(c, d);
    automatic.Set();
    manual.Set();
    for (GateThread* t : {&c, &d, &m, &n})
        EXPECT_EQ(t->Wait(-1), 0u);
}

TEST(Thread, ParkedUntilStartAbortedOrLetGo)
{
    const ravel::KernelHandle open(CreateEventA(nullptr, TRUE, TRUE, nullptr));
    const ravel::KernelHandle closed(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    const ravel::KernelHandle inside(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    volatile LONG passed = 0;
    {
        GateThread thread(open.get(), &passed);
        EXPECT_NE(thread.GetThreadID(), 0u);
        EXPECT_EQ(thread.Wait(100), 258u);
        EXPECT_EQ(thread.Priority(THREAD_PRIORITY_ABOVE_NORMAL), 0);
        EXPECT_EQ(GetThreadPriority(thread.GetHandle()), THREAD_PRIORITY_ABOVE_NORMAL);
        EXPECT_EQ(thread.Priority(BOsThread::PRIORITY_QUERY), THREAD_PRIORITY_ABOVE_NORMAL);
        EXPECT_EQ(thread.Suspend() + thread.Suspend() + thread.Resume() + thread.Resume(), 0u + 1 + 2 + 1);
        EXPECT_EQ(passed, 0);
        EXPECT_EQ(thread.GetResult(), 0u);
        EXPECT_EQ(thread.Start(), 0u);
        EXPECT_EQ(thread.Wait(-1), 0u);
        EXPECT_EQ(thread.GetResult(), 1u);
    }
    GateThread parked(closed.get(), &passed), running(closed.get(), &passed, inside.get());
    parked.Abort(7);
    running.Start();
    ASSERT_EQ(WaitForSingleObject(inside.get(), 60000), WAIT_OBJECT_0);
    running.Abort(9);
    for (auto [thread, code] : {std::pair<GateThread*, unsigned>{&parked, 7}, {&running, 9}}) {
        EXPECT_EQ(thread->Wait(-1), 0u);
        EXPECT_EQ(thread->GetResult(), code);
        EXPECT_EQ(exitCodeOf(thread->GetHandle()), code);
    }

    // Objects gone first: the parked thread ends without its body, the running one after it.
    auto never = std::make_unique<GateThread>(open.get(), &passed);
    auto busy = std::make_unique<GateThread>(closed.get(), &passed, inside.get());
    const ravel::KernelHandle neverThread(
        OpenThread(SYNCHRONIZE | THREAD_QUERY_INFORMATION, FALSE, never->GetThreadID()));
    const ravel::KernelHandle busyThread(
        OpenThread(SYNCHRONIZE | THREAD_QUERY_INFORMATION, FALSE, busy->GetThreadID()));
    ResetEvent(inside.get());
    busy->Start();
    ASSERT_EQ(WaitForSingleObject(inside.get(), 60000), WAIT_OBJECT_0);
    never.reset();
    busy.reset();
    SetEvent(closed.get());
    // Bounds, not timings: a stranded thread fails here.
    EXPECT_EQ(WaitForSingleObject(neverThread.get(), 60000), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(busyThread.get(), 60000), WAIT_OBJECT_0);
    EXPECT_EQ(exitCodeOf(neverThread.get()), 0u);
    EXPECT_EQ(exitCodeOf(busyThread.get()), 2u);
    EXPECT_EQ(passed, 2);
}

TEST(NetworkDrives, ScriptedProviderGivesEachOutcomeAndRecord)
{
    const std::string exe = "ru-mpr.exe";
    const std::string folder = programFolder("ravel-mpr", exe, {"doubles\\mpr\\mpr.dll"});
    ravel::test::ScopedWineSetting native(exe, "DllOverrides", "mpr", "native");
    const std::string log = folder + "mpr.log";
    ScopedVariable logVariable("RAVEL_MPR_LOG", log);
    const auto run = [&](const std::string& arguments) {
        DeleteFileA(log.c_str());
        return ravel::test::runProgram("\"" + folder + exe + "\" " + arguments + " --log-level omega");
    };
    const auto expectRecord = [](const ravel::test::ProgramResult& result, const std::string& comment, bool failed) {
        // Exactly one record, at the head of standard error.
        EXPECT_EQ(result.err.find(record(comment, failed ? "network" : "general", failed ? "error" : "info", "release",
                                         "src/sysmsnetworking.cpp")),
                  0u)
            << result.err;
        EXPECT_EQ(result.err.find("COMMENT: ", 1), std::string::npos) << result.err;
        EXPECT_EQ(result.exitCode, failed ? 1 : 0);
    };

    char letter = 'z'; // the highest this prefix leaves free
    while (letter > 'e' && (GetLogicalDrives() & (1ul << (letter - 'a'))) != 0)
        --letter;
    const std::string drive = std::string(1, letter) + ":";
    const std::string add = "WNetAddConnectionA remote=\"\\\\srv\\share\" password=";
    const std::string local = " local=\"" + drive + "\" answer=";
    struct Case
    {
        const char* script;
        std::vector<std::string> calls;
        bool mapped;
    };
    const Case cases[] = {
        {"0", {add + "(null)" + local + "0"}, true},
        {"86 0", {add + "(null)" + local + "86", add + "\"\"" + local + "0"}, true},
        {"86 86", {add + "(null)" + local + "86", add + "\"\"" + local + "86"}, false},
        {"53", {add + "(null)" + local + "53"}, false},
    };
    for (const Case& c : cases) {
        ScopedVariable script("RAVEL_MPR_SCRIPT", c.script);
        const ravel::test::ProgramResult result = run("map \\\\srv\\share");
        EXPECT_EQ(lines(ravel::test::readFile(log)), c.calls) << c.script;
        EXPECT_EQ(result.out, c.mapped ? drive + "\n" : "") << c.script;
        expectRecord(result,
                     c.mapped ? "[sysMSNetworking::mapDrive] successfully mapped \\\\srv\\share to " + drive
                              : "[sysMSNetworking::mapDrive] FAILED to map \\\\srv\\share",
                     !c.mapped);
    }

    expectRecord(run("unmap z:\\path"), "[sysMSNetworking::unmapDrive] successfully unmapped z:\\path", false);
    EXPECT_EQ(lines(ravel::test::readFile(log)),
              std::vector<std::string>{"WNetCancelConnectionA name=\"z:\" force=1 answer=0"});
    {
        ScopedVariable refuse("RAVEL_MPR_CANCEL", "2250");
        expectRecord(run("unmap q:"), "[sysMSNetworking::unmapDrive] FAILED to unmap q:", true);
    }
    // Nothing to connect or disconnect: no call and no record.
    for (const char* arguments : {"unmap z", "map \"\""}) {
        const ravel::test::ProgramResult result = run(arguments);
        EXPECT_EQ(result.exitCode, 1) << arguments;
        EXPECT_EQ(result.err + ravel::test::readFile(log), "") << arguments;
    }
}
