#include "sysICMP.h"

namespace {
const char kLibrary[] = "icmp.dll";
const char kCloseHandle[] = "IcmpCloseHandle";
const char kCreateFile[] = "IcmpCreateFile";
const char kSendEcho[] = "IcmpSendEcho";

template <class Entry>
void resolve(BDll& dll, const char* name, Entry& entry)
{
    void* address = nullptr;
    dll.getFunction(name, &address);
    entry = reinterpret_cast<Entry>(address);
}
} // namespace

sysICMP::sysICMP() : m_pIcmpClose(nullptr), m_pIcmpCreateFile(nullptr), m_pIcmpSendEcho(nullptr)
{
    if (!LoadDll(kLibrary))
        return;
    // All three are asked for, so a missing one is logged even after another is missing.
    resolve(*this, kCloseHandle, m_pIcmpClose);
    resolve(*this, kCreateFile, m_pIcmpCreateFile);
    resolve(*this, kSendEcho, m_pIcmpSendEcho);
}

sysICMP::sysICMP(const sysICMP& other)
    : BDll(other), m_pIcmpClose(other.m_pIcmpClose), m_pIcmpCreateFile(other.m_pIcmpCreateFile),
      m_pIcmpSendEcho(other.m_pIcmpSendEcho)
{
    holdLibrary();
}

sysICMP& sysICMP::operator=(const sysICMP& other)
{
    if (this == &other)
        return *this;
    UnLoadDll();
    BDll::operator=(other);
    m_pIcmpClose = other.m_pIcmpClose;
    m_pIcmpCreateFile = other.m_pIcmpCreateFile;
    m_pIcmpSendEcho = other.m_pIcmpSendEcho;
    holdLibrary();
    return *this;
}

sysICMP::~sysICMP() { UnLoadDll(); }

void sysICMP::holdLibrary()
{
    // Take a reference of our own on the shared module, released again by the destructor.
    HMODULE held = nullptr;
    if (getHinstDll() != nullptr &&
        !GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCSTR>(getHinstDll()), &held)) {
        // Without a reference of our own the entry points must not be used.
        BDll::operator=(BDll());
        m_pIcmpClose = nullptr;
        m_pIcmpCreateFile = nullptr;
        m_pIcmpSendEcho = nullptr;
    }
}

bool sysICMP::IcmpCreateFile(void*& handle)
{
    if (m_pIcmpCreateFile == nullptr)
        return false;
    handle = m_pIcmpCreateFile();
    return true;
}

bool sysICMP::IcmpSendEcho(void* handle, unsigned long destination, void* requestData, unsigned short requestSize,
                           ip_option_information* options, void* replyBuffer, unsigned long replySize,
                           unsigned long timeout, unsigned long& replies)
{
    if (m_pIcmpSendEcho == nullptr)
        return false;
    replies = m_pIcmpSendEcho(handle, destination, requestData, requestSize, options, replyBuffer, replySize, timeout);
    return true;
}

bool sysICMP::IcmpCloseHandle(void* handle, int& result)
{
    if (m_pIcmpClose == nullptr)
        return false;
    result = m_pIcmpClose(handle);
    return true;
}
