#include "hxl2/DeviceTable.h"

#include "os/devices/DeviceConfig.h"

namespace HA::HXL2 {

// The magic words are defined before the records that copy them, the records before the
// table that points to them: one translation unit keeps that order.
const std::string kUsbGuidMagic = "usb-guid-magic";
const std::string kHidGuidMagic = "hid-guid-magic";
const std::string kHadfuGuidMagic = "hadfu-guid-magic";
const std::string kHaiapGuidMagic = "haiap-guid-magic";
const std::string kHabdGuidMagic = "habd-guid-magic";

namespace {

const USBDeviceFilter kAnyUsb{USBDeviceFilter::eAnyUsb, kUsbGuidMagic, "IOUSBDevice", 0, 0};
const USBDeviceFilter kAnyHid{USBDeviceFilter::eHid, kHidGuidMagic, "IOHIDDevice", 0, 0};
const USBDeviceFilter kMakerUsb{USBDeviceFilter::eAnyUsb, kUsbGuidMagic, "IOUSBDevice", OS::kHarnwickVendorId, 0};
const USBDeviceFilter kMakerHid{USBDeviceFilter::eHid, kHidGuidMagic, "IOHIDDevice", OS::kHarnwickVendorId, 0};

constexpr DeviceTableEntry::tFirstRecord kNoFirst{255, 0};
constexpr DeviceTableEntry::tSecondRecord kNoSecond{0, 255, 0, 0};

}  // namespace

const USBDeviceFilter kVireoInterfaceFilter{USBDeviceFilter::eMakerUsb, kHadfuGuidMagic, "IOUSBDevice",
                                            OS::kHarnwickVendorId, OS::kVireoProductId};

// Only the generic rows and the served device's row: nothing here reaches the maker's
// other products.
const std::vector<DeviceTableEntry> deviceTable = {
    {{"USB Devices", "USB"}, {&kAnyUsb}, 0, 0, 0, nullptr, kNoFirst, kNoSecond},
    {{"HID Devices", "HID"}, {&kAnyHid}, 0, 0, 0, nullptr, kNoFirst, kNoSecond},
    {{"HA USB Devices", "HAUSB"}, {&kMakerUsb}, 0, 0, 0, nullptr, kNoFirst, kNoSecond},
    {{"HA HID Devices", "HAHID"}, {&kMakerHid}, 0, 0, 0, nullptr, kNoFirst, kNoSecond},
    {{"Vireo Interface", "vireo", OS::kVireoPartNumber},
     {&kVireoInterfaceFilter},
     OS::kVireoProductId,
     0,
     1,
     nullptr,
     {0x07030600u, 0x0606},
     kNoSecond},
};

namespace {

enum class eVendor { Test, Ignore };

const USBDeviceFilter* find(std::uint16_t vendorId, std::uint16_t productId, std::uint32_t kind, eVendor vendor)
{
    for (const DeviceTableEntry& row : deviceTable) {
        if (row.productId != productId || row.filters.empty())
            continue;
        if (vendor == eVendor::Test && row.filters.front()->vendorId != vendorId)
            continue;
        if (kind == USBDeviceFilter::eAnyUsb)
            return row.filters.front();
        for (const USBDeviceFilter* filter : row.filters)
            if (filter->kind == kind)
                return filter;
    }
    return nullptr;
}

}  // namespace

const USBDeviceFilter* findDeviceFilter(std::uint16_t vendorId, std::uint16_t productId, std::uint32_t kind)
{
    if (vendorId == 0 || productId == 0)
        return nullptr;
    return find(vendorId, productId, kind, eVendor::Test);
}

const USBDeviceFilter* findDeviceFilter(std::uint16_t productId, std::uint32_t kind)
{
    if (productId == 0)
        return nullptr;
    return find(0, productId, kind, eVendor::Ignore);
}

}  // namespace HA::HXL2
