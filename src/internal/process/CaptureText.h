#pragma once
#include "RWCString.h"

#include <string>

namespace ravel {
// The text a capture yields for the bytes a program wrote: the output is taken in blocks of
// kCaptureBlock bytes, and each block contributes its text up to its first zero byte.
const size_t kCaptureBlock = 1024;
RWCString capturedText(const std::string& bytes);
} // namespace ravel
