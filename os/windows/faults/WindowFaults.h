#pragma once
// Failure injection for the window system, so that callers' undo paths can be tested:
// class registration, window creation and device-notification registration fail with a
// chosen error code while a WindowFaultScope is active.

#include <memory>

#include "os/kernel/Errors.h"
#include "os/kernel/Types.h"

namespace HA::OS {

enum class eWindowFault { RegisterClass, CreateWindow, RegisterDeviceNotification };

struct WindowFault {
    eWindowFault kind;
    int skip = 0;   // calls that still succeed before the first failure
    int count = 1;  // failures after that (negative: every later call)
    DWORD error = ERROR_NOT_ENOUGH_MEMORY;
    WString className;  // only calls for this class (any when empty; not for notifications)
};

// Arms a fault for the scope's life; scopes may be nested and are matched in the order
// they were made. Any thread.
class WindowFaultScope {
public:
    explicit WindowFaultScope(const WindowFault& fault);
    ~WindowFaultScope();
    WindowFaultScope(const WindowFaultScope&) = delete;
    WindowFaultScope& operator=(const WindowFaultScope&) = delete;

    // Calls that this scope made fail so far.
    int failures() const;

    struct State;  // shared with the fault look-up

private:
    std::shared_ptr<State> mState;
};

// The error an armed fault gives this call, or 0 (used by the window system itself).
DWORD takeWindowFault(eWindowFault kind, const WString& className = WString());

}  // namespace HA::OS
