#include "BCriticalSection.h"

BCriticalSection::BCriticalSection() { InitializeCriticalSection(&m_section); }

BCriticalSection::~BCriticalSection() { DeleteCriticalSection(&m_section); }

void BCriticalSection::enter() { EnterCriticalSection(&m_section); }

void BCriticalSection::leave() { LeaveCriticalSection(&m_section); }
