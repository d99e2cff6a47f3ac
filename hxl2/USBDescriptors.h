#pragma once
// USB records as the maker's driver carries them, by the field names of the USB standard:
// the get-descriptor request, the device descriptor and the string descriptor's header.
// Each is read from or written to its little-endian wire form in one place.

#include <cstdint>

#include "os/devices/DeviceConfig.h"
#include "os/kernel/LittleEndian.h"

namespace HA::HXL2 {

// bDescriptorType values that the identity readers ask for.
enum eDescriptorType : std::uint8_t {
    eDescriptorDevice = 1,
    eDescriptorString = 3,
};

// The driver's get-descriptor input: u32 0, descriptor type, index, u16 language id.
struct USBDescriptorRequest {
    std::uint8_t bDescriptorType = 0;
    std::uint8_t bIndex = 0;
    std::uint16_t wLanguageId = 0;

    static constexpr std::uint32_t kWireSize = OS::kDescriptorRequestSize;
    void toWire(std::uint8_t (&wire)[kWireSize]) const
    {
        OS::putLe32(wire, 0);
        wire[4] = bDescriptorType;
        wire[5] = bIndex;
        OS::putLe16(wire + 6, wLanguageId);
    }
};

// The 18-byte device descriptor.
struct USBDeviceDescriptor {
    std::uint8_t bLength = 0;
    std::uint8_t bDescriptorType = 0;
    std::uint16_t bcdUSB = 0;
    std::uint8_t bDeviceClass = 0;
    std::uint8_t bDeviceSubClass = 0;
    std::uint8_t bDeviceProtocol = 0;
    std::uint8_t bMaxPacketSize0 = 0;
    std::uint16_t idVendor = 0;
    std::uint16_t idProduct = 0;
    std::uint16_t bcdDevice = 0;
    std::uint8_t iManufacturer = 0;
    std::uint8_t iProduct = 0;
    std::uint8_t iSerialNumber = 0;
    std::uint8_t bNumConfigurations = 0;

    static constexpr std::uint32_t kWireSize = OS::kDeviceDescriptorSize;
    static USBDeviceDescriptor fromWire(const std::uint8_t (&wire)[kWireSize])
    {
        USBDeviceDescriptor d;
        d.bLength = wire[0];
        d.bDescriptorType = wire[1];
        d.bcdUSB = OS::getLe16(wire + 2);
        d.bDeviceClass = wire[4];
        d.bDeviceSubClass = wire[5];
        d.bDeviceProtocol = wire[6];
        d.bMaxPacketSize0 = wire[7];
        d.idVendor = OS::getLe16(wire + 8);
        d.idProduct = OS::getLe16(wire + 10);
        d.bcdDevice = OS::getLe16(wire + 12);
        d.iManufacturer = wire[14];
        d.iProduct = wire[15];
        d.iSerialNumber = wire[16];
        d.bNumConfigurations = wire[17];
        return d;
    }
};

// A string descriptor: bLength, bDescriptorType, then bString, UTF-16LE units up to bLength.
constexpr std::uint32_t kStringDescriptorHeaderSize = 2;

}  // namespace HA::HXL2
