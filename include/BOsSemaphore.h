#pragma once
#include "BOsWaitableObject.h"

// A counting semaphore. The default one is free once: maximum 1, initial count 1, unnamed.
// Copies share the semaphore (see BOsWaitableObject).
class RAVELUTIL_API BOsSemaphore : public BOsWaitableObject
{
public:
    // A null name makes an unnamed semaphore.
    BOsSemaphore(int maximumCount = 1, int initialCount = 1, const char* name = nullptr);
    BOsSemaphore(const BOsSemaphore& other);
    BOsSemaphore& operator=(const BOsSemaphore& other);
    virtual ~BOsSemaphore();

    // Gives `count` units back; whether the system accepted them is not reported.
    virtual void Release(int count);
    // Whether no unit is free; when one is, this takes it.
    bool isBlocked();
};
