#include <windows.h>

// Loading constructs the globals and nothing else: every notification succeeds.
extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
