#include "internal/core/DebugOutput.h"

namespace ravel {
// Native builds have no debugger channel; records still reach the sink.
void debugOutput(const char*) {}
} // namespace ravel
