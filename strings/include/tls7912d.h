#ifndef TLS7912D_H
#define TLS7912D_H

// The whole string and collection library.
#include "tls7912d_export.h"
#include "RWBoundsErr.h"
#include "RWCString.h"
#include "RWCRegexp.h"
#include "RWCTokenizer.h"
#include "RWOrderedVector.h"

#endif
