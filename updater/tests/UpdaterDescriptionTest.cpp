// The description record: the Vireo Interface's texts, the version taken from the program's
// version resource when it has one, and the eight callbacks bound to the one logic object.

#include <gtest/gtest.h>

#include <atomic>
#include <cstddef>
#include <string>

#include "os/devices/DeviceRegistry.h"
#include "os/kernel/Clock.h"
#include "updater/app/UpdaterDescription.h"
#include "updater/tests/WizardTestSupport.h"
#include "updater/upgrade/VireoUpdaterUpgradeLogic.h"

using namespace HA;

namespace {

class UpdaterDescriptionTest : public ::testing::Test {
protected:
    OS::ManualClockScope clock;
    TEST::ScenarioDevice scenario;
    VireoUpdaterUpgradeLogic logic;
};

TEST_F(UpdaterDescriptionTest, CarriesTheVireoInterfacesTexts)
{
    auto description = makeVireoUpdaterDescription(logic);
    EXPECT_EQ(description->deviceName, "Vireo Interface");
    EXPECT_EQ(description->productAttribute, "Vireo");
    EXPECT_EQ(description->productCode, "Vireo");
    EXPECT_EQ(description->applicationName, "Vireo Updater");
    EXPECT_EQ(description->title, "VIREO INTERFACE UPDATER");
    EXPECT_EQ(description->notice.rfind("\xC2\xA9", 0), 0u) << description->notice;
    for (int line = 0; line < 4; ++line)
        EXPECT_FALSE(description->contributors[line].empty()) << line;
    EXPECT_EQ(description->contributors[4], "");
    EXPECT_EQ(description->windowTitle, "Vireo Updater");
    EXPECT_EQ(description->singleInstanceKey, "VireoUpdater-PROJECT_GUID");
}

TEST_F(UpdaterDescriptionTest, TheVersionIsTheProgramsFileVersionWhenItHasOne)
{
    EXPECT_EQ(makeVireoUpdaterDescription(logic)->version, HA_PROJECT_VERSION);
    TEST::NoLinkedResourcesScope none;
    EXPECT_EQ(makeVireoUpdaterDescription(logic)->version, "1.2.0 (R237)");
}

TEST_F(UpdaterDescriptionTest, TheWindowTitleCopiesTheApplicationName)
{
    UpdaterDescription description("d", "p", "c", "An Application", "T", "n", "v", {"1", "2", "3", "4", "5"}, "key",
                                   {}, {}, {}, {}, {}, {}, {}, {});
    EXPECT_EQ(description.windowTitle, "An Application");
    EXPECT_EQ(description.contributors[4], "5");
    EXPECT_TRUE(description.scanForDevice.empty());
    EXPECT_THROW(description.scanForDevice(), boost::bad_function_call);
}

TEST_F(UpdaterDescriptionTest, TheCallbacksReachTheLogic)
{
    auto description = makeVireoUpdaterDescription(logic);
    // No device: every callback answers as the logic does when closed.
    EXPECT_FALSE(description->scanForDevice());
    EXPECT_FALSE(description->enterUpdateMode());
    std::atomic<int> result{99};
    EXPECT_FALSE(description->startUpdate(result));
    EXPECT_EQ(result.load(), -1);
    EXPECT_FALSE(description->isUpdateRunning());
    description->stopUpdate();
    description->onMainWindow(nullptr);

    ASSERT_TRUE(scenario.setUp(""));
    EXPECT_TRUE(description->scanForDevice());
    EXPECT_TRUE(logic.isOpen());
    HXL2::USBDeviceInfo info;
    std::string installed, newest;
    bool updateNeeded = false;
    description->getDeviceInfo(info, installed, newest, updateNeeded);
    EXPECT_EQ(installed, "0.3.5");
    EXPECT_EQ(newest, "0.3.6");
    EXPECT_TRUE(updateNeeded);
    EXPECT_EQ(info.serialNumber, "VI2401A0158");
    EXPECT_TRUE(description->enterUpdateMode());
    EXPECT_TRUE(description->findUpdateModeDevice());
}

}  // namespace
