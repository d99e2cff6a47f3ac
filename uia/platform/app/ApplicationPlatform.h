#pragma once
// The platform part of the application: a hidden top-level window on the user-interface
// thread through which other threads get work done there (the post queue) and one-shot
// timers fire, the display-scale library binding, and the way to the main window's queue.
// Made last by the application's constructor and destroyed first by its destructor;
// what is pending then is dropped without running.

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <vector>

#include "os/windows/Window.h"
#include "uia/platform/window/ShcoreFunctions.h"

namespace HA::UIA {

class Application;

// "UIA_InternalWindow_" and a random UUID in lower-case text, made once per process: the
// hidden window's class name and title.
const OS::WString& makeInternalWindowName();

class ApplicationPlatform {
public:
    explicit ApplicationPlatform(Application* application);
    ~ApplicationPlatform();
    ApplicationPlatform(const ApplicationPlatform&) = delete;
    ApplicationPlatform& operator=(const ApplicationPlatform&) = delete;

    // Posts WM_COMMAND (wParam id, lParam 0) to the main window when there is one; true.
    bool postCommandToMainWindow(int id);

    // Any thread: `f` runs on the user-interface thread, after what was posted before it.
    // An empty function throws std::bad_function_call when its turn comes.
    void postToMainThread(std::function<void()> f);
    // Any thread: `f` runs once on the user-interface thread after delay / 1000 ms (at least
    // the platform's minimum period). Ids count from 0.
    std::uint64_t startTimer(std::uint64_t delayMicroseconds, std::function<void()> f);
    // Any thread; an id that fired or was stopped already does nothing.
    void stopTimer(std::uint64_t id);

    const ShcoreFunctions& shcore() const { return mShcore; }
    OS::HWND hiddenWindow() const { return mHwnd; }
    // Timers armed and not yet fired or stopped (tests).
    std::size_t pendingTimers();

    static OS::LRESULT hiddenWindowProc(OS::HWND hwnd, OS::UINT message, OS::WPARAM wParam, OS::LPARAM lParam);

private:
    void runPosted();
    void fireTimer(std::uint64_t id);
    void armTimer(std::uint64_t id, OS::UINT periodMs);
    bool onWindowThread() const;

    ShcoreFunctions mShcore;
    Application* mApplication;
    OS::HWND mHwnd = nullptr;
    std::mutex mPostMutex;
    std::vector<std::function<void()>> mPending;
    std::mutex mTimerMutex;
    std::map<std::uint64_t, std::function<void()>> mTimers;
    std::uint64_t mNextTimerId = 0;
};

}  // namespace HA::UIA
