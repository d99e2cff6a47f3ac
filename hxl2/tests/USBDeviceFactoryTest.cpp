// Enumeration of device interfaces: which devices a filter accepts, how their paths reach the
// callbacks, and devices that come and go while a walk runs.

#include "hxl2/USBDeviceFactory.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <optional>
#include <utility>
#include <vector>

#include "gp/src/common/devices/DeviceNotificationListener.h"
#include "hxl2/DeviceTable.h"
#include "hxl2/USBDevice.h"
#include "hxl2/tests/FakeDriver.h"
#include "os/devices/DeviceConfig.h"
#include "os/devices/DeviceRegistry.h"
#include "os/devices/GuidText.h"
#include "os/devices/Hid.h"
#include "os/devices/SetupApi.h"
#include "os/kernel/Text.h"
#include "os/sim/SimulatedVireo.h"

using namespace HA;
using namespace HA::HXL2;
using HXL2::Test::lowerCase;
using OS::SIM::SimulatedVireo;
using OS::SIM::VireoSettings;

namespace {

USBDeviceFilter filterFor(std::uint16_t productId)
{
    USBDeviceFilter filter = kVireoInterfaceFilter;
    filter.productId = productId;
    return filter;
}

std::string guidText(const OS::GUID& guid)
{
    return OS::utf16ToUtf8(OS::stringFromGuid(guid));
}

class FactoryFixture : public ::testing::Test {
protected:
    OS::ManualClockScope clock;
    std::vector<std::shared_ptr<SimulatedVireo>> vireos;
    USBDeviceFactory factory;
    std::vector<std::u16string> added;
    std::vector<std::u16string> removed;
    std::vector<USBDeviceFilter> addedFilters;

    void SetUp() override
    {
        OS::removeAllDeviceInterfaces();
        factory.setCallbacks(
            [this](const USBDeviceOSHandle& handle, const USBDeviceFilter& filter) {
                added.push_back(handle.path);
                addedFilters.push_back(filter);
            },
            [this](const USBDeviceOSHandle& handle, const USBDeviceFilter&) { removed.push_back(handle.path); });
    }
    void TearDown() override
    {
        factory.clear();
        vireos.clear();
        OS::removeAllDeviceInterfaces();
    }

    // A simulated device, not yet plugged in.
    SimulatedVireo& makeVireo(const std::u16string& serial, bool runtime = true)
    {
        VireoSettings settings;
        settings.serialNumber = serial;
        settings.flashValid = runtime;
        vireos.push_back(SimulatedVireo::makeShared(settings));
        return *vireos.back();
    }
    SimulatedVireo& plugIn(const std::u16string& serial, bool runtime = true)
    {
        SimulatedVireo& vireo = makeVireo(serial, runtime);
        vireo.plugIn();
        return vireo;
    }

    // An interface answered by a driver that knows no request: the identity comes from the
    // ids in the path.
    OS::DeviceInterfaceId addInterface(const OS::GUID& interfaceClass, const std::u16string& path,
                                       OS::DWORD openError = OS::ERROR_SUCCESS,
                                       std::optional<OS::HidIdentity> hid = std::nullopt,
                                       OS::eBroadcast broadcast = OS::eBroadcast::Silent)
    {
        OS::DeviceInterfaceInfo info;
        info.interfaceClass = interfaceClass;
        info.path = path;
        info.driver = std::make_shared<HXL2::Test::FakeDriver>();
        info.hid = std::move(hid);
        info.openError = openError;
        return OS::addDeviceInterface(std::move(info), broadcast);
    }
};

std::u16string usbPath(const char16_t* ids, const char16_t* serial)
{
    return std::u16string(u"\\\\?\\USB#") + ids + u"#" + serial + u"#{a5dcbf10-6530-11d2-901f-00c04fb951ed}";
}

}  // namespace

TEST_F(FactoryFixture, FindsTheSimulatedDevicesTheFilterAccepts)
{
    struct Case {
        const char* name;
        std::vector<bool> runtime;  // one simulated device per entry, in DFU mode when false
        std::uint16_t productId;
        std::vector<int> expected;  // indexes of the devices reported, in order
    };
    const Case cases[] = {
        {"no device", {}, OS::kVireoProductId, {}},
        {"one device", {true}, OS::kVireoProductId, {0}},
        {"two devices in arrival order", {true, true}, OS::kVireoProductId, {0, 1}},
        {"a DFU-mode device is not the runtime device", {false}, OS::kVireoProductId, {}},
        {"the DFU-mode id finds it", {false, true}, OS::kVireoDfuProductId, {0}},
        {"any product of the vendor", {true, false}, 0, {0, 1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (std::size_t i = 0; i < c.runtime.size(); ++i)
            plugIn(u"VI0" + std::u16string(1, char16_t(u'1' + i)), c.runtime[i]);

        EXPECT_TRUE(factory.enumerate(filterFor(c.productId)));
        EXPECT_TRUE(factory.lastResult());
        std::vector<std::u16string> expected;
        for (int index : c.expected)
            expected.push_back(lowerCase(vireos[index]->path()));
        EXPECT_EQ(added, expected);
        for (const USBDeviceFilter& filter : addedFilters)
            EXPECT_EQ(filter.productId, c.productId);

        factory.clear();
        EXPECT_FALSE(factory.lastResult());
        added.clear();
        addedFilters.clear();
        vireos.clear();
        OS::removeAllDeviceInterfaces();
    }
}

TEST_F(FactoryFixture, PathsReachTheCallbackInLowerCaseAndOpen)
{
    SimulatedVireo& vireo = plugIn(u"VI2401A0158");
    ASSERT_NE(vireo.path(), lowerCase(vireo.path()));  // the device reports a mixed-case path

    USBDevice device;
    factory.setCallbacks([&](const USBDeviceOSHandle& handle, const USBDeviceFilter&) {
        added.push_back(handle.path);
        EXPECT_TRUE(device.open(handle));
    }, nullptr);
    ASSERT_TRUE(factory.enumerate(kVireoInterfaceFilter));
    ASSERT_EQ(added.size(), 1u);
    EXPECT_EQ(added[0], lowerCase(vireo.path()));
    EXPECT_EQ(device.info().serialNumber, "VI2401A0158");
}

TEST_F(FactoryFixture, ProductIdQuirk)
{
    struct Case {
        std::uint16_t vendorId, productId;
        const char16_t* deviceIds;
        bool accepted;
    };
    const Case cases[] = {
        {0x3A17, 0x1100, u"VID_3A17&PID_1101", true},
        {0x3A17, 0x1100, u"VID_3A17&PID_1100", true},
        {0x3A17, 0x1101, u"VID_3A17&PID_1100", false},
        {0x3A17, 0x1100, u"VID_3A17&PID_1102", false},
        {0x3A17, 0x1100, u"VID_1234&PID_1101", false},  // the quirk does not bypass the vendor
        {0, 0x1100, u"VID_1234&PID_1101", true},
        {0x3A17, 0, u"VID_3A17&PID_0001", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.vendorId << " " << c.productId << " "
                                        << OS::utf16ToUtf8(c.deviceIds));
        const std::u16string path = usbPath(c.deviceIds, u"5&1");
        addInterface(OS::GUID_DEVINTERFACE_USB_DEVICE, path);
        USBDeviceFilter filter{USBDeviceFilter::eAnyUsb, kUsbGuidMagic, "IOUSBDevice", c.vendorId, c.productId};
        ASSERT_TRUE(factory.enumerate(filter));
        EXPECT_EQ(added, c.accepted ? std::vector<std::u16string>{lowerCase(path)} : std::vector<std::u16string>{});
        factory.clear();
        added.clear();
        OS::removeAllDeviceInterfaces();
    }
}

TEST_F(FactoryFixture, MagicWordWithoutIdsAcceptsEveryDeviceThatOpens)
{
    const std::u16string first = usbPath(u"VID_1234&PID_0001", u"A");
    const std::u16string locked = usbPath(u"VID_1234&PID_0002", u"B");
    const std::u16string third = usbPath(u"VID_5678&PID_0003", u"C");
    addInterface(OS::GUID_DEVINTERFACE_USB_DEVICE, first);
    addInterface(OS::GUID_DEVINTERFACE_USB_DEVICE, locked, OS::ERROR_ACCESS_DENIED);
    addInterface(OS::GUID_DEVINTERFACE_USB_DEVICE, third);
    plugIn(u"VI01");  // another class

    USBDeviceFilter any{USBDeviceFilter::eAnyUsb, kUsbGuidMagic, "IOUSBDevice", 0, 0};
    ASSERT_TRUE(factory.enumerate(any));
    EXPECT_EQ(added, (std::vector<std::u16string>{lowerCase(first), lowerCase(third)}));
}

TEST_F(FactoryFixture, EachMagicWordNamesItsClass)
{
    struct Case {
        const std::string& word;
        OS::GUID interfaceClass;
    };
    const Case cases[] = {
        {kUsbGuidMagic, OS::GUID_DEVINTERFACE_USB_DEVICE},
        {kHidGuidMagic, OS::GUID_DEVINTERFACE_HID},
        {kHadfuGuidMagic, OS::kHadfuInterfaceClass},
        {kHaiapGuidMagic, OS::kHaiapInterfaceClass},
        {kHabdGuidMagic, OS::kHabdInterfaceClass},
    };
    std::vector<std::u16string> paths;
    for (const Case& c : cases) {
        paths.push_back(u"\\\\?\\Dev#VID_3A17&PID_0100#" + OS::utf8ToUtf16(c.word));
        addInterface(c.interfaceClass, paths.back());
    }
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(cases[i].word);
        USBDeviceFilter filter{USBDeviceFilter::eAnyUsb, cases[i].word, "", 0, 0};
        ASSERT_TRUE(factory.enumerate(filter));
        EXPECT_EQ(added, std::vector<std::u16string>{lowerCase(paths[i])});
        factory.clear();
        added.clear();
    }
}

TEST_F(FactoryFixture, HidDevicesAreTestedByTheirAttributes)
{
    OS::HidIdentity vireoHid{OS::kHarnwickVendorId, 0x0E40, 0x0100, std::nullopt, std::nullopt, std::nullopt};
    OS::HidIdentity otherHid{0x1234, 0x0E40, 0x0100, std::nullopt, std::nullopt, std::nullopt};
    // The paths carry no ids: only the HID attributes can tell the devices apart.
    addInterface(OS::GUID_DEVINTERFACE_HID, u"\\\\?\\HID#Keyboard#1", OS::ERROR_SUCCESS, otherHid);
    addInterface(OS::GUID_DEVINTERFACE_HID, u"\\\\?\\HID#Vireo#2", OS::ERROR_SUCCESS, vireoHid);
    addInterface(OS::GUID_DEVINTERFACE_HID, u"\\\\?\\HID#NoIdentity#3");

    USBDeviceFilter makerHid{USBDeviceFilter::eHid, kHidGuidMagic, "IOHIDDevice", OS::kHarnwickVendorId, 0};
    ASSERT_TRUE(factory.enumerate(makerHid));
    EXPECT_EQ(added, std::vector<std::u16string>{u"\\\\?\\hid#vireo#2"});
}

TEST_F(FactoryFixture, GuidTextsIgnoreTheIds)
{
    SimulatedVireo& vireo = plugIn(u"VI01");
    addInterface(OS::kHadfuInterfaceClass, u"\\\\?\\USB#VID_3A17&PID_0E30#Locked", OS::ERROR_ACCESS_DENIED);

    struct Case {
        const char* name;
        std::string guid;
        bool result;
        bool found;
    };
    const Case cases[] = {
        {"upper-case text", guidText(OS::kHadfuInterfaceClass), true, true},
        {"lower-case text", OS::utf16ToUtf8(lowerCase(OS::stringFromGuid(OS::kHadfuInterfaceClass))), true, true},
        {"a class without devices", guidText(OS::kHabdInterfaceClass), true, false},
        {"not a GUID", "{6B3F0C21-9D4E-4A7B-8E15-2C70D1935A4}", false, false},
        {"empty", "", false, false},
        {"a misspelt magic word", "hadfu-guid-magik", false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // Ids that match nothing: a GUID text accepts every device of its class that opens.
        USBDeviceFilter filter{USBDeviceFilter::eMakerUsb, c.guid, "", 0x1234, 0x5678};
        EXPECT_EQ(factory.enumerate(filter), c.result);
        EXPECT_EQ(factory.lastResult(), c.result);
        EXPECT_EQ(added, c.found ? std::vector<std::u16string>{lowerCase(vireo.path())} : std::vector<std::u16string>{});
        factory.clear();
        added.clear();
    }
}

namespace {

// The library's device-notification window, reduced to what the factory sees of it: every
// broadcast of the registry goes straight to the listeners.
class NotificationWindow {
public:
    NotificationWindow()
    {
        GP::DETAIL::setDeviceNotificationWindowPresent(true);
        mSubscriber = OS::addDeviceChangeSubscriber(
            [](OS::DWORD event, const OS::DEV_BROADCAST_HDR& record) { GP::DETAIL::dispatchDeviceChange(event, record); });
    }
    ~NotificationWindow()
    {
        OS::removeDeviceChangeSubscriber(mSubscriber);
        GP::DETAIL::setDeviceNotificationWindowPresent(false);
    }

private:
    int mSubscriber = 0;
};

}  // namespace

TEST_F(FactoryFixture, DevicesLeavingOrArrivingDuringTheWalk)
{
    // The walk knows the devices present when it starts; one that arrives meanwhile is
    // reported only by its notice, one that leaves before its turn is not reported at all.
    struct Case {
        USBDeviceFactory::eNotifications notifications;
        bool lateReported;
    };
    const Case cases[] = {{USBDeviceFactory::eWithoutNotifications, false},
                          {USBDeviceFactory::eWithNotifications, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.notifications);
        NotificationWindow window;
        SimulatedVireo& first = plugIn(u"VI01");
        SimulatedVireo& second = plugIn(u"VI02");
        SimulatedVireo& late = makeVireo(u"VI03");
        factory.setCallbacks(
            [&](const USBDeviceOSHandle& handle, const USBDeviceFilter&) {
                added.push_back(handle.path);
                if (added.size() == 1) {
                    second.unplug();
                    late.plugIn();
                }
            },
            [&](const USBDeviceOSHandle& handle, const USBDeviceFilter&) { removed.push_back(handle.path); });
        ASSERT_TRUE(factory.enumerate(kVireoInterfaceFilter, c.notifications));
        std::vector<std::u16string> expected = {lowerCase(first.path())};
        if (c.lateReported)
            expected.push_back(lowerCase(late.path()));
        EXPECT_EQ(added, expected);
        EXPECT_TRUE(removed.empty());

        factory.clear();
        added.clear();
        vireos.clear();
        OS::removeAllDeviceInterfaces();
    }
}

TEST_F(FactoryFixture, NotificationsReportArrivalsAndRemovalsOfTheClass)
{
    NotificationWindow window;
    SimulatedVireo& first = plugIn(u"VI01");
    SimulatedVireo& late = makeVireo(u"VI02");
    ASSERT_TRUE(factory.enumerate(kVireoInterfaceFilter, USBDeviceFactory::eWithNotifications));
    const std::u16string firstPath = lowerCase(first.path());
    late.plugIn();
    const std::u16string latePath = lowerCase(late.path());
    EXPECT_EQ(added, (std::vector<std::u16string>{firstPath, latePath}));

    // A notice of another class is ignored, even for a path the factory reported; a device
    // the filter does not accept comes and goes unreported.
    OS::broadcastDeviceChange(
        OS::DBT_DEVICEREMOVECOMPLETE,
        *OS::DeviceBroadcastRecord::deviceInterface(OS::GUID_DEVINTERFACE_USB_DEVICE, first.path()).header());
    OS::removeDeviceInterface(addInterface(OS::kHadfuInterfaceClass, u"\\\\?\\USB#VID_3A17&PID_0E30#Locked",
                                           OS::ERROR_ACCESS_DENIED, std::nullopt, OS::eBroadcast::Broadcast));
    EXPECT_EQ(added.size(), 2u);
    EXPECT_TRUE(removed.empty());

    // A record whose name has no terminator within its size is read up to its end.
    const std::u16string name = first.path();
    const std::size_t nameOffset = offsetof(OS::DEV_BROADCAST_DEVICEINTERFACE_W, dbcc_name);
    std::vector<std::uint8_t> bytes(nameOffset + name.size() * sizeof(char16_t));
    OS::DEV_BROADCAST_DEVICEINTERFACE_W header{};
    header.dbcc_size = static_cast<OS::DWORD>(bytes.size());
    header.dbcc_devicetype = OS::DBT_DEVTYP_DEVICEINTERFACE;
    header.dbcc_classguid = OS::kHadfuInterfaceClass;
    std::memcpy(bytes.data(), &header, nameOffset);
    std::memcpy(bytes.data() + nameOffset, name.data(), name.size() * sizeof(char16_t));
    GP::DETAIL::dispatchDeviceChange(OS::DBT_DEVICEREMOVECOMPLETE,
                                     *reinterpret_cast<const OS::DEV_BROADCAST_HDR*>(bytes.data()));
    EXPECT_EQ(removed, std::vector<std::u16string>{firstPath});
    // The real removal then finds nothing left to report.
    first.unplug();
    EXPECT_EQ(removed, std::vector<std::u16string>{firstPath});

    // After clear the factory no longer listens.
    factory.clear();
    late.unplug();
    EXPECT_EQ(removed, std::vector<std::u16string>{firstPath});
}

TEST_F(FactoryFixture, DestroyedFactoryStopsListening)
{
    NotificationWindow window;
    {
        USBDeviceFactory listening;
        listening.setCallbacks([&](const USBDeviceOSHandle& handle, const USBDeviceFilter&) { added.push_back(handle.path); },
                               nullptr);
        ASSERT_TRUE(listening.enumerate(kVireoInterfaceFilter, USBDeviceFactory::eWithNotifications));
    }
    plugIn(u"VI01");
    EXPECT_TRUE(added.empty());
}
