#pragma once
// The real updater in a test: the program's module class with its initialise and shut-down
// steps, the simulated device of a scenario (as HA_OS_VIREO words) with its state in a
// temporary folder, the manual clock, clicks through the stand-in's input queue at the
// widgets' laid-out positions, and the window's pixels.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include <sys/stat.h>
#include <unistd.h>

#include "hwl/core/src/tree/Pane.h"
#include "hwl/core/src/tree/Widget.h"
#include "os/kernel/Clock.h"
#include "os/sim/SimulatedSetup.h"
#include "os/sim/SimulatedVireo.h"
#include "os/windows/drawing/Drawing.h"
#include "os/windows/input/Input.h"
#include "os/windows/Message.h"
#include "os/windows/MessageIds.h"
#include "os/windows/timers/MessagePump.h"
#include "os/windows/Window.h"
#include "uia/app/AppModule.h"
#include "uia/app/Application.h"
#include "uia/app/SingleInstance.h"
#include "uia/window/Window.h"
#include "updater/app/FirmwareUpdaterApp.h"
#include "updater/app/UpdateWizardMainWidget.h"
#include "updater/app/VireoUpdaterAppModule.h"

namespace HA::TEST {

// Sets an environment variable for its life (unset: nullopt), then puts the old value back.
class EnvironmentScope {
public:
    EnvironmentScope(const char* name, const std::optional<std::string>& value) : mName(name)
    {
        if (const char* old = std::getenv(name))
            mOld = old;
        set(value);
    }
    ~EnvironmentScope() { set(mOld); }
    EnvironmentScope(const EnvironmentScope&) = delete;
    EnvironmentScope& operator=(const EnvironmentScope&) = delete;

private:
    void set(const std::optional<std::string>& value)
    {
        if (value)
            ::setenv(mName.c_str(), value->c_str(), 1);
        else
            ::unsetenv(mName.c_str());
    }
    std::string mName;
    std::optional<std::string> mOld;
};

// A folder of the test's own, removed afterwards.
class StateFolder {
public:
    StateFolder()
    {
        static int serial = 0;
        mPath = std::filesystem::temp_directory_path() /
                ("ha-updater-" + std::to_string(::getpid()) + "-" + std::to_string(++serial));
        std::filesystem::create_directories(mPath);
    }
    ~StateFolder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(mPath, ignored);
    }
    std::string path() const { return mPath.string(); }

private:
    std::filesystem::path mPath;
};

// One run of the updater. Construct it on the test's thread under a ManualClockScope.
class UpdaterRun {
public:
    static constexpr OS::TimeMs kTick = 40;
    // Bounds a wait for a download on turns of the queue, not on the clock.
    static constexpr long kMaxTurns = 20'000'000;

    // `scenario`: HA_OS_VIREO words ("" the default device at 0.3.5). The single-instance
    // key is claimed in `runtimeFolder`, by default a private folder of the run's own, so
    // that runs in parallel processes never meet.
    explicit UpdaterRun(const std::string& scenario, const std::string& runtimeFolder = std::string())
        : mScenario("HA_OS_VIREO", scenario),
          mStateHome("XDG_STATE_HOME", mState.path()),
          mRuntime("XDG_RUNTIME_DIR", runtimeFolder.empty() ? mState.path() : runtimeFolder)
    {
        ::chmod(runtimeFolder.empty() ? mState.path().c_str() : runtimeFolder.c_str(), 0700);
        OS::INPUT::reset();
        OS::SIM::setUpSimulatedDevices();
    }
    ~UpdaterRun()
    {
        if (mStarted && !mStopped)
            stop();
        UIA::DETAIL::resetSingleInstanceState();
        OS::SIM::tearDownSimulatedDevices();
        OS::INPUT::reset();
    }
    UpdaterRun(const UpdaterRun&) = delete;
    UpdaterRun& operator=(const UpdaterRun&) = delete;

    // The runner's first step: the module's initialise step.
    bool start()
    {
        mStarted = true;
        return UIA::initModule();
    }
    // The runner's last step: the module's shut-down step, once.
    void stop()
    {
        if (mStopped)
            return;
        mStopped = true;
        // A row that ends with the window still open ends it as the program's loop would
        // have: the loop only ends once the main window is gone.
        if (OS::HWND open = window(); open && OS::isWindow(open)) {
            OS::destroyWindow(open);
            OS::pumpMessages();
        }
        UIA::exitModule();
    }

    // The folder that holds the simulated device's state file (XDG_STATE_HOME of the run).
    std::string stateFolder() const { return mState.path(); }
    VireoUpdaterAppModule& module() { return mModule; }
    std::shared_ptr<OS::SIM::SimulatedVireo> device() const
    {
        auto devices = OS::SIM::simulatedDevices();
        return devices.empty() ? nullptr : devices.front();
    }
    UIA::Application* app() const { return UIA::Application::instance(); }
    OS::HWND window() const { return app() ? app()->getMainWindowHandle() : nullptr; }
    HWL::Pane* pane() const { return app() ? dynamic_cast<HWL::Pane*>(app()->getMainWindow()) : nullptr; }
    UpdateWizardMainWidget* wizard() const
    {
        HWL::Pane* p = pane();
        return p ? dynamic_cast<UpdateWizardMainWidget*>(p->getRoot().get()) : nullptr;
    }

    // The widget with the id, searched from the pane's root; null when there is none.
    HWL::Widget* find(const char* id) const
    {
        HWL::Pane* p = pane();
        return p && p->getRoot() ? find(p->getRoot().get(), ha::symbol(id)) : nullptr;
    }
    static HWL::Widget* find(HWL::Widget* under, ha::symbol id)
    {
        if (under->getId() == id)
            return under;
        for (const auto& child : under->getChildren())
            if (HWL::Widget* found = find(child.get(), id))
                return found;
        return nullptr;
    }
    std::string attribute(const char* id, const char* name) const
    {
        HWL::Widget* w = find(id);
        if (!w)
            return "<no widget>";
        auto it = w->getAttributes().find(ha::symbol(name));
        return it == w->getAttributes().end() ? std::string() : it->second;
    }
    bool shown(const char* id) const
    {
        HWL::Widget* w = find(id);
        return w && w->isShown();
    }

    // The widget's centre on the screen.
    OS::POINT screenPointOf(const char* id) const
    {
        HWL::Widget* w = find(id);
        EXPECT_NE(w, nullptr) << id;
        OS::POINT p{0, 0};
        if (w) {
            p.x = w->getAbsolutePosition().x + w->getSize().width / 2;
            p.y = w->getAbsolutePosition().y + w->getSize().height / 2;
        }
        OS::clientToScreen(window(), p);
        return p;
    }
    // Moves the pointer over the widget and lets a tick show it.
    void hover(const char* id)
    {
        OS::POINT p = screenPointOf(id);
        OS::INPUT::moveTo(p.x, p.y);
        pump(2 * kTick);
    }
    // Moves the pointer to the window's top left corner, away from every button, and lets a
    // tick show it.
    void pointAway()
    {
        OS::POINT p{2, 2};
        OS::clientToScreen(window(), p);
        OS::INPUT::moveTo(p.x, p.y);
        pump(2 * kTick);
    }
    // A left click at the widget's centre, as a person makes it, then a tick.
    void click(const char* id)
    {
        OS::POINT p = screenPointOf(id);
        OS::INPUT::moveTo(p.x, p.y);
        OS::pumpMessages();
        OS::INPUT::button(1, true, p.x, p.y);
        OS::pumpMessages();
        OS::INPUT::button(1, false, p.x, p.y);
        pump(2 * kTick);
    }
    // Asks the window to close, as its close box does.
    void close()
    {
        OS::postMessage(window(), OS::WM_CLOSE, 0, 0);
        pump(2 * kTick);
    }

    // Runs the queue for `ms` of clock time.
    void pump(OS::TimeMs ms) { OS::pumpMessagesFor(ms); }
    // Runs the queue tick by tick until `done` holds; false when it still does not after
    // `limit` ms of clock time. While a download runs (and is not held at the device's
    // gate) the clock is left to the worker's own waits and the queue only takes what is
    // due: a test thread that moved it on would outrun a worker slowed by a loaded machine,
    // spend the limit before the download ends and cut the worker's own waits short.
    bool pumpUntil(const std::function<bool()>& done, OS::TimeMs limit = 60000)
    {
        OS::TimeMs spent = 0;
        for (long turns = 0; turns < kMaxTurns; ++turns) {
            if (done())
                return true;
            if (downloadRuns()) {
                OS::pumpMessages();
                std::this_thread::yield();
                continue;
            }
            if (spent > limit)
                return false;
            OS::pumpMessagesFor(kTick);
            spent += kTick;
        }
        ADD_FAILURE() << "the download did not end";
        return done();
    }
    // The wizard waits for its download's result, and the worker is not held at the gate.
    bool downloadRuns() const
    {
        const UpdateWizardMainWidget* wizard = this->wizard();
        if (!wizard || wizard->getState() != UpdateWizardMainWidget::eUpdating || wizard->getUpdateResult() != 0)
            return false;
        const auto held = device();
        return !(held && held->isHeldAtGate());
    }

    OS::WindowPixels pixels() const
    {
        OS::WindowPixels shown;
        OS::readWindowPixels(window(), shown);
        return shown;
    }

private:
    StateFolder mState;
    EnvironmentScope mScenario;
    EnvironmentScope mStateHome;
    EnvironmentScope mRuntime;
    VireoUpdaterAppModule mModule;
    bool mStarted = false;
    bool mStopped = false;
};

}  // namespace HA::TEST
