#pragma once
// The event-timer manager's bridge to the platform: one thread timer (no window) whose
// messages the user-interface thread's loop dispatches to timerProc, which runs a tick.
// Create, start, stop and destroy it on that thread.

#include <cstddef>

#include "os/windows/timers/WindowTimer.h"
#include "uia/events/EventTimerManager.h"

namespace HA::UIA {

class EventTimerManagerWinBridge : public AbstractEventTimerManagerOsBridge {
public:
    explicit EventTimerManagerWinBridge(EventTimerManager* manager);
    ~EventTimerManagerWinBridge() override;
    EventTimerManagerWinBridge(const EventTimerManagerWinBridge&) = delete;
    EventTimerManagerWinBridge& operator=(const EventTimerManagerWinBridge&) = delete;

    // Creates the thread timer and registers it; nothing when already running.
    void start(int periodMs) override;
    // Kills the thread timer and forgets it; nothing when not running.
    void stop() override;

    // 0 while stopped.
    OS::UINT_PTR timerId() const { return mTimerId; }

    // Runs the tick of the bridge registered under `id`; id 0 and unknown ids do nothing.
    static void timerProc(OS::HWND hwnd, OS::UINT message, OS::UINT_PTR id, OS::DWORD time);
    // Entries of the process-wide registry of bridge timers (tests).
    static std::size_t registeredTimers();

private:
    EventTimerManager* mManager;
    OS::UINT_PTR mTimerId = 0;
};

}  // namespace HA::UIA
