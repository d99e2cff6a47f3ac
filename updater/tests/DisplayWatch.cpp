#include "updater/tests/DisplayWatch.h"

#include <X11/Xlib.h>
#include <poll.h>

#include <cstdlib>

namespace HA::TEST {

namespace {

Display* displayOf(void* handle) { return static_cast<Display*>(handle); }

int ignoreXErrors(Display*, XErrorEvent*) { return 0; }

Window findTitled(Display* display, Window under, const std::string& title)
{
    Window root = 0, parent = 0, *children = nullptr;
    unsigned int count = 0;
    Window found = 0;
    if (!XQueryTree(display, under, &root, &parent, &children, &count))
        return 0;
    for (unsigned int i = 0; i < count && !found; ++i) {
        char* name = nullptr;
        if (XFetchName(display, children[i], &name) && name) {
            if (title == name)
                found = children[i];
            XFree(name);
        }
        if (!found)
            found = findTitled(display, children[i], title);
    }
    if (children)
        XFree(children);
    return found;
}

}  // namespace

DisplayWatch::DisplayWatch()
{
    const char* named = std::getenv("DISPLAY");
    if (!named || !*named)
        return;
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return;
    // A window that goes while it is looked at is not an error of the test.
    XSetErrorHandler(ignoreXErrors);
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
    const Window window = findTitled(display, DefaultRootWindow(display), title);
    XWindowAttributes attributes;
    return window && XGetWindowAttributes(display, window, &attributes) && attributes.map_state == IsViewable;
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
