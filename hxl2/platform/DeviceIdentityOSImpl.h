#pragma once
// Identity readers on an open device-file handle.

#include <cstdint>
#include <string>

#include "hxl2/DeviceIdentity.h"
#include "os/kernel/Types.h"

namespace HA::HXL2 {

// The 18-byte device descriptor: ids and bcdDevice, then the product, manufacturer and
// serial-number strings when asked (a string index 0 or a failed read leaves it empty).
bool readDeviceDescriptor(OS::HANDLE device, USBDeviceInfo& info, eStrings strings);
// String descriptor `index` (language 0) as UTF-8; false when it cannot be read.
bool readStringDescriptor(OS::HANDLE device, std::uint8_t index, std::string& text);
// The HID attributes, then the manufacturer, product and serial-number strings when asked.
bool readHIDAttributes(OS::HANDLE device, USBDeviceInfo& info, eStrings strings);

// Opens a device-interface path for driver requests; null when it cannot be opened.
OS::HANDLE openDeviceFile(const std::u16string& path);

}  // namespace HA::HXL2
