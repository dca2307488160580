#pragma once
// The two ways the library talks to failing or size-asking Win32 calls.
#include "LogInterface.h"

#include <windows.h>

#include <vector>

// Writes the record with the system error code as its four data bytes. The code is read before
// anything else can run (building the text, checking the threshold), so no call in between can
// overwrite it.
#define RAVEL_LOG_LAST_ERROR(cat, type, level, text)                                                                   \
    do {                                                                                                               \
        const unsigned long ravelLastError_ = ::GetLastError();                                                        \
        RAVEL_LOG_CODE((cat), (type), (level), (text), ravelLastError_);                                               \
    } while (0)

namespace ravel {

// The "ask the size, then call" pattern: `call(buffer, size)` is called first with no buffer and
// must answer the size it needs (0 when it fails); the buffer is then made that large, zeroed,
// and `call` is asked again, answering whether it succeeded. An empty buffer means failure; when
// the caller must tell "nothing to fetch" from a failed fetch, `asked` receives the first answer.
// The size is bounded by the caller's limit, so a call can never make us allocate without end.
template <class T, class Call>
std::vector<T> sizedCall(Call call, unsigned long* asked = nullptr, unsigned long limit = 1u << 24)
{
    std::vector<T> buffer;
    const unsigned long size = call(static_cast<T*>(nullptr), 0ul);
    if (asked != nullptr)
        *asked = size;
    if (size == 0 || size > limit)
        return buffer;
    buffer.assign(size, T());
    if (!call(buffer.data(), size))
        buffer.clear();
    return buffer;
}

} // namespace ravel
