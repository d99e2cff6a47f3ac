#include "hxl2/DeviceTable.h"

#include <gtest/gtest.h>

#include "os/devices/DeviceConfig.h"

using namespace HA::HXL2;

namespace {

constexpr std::uint16_t kVendor = HA::OS::kHarnwickVendorId;
constexpr std::uint16_t kRuntime = HA::OS::kVireoProductId;
constexpr std::uint16_t kDfu = HA::OS::kVireoDfuProductId;

}  // namespace

TEST(DeviceTable, LooksUpByVendorProductAndKind)
{
    struct Case {
        std::uint16_t vendor, product;
        std::uint32_t kind;
        const USBDeviceFilter* expected;
    };
    const Case cases[] = {
        {kVendor, kRuntime, USBDeviceFilter::eMakerUsb, &kVireoInterfaceFilter},
        {kVendor, kRuntime, USBDeviceFilter::eAnyUsb, &kVireoInterfaceFilter},  // kind 0: the first record
        {kVendor, runtimeProductId(kDfu), USBDeviceFilter::eMakerUsb, &kVireoInterfaceFilter},
        {kVendor, kRuntime, USBDeviceFilter::eHid, nullptr},  // no record of that kind
        {kVendor, kDfu, USBDeviceFilter::eMakerUsb, nullptr},  // the DFU-mode id is not a row
        {static_cast<std::uint16_t>(kVendor + 1), kRuntime, USBDeviceFilter::eMakerUsb, nullptr},
        {0, kRuntime, USBDeviceFilter::eMakerUsb, nullptr},
        {kVendor, 0, USBDeviceFilter::eAnyUsb, nullptr},  // generic rows are never returned
    };
    for (const Case& c : cases)
        EXPECT_EQ(findDeviceFilter(c.vendor, c.product, c.kind), c.expected)
            << std::hex << c.vendor << ":" << c.product << " kind " << c.kind;
}

TEST(DeviceTable, LooksUpByProductAlone)
{
    EXPECT_EQ(findDeviceFilter(kRuntime, USBDeviceFilter::eMakerUsb), &kVireoInterfaceFilter);
    EXPECT_EQ(findDeviceFilter(runtimeProductId(kDfu), USBDeviceFilter::eMakerUsb), &kVireoInterfaceFilter);
    EXPECT_EQ(findDeviceFilter(0, USBDeviceFilter::eAnyUsb), nullptr);
    EXPECT_EQ(findDeviceFilter(kRuntime, USBDeviceFilter::eAudioDriver), nullptr);
}

TEST(DeviceTable, ServedRowAndProductIdRule)
{
    EXPECT_EQ(dfuModeProductId(kRuntime), kDfu);
    EXPECT_EQ(kRuntime & 0x000F, 0);
    EXPECT_EQ(kVireoInterfaceFilter.guid, "hadfu-guid-magic");
    EXPECT_EQ(kVireoInterfaceFilter.vendorId, kVendor);
    ASSERT_EQ(deviceTable.size(), 5u);
    EXPECT_STREQ(deviceTable[4].names[0], "Vireo Interface");
    EXPECT_STREQ(deviceTable[4].names[1], "vireo");
    for (int row = 0; row < 4; ++row)
        EXPECT_EQ(deviceTable[row].productId, 0) << row;
}
