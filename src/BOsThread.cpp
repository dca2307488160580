#include "BOsThread.h"

#include "internal/win/WinHandle.h"

#include <windows.h>

#include <process.h>

#include <atomic>

// Shared by the object and its thread; the last of the two to let go deletes it. The thread
// never touches the object once the object has begun to go.
struct BOsThreadControl
{
    enum State { PARKED, RUNNING, STORING, FINISHED, CANCELLED, ORPHANED };

    std::atomic<int> state{PARKED};
    std::atomic<int> owners{2};
    // Set by the thread just before it lets go; a thread that ended without setting it was
    // terminated, and the object lets go in its place.
    std::atomic<bool> threadLetGo{false};
    // The thread waits on a handle of its own, so closing the object's handle cannot strand it.
    ravel::KernelHandle start;
    BOsThread* object = nullptr;

    void letGo()
    {
        if (owners.fetch_sub(1) == 1)
            delete this;
    }

    static unsigned __stdcall run(void* parameter);
};

unsigned __stdcall BOsThreadControl::run(void* parameter)
{
    BOsThreadControl* const control = static_cast<BOsThreadControl*>(parameter);
    // A message queue from the start, so other threads can post to this one at once.
    MSG message;
    PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE);
    // The constructor waits for this reset, so the object is still there.
    control->object->m_startEvent.Reset();
    WaitForSingleObject(control->start.get(), INFINITE);

    unsigned int result = 0;
    int expected = PARKED;
    if (control->state.compare_exchange_strong(expected, RUNNING)) {
        result = control->object->Thread();
        expected = RUNNING;
        if (control->state.compare_exchange_strong(expected, STORING)) {
            control->object->m_result = result;
            control->state.store(FINISHED);
        }
    }
    control->threadLetGo.store(true);
    control->letGo();
    return result;
}

BOsThread::BOsThread(unsigned int stackSize, int priority)
    : m_stackSize(stackSize), m_priority(priority), m_result(0), m_threadID(0), m_startEvent(1, 0, nullptr),
      m_control(new BOsThreadControl)
{
    m_control->object = this;
    m_control->start = ravel::duplicateHandle(static_cast<HANDLE>(m_startEvent.GetHandle()));
    m_startEvent.Set();

    unsigned threadID = 0;
    // Without a start handle of its own the thread could not park.
    const uintptr_t thread =
        m_control->start ? _beginthreadex(nullptr, m_stackSize, &BOsThreadControl::run, m_control, 0, &threadID) : 0;
    if (thread == 0) {
        // No thread holds the control.
        m_control->threadLetGo.store(true);
        m_control->letGo();
        return;
    }
    m_threadID = threadID;
    SetThreadPriority(reinterpret_cast<HANDLE>(thread), m_priority);
    SetHandle(reinterpret_cast<void*>(thread));
    // The thread resets the event just before it parks.
    while (m_startEvent.Wait(0) == WAIT_OBJECT_0)
        SwitchToThread();
}

BOsThread::~BOsThread()
{
    BOsThreadControl* const control = m_control;
    const HANDLE thread = static_cast<HANDLE>(GetHandle());
    const auto ended = [thread] { return thread == nullptr || WaitForSingleObject(thread, 0) == WAIT_OBJECT_0; };
    for (bool settled = false; !settled;) {
        int state = control->state.load();
        switch (state) {
        case BOsThreadControl::PARKED:
            // Never started: wake it to end without running the body.
            if (control->state.compare_exchange_strong(state, BOsThreadControl::CANCELLED)) {
                SetEvent(control->start.get());
                settled = true;
            }
            break;
        case BOsThreadControl::RUNNING:
            settled = control->state.compare_exchange_strong(state, BOsThreadControl::ORPHANED);
            break;
        case BOsThreadControl::STORING:
            // The body has returned and its result is being stored: a moment, unless the thread
            // was ended right there.
            settled = ended();
            if (!settled)
                SwitchToThread();
            break;
        default:
            settled = true;
        }
    }
    if (ended() && !control->threadLetGo.load())
        control->letGo();
    control->letGo();
}

unsigned int BOsThread::Suspend() { return SuspendThread(static_cast<HANDLE>(GetHandle())); }

unsigned int BOsThread::Resume() { return ResumeThread(static_cast<HANDLE>(GetHandle())); }

unsigned int BOsThread::Start()
{
    m_startEvent.Set();
    return 0;
}

void BOsThread::Abort(unsigned int code)
{
    m_result = code;
    TerminateThread(static_cast<HANDLE>(GetHandle()), code);
}

unsigned int BOsThread::GetResult() { return m_result; }

int BOsThread::Priority(int priority)
{
    const int stored = m_priority;
    if (priority != PRIORITY_QUERY) {
        SetThreadPriority(static_cast<HANDLE>(GetHandle()), priority);
        m_priority = priority;
    }
    return stored;
}

unsigned long BOsThread::GetThreadID() { return m_threadID; }

unsigned int BOsThread::Thread() { return 0; }
