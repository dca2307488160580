#include "RWCRegexp.h"

struct RWCRegexp::Program {};

RWCRegexp::RWCRegexp(const char*) : prog_(nullptr), status_(ILLEGAL) {}
RWCRegexp::RWCRegexp(const RWCString&) : prog_(nullptr), status_(ILLEGAL) {}
RWCRegexp::RWCRegexp(const RWCRegexp&) : prog_(nullptr), status_(ILLEGAL) {}
RWCRegexp& RWCRegexp::operator=(const RWCRegexp&) { return *this; }
RWCRegexp& RWCRegexp::operator=(const char*) { return *this; }
RWCRegexp& RWCRegexp::operator=(const RWCString&) { return *this; }
RWCRegexp::~RWCRegexp() = default;
size_t RWCRegexp::index(const RWCString&, size_t*, size_t) const { return RW_NPOS; }
size_t RWCRegexp::index(const char*, size_t, size_t*, size_t) const { return RW_NPOS; }
void RWCRegexp::compile(const char*, size_t) {}
