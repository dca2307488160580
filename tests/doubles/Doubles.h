#pragma once
// What the stand-in programs share (the doubles and the process tests' child): settings from
// environment variables, whole writes, one log line per call the library makes, and the text the
// child writes for "bytes n".
#include "internal/win/WinHandle.h"

#include <algorithm>
#include <string>

inline std::string variable(const std::string& name)
{
    char value[MAX_PATH * 2];
    const DWORD n = GetEnvironmentVariableA(name.c_str(), value, sizeof value);
    return n > 0 && n < sizeof value ? std::string(value, n) : std::string();
}

// In pieces of at most 64 KiB, as programs write to pipes.
inline bool writeAll(HANDLE to, const std::string& bytes)
{
    DWORD written = 0;
    for (std::size_t done = 0; done < bytes.size(); done += written)
        if (!WriteFile(to, bytes.data() + done, static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 65536)),
                       &written, nullptr))
            return false;
    return true;
}

inline void appendLine(const std::string& logVariable, const std::string& line)
{
    const std::string log = variable(logVariable);
    const ravel::FileHandle file(log.empty()
                                     ? INVALID_HANDLE_VALUE
                                     : CreateFileA(log.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                                   nullptr, OPEN_ALWAYS, 0, nullptr));
    if (file)
        writeAll(file.get(), line + "\n");
}

// A repeating text of lines, so that a lost or doubled block shows.
inline std::string childPattern(std::size_t n)
{
    static const char kLine[] = "0123456789abcdefghijklmnopqrstuvwxyz\r\n";
    std::string text(n, ' ');
    for (std::size_t i = 0; i < n; ++i)
        text[i] = kLine[i % (sizeof kLine - 1)];
    return text;
}
