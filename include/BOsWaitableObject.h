#pragma once
#include "RavelExport.h"

// A system object a thread can wait on (semaphore, event, thread), held by its handle and closed
// when the object goes. A copy holds a duplicate of the handle: it names the same system object
// and closes only its own handle.
class RAVELUTIL_API BOsWaitableObject
{
public:
    BOsWaitableObject();
    // Takes the handle over: it is closed with the object.
    explicit BOsWaitableObject(void* handle);
    BOsWaitableObject(const BOsWaitableObject& other);
    BOsWaitableObject& operator=(const BOsWaitableObject& other);
    virtual ~BOsWaitableObject();

    void* GetHandle();
    // Takes the new handle over; the earlier one is not closed (whoever took it with GetHandle
    // closes it).
    void SetHandle(void* handle);
    // Waits up to `timeout` milliseconds (-1 without limit); the system's answer unchanged:
    // 0 signalled, 0x80 abandoned, 258 timed out, 0xFFFFFFFF failed.
    unsigned int Wait(int timeout);
    // A wait of no time that did not time out (a failed wait counts as signalled). On a
    // semaphore or an auto-reset event this takes the signal it sees.
    bool isSignaled();

private:
    void* m_handle;
};
