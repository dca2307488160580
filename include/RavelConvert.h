#pragma once
#include "RWCString.h"
#include "RavelExport.h"

// Integer to text in radix 2..36 (lower-case letters above 9). A minus sign appears only for a
// negative value in radix 10; in any other radix a negative value prints as its two's-complement
// bit pattern. A radix outside 2..36 gives the empty string.
RAVELUTIL_API RWCString iToRWCString(int value, int radix);
RAVELUTIL_API RWCString i64ToRWCString(long long value, int radix);
RAVELUTIL_API RWCString ui64ToRWCString(unsigned long long value, int radix);
