#pragma once
// The devices the layer may meet: a constant table whose rows tie a runtime product id to
// its names and identity records. Built by static initialisation, read-only afterwards,
// so any thread may read it without a lock.

#include <cstdint>
#include <vector>

#include "hxl2/USBDeviceFilter.h"

namespace HA::HXL2 {

struct DeviceTableEntry {
    // The product records keep their 2-byte packing; the row itself holds vectors and a
    // pointer, which must stay naturally aligned on this platform.
#pragma pack(push, 2)
    struct tFirstRecord {
        std::uint32_t value32;
        std::uint16_t value16;
    };
    struct tSecondRecord {
        std::uint16_t value16;
        std::uint8_t value8a;
        std::uint32_t value32;
        std::uint8_t value8b;
    };
#pragma pack(pop)

    // Display name, lower-case key, then aliases and part numbers.
    std::vector<const char*> names;
    // One to three identity records; the first one's vendorId is the row's vendor.
    std::vector<const USBDeviceFilter*> filters;
    // Product id in runtime mode.
    std::uint16_t productId;
    // Product constants kept with the row and never read here.
    std::uint8_t code1;
    std::uint8_t code2;
    const char* tokens;
    tFirstRecord first;
    tSecondRecord second;
};

extern const std::vector<DeviceTableEntry> deviceTable;

// The served device's identity record.
extern const USBDeviceFilter kVireoInterfaceFilter;

// The DFU-mode product id of a device whose runtime id has its low four bits clear, and the
// runtime id that finds its row again.
constexpr std::uint16_t dfuModeProductId(std::uint16_t runtimeId)
{
    return static_cast<std::uint16_t>((runtimeId & 0xFFF0) | 2);
}
constexpr std::uint16_t runtimeProductId(std::uint16_t anyModeId)
{
    return static_cast<std::uint16_t>(anyModeId & 0xFFF0);
}

// The identity record of the row with this vendor and product id: for kind 0 the row's first
// record, otherwise the row's first record of that kind (a row without one does not end the
// search). Null when vendorId or productId is 0 or nothing matches.
const USBDeviceFilter* findDeviceFilter(std::uint16_t vendorId, std::uint16_t productId, std::uint32_t kind);
// The same without the vendor test; null when productId is 0.
const USBDeviceFilter* findDeviceFilter(std::uint16_t productId, std::uint32_t kind);

}  // namespace HA::HXL2
