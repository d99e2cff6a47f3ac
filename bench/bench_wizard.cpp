// The updater's wizard window while the wheel spins: one 40 ms tick of the window's event
// timer (widget timers, update passes, the paint of what changed, its copy to the window)
// in the updating state, the download held at the simulated device's gate; beside a full
// repaint of the same window's canvas, the ceiling a tick must stay far below. The wheel
// turns on every second tick, so the tick's time is the mean of a tick that paints the wheel
// and one that paints nothing.

#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <thread>

#include "hwl/core/src/cascade/StyleSheets.h"
#include "hwl/core/src/library/Init.h"
#include "hwl/core/src/widgets/Button.h"
#include "hwl/core/src/window/Window.h"
#include "os/devices/DeviceRegistry.h"
#include "os/kernel/Clock.h"
#include "os/sim/SimulatedVireo.h"
#include "os/sim/VireoFaults.h"
#include "os/windows/input/Input.h"
#include "os/windows/timers/MessagePump.h"
#include "os/windows/Window.h"
#include "uia/events/EventTimerManager.h"
#include "uia/window/WindowClasses.h"
#include "uia/window/WindowDescriptor.h"
#include "uia/window/WindowImpl.h"
#include "updater/app/SpinningProgressWheel.h"
#include "updater/app/UpdateWizardMainWidget.h"
#include "updater/app/UpdaterDescription.h"
#include "updater/upgrade/VireoUpdaterUpgradeLogic.h"

namespace {

using namespace HA;

constexpr int kWidth = 628;
constexpr int kHeight = 336;
// The DFU_DNLOAD block the simulated device holds the download at.
constexpr OS::WORD kGateBlock = 20;

// The wizard at the root of the updater's headless main window with the linked skin, the
// device at 0.3.5 plugged in, UPDATE clicked and the download held at the device's gate.
// Runs on the manual clock, so the update's waits cost no real time; the benchmark gives
// the window's ticks itself.
class SpinningWizard {
public:
    using MainWindow = HWL::Window<UIA::StandaloneWindow>;

    SpinningWizard()
    {
        OS::removeAllDeviceInterfaces();
        OS::SIM::VireoFaults faults;
        faults.gateBlock = kGateBlock;
        device = OS::SIM::SimulatedVireo::makeShared({}, faults);
        device->plugIn();

        HWL::setSkinLookup(false);
        HWL::init();
        HWL::getStyleSheets().load("FirmwareUpdaterStyles.txt");

        description = makeVireoUpdaterDescription(logic);
        wizard = std::make_shared<UpdateWizardMainWidget>(*description);
        UIA::registerWindowClasses();
        OS::INPUT::reset();
        window = std::make_unique<MainWindow>();
        window->setRoot(wizard, "FirmwareUpdaterMainWidget");
        UIA::WindowDescriptor d;
        d.setTitle("Vireo Updater");
        d.contentFlags |= UIA::WindowDescriptor::kSizeGiven | UIA::WindowDescriptor::kClientSize;
        d.styleFlags = UIA::WindowDescriptor::kFixedSize;
        d.right = kWidth;
        d.bottom = kHeight;
        created = window->create(d);
        if (timers.bridge())
            timers.bridge()->stop();
        window->setVisible(true);
        OS::pumpMessages();
        if (!created)
            return;

        // The first scan offers the update; UPDATE is clicked through the window's input.
        wizard->setCallbacks(description->scanForDevice, description->enterUpdateMode,
                             description->findUpdateModeDevice, description->startUpdate,
                             description->getDeviceInfo);
        tick();
        clickActionButton();
        device->waitForGate();
        held = true;
        // The wheel's first step comes with the second tick.
        tick();
        tick();
    }

    ~SpinningWizard()
    {
        if (held)
            device->releaseGate();
        // The worker writes into the wizard and uses the logic: it ends first.
        logic.joinWorker();
        if (window->getImpl())
            OS::destroyWindow(window->getImpl()->getHwnd());
        OS::pumpMessages();
        window->setRoot(nullptr);
        window.reset();
        wizard.reset();
        UIA::unregisterWindowClasses();
        HWL::shutdown();
        device.reset();
        OS::removeAllDeviceInterfaces();
    }
    SpinningWizard(const SpinningWizard&) = delete;
    SpinningWizard& operator=(const SpinningWizard&) = delete;

    // What went wrong in the set-up; empty when the wheel spins as it should.
    std::string problem() const
    {
        if (!created)
            return "the window was not created";
        if (wizard->getState() != UpdateWizardMainWidget::eUpdating)
            return "the wizard is not updating (state " + std::to_string(wizard->getState()) + ")";
        const auto& attributes = wizard->getWheel()->getAttributes();
        if (attributes.find(ha::symbol(std::string("step"))) == attributes.end())
            return "the wheel does not turn";
        return {};
    }

    // One tick of the window's event timer and the paint message it leaves.
    void tick()
    {
        timers.tick();
        OS::pumpMessages();
    }

    // Everything the window shows, painted again into its canvas.
    void repaintAll()
    {
        window->repaintNow();
        OS::pumpMessages();
    }

private:
    void clickActionButton()
    {
        window->repaintNow();
        const GP::Rect& bounds = wizard->getActionButton()->getBounds();
        GP::Point point{(bounds.left + bounds.right) / 2, (bounds.top + bounds.bottom) / 2};
        window->clientToScreen(point);
        OS::INPUT::moveTo(point.x, point.y);
        OS::INPUT::button(UIA::kMouseButtonLeft, true, point.x, point.y);
        OS::INPUT::button(UIA::kMouseButtonLeft, false, point.x, point.y);
        OS::pumpMessages();
    }

    OS::ManualClockScope mClock;
    std::shared_ptr<OS::SIM::SimulatedVireo> device;
    VireoUpdaterUpgradeLogic logic;
    std::unique_ptr<UpdaterDescription> description;
    UIA::EventTimerManager timers;
    std::shared_ptr<UpdateWizardMainWidget> wizard;
    std::unique_ptr<MainWindow> window;
    bool created = false;
    bool held = false;
};

void BM_WizardTickWhileSpinning(benchmark::State& state)
{
    SpinningWizard wizard;
    if (const std::string problem = wizard.problem(); !problem.empty()) {
        state.SkipWithError(problem.c_str());
        return;
    }
    for (auto _ : state)
        wizard.tick();
    // The download must still be held and the wheel spinning, or the ticks did not measure it.
    if (const std::string problem = wizard.problem(); !problem.empty())
        state.SkipWithError(problem.c_str());
    state.SetLabel("628 x 336, updating, download held");
}
BENCHMARK(BM_WizardTickWhileSpinning)->Unit(benchmark::kMicrosecond);

// The ceiling.
void BM_WizardFullRepaint(benchmark::State& state)
{
    SpinningWizard wizard;
    if (const std::string problem = wizard.problem(); !problem.empty()) {
        state.SkipWithError(problem.c_str());
        return;
    }
    for (auto _ : state)
        wizard.repaintAll();
    state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
    state.SetLabel("628 x 336, whole canvas");
}
BENCHMARK(BM_WizardFullRepaint)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
