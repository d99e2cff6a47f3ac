#include "os/windows/DisplayHooks.h"

#include <atomic>

namespace HA::OS {

namespace {

std::atomic<const DisplayHooks*> gHooks{nullptr};

}  // namespace

void setDisplayHooks(const DisplayHooks* hooks)
{
    gHooks.store(hooks, std::memory_order_release);
}

const DisplayHooks* displayHooks()
{
    return gHooks.load(std::memory_order_acquire);
}

void noteWindowChange(HWND hwnd, eWindowChange change)
{
    const DisplayHooks* hooks = displayHooks();
    if (hooks && hooks->windowChanged)
        hooks->windowChanged(hwnd, change);
}

void noteWindowGone(HWND hwnd)
{
    const DisplayHooks* hooks = displayHooks();
    if (hooks && hooks->windowGone)
        hooks->windowGone(hwnd);
}

void notePixelsChanged(HWND hwnd, const RECT& rect)
{
    const DisplayHooks* hooks = displayHooks();
    if (hooks && hooks->pixelsChanged)
        hooks->pixelsChanged(hwnd, rect);
}

}  // namespace HA::OS
