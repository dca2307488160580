// Platform detection under Wine's per-program Windows versions, and the library loader.
#include "BDll.h"
#include "LogCapture.h"
#include "RunProgram.h"
#include "WinScoped.h"
#include "sysVersion.h"

#include <gtest/gtest.h>

#include <string>

using namespace ravel::test;

TEST(SysVersion, EveryPlatformRowUnderWinesVersions)
{
    // Wine version, first line, major.minor. (the build differs), isWin9x, isWinNTBased, exit code.
    const char* const cases[][6] = {
        {"win31", "platform 1 PLATFORM_WIN32S", "3.10.", "false", "false", "0"},
        {"win95", "platform 2 PLATFORM_WIN95", "4.0.", "true", "false", "0"},
        {"win98", "platform 3 PLATFORM_WIN98", "4.10.", "true", "false", "0"},
        {"winme", "platform 6 PLATFORM_WINME", "4.90.", "true", "false", "0"},
        {"nt351", "platform 0 PLATFORM_UNRECOGNIZED", "3.51.", "false", "false", "1"},
        {"nt40", "platform 4 PLATFORM_WINNT4", "4.0.", "false", "true", "0"},
        {"win2k", "platform 5 PLATFORM_WIN2000", "5.0.", "false", "true", "0"},
        {"winxp", "platform 7 PLATFORM_WINXP", "5.1.", "false", "true", "0"},
        {"win2003", "platform 5 PLATFORM_WIN2000", "5.2.", "false", "true", "0"},
        {"vista", "platform 8 PLATFORM_WINVISTA", "6.0.", "false", "false", "0"},
        {"win7", "platform 8 PLATFORM_WINVISTA", "6.1.", "false", "false", "0"},
        // Without a compatibility manifest Wine, like Windows, reports 6.2 for later versions.
        {"win10", "platform 8 PLATFORM_WINVISTA", "6.2.", "false", "false", "0"},
    };
    for (const auto& c : cases) {
        const std::string name = std::string("ravelutil_ver_") + c[0] + ".exe";
        ASSERT_TRUE(copyInto(binDir() + "ravelutil.exe", binDir(), name));
        ProgramResult r;
        {
            ScopedWineSetting version(name, "", "Version", c[0]);
            r = runProgram("\"" + binDir() + name + "\" platform");
        }
        DeleteFileA((binDir() + name).c_str());
        EXPECT_EQ(std::to_string(r.exitCode), c[5]) << c[0];
        EXPECT_EQ(r.out.substr(0, r.out.find('\n')), c[1]);
        const std::string rest = std::string("\nversion ") + c[2];
        EXPECT_NE(r.out.find(rest), std::string::npos) << r.out;
        EXPECT_NE(r.out.find(std::string("\nisWin9x ") + c[3] + "\nisWinNTBased " + c[4] + "\n"), std::string::npos)
            << r.out;
    }
    // The build number is optional.
    unsigned long major = 99, minor = 99, build = 99, majorAlone = 99, minorAlone = 99;
    sysVersion().getPlatformVersion(&major, &minor, &build);
    sysVersion().getPlatformVersion(&majorAlone, &minorAlone, nullptr);
    EXPECT_EQ(majorAlone * 100 + minorAlone, major * 100 + minor);
}

TEST(BDll, LoadFindFreeAdoptAndCopy)
{
    LogCapture log;
    BDll dll;
    EXPECT_TRUE(dll.UnLoadDll()) << "nothing loaded is not a failure";
    ASSERT_TRUE(dll.LoadDll("version.dll"));
    EXPECT_EQ(dll.getHinstDll(), GetModuleHandleA("version.dll"));
    EXPECT_TRUE(log.general("BDll::LoadDll [version.dll]", "info", "omega"));
    void* function = nullptr;
    EXPECT_TRUE(dll.getFunction("GetFileVersionInfoSizeA", &function));
    EXPECT_EQ(function, reinterpret_cast<void*>(GetProcAddress(dll.getHinstDll(), "GetFileVersionInfoSizeA")));
    // A missing function clears the flag but keeps the library and its handle.
    HINSTANCE handle = dll.getHinstDll();
    EXPECT_FALSE(dll.getFunction("NoSuchFunction", &function));
    EXPECT_EQ(function, nullptr);
    EXPECT_FALSE(dll.isLoaded());
    EXPECT_EQ(dll.getHinstDll(), handle);
    EXPECT_TRUE(log.general("BDll::getFunction [NoSuchFunction] FAILED", "info", "omega"));
    EXPECT_TRUE(dll.UnLoadDll());
    EXPECT_EQ(dll.getHinstDll(), nullptr);
    EXPECT_FALSE(dll.LoadDll("qvk_no_such_library.dll"));
    EXPECT_EQ(dll.getHinstDll(), nullptr);
    EXPECT_TRUE(log.general("BDll::LoadDll [qvk_no_such_library.dll] FAILED", "info", "omega"));
    HMODULE own = LoadLibraryA("version.dll");
    ASSERT_NE(own, nullptr);
    BDll adopted;
    EXPECT_TRUE(adopted.setHinstDll(own));
    EXPECT_FALSE(adopted.isLoaded()) << "adopting leaves the flag alone";
    EXPECT_TRUE(adopted.getFunction("VerQueryValueA", &function));
    EXPECT_NE(function, nullptr);
    BDll copy(adopted);
    EXPECT_EQ(copy.getHinstDll(), own);
    EXPECT_TRUE(copy.UnLoadDll());         // frees the one reference taken above
    EXPECT_EQ(adopted.getHinstDll(), own); // the original still names it
}
