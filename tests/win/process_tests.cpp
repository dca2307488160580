// Process spawning and output capture through qvzkut01.dll, with capture_child.exe as the child.
#include "LogCapture.h"
#include "RunProgram.h"
#include "TestPaths.h"
#include "sysServices.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

namespace {

// A scratch folder without its ".." part, as the system reports current directories.
std::string scratch(const std::string& name)
{
    const std::string dir = testpaths::scratchDir(name);
    char full[MAX_PATH];
    const DWORD n = GetFullPathNameA(dir.c_str(), MAX_PATH, full, nullptr);
    return n > 0 && n < MAX_PATH ? std::string(full, n) : dir;
}

std::string s(const RWCString& text) { return std::string(text.data(), text.length()); }

std::string child(const std::string& arguments)
{
    return "\"" + testpaths::binDir() + "capture_child.exe\" " + arguments;
}

// What capture_child writes for "bytes n".
std::string pattern(size_t n)
{
    static const char kLine[] = "0123456789abcdefghijklmnopqrstuvwxyz\r\n";
    std::string text;
    for (size_t i = 0; i < n; ++i)
        text += kLine[i % (sizeof kLine - 1)];
    return text;
}

bool capture(const std::string& commandLine, RWCString& output)
{
    sysServices services;
    return services.SpawnProcessCaptureOutput(commandLine.c_str(), output);
}

bool spawn(const std::string& commandLine, const std::string& directory, bool wait)
{
    std::vector<char> line(commandLine.begin(), commandLine.end());
    line.push_back('\0');
    sysServices services;
    return services.SpawnProcess(line.data(), directory.c_str(), wait);
}

} // namespace

TEST(CaptureOutput, WhatTheChildWrote)
{
    const HANDLE stdoutBefore = GetStdHandle(STD_OUTPUT_HANDLE);
    RWCString output("old");
    EXPECT_TRUE(capture(child("text one line"), output));
    EXPECT_EQ(s(output), "one line\n");

    // The exit code plays no part.
    EXPECT_TRUE(capture(child("exit 3 failed"), output));
    EXPECT_EQ(s(output), "failed\n");

    // Far more than the pipe holds, and not a multiple of any buffer.
    const size_t large = 1024 * 1024 + 333;
    EXPECT_TRUE(capture(child("bytes " + std::to_string(large)), output));
    EXPECT_EQ(output.length(), large);
    EXPECT_TRUE(s(output) == pattern(large)) << "the text differs";

    // Each 1024-byte block keeps its text up to its first zero.
    EXPECT_TRUE(capture(child("zeros"), output));
    EXPECT_EQ(s(output), std::string(10, 'a') + "tail");

    // Through the command interpreter.
    EXPECT_TRUE(capture("cmd /c echo through cmd", output));
    EXPECT_EQ(s(output), "through cmd\r\n");
    EXPECT_EQ(GetStdHandle(STD_OUTPUT_HANDLE), stdoutBefore);
}

TEST(CaptureOutput, FailuresLeaveTheOutputAlone)
{
    const HANDLE stdoutBefore = GetStdHandle(STD_OUTPUT_HANDLE);
    RWCString output("kept");
    EXPECT_FALSE(capture("", output));
    EXPECT_FALSE(capture(child("nothing"), output));
    EXPECT_FALSE(capture(child("stderr"), output)) << "standard error is not captured";
    EXPECT_FALSE(capture("qvk_no_such_program_here.exe", output));
    EXPECT_EQ(s(output), "kept");
    EXPECT_EQ(GetStdHandle(STD_OUTPUT_HANDLE), stdoutBefore);
}

TEST(CaptureOutput, AGrandchildKeepingTheWriteEndDoesNotHoldTheCall)
{
    const char kEvent[] = "qvk_capture_test_release_grandchild";
    const HANDLE release = CreateEventA(nullptr, TRUE, FALSE, kEvent);
    ASSERT_NE(release, nullptr);
    RWCString output;
    EXPECT_TRUE(capture(child(std::string("grandchild ") + kEvent), output));
    const std::string text = s(output);
    ASSERT_EQ(text.rfind("grandchild ", 0), 0u) << text;

    // Returned while the grandchild still runs with its copy of the pipe.
    const DWORD id = std::stoul(text.substr(11));
    const HANDLE grandchild = OpenProcess(SYNCHRONIZE, FALSE, id);
    ASSERT_NE(grandchild, nullptr);
    EXPECT_EQ(WaitForSingleObject(grandchild, 0), static_cast<DWORD>(WAIT_TIMEOUT));
    SetEvent(release);
    EXPECT_EQ(WaitForSingleObject(grandchild, 30000), WAIT_OBJECT_0);
    CloseHandle(grandchild);
    CloseHandle(release);
}

TEST(SpawnProcess, WorkingDirectoriesAndRecords)
{
    const std::string dir = scratch("spawn");
    CreateDirectoryA((dir + "sub").c_str(), nullptr);
    char original[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, original);
    const std::string base = dir.substr(0, dir.size() - 1);
    ASSERT_TRUE(SetCurrentDirectoryA(base.c_str()));

    LogCapture log;
    const std::string report = dir + "cwd.txt";
    // Relative: the current directory joined with the given text.
    std::string line = child("cwd \"" + report + "\"");
    EXPECT_TRUE(spawn(line, "sub", true));
    EXPECT_EQ(testpaths::readFile(report), base + "\\sub");
    EXPECT_TRUE(log.has("SpawnProcess: Started", "general", "info", "omega"));
    EXPECT_TRUE(log.has("SpawnProcess succeeded for: " + line, "general", "info", "omega"));

    // A drive colon anywhere: used as given.
    EXPECT_TRUE(spawn(line, base + "\\sub\\..", true));
    EXPECT_EQ(testpaths::readFile(report), base);

    // None: the caller's directory.
    EXPECT_TRUE(spawn(line, "", true));
    EXPECT_EQ(testpaths::readFile(report), base);

    // Not waiting: only the start is logged.
    log.clear();
    const char kEvent[] = "qvk_spawn_test_release";
    const HANDLE release = CreateEventA(nullptr, TRUE, FALSE, kEvent);
    EXPECT_TRUE(spawn(child(std::string("hold ") + kEvent), "", false));
    SetEvent(release);
    CloseHandle(release);
    ASSERT_EQ(log.records().size(), 1u) << log.all();
    EXPECT_TRUE(log.has("SpawnProcess: Started", "general", "info", "omega"));

    // A program that cannot be started: false, nothing more logged.
    log.clear();
    EXPECT_FALSE(spawn("qvk_no_such_program_here.exe", "", true));
    EXPECT_FALSE(spawn(line, "absent_directory", true));
    EXPECT_EQ(log.count("SpawnProcess succeeded"), 0u);
    EXPECT_EQ(log.count("SpawnProcess: Started"), 2u);
    SetCurrentDirectoryA(original);
}

TEST(ProcessCli, RunPrintsTheCaptureAsIs)
{
    const size_t large = 1024 * 1024;
    testpaths::ProgramResult r = testpaths::ravelutil("run \"" + testpaths::binDir() + "capture_child.exe\" bytes " +
                                                      std::to_string(large));
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out.size(), large);
    EXPECT_TRUE(r.out == pattern(large));

    // Words with blanks keep their quotes on the way through.
    r = testpaths::ravelutil("run \"" + testpaths::binDir() + "capture_child.exe\" text \"a  b\" c");
    EXPECT_EQ(r.out, "a  b c\n");
    r = testpaths::ravelutil("run \"" + testpaths::binDir() + "capture_child.exe\" nothing");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(testpaths::ravelutil("run").exitCode, 2);

    const std::string dir = scratch("spawn_cli");
    // (Without the trailing backslash, which would escape the closing quote.)
    const std::string base = dir.substr(0, dir.size() - 1);
    r = testpaths::ravelutil("spawn --wait --dir \"" + base + "\" \"" + testpaths::binDir() +
                             "capture_child.exe\" cwd here.txt");
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(testpaths::readFile(dir + "here.txt"), base);
    EXPECT_EQ(testpaths::ravelutil("spawn --wait qvk_no_such_program_here.exe").exitCode, 1);
    EXPECT_EQ(testpaths::ravelutil("spawn --dir").exitCode, 2);
}

TEST(ProcessCli, ArgsShowsWhatTheParserFinds)
{
    testpaths::ProgramResult r = testpaths::ravelutil("args -/ n /f file.txt -n 5");
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, "command -f file.txt -n 5\npresent true\nstring true 5\nint true 5\n");
    r = testpaths::ravelutil("args - f -x -f");
    EXPECT_EQ(r.out, "command -x -f\npresent true\nstring false \nint false\n");
    r = testpaths::ravelutil("args - F -f x");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(testpaths::ravelutil("args - ab -a").exitCode, 2);
}
