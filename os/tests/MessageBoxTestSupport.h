#pragma once
// Helpers for tests that meet a message box as a window: steps that run on the test's
// thread from inside the box's own message loop (a thread timer on the clock), finding the
// box, clicking its buttons and typing into it through the input injector.

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <utility>

#include "os/windows/input/Input.h"
#include "os/windows/messagebox/MessageBox.h"
#include "os/windows/timers/WindowTimer.h"

namespace HA::OS::Testing {

// Set-1 scan codes of the keys a box knows.
constexpr int kScanEscape = 0x01;
constexpr int kScanTab = 0x0F;
constexpr int kScanEnter = 0x1C;
constexpr int kScanShift = 0x2A;
constexpr int kScanSpace = 0x39;
constexpr int kScanAlt = 0x38;
constexpr int kScanF4 = 0x3E;
constexpr int kScanLeft = 0x4B;   // extended
constexpr int kScanRight = 0x4D;  // extended

// Runs `step` once, `ms` of clock time from now, from the calling thread's message loop.
// Steps may be pending side by side; each is one thread timer.
inline void later(UINT ms, std::function<void()> step)
{
    static std::map<UINT_PTR, std::function<void()>> sSteps;
    const UINT_PTR timer = setThreadTimer(ms, [](HWND, UINT, UINT_PTR id, DWORD) {
        killThreadTimer(id);
        auto it = sSteps.find(id);
        if (it == sSteps.end())
            return;
        auto run = std::move(it->second);
        sSteps.erase(it);
        run();
    });
    ASSERT_NE(timer, 0u);
    sSteps[timer] = std::move(step);
}

// The box on the screen (the newest top-level window of its class), or null.
inline HWND findBox() { return findWindow(u"#32770", WString()); }

inline bool clickButton(HWND box, int id)
{
    RECT r{};
    if (!messageBoxButtonRect(box, id, r))
        return false;
    const int x = (r.left + r.right) / 2, y = (r.top + r.bottom) / 2;
    return INPUT::moveTo(x, y) && INPUT::button(1, true, x, y) && INPUT::button(1, false, x, y);
}

inline void tapKey(int scan, bool extended = false) { INPUT::tap(scan, extended); }

inline void altF4()
{
    INPUT::key(kScanAlt, true);
    INPUT::tap(kScanF4);
    INPUT::key(kScanAlt, false);
}

}  // namespace HA::OS::Testing
