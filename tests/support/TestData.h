#pragma once
// What every test program needs from its surroundings: the repository's fixtures, whole files,
// and a temporary directory that is gone when the test ends. Native and Windows tests alike.
#include <string>

namespace ravel::test {

// A fixture under tests/data (RAVEL_DATA_DIR, else RAVEL_SOURCE_DIR/tests/data). Windows
// programs get a Windows path: Wine maps the Unix root to Z:.
std::string dataPath(const std::string& relative);

// The whole file (binary); empty when it cannot be read.
std::string readFile(const std::string& path);
bool writeFile(const std::string& path, const std::string& bytes);

// A fresh empty directory, removed with everything in it when the object goes. path() ends with
// the platform's separator.
class ScopedTempDir
{
public:
    explicit ScopedTempDir(const std::string& tag = "ravel");
    ~ScopedTempDir();
    ScopedTempDir(const ScopedTempDir&) = delete;
    ScopedTempDir& operator=(const ScopedTempDir&) = delete;
    const std::string& path() const { return m_path; }
    std::string operator/(const std::string& name) const { return m_path + name; }

private:
    std::string m_path;
};

// A fresh empty directory that lasts until the test program ends (then it is removed), for tests
// whose helpers hand folders around; ends with the platform's separator.
std::string scratchDir(const std::string& tag);

} // namespace ravel::test
