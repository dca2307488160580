#pragma once
#include "BOsWaitableObject.h"

// An event. The default one is manual-reset, not set, unnamed. Copies share the event (see
// BOsWaitableObject).
class RAVELUTIL_API BOsEvent : public BOsWaitableObject
{
public:
    // Non-zero flags ask for a manual-reset event and for an event that starts set; a null name
    // makes an unnamed event.
    BOsEvent(int manualReset = 1, int initiallySet = 0, const char* name = nullptr);
    BOsEvent(const BOsEvent& other);
    BOsEvent& operator=(const BOsEvent& other);
    virtual ~BOsEvent();

    virtual void Set();
    virtual void Reset();
};
