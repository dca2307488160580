#ifndef TLS7912D_H
#define TLS7912D_H

// The whole string and collection library.
#include "RWBoundsErr.h"
#include "RWCRegexp.h"
#include "RWCString.h"
#include "RWCTokenizer.h"
#include "RWOrderedVector.h"
#include "tls7912d_export.h"

#endif
