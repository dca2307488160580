// The route-add helper: started from the Run key at every start of the system as
//   qvkxora.exe -i <printer address> -g <interface address>
// it adds the host route to the printer through the interface with the system's route command.
// It runs alone from the Windows directory: static runtime, none of the library's DLLs.
// Exit code: 0 the route command ran and succeeded, 1 it could not run or failed, 2 usage error.
#include "internal/net/RouteCommand.h"
#include "internal/win/WinHandle.h"

#include <cstdlib>
#include <string>
#include <vector>

namespace {
const int kSucceeded = 0;
const int kFailed = 1;
const int kUsage = 2;

void complain(const char* text)
{
    // Started at log-on there is no console; started by a person or a test there may be one.
    const HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
    if (err == nullptr || err == INVALID_HANDLE_VALUE)
        return;
    const std::string line = std::string(text) + "\r\n";
    DWORD written = 0;
    WriteFile(err, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

bool persistentRoutes()
{
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof version;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    if (!GetVersionExA(&version))
        return true;
#pragma GCC diagnostic pop
    return ravel::routeAddPersistent(version.dwPlatformId, version.dwMajorVersion, version.dwMinorVersion);
}

int run(std::string commandLine)
{
    // The system may write into the command line it is given.
    std::vector<char> buffer(commandLine.begin(), commandLine.end());
    buffer.push_back('\0');
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(nullptr, buffer.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &startup,
                        &process))
        return kFailed;
    const ravel::KernelHandle processHandle(process.hProcess);
    const ravel::KernelHandle threadHandle(process.hThread);
    WaitForSingleObject(processHandle.get(), INFINITE);
    DWORD code = 1;
    if (!GetExitCodeProcess(processHandle.get(), &code))
        return kFailed;
    return code == 0 ? kSucceeded : kFailed;
}
} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    ravel::RouteHelperArguments arguments;
    if (!ravel::parseRouteHelperArguments(__argc, __argv, arguments)) {
        complain(ravel::kRouteHelperUsage);
        return kUsage;
    }
    return run(ravel::routeHelperCommand(arguments, persistentRoutes()));
}
