// System control, language, threads and network drives through the DLL. Privileges change only
// this test's own token; restart, shut-down and log-off run in a prefix of their own (see
// system_shutdown_tests.sh). Drives are mapped through an mpr.dll double beside a copy of
// ravelutil.exe, never against a real share.
#include "internal/win/WinHandle.h"

#include "LogCapture.h"
#include "RunProgram.h"
#include "TestData.h"
#include "TestPaths.h"
#include "WinScoped.h"

#include "BCriticalSection.h"
#include "BOsAutoResetEvent.h"
#include "BOsSemaphore.h"
#include "BOsThread.h"
#include "sysLanguage.h"
#include "sysServices.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

using testpaths::lines;
using testpaths::record;
using testpaths::ScopedVariable;

// Whether the token holds the privilege, and whether it is enabled, read from the token itself.
bool privilegeState(HANDLE token, const char* name, bool& enabled)
{
    LUID luid;
    std::vector<unsigned char> buffer(4096);
    DWORD size = 0;
    if (!LookupPrivilegeValueA(nullptr, name, &luid) ||
        !GetTokenInformation(token, TokenPrivileges, buffer.data(), static_cast<DWORD>(buffer.size()), &size))
        return false;
    const auto* privileges = reinterpret_cast<const TOKEN_PRIVILEGES*>(buffer.data());
    for (DWORD i = 0; i < privileges->PrivilegeCount; ++i) {
        const LUID_AND_ATTRIBUTES& p = privileges->Privileges[i];
        if (p.Luid.LowPart == luid.LowPart && p.Luid.HighPart == luid.HighPart) {
            enabled = (p.Attributes & SE_PRIVILEGE_ENABLED) != 0;
            return true;
        }
    }
    return false;
}

bool enabledIn(HANDLE token, const char* name)
{
    bool enabled = false;
    return privilegeState(token, name, enabled) && enabled;
}

bool privilege(const char* name, int enable)
{
    std::string modifiable(name);
    return sysServices().Privilege(&modifiable[0], enable);
}

} // namespace

TEST(SystemControl, AdministratorAndPrivilegesOfTheCallersToken)
{
    ravel::KernelHandle process;
    ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, process.receive()));
    EXPECT_TRUE(sysServices().isCurrentUserAdmin());

    EXPECT_TRUE(privilege("SeShutdownPrivilege", 0));
    EXPECT_FALSE(enabledIn(process.get(), "SeShutdownPrivilege"));
    EXPECT_TRUE(privilege("SeShutdownPrivilege", 1));
    EXPECT_TRUE(enabledIn(process.get(), "SeShutdownPrivilege"));
    EXPECT_FALSE(privilege("SeNoSuchPrivilege", 1));
    // A privilege the token lacks: the system assigns nothing and the call still succeeds.
    const char* lacking = nullptr;
    bool enabled = false;
    for (const char* name : {"SeCreateTokenPrivilege", "SeAssignPrimaryTokenPrivilege", "SeLockMemoryPrivilege",
                             "SeMachineAccountPrivilege", "SeTrustedCredManAccessPrivilege", "SeRelabelPrivilege"}) {
        if (lacking == nullptr && !privilegeState(process.get(), name, enabled))
            lacking = name;
    }
    ASSERT_NE(lacking, nullptr);
    EXPECT_TRUE(privilege(lacking, 1));
    EXPECT_FALSE(privilegeState(process.get(), lacking, enabled));

    // An impersonating thread is judged, and changed, by its own token.
    EXPECT_TRUE(privilege("SeShutdownPrivilege", 0));
    ASSERT_TRUE(ImpersonateSelf(SecurityImpersonation));
    const auto revert = ravel::onScopeExit([] { RevertToSelf(); });
    ravel::KernelHandle thread;
    ASSERT_TRUE(OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, TRUE, thread.receive()));
    EXPECT_TRUE(sysServices().isCurrentUserAdmin());
    EXPECT_TRUE(privilege("SeShutdownPrivilege", 1));
    EXPECT_TRUE(enabledIn(thread.get(), "SeShutdownPrivilege"));
    EXPECT_FALSE(enabledIn(process.get(), "SeShutdownPrivilege"));
}

TEST(SystemControl, AdminCommandAnswersZeroForAnAdministrator)
{
    const testpaths::ProgramResult run = testpaths::ravelutil("admin");
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out, "true\n");
    EXPECT_EQ(testpaths::ravelutil("privilege SeShutdownPrivilege on").exitCode, 0);
    EXPECT_EQ(testpaths::ravelutil("privilege SeNoSuchPrivilege off").exitCode, 1);
}

// The locale each program is given is tested by system_locale_tests.sh: Wine takes it from the
// Unix LC_ALL when the program starts, which a Windows parent cannot set for its child.
TEST(Language, MappingOfAnyIdentifierAndCopies)
{
    EXPECT_EQ(testpaths::ravelutil("language-of 0c0a").out, "language 5 LANGUAGE_SPANISH\ndirectory Sp\n");
    EXPECT_EQ(testpaths::ravelutil("language-of 0x0400").out, "language 1 LANGUAGE_ENGLISH\ndirectory En\n");
    EXPECT_EQ(testpaths::ravelutil("language-of 3809").out, "language 0 LANGUAGE_UNLISTED\ndirectory unknown\n");
    EXPECT_EQ(testpaths::ravelutil("language-of 10000").exitCode, 2);
    EXPECT_EQ(testpaths::ravelutil("language-of -1").exitCode, 2);

    sysLanguage language;
    const sysLanguage copy(language);
    sysLanguage assigned;
    assigned = copy;
    EXPECT_EQ(assigned.getLanguage(), language.getLanguage());
    EXPECT_EQ(std::string(assigned.langToDirString(LANGUAGE_HEBREW).data()), "He");
    EXPECT_EQ(sysLanguage::languageOfID(0x0804), LANGUAGE_CHINESE_SIMPLIFIED);
}

namespace {

// Waits on an object it is given, then answers how many threads had passed before it.
class WaitingThread : public BOsThread
{
public:
    WaitingThread(BOsWaitableObject& gate, volatile LONG& passed) : m_gate(gate), m_passed(passed) {}
    ~WaitingThread() override { Wait(-1); }

protected:
    unsigned int Thread() override
    {
        m_gate.Wait(-1);
        return static_cast<unsigned int>(InterlockedIncrement(&m_passed));
    }

private:
    BOsWaitableObject& m_gate;
    volatile LONG& m_passed;
};

// Signals that it runs, then waits for `release`; reads its members only before waiting, so it may
// outlive its object.
class BlockedThread : public BOsThread
{
public:
    BlockedThread(HANDLE inside, HANDLE release, volatile LONG* ran) : m_inside(inside), m_release(release), m_ran(ran) {}

protected:
    unsigned int Thread() override
    {
        volatile LONG* const ran = m_ran;
        const HANDLE release = m_release;
        InterlockedIncrement(ran);
        SetEvent(m_inside);
        WaitForSingleObject(release, INFINITE);
        InterlockedIncrement(ran);
        return 5;
    }

private:
    HANDLE m_inside;
    HANDLE m_release;
    volatile LONG* m_ran;
};

DWORD exitCodeOf(HANDLE thread)
{
    DWORD code = 0;
    GetExitCodeThread(thread, &code);
    return code;
}

} // namespace

TEST(Synchronisation, SemaphoreLetsOneWaiterThroughPerUnit)
{
    BOsSemaphore once;
    EXPECT_FALSE(once.isBlocked());
    EXPECT_TRUE(once.isBlocked());
    once.Release(1);
    EXPECT_FALSE(once.isBlocked());

    BOsSemaphore gate(2, 0, nullptr);
    volatile LONG passed = 0;
    WaitingThread first(gate, passed), second(gate, passed);
    first.Start();
    second.Start();
    EXPECT_EQ(first.Wait(100), 258u);
    gate.Release(1);
    const HANDLE both[] = {first.GetHandle(), second.GetHandle()};
    const DWORD woken = WaitForMultipleObjects(2, both, FALSE, INFINITE) - WAIT_OBJECT_0;
    ASSERT_LT(woken, 2u);
    BOsThread& other = woken == 0 ? static_cast<BOsThread&>(second) : first;
    EXPECT_EQ(other.Wait(100), 258u) << "one unit let two threads through";
    gate.Release(1);
    EXPECT_EQ(other.Wait(-1), 0u);
    EXPECT_EQ((woken == 0 ? first : second).GetResult(), 1u);
    EXPECT_EQ(other.GetResult(), 2u);
    // Beyond the maximum the system refuses the whole release.
    gate.Release(3);
    EXPECT_TRUE(gate.isBlocked());
}

TEST(Synchronisation, AutoResetAndManualResetEvents)
{
    BOsAutoResetEvent automatic;
    automatic.Set();
    automatic.Reset();  // no effect
    EXPECT_TRUE(automatic.isSignaled());
    EXPECT_FALSE(automatic.isSignaled());

    BOsEvent manual;
    EXPECT_FALSE(manual.isSignaled());
    {
        BOsEvent copy(manual);  // the same event under a handle of its own
        copy.Set();
    }
    EXPECT_TRUE(manual.isSignaled());
    EXPECT_TRUE(manual.isSignaled());
    manual.Reset();
    EXPECT_FALSE(manual.isSignaled());

    // One Set of an auto-reset event lets one of two waiters through; a manual one lets all.
    volatile LONG passed = 0;
    WaitingThread a(automatic, passed), b(automatic, passed), m1(manual, passed), m2(manual, passed);
    for (BOsThread* t : {static_cast<BOsThread*>(&a), static_cast<BOsThread*>(&b), static_cast<BOsThread*>(&m1),
                         static_cast<BOsThread*>(&m2)})
        t->Start();
    automatic.Set();
    const HANDLE pair[] = {a.GetHandle(), b.GetHandle()};
    const DWORD woken = WaitForMultipleObjects(2, pair, FALSE, INFINITE) - WAIT_OBJECT_0;
    ASSERT_LT(woken, 2u);
    EXPECT_EQ((woken == 0 ? b : a).Wait(100), 258u);
    manual.Set();
    EXPECT_EQ(m1.Wait(-1), 0u);
    EXPECT_EQ(m2.Wait(-1), 0u);
    automatic.Set();
}

TEST(Thread, ParkedUntilStartThenItsResult)
{
    const ravel::KernelHandle inside(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    const ravel::KernelHandle release(CreateEventA(nullptr, TRUE, TRUE, nullptr));
    volatile LONG ran = 0;
    BlockedThread thread(inside.get(), release.get(), &ran);
    EXPECT_NE(thread.GetThreadID(), 0u);
    EXPECT_EQ(thread.Wait(100), 258u);
    EXPECT_EQ(ran, 0);
    EXPECT_EQ(thread.GetResult(), 0u);

    EXPECT_EQ(thread.Priority(BOsThread::PRIORITY_QUERY), 0);
    EXPECT_EQ(thread.Priority(THREAD_PRIORITY_ABOVE_NORMAL), 0);
    EXPECT_EQ(GetThreadPriority(thread.GetHandle()), THREAD_PRIORITY_ABOVE_NORMAL);
    EXPECT_EQ(thread.Priority(BOsThread::PRIORITY_QUERY), THREAD_PRIORITY_ABOVE_NORMAL);
    EXPECT_EQ(thread.Suspend(), 0u);
    EXPECT_EQ(thread.Suspend(), 1u);
    EXPECT_EQ(thread.Resume(), 2u);
    EXPECT_EQ(thread.Resume(), 1u);

    EXPECT_EQ(thread.Start(), 0u);
    EXPECT_EQ(thread.Wait(-1), 0u);
    EXPECT_EQ(ran, 2);
    EXPECT_EQ(thread.GetResult(), 5u);
    EXPECT_EQ(exitCodeOf(thread.GetHandle()), 5u);
}

TEST(Thread, AbortEndsParkedAndRunningThreadsWithTheCode)
{
    const ravel::KernelHandle inside(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    const ravel::KernelHandle release(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    volatile LONG ran = 0;
    BlockedThread parked(inside.get(), release.get(), &ran);
    parked.Abort(7);
    EXPECT_EQ(parked.Wait(-1), 0u);
    EXPECT_EQ(parked.GetResult(), 7u);
    EXPECT_EQ(exitCodeOf(parked.GetHandle()), 7u);
    EXPECT_EQ(ran, 0);

    BlockedThread running(inside.get(), release.get(), &ran);
    running.Start();
    ASSERT_EQ(WaitForSingleObject(inside.get(), INFINITE), WAIT_OBJECT_0);
    running.Abort(9);
    EXPECT_EQ(running.Wait(-1), 0u);
    EXPECT_EQ(running.GetResult(), 9u);
    EXPECT_EQ(ran, 1);
}

TEST(Thread, ObjectGoneFirstLeavesNoThreadBehind)
{
    const ravel::KernelHandle inside(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    const ravel::KernelHandle release(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    volatile LONG ran = 0;

    // Never started: the thread ends without running the body.
    auto parked = std::make_unique<BlockedThread>(inside.get(), release.get(), &ran);
    const ravel::KernelHandle parkedThread(OpenThread(SYNCHRONIZE | THREAD_QUERY_INFORMATION, FALSE, parked->GetThreadID()));
    ASSERT_TRUE(parkedThread);
    parked.reset();
    EXPECT_EQ(WaitForSingleObject(parkedThread.get(), 60000), WAIT_OBJECT_0);  // a bound, not a timing: a stranded thread fails here
    EXPECT_EQ(ran, 0);

    // Running: the body goes on to its end; its result has nowhere to go but the exit code.
    auto running = std::make_unique<BlockedThread>(inside.get(), release.get(), &ran);
    const ravel::KernelHandle runningThread(OpenThread(SYNCHRONIZE | THREAD_QUERY_INFORMATION, FALSE, running->GetThreadID()));
    running->Start();
    ASSERT_EQ(WaitForSingleObject(inside.get(), INFINITE), WAIT_OBJECT_0);
    running.reset();
    SetEvent(release.get());
    EXPECT_EQ(WaitForSingleObject(runningThread.get(), 60000), WAIT_OBJECT_0);
    EXPECT_EQ(ran, 2);
    EXPECT_EQ(exitCodeOf(runningThread.get()), 5u);
}

TEST(Thread, DemoCommandCountsUnderOneLock)
{
    const testpaths::ProgramResult run = testpaths::ravelutil("threads-demo 8");
    EXPECT_EQ(run.exitCode, 0) << run.out;
    const std::vector<std::string> out = lines(run.out);
    ASSERT_EQ(out.size(), 9u) << run.out;
    for (std::size_t i = 0; i < 8; ++i) {
        EXPECT_EQ(out[i].compare(0, 7 + std::to_string(i + 1).size(), "thread " + std::to_string(i + 1)), 0);
        EXPECT_NE(out[i].find(" result 10000"), std::string::npos) << out[i];
    }
    EXPECT_EQ(out[8], "total 80000 of 80000");
}

TEST(NetworkDrives, ScriptedProviderGivesEachOutcomeAndRecord)
{
    const std::string exe = "ru-mpr.exe";
    const ravel::test::ScopedTempDir temp("ravel-mpr");
    const std::string folder = temp.path();
    for (const char* file : {"ravelutil.exe", "qvzkut01.dll", "tls7912d.dll", "doubles\\mpr\\mpr.dll"}) {
        const std::string name = std::string(file).substr(std::string(file).find_last_of('\\') + 1);
        ASSERT_TRUE(testpaths::copyInto(testpaths::binDir() + file, folder, name == "ravelutil.exe" ? exe : name));
    }
    testpaths::ScopedWineSetting native(exe, "DllOverrides", "mpr", "native");
    const std::string log = temp / "mpr.log";
    ScopedVariable logVariable("RAVEL_MPR_LOG", log);
    const auto run = [&](const std::string& arguments) {
        DeleteFileA(log.c_str());
        return testpaths::runProgram("\"" + folder + exe + "\" " + arguments + " --log-level omega");
    };
    const char kFile[] = "src/sysmsnetworking.cpp";

    // The highest letter this prefix leaves free.
    char letter = 'z';
    while (letter >= 'e' && (GetLogicalDrives() & (1ul << (letter - 'a'))) != 0)
        --letter;
    ASSERT_GE(letter, 'e');
    const std::string drive = std::string(1, letter) + ":";
    const std::string call = "WNetAddConnectionA remote=\"\\\\srv\\share\" password=";
    const std::string local = " local=\"" + drive + "\" answer=";

    struct Case { const char* script; std::vector<std::string> calls; bool mapped; };
    const Case cases[] = {
        {"0", {call + "(null)" + local + "0"}, true},
        {"86 0", {call + "(null)" + local + "86", call + "\"\"" + local + "0"}, true},
        {"86 86", {call + "(null)" + local + "86", call + "\"\"" + local + "86"}, false},
        {"53", {call + "(null)" + local + "53"}, false},
    };
    for (const Case& c : cases) {
        ScopedVariable script("RAVEL_MPR_SCRIPT", c.script);
        const testpaths::ProgramResult result = run("map \\\\srv\\share");
        EXPECT_EQ(lines(testpaths::readFile(log)), c.calls) << c.script << "\n" << result.err;
        EXPECT_EQ(result.exitCode, c.mapped ? 0 : 1) << c.script;
        EXPECT_EQ(result.out, c.mapped ? drive + "\n" : "") << c.script;
        const std::string expected =
            c.mapped ? record("[sysMSNetworking::mapDrive] successfully mapped \\\\srv\\share to " + drive, "general",
                              "info", "release", kFile)
                     : record("[sysMSNetworking::mapDrive] FAILED to map \\\\srv\\share", "network", "error", "release",
                              kFile);
        EXPECT_EQ(result.err.find(expected), 0u) << c.script << "\n" << result.err;
        EXPECT_EQ(result.err.find("COMMENT: ", 1), std::string::npos) << "one record only\n" << result.err;
    }

    testpaths::ProgramResult result = run("unmap z:\\path");
    EXPECT_EQ(lines(testpaths::readFile(log)), std::vector<std::string>{"WNetCancelConnectionA name=\"z:\" force=1 answer=0"});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.err.find(record("[sysMSNetworking::unmapDrive] successfully unmapped z:\\path", "general", "info",
                                     "release", kFile)),
              0u)
        << result.err;
    {
        ScopedVariable refuse("RAVEL_MPR_CANCEL", "2250");
        result = run("unmap q:");
        EXPECT_EQ(result.exitCode, 1);
        EXPECT_EQ(result.err.find(record("[sysMSNetworking::unmapDrive] FAILED to unmap q:", "network", "error",
                                         "release", kFile)),
                  0u)
            << result.err;
    }
    // Nothing to connect or disconnect: no call and no record.
    for (const char* arguments : {"unmap z", "map \"\""}) {
        result = run(arguments);
        EXPECT_EQ(result.exitCode, 1) << arguments;
        EXPECT_EQ(result.err, "") << arguments;
        EXPECT_EQ(testpaths::readFile(log), "") << arguments;
    }
}
