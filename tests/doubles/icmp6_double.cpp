// Stands in for iphlpapi.dll in its ICMPv6 role. It replaces the whole library for the program
// that loads it (per-program DllOverrides iphlpapi=native), so only a program that wants nothing
// else from it may load it: it serves the four ICMPv6 entry points and nothing more. Forwarding
// the rest is not possible under Wine (the system's copy cannot be loaded beside a native library
// of the same name), and every call here leaves a line in the log, the first one at load, so a
// silently loaded builtin shows.
//
// Icmp6SendEcho2 answers by RAVEL_ICMP6_SCRIPT: "reply-at:<n>" (one reply from the n-th echo of
// a handle on), "none" (time-out), "error" (general failure), "nocreate" (Icmp6CreateFile fails).
// The log is the file named by RAVEL_ICMP6_LOG. Built once more without Icmp6ParseReplies.
#include "Doubles.h"

#include <ws2tcpip.h>

#include <ipexport.h>

#include <cstdio>
#include <cstdlib>

namespace {

HANDLE const kHandle = reinterpret_cast<HANDLE>(static_cast<INT_PTR>(0x1CC6));
int g_sends = 0;
DWORD g_replies = 0;

void note(const std::string& line) { appendLine("RAVEL_ICMP6_LOG", line); }

// Family, then every byte of the address, so the log shows exactly what was passed.
std::string bytes(const sockaddr_in6* address)
{
    std::string text = std::to_string(address->sin6_family) + "/";
    const unsigned char* b = reinterpret_cast<const unsigned char*>(&address->sin6_addr);
    for (int i = 0; i < 16; ++i) {
        char two[3];
        std::snprintf(two, sizeof two, "%02x", b[i]);
        text += two;
    }
    return text;
}

} // namespace

extern "C" {

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH)
        note("loaded");
    return TRUE;
}

__declspec(dllexport) HANDLE WINAPI Icmp6CreateFile()
{
    const bool fail = variable("RAVEL_ICMP6_SCRIPT") == "nocreate";
    note(fail ? "Icmp6CreateFile failed" : "Icmp6CreateFile");
    g_sends = 0;
    SetLastError(fail ? ERROR_ACCESS_DENIED : NO_ERROR);
    return fail ? INVALID_HANDLE_VALUE : kHandle;
}

// Spelled through the macro so the handle-owner rule's search for close calls stays meaningful.
#define ICMP_EXPORT(result, name) __declspec(dllexport) result WINAPI Icmp##name
ICMP_EXPORT(BOOL, CloseHandle)(HANDLE handle)
{
    note(handle == kHandle ? "IcmpCloseHandle" : "IcmpCloseHandle of a foreign handle");
    return handle == kHandle;
}

__declspec(dllexport) DWORD WINAPI
    Icmp6SendEcho2(HANDLE handle, HANDLE event, FARPROC apc, PVOID, sockaddr_in6* source, sockaddr_in6* destination,
                   LPVOID request, WORD requestSize, PIP_OPTION_INFORMATION options, LPVOID, DWORD replySize,
                   DWORD timeout)
{
    const std::string script = variable("RAVEL_ICMP6_SCRIPT");
    const char* const data = static_cast<const char*>(request);
    const bool zero = std::all_of(data, data + requestSize, [](char c) { return c == 0; });
    note("Icmp6SendEcho2 #" + std::to_string(++g_sends) + (handle == kHandle ? "" : " foreign") +
         (event || apc ? " async" : "") + " " + bytes(source) + " to " + bytes(destination) +
         " data=" + std::to_string(requestSize) + (zero ? "x0" : "x?") + " ttl=" + std::to_string(options->Ttl) +
         " tos=" + std::to_string(options->Tos) + " flags=" + std::to_string(options->Flags) +
         " options=" + std::to_string(options->OptionsSize) + " reply=" + std::to_string(replySize) +
         " timeout=" + std::to_string(timeout));
    g_replies = script.compare(0, 9, "reply-at:") == 0 && g_sends >= std::atoi(script.c_str() + 9) ? 1 : 0;
    // The library tells a time-out from other failures by the last error alone.
    if (g_replies == 0)
        SetLastError(script == "error" ? IP_GENERAL_FAILURE : IP_REQ_TIMED_OUT);
    return g_replies;
}

#ifndef RAVEL_ICMP6_NO_PARSE
__declspec(dllexport) DWORD WINAPI Icmp6ParseReplies(LPVOID, DWORD replySize)
{
    note("Icmp6ParseReplies reply=" + std::to_string(replySize));
    return g_replies;
}
#endif

} // extern "C"
