// Stands in for the system's iphlpapi.dll in its ICMPv6 role. It replaces the whole library for
// the program that loads it (per-program DllOverrides iphlpapi=native), so only a program that
// wants nothing else from it may load it: it serves Icmp6CreateFile, Icmp6SendEcho2,
// Icmp6ParseReplies and IcmpCloseHandle and nothing more (no forwarding to the system's copy,
// which under Wine cannot be loaded beside a native library of the same name). Forwarders would
// also hide a silently loaded builtin; this way every call leaves a line in the double's log.
//
// What Icmp6SendEcho2 answers comes from RAVEL_ICMP6_SCRIPT, read at each call:
//   reply-at:<n>   no reply to the first n-1 echoes of a handle, one reply to the n-th and later
//   none           no reply (the last error says the request timed out)
//   error          no reply (the last error is a general failure)
//   nocreate       Icmp6CreateFile fails
// Each call appends one line to the file named by RAVEL_ICMP6_LOG. Built once more without
// Icmp6ParseReplies, as Wine's own library is.
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <ipexport.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

HANDLE const kHandle = reinterpret_cast<HANDLE>(static_cast<INT_PTR>(0x1CC6));
int g_sends = 0;
DWORD g_lastReplies = 0;

std::string variable(const char* name)
{
    char value[MAX_PATH * 2];
    const DWORD n = GetEnvironmentVariableA(name, value, sizeof value);
    return n > 0 && n < sizeof value ? std::string(value, n) : std::string();
}

void note(const std::string& line)
{
    const std::string log = variable("RAVEL_ICMP6_LOG");
    if (log.empty())
        return;
    const HANDLE file =
        CreateFileA(log.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    const std::string text = line + "\n";
    DWORD written = 0;
    WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);
}

// The address as eight full groups, so the log shows every byte the library passed.
std::string groups(const sockaddr_in6* address)
{
    if (address == nullptr)
        return "null";
    const unsigned char* b = reinterpret_cast<const unsigned char*>(&address->sin6_addr);
    std::string text = std::to_string(address->sin6_family) + "/";
    char group[8];
    for (int i = 0; i < 16; i += 2) {
        std::snprintf(group, sizeof group, "%s%02x%02x", i ? ":" : "", b[i], b[i + 1]);
        text += group;
    }
    return text;
}

bool allZero(const void* data, std::size_t size)
{
    const unsigned char* b = static_cast<const unsigned char*>(data);
    for (std::size_t i = 0; i < size; ++i)
        if (b[i] != 0)
            return false;
    return true;
}

// The reply record as the system lays it out: where the reply came from, its status and time.
#pragma pack(push, 1)
struct EchoReply6
{
    USHORT port;
    ULONG flowInfo;
    USHORT address[8];
    ULONG scopeId;
    ULONG status;
    unsigned int roundTripTime;
};
#pragma pack(pop)

} // namespace

extern "C" {

// The first line of every log: this double, not the system's library, was loaded.
BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH)
        note("loaded");
    return TRUE;
}

__declspec(dllexport) HANDLE WINAPI Icmp6CreateFile()
{
    if (variable("RAVEL_ICMP6_SCRIPT") == "nocreate") {
        note("Icmp6CreateFile failed");
        SetLastError(ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
    g_sends = 0;
    note("Icmp6CreateFile");
    return kHandle;
}

__declspec(dllexport) BOOL WINAPI IcmpCloseHandle(HANDLE handle)
{
    note(handle == kHandle ? "IcmpCloseHandle" : "IcmpCloseHandle of a foreign handle");
    return handle == kHandle;
}

__declspec(dllexport) DWORD WINAPI Icmp6SendEcho2(HANDLE handle, HANDLE event, FARPROC apc, PVOID apcContext,
                                                  sockaddr_in6* source, sockaddr_in6* destination, LPVOID request,
                                                  WORD requestSize, PIP_OPTION_INFORMATION options, LPVOID reply,
                                                  DWORD replySize, DWORD timeout)
{
    const std::string script = variable("RAVEL_ICMP6_SCRIPT");
    ++g_sends;
    std::string optionText = "none";
    if (options != nullptr)
        optionText = "ttl" + std::to_string(options->Ttl) + ",tos" + std::to_string(options->Tos) + ",flags" +
                     std::to_string(options->Flags) + ",size" + std::to_string(options->OptionsSize);
    note("Icmp6SendEcho2 #" + std::to_string(g_sends) + " handle=" + (handle == kHandle ? "ok" : "foreign") +
         " async=" + (event || apc || apcContext ? "set" : "none") + " source=" + groups(source) +
         " destination=" + groups(destination) + " request=" + std::to_string(requestSize) +
         (request != nullptr && allZero(request, requestSize) ? ",zero" : ",data") + " options=" + optionText +
         " reply=" + std::to_string(replySize) + " timeout=" + std::to_string(timeout));

    if (handle != kHandle || reply == nullptr || destination == nullptr ||
        replySize < sizeof(EchoReply6) + requestSize + 8) {
        SetLastError(handle != kHandle ? ERROR_INVALID_HANDLE : ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    if (script.compare(0, 9, "reply-at:") == 0 && g_sends >= std::atoi(script.c_str() + 9)) {
        auto* record = static_cast<EchoReply6*>(reply);
        std::memset(record, 0, sizeof *record);
        std::memcpy(record->address, &destination->sin6_addr, sizeof record->address);
        record->status = IP_SUCCESS;
        record->roundTripTime = 1;
        return g_lastReplies = 1;
    }
    g_lastReplies = 0;
    SetLastError(script == "error" ? IP_GENERAL_FAILURE : IP_REQ_TIMED_OUT);
    return 0;
}

#ifndef RAVEL_ICMP6_NO_PARSE
__declspec(dllexport) DWORD WINAPI Icmp6ParseReplies(LPVOID reply, DWORD replySize)
{
    note("Icmp6ParseReplies reply=" + std::to_string(replySize));
    return reply != nullptr && replySize >= sizeof(EchoReply6) ? g_lastReplies : 0;
}
#endif

} // extern "C"
