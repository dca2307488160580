#pragma once
#include "RavelExport.h"

// Whether a file name stored in an archive would land outside the directory it is extracted
// into or open something other than a file: absolute, with a drive or stream colon, with a ".."
// component (either separator counts), or naming a device (CON, PRN, AUX, NUL, COM1-COM9,
// LPT1-LPT9, in any case, with any extension). Windows drops trailing dots and blanks from path
// components, so "...", ".. " and "con .txt" are refused too. A null name is refused. The cabinet extractor refuses such names;
// programs that make directories for an archive's names ask the same question first.
RAVELUTIL_API bool ravelIsUnsafeArchiveName(const char* name);

// The same rule for a name the archive flags as UTF-8, judged on the characters it spells: it
// must also be well-formed UTF-8 (no overlong forms, surrogates or values past U+10FFFF), so an
// overlong "/" or "." never becomes a separator or a ".." once decoded.
RAVELUTIL_API bool ravelIsUnsafeUtf8ArchiveName(const char* name);
