// Stands in for the system's mpr.dll (force it with the program's DllOverrides mpr=native).
// WNetAddConnectionA answers from the variable RAVEL_MPR_SCRIPT, one word per call in order
// (a decimal error code, 0 for success; the last word repeats); WNetCancelConnectionA answers
// RAVEL_MPR_CANCEL (0 when unset). Each call appends one line to the file named by RAVEL_MPR_LOG,
// so tests see exactly what the library asked for; no connection is ever made.
#include <windows.h>
#include <winnetwk.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

std::string variable(const char* name)
{
    char value[MAX_PATH * 2];
    const DWORD n = GetEnvironmentVariableA(name, value, sizeof value);
    return n > 0 && n < sizeof value ? std::string(value, n) : std::string();
}

void note(const std::string& line)
{
    const std::string log = variable("RAVEL_MPR_LOG");
    if (log.empty())
        return;
    if (std::FILE* file = std::fopen(log.c_str(), "ab")) {
        std::fprintf(file, "%s\n", line.c_str());
        std::fclose(file);
    }
}

std::string shown(const char* text) { return text == nullptr ? "(null)" : "\"" + std::string(text) + "\""; }

// The word of the script for the n-th call (from 0); the last word stands for every later call.
DWORD scripted(unsigned n)
{
    const std::string script = variable("RAVEL_MPR_SCRIPT");
    std::size_t from = 0;
    std::string word;
    for (unsigned i = 0; i <= n && from <= script.size(); ++i) {
        const std::size_t to = script.find(' ', from);
        word = script.substr(from, to == std::string::npos ? std::string::npos : to - from);
        if (to == std::string::npos)
            break;
        from = to + 1;
    }
    return static_cast<DWORD>(std::strtoul(word.c_str(), nullptr, 10));
}

unsigned g_addCalls = 0;

} // namespace

extern "C" {

__declspec(dllexport) DWORD WINAPI WNetAddConnectionA(LPCSTR remote, LPCSTR password, LPCSTR local)
{
    const DWORD answer = scripted(g_addCalls++);
    note("WNetAddConnectionA remote=" + shown(remote) + " password=" + shown(password) + " local=" + shown(local) +
         " answer=" + std::to_string(answer));
    return answer;
}

__declspec(dllexport) DWORD WINAPI WNetCancelConnectionA(LPCSTR name, BOOL force)
{
    const DWORD answer = static_cast<DWORD>(std::strtoul(variable("RAVEL_MPR_CANCEL").c_str(), nullptr, 10));
    note("WNetCancelConnectionA name=" + shown(name) + " force=" + std::to_string(force) +
         " answer=" + std::to_string(answer));
    return answer;
}

// The library imports it for its network queries; no provider here.
__declspec(dllexport) DWORD WINAPI WNetGetProviderNameA(DWORD type, LPSTR name, LPDWORD size)
{
    (void)name;
    (void)size;
    note("WNetGetProviderNameA type=" + std::to_string(type));
    return ERROR_NO_NETWORK;
}

} // extern "C"
