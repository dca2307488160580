#pragma once
// The callbacks most callers hand FDICreate on Windows: plain memory and the C runtime's
// descriptor file functions. One set, so the library and its tools open cabinets alike.
#include "fdi.h"

#include <cstdlib>
#include <fcntl.h>
#include <io.h>

namespace fdi_crt {

inline FNALLOC(alloc) { return std::malloc(cb); }
inline FNFREE(release) { std::free(pv); }
inline FNOPEN(open) { return _open(pszFile, oflag, pmode); }
inline FNREAD(read) { return static_cast<FDI_UINT>(_read(static_cast<int>(hf), pv, cb)); }
inline FNWRITE(write) { return static_cast<FDI_UINT>(_write(static_cast<int>(hf), pv, cb)); }
inline FNCLOSE(close) { return _close(static_cast<int>(hf)); }
inline FNSEEK(seek) { return _lseek(static_cast<int>(hf), dist, seektype); }

// A context over these callbacks.
inline HFDI create(PERF erf) { return FDICreate(alloc, release, open, read, write, close, seek, cpu80386, erf); }

} // namespace fdi_crt
