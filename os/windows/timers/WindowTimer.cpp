#include "os/windows/timers/WindowTimer.h"

#include <algorithm>

#include "os/kernel/Kernel.h"
#include "os/windows/MessageIds.h"
#include "os/windows/detail/WindowState.h"

namespace HA::OS {

using namespace DETAIL;

namespace {

UINT clampElapse(UINT ms)
{
    return std::clamp(ms, USER_TIMER_MINIMUM, USER_TIMER_MAXIMUM);
}

std::vector<TimerRec>::iterator findTimerLocked(DWORD thread, HWND hwnd, UINT_PTR id)
{
    auto& timers = windowSystem().timers;
    return std::find_if(timers.begin(), timers.end(), [&](const TimerRec& t) {
        return t.hwnd == hwnd && t.id == id && (hwnd || t.thread == thread);
    });
}

bool matchesFilter(const TimerRec& t, HWND filter)
{
    if (!filter)
        return true;
    if (filter == HWND_THREAD_MESSAGES)
        return t.hwnd == nullptr;
    return t.hwnd == filter;
}

bool timerInRange(UINT first, UINT last)
{
    return (first == 0 && last == 0) || (WM_TIMER >= first && WM_TIMER <= last);
}

void setLocked(DWORD thread, HWND hwnd, UINT_PTR id, UINT elapseMs, TIMERPROC proc, TimeMs now)
{
    WindowSystem& s = windowSystem();
    TimerRec t;
    t.hwnd = hwnd;
    t.id = id;
    t.thread = thread;
    t.requested = elapseMs;
    t.elapse = clampElapse(elapseMs);
    t.proc = proc;
    t.due = now + t.elapse;
    t.order = s.timerOrder++;
    auto it = findTimerLocked(thread, hwnd, id);
    if (it != s.timers.end())
        *it = t;
    else
        s.timers.push_back(t);
    Clock::notifyAll();
}

}  // namespace

namespace DETAIL {

void killWindowTimersLocked(HWND hwnd)
{
    auto& timers = windowSystem().timers;
    timers.erase(std::remove_if(timers.begin(), timers.end(), [&](const TimerRec& t) { return t.hwnd == hwnd; }),
                 timers.end());
}

TimeMs nextTimerDueLocked(DWORD thread, HWND filter, UINT first, UINT last)
{
    TimeMs next = kForever;
    if (!timerInRange(first, last))
        return next;
    for (const TimerRec& t : windowSystem().timers)
        if (t.thread == thread && matchesFilter(t, filter))
            next = std::min(next, t.due);
    return next;
}

bool takeTimerMessageLocked(DWORD thread, HWND filter, UINT first, UINT last, TimeMs now, bool remove, MSG& out)
{
    if (!timerInRange(first, last))
        return false;
    TimerRec* best = nullptr;
    for (TimerRec& t : windowSystem().timers) {
        if (t.thread != thread || t.due > now || !matchesFilter(t, filter))
            continue;
        if (!best || t.due < best->due || (t.due == best->due && t.order < best->order))
            best = &t;
    }
    if (!best)
        return false;
    out = MSG{best->hwnd, WM_TIMER, best->id, reinterpret_cast<LPARAM>(best->proc),
              static_cast<DWORD>(static_cast<std::uint64_t>(now)), POINT{0, 0}};
    if (remove) {
        // Missed periods collapse into this one message; the grid of due times stays.
        best->due += best->elapse;
        if (best->due <= now)
            best->due += ((now - best->due) / best->elapse + 1) * best->elapse;
    }
    return true;
}

bool timerExistsLocked(DWORD thread, HWND hwnd, UINT_PTR id, TIMERPROC proc)
{
    auto it = findTimerLocked(thread, hwnd, id);
    return it != windowSystem().timers.end() && it->thread == thread && it->proc == proc;
}

}  // namespace DETAIL

bool setTimer(HWND hwnd, UINT_PTR id, UINT elapseMs, TIMERPROC proc)
{
    TimeMs now = Clock::now();
    auto lock = kernelLock();
    auto w = windowOrFail(hwnd);
    if (!w || !checkWindowThread(*w, "setTimer"))
        return false;
    setLocked(w->thread, hwnd, id, elapseMs, proc, now);
    return true;
}

bool killTimer(HWND hwnd, UINT_PTR id)
{
    auto lock = kernelLock();
    auto w = windowOrFail(hwnd);
    if (!w || !checkWindowThread(*w, "killTimer"))
        return false;
    auto& timers = windowSystem().timers;
    auto it = findTimerLocked(w->thread, hwnd, id);
    if (it == timers.end()) {
        setLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    timers.erase(it);
    return true;
}

UINT_PTR setThreadTimer(UINT elapseMs, TIMERPROC proc)
{
    DWORD thread = currentQueue()->thread;
    TimeMs now = Clock::now();
    auto lock = kernelLock();
    WindowSystem& s = windowSystem();
    UINT_PTR id;
    do {
        id = s.nextThreadTimerId++;
        if (s.nextThreadTimerId == 0)
            s.nextThreadTimerId = 1;
    } while (id == 0 || findTimerLocked(thread, nullptr, id) != s.timers.end());
    setLocked(thread, nullptr, id, elapseMs, proc, now);
    return id;
}

bool killThreadTimer(UINT_PTR id)
{
    DWORD thread = currentThreadId();
    auto lock = kernelLock();
    auto& timers = windowSystem().timers;
    auto it = findTimerLocked(thread, nullptr, id);
    if (it == timers.end()) {
        setLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    timers.erase(it);
    return true;
}

std::optional<TimerInfo> findTimer(HWND hwnd, UINT_PTR id)
{
    DWORD thread = currentThreadId();
    auto lock = kernelLock();
    auto it = findTimerLocked(thread, hwnd, id);
    if (it == windowSystem().timers.end())
        return std::nullopt;
    return TimerInfo{it->hwnd, it->id, it->requested, it->elapse, it->due};
}

}  // namespace HA::OS
