// The upgrade logic against the simulated Vireo Interface on the manual clock: the
// revision rule, the whole road of one update as the wizard walks it (one table of
// devices and faults), and the worker's life: stop, a second start, destruction.

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "os/kernel/Clock.h"
#include "os/devices/DeviceConfig.h"
#include "os/devices/DeviceRegistry.h"
#include "os/kernel/Kernel.h"
#include "os/sim/FirmwareImage.h"
#include "os/sim/SimulatedVireo.h"
#include "resources/firmware/FirmwareImage.h"
#include "updater/upgrade/VireoUpdaterUpgradeLogic.h"

using namespace HA;
using namespace HA::OS;
using namespace HA::OS::SIM;

namespace {

TEST(UpgradeRevisionTest, TextsAndTheUpdateRuleFollowBcdDevice)
{
    struct Case {
        std::uint16_t bcd;
        const char* text;
        bool needed;
    };
    for (const Case& c : {Case{0x0035, "0.3.5", true}, Case{0x0036, "0.3.6", false}, Case{0x0100, "1.0.0", false},
                          Case{0x01A5, "1.10.5", false}, Case{0x0000, "0.0.0", true}, Case{0xFFFF, "255.15.15", false}}) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(VireoUpdaterUpgradeLogic::revisionText(c.bcd), c.text);
        EXPECT_EQ(VireoUpdaterUpgradeLogic::isUpdateNeeded(c.bcd), c.needed);
    }
}

TEST(UpgradeRevisionTest, TheEmbeddedImageIsTheNewestRevision)
{
    FirmwareHeader header;
    ASSERT_EQ(Firmware::imageSize(), kFirmwareImageSize);
    ASSERT_TRUE(verifyFirmwareImage(Firmware::imageData(), Firmware::imageSize(), kHarnwickVendorId,
                                    kVireoProductId, &header));
    EXPECT_EQ(header.revision, VireoUpdaterUpgradeLogic::kNewestRevision);
}

int count(const std::vector<JournalEntry>& journal, DWORD code)
{
    int n = 0;
    for (const JournalEntry& e : journal)
        n += e.code == code;
    return n;
}

const JournalEntry* last(const std::vector<JournalEntry>& journal, DWORD code)
{
    for (auto it = journal.rbegin(); it != journal.rend(); ++it)
        if (it->code == code)
            return &*it;
    return nullptr;
}

class UpgradeLogicTest : public ::testing::Test {
protected:
    ManualClockScope clock;
    std::shared_ptr<SimulatedVireo> device;
    std::unique_ptr<VireoUpdaterUpgradeLogic> logic = std::make_unique<VireoUpdaterUpgradeLogic>();
    std::atomic<int> result{99};

    void SetUp() override { removeAllDeviceInterfaces(); }
    void TearDown() override
    {
        logic.reset();
        device.reset();
        removeAllDeviceInterfaces();
    }

    void attach(VireoSettings settings = {}, VireoFaults faults = {})
    {
        device = SimulatedVireo::makeShared(std::move(settings), std::move(faults));
        device->plugIn();
    }

    // Polls the result as the wizard does, then joins the worker. The poll does not sleep on
    // the clock: virtual time must move only with the worker's own waits.
    void awaitResult()
    {
        while (result.load(std::memory_order_acquire) == 0)
            std::this_thread::yield();
        logic->joinWorker();
    }

    // The DNLOAD requests of the journal, each checked to come from the worker.
    std::vector<JournalEntry> downloads() const
    {
        std::vector<JournalEntry> blocks;
        for (const JournalEntry& e : device->journal()) {
            if (e.code == IOCTL_HA_DFU_DNLOAD) {
                EXPECT_NE(e.threadId, currentThreadId());
                blocks.push_back(e);
            }
        }
        return blocks;
    }
};

// One road from the wizard's first scan to its check after the download.
struct RoadCase {
    const char* name = "";
    bool attached = true;
    VireoSettings settings;
    VireoFaults faults;
    // Start without entering update mode first.
    bool skipEnter = false;
    // Hold this block at the gate, ask whether the update runs and stop it there.
    std::optional<WORD> stopAtBlock;

    bool found = true;
    const char* installed = "0.3.5";
    bool needed = true;
    bool entered = true;
    bool started = true;
    int result = 1;
    // The scan after a positive result (with the wizard's second try 5 s later).
    bool foundAfter = true;
    const char* installedAfter = "0.3.6";
    // Journal: DNLOAD requests (closing one included), an ABORT, the request to leave DFU
    // mode (a device that came back in runtime mode needs none); unset: not checked.
    int dnloads = 257;
    bool aborted = false;
    std::optional<bool> left = false;
    // How many requests to leave DFU mode exactly; unset: not checked.
    std::optional<int> leaves;
};

void PrintTo(const RoadCase& c, std::ostream* os)
{
    *os << c.name;
}

RoadCase named(const char* name)
{
    RoadCase c;
    c.name = name;
    return c;
}

std::vector<RoadCase> roadCases()
{
    std::vector<RoadCase> cases;
    auto add = [&](RoadCase c) { cases.push_back(c); };
    auto ended = [](RoadCase c) {
        c.entered = c.started = c.foundAfter = false;
        c.result = 99;
        c.dnloads = 0;
        c.left = false;
        return c;
    };
    // A download that fails at a block: aborted, sent back to its runtime firmware.
    auto failed = [](RoadCase c, int dnloads) {
        c.result = -2;
        c.dnloads = dnloads;
        c.aborted = true;
        c.left = true;
        c.foundAfter = false;
        return c;
    };

    RoadCase absent = ended(named("DeviceAbsent"));
    absent.attached = false;
    absent.found = absent.needed = false;
    absent.installed = "";
    add(absent);

    RoadCase upToDate = ended(named("UpToDate"));
    upToDate.settings.firmwareRevision = 0x0036;
    upToDate.installed = "0.3.6";
    upToDate.needed = false;
    add(upToDate);

    add(named("UpdateSucceeds"));

    RoadCase tolerant = named("TolerantDeviceSucceeds");
    tolerant.settings.bmAttributes |= kDfuManifestationTolerant;
    tolerant.left = true;
    add(tolerant);

    RoadCase errorBlock = failed(named("ErrorStatusAtBlock100"), 101);
    errorBlock.faults.errorBlock = 100;
    add(errorBlock);

    RoadCase stall = failed(named("StallAtBlock7"), 8);
    stall.faults.stallBlock = 7;
    add(stall);

    RoadCase notDfu = ended(named("DeviceNotInDfuMode"));
    notDfu.skipEnter = true;
    notDfu.result = -1;
    add(notDfu);

    RoadCase noDfuReturn = ended(named("NeverComesBackAfterDetach"));
    noDfuReturn.faults.noReturnAfterDetach = true;
    add(noDfuReturn);

    RoadCase noReturn = failed(named("NeverComesBackAfterManifestation"), 257);
    noReturn.faults.noReturnAfterManifestation = true;
    // Gone from the bus: the abort and the request to leave reach nothing.
    noReturn.aborted = false;
    noReturn.left.reset();
    add(noReturn);

    RoadCase wrong = named("WrongRevisionAfterwards");
    wrong.faults.revisionAfterUpdate = 0x0035;
    wrong.installedAfter = "0.3.5";
    add(wrong);

    // A device that follows DFU 1.1 strictly: it stalls what the standard forbids and, not
    // being manifestation tolerant, waits after manifestation until it is reset, which the
    // one request to leave DFU mode does. The transfer size divides the image.
    RoadCase strict = named("StrictDeviceWaitsForItsReset");
    strict.settings.strictDfu = true;
    strict.left = true;
    strict.leaves = 1;
    add(strict);

    // Its manifestation takes longer than the first step: it is reset only once that is over.
    RoadCase strictLong = named("StrictDeviceWithALongManifestationIsResetAfterIt");
    strictLong.settings.strictDfu = true;
    strictLong.settings.manifestationMs = 15000;
    strictLong.left = true;
    strictLong.leaves = 1;
    add(strictLong);

    RoadCase strictTolerant = named("StrictTolerantDeviceSucceeds");
    strictTolerant.settings.strictDfu = true;
    strictTolerant.settings.bmAttributes |= kDfuManifestationTolerant;
    strictTolerant.settings.manifestationMs = 2500;
    strictTolerant.left = true;
    strictTolerant.leaves = 1;
    add(strictTolerant);

    // The maker's device resets itself: nobody asks it to leave.
    RoadCase resetsItself = named("DeviceThatResetsItselfIsNotAskedToLeave");
    resetsItself.leaves = 0;
    add(resetsItself);

    RoadCase stop = named("StopDuringTheDownload");
    stop.stopAtBlock = 40;
    stop.result = 0;
    stop.foundAfter = false;
    add(stop);
    return cases;
}

class UpgradeRoadTest : public UpgradeLogicTest, public ::testing::WithParamInterface<RoadCase> {};

TEST_P(UpgradeRoadTest, WalksTheWizardsRoad)
{
    const RoadCase& c = GetParam();
    VireoFaults faults = c.faults;
    if (c.stopAtBlock)
        faults.gateBlock = c.stopAtBlock;
    if (c.attached)
        attach(c.settings, faults);

    EXPECT_EQ(logic->scanForDevice(), c.found);
    HXL2::USBDeviceInfo info;
    info.bcdDevice = 0x1234;
    std::string installed, newest;
    bool needed = true;
    logic->getDeviceInfo(info, installed, newest, needed);
    EXPECT_EQ(newest, "0.3.6");
    EXPECT_EQ(installed, c.installed);
    EXPECT_EQ(needed, c.needed);
    if (c.found)
        EXPECT_EQ(info.serialNumber, "VI2401A0158");
    else
        EXPECT_EQ(info.bcdDevice, 0);

    bool entered = false, started = false;
    if (c.found && c.needed) {
        entered = c.skipEnter || logic->enterUpdateMode();
        if (entered)
            started = logic->startUpdate(result);
    }
    EXPECT_EQ(entered && !c.skipEnter, c.entered);
    EXPECT_EQ(started, c.started);

    if (started && c.stopAtBlock) {
        device->waitForGate();
        EXPECT_TRUE(logic->isUpdateRunning());
        logic->stopUpdate();
        device->releaseGate();
        logic->joinWorker();
    } else if (started) {
        awaitResult();
    }
    EXPECT_EQ(result.load(), c.result);
    EXPECT_FALSE(logic->isUpdateRunning());

    bool foundAfter = false;
    if (started && result.load() > 0) {
        foundAfter = logic->scanForDevice();
        if (!foundAfter) {
            Clock::sleep(5000);
            foundAfter = logic->scanForDevice();
        }
        logic->getDeviceInfo(info, installed, newest, needed);
        EXPECT_EQ(installed, c.installedAfter);
        EXPECT_EQ(needed, std::string(c.installedAfter) != "0.3.6");
    }
    EXPECT_EQ(foundAfter, c.foundAfter);
    if (!c.attached)
        return;

    std::vector<JournalEntry> journal = device->journal();
    std::vector<JournalEntry> blocks = downloads();
    EXPECT_EQ(static_cast<int>(blocks.size()), c.dnloads);
    EXPECT_EQ(count(journal, IOCTL_HA_DFU_ABORT) > 0, c.aborted);
    if (c.left) {
        EXPECT_EQ(count(journal, IOCTL_HA_DFU_LEAVE) > 0, *c.left);
    }
    if (c.leaves) {
        EXPECT_EQ(count(journal, IOCTL_HA_DFU_LEAVE), *c.leaves);
    }
    if (c.dnloads == 257) {
        // Every block in order, the whole image, then the closing request: the stop waited
        // for the download to end.
        DWORD total = 0;
        for (size_t i = 0; i < blocks.size(); ++i) {
            EXPECT_EQ(*blocks[i].blockNumber, i);
            total += blocks[i].length;
        }
        EXPECT_EQ(total, kFirmwareImageSize);
        EXPECT_EQ(blocks.back().length, 0u);
    }
    if (c.dnloads == 257 && c.result != -2) {
        // The device checked the image it received.
        EXPECT_EQ(device->mode(), eVireoMode::Runtime);
        EXPECT_TRUE(device->isFlashValid());
        EXPECT_EQ(device->firmwareRevision(), c.faults.revisionAfterUpdate.value_or(0x0036));
    }
    if (c.stopAtBlock) {
        // Stopped at the final pause.
        EXPECT_LT(Clock::now() - journal.back().time, VireoUpdaterUpgradeLogic::kSettleMs);
    }
    if (c.result == -2) {
        // The result comes only after the device was sent back and the 5 s pause.
        if (c.aborted) {
            const JournalEntry* abort = last(journal, IOCTL_HA_DFU_ABORT);
            EXPECT_GE(abort->time, blocks.back().time);
        }
        EXPECT_GE(Clock::now() - journal.back().time, VireoUpdaterUpgradeLogic::kSettleMs);
    }
}

INSTANTIATE_TEST_SUITE_P(Road, UpgradeRoadTest, ::testing::ValuesIn(roadCases()),
                         [](const ::testing::TestParamInfo<RoadCase>& info) { return info.param.name; });

TEST_F(UpgradeLogicTest, ASecondStartWhileTheWorkerRunsIsRefused)
{
    VireoFaults faults;
    faults.gateBlock = 5;
    attach({}, faults);
    ASSERT_TRUE(logic->scanForDevice());
    ASSERT_TRUE(logic->enterUpdateMode());
    ASSERT_TRUE(logic->startUpdate(result));
    device->waitForGate();
    std::atomic<int> second{42};
    EXPECT_FALSE(logic->startUpdate(second));
    EXPECT_EQ(second.load(), -1);
    device->releaseGate();
    awaitResult();
    EXPECT_EQ(result.load(), 1);
    EXPECT_EQ(downloads().size(), 257u);
    // The finished worker is joined; the closed device cannot be updated again.
    second.store(42);
    EXPECT_FALSE(logic->startUpdate(second));
    EXPECT_EQ(second.load(), -1);
    EXPECT_FALSE(logic->isUpdateRunning());
}

TEST_F(UpgradeLogicTest, DestroyingTheLogicWaitsForTheWorker)
{
    VireoFaults faults;
    faults.gateBlock = 3;
    attach({}, faults);
    ASSERT_TRUE(logic->scanForDevice());
    ASSERT_TRUE(logic->enterUpdateMode());
    ASSERT_TRUE(logic->startUpdate(result));
    device->waitForGate();
    device->releaseGate();
    logic.reset();
    EXPECT_EQ(result.load(), 1);
    EXPECT_EQ(device->firmwareRevision(), 0x0036);
}

TEST_F(UpgradeLogicTest, AScanThatFindsNothingLeavesTheDeviceClosed)
{
    attach();
    ASSERT_TRUE(logic->scanForDevice());
    EXPECT_TRUE(logic->isOpen());
    device->unplug();
    EXPECT_FALSE(logic->scanForDevice());
    EXPECT_FALSE(logic->isOpen());
    HXL2::USBDeviceInfo info;
    info.bcdDevice = 0x35;
    std::string installed = "kept", newest;
    bool needed = true;
    logic->getDeviceInfo(info, installed, newest, needed);
    EXPECT_EQ(info.bcdDevice, 0);
    EXPECT_FALSE(needed);
    EXPECT_EQ(installed, "kept");
}

TEST_F(UpgradeLogicTest, ADeviceFoundInDfuModeNeedsNoDetach)
{
    VireoSettings erased;
    erased.flashValid = false;
    attach(erased);
    ASSERT_TRUE(logic->scanForDevice());
    EXPECT_EQ(logic->mode(), kDfuModeDfu);
    EXPECT_TRUE(logic->enterUpdateMode());
    EXPECT_TRUE(logic->findUpdateModeDevice());
    EXPECT_EQ(count(device->journal(), IOCTL_HA_DFU_DETACH), 0);
}

TEST_F(UpgradeLogicTest, RetryFindsADevicePowerCycledIntoDfuMode)
{
    VireoFaults faults;
    faults.noReturnAfterDetach = true;
    attach({}, faults);
    ASSERT_TRUE(logic->scanForDevice());
    EXPECT_FALSE(logic->enterUpdateMode());
    EXPECT_FALSE(logic->findUpdateModeDevice());

    // The user unplugs it and starts it in its boot loader.
    device->unplug();
    device.reset();
    removeAllDeviceInterfaces();
    VireoSettings bootLoader;
    bootLoader.flashValid = false;
    attach(bootLoader);
    ASSERT_TRUE(logic->findUpdateModeDevice());
    ASSERT_TRUE(logic->startUpdate(result));
    logic->joinWorker();
    EXPECT_EQ(result.load(), 1);
    EXPECT_EQ(count(device->journal(), IOCTL_HA_DFU_DETACH), 0);
    EXPECT_EQ(device->firmwareRevision(), 0x0036);
}

TEST_F(UpgradeLogicTest, ABootLoaderLeftAfterAFailedDownloadIsOfferedTheUpdate)
{
    VireoSettings settings;
    settings.dfuModeRevision = 0x0100;
    VireoFaults faults;
    faults.stallBlock = 7;
    attach(settings, faults);
    ASSERT_TRUE(logic->scanForDevice());
    ASSERT_TRUE(logic->enterUpdateMode());
    ASSERT_TRUE(logic->startUpdate(result));
    awaitResult();
    ASSERT_EQ(result.load(), -2);
    ASSERT_EQ(device->mode(), eVireoMode::Dfu);  // no firmware left to start

    HXL2::USBDeviceInfo info;
    std::string installed, newest;
    bool needed = false;
    ASSERT_TRUE(logic->scanForDevice());
    EXPECT_EQ(logic->mode(), kDfuModeDfu);
    logic->getDeviceInfo(info, installed, newest, needed);
    // The boot loader's number, shown as it is, does not hide the missing firmware.
    EXPECT_EQ(info.bcdDevice, 0x0100);
    EXPECT_EQ(installed, "1.0.0");
    EXPECT_TRUE(needed);

    device->setFaults({});
    result = 99;
    ASSERT_TRUE(logic->enterUpdateMode());
    ASSERT_TRUE(logic->startUpdate(result));
    awaitResult();
    EXPECT_EQ(result.load(), 1);
    ASSERT_TRUE(logic->scanForDevice());
    logic->getDeviceInfo(info, installed, newest, needed);
    EXPECT_EQ(installed, "0.3.6");
    EXPECT_FALSE(needed);
    EXPECT_EQ(count(device->journal(), IOCTL_HA_DFU_DETACH), 1);
}

}  // namespace
