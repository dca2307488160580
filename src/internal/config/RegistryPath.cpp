#include "internal/config/RegistryPath.h"

namespace ravel {

const char* const kRegistryRootNames[kRegistryRootCount] = {"HKEY_CLASSES_ROOT",     "HKEY_CURRENT_USER",
                                                            "HKEY_DYN_DATA",         "HKEY_LOCAL_MACHINE",
                                                            "HKEY_PERFORMANCE_DATA", "HKEY_USERS"};

int registryRootIndex(const RWCString& path)
{
    int found = -1;
    for (int i = 0; i < kRegistryRootCount; ++i)
        if (path.contains(kRegistryRootNames[i], RWCString::ignoreCase))
            found = i;
    return found;
}

bool registryPathValid(const RWCString& path) { return registryRootIndex(path) >= 0; }

bool registrySubKey(const RWCString& path, RWCString& sub)
{
    const size_t at = path.first('\\');
    if (!registryPathValid(path) || at == RWCString::npos)
        return false;
    sub = RWCString(path.data() + at + 1, path.length() - at - 1);
    return true;
}

bool registryLeafKey(RWCString& path, RWCString& leaf)
{
    if (!registryPathValid(path)) {
        leaf = RWCString();
        return false;
    }
    const size_t at = path.last('\\');
    if (at == RWCString::npos) {
        leaf = path;
        path = RWCString();
        return true;
    }
    leaf = RWCString(path.data() + at + 1, path.length() - at - 1);
    path = RWCString(path.data(), at);
    return true;
}

bool registryNamesSubKey(const RWCString& sub) { return sub.occurrencesOf('\\') != sub.length(); }

} // namespace ravel
