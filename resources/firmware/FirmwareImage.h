#pragma once
// The firmware image linked into the program's read-only data: 262,144 bytes, revision
// 0.3.6 of the Vireo Interface's firmware.

#include <cstddef>
#include <cstdint>

namespace HA::Firmware {

const std::uint8_t* imageData();
std::size_t imageSize();

}  // namespace HA::Firmware
