// The device layer against the simulated Vireo Interface.

#include <gtest/gtest.h>

#include <set>
#include <thread>

#include "hxl2/DeviceIdentity.h"
#include "hxl2/DeviceTable.h"
#include "hxl2/USBDevice.h"
#include "hxl2/tests/FakeDriver.h"
#include "os/devices/DeviceConfig.h"
#include "os/devices/DeviceRegistry.h"
#include "os/kernel/Errors.h"
#include "os/sim/SimulatedVireo.h"

using namespace HA;
using namespace HA::HXL2;
using HXL2::Test::lowerCase;
using OS::SIM::SimulatedVireo;
using OS::SIM::VireoFaults;

namespace {

class SimulatedDeviceFixture : public ::testing::Test {
protected:
    OS::ManualClockScope clock;
    std::shared_ptr<SimulatedVireo> vireo;
    USBDevice device;

    void SetUp() override { OS::removeAllDeviceInterfaces(); }
    void TearDown() override
    {
        device.close();
        vireo.reset();
        OS::removeAllDeviceInterfaces();
    }
    // The enumeration hands paths over in lower case.
    std::u16string attach(VireoFaults faults = {})
    {
        vireo = SimulatedVireo::makeShared({}, std::move(faults));
        vireo->plugIn();
        return lowerCase(vireo->path());
    }
};

}  // namespace

TEST_F(SimulatedDeviceFixture, OpenReadsTheIdentity)
{
    const std::u16string path = attach();
    ASSERT_TRUE(device.open(USBDeviceOSHandle{path}));
    const USBDeviceInfo& info = device.info();
    EXPECT_EQ(info.vendorId, OS::kHarnwickVendorId);
    EXPECT_EQ(info.productId, OS::kVireoProductId);
    EXPECT_EQ(info.bcdDevice, 0x0035);
    EXPECT_EQ(info.manufacturer, "Harnwick Acoustics");
    EXPECT_EQ(info.product, "Vireo Interface");
    EXPECT_EQ(info.serialNumber, "VI2401A0158");

    // The served record reads the same identity by its kind.
    USBDeviceInfo byFilter;
    EXPECT_TRUE(kVireoInterfaceFilter.readDeviceInfo(path, byFilter, eStrings::eWithStrings));
    EXPECT_EQ(byFilter.serialNumber, "VI2401A0158");
    EXPECT_EQ(byFilter.bcdDevice, 0x0035);
}

TEST_F(SimulatedDeviceFixture, DescriptorFaults)
{
    struct Case {
        const char* name;
        OS::SIM::eInfoReply descriptor;
        bool failStrings;
        const char* serial;
    };
    const Case cases[] = {
        {"short descriptor: ids from the path", OS::SIM::eInfoReply::Short, false, ""},
        {"failing descriptor: ids from the path", OS::SIM::eInfoReply::None, false, ""},
        {"failing strings", OS::SIM::eInfoReply::Full, true, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        VireoFaults faults;
        faults.deviceDescriptor = c.descriptor;
        faults.failStrings = c.failStrings;
        const std::u16string path = attach(faults);
        ASSERT_TRUE(device.open(path));
        EXPECT_EQ(device.info().vendorId, OS::kHarnwickVendorId);
        EXPECT_EQ(device.info().productId, OS::kVireoProductId);
        EXPECT_EQ(device.info().bcdDevice, 0x0035);
        EXPECT_EQ(device.info().serialNumber, c.serial);
        EXPECT_EQ(device.info().product, "");
        // Reading by path: true without strings, false with them, unless the descriptor came.
        USBDeviceInfo info;
        EXPECT_TRUE(readUSBDeviceInfo(path, info, eStrings::eWithoutStrings));
        EXPECT_EQ(readUSBDeviceInfo(path, info, eStrings::eWithStrings), c.failStrings);
        device.close();
        vireo->unplug();
        OS::removeAllDeviceInterfaces();
    }
}

TEST_F(SimulatedDeviceFixture, TimedOutRequestIsWaitedForAfterItsCancel)
{
    VireoFaults faults;
    faults.timeouts.push_back({OS::IOCTL_HA_DFU_GETSTATE, 1, 700});   // answered late, into the buffer
    faults.timeouts.push_back({OS::IOCTL_HA_DFU_GETSTATE, 2, std::nullopt});  // answered only by the cancel
    ASSERT_TRUE(device.open(attach(faults)));

    std::uint8_t state[3] = {0xEE, 0xEE, 0xEE};
    OS::TimeMs start = OS::Clock::now();
    EXPECT_EQ(device.deviceIoControl(OS::IOCTL_HA_DFU_GETSTATE, nullptr, 0, state + 1, 1), OS::WAIT_TIMEOUT);
    EXPECT_EQ(OS::Clock::now() - start, 700);  // returned only once the late answer was in
    EXPECT_EQ(state[1], 0);                    // appIDLE, written before the return
    EXPECT_EQ(state[0], 0xEE);
    EXPECT_EQ(state[2], 0xEE);
    state[1] = 0xEE;
    OS::Clock::advance(5000);
    EXPECT_EQ(state[1], 0xEE);

    start = OS::Clock::now();
    EXPECT_EQ(device.deviceIoControl(OS::IOCTL_HA_DFU_GETSTATE, nullptr, 0, state + 1, 1), OS::WAIT_TIMEOUT);
    EXPECT_EQ(OS::Clock::now() - start, 500);
    EXPECT_EQ(state[1], 0xEE);

    // The next one is answered at once.
    std::uint32_t returned = 0;
    EXPECT_EQ(device.deviceIoControl(OS::IOCTL_HA_DFU_GETSTATE, nullptr, 0, state + 1, 1, &returned), 0u);
    EXPECT_EQ(returned, 1u);
    EXPECT_EQ(state[1], 0);
}

TEST_F(SimulatedDeviceFixture, ReservedRequestFailingWithGenFailureSucceeds)
{
    ASSERT_TRUE(device.open(attach()));
    EXPECT_EQ(device.deviceIoControl(OS::IOCTL_HA_USB_RESERVED_810, nullptr, 0, nullptr, 0), 0u);
}

TEST_F(SimulatedDeviceFixture, ControlTransferReadsTheDeviceDescriptor)
{
    ASSERT_TRUE(device.open(attach()));
    std::uint8_t descriptor[18] = {};
    // GET_DESCRIPTOR (device), standard, device-to-host.
    USBControlRequest request{0x80, 6, 0x0100, 0, sizeof descriptor, descriptor, 0};
    EXPECT_EQ(device.controlTransfer(request), 0u);
    EXPECT_EQ(request.transferred, 18u);
    EXPECT_EQ(descriptor[8] | (descriptor[9] << 8), OS::kHarnwickVendorId);
}

TEST_F(SimulatedDeviceFixture, UnpluggedDeviceAnswersNotConnected)
{
    ASSERT_TRUE(device.open(attach()));
    vireo->unplug();
    std::uint8_t state = 0;
    EXPECT_EQ(device.deviceIoControl(OS::IOCTL_HA_DFU_GETSTATE, nullptr, 0, &state, 1), OS::ERROR_DEVICE_NOT_CONNECTED);
    USBDeviceInfo info;
    EXPECT_FALSE(readDeviceInfo(device.path(), kVireoInterfaceFilter, info, eStrings::eWithoutStrings));
}

// Tests that start a second thread also run under the thread sanitizer.
using SimulatedDeviceFixtureThreaded = SimulatedDeviceFixture;

TEST_F(SimulatedDeviceFixtureThreaded, TwoThreadsAskTheStateAtOnce)
{
    ASSERT_TRUE(device.open(attach()));
    auto run = [&](int& failures) {
        for (int i = 0; i < 50; ++i) {
            std::uint8_t state = 0xEE;
            std::uint32_t returned = 0;
            if (device.deviceIoControl(OS::IOCTL_HA_DFU_GETSTATE, nullptr, 0, &state, 1, &returned) != 0
                || returned != 1 || state != 0)
                ++failures;
        }
    };
    int failuresA = 0, failuresB = 0;
    std::thread a(run, std::ref(failuresA));
    std::thread b(run, std::ref(failuresB));
    a.join();
    b.join();
    EXPECT_EQ(failuresA, 0);
    EXPECT_EQ(failuresB, 0);
    std::set<OS::DWORD> threads;
    for (const auto& entry : vireo->journal())
        if (entry.code == OS::IOCTL_HA_DFU_GETSTATE)
            threads.insert(entry.threadId);
    EXPECT_EQ(threads.size(), 2u);
}
