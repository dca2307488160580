// Stands in for the system's mpr.dll (force it with the program's DllOverrides mpr=native); no
// connection is ever made. WNetAddConnectionA answers the words of RAVEL_MPR_SCRIPT in turn, one
// per call (decimal error codes, 0 success; the last repeats); WNetCancelConnectionA answers
// RAVEL_MPR_CANCEL (0 when unset). Each call appends a line to the file named by RAVEL_MPR_LOG.
#include "Doubles.h"

#include <cstdlib>
#include <sstream>

namespace {

DWORD note(const std::string& line, DWORD answer)
{
    appendLine("RAVEL_MPR_LOG", line + " answer=" + std::to_string(answer));
    return answer;
}

std::string shown(const char* text) { return text == nullptr ? "(null)" : "\"" + std::string(text) + "\""; }

unsigned g_calls = 0;

} // namespace

extern "C" {

__declspec(dllexport) DWORD WINAPI WNetAddConnectionA(LPCSTR remote, LPCSTR password, LPCSTR local)
{
    std::istringstream script(variable("RAVEL_MPR_SCRIPT"));
    DWORD answer = 0;
    unsigned long word = 0;
    for (unsigned i = 0; i <= g_calls && script >> word; ++i)
        answer = word;
    ++g_calls;
    return note("WNetAddConnectionA remote=" + shown(remote) + " password=" + shown(password) +
                    " local=" + shown(local),
                answer);
}

__declspec(dllexport) DWORD WINAPI WNetCancelConnectionA(LPCSTR name, BOOL force)
{
    return note("WNetCancelConnectionA name=" + shown(name) + " force=" + std::to_string(force),
                std::strtoul(variable("RAVEL_MPR_CANCEL").c_str(), nullptr, 10));
}

// The library imports it for its network queries.
__declspec(dllexport) DWORD WINAPI WNetGetProviderNameA(DWORD type, LPSTR, LPDWORD)
{
    return note("WNetGetProviderNameA type=" + std::to_string(type), ERROR_NO_NETWORK);
}

} // extern "C"
