// The text-only operations of sysFileStructure, shared with the portable code.
#include "sysFileStructure.h"

#include "internal/files/PathText.h"

void sysFileStructure::getFileNameAndPath(RWCString fullPath, RWCString* fileName, RWCString* path, char separator)
{
    const size_t at = fullPath.last(separator);
    if (at == RWCString::npos) {
        if (fileName != nullptr)
            *fileName = fullPath;
        if (path != nullptr)
            *path = RWCString();
        return;
    }
    if (fileName != nullptr)
        *fileName = RWCString(fullPath.data() + at + 1, fullPath.length() - at - 1);
    if (path != nullptr)
        *path = RWCString(fullPath.data(), at + 1);
}

void sysFileStructure::getFileNameFromFullFileNameAndPath(RWCString fullPath, RWCString& fileName)
{
    getFileNameAndPath(fullPath, &fileName, nullptr, '\\');
}

namespace ravel {

bool isFullPath(const RWCString& path)
{
    const char* text = path.data();
    return path.length() >= 2 && ((text[0] == '\\' && text[1] == '\\') || text[1] == ':');
}

RWCString fullPathAgainst(const RWCString& path, const RWCString& cwd)
{
    if (isFullPath(path))
        return path;
    if (path.length() >= 1 && path.data()[0] == '\\')
        return cwd + path;
    return cwd + "\\" + path;
}

} // namespace ravel
