#include "internal/process/CaptureText.h"

#include <cstring>

namespace ravel {

RWCString capturedText(const std::string& bytes)
{
    RWCString text;
    text.capacity(bytes.size());
    for (size_t at = 0; at < bytes.size(); at += kCaptureBlock) {
        const size_t block = bytes.size() - at < kCaptureBlock ? bytes.size() - at : kCaptureBlock;
        const void* zero = std::memchr(bytes.data() + at, 0, block);
        const size_t length =
            zero != nullptr ? static_cast<size_t>(static_cast<const char*>(zero) - (bytes.data() + at)) : block;
        text.append(bytes.data() + at, length);
    }
    return text;
}

} // namespace ravel
