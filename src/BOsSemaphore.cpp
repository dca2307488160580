#include "BOsSemaphore.h"

#include <windows.h>

BOsSemaphore::BOsSemaphore(int maximumCount, int initialCount, const char* name)
    : BOsWaitableObject(CreateSemaphoreA(nullptr, initialCount, maximumCount, name))
{}

BOsSemaphore::BOsSemaphore(const BOsSemaphore& other) = default;
BOsSemaphore& BOsSemaphore::operator=(const BOsSemaphore& other) = default;
BOsSemaphore::~BOsSemaphore() = default;

void BOsSemaphore::Release(int count) { ReleaseSemaphore(static_cast<HANDLE>(GetHandle()), count, nullptr); }

bool BOsSemaphore::isBlocked() { return !isSignaled(); }
