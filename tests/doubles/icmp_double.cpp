// Stands in for the system's icmp.dll (load it with WINEDLLOVERRIDES=icmp=n). What IcmpSendEcho
// answers comes from the variable RAVEL_ICMP_SCRIPT, read at each call:
//   host          one reply from the probed address
//   other:<ip>    one reply (destination unreachable) from another address
//   none          no reply (time-out)
//   nocreate      IcmpCreateFile fails
//   state:<line>[;<line>...]   one reply from the probed address while every line stands in the
//                 simulated network's table (RAVEL_NET_STATE, kept by the route and arp doubles)
// Each call appends one line to the file named by RAVEL_ICMP_LOG, so tests see exactly what the
// library asked for. Built once more without IcmpSendEcho to stand for an incomplete library.
#include "Doubles.h"
#include "TestData.h"

#include <ipexport.h>

#include <cstdio>
#include <cstring>
#include <sstream>

namespace {

HANDLE const kHandle = reinterpret_cast<HANDLE>(static_cast<INT_PTR>(0x1CC0));

void note(const std::string& line) { appendLine("RAVEL_ICMP_LOG", line); }

#ifndef RAVEL_ICMP_NO_SEND_ECHO
bool stateHolds(const std::string& wanted)
{
    const std::string table = "\n" + ravel::test::readFile(variable("RAVEL_NET_STATE"));
    std::istringstream lines(wanted);
    for (std::string line; std::getline(lines, line, ';');)
        if (table.find("\n" + line + "\n") == std::string::npos)
            return false;
    return true;
}
#endif

} // namespace

// The system library's entry points, by the names it exports.
#define ICMP_EXPORT(result, name) __declspec(dllexport) result WINAPI Icmp##name

extern "C" {

ICMP_EXPORT(HANDLE, CreateFile)()
{
    if (variable("RAVEL_ICMP_SCRIPT") == "nocreate") {
        note("IcmpCreateFile failed");
        SetLastError(ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
    note("IcmpCreateFile");
    return kHandle;
}

ICMP_EXPORT(BOOL, CloseHandle)(HANDLE handle)
{
    note(handle == kHandle ? "IcmpCloseHandle" : "IcmpCloseHandle of a foreign handle");
    return handle == kHandle;
}

#ifndef RAVEL_ICMP_NO_SEND_ECHO
ICMP_EXPORT(DWORD, SendEcho)
(HANDLE handle, ULONG destination, LPVOID request, WORD requestSize, PIP_OPTION_INFORMATION options, LPVOID reply,
 DWORD replySize, DWORD timeout)
{
    char head[64] = "-";
    if (request != nullptr && requestSize >= 4) {
        const unsigned char* r = static_cast<const unsigned char*>(request);
        std::snprintf(head, sizeof head, "%02x%02x%02x%02x", r[0], r[1], r[2], r[3]);
    }
    const std::string script = variable("RAVEL_ICMP_SCRIPT");
    in_addr to;
    to.s_addr = destination;
    note(std::string("IcmpSendEcho ") + inet_ntoa(to) + " handle=" + (handle == kHandle ? "ok" : "foreign") +
         " request=" + std::to_string(requestSize) + " head=" + head + " options=" + (options ? "set" : "none") +
         " reply=" + std::to_string(replySize) + " timeout=" + std::to_string(timeout) + " script=" + script);

    // The system's own checks: room for one record, the echoed data and an error report.
    if (handle != kHandle || reply == nullptr || replySize < sizeof(ICMP_ECHO_REPLY) + requestSize + 8) {
        SetLastError(handle != kHandle ? ERROR_INVALID_HANDLE : ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    ULONG from = destination;
    ULONG status = IP_SUCCESS;
    if (script.compare(0, 6, "other:") == 0) {
        if ((from = inet_addr(script.substr(6).c_str())) == INADDR_NONE)
            return 0;
        status = IP_DEST_HOST_UNREACHABLE;
    } else if (script != "host" && (script.compare(0, 6, "state:") != 0 || !stateHolds(script.substr(6)))) {
        SetLastError(IP_REQ_TIMED_OUT);
        return 0;
    }
    auto* record = static_cast<ICMP_ECHO_REPLY*>(reply);
    std::memset(record, 0, sizeof *record);
    record->Address = from;
    record->Status = status;
    record->RoundTripTime = 1;
    record->DataSize = status == IP_SUCCESS ? requestSize : 0;
    record->Data = static_cast<unsigned char*>(reply) + sizeof *record;
    if (status == IP_SUCCESS)
        std::memcpy(record->Data, request, requestSize);
    return 1;
}
#endif

} // extern "C"
