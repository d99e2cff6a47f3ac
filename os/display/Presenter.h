#pragma once
// The presenter: shows the top-level windows of one thread on the user's display through
// SDL2, on top of the headless windows. Each visible top-level window gets a display window
// of its client size, title and large icon that shows the window's pixels; the display's
// mouse, keyboard, focus, close and expose events enter the thread's queue as the
// platform's messages; getMessage's idle wait presents, takes those events, runs the
// clock's due callbacks and sleeps in the display's event wait. Message boxes without a
// script are shown on the display.
//
// Linked only by executables and the presenter's own tests; the stand-in itself never
// links SDL.

#include <cstdint>
#include <string>

#include "os/windows/Window.h"

struct SDL_Window;

namespace HA::OS {

// Starts presenting the calling thread's windows when the clock is steady, HA_OS_PRESENTER
// is not "0", DISPLAY or WAYLAND_DISPLAY is set and the display opens (X before Wayland when
// both are named, Wayland first with SDL_VIDEODRIVER=wayland; a compositor without a seat
// does not open); otherwise writes one line on standard error saying why and the run stays
// headless. True when it runs. With
// `failure`, a named display that does not open is not said: the text naming it and the
// display library's reason goes there, for the caller's own line.
bool startPresenter(std::string* failure = nullptr);
// Whether the run asks for a display: the clock is steady, HA_OS_PRESENTER is not "0" and
// DISPLAY or WAYLAND_DISPLAY is set. startPresenter failing while this holds means the
// named display did not open.
bool displayWanted();
// Closes the display windows and the display. Call on the thread that started it.
void stopPresenter();
bool presenterRunning();

// One idle turn without waiting: shows what changed and takes the display's events into
// the queue. The presenter's thread only.
void presentNow();

// For tests and benchmarks: the display window that shows a window (null when none), and
// how many rectangles have been put on the display.
SDL_Window* presentedWindowOf(HWND hwnd);
std::uint64_t presentCount();

}  // namespace HA::OS
