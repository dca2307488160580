#pragma once
#include "BOsEvent.h"
#include "BOsWaitableObject.h"

struct BOsThreadControl;

// A thread of its own for a derived class's Thread() body. The thread is created at once but
// parked until Start, so a derived class finishes its construction before its body runs; the
// body runs once. The object is the thread: Wait on it answers 0 once the body has ended.
//
// Destroying the object closes the start event's handle and then the thread's; it neither waits
// for the thread nor ends it. A thread that was never started is let go and ends without running
// the body. A thread whose body runs goes on to the end of the body and then ends, its result
// dropped; since the derived part of the object is gone by then, a derived class whose body uses
// its own members makes the body end (and waits on it) before it is destroyed. Either way nothing
// stays behind once the thread has ended, an aborted one included.
//
// Not copyable: a copy would be a second owner of one running body's result.
class RAVELUTIL_API BOsThread : public BOsWaitableObject
{
public:
    // Priority's argument that asks for the stored priority and changes nothing.
    static const int PRIORITY_QUERY = -2147483647 - 1;

    // Stack size 0 is the system default; priority 0 is normal.
    BOsThread(unsigned int stackSize = 0, int priority = 0);
    BOsThread(const BOsThread&) = delete;
    BOsThread& operator=(const BOsThread&) = delete;
    virtual ~BOsThread();

    // The previous suspend count, or 0xFFFFFFFF on failure; the parked thread counts too.
    virtual unsigned int Suspend();
    virtual unsigned int Resume();
    // Releases the parked thread into its body; 0.
    virtual unsigned int Start();
    // Ends the thread at once: `code` becomes the result and the thread's exit code.
    virtual void Abort(unsigned int code);
    // 0 until the body has ended, then the body's result (or Abort's code). Meaningful once the
    // thread has ended: Wait on the object first.
    virtual unsigned int GetResult();

    // Returns the stored priority; any argument but PRIORITY_QUERY also sets the thread's priority
    // and is stored even when the system refuses it.
    int Priority(int priority);
    unsigned long GetThreadID();

protected:
    // The body; the base one returns 0 at once.
    virtual unsigned int Thread();

private:
    friend struct BOsThreadControl;

    unsigned int m_stackSize;
    int m_priority;
    unsigned int m_result;
    unsigned long m_threadID;
    BOsEvent m_startEvent;
    // What the thread and the object share, so either may go first.
    BOsThreadControl* m_control;
};
