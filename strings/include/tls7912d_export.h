#ifndef TLS7912D_EXPORT_H
#define TLS7912D_EXPORT_H

#include <cstddef>

// The string library is its own DLL on Windows; natively it is a static library.
#if defined(_WIN32) && defined(TLS7912D_SHARED)
#if defined(TLS7912D_BUILDING)
#define TLS7912D_API __declspec(dllexport)
#else
#define TLS7912D_API __declspec(dllimport)
#endif
#else
#define TLS7912D_API
#endif

// "Not found" and "no position": the largest unsigned value.
#ifndef RW_NPOS
#define RW_NPOS (~static_cast<size_t>(0))
#endif

#endif
