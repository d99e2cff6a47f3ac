#pragma once
// What the smoke programs share: they start the real updater on a virtual X server and read
// its window back from the server.

#include <X11/Xlib.h>
#include <sys/types.h>

#include <string>
#include <vector>

namespace HA::SMOKE {

// The main window's title on the display.
constexpr const char* kTitle = "Vireo Updater";

// A window's UTF-8 title (_NET_WM_NAME); empty when it has none.
std::string titleOf(Display* display, Window window);
bool viewable(Display* display, Window window);
// A window's children, bottom to top of the stacking order.
std::vector<Window> childrenOf(Display* display, Window window);
// A window's parent; 0 for the root or when it is gone.
Window parentOf(Display* display, Window window);
// The first window with the title below `under`, searched from it down; with `viewableOnly`
// only a viewable one counts.
Window findWindow(Display* display, Window under, const std::string& title, bool viewableOnly);

// Sends a 32-bit client message about `window` (type and its first two items) to `to` with
// the event mask given, and flushes.
void sendClientMessage(Display* display, Window to, long mask, Window window, const char* type, long first,
                       long second);

// Opens the display that DISPLAY names and ignores the errors of windows that go while they
// are looked at; null (with a line) without one.
Display* openDisplay();

// A new folder of this run's own inside `base` (made when missing), holding the simulated
// device's state (a fresh device at 0.3.5) and, in its sub-folder "run", the single-instance
// key, so that an updater of the user's is never met; the environment the updaters started
// from here inherit names them. Empty (with a line) when it cannot be made.
std::string makeRunFolder(const std::string& base);

// Starts args[0] with the arguments after it and this process's environment, its standard
// error written to `errorFile` when one is named; -1 when it cannot be started.
pid_t spawn(const std::vector<std::string>& args, const std::string& errorFile = std::string());
// Asks the process to end, and kills it when it has not within 5 s.
void stop(pid_t pid);

}  // namespace HA::SMOKE
