#pragma once
// The one clock of the process. Every sleep, wait, time-out, timer, tick count and
// performance counter of the code base goes through it.
//
// Steady mode (a real run): time is the host's monotonic clock.
// Manual mode (tests): time is virtual and only moves forward when a thread sleeps,
// when a wait with a deadline finds nothing else that can wake it, or when a test
// calls advance(). A 5000 ms sleep then costs nothing.
//
// Scheduled callbacks (the simulated device's delays) run when time reaches them, on
// whichever thread is sleeping or waiting through the clock at that moment, never
// with the kernel lock held.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>

#include "os/kernel/Types.h"

namespace HA::OS {

// Milliseconds on the process clock.
using TimeMs = std::int64_t;
constexpr TimeMs kForever = INT64_MAX;

class Clock {
public:
    enum class eInterrupt { NotInterruptible, Interruptible };
    using TimerId = std::uint64_t;

    // Switches the process to virtual time starting at `start`, dropping every scheduled
    // callback. Tests call it before they start threads.
    static void useManual(TimeMs start = 0);
    // Back to the host's clock, dropping every scheduled callback.
    static void useSteady();
    static bool isManual();

    static TimeMs now();
    // The platform's 32-bit millisecond tick count (wraps after 49.7 days).
    static DWORD tickCount();
    // Performance counter and its frequency (10 MHz), on the same time base.
    static std::int64_t performanceCounter();
    static std::int64_t performanceFrequency();

    // Sleeps `ms` milliseconds. The interruptible form is a boost.thread interruption point
    // (also under the manual clock): it throws boost::thread_interrupted when interrupted.
    static void sleep(DWORD ms, eInterrupt interrupt = eInterrupt::NotInterruptible);
    static void sleepUntil(TimeMs deadline, eInterrupt interrupt = eInterrupt::NotInterruptible);

    // Manual mode only: moves virtual time forward, running the callbacks that fall due.
    static void advance(TimeMs delta);
    static void advanceTo(TimeMs t);

    // Runs `fn` once time reaches `due`. Returns an id for cancel(); never 0.
    static TimerId schedule(TimeMs due, std::function<void()> fn);
    static TimerId scheduleAfter(TimeMs delay, std::function<void()> fn);
    // True when the callback was still pending (it will not run).
    static bool cancel(TimerId id);
    static std::optional<TimeMs> nextDue();
    // Runs every callback that is due now; returns how many ran.
    static int runDue();

    // Observer of every sleep (milliseconds asked for); tests use it to record sleeps.
    // Called on the sleeping thread. Pass an empty function to remove it.
    static void setSleepObserver(std::function<void(DWORD ms)> observer);

    // The lock that guards every kernel object's state in the stand-in.
    static std::mutex& kernelMutex();
    // Wakes every waiter so that it tests its condition again; call with the kernel lock
    // held, after changing what a waiter may be waiting for.
    static void notifyAll();
    // A waker of a thread that does not wait on the clock (a display's event wait): called,
    // with the kernel lock held, by notifyAll and by schedule; it must only take note. Set
    // it with the kernel lock free; null removes it.
    static void setWakeHook(void (*hook)());

    // The wait every blocking call of the stand-in is built on. `lock` holds kernelMutex().
    // Returns true when ready() held, false when the deadline passed first. ready() is
    // called with the lock held. While waiting the lock is released, due callbacks run,
    // and under the manual clock time advances to the next callback or to the deadline
    // instead of blocking. An interruptible wait is a boost.thread interruption point.
    static bool waitUntil(std::unique_lock<std::mutex>& lock, TimeMs deadline,
                          const std::function<bool()>& ready,
                          eInterrupt interrupt = eInterrupt::NotInterruptible);

    // A deadline `ms` from now; INFINITE gives kForever.
    static TimeMs deadlineAfter(DWORD ms);
};

// Switches to the manual clock for the life of a test and back to the steady clock after.
class ManualClockScope {
public:
    explicit ManualClockScope(TimeMs start = 0) { Clock::useManual(start); }
    ~ManualClockScope() { Clock::useSteady(); }
    ManualClockScope(const ManualClockScope&) = delete;
    ManualClockScope& operator=(const ManualClockScope&) = delete;
};

}  // namespace HA::OS
