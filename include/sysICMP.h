#pragma once
#include "BDll.h"

struct ip_option_information;

// The three entry points of the system's ICMP library, bound by name at run time. isLoaded() is
// true only when the library loaded and all three were found. Each object, copies included,
// holds its own reference on the library, so it stays loaded while any of them exists.
class RAVELUTIL_API sysICMP : public BDll
{
public:
    sysICMP();
    sysICMP(const sysICMP& other);
    sysICMP& operator=(const sysICMP& other);
    virtual ~sysICMP();

    // Each is false when its entry point is missing; otherwise it calls through and hands back
    // the entry point's own result, uninterpreted.
    bool IcmpCreateFile(void*& handle);
    bool IcmpSendEcho(void* handle, unsigned long destination, void* requestData, unsigned short requestSize,
                      ip_option_information* options, void* replyBuffer, unsigned long replySize, unsigned long timeout,
                      unsigned long& replies);
    bool IcmpCloseHandle(void* handle, int& result);

private:
    typedef BOOL(WINAPI* CloseHandleEntry)(HANDLE);
    typedef HANDLE(WINAPI* CreateFileEntry)();
    typedef DWORD(WINAPI* SendEchoEntry)(HANDLE, ULONG, LPVOID, WORD, ip_option_information*, LPVOID, DWORD, DWORD);

    void holdLibrary();

    CloseHandleEntry m_pIcmpClose;
    CreateFileEntry m_pIcmpCreateFile;
    SendEchoEntry m_pIcmpSendEcho;
};
