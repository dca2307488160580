#include "TestPaths.h"

#include <windows.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace testpaths {

namespace {
std::string env(const char* name)
{
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

// Unix paths from CTest become Wine's Z: drive paths.
std::string toWindows(std::string path)
{
    if (!path.empty() && path[0] == '/')
        path = "Z:" + path;
    for (char& c : path)
        if (c == '/')
            c = '\\';
    return path;
}

void removeTree(const std::string& dir)
{
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((dir + "*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const std::string name = data.cFileName;
            if (name == "." || name == "..")
                continue;
            const std::string path = dir + name;
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                removeTree(path + "\\");
            } else {
                SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileA(path.c_str());
            }
        } while (FindNextFileA(find, &data));
        FindClose(find);
    }
    RemoveDirectoryA(dir.c_str());
}
} // namespace

std::string binDir()
{
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string s(path, n);
    return s.substr(0, s.find_last_of('\\') + 1);
}

std::string shared(const std::string& relative)
{
    std::string root = env("RAVEL_DATA_DIR");
    if (root.empty())
        root = env("RAVEL_SOURCE_DIR") + "/tests/data";
    return toWindows(root + "/" + relative);
}

std::string scratchDir(const std::string& name)
{
    std::string dir = binDir() + "..\\scratch\\";
    CreateDirectoryA(dir.c_str(), nullptr);
    dir += name + "\\";
    removeTree(dir);
    CreateDirectoryA(dir.c_str(), nullptr);
    return dir;
}

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

bool writeFile(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

} // namespace testpaths
