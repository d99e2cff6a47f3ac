#pragma once
// The platform part of the application: the display-scale library binding and the way to
// the main window's queue. User-interface thread only unless stated.

#include <cstdint>
#include <functional>

#include "uia/platform/ShcoreFunctions.h"

namespace HA::UIA {

class Application;

class ApplicationPlatform {
public:
    explicit ApplicationPlatform(Application* application);
    ~ApplicationPlatform();
    ApplicationPlatform(const ApplicationPlatform&) = delete;
    ApplicationPlatform& operator=(const ApplicationPlatform&) = delete;

    // Posts WM_COMMAND (wParam id, lParam 0) to the main window when there is one; true.
    bool postCommandToMainWindow(int id);

    // Any thread.
    void postToMainThread(std::function<void()> f);
    std::uint64_t startTimer(std::uint64_t delayMicroseconds, std::function<void()> f);
    void stopTimer(std::uint64_t id);

    const ShcoreFunctions& shcore() const { return mShcore; }

private:
    ShcoreFunctions mShcore;
    Application* mApplication;
};

}  // namespace HA::UIA
