#pragma once
// The presence tests both network classes make: can a datagram socket of a family and protocol
// be created, and does the system know a network provider.
#include "internal/win/WinCall.h"
#include "internal/win/WinHandle.h"

#include <winnetwk.h>

namespace ravel {

inline bool protocolPresent(int family, int protocol, WORD winsockVersion)
{
    const WinsockSession sockets(winsockVersion);
    if (!sockets.started())
        return false;
    const SocketHandle s(::socket(family, SOCK_DGRAM, protocol));
    return s.valid();
}

// An empty name buffer answers the size the provider's name needs.
inline bool providerPresent(unsigned long type)
{
    return !sizedCall<char>([type](char* name, unsigned long length) -> unsigned long {
                DWORD size = length;
                if (name == nullptr)
                    return ::WNetGetProviderNameA(type, nullptr, &size) == ERROR_MORE_DATA ? size : 0;
                return ::WNetGetProviderNameA(type, name, &size) == NO_ERROR;
            }).empty();
}

} // namespace ravel
