#pragma once
// The 32-bit CityHash of a byte string, bit for bit as published with CityHash 1.1.

#include <cstddef>
#include <cstdint>

namespace HA::GP {

// Hash of exactly length bytes at text (text may be null when length is 0).
std::uint32_t cityHash32(const char* text, std::size_t length);

}  // namespace HA::GP
