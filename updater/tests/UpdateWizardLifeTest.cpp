// The wizard's quit button, the message's centring in the status panel, and the wizard's
// end while a download still writes into it.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>

#include "os/devices/DeviceConfig.h"

#include "uia/app/AppModule.h"
#include "uia/app/Application.h"
#include "updater/tests/WizardTestSupport.h"

using namespace HA;
using namespace HA::TEST;

namespace {

// A process module with a bare application attached, so that the wizard finds one to quit.
class QuitModule : public UIA::AppModule {
public:
    QuitModule() { attachApplication(new UIA::Application); }
    ~QuitModule() override { detachApplication(); }
    bool initialize() override { return true; }
    void deinitialize(bool) override {}
};

class WizardQuitThreaded : public ::testing::Test {
protected:
    OS::ManualClockScope clock;
    ScenarioDevice scenario;
    SkinScope skin;
    QuitModule module;
};

TEST_F(WizardQuitThreaded, TheQuitButtonQuitsExceptWhileUpdating)
{
    ASSERT_EQ(UIA::Application::instance(), module.getApplication());
    OS::SIM::VireoFaults gate;
    gate.gateBlock = 5;
    ASSERT_TRUE(scenario.setUp("", &gate));
    WizardHost host;
    host.start();
    host.press(*host.wizard->getActionButton());
    scenario.device->waitForGate();
    ASSERT_EQ(host.wizard->getState(), UpdateWizardMainWidget::eUpdating);
    host.wizard->onQuitClicked();
    EXPECT_FALSE(UIA::Application::instance()->isQuitting());

    scenario.device->releaseGate();
    host.tickUntilDownloadEnds();
    ASSERT_EQ(host.wizard->getState(), UpdateWizardMainWidget::eSuccess);
    host.press(*host.wizard->getQuitButton());
    // The application asks its main window through the queue.
    OS::pumpMessages();
    EXPECT_TRUE(UIA::Application::instance()->isQuitting());
}

TEST_F(WizardQuitThreaded, QuitOnTheConnectScreen)
{
    ASSERT_TRUE(scenario.setUp("none"));
    WizardHost host;
    host.start();
    host.click(*host.wizard->getQuitButton());
    EXPECT_TRUE(UIA::Application::instance()->isQuitting());
}

class WizardLayoutTest : public ::testing::Test {
protected:
    OS::ManualClockScope clock;
    ScenarioDevice scenario;
    SkinScope skin;
};

TEST_F(WizardLayoutTest, TheMessageSitsInTheMiddleOfTheStatusPanel)
{
    for (const char* words : {"none", ""}) {
        SCOPED_TRACE(words);
        ASSERT_TRUE(scenario.setUp(words));
        WizardHost host;
        host.start();
        const auto& label = host.wizard->getMessageLabel();
        const int height = label->getSize().height;
        ASSERT_GT(height, 0);
        const int panel = host.wizard->getInfoPanel()->getSize().height;
        EXPECT_EQ(panel, 71);
        EXPECT_EQ(label->getPosition().y, ((panel - height) >> 1) - label->getMargins().top);
        EXPECT_EQ(label->getPosition().x, 0);
        // One line on the connect screen, two when an update is offered.
        EXPECT_EQ(label->getLineCount(), std::string(words) == "none" ? 1 : 2);
    }
}

class WizardEndThreaded : public ::testing::Test {
protected:
    OS::ManualClockScope clock;
    ScenarioDevice scenario;
    SkinScope skin;
};

// The worker stores its result in the wizard as its last action: a wizard that goes while
// the download runs waits for the worker first.
TEST_F(WizardEndThreaded, AWizardThatGoesDuringTheDownloadWaitsForTheWorker)
{
    OS::SIM::VireoFaults gate;
    gate.gateBlock = 30;
    ASSERT_TRUE(scenario.setUp("", &gate));
    VireoUpdaterUpgradeLogic logic;
    auto description = makeVireoUpdaterDescription(logic);
    auto wizard = std::make_shared<UpdateWizardMainWidget>(*description);
    wizard->setCallbacks(description->scanForDevice, description->enterUpdateMode,
                         description->findUpdateModeDevice, description->startUpdate, description->getDeviceInfo);
    ASSERT_EQ(wizard->getState(), UpdateWizardMainWidget::eUpdateAvailable);
    wizard->step();
    ASSERT_EQ(wizard->getState(), UpdateWizardMainWidget::eUpdating);
    // The download goes on (some 220 blocks, manifestation, the final pause) while the
    // wizard goes. (How it ends is not asked here: the wizard's timed waits move virtual
    // time under the worker.)
    scenario.device->waitForGate();
    scenario.device->releaseGate();
    wizard.reset();
    // The worker had ended: no wait for it now.
    const OS::TimeMs before = OS::Clock::now();
    EXPECT_FALSE(logic.isUpdateRunning());
    EXPECT_EQ(OS::Clock::now(), before);
}

}  // namespace
