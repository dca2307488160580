#pragma once
// Names on their way to the wide-character file functions, shared by the cabinet extractor and the
// zip library.
#include <windows.h>

#include <string>

namespace ravel {

// The text in the given code page as UTF-16; empty when it does not convert.
inline std::wstring widened(const char* text, UINT codePage)
{
    const int n = ::MultiByteToWideChar(codePage, 0, text, -1, nullptr, 0);
    if (n <= 0)
        return std::wstring();
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    ::MultiByteToWideChar(codePage, 0, text, -1, &wide[0], n);
    wide.resize(static_cast<std::size_t>(n - 1));
    return wide;
}

// Creates every directory along `path` before each backslash from `from` on that does not exist
// yet (a drive or share fails harmlessly).
inline void createDirectoriesAlong(const std::wstring& path, std::size_t from = 0)
{
    for (std::size_t at = path.find(L'\\', from); at != std::wstring::npos; at = path.find(L'\\', at + 1))
        ::CreateDirectoryW(path.substr(0, at).c_str(), nullptr);
}

} // namespace ravel
