#pragma once
// Readers of a device's identity: through the driver (device and string descriptors), through
// the platform's HID library, or from the ids written in its device-interface path. Each
// reports failure as false and leaves the fields it did not reach unchanged.

#include <string>

#include "hxl2/USBDeviceFilter.h"
#include "hxl2/USBDeviceInfo.h"

namespace HA::HXL2 {

using eStrings = USBDeviceFilter::eStrings;

// Reads the identity in the way the filter's kind asks: 0 as readUSBDeviceInfo, 1 and 3 by the
// device descriptor, 2 by the HID attributes; false for any other kind or a path that cannot
// be opened.
bool readDeviceInfo(const std::u16string& path, const USBDeviceFilter& filter, USBDeviceInfo& info,
                    eStrings strings);

// The device descriptor (and strings when asked). When the device cannot be opened or read,
// the ids come from the path and the result is true only without strings.
bool readUSBDeviceInfo(const std::u16string& path, USBDeviceInfo& info, eStrings strings);

// The ids after "#vid_", "&pid_" and "&rev_" (four hexadecimal digits each, read up to the
// first other character); a field whose marker is missing, or too near the end, becomes 0.
// Always true.
bool parseDevicePath(const std::u16string& path, USBDeviceInfo& info);

}  // namespace HA::HXL2
