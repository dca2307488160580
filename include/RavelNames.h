#pragma once
#include "RavelExport.h"

// Whether a file name stored in an archive would land outside the directory it is extracted
// into: absolute, with a drive or stream colon, or with a ".." component (either separator
// counts). Windows drops trailing dots and blanks from path components, so "..." and ".. " climb
// like ".." and are refused too. A null name is refused. The cabinet extractor refuses such names;
// programs that make directories for an archive's names ask the same question first.
RAVELUTIL_API bool ravelIsUnsafeArchiveName(const char* name);
