#include "WinScoped.h"

#include <windows.h>

#include <cstring>

namespace testpaths {

ScopedVariable::ScopedVariable(const std::string& name, const std::string& value) : m_name(name)
{
    char old[4096];
    const DWORD n = GetEnvironmentVariableA(name.c_str(), old, sizeof old);
    m_had = n > 0 && n < sizeof old;
    if (m_had)
        m_old.assign(old, n);
    SetEnvironmentVariableA(name.c_str(), value.c_str());
}

ScopedVariable::~ScopedVariable() { SetEnvironmentVariableA(m_name.c_str(), m_had ? m_old.c_str() : nullptr); }

ScopedWineSetting::ScopedWineSetting(const std::string& exeName, const std::string& subkey, const char* name,
                                     const char* value)
    : m_key("Software\\Wine\\AppDefaults\\" + exeName)
{
    const std::string path = subkey.empty() ? m_key : m_key + "\\" + subkey;
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) ==
        ERROR_SUCCESS) {
        RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                       static_cast<DWORD>(std::strlen(value) + 1));
        RegCloseKey(key);
    }
}

ScopedWineSetting::~ScopedWineSetting() { RegDeleteTreeA(HKEY_CURRENT_USER, m_key.c_str()); }

std::string record(const std::string& comment, const char* category, const char* type, const char* level,
                   const char* file)
{
    return "COMMENT: " + comment + "   CAT: " + category + "  TYPE: " + type + "  LEVEL: " + level + "  FILE: " + file +
           "  LINE: ";
}

std::vector<std::string> lines(const std::string& text)
{
    std::vector<std::string> all;
    std::size_t from = 0;
    for (std::size_t at; (at = text.find('\n', from)) != std::string::npos; from = at + 1)
        all.push_back(text.substr(from, at - from));
    return all;
}

bool copyInto(const std::string& from, const std::string& folder, const std::string& name)
{
    return CopyFileA(from.c_str(), (folder + name).c_str(), FALSE) != FALSE;
}

} // namespace testpaths
