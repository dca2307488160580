#include "BOsAutoResetEvent.h"

BOsAutoResetEvent::BOsAutoResetEvent(const char* name) : BOsEvent(0, 0, name) {}

BOsAutoResetEvent::BOsAutoResetEvent(const BOsAutoResetEvent& other) = default;
BOsAutoResetEvent& BOsAutoResetEvent::operator=(const BOsAutoResetEvent& other) = default;
BOsAutoResetEvent::~BOsAutoResetEvent() = default;

void BOsAutoResetEvent::Reset() {}
