#include "BRegistry.h"

#include "internal/config/RegistryPath.h"
#include "internal/win/WinHandle.h"

#include <cxxabi.h>

#include <cstdlib>
#include <memory>
#include <typeinfo>
#include <utility>

namespace {

const char kDefaultKeyPath[] = "HKEY_LOCAL_MACHINE\\Software\\Corvane\\Velloran";
const char kKeyClass[] = "Simple Velloran Installer";
const char kCreateFailed[] = "BRegistry::setWorkingKey : RegCreateKeyEx FAILED on ";
const char kBlank[] = " ";
// Names and string data: 255 characters and the terminator.
const DWORD kBufferSize = 256;

// The predefined keys, in the order of ravel::kRegistryRootNames.
const HKEY kRoots[ravel::kRegistryRootCount] = {HKEY_CLASSES_ROOT,  HKEY_CURRENT_USER,     HKEY_DYN_DATA,
                                                HKEY_LOCAL_MACHINE, HKEY_PERFORMANCE_DATA, HKEY_USERS};

using ravel::RegistryKeyHandle;

// Takes a raw handle member over for closing; the member is cleared.
void closeKey(HKEY& key) { RegistryKeyHandle(std::exchange(key, nullptr)).reset(); }

// A second handle of our own on the key the given one is open on.
HKEY reopen(HKEY key)
{
    HKEY copy = nullptr;
    if (key == nullptr || RegOpenKeyExA(key, "", 0, KEY_ALL_ACCESS, &copy) != ERROR_SUCCESS)
        return nullptr;
    return copy;
}

// Calls name(index, buffer, size) for index 0, 1, ... until the key has no more names; each found
// name goes to found. A name too long for the buffer is skipped; any other failure ends the list.
template <class Enumerate, class Found>
void forEachName(Enumerate enumerate, Found found)
{
    char name[kBufferSize];
    for (DWORD index = 0;; ++index) {
        DWORD size = kBufferSize;
        const LONG result = enumerate(index, name, size);
        if (result == ERROR_MORE_DATA)
            continue;
        if (result != ERROR_SUCCESS)
            return;
        if (found(RWCString(name)))
            return;
    }
}

LONG enumValueName(HKEY key, DWORD index, char* name, DWORD& size)
{
    return RegEnumValueA(key, index, name, &size, nullptr, nullptr, nullptr, nullptr);
}

} // namespace

BRegistry::BRegistry()
    : m_bOpen(false), m_workingKeyPath(kDefaultKeyPath), m_hWorkingKey(nullptr), m_hRootKey(HKEY_LOCAL_MACHINE)
{
    initializeRegistry(m_workingKeyPath);
}

BRegistry::BRegistry(RWCString path)
    : m_bOpen(false), m_workingKeyPath(kDefaultKeyPath), m_hWorkingKey(nullptr), m_hRootKey(HKEY_LOCAL_MACHINE)
{
    if (!path.isNull() && validateKeyFormat(path))
        m_workingKeyPath = path;
    initializeRegistry(m_workingKeyPath);
}

BRegistry::BRegistry(const BRegistry& other)
    : LogInterface(other), m_bOpen(other.m_bOpen), m_text(other.m_text), m_workingKeyPath(other.m_workingKeyPath),
      m_hWorkingKey(reopen(other.m_hWorkingKey)), m_hRootKey(other.m_hRootKey)
{}

BRegistry& BRegistry::operator=(const BRegistry& other)
{
    if (this == &other)
        return *this;
    HKEY copy = reopen(other.m_hWorkingKey);
    closeKey(m_hWorkingKey);
    m_hWorkingKey = copy;
    m_bOpen = other.m_bOpen;
    m_text = other.m_text;
    m_workingKeyPath = other.m_workingKeyPath;
    m_hRootKey = other.m_hRootKey;
    return *this;
}

// Whatever handle is held at the end is ours to close, open flag or not.
BRegistry::~BRegistry() { closeKey(m_hWorkingKey); }

bool BRegistry::validateKeyFormat(RWCString path) { return ravel::registryPathValid(path); }

bool BRegistry::getRootKey(RWCString path, HKEY& root)
{
    const int index = ravel::registryRootIndex(path);
    root = index < 0 ? HKEY_LOCAL_MACHINE : kRoots[index];
    return index >= 0;
}

bool BRegistry::getSubKey(RWCString path, RWCString& sub) { return ravel::registrySubKey(path, sub); }

bool BRegistry::getLeafKey(RWCString& path, RWCString& leaf) { return ravel::registryLeafKey(path, leaf); }

bool BRegistry::initializeRegistry(RWCString path)
{
    if (m_bOpen)
        return true;
    if (path.isNull())
        return false;
    m_bOpen = setWorkingKey(path);
    return m_bOpen;
}

bool BRegistry::openKey(RWCString) { return initializeRegistry(m_workingKeyPath); }

bool BRegistry::closeWorkingKey()
{
    if (m_bOpen && m_hWorkingKey != nullptr)
        closeKey(m_hWorkingKey);
    return true;
}

bool BRegistry::setWorkingKey(RWCString path)
{
    if (!validateKeyFormat(path))
        return false;
    m_workingKeyPath = path.isNull() ? RWCString(kDefaultKeyPath) : path;
    HKEY root = HKEY_LOCAL_MACHINE;
    RWCString sub;
    getRootKey(path, root);
    if (!getSubKey(path, sub))
        return false;
    HKEY created = nullptr;
    const LONG result = RegCreateKeyExA(root, sub.data(), 0, const_cast<char*>(kKeyClass), REG_OPTION_NON_VOLATILE,
                                        KEY_ALL_ACCESS, nullptr, &created, nullptr);
    if (result != ERROR_SUCCESS) {
        RAVEL_LOG(CAT_GENERAL, TYPE_INFO, LEVEL_OMEGA, RWCString(kCreateFailed) + kKeyClass);
        m_workingKeyPath = kDefaultKeyPath;
        m_hRootKey = HKEY_LOCAL_MACHINE;
        return false;
    }
    // The replaced handle is not needed any more.
    closeKey(m_hWorkingKey);
    m_hWorkingKey = created;
    m_hRootKey = root;
    return true;
}

RWCString BRegistry::getWorkingKey() { return m_workingKeyPath; }

const RWCString& BRegistry::toString()
{
    int status = 0;
    const std::unique_ptr<char, decltype(&std::free)> readable(
        abi::__cxa_demangle(typeid(BRegistry*).name(), nullptr, nullptr, &status), &std::free);
    if (readable)
        m_text = readable.get();
    return m_text;
}

bool BRegistry::setValue(RWCString name, RWCString value)
{
    if (!initializeRegistry(RWCString()) || name.isNull() || value.isNull())
        return false;
    return RegSetValueExA(m_hWorkingKey, name.data(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.data()),
                          static_cast<DWORD>(value.length() + 1)) == ERROR_SUCCESS;
}

bool BRegistry::setValue(RWCString name, unsigned long value)
{
    if (!initializeRegistry(RWCString()) || name.isNull())
        return false;
    const DWORD data = static_cast<DWORD>(value);
    return RegSetValueExA(m_hWorkingKey, name.data(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data),
                          sizeof data) == ERROR_SUCCESS;
}

bool BRegistry::setValue(RWCString name, char* data, unsigned long size)
{
    if (!initializeRegistry(RWCString()) || name.isNull())
        return false;
    return RegSetValueExA(m_hWorkingKey, name.data(), 0, REG_BINARY, reinterpret_cast<const BYTE*>(data),
                          static_cast<DWORD>(size)) == ERROR_SUCCESS;
}

bool BRegistry::getValue(RWCString name, RWCString& value)
{
    if (!initializeRegistry(RWCString()))
        return false;
    char buffer[kBufferSize] = {};
    DWORD size = kBufferSize;
    if (RegQueryValueExA(m_hWorkingKey, name.data(), nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &size) !=
        ERROR_SUCCESS) {
        value = RWCString();
        return false;
    }
    // Up to the first zero, never beyond what the system returned.
    size_t length = 0;
    while (length < size && length < kBufferSize && buffer[length] != '\0')
        ++length;
    value = RWCString(buffer, length);
    return true;
}

bool BRegistry::getValue(RWCString name, unsigned long& value)
{
    if (!initializeRegistry(RWCString()))
        return false;
    DWORD data = 0;
    DWORD size = sizeof data;
    if (RegQueryValueExA(m_hWorkingKey, name.data(), nullptr, nullptr, reinterpret_cast<BYTE*>(&data), &size) !=
        ERROR_SUCCESS) {
        value = 0xFFFFFFFFul;
        return false;
    }
    value = data;
    return true;
}

bool BRegistry::valueExists(RWCString name)
{
    if (!initializeRegistry(RWCString()))
        return false;
    bool found = false;
    const HKEY key = m_hWorkingKey;
    forEachName([key](DWORD index, char* text, DWORD& size) { return enumValueName(key, index, text, size); },
                [&](const RWCString& value) { return found = value.compareTo(name) == 0; });
    return found;
}

bool BRegistry::clearValue(RWCString name)
{
    if (!initializeRegistry(RWCString()) || name.isNull() || !valueExists(name))
        return false;
    // The type is read with the same buffer as the text, so a value too long to read is refused.
    char buffer[kBufferSize];
    DWORD size = kBufferSize;
    DWORD type = REG_NONE;
    if (RegQueryValueExA(m_hWorkingKey, name.data(), nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size) !=
        ERROR_SUCCESS)
        return false;
    if (type == REG_SZ)
        return setValue(name, RWCString(kBlank));
    if (type == REG_DWORD)
        return setValue(name, 0ul);
    return false;
}

bool BRegistry::deleteValue(RWCString name)
{
    if (!initializeRegistry(RWCString()) || name.isNull())
        return false;
    if (!valueExists(name))
        return true;
    return RegDeleteValueA(m_hWorkingKey, name.data()) == ERROR_SUCCESS;
}

bool BRegistry::enumValues(BStringVector& names)
{
    names.clear();
    RegistryKeyHandle key;
    if (m_hWorkingKey == nullptr || RegOpenKeyExA(m_hWorkingKey, "", 0, KEY_ALL_ACCESS, key.receive()) != ERROR_SUCCESS)
        return false;
    const HKEY open = key.get();
    forEachName([open](DWORD index, char* text, DWORD& size) { return enumValueName(open, index, text, size); },
                [&](const RWCString& value) {
                    names.insert(value);
                    return false;
                });
    return true;
}

bool BRegistry::keyExists(RWCString path)
{
    HKEY root = HKEY_LOCAL_MACHINE;
    RWCString sub;
    if (!getRootKey(path, root) || !getSubKey(path, sub))
        return false;
    RegistryKeyHandle key;
    return RegOpenKeyExA(root, sub.data(), 0, KEY_READ, key.receive()) == ERROR_SUCCESS;
}

bool BRegistry::enumKeys(RWCString path, BStringVector& names)
{
    names.clear();
    HKEY root = HKEY_LOCAL_MACHINE;
    RWCString sub;
    // A sub-key of nothing but backslashes would list the root itself.
    if (!getRootKey(path, root) || !getSubKey(path, sub) || !ravel::registryNamesSubKey(sub))
        return false;
    RegistryKeyHandle key;
    if (RegOpenKeyExA(root, sub.data(), 0, KEY_ALL_ACCESS, key.receive()) != ERROR_SUCCESS)
        return false;
    const HKEY open = key.get();
    forEachName([open](DWORD index, char* text, DWORD& size) { return RegEnumKeyA(open, index, text, size); },
                [&](const RWCString& value) {
                    names.insert(value);
                    return false;
                });
    return true;
}

bool BRegistry::enumKeys(BStringVector& names) { return enumKeys(m_workingKeyPath, names); }

bool BRegistry::deleteKey(RWCString path)
{
    if (path.isNull())
        return false;
    BStringVector children;
    enumKeys(path, children);
    for (unsigned int i = 0; i < children.entries(); ++i)
        if (!deleteKey(path + "\\" + children[i]))
            return false;
    HKEY root = HKEY_LOCAL_MACHINE;
    RWCString sub;
    // Never a root: a path must name a key below it.
    if (!getRootKey(path, root) || !getSubKey(path, sub) || !ravel::registryNamesSubKey(sub))
        return false;
    return RegDeleteKeyA(root, sub.data()) == ERROR_SUCCESS;
}
