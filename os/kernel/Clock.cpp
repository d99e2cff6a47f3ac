#include "os/kernel/Clock.h"

#include <boost/thread/thread.hpp>

#include <algorithm>
#include <atomic>
#include <map>
#include <utility>

namespace HA::OS {

namespace {

// Longest real-time slice of an interruptible wait between interruption checks.
constexpr TimeMs kInterruptSliceMs = 20;

struct State {
    std::mutex kernel;
    std::condition_variable changed;
    bool manual = false;
    TimeMs virtualNow = 0;
    std::chrono::steady_clock::time_point origin = std::chrono::steady_clock::now();
    Clock::TimerId nextId = 1;
    // (due, id) -> callback; equal due times run in the order they were scheduled.
    std::map<std::pair<TimeMs, Clock::TimerId>, std::function<void()>> timers;
    std::function<void(DWORD)> sleepObserver;
    std::mutex observerMutex;
    // Callbacks running right now, on any thread. Virtual time does not jump while another
    // thread runs one: the callback may be about to make a waiter ready.
    int inFlight = 0;
};

thread_local int tInFlight = 0;

std::atomic<void (*)()> gWakeHook{nullptr};

void wakeOthers()
{
    if (auto hook = gWakeHook.load(std::memory_order_acquire))
        hook();
}

State& state()
{
    static State* s = new State;  // never destroyed: threads may outlive static destruction
    return *s;
}

TimeMs steadyNow(const State& s)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - s.origin)
        .count();
}

TimeMs nowLocked(const State& s)
{
    return s.manual ? s.virtualNow : steadyNow(s);
}

// Runs at most one due callback. Called with the lock held; releases it while the
// callback runs. Returns false when nothing was due.
bool runOneDue(State& s, std::unique_lock<std::mutex>& lock, TimeMs upTo)
{
    if (s.timers.empty())
        return false;
    auto it = s.timers.begin();
    if (it->first.first > upTo)
        return false;
    if (s.manual)
        s.virtualNow = std::max(s.virtualNow, it->first.first);
    auto fn = std::move(it->second);
    s.timers.erase(it);
    ++s.inFlight;
    ++tInFlight;
    lock.unlock();
    struct Done {
        State& s;
        std::unique_lock<std::mutex>& lock;
        ~Done()
        {
            lock.lock();
            --s.inFlight;
            --tInFlight;
            s.changed.notify_all();
        }
    } done{s, lock};
    fn();
    return true;
}

void interruptionPoint(Clock::eInterrupt interrupt, std::unique_lock<std::mutex>& lock)
{
    if (interrupt != Clock::eInterrupt::Interruptible)
        return;
    lock.unlock();
    try {
        boost::this_thread::interruption_point();
    } catch (...) {
        lock.lock();
        throw;
    }
    lock.lock();
}

}  // namespace

void Clock::useManual(TimeMs start)
{
    State& s = state();
    std::lock_guard<std::mutex> lock(s.kernel);
    s.manual = true;
    s.virtualNow = start;
    s.timers.clear();
    s.changed.notify_all();
}

void Clock::useSteady()
{
    State& s = state();
    std::lock_guard<std::mutex> lock(s.kernel);
    s.manual = false;
    s.timers.clear();
    s.changed.notify_all();
}

bool Clock::isManual()
{
    State& s = state();
    std::lock_guard<std::mutex> lock(s.kernel);
    return s.manual;
}

TimeMs Clock::now()
{
    State& s = state();
    std::lock_guard<std::mutex> lock(s.kernel);
    return nowLocked(s);
}

DWORD Clock::tickCount()
{
    return static_cast<DWORD>(static_cast<std::uint64_t>(now()));
}

std::int64_t Clock::performanceFrequency()
{
    return 10'000'000;
}

std::int64_t Clock::performanceCounter()
{
    State& s = state();
    std::lock_guard<std::mutex> lock(s.kernel);
    if (s.manual)
        return s.virtualNow * 10'000;
    return std::chrono::duration_cast<std::chrono::duration<std::int64_t, std::ratio<1, 10'000'000>>>(
               std::chrono::steady_clock::now() - s.origin)
        .count();
}

TimeMs Clock::deadlineAfter(DWORD ms)
{
    if (ms == INFINITE)
        return kForever;
    return now() + static_cast<TimeMs>(ms);
}

void Clock::setSleepObserver(std::function<void(DWORD)> observer)
{
    State& s = state();
    std::lock_guard<std::mutex> lock(s.observerMutex);
    s.sleepObserver = std::move(observer);
}

void Clock::sleep(DWORD ms, eInterrupt interrupt)
{
    State& s = state();
    {
        std::function<void(DWORD)> observer;
        {
            std::lock_guard<std::mutex> lock(s.observerMutex);
            observer = s.sleepObserver;
        }
        if (observer)
            observer(ms);
    }
    sleepUntil(deadlineAfter(ms), interrupt);
}

void Clock::sleepUntil(TimeMs deadline, eInterrupt interrupt)
{
    std::unique_lock<std::mutex> lock(kernelMutex());
    waitUntil(lock, deadline, [] { return false; }, interrupt);
}

void Clock::advance(TimeMs delta)
{
    advanceTo(now() + delta);
}

void Clock::advanceTo(TimeMs t)
{
    State& s = state();
    std::unique_lock<std::mutex> lock(s.kernel);
    if (!s.manual)
        return;
    while (runOneDue(s, lock, t)) {
    }
    s.virtualNow = std::max(s.virtualNow, t);
    s.changed.notify_all();
}

Clock::TimerId Clock::schedule(TimeMs due, std::function<void()> fn)
{
    State& s = state();
    std::lock_guard<std::mutex> lock(s.kernel);
    TimerId id = s.nextId++;
    s.timers.emplace(std::make_pair(due, id), std::move(fn));
    s.changed.notify_all();
    wakeOthers();
    return id;
}

Clock::TimerId Clock::scheduleAfter(TimeMs delay, std::function<void()> fn)
{
    State& s = state();
    TimeMs due;
    {
        std::lock_guard<std::mutex> lock(s.kernel);
        due = nowLocked(s) + delay;
    }
    return schedule(due, std::move(fn));
}

bool Clock::cancel(TimerId id)
{
    State& s = state();
    std::lock_guard<std::mutex> lock(s.kernel);
    for (auto it = s.timers.begin(); it != s.timers.end(); ++it) {
        if (it->first.second == id) {
            s.timers.erase(it);
            return true;
        }
    }
    return false;
}

std::optional<TimeMs> Clock::nextDue()
{
    State& s = state();
    std::lock_guard<std::mutex> lock(s.kernel);
    if (s.timers.empty())
        return std::nullopt;
    return s.timers.begin()->first.first;
}

int Clock::runDue()
{
    State& s = state();
    std::unique_lock<std::mutex> lock(s.kernel);
    int count = 0;
    while (runOneDue(s, lock, nowLocked(s)))
        ++count;
    return count;
}

std::mutex& Clock::kernelMutex()
{
    return state().kernel;
}

void Clock::notifyAll()
{
    state().changed.notify_all();
    wakeOthers();
}

void Clock::setWakeHook(void (*hook)())
{
    // Under the lock: once this returns, no call of the previous hook is still running.
    std::lock_guard<std::mutex> lock(state().kernel);
    gWakeHook.store(hook, std::memory_order_release);
}

bool Clock::waitUntil(std::unique_lock<std::mutex>& lock, TimeMs deadline, const std::function<bool()>& ready,
                      eInterrupt interrupt)
{
    State& s = state();
    for (;;) {
        if (ready())
            return true;
        interruptionPoint(interrupt, lock);
        TimeMs t = nowLocked(s);
        if (runOneDue(s, lock, t))
            continue;
        if (t >= deadline)
            return false;
        std::optional<TimeMs> due;
        if (!s.timers.empty())
            due = s.timers.begin()->first.first;
        TimeMs wake = due ? std::min(*due, deadline) : deadline;
        if (s.manual) {
            if (s.inFlight > tInFlight) {
                s.changed.wait(lock);
                continue;
            }
            if (wake == kForever) {
                // Nothing can move time for this thread: only another thread can wake it.
                if (interrupt == eInterrupt::Interruptible)
                    s.changed.wait_for(lock, std::chrono::milliseconds(kInterruptSliceMs));
                else
                    s.changed.wait(lock);
            } else if (due && *due <= deadline) {
                runOneDue(s, lock, *due);
            } else {
                s.virtualNow = std::max(s.virtualNow, deadline);
                s.changed.notify_all();
            }
            continue;
        }
        if (interrupt == eInterrupt::Interruptible)
            wake = std::min(wake, t + kInterruptSliceMs);
        if (wake == kForever)
            s.changed.wait(lock);
        else
            s.changed.wait_until(lock, s.origin + std::chrono::milliseconds(wake));
    }
}

}  // namespace HA::OS
