#pragma once
// Periodic event timers on one base tick (40 ms unless changed). A platform bridge runs a
// thread timer exactly while timers exist; the message loop's catch-up adds one tick when
// posted messages keep the thread timer's messages from coming. Each due timer sends event
// 2 (kEventTimerTick) to its target. User-interface thread only; no locks.

#include <cstdint>
#include <memory>

#include "os/kernel/Clock.h"
#include "uia/events/Events.h"

namespace HA::UIA {

// A timer's node, which is also its handle.
struct EventTimerNode {
    EventTimerNode* prev = nullptr;
    EventTimerNode* next = nullptr;
    int interval = 0;   // ms, a multiple of the tick
    int remaining = 0;  // ms
    int priority = 0;
    EventTarget* target = nullptr;
    int busy = 0;          // active deliveries of its event
    bool removed = false;  // removal deferred until busy is back to 0
};

// Drives the manager's ticks from the platform.
class AbstractEventTimerManagerOsBridge {
public:
    virtual ~AbstractEventTimerManagerOsBridge() = default;
    // Runs a tick every periodMs until stop(); nothing when already running.
    virtual void start(int periodMs) = 0;
    virtual void stop() = 0;
};

class EventTimerManager {
public:
    static constexpr int kDefaultTick = 40;

    // Becomes the process manager (the last one constructed).
    EventTimerManager();
    // Stops the bridge, frees every timer and stops being the process manager.
    ~EventTimerManager();
    EventTimerManager(const EventTimerManager&) = delete;
    EventTimerManager& operator=(const EventTimerManager&) = delete;

    // The process manager, null when there is none.
    static EventTimerManager* instance();

    // Adds a periodic timer for `target` to the process manager. The interval is rounded
    // to a multiple of the tick (at most one tick: one tick; halves round down); higher
    // priorities run first, equal ones in creation order. Null without a process manager.
    static EventTimerHandle addTimer(EventTarget* target, int intervalMs, int priority);
    // Removes the timer when it belongs to `target`; a null, unknown or foreign handle
    // does nothing. A timer whose event is being delivered is freed after the delivery
    // and gets no further event.
    static void removeTimerOf(EventTarget* target, EventTimerHandle timer);
    // Called by the message loop for program-defined messages: runs one tick when more
    // than two ticks have passed since the last one (or none ran yet).
    static void catchUp();

    // One base tick: every timer advances by the tick, in list order.
    void tick();
    // Advances one timer by `amount` ms and sends its event when it is due.
    void advanceTimer(EventTimerNode* node, int amount);

    // Changes the tick when ms is not 0 and no timer runs; false (ignored) otherwise.
    bool setTick(int ms);
    int getTick() const { return mTick; }
    bool hasTimers() const { return mHead != nullptr; }
    int timerCount() const;
    AbstractEventTimerManagerOsBridge* bridge() const { return mBridge.get(); }

private:
    EventTimerHandle add(EventTarget* target, int intervalMs, int priority);
    bool contains(const EventTimerNode* node) const;
    void removeTimer(EventTimerNode* node);
    void unlinkAndFree(EventTimerNode* node);

    std::unique_ptr<AbstractEventTimerManagerOsBridge> mBridge;
    int mTick = kDefaultTick;
    // Clock time of the last tick; none before the first, so the first catch-up ticks.
    bool mTicked = false;
    OS::TimeMs mLastTick = 0;
    EventTimerNode* mHead = nullptr;
    EventTimerNode* mTail = nullptr;
};

}  // namespace HA::UIA
