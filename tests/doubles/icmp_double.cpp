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
#include <winsock2.h>
#include <windows.h>

#include <ipexport.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

namespace {

HANDLE const kHandle = reinterpret_cast<HANDLE>(static_cast<INT_PTR>(0x1CC0));

std::string variable(const char* name)
{
    char value[MAX_PATH * 2];
    const DWORD n = GetEnvironmentVariableA(name, value, sizeof value);
    return n > 0 && n < sizeof value ? std::string(value, n) : std::string();
}

void note(const std::string& line)
{
    const std::string log = variable("RAVEL_ICMP_LOG");
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

#ifndef RAVEL_ICMP_NO_SEND_ECHO
std::string dotted(ULONG address)
{
    const unsigned char* b = reinterpret_cast<const unsigned char*>(&address);
    char text[16];
    std::snprintf(text, sizeof text, "%u.%u.%u.%u", b[0], b[1], b[2], b[3]);
    return text;
}

bool parseDotted(const std::string& text, ULONG& address)
{
    unsigned a, b, c, d;
    char tail;
    if (std::sscanf(text.c_str(), "%u.%u.%u.%u%c", &a, &b, &c, &d, &tail) != 4 || a > 255 || b > 255 || c > 255 ||
        d > 255)
        return false;
    const unsigned char bytes[4] = {static_cast<unsigned char>(a), static_cast<unsigned char>(b),
                                    static_cast<unsigned char>(c), static_cast<unsigned char>(d)};
    std::memcpy(&address, bytes, sizeof address);
    return true;
}

bool stateHolds(const std::string& wanted)
{
    std::ifstream in(variable("RAVEL_NET_STATE"), std::ios::binary);
    const std::string table = "\n" + std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    std::istringstream lines(wanted);
    for (std::string line; std::getline(lines, line, ';');)
        if (table.find("\n" + line + "\n") == std::string::npos)
            return false;
    return true;
}
#endif

} // namespace

extern "C" {

__declspec(dllexport) HANDLE WINAPI IcmpCreateFile()
{
    if (variable("RAVEL_ICMP_SCRIPT") == "nocreate") {
        note("IcmpCreateFile failed");
        SetLastError(ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
    note("IcmpCreateFile");
    return kHandle;
}

__declspec(dllexport) BOOL WINAPI IcmpCloseHandle(HANDLE handle)
{
    note(handle == kHandle ? "IcmpCloseHandle" : "IcmpCloseHandle of a foreign handle");
    return handle == kHandle;
}

#ifndef RAVEL_ICMP_NO_SEND_ECHO
__declspec(dllexport) DWORD WINAPI IcmpSendEcho(HANDLE handle, ULONG destination, LPVOID request, WORD requestSize,
                                                PIP_OPTION_INFORMATION options, LPVOID reply, DWORD replySize,
                                                DWORD timeout)
{
    char head[64] = "-";
    if (request != nullptr && requestSize >= 4) {
        const unsigned char* r = static_cast<const unsigned char*>(request);
        std::snprintf(head, sizeof head, "%02x%02x%02x%02x", r[0], r[1], r[2], r[3]);
    }
    const std::string script = variable("RAVEL_ICMP_SCRIPT");
    note("IcmpSendEcho " + dotted(destination) + " handle=" + (handle == kHandle ? "ok" : "foreign") +
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
        if (!parseDotted(script.substr(6), from))
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
