// Process spawning and output capture, with capture_child.exe as the child.
#include "Doubles.h"
#include "LogCapture.h"
#include "RunProgram.h"
#include "TestData.h"
#include "sysServices.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace ravel::test;

namespace {

std::string child(const std::string& arguments) { return "\"" + binDir() + "capture_child.exe\" " + arguments; }

bool capture(const std::string& commandLine, RWCString& output)
{
    return sysServices().SpawnProcessCaptureOutput(commandLine.c_str(), output);
}

bool spawn(const std::string& commandLine, const char* directory, bool wait)
{
    std::vector<char> line(commandLine.c_str(), commandLine.c_str() + commandLine.size() + 1);
    return sysServices().SpawnProcess(line.data(), directory, wait);
}

} // namespace

TEST(Processes, CaptureSpawnWorkingDirectoriesRecordsAndTheFrontEnd)
{
    const HANDLE stdoutBefore = GetStdHandle(STD_OUTPUT_HANDLE);
    RWCString output("old");
    EXPECT_TRUE(capture(child("exit 3 \"one line\""), output)) << "the exit code plays no part";
    EXPECT_EQ(str(output), "one line\n");
    EXPECT_TRUE(capture("cmd /c echo through cmd", output));
    EXPECT_EQ(str(output), "through cmd\r\n");
    // Far more than the pipe holds, and not a multiple of any buffer.
    const size_t large = 1024 * 1024 + 333;
    EXPECT_TRUE(capture(child("bytes " + std::to_string(large)), output));
    EXPECT_TRUE(str(output) == childPattern(large)) << "the text differs";
    output = "kept";
    EXPECT_FALSE(capture("", output));
    EXPECT_FALSE(capture(child("nothing"), output));
    EXPECT_FALSE(capture(child("stderr"), output)) << "standard error is not captured";
    EXPECT_FALSE(capture("qvk_no_such_program_here.exe", output));
    EXPECT_EQ(str(output), "kept");
    EXPECT_EQ(GetStdHandle(STD_OUTPUT_HANDLE), stdoutBefore);
    // A grandchild that keeps the pipe's write end does not hold the call.
    const char kEvent[] = "qvk_capture_test_release_grandchild";
    const ravel::KernelHandle release(CreateEventA(nullptr, TRUE, FALSE, kEvent));
    EXPECT_TRUE(capture(child(std::string("grandchild ") + kEvent), output));
    const std::string text = str(output);
    ASSERT_EQ(text.rfind("grandchild ", 0), 0u) << text;
    // Returned while the grandchild still runs with its copy of the pipe.
    const ravel::KernelHandle grandchild(OpenProcess(SYNCHRONIZE, FALSE, std::stoul(text.substr(11))));
    ASSERT_TRUE(grandchild);
    EXPECT_EQ(WaitForSingleObject(grandchild.get(), 0), static_cast<DWORD>(WAIT_TIMEOUT));
    SetEvent(release.get());
    EXPECT_EQ(WaitForSingleObject(grandchild.get(), 30000), WAIT_OBJECT_0);
    // Spawning: working directories, records, and not waiting.
    const ScopedTempDir scratch("spawn");
    const std::string base = scratch.path().substr(0, scratch.path().size() - 1);
    CreateDirectoryA((base + "\\sub").c_str(), nullptr);
    char original[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, original);
    const auto restore = ravel::onScopeExit([&] { SetCurrentDirectoryA(original); });
    ASSERT_TRUE(SetCurrentDirectoryA(base.c_str()));
    LogCapture log;
    const std::string report = base + "\\cwd.txt";
    const std::string line = child("cwd \"" + report + "\"");
    EXPECT_TRUE(spawn(line, "sub", true)); // relative: joined to the current directory
    EXPECT_EQ(readFile(report), base + "\\sub");
    EXPECT_TRUE(log.general("SpawnProcess succeeded for: " + line, "info", "omega"));
    EXPECT_TRUE(spawn(line, (base + "\\sub\\..").c_str(), true)); // with a colon: as given
    EXPECT_EQ(readFile(report), base);
    // Not waiting: only the start is logged.
    log.clear();
    const ravel::KernelHandle hold(CreateEventA(nullptr, TRUE, FALSE, "qvk_spawn_test_release"));
    EXPECT_TRUE(spawn(child("hold qvk_spawn_test_release"), "", false));
    SetEvent(hold.get());
    EXPECT_EQ(log.records().size(), 1u) << log.all();
    log.clear();
    EXPECT_FALSE(spawn("qvk_no_such_program_here.exe", "", true));
    EXPECT_FALSE(spawn(line, "absent_directory", true));
    EXPECT_FALSE(log.contains("SpawnProcess succeeded"));
    const std::string program = child("");
    EXPECT_EQ(ravelutil("run " + program + "text \"a  b\" c").out, "a  b c\n");
    EXPECT_EQ(ravelutil("run " + program + "nothing").exitCode, 1);
    // (No trailing backslash before the closing quote: it would escape it.)
    const ScopedTempDir dir("spawn_cli");
    const std::string folder = "\"" + dir.path().substr(0, dir.path().size() - 1) + "\" ";
    EXPECT_EQ(ravelutil("spawn --wait --dir " + folder + program + "cwd here.txt").exitCode, 0);
    EXPECT_FALSE(readFile(dir / "here.txt").empty());
    EXPECT_EQ(ravelutil("args -/ n /f file.txt -n 5").out,
              "command -f file.txt -n 5\npresent true\nstring true 5\nint true 5\n");
}
