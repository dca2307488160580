#pragma once
#include "BOsEvent.h"

// An event that resets itself when it releases one waiting thread; unnamed by default. Copies
// share the event (see BOsWaitableObject).
class RAVELUTIL_API BOsAutoResetEvent : public BOsEvent
{
public:
    explicit BOsAutoResetEvent(const char* name = nullptr);
    BOsAutoResetEvent(const BOsAutoResetEvent& other);
    BOsAutoResetEvent& operator=(const BOsAutoResetEvent& other);
    virtual ~BOsAutoResetEvent();

    // Does nothing: the event resets itself.
    virtual void Reset();
};
