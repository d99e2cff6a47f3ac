#pragma once
// The identity of one USB device: ids, release number and its strings in UTF-8.

#include <cstdint>
#include <string>

namespace HA::HXL2 {

struct USBDeviceInfo {
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
    // Device release number; the installed firmware revision.
    std::uint16_t bcdDevice = 0;
    std::string manufacturer;
    std::string product;
    std::string serialNumber;
};

}  // namespace HA::HXL2
