#pragma once
// The wizard as the updater shows it, for tests: the simulated Vireo Interface of a scenario
// in the stand-in's HA_OS_VIREO words, the upgrade logic with its description record, the
// linked skin and the wizard at the root of a pane of the sheet's size, ticked as the
// window's event timer ticks it. Runs on the manual clock.

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "hwl/core/src/Button.h"
#include "hwl/core/src/Canvas.h"
#include "hwl/core/src/Init.h"
#include "hwl/core/src/Label.h"
#include "hwl/core/src/MultilineLabel.h"
#include "hwl/core/src/Pane.h"
#include "hwl/core/src/StyleSheets.h"
#include "hwl/tests/ResourceTestSupport.h"
#include "os/devices/DeviceRegistry.h"
#include "os/kernel/Clock.h"
#include "os/kernel/Resources.h"
#include "os/sim/SimulatedSetup.h"
#include "os/sim/SimulatedVireo.h"
#include "updater/app/SpinningProgressWheel.h"
#include "updater/app/UpdateWizardMainWidget.h"
#include "updater/app/UpdaterDescription.h"
#include "updater/upgrade/VireoUpdaterUpgradeLogic.h"
#include "uia/tests/WindowPixelsSupport.h"

// The resources ha_add_updater_skin links into the test program.
extern "C" const HA::OS::ResourceEntry ha_resources_updater_tests[];
extern "C" const std::size_t ha_resources_updater_tests_count;

namespace HA::TEST {

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

// The wizard at the root of a pane, with the updater's description record bound to a logic.
class WizardHost {
public:
    WizardHost()
        : description(makeVireoUpdaterDescription(logic)),
          wizard(std::make_shared<UpdateWizardMainWidget>(*description))
    {
        pane.setSize(kWizardWidth, kWizardHeight);
        pane.setRoot(wizard, "FirmwareUpdaterMainWidget");
    }
    ~WizardHost()
    {
        // The worker writes into the wizard and uses the logic: it ends first.
        logic.joinWorker();
        pane.setRoot(nullptr);
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

    // One tick of the window's event timer: widget timers, then the update passes.
    void tick()
    {
        pane.tickTimers();
        update();
    }
    // The update passes alone, as after an event.
    void update()
    {
        GP::Region dirty;
        pane.collectDirtyRegion(dirty);
    }

    // What the wizard shows, written as <name>-FAILED.png for a person to look at.
    void writePicture(const std::string& name)
    {
        HWL::BackgroundDrawingCanvas canvas;
        canvas.resize(kWizardWidth, kWizardHeight);
        pane.paint(canvas, GP::Region(), HWL::Pane::kPaintAll);
        const std::uint32_t* pixels = canvas.getPixels();
        UIA::TEST::writePixelsPng(name + "-FAILED.png", kWizardWidth, kWizardHeight,
                                  std::vector<std::uint32_t>(pixels, pixels + kWizardWidth * kWizardHeight));
    }

    // A left click in the middle of the widget, through the pane's input.
    void click(const HWL::Widget& widget)
    {
        const GP::Rect& bounds = widget.getBounds();
        if (bounds.right == bounds.left) { HWL::Button::tSignalData d; static_cast<const HWL::Button&>(widget).click.emit(&d); return; } // TEMP
        clickAt(GP::Point{(bounds.left + bounds.right) / 2, (bounds.top + bounds.bottom) / 2});
    }
    void clickAt(GP::Point point)
    {
        update();
        UIA::MouseEventData data{};
        data.x = point.x;
        data.y = point.y;
        data.button = UIA::kMouseButtonLeft;
        UIA::MotionEventData move = data;
        pane.handleEvent(UIA::kEventMouseMove, &move);
        data.kind = UIA::kMousePress;
        pane.handleEvent(UIA::kEventMouseButton, &data);
        data.kind = UIA::kMouseRelease;
        pane.handleEvent(UIA::kEventMouseButton, &data);
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

    VireoUpdaterUpgradeLogic logic;
    std::unique_ptr<UpdaterDescription> description;
    HWL::Pane pane;
    std::shared_ptr<UpdateWizardMainWidget> wizard;
};

inline std::string attribute(const HWL::Widget& widget, const char* name)
{
    auto it = widget.getAttributes().find(ha::symbol(std::string(name)));
    return it == widget.getAttributes().end() ? "<unset>" : it->second;
}

}  // namespace HA::TEST
