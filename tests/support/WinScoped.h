#pragma once
// Changes to the process and the registry that a test makes and undoes when it ends.
#include "internal/win/WinHandle.h"

#include <string>
#include <vector>

namespace ravel::test {

// Sets an environment variable of this process (and so of its children) for a scope.
class ScopedVariable
{
public:
    ScopedVariable(const std::string& name, const std::string& value);
    ~ScopedVariable();
    ScopedVariable(const ScopedVariable&) = delete;
    ScopedVariable& operator=(const ScopedVariable&) = delete;

private:
    std::string m_name;
    bool m_had = false;
    std::string m_old;
};

// A per-program Wine setting, by the program's file name: the Windows version it is told
// (subkey "", name "Version"), or a library it loads from its own folder rather than Wine's.
class ScopedWineSetting
{
public:
    ScopedWineSetting(const std::string& exeName, const std::string& subkey, const char* name, const char* value);
    ~ScopedWineSetting();
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
    explicit ScopedRegistryKey(std::string name = "");
    ~ScopedRegistryKey();
    ScopedRegistryKey(const ScopedRegistryKey&) = delete;
    ScopedRegistryKey& operator=(const ScopedRegistryKey&) = delete;

    HKEY get() const { return m_key.get(); }
    // Below HKEY_CURRENT_USER, as the library's registry paths name it.
    const std::string& path() const { return m_path; }

private:
    std::string m_path;
    RegistryKeyHandle m_key;
};

// The lines of a text, each without its line feed; an unterminated last piece is left out.
std::vector<std::string> lines(const std::string& text);

} // namespace ravel::test
