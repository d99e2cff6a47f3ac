#pragma once
// What an enumeration looks for and how a found device's identity is read.

#include <cstdint>
#include <string>

#include "hxl2/USBDeviceInfo.h"

namespace HA::HXL2 {

// Interface classes named by words instead of GUID texts.
extern const std::string kUsbGuidMagic;    // "usb-guid-magic": the generic USB device class
extern const std::string kHidGuidMagic;    // "hid-guid-magic": the HID class
extern const std::string kHadfuGuidMagic;  // "hadfu-guid-magic": the maker driver's DFU-capable class
extern const std::string kHaiapGuidMagic;  // "haiap-guid-magic"
extern const std::string kHabdGuidMagic;   // "habd-guid-magic"

struct USBDeviceFilter {
    enum eKind : std::uint32_t {
        eAnyUsb = 0,       // any USB device
        eAudioDriver = 1,  // a device of the maker's audio driver
        eHid = 2,          // a HID device
        eMakerUsb = 3,     // a USB device of the maker's driver
    };

    std::uint32_t kind = eAnyUsb;
    // A GUID in registry text form ("{8-4-4-4-12}") or one of the magic words.
    std::string guid;
    // The class name in another platform's driver model; kept, never read here.
    std::string className;
    std::uint16_t vendorId = 0;   // 0 = any
    std::uint16_t productId = 0;  // 0 = any

    // Reads the identity of the device at a device-interface path in the way `kind` asks.
    enum eStrings { eWithoutStrings, eWithStrings };
    bool readDeviceInfo(const std::u16string& path, USBDeviceInfo& info, eStrings strings) const;
};

}  // namespace HA::HXL2
