#pragma once
// Window timers and thread timers on HA::OS::Clock. A due timer produces one WM_TIMER
// when its thread's queue has nothing else for the filter; missed periods do not pile up.
// Periods keep their grid: after a WM_TIMER is taken the next one is due one period after
// the previous due time (or later, when periods were missed).

#include <optional>

#include "os/kernel/Clock.h"
#include "os/windows/Message.h"
#include "os/windows/Window.h"

namespace HA::OS {

constexpr UINT USER_TIMER_MINIMUM = 0x0000000A;
constexpr UINT USER_TIMER_MAXIMUM = 0x7FFFFFFF;

// Sets or replaces the timer `id` (0 is a valid id) of a window of the calling thread;
// the period is clamped to USER_TIMER_MINIMUM..USER_TIMER_MAXIMUM ms. With a procedure,
// dispatchMessage calls it instead of the window procedure.
bool setTimer(HWND hwnd, UINT_PTR id, UINT elapseMs, TIMERPROC proc = nullptr);
// False with ERROR_INVALID_PARAMETER when the window has no such timer.
bool killTimer(HWND hwnd, UINT_PTR id);
// A timer of the calling thread without a window: its WM_TIMER has hwnd null and the
// procedure in lParam. Returns the new timer's id (never 0), 0 on failure.
UINT_PTR setThreadTimer(UINT elapseMs, TIMERPROC proc);
bool killThreadTimer(UINT_PTR id);

// What a timer was set with (tests).
struct TimerInfo {
    HWND hwnd;
    UINT_PTR id;
    UINT requestedMs;  // as asked for
    UINT elapseMs;     // after clamping
    TimeMs due;
};
std::optional<TimerInfo> findTimer(HWND hwnd, UINT_PTR id);

}  // namespace HA::OS
