#pragma once
// Changes to the process and the registry that a test makes and undoes when it ends.
#include "internal/win/WinHandle.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace ravel::test {

// Sets an environment variable of this process (and so of its children) for a scope.
class ScopedVariable
{
public:
    ScopedVariable(const std::string& name, const std::string& value) : m_name(name)
    {
        char old[4096];
        const DWORD n = GetEnvironmentVariableA(name.c_str(), old, sizeof old);
        m_had = n > 0 && n < sizeof old;
        m_old.assign(old, m_had ? n : 0);
        SetEnvironmentVariableA(name.c_str(), value.c_str());
    }
    ~ScopedVariable() { SetEnvironmentVariableA(m_name.c_str(), m_had ? m_old.c_str() : nullptr); }
    ScopedVariable(const ScopedVariable&) = delete;
    ScopedVariable& operator=(const ScopedVariable&) = delete;

private:
    std::string m_name, m_old;
    bool m_had = false;
};

// The current directory for a scope (relative names, INI files among them, are read from it).
class ScopedCurrentDirectory
{
public:
    explicit ScopedCurrentDirectory(const std::string& dir)
    {
        GetCurrentDirectoryA(MAX_PATH, m_old);
        SetCurrentDirectoryA(dir.c_str());
    }
    ~ScopedCurrentDirectory() { SetCurrentDirectoryA(m_old); }
    ScopedCurrentDirectory(const ScopedCurrentDirectory&) = delete;
    ScopedCurrentDirectory& operator=(const ScopedCurrentDirectory&) = delete;

private:
    char m_old[MAX_PATH] = {};
};

// A per-program Wine setting, by the program's file name: the Windows version it is told
// (subkey "", name "Version"), or a library it loads from its own folder rather than Wine's.
class ScopedWineSetting
{
public:
    ScopedWineSetting(const std::string& exeName, const std::string& subkey, const char* name, const char* value)
        : m_key("Software\\Wine\\AppDefaults\\" + exeName)
    {
        RegistryKeyHandle key;
        if (RegCreateKeyExA(HKEY_CURRENT_USER, (subkey.empty() ? m_key : m_key + "\\" + subkey).c_str(), 0, nullptr, 0,
                            KEY_SET_VALUE, nullptr, key.receive(), nullptr) == ERROR_SUCCESS)
            RegSetValueExA(key.get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                           static_cast<DWORD>(std::strlen(value) + 1));
    }
    ~ScopedWineSetting() { RegDeleteTreeA(HKEY_CURRENT_USER, m_key.c_str()); }
    ScopedWineSetting(const ScopedWineSetting&) = delete;
    ScopedWineSetting& operator=(const ScopedWineSetting&) = delete;

private:
    std::string m_key;
};

// A key of the test's own, HKEY_CURRENT_USER\Software\RavelUtilitiesTests\<name> (by default the
// running test's Suite.Name), empty at the start and deleted with its tree at the end.
class ScopedRegistryKey
{
public:
    explicit ScopedRegistryKey(std::string name = "")
    {
        const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
        if (name.empty())
            name = test != nullptr ? std::string(test->test_suite_name()) + "." + test->name() : "outside-a-test";
        m_path = std::string(kTestsKey) + "\\" + name;
        // What a crashed earlier run left behind must not answer for this one.
        RegDeleteTreeA(HKEY_CURRENT_USER, m_path.c_str());
        EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, m_path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                  m_key.receive(), nullptr),
                  ERROR_SUCCESS)
            << m_path;
    }
    ~ScopedRegistryKey()
    {
        m_key.reset();
        RegDeleteTreeA(HKEY_CURRENT_USER, m_path.c_str());
        RegDeleteKeyA(HKEY_CURRENT_USER, kTestsKey); // only once no other test's key is left
    }
    ScopedRegistryKey(const ScopedRegistryKey&) = delete;
    ScopedRegistryKey& operator=(const ScopedRegistryKey&) = delete;

    HKEY get() const { return m_key.get(); }
    // Below HKEY_CURRENT_USER, as the library's registry paths name it.
    const std::string& path() const { return m_path; }

private:
    static constexpr const char* kTestsKey = "Software\\RavelUtilitiesTests";
    std::string m_path;
    RegistryKeyHandle m_key;
};

// The lines of a text, each without its line feed; an unterminated last piece is left out.
inline std::vector<std::string> lines(const std::string& text)
{
    std::vector<std::string> all;
    std::size_t from = 0;
    for (std::size_t at; (at = text.find('\n', from)) != std::string::npos; from = at + 1)
        all.push_back(text.substr(from, at - from));
    return all;
}

} // namespace ravel::test
