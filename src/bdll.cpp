#include "BDll.h"

#include "internal/win/WinHandle.h"

#include <cstring>
#include <utility>

namespace {
const char kLoadDll[] = "BDll::LoadDll [";
const char kGetFunction[] = "BDll::getFunction [";
const char kLoadedTail[] = "]";
const char kFailedTail[] = "] FAILED";
} // namespace

BDll::BDll() : m_bLoaded(false), m_hInstDll(nullptr) {}
BDll::BDll(const BDll&) = default;
BDll& BDll::operator=(const BDll&) = default;
BDll::~BDll() = default;

bool BDll::LoadDll(RWCString name)
{
    m_bLoaded = false;
    m_hInstDll = LoadLibraryA(name.data());
    if (m_hInstDll == nullptr) {
        RAVEL_LOG(CAT_GENERAL, TYPE_INFO, LEVEL_OMEGA, kLoadDll + name + kFailedTail);
        return false;
    }
    m_bLoaded = true;
    RAVEL_LOG(CAT_GENERAL, TYPE_INFO, LEVEL_OMEGA, kLoadDll + name + kLoadedTail);
    return true;
}

bool BDll::getFunction(RWCString name, void** function)
{
    const FARPROC address = GetProcAddress(m_hInstDll, name.data());
    if (function != nullptr) {
        // Function and data pointers share one representation on Windows.
        static_assert(sizeof(address) == sizeof(void*), "function pointers fit a void*");
        std::memcpy(function, &address, sizeof address);
    }
    if (address == nullptr) {
        m_bLoaded = false;
        RAVEL_LOG(CAT_GENERAL, TYPE_INFO, LEVEL_OMEGA, kGetFunction + name + kFailedTail);
        return false;
    }
    return true;
}

bool BDll::UnLoadDll()
{
    m_bLoaded = false;
    // The object never owned the handle (copies share it); this is the one place it is freed.
    return ravel::ModuleHandle(std::exchange(m_hInstDll, nullptr)).close();
}

bool BDll::isLoaded() { return m_bLoaded; }

HINSTANCE BDll::getHinstDll() { return m_hInstDll; }

bool BDll::setHinstDll(HINSTANCE handle)
{
    m_hInstDll = handle;
    return true;
}
