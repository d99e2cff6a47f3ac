// The DFU device against the simulated Vireo Interface, on the manual clock.

#include "hxl2/DFUDevice.h"

#include <gtest/gtest.h>

#include <functional>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "hxl2/DeviceLog.h"
#include "hxl2/DeviceTable.h"
#include "hxl2/tests/FakeDriver.h"
#include "os/kernel/Debug.h"
#include "os/devices/DeviceConfig.h"
#include "os/devices/DeviceRegistry.h"
#include "os/kernel/Kernel.h"
#include "os/sim/FirmwareImage.h"
#include "os/sim/SimulatedVireo.h"

using namespace HA;
using namespace HA::HXL2;
using HA::HXL2::Test::lowerCase;
using OS::SIM::eVireoMode;
using OS::SIM::SimulatedVireo;
using OS::SIM::VireoFaults;
using OS::SIM::VireoSettings;

namespace {

// Runs of equal sleeps, {milliseconds, count}, in order.
using Sleeps = std::vector<std::pair<OS::DWORD, int>>;

Sleeps runs(const std::vector<OS::DWORD>& sleeps)
{
    Sleeps result;
    for (OS::DWORD ms : sleeps) {
        if (!result.empty() && result.back().first == ms)
            ++result.back().second;
        else
            result.push_back({ms, 1});
    }
    return result;
}

const std::vector<std::uint8_t>& validImage()
{
    static const std::vector<std::uint8_t> image =
        OS::SIM::buildFirmwareImage(OS::kHarnwickVendorId, OS::kVireoProductId, 0x0036);
    return image;
}

class DFUDeviceFixture : public ::testing::Test {
protected:
    OS::ManualClockScope clock;
    std::vector<std::shared_ptr<SimulatedVireo>> vireos;
    DFUDevice device;
    std::mutex sleepsMutex;
    std::vector<OS::DWORD> sleepList;

    void SetUp() override
    {
        OS::removeAllDeviceInterfaces();
        OS::Clock::setSleepObserver([this](OS::DWORD ms) {
            std::lock_guard<std::mutex> lock(sleepsMutex);
            sleepList.push_back(ms);
        });
    }
    void TearDown() override
    {
        OS::Clock::setSleepObserver({});
        device.close();
        vireos.clear();
        OS::removeAllDeviceInterfaces();
    }
    SimulatedVireo& attach(VireoSettings settings = {}, VireoFaults faults = {})
    {
        vireos.push_back(SimulatedVireo::makeShared(std::move(settings), std::move(faults)));
        vireos.back()->plugIn();
        return *vireos.back();
    }
    Sleeps sleeps()
    {
        std::lock_guard<std::mutex> lock(sleepsMutex);
        return runs(sleepList);
    }
    void forget()
    {
        for (auto& v : vireos)
            v->clearJournal();
        std::lock_guard<std::mutex> lock(sleepsMutex);
        sleepList.clear();
    }
};

std::vector<OS::SIM::JournalEntry> requestsOf(const SimulatedVireo& vireo, OS::DWORD code)
{
    std::vector<OS::SIM::JournalEntry> result;
    for (const auto& e : vireo.journal())
        if (e.code == code)
            result.push_back(e);
    return result;
}

}  // namespace

TEST_F(DFUDeviceFixture, InformationOnOpen)
{
    struct Case {
        const char* name;
        OS::SIM::eInfoReply reply;
        bool check;
        std::uint8_t mode;
        std::uint16_t transferSize;
    };
    const Case cases[] = {
        {"whole reply", OS::SIM::eInfoReply::Full, true, 1, 2048},
        {"6-byte reply: all but the last byte, which copies the mode", OS::SIM::eInfoReply::Short, true, 1, 2048},
        {"failed reply: nothing of the device before stays", OS::SIM::eInfoReply::None, false, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // First a device in DFU mode with other parameters, so that stale fields would show.
        VireoSettings dfu;
        dfu.flashValid = false;
        dfu.serialNumber = u"OTHER";
        dfu.bmAttributes = 0x0D;
        dfu.manifestationLimitSeconds = 40;
        dfu.transferSize = 512;
        ASSERT_TRUE(device.openAndCheck({lowerCase(attach(dfu).path())}));
        EXPECT_EQ(device.mode(), 2);
        EXPECT_EQ(device.bmAttributes(), 0x0D);
        EXPECT_EQ(device.manifestationLimit(), 40);
        EXPECT_EQ(device.transferSize(), 512);
        EXPECT_EQ(device.extraInfo(), 1);

        VireoSettings runtime;
        runtime.transferSize = 2048;
        VireoFaults faults;
        faults.dfuInfo = c.reply;
        SimulatedVireo& vireo = attach(runtime, faults);
        EXPECT_EQ(device.openAndCheck({lowerCase(vireo.path())}), c.check);
        EXPECT_TRUE(device.isOpen());
        EXPECT_EQ(device.mode(), c.mode);
        EXPECT_EQ(device.transferSize(), c.transferSize);
        EXPECT_EQ(device.bmAttributes(), c.check ? runtime.bmAttributes : 0);
        EXPECT_EQ(device.manifestationLimit(), c.check ? 25 : 0);
        EXPECT_EQ(device.extraInfo(), c.check ? 1 : 0);
        EXPECT_EQ(requestsOf(vireo, OS::IOCTL_HA_DFU_GET_INFO).size(), 1u);
        device.close();
        vireos.clear();
        OS::removeAllDeviceInterfaces();
    }
}

TEST_F(DFUDeviceFixture, Download)
{
    enum class eImage { Valid, Short, None };
    enum class eEnd { Runtime, DfuMode, Gone };
    using Tweak = std::function<void(VireoSettings&, VireoFaults&)>;
    const Tweak none = [](VireoSettings&, VireoFaults&) {};
    struct Case {
        const char* name;
        std::uint16_t transferSize;
        bool tolerant;
        std::uint16_t limit;
        Tweak fault;
        eImage image;
        // Expected:
        bool result;
        std::uint8_t status0;
        unsigned dataBlocks;     // DNLOAD requests with data, numbered 0, 1, ...
        std::uint16_t lastLength;
        int closingBlock;        // -1: none sent
        Sleeps sleeps;
        eEnd end;
    };
    const Case cases[] = {
        {"1024: 256 blocks, reopened in runtime mode after manifestation", 1024, false, 25, none, eImage::Valid,
         true, 0, 256, 1024, 256, {{10, 256}, {10000, 1}}, eEnd::Runtime},
        {"1000: a shorter last block, its number again for the closing one; tolerant", 1000, true, 25, none,
         eImage::Valid, true, 0, 263, 144, 262, {{10, 263}, {1000, 3}}, eEnd::DfuMode},
        {"8191 is accepted", 8191, false, 25, none, eImage::Valid, true, 0, 33, 32, 32, {{10, 33}, {10000, 1}},
         eEnd::Runtime},
        {"8192 is refused", 8192, false, 25, none, eImage::Valid, false, 14, 0, 0, -1, {}, eEnd::DfuMode},
        {"0 is refused", 0, false, 25, none, eImage::Valid, false, 14, 0, 0, -1, {}, eEnd::DfuMode},
        {"no image", 1024, false, 25, none, eImage::None, false, 1, 0, 0, -1, {}, eEnd::DfuMode},
        {"back late, within the limit", 1024, false, 25,
         [](VireoSettings&, VireoFaults& f) { f.lateReturnMs = 20000; }, eImage::Valid, true, 0, 256, 1024, 256,
         {{10, 256}, {10000, 3}}, eEnd::Runtime},
        {"never back: fails once 30 s exceed the limit of 25", 1024, false, 25,
         [](VireoSettings&, VireoFaults& f) { f.noReturnAfterManifestation = true; }, eImage::Valid, false, 14, 256,
         1024, 256, {{10, 256}, {10000, 4}}, eEnd::Gone},
        {"error status after block 5 stays in the report", 1024, false, 25,
         [](VireoSettings&, VireoFaults& f) { f.errorBlock = 5; }, eImage::Valid, false, 3, 6, 1024, -1,
         {{10, 6}}, eEnd::DfuMode},
        {"stalled block 3", 1024, false, 25, [](VireoSettings&, VireoFaults& f) { f.stallBlock = 3; },
         eImage::Valid, false, 14, 4, 1024, -1, {{10, 3}}, eEnd::DfuMode},
        {"busy for ever from block 2: given up after 60 s", 1024, false, 25,
         [](VireoSettings& s, VireoFaults& f) {
             s.pollTimeoutMs = 1000;
             f.busyForeverBlock = 2;
         },
         eImage::Valid, false, 14, 3, 1024, -1, {{1000, 62}}, eEnd::DfuMode},
        {"busy for ever without asking for a wait: given up after as many rounds", 1024, false, 25,
         [](VireoSettings& s, VireoFaults& f) {
             s.pollTimeoutMs = 0;
             f.busyForeverBlock = 0;
         },
         eImage::Valid, false, 14, 1, 1024, -1, {}, eEnd::DfuMode},
        {"poll time-out 5000 waited in steps of 1000; a bad image ends in dfuERROR", 1024, true, 25,
         [](VireoSettings& s, VireoFaults&) { s.pollTimeoutMs = 5000; }, eImage::Short, false, 14, 2, 1024, 2,
         {{1000, 12}}, eEnd::DfuMode},
        {"tolerant device that never finishes: given up after 120 s", 1024, true, 25,
         [](VireoSettings& s, VireoFaults&) { s.manifestationMs = 100000000; }, eImage::Valid, false, 14, 256, 1024,
         256, {{10, 256}, {1000, 120}}, eEnd::DfuMode},
        {"state request after the closing block times out", 1024, false, 25,
         [](VireoSettings&, VireoFaults& f) { f.timeouts.push_back({OS::IOCTL_HA_DFU_GETSTATE, 1, std::nullopt}); },
         eImage::Valid, false, 14, 256, 1024, 256, {{10, 256}}, eEnd::DfuMode},
        {"closing block times out", 1024, false, 25,
         [](VireoSettings&, VireoFaults& f) { f.timeouts.push_back({OS::IOCTL_HA_DFU_DNLOAD, 257, std::nullopt}); },
         eImage::Valid, false, 14, 256, 1024, 256, {{10, 256}}, eEnd::DfuMode},
        {"status request in dfuMANIFEST-SYNC times out: waited out", 1024, true, 25,
         [](VireoSettings&, VireoFaults& f) {
             f.timeouts.push_back({OS::IOCTL_HA_DFU_GETSTATUS, 2 * 256 + 1, std::nullopt});
         },
         eImage::Valid, true, 0, 256, 1024, 256, {{10, 256}, {1000, 4}}, eEnd::DfuMode},
        {"last status request in dfuIDLE times out: a failure", 1024, true, 25,
         [](VireoSettings&, VireoFaults& f) {
             f.timeouts.push_back({OS::IOCTL_HA_DFU_GETSTATUS, 2 * 256 + 3, std::nullopt});
         },
         eImage::Valid, false, 14, 256, 1024, 256, {{10, 256}, {1000, 3}}, eEnd::DfuMode},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        VireoSettings settings;
        settings.flashValid = false;  // starts in DFU mode
        settings.manifestationLimitSeconds = c.limit;
        if (c.tolerant)
            settings.bmAttributes |= DFUDevice::kManifestationTolerant;
        VireoFaults faults;
        faults.transferSize = c.transferSize;
        c.fault(settings, faults);
        SimulatedVireo& vireo = attach(settings, faults);
        ASSERT_TRUE(device.openAndCheck({lowerCase(vireo.path())}));
        ASSERT_EQ(device.mode(), 2);
        ASSERT_EQ(device.transferSize(), c.transferSize);
        forget();

        std::vector<std::uint8_t> image;
        if (c.image == eImage::Valid)
            image = validImage();
        else if (c.image == eImage::Short)
            image.assign(validImage().begin(), validImage().begin() + 2048);
        OS::DebugOutputCapture log;
        OS::setDebuggerPresent(true);
        DFUStatus status;
        status.bStatus = 0x55;
        const bool result =
            device.download(image.empty() ? nullptr : image.data(), static_cast<std::uint32_t>(image.size()), status);
        OS::setDebuggerPresent(false);

        EXPECT_EQ(result, c.result);
        EXPECT_EQ(status.bStatus, c.status0);
        const bool refused = c.transferSize == 0 || c.transferSize >= 8192;
        EXPECT_EQ(log.text(),
                  refused ? "DFUDevice: Unsupported wTransferSize (" + std::to_string(c.transferSize) + ")\n" : "");

        const auto dnloads = requestsOf(vireo, OS::IOCTL_HA_DFU_DNLOAD);
        ASSERT_EQ(dnloads.size(), c.dataBlocks + (c.closingBlock >= 0 ? 1 : 0));
        for (unsigned i = 0; i < c.dataBlocks; ++i) {
            ASSERT_EQ(dnloads[i].blockNumber, i);
            ASSERT_EQ(dnloads[i].length, i + 1 == c.dataBlocks ? c.lastLength : c.transferSize);
        }
        if (c.closingBlock >= 0) {
            EXPECT_EQ(dnloads.back().blockNumber, c.closingBlock);
            EXPECT_EQ(dnloads.back().length, 0u);
        }
        EXPECT_EQ(sleeps(), c.sleeps);

        switch (c.end) {
        case eEnd::Runtime:
            EXPECT_TRUE(device.isOpen());
            EXPECT_EQ(device.mode(), 1);
            EXPECT_EQ(device.info().productId, OS::kVireoProductId);
            EXPECT_EQ(device.info().bcdDevice, 0x0036);
            EXPECT_EQ(device.path(), lowerCase(vireo.path()));
            EXPECT_EQ(vireo.mode(), eVireoMode::Runtime);
            break;
        case eEnd::DfuMode:
            EXPECT_TRUE(device.isOpen());
            EXPECT_EQ(device.mode(), 2);
            EXPECT_EQ(vireo.mode(), eVireoMode::Dfu);
            break;
        case eEnd::Gone:
            EXPECT_EQ(device.mode(), 2);
            EXPECT_EQ(vireo.mode(), eVireoMode::Absent);
            break;
        }
        device.close();
        vireos.clear();
        OS::removeAllDeviceInterfaces();
    }
}

// How the wait after the closing block meets devices that manifest for longer than a step
// or wait for a reset, beside the maker's device.
TEST_F(DFUDeviceFixture, ManifestationOfStrictAndLenientDevices)
{
    enum class eEnd { Runtime, DfuMode, Gone };
    using Tweak = std::function<void(VireoSettings&, VireoFaults&)>;
    struct Case {
        const char* name;
        bool tolerant;
        Tweak tweak;
        bool result;
        std::uint8_t status0;
        Sleeps sleeps;  // after the blocks' 256 polls of 10 ms
        std::size_t leaves;
        OS::TimeMs leaveAtMs;  // after the closing block, when a leave request was sent
        eEnd end;
    };
    const Tweak strict = [](VireoSettings& s, VireoFaults&) { s.strictDfu = true; };
    const Case cases[] = {
        {"tolerant, the maker's device: 1 s steps", true, [](VireoSettings&, VireoFaults&) {}, true, 0, {{1000, 3}}, 0,
         0, eEnd::DfuMode},
        {"tolerant and strict, 2.5 s announced: its state is asked once they are over", true,
         [](VireoSettings& s, VireoFaults&) {
             s.strictDfu = true;
             s.manifestationMs = 2500;
         },
         true, 0, {{2500, 1}, {1000, 1}}, 0, 0, eEnd::DfuMode},
        {"tolerant and strict, an announced wait beyond the bound ends at it", true,
         [](VireoSettings& s, VireoFaults&) {
             s.strictDfu = true;
             s.manifestationMs = 100000000;
         },
         false, 14, {{DFUDevice::kTolerantManifestationLimitMs, 1}}, 0, 0, eEnd::DfuMode},
        {"not tolerant, resets itself within the first step: no leave request", false,
         [](VireoSettings&, VireoFaults&) {}, true, 0, {{10000, 1}}, 0, 0, eEnd::Runtime},
        {"not tolerant, strict: waits for a reset and is asked once to leave", false, strict, true, 0, {{10000, 2}}, 1,
         10000, eEnd::Runtime},
        {"not tolerant, strict, 15 s announced: asked to leave only at the first step past them", false,
         [](VireoSettings& s, VireoFaults&) {
             s.strictDfu = true;
             s.manifestationMs = 15000;
         },
         true, 0, {{10000, 3}}, 1, 20000, eEnd::Runtime},
        {"not tolerant, strict, never back after the reset: fails past the limit", false,
         [](VireoSettings& s, VireoFaults& f) {
             s.strictDfu = true;
             f.noReturnAfterLeave = true;
         },
         false, 14, {{10000, 4}}, 1, 10000, eEnd::Gone},
        {"not tolerant, strict, the leave request times out: asked once, fails past the limit in DFU mode", false,
         [](VireoSettings& s, VireoFaults& f) {
             s.strictDfu = true;
             f.timeouts.push_back({OS::IOCTL_HA_DFU_LEAVE, 1, std::nullopt});
         },
         false, 14, {{10000, 4}}, 1, 10000, eEnd::DfuMode},
        {"not tolerant, off the bus by itself and back late: the leave request reaches nothing", false,
         [](VireoSettings&, VireoFaults& f) { f.lateReturnMs = 20000; }, true, 0, {{10000, 3}}, 0, 0, eEnd::Runtime},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        VireoSettings settings;
        settings.flashValid = false;  // starts in DFU mode
        if (c.tolerant)
            settings.bmAttributes |= DFUDevice::kManifestationTolerant;
        VireoFaults faults;
        c.tweak(settings, faults);
        SimulatedVireo& vireo = attach(settings, faults);
        ASSERT_TRUE(device.openAndCheck({lowerCase(vireo.path())}));
        forget();

        DFUStatus status;
        EXPECT_EQ(device.download(validImage().data(), static_cast<std::uint32_t>(validImage().size()), status),
                  c.result);
        EXPECT_EQ(status.bStatus, c.status0);
        Sleeps expected = {{10, 256}};
        expected.insert(expected.end(), c.sleeps.begin(), c.sleeps.end());
        EXPECT_EQ(sleeps(), expected);
        const auto leaves = requestsOf(vireo, OS::IOCTL_HA_DFU_LEAVE);
        EXPECT_EQ(leaves.size(), c.leaves);
        if (!leaves.empty()) {
            EXPECT_EQ(leaves.front().time - requestsOf(vireo, OS::IOCTL_HA_DFU_DNLOAD).back().time, c.leaveAtMs);
        }
        switch (c.end) {
        case eEnd::Runtime:
            EXPECT_EQ(device.mode(), 1);
            EXPECT_EQ(device.info().bcdDevice, 0x0036);
            EXPECT_EQ(vireo.mode(), eVireoMode::Runtime);
            break;
        case eEnd::DfuMode:
            EXPECT_EQ(device.mode(), 2);
            EXPECT_EQ(vireo.mode(), eVireoMode::Dfu);
            break;
        case eEnd::Gone:
            EXPECT_EQ(vireo.mode(), eVireoMode::Absent);
            break;
        }
        device.close();
        vireos.clear();
        OS::removeAllDeviceInterfaces();
    }
}

TEST_F(DFUDeviceFixture, DownloadNeedsDfuMode)
{
    SimulatedVireo& vireo = attach();
    ASSERT_TRUE(device.openAndCheck({lowerCase(vireo.path())}));
    forget();
    DFUStatus status;
    EXPECT_FALSE(device.download(validImage().data(), static_cast<std::uint32_t>(validImage().size()), status));
    EXPECT_EQ(status.bStatus, 3);
    device.close();
    EXPECT_FALSE(device.download(validImage().data(), static_cast<std::uint32_t>(validImage().size()), status));
    EXPECT_EQ(status.bStatus, 3);
    EXPECT_TRUE(vireo.journal().empty());
}

TEST_F(DFUDeviceFixture, LeaveDFUMode)
{
    VireoSettings settings;
    settings.firmwareRevision = 0x0036;
    SimulatedVireo& vireo = attach(settings);
    ASSERT_TRUE(device.openAndCheck({lowerCase(vireo.path())}));
    forget();
    // Runtime mode: nothing to leave, nothing sent.
    EXPECT_TRUE(device.leaveDFUMode());
    EXPECT_TRUE(vireo.journal().empty());

    ASSERT_TRUE(device.detach());
    OS::Clock::advance(5000);
    ASSERT_EQ(vireo.mode(), eVireoMode::Dfu);
    ASSERT_TRUE(device.openAndCheck({lowerCase(vireo.path())}));
    EXPECT_EQ(device.mode(), 2);
    EXPECT_TRUE(device.leaveDFUMode());
    EXPECT_EQ(requestsOf(vireo, OS::IOCTL_HA_DFU_LEAVE).size(), 1u);
    OS::Clock::advance(5000);
    EXPECT_EQ(vireo.mode(), eVireoMode::Runtime);
    EXPECT_EQ(vireo.firmwareRevision(), 0x0036);
}

TEST_F(DFUDeviceFixture, SwitchToDFUMode)
{
    enum class eOther { None, SecondDeviceInDfuMode };
    struct Case {
        const char* name;
        std::function<void(VireoFaults&)> fault;
        eOther other;
        bool result;
    };
    const Case cases[] = {
        {"back in time", [](VireoFaults&) {}, eOther::None, true},
        {"back late", [](VireoFaults& f) { f.lateReturnMs = 4000; }, eOther::None, false},
        {"never back", [](VireoFaults& f) { f.noReturnAfterDetach = true; }, eOther::None, false},
        {"back with the wrong serial number", [](VireoFaults& f) { f.wrongSerialAfterDetach = true; }, eOther::None,
         false},
        {"another device in DFU mode is left alone", [](VireoFaults&) {}, eOther::SecondDeviceInDfuMode, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SimulatedVireo* other = nullptr;
        if (c.other == eOther::SecondDeviceInDfuMode) {
            VireoSettings settings;
            settings.serialNumber = u"VI2401A0999";
            settings.flashValid = false;
            other = &attach(settings);
        }
        VireoFaults faults;
        c.fault(faults);
        SimulatedVireo& vireo = attach({}, faults);
        ASSERT_TRUE(device.openAndCheck({lowerCase(vireo.path())}));
        ASSERT_EQ(device.mode(), 1);
        ASSERT_TRUE(device.detach());
        forget();

        EXPECT_EQ(device.switchToDFUMode(), c.result);
        EXPECT_EQ(device.isOpen(), c.result);
        EXPECT_EQ(sleeps(), (Sleeps{{5000, 1}}));
        if (c.result) {
            EXPECT_EQ(device.mode(), 2);
            EXPECT_EQ(device.path(), lowerCase(vireo.path()));
            EXPECT_EQ(device.info().productId, OS::kVireoDfuProductId);
            EXPECT_EQ(device.info().serialNumber, "VI2401A0158");
            // Already there: true at once.
            EXPECT_TRUE(device.switchToDFUMode());
        } else {
            EXPECT_TRUE(device.path().empty());
            // The serial number to look for stays for a later try.
            EXPECT_EQ(device.info().serialNumber, "VI2401A0158");
        }
        if (other != nullptr) {
            EXPECT_TRUE(requestsOf(*other, OS::IOCTL_HA_DFU_GET_INFO).empty());
        }
        EXPECT_EQ(sleeps(), (Sleeps{{5000, 1}}));
        device.close();
        vireos.clear();
        OS::removeAllDeviceInterfaces();
        forget();
    }
}

TEST_F(DFUDeviceFixture, SwitchRetriedOnceTheDeviceIsBackWithoutSleeping)
{
    VireoFaults faults;
    faults.lateReturnMs = 4000;
    SimulatedVireo& vireo = attach({}, faults);
    ASSERT_TRUE(device.openAndCheck({lowerCase(vireo.path())}));
    ASSERT_TRUE(device.detach());
    EXPECT_FALSE(device.switchToDFUMode());
    OS::Clock::advance(1000);
    forget();
    EXPECT_TRUE(device.switchToDFUMode());
    EXPECT_EQ(device.mode(), 2);
    EXPECT_TRUE(sleeps().empty());
}

TEST_F(DFUDeviceFixture, SwitchWithoutARecordChangesNothing)
{
    // Never opened: no ids, so no row of the device table.
    EXPECT_FALSE(device.switchToDFUMode());
    EXPECT_TRUE(sleeps().empty());
    EXPECT_FALSE(device.isOpen());
}

TEST_F(DFUDeviceFixture, OpenIfSerialMatchesTakesTheFirstMatch)
{
    VireoSettings dfu;
    dfu.flashValid = false;
    SimulatedVireo& first = attach(dfu);
    SimulatedVireo& second = attach();  // the same serial number, in runtime mode
    const USBDeviceOSHandle firstPath{lowerCase(first.path())}, secondPath{lowerCase(second.path())};

    DFUDevice::openIfSerialMatches(secondPath, kVireoInterfaceFilter, &device, "VI2401A0999");
    EXPECT_FALSE(device.isOpen());
    DFUDevice::openIfSerialMatches(firstPath, kVireoInterfaceFilter, &device, "VI2401A0158");
    EXPECT_EQ(device.path(), firstPath.path);
    forget();
    DFUDevice::openIfSerialMatches(secondPath, kVireoInterfaceFilter, &device, "VI2401A0158");
    EXPECT_EQ(device.path(), firstPath.path);
    EXPECT_TRUE(second.journal().empty());

    // An empty serial number takes any device.
    device.close();
    DFUDevice::openIfSerialMatches(secondPath, kVireoInterfaceFilter, &device, "");
    EXPECT_EQ(device.path(), secondPath.path);
}

TEST_F(DFUDeviceFixture, BlocksByHandThenAbort)
{
    VireoSettings settings;
    settings.flashValid = false;
    SimulatedVireo& vireo = attach(settings);
    ASSERT_TRUE(device.openAndCheck({lowerCase(vireo.path())}));
    DFUDownloadBlock block;
    block.wLength = 1024;
    DFUStatus status;
    for (std::uint16_t n = 0; n < 2; ++n) {
        block.wBlockNum = n;
        ASSERT_TRUE(device.downloadBlock(block, status));
        EXPECT_EQ(status.bStatus, 0);
        EXPECT_EQ(status.bState, eDfuDnloadIdle);
    }
    // The device expects block 2: a repeated block 1 stalls, and the device tells why.
    EXPECT_FALSE(device.downloadBlock(block, status));
    EXPECT_EQ(status.bStatus, eErrUnknown);
    std::uint8_t state = 0;
    ASSERT_TRUE(device.getState(state));
    EXPECT_EQ(state, eDfuError);
    ASSERT_TRUE(device.getStatus(status));
    EXPECT_EQ(status.bStatus, 0x08);  // errADDRESS
    EXPECT_EQ(status.bState, eDfuError);

    block.wBlockNum = 0;
    settings.serialNumber = u"VI2401A0999";
    SimulatedVireo& fresh = attach(settings);
    ASSERT_TRUE(device.openAndCheck({lowerCase(fresh.path())}));
    ASSERT_TRUE(device.downloadBlock(block, status));
    EXPECT_TRUE(device.abort());
    ASSERT_TRUE(device.getState(state));
    EXPECT_EQ(state, eDfuIdle);
}

// Tests that start a second thread also run under the thread sanitizer.
using DFUDeviceFixtureThreaded = DFUDeviceFixture;

TEST_F(DFUDeviceFixtureThreaded, DownloadOnAWorkerThread)
{
    VireoSettings settings;
    settings.flashValid = false;
    SimulatedVireo& vireo = attach(settings);
    ASSERT_TRUE(device.openAndCheck({lowerCase(vireo.path())}));
    forget();
    bool result = false;
    DFUStatus status;
    OS::DWORD worker = 0;
    std::thread thread([&] {
        worker = OS::currentThreadId();
        result = device.download(validImage().data(), static_cast<std::uint32_t>(validImage().size()), status);
    });
    thread.join();
    EXPECT_TRUE(result);
    EXPECT_EQ(status.bStatus, 0);
    EXPECT_EQ(device.mode(), 1);
    const auto journal = vireo.journal();
    ASSERT_FALSE(journal.empty());
    for (const auto& e : journal)
        ASSERT_EQ(e.threadId, worker);
}

// Replies the simulated device never gives, from a scripted driver: a device in DFU mode
// with wTransferSize 1024 that takes every block.
TEST(DFUDeviceScripted, RepliesOfOtherDevices)
{
    using Bytes = std::vector<std::uint8_t>;
    struct Case {
        const char* name;
        Bytes status;  // every DFU_GETSTATUS reply
        Bytes state;   // the DFU_GETSTATE reply after the closing block
        bool result;
        std::uint8_t status0;
        std::uint8_t bState;
    };
    const Bytes idle = {0, 0, 0, 0, eDfuDnloadIdle, 0};
    const Case cases[] = {
        {"dfuMANIFEST-WAIT-RESET at once: success without waiting", idle, {eDfuManifestWaitReset}, true, 0,
         eDfuManifestWaitReset},
        {"appIDLE at once: success", idle, {eAppIdle}, true, 0, eAppIdle},
        {"an unexpected state after the closing block", idle, {3}, false, 14, eDfuDnloadIdle},
        {"no state byte after the closing block", idle, {}, false, 14, eDfuDnloadIdle},
        {"short status reply", {0, 0, 0, 0, eDfuDnloadIdle}, {eDfuManifestWaitReset}, false, 14, 0},
        {"dfuIDLE after a block is no success", {0, 0, 0, 0, eDfuIdle, 0}, {eDfuManifestWaitReset}, false, 14,
         eDfuIdle},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        OS::ManualClockScope clock;
        HXL2::Test::FakeDevice fake(HXL2::Test::kFakePath);
        fake.driver().setScript([&c](const OS::IoRequest& request) {
            HXL2::Test::FakeDriver::tReply reply;
            switch (request.code()) {
            case OS::IOCTL_HA_USB_GET_DESCRIPTOR:
                reply.status = OS::ERROR_GEN_FAILURE;  // the ids come from the path
                break;
            case OS::IOCTL_HA_DFU_GET_INFO:
                reply.data = {2, 0, 25, 0, 0x00, 0x04, 1};
                break;
            case OS::IOCTL_HA_DFU_GETSTATUS:
                reply.data = c.status;
                break;
            case OS::IOCTL_HA_DFU_GETSTATE:
                reply.data = c.state;
                break;
            default:
                break;
            }
            return reply;
        });
        int sleeps = 0;
        OS::Clock::setSleepObserver([&sleeps](OS::DWORD) { ++sleeps; });
        DFUDevice device;
        ASSERT_TRUE(device.openAndCheck({HXL2::Test::kFakePath}));
        const Bytes image(2048, 0xA5);
        DFUStatus status;
        EXPECT_EQ(device.download(image.data(), static_cast<std::uint32_t>(image.size()), status), c.result);
        OS::Clock::setSleepObserver({});
        EXPECT_EQ(status.bStatus, c.status0);
        EXPECT_EQ(status.bState, c.bState);
        EXPECT_EQ(sleeps, 0);
    }
}

// The information reply of a device in DFU mode that gives 7, 6 or fewer bytes, after a
// whole reply with other values on the same path.
TEST(DFUDeviceScripted, InformationReplyBySize)
{
    using Bytes = std::vector<std::uint8_t>;
    const Bytes before = {1, 0x09, 10, 0, 0x00, 0x02, 0x55};
    const Bytes reply = {2, 0x0D, 40, 0, 0x00, 0x04, 0x77};
    struct Case {
        std::size_t size;
        bool check;
        std::uint8_t mode, bmAttributes;
        std::uint16_t limit, transferSize;
        std::uint8_t extraInfo;
    };
    const Case cases[] = {
        {7, true, 2, 0x0D, 40, 1024, 0x77},
        {6, true, 2, 0x0D, 40, 1024, 2},
        // Fewer: as before, a device that gives no DFU information.
        {5, false, 0, 0, 0, 0, 0},
        {0, false, 0, 0, 0, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.size);
        OS::ManualClockScope clock;
        HXL2::Test::FakeDevice fake(HXL2::Test::kFakePath);
        Bytes info = before;
        fake.driver().setScript([&info](const OS::IoRequest& request) {
            HXL2::Test::FakeDriver::tReply r;
            if (request.code() == OS::IOCTL_HA_DFU_GET_INFO)
                r.data = info;
            else
                r.status = OS::ERROR_GEN_FAILURE;  // the ids come from the path
            return r;
        });
        DFUDevice device;
        ASSERT_TRUE(device.openAndCheck({HXL2::Test::kFakePath}));
        ASSERT_EQ(device.mode(), 1);
        info.assign(reply.begin(), reply.begin() + static_cast<std::ptrdiff_t>(c.size));
        EXPECT_EQ(device.openAndCheck({HXL2::Test::kFakePath}), c.check);
        EXPECT_EQ(device.mode(), c.mode);
        EXPECT_EQ(device.bmAttributes(), c.bmAttributes);
        EXPECT_EQ(device.manifestationLimit(), c.limit);
        EXPECT_EQ(device.transferSize(), c.transferSize);
        EXPECT_EQ(device.extraInfo(), c.extraInfo);
    }
}
