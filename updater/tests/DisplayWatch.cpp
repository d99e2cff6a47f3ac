#include "updater/tests/DisplayWatch.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
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

bool DisplayWatch::read(const std::string& title, int& width, int& height, std::vector<std::uint32_t>& pixels)
{
    Display* display = displayOf(mDisplay);
    if (!display)
        return false;
    XSync(display, False);
    const Window window = SMOKE::findWindow(display, DefaultRootWindow(display), title, true);
    XWindowAttributes attributes;
    if (!window || !XGetWindowAttributes(display, window, &attributes))
        return false;
    XImage* image = XGetImage(display, window, 0, 0, unsigned(attributes.width), unsigned(attributes.height),
                              AllPlanes, ZPixmap);
    if (!image)
        return false;
    width = attributes.width;
    height = attributes.height;
    pixels.resize(std::size_t(width) * std::size_t(height));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            pixels[std::size_t(y) * std::size_t(width) + std::size_t(x)] =
                std::uint32_t(XGetPixel(image, x, y)) & 0xFFFFFF;
    XDestroyImage(image);
    return true;
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
