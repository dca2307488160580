#pragma once
#include <string>
#include <vector>

namespace testpaths {

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

// The head of a log record up to its line number.
std::string record(const std::string& comment, const char* category, const char* type, const char* level,
                   const char* file);
// The lines of a text, each without its line feed; an unterminated last piece is left out.
std::vector<std::string> lines(const std::string& text);
bool copyInto(const std::string& from, const std::string& folder, const std::string& name);

}
