#include "BOsWaitableObject.h"

#include "internal/win/WinHandle.h"

namespace {

// The handle is owned here only for the moment of closing it.
void closeHandle(void* handle) { const ravel::KernelHandle closing(static_cast<HANDLE>(handle)); }

void* duplicate(void* handle) { return ravel::duplicateHandle(static_cast<HANDLE>(handle)).release(); }

} // namespace

BOsWaitableObject::BOsWaitableObject() : m_handle(nullptr) {}

BOsWaitableObject::BOsWaitableObject(void* handle) : m_handle(handle) {}

BOsWaitableObject::BOsWaitableObject(const BOsWaitableObject& other) : m_handle(duplicate(other.m_handle)) {}

BOsWaitableObject& BOsWaitableObject::operator=(const BOsWaitableObject& other)
{
    if (this != &other) {
        void* const copy = duplicate(other.m_handle);
        closeHandle(m_handle);
        m_handle = copy;
    }
    return *this;
}

BOsWaitableObject::~BOsWaitableObject() { closeHandle(m_handle); }

void* BOsWaitableObject::GetHandle() { return m_handle; }

void BOsWaitableObject::SetHandle(void* handle) { m_handle = handle; }

unsigned int BOsWaitableObject::Wait(int timeout)
{
    return WaitForSingleObject(static_cast<HANDLE>(m_handle), static_cast<DWORD>(timeout));
}

bool BOsWaitableObject::isSignaled() { return WaitForSingleObject(static_cast<HANDLE>(m_handle), 0) != WAIT_TIMEOUT; }
