// SHA-256 of a byte range, as lower-case hex: the reference values of the fixture cabinets.
#pragma once

#include <cstddef>
#include <string>

namespace cabtest {

std::string sha256Hex(const void* data, std::size_t n);

}  // namespace cabtest
