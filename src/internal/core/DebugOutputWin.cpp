#include "internal/core/DebugOutput.h"

#include <windows.h>

namespace ravel {
void debugOutput(const char* text) { OutputDebugStringA(text); }
} // namespace ravel
