#pragma once
// The application: the message loop with the event timers' catch-up, the quit protocol
// and the platform part (hidden window, post queue, one-shot timers). One per process,
// created by the process module's initialize and attached to it. User-interface thread
// only, except postToMainThread, startTimer and stopTimer.
//
// Quitting: quit() asks the main window's command kCommandQuit through the queue; the
// command raises the cancellable kEventQuitRequest and, unless it is vetoed, sets the quit
// flag and destroys the main window. Without a main window quit() sets the flag at once.
// The destroyed main window (kEventWindowDestroyed) sets the flag without asking again.
// Once the flag is set, the loop ends after the next message.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "os/windows/Window.h"
#include "uia/app/Accelerators.h"
#include "uia/app/IApplication.h"
#include "uia/events/EventTarget.h"
#include "uia/events/EventTimerManager.h"
#include "uia/window/Menu.h"

namespace HA::UIA {

class ApplicationPlatform;
class StandaloneWindow;
class Window;

class Application : public EventTarget, public IApplication {
public:
    Application();
    ~Application() override;
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;

    // The process module's application, null when there is none.
    static Application* instance();

    // EventTarget: handleEvent goes through dispatchEvent with the main window as source.
    bool handleEvent(int code, void* data) override;
    // kCommandQuit: see above. Everything else is not handled.
    bool onEvent(int code, void* data) override;

    virtual std::string getApplicationType() const { return "Standalone"; }
    virtual std::int64_t getHostValue() const { return 0; }
    virtual std::string getHostText() const { return std::string(); }
    // Hands the event to onEvent; `source` is the window it came through.
    virtual bool dispatchEvent(int code, void* data, Window* source);
    virtual void onSuspend() {}
    virtual void onResume() {}

    // IApplication.
    void setAppModule(AppModule* module) override { mModule = module; }
    int run() override;
    // Builds the monitor list; subclasses call it first.
    bool initialize() override;
    // Drops the monitor list; may run more than once.
    void deinitialize(bool initOk) override;
    bool quit() override;
    void postToMainThread(std::function<void()> f) override;
    // Only when ms is not 0 and no event timer runs.
    void setEventTimerTick(int ms) override;
    int getEventTimerTick() override;
    std::uint64_t startTimer(std::uint64_t delayMicroseconds, std::function<void()> f) override;
    void stopTimer(std::uint64_t id) override;

    AppModule* getAppModule() const { return mModule; }
    // Null means empty.
    void setName(const char* name) { mName = name ? name : ""; }
    const char* getName() const { return mName.c_str(); }

    // The main window's creation registers it: the object, its Window part and its
    // platform window.
    void setMainWindow(StandaloneWindow* window, Window* asWindow, OS::HWND hwnd);
    StandaloneWindow* getMainWindow() const { return mMainWindow; }
    OS::HWND getMainWindowHandle() const { return mMainWindowHandle; }
    // kEventWindowDestroyed of the main window: forgets it and sets the quit flag.
    void mainWindowDestroyed(StandaloneWindow* window);

    bool isQuitting() const { return mQuitting; }
    bool isDpiAware() const { return mDpiAware; }
    EventTimerManager& getEventTimerManager() { return mEventTimers; }
    ApplicationPlatform* getPlatform() const { return mPlatform.get(); }
    // Empty until the application fills them; the main window takes the menu bar when it
    // is created.
    HMenuBar& getMenuBar() { return mMenuBar; }
    AcceleratorManagerImplMap& getAccelerators() { return mAccelerators; }

private:
    // Sets the quit flag; the first time, a second start stops handing over to this process.
    void beginQuitting();

    AppModule* mModule = nullptr;
    std::string mName;
    StandaloneWindow* mMainWindow = nullptr;
    Window* mMainWindowAsWindow = nullptr;
    OS::HWND mMainWindowHandle = nullptr;
    bool mQuitting = false;
    bool mDpiAware = false;
    EventTimerManager mEventTimers;
    HMenuBar mMenuBar;
    AcceleratorManagerImplMap mAccelerators;
    // Last: it may call back into the application while it is made and destroyed first.
    std::unique_ptr<ApplicationPlatform> mPlatform;
};

}  // namespace HA::UIA
