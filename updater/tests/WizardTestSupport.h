#pragma once
// The wizard as the updater shows it, for tests: the simulated Vireo Interface of a scenario
// in the stand-in's HA_OS_VIREO words, the upgrade logic with its description record, the
// linked skin and the wizard at the root of a headless main window of the sheet's size,
// whose event timer the test ticks. Runs on the manual clock.

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "hwl/core/src/widgets/Button.h"
#include "hwl/core/src/library/Init.h"
#include "hwl/core/src/widgets/Label.h"
#include "hwl/core/src/widgets/MultilineLabel.h"
#include "hwl/core/src/window/Window.h"
#include "hwl/core/src/cascade/StyleSheets.h"
#include "hwl/tests/ResourceTestSupport.h"
#include "os/devices/DeviceRegistry.h"
#include "os/kernel/Clock.h"
#include "os/kernel/Resources.h"
#include "os/windows/drawing/Drawing.h"
#include "os/windows/input/Input.h"
#include "os/windows/timers/MessagePump.h"
#include "os/windows/Window.h"
#include "os/sim/SimulatedSetup.h"
#include "os/sim/SimulatedVireo.h"
#include "updater/app/SpinningProgressWheel.h"
#include "updater/app/UpdateWizardMainWidget.h"
#include "updater/app/UpdaterDescription.h"
#include "updater/upgrade/VireoUpdaterUpgradeLogic.h"
#include "uia/events/EventTimerManager.h"
#include "uia/window/WindowDescriptor.h"
#include "uia/window/WindowImpl.h"
#include "uia/window/WindowClasses.h"
#include "uia/tests/WindowPixelsSupport.h"

// The resources ha_add_updater_skin links into the test program.
extern "C" const HA::OS::ResourceEntry ha_resources_updater_tests[];
extern "C" const std::size_t ha_resources_updater_tests_count;

namespace HA::TEST {

// Where pictures of failures go: the working directory the tests started in (the skin scope
// moves into a scratch folder that is removed afterwards).
inline const std::filesystem::path& outputFolder()
{
    static const std::filesystem::path folder = std::filesystem::current_path();
    return folder;
}
inline const bool kOutputFolderTaken = !outputFolder().empty();

// The program without its linked resources, its version resource included, while it lives.
class NoLinkedResourcesScope {
public:
    NoLinkedResourcesScope()
    {
        EXPECT_TRUE(OS::unregisterModuleResources(ha_resources_updater_tests, ha_resources_updater_tests_count));
    }
    ~NoLinkedResourcesScope() { OS::registerModuleResources(ha_resources_updater_tests, ha_resources_updater_tests_count); }
    NoLinkedResourcesScope(const NoLinkedResourcesScope&) = delete;
    NoLinkedResourcesScope& operator=(const NoLinkedResourcesScope&) = delete;
};

constexpr int kWizardWidth = 628;
constexpr int kWizardHeight = 336;

// The simulated device of a scenario: made (and plugged in when the words say so) by
// setUp, never attached to the stand-in's set-up of a real run.
class ScenarioDevice {
public:
    ScenarioDevice() { OS::removeAllDeviceInterfaces(); }
    ~ScenarioDevice()
    {
        device.reset();
        OS::removeAllDeviceInterfaces();
    }
    ScenarioDevice(const ScenarioDevice&) = delete;
    ScenarioDevice& operator=(const ScenarioDevice&) = delete;

    // False, with the parser's message as a test failure, for words it does not take.
    bool setUp(const std::string& words, const OS::SIM::VireoFaults* extraFaults = nullptr)
    {
        OS::SIM::VireoScenario scenario;
        std::string error;
        if (!OS::SIM::parseVireoScenario(words, scenario, error)) {
            ADD_FAILURE() << words << ": " << error;
            return false;
        }
        OS::SIM::VireoFaults faults = scenario.faults;
        if (extraFaults && extraFaults->gateBlock)
            faults.gateBlock = extraFaults->gateBlock;
        device = OS::SIM::SimulatedVireo::makeShared(scenario.settings, faults);
        if (scenario.slot)
            device->setFirmwareSlot(scenario.slot->first, scenario.slot->second);
        if (scenario.attached)
            device->plugIn();
        return true;
    }
    // Off the bus and on again, now without faults: the user power-cycled it.
    void powerCycle()
    {
        device->unplug();
        device->setFaults({});
        device->plugIn();
    }

    std::shared_ptr<OS::SIM::SimulatedVireo> device;
};

// The linked skin loaded as the application loads it, with the library started.
class SkinScope {
public:
    SkinScope()
    {
        HWL::init();
        HWL::getStyleSheets().load("FirmwareUpdaterStyles.txt");
    }
    ~SkinScope() { HWL::shutdown(); }
    SkinScope(const SkinScope&) = delete;
    SkinScope& operator=(const SkinScope&) = delete;

private:
    HWL::TEST::ScratchFolders mFolders;
    HWL::TEST::SkinLookupScope mLookup{false};
};

// The wizard at the root of the updater's main window (headless, 628 x 336), with the
// updater's description record bound to a logic. The window's ticks are given one by one;
// clicks go through the stand-in's input.
class WizardHost {
public:
    using MainWindow = HWL::Window<UIA::StandaloneWindow>;

    WizardHost()
        : description(makeVireoUpdaterDescription(logic)),
          wizard(std::make_shared<UpdateWizardMainWidget>(*description))
    {
        EXPECT_TRUE(UIA::registerWindowClasses());
        OS::INPUT::reset();
        window.setRoot(wizard, "FirmwareUpdaterMainWidget");
        UIA::WindowDescriptor d;
        d.setTitle("Vireo Updater");
        d.contentFlags |= UIA::WindowDescriptor::kSizeGiven | UIA::WindowDescriptor::kClientSize;
        d.styleFlags = UIA::WindowDescriptor::kFixedSize;
        d.right = kWizardWidth;
        d.bottom = kWizardHeight;
        EXPECT_TRUE(window.create(d));
        // The test gives the ticks, one by one.
        if (timers.bridge())
            timers.bridge()->stop();
        window.setVisible(true);
        OS::pumpMessages();
    }
    ~WizardHost()
    {
        // The worker writes into the wizard and uses the logic: it ends first.
        logic.joinWorker();
        if (window.getImpl())
            OS::destroyWindow(window.getImpl()->getHwnd());
        OS::pumpMessages();
        window.setRoot(nullptr);
        UIA::unregisterWindowClasses();
    }
    WizardHost(const WizardHost&) = delete;
    WizardHost& operator=(const WizardHost&) = delete;

    // The application's start: the callbacks and with them the first scan.
    void start()
    {
        wizard->setCallbacks(description->scanForDevice, description->enterUpdateMode,
                             description->findUpdateModeDevice, description->startUpdate,
                             description->getDeviceInfo);
        tick();
    }

    // One tick of the window's event timer: widget timers, update passes, paint.
    void tick()
    {
        timers.tick();
        OS::pumpMessages();
    }

    // The button's click, as a click on it emits it.
    void press(HWL::Button& button)
    {
        HWL::Button::tSignalData data;
        button.click.emit(&data);
    }
    // A left click in the middle of the widget, through the window's input, after the update
    // passes that place what changed since the last tick (no timer runs).
    void click(const HWL::Widget& widget)
    {
        window.repaintNow();
        const GP::Rect& bounds = widget.getBounds();
        EXPECT_FALSE(bounds.isEmpty()) << widget.getId() << " has no place in the window";
        clickAt(GP::Point{(bounds.left + bounds.right) / 2, (bounds.top + bounds.bottom) / 2});
    }
    // The pointer moves to a point of the client area; a tick shows what that changed.
    void pointAt(GP::Point point)
    {
        window.clientToScreen(point);
        OS::INPUT::moveTo(point.x, point.y);
        OS::pumpMessages();
        tick();
    }
    // A left click at a point of the client area.
    void clickAt(GP::Point point)
    {
        window.clientToScreen(point);
        OS::INPUT::moveTo(point.x, point.y);
        OS::INPUT::button(UIA::kMouseButtonLeft, true, point.x, point.y);
        OS::INPUT::button(UIA::kMouseButtonLeft, false, point.x, point.y);
        OS::pumpMessages();
    }

    // Ticks while the download runs, without moving the clock: virtual time moves only with
    // the worker's own waits. Bounded, so that a wizard that never leaves the state fails.
    void tickUntilDownloadEnds()
    {
        for (long i = 0; i < 10'000'000 && wizard->getState() == UpdateWizardMainWidget::eUpdating; ++i) {
            tick();
            std::this_thread::yield();
        }
        tick();
    }

    // What the window shows.
    OS::WindowPixels pixels() const
    {
        OS::WindowPixels shown;
        EXPECT_TRUE(OS::readWindowPixels(window.getImpl()->getHwnd(), shown));
        return shown;
    }
    // ... written as <name>-FAILED.png for a person to look at.
    void writePicture(const std::string& name) const
    {
        const OS::WindowPixels shown = pixels();
        UIA::TEST::writePixelsPng((outputFolder() / (name + "-FAILED.png")).string(), shown.width, shown.height,
                                  shown.pixels);
    }

    VireoUpdaterUpgradeLogic logic;
    std::unique_ptr<UpdaterDescription> description;
    UIA::EventTimerManager timers;
    MainWindow window;
    std::shared_ptr<UpdateWizardMainWidget> wizard;
};

inline std::string attribute(const HWL::Widget& widget, const char* name)
{
    auto it = widget.getAttributes().find(ha::symbol(std::string(name)));
    return it == widget.getAttributes().end() ? "<unset>" : it->second;
}

}  // namespace HA::TEST
