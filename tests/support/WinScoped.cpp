#include "WinScoped.h"

#include <gtest/gtest.h>

#include <cstring>

namespace ravel::test {

namespace {
const char kTestsKey[] = "Software\\RavelUtilitiesTests";
}

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
    RegistryKeyHandle key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, key.receive(),
                        nullptr) == ERROR_SUCCESS)
        RegSetValueExA(key.get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                       static_cast<DWORD>(std::strlen(value) + 1));
}

ScopedWineSetting::~ScopedWineSetting() { RegDeleteTreeA(HKEY_CURRENT_USER, m_key.c_str()); }

ScopedRegistryKey::ScopedRegistryKey(std::string name)
{
    if (name.empty()) {
        const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
        name = test != nullptr ? std::string(test->test_suite_name()) + "." + test->name() : "outside-a-test";
    }
    m_path = std::string(kTestsKey) + "\\" + name;
    // What a crashed earlier run left behind must not answer for this one.
    RegDeleteTreeA(HKEY_CURRENT_USER, m_path.c_str());
    EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, m_path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              m_key.receive(), nullptr),
              ERROR_SUCCESS)
        << m_path;
}

ScopedRegistryKey::~ScopedRegistryKey()
{
    m_key.reset();
    RegDeleteTreeA(HKEY_CURRENT_USER, m_path.c_str());
    RegDeleteKeyA(HKEY_CURRENT_USER, kTestsKey);  // only once no other test's key is left
}

std::vector<std::string> lines(const std::string& text)
{
    std::vector<std::string> all;
    std::size_t from = 0;
    for (std::size_t at; (at = text.find('\n', from)) != std::string::npos; from = at + 1)
        all.push_back(text.substr(from, at - from));
    return all;
}

} // namespace ravel::test
