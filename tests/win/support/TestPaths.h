#pragma once
#include <string>

namespace testpaths {
// The folder of the running test program (where the DLLs and doubles sit), with a trailing backslash.
std::string binDir();
// A file of the shared test data, as a Windows path (Wine maps the Unix root to Z:).
std::string shared(const std::string& relative);
// A fresh empty scratch folder under the build's temporary area, with a trailing backslash.
std::string scratchDir(const std::string& name);
// Reads a whole file (binary); empty when it cannot be read.
std::string readFile(const std::string& path);
bool writeFile(const std::string& path, const std::string& bytes);
}
