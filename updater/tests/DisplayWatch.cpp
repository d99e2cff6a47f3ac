#include "updater/tests/DisplayWatch.h"

#include <X11/Xlib.h>
#include <poll.h>

#include <cstdlib>

#include "updater/tests/smoke/SmokeSupport.h"

namespace HA::TEST {

namespace {

Display* displayOf(void* handle) { return static_cast<Display*>(handle); }

}  // namespace

DisplayWatch::DisplayWatch()
{
    const char* named = std::getenv("DISPLAY");
    if (!named || !*named)
        return;
    Display* display = SMOKE::openDisplay();
    if (!display)
        return;
    XSelectInput(display, DefaultRootWindow(display), SubstructureNotifyMask);
    mDisplay = display;
}

DisplayWatch::~DisplayWatch()
{
    if (mDisplay)
        XCloseDisplay(displayOf(mDisplay));
}

bool DisplayWatch::viewable(const std::string& title)
{
    Display* display = displayOf(mDisplay);
    if (!display)
        return false;
    XSync(display, False);
    return SMOKE::findWindow(display, DefaultRootWindow(display), title, true) != 0;
}

void DisplayWatch::waitForChange(int ms)
{
    Display* display = displayOf(mDisplay);
    if (!display)
        return;
    if (XPending(display) == 0) {
        pollfd p{ConnectionNumber(display), POLLIN, 0};
        ::poll(&p, 1, ms);
    }
    XEvent e;
    while (XPending(display) > 0)
        XNextEvent(display, &e);
}

}  // namespace HA::TEST
