#pragma once
#include "RavelExport.h"

#include <windows.h>

// The system's critical section: a lock for the threads of one process. The owning thread may
// enter again (each enter needs its leave).
// Not copyable: a critical section's state belongs to the threads using it, and a copy of it
// would be a second lock that excludes nobody.
class RAVELUTIL_API BCriticalSection
{
public:
    BCriticalSection();
    BCriticalSection(const BCriticalSection&) = delete;
    BCriticalSection& operator=(const BCriticalSection&) = delete;
    ~BCriticalSection();

    void enter();
    void leave();

private:
    CRITICAL_SECTION m_section;
};
