#pragma once
// Hooks of a presenter that shows the top-level windows on a real display. None is set by
// default: the stand-in stays headless and links nothing of a display.
//
// The change hooks only take note: they are called on the thread that makes the change,
// often with the kernel lock held, and must not call back into the stand-in.

#include "os/kernel/Clock.h"
#include "os/windows/Window.h"

namespace HA::OS {

enum class eWindowChange {
    Shown,        // a top-level window became visible
    Hidden,       // ... became invisible
    Placed,       // ... was sized, moved, minimised, maximised or restored
    Retitled,     // its text changed
    IconChanged,  // its large or small icon changed
    Destroyed,    // it is gone
    Raised,       // its program asked for it in the foreground (above the others, with the focus)
};

struct DisplayHooks {
    void (*windowChanged)(HWND hwnd, eWindowChange change) = nullptr;
    // A rectangle of a window's pixels changed (client coordinates): painted, drawn or a
    // layered update.
    void (*pixelsChanged)(HWND hwnd, const RECT& rect) = nullptr;
    // getMessage's idle wait: called without locks when the calling thread's queue has
    // nothing for it and its next timer is due at `deadline` (kForever: none). True when it
    // waited (until something may have arrived, or the deadline); false leaves the wait to
    // the clock (another thread, or the manual clock).
    bool (*idleWait)(TimeMs deadline) = nullptr;
    // Whether the calling thread's top-level windows are on the display: a message box of
    // that thread is then a window of its own, shown like any other.
    bool (*showsWindows)() = nullptr;
    // A top-level window's destruction is over: called on its thread without locks, so that
    // the display takes the window away at once, not at the thread's next idle wait (which
    // may be far off when the thread goes on to block, as a program's shut-down does).
    void (*windowGone)(HWND hwnd) = nullptr;
};

// Installs the hooks (null: none). The record must outlive its installation.
void setDisplayHooks(const DisplayHooks* hooks);
const DisplayHooks* displayHooks();

// Callers of the hooks (any thread; safe with the kernel lock held).
void noteWindowChange(HWND hwnd, eWindowChange change);
void notePixelsChanged(HWND hwnd, const RECT& rect);
// Without locks, on the window's thread.
void noteWindowGone(HWND hwnd);

}  // namespace HA::OS
