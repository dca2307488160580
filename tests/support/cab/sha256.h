// SHA-256 of a byte range, as lower-case hex: the reference values of the shared cabinets.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace cabtest {

std::string sha256Hex(const void* data, size_t n);

}  // namespace cabtest
