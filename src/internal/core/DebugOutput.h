#pragma once
// The system debugger channel: OutputDebugStringA on Windows, nothing elsewhere.
namespace ravel {
void debugOutput(const char* text);
}
