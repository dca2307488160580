#pragma once
// Export macro of qvzkut01.dll. The portable core is built into a static library natively,
// where the macro is empty.
#if defined(_WIN32)
#if defined(RAVELUTIL_BUILD)
#define RAVELUTIL_API __declspec(dllexport)
#else
#define RAVELUTIL_API __declspec(dllimport)
#endif
#else
#define RAVELUTIL_API
#endif
