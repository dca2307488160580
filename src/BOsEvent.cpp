#include "BOsEvent.h"

#include <windows.h>

BOsEvent::BOsEvent(int manualReset, int initiallySet, const char* name)
    : BOsWaitableObject(CreateEventA(nullptr, manualReset != 0, initiallySet != 0, name))
{}

BOsEvent::BOsEvent(const BOsEvent& other) = default;
BOsEvent& BOsEvent::operator=(const BOsEvent& other) = default;
BOsEvent::~BOsEvent() = default;

void BOsEvent::Set() { SetEvent(static_cast<HANDLE>(GetHandle())); }

void BOsEvent::Reset() { ResetEvent(static_cast<HANDLE>(GetHandle())); }
