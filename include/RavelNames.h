#pragma once
#include "RavelExport.h"

// Whether a file name stored in an archive would land outside the directory it is extracted
// into or open something other than a file: absolute, with a drive or stream colon, with a ".."
// component (either separator counts), or naming a device (CON, PRN, AUX, NUL, COM1-COM9,
// LPT1-LPT9, in any case, with any extension). Windows drops trailing dots and blanks from path
// components, so "...", ".. " and "con .txt" are refused too. A null name is refused. The cabinet extractor refuses such names;
// programs that make directories for an archive's names ask the same question first.
RAVELUTIL_API bool ravelIsUnsafeArchiveName(const char* name);
