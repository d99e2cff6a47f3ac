#include "os/windows/Window.h"

#include <utility>

#include "os/kernel/Kernel.h"
#include "os/windows/DisplayHooks.h"
#include "os/windows/Message.h"
#include "os/windows/detail/WindowState.h"

namespace HA::OS {

using namespace DETAIL;

namespace {

// The window of the calling thread, or null (failing loudly for another thread's).
std::shared_ptr<WindowRec> ownWindowLocked(HWND hwnd, const char* operation)
{
    auto w = windowOrFail(hwnd);
    if (w && !checkWindowThread(*w, operation))
        return nullptr;
    return w;
}

std::vector<HWND> threadTopLevelLocked(DWORD thread)
{
    std::vector<HWND> out;
    for (HWND top : windowSystem().topLevel)
        if (auto w = findWindowLocked(top); w && w->thread == thread)
            out.push_back(top);
    return out;
}

bool topLevelWindow(HWND hwnd)
{
    auto lock = kernelLock();
    auto w = findWindowLocked(hwnd);
    return w && isTopLevel(*w);
}

}  // namespace

namespace DETAIL {

void activateWindow(HWND hwnd)
{
    auto q = currentQueue();
    HWND old;
    std::vector<HWND> tops;
    {
        auto lock = kernelLock();
        WindowSystem& s = windowSystem();
        if (!findWindowLocked(hwnd) || q->active == hwnd)
            return;
        old = q->active;
        q->active = hwnd;
        s.foreground = hwnd;
        if (!s.applicationActive)
            tops = threadTopLevelLocked(q->thread);
        s.applicationActive = true;
    }
    if (old && isWindow(old)) {
        sendMessage(old, WM_NCACTIVATE, 0, 0);
        sendMessage(old, WM_ACTIVATE, WA_INACTIVE, reinterpret_cast<LPARAM>(hwnd));
    }
    for (HWND top : tops)
        if (isWindow(top))
            sendMessage(top, WM_ACTIVATEAPP, 1, 0);
    if (isWindow(hwnd)) {
        sendMessage(hwnd, WM_NCACTIVATE, 1, 0);
        sendMessage(hwnd, WM_ACTIVATE, WA_ACTIVE, reinterpret_cast<LPARAM>(old));
    }
}

void forgetInputStateLocked(WindowRec& window)
{
    if (auto q = queueOfLocked(window.thread)) {
        for (HWND* slot : {&q->focus, &q->active, &q->capture})
            if (*slot == window.hwnd)
                *slot = nullptr;
    }
    WindowSystem& s = windowSystem();
    if (s.foreground == window.hwnd) {
        s.foreground = nullptr;
        s.applicationActive = false;
    }
}

bool enabledChainLocked(const WindowRec& w)
{
    for (const WindowRec* r = &w; r;) {
        if (r->style & WS_DISABLED)
            return false;
        if (!(r->style & WS_CHILD) || !r->parent)
            return true;
        auto parent = findWindowLocked(r->parent);
        r = parent.get();
    }
    return true;
}

}  // namespace DETAIL

bool enableWindow(HWND hwnd, bool enable)
{
    auto q = currentQueue();
    bool wasDisabled;
    bool dropFocus = false, dropCapture = false;
    {
        auto lock = kernelLock();
        auto w = ownWindowLocked(hwnd, "enableWindow");
        if (!w)
            return false;
        wasDisabled = (w->style & WS_DISABLED) != 0;
        if (wasDisabled == !enable)
            return wasDisabled;
        if (enable)
            w->style &= ~WS_DISABLED;
        else
            w->style |= WS_DISABLED;
        // Whether the focus or the capture lies in the window (or is the window).
        auto inside = [&](HWND h) {
            for (auto r = findWindowLocked(h); r; r = (r->style & WS_CHILD) ? findWindowLocked(r->parent) : nullptr)
                if (r->hwnd == hwnd)
                    return true;
            return false;
        };
        if (!enable) {
            dropFocus = q->focus && inside(q->focus);
            dropCapture = q->capture && inside(q->capture);
        }
    }
    if (dropFocus)
        setFocus(nullptr);
    if (dropCapture)
        releaseCapture();
    sendMessage(hwnd, WM_ENABLE, enable ? 1 : 0, 0);
    return wasDisabled;
}

bool isWindowEnabled(HWND hwnd)
{
    auto lock = kernelLock();
    auto w = findWindowLocked(hwnd);
    if (!w) {
        setLastError(ERROR_INVALID_WINDOW_HANDLE);
        return false;
    }
    return enabledChainLocked(*w);
}

HWND setActiveWindow(HWND hwnd)
{
    HWND old = getActiveWindow();
    {
        auto lock = kernelLock();
        auto w = ownWindowLocked(hwnd, "setActiveWindow");
        if (!w || !isTopLevel(*w))
            return nullptr;
    }
    activateWindow(hwnd);
    return old;
}

HWND getActiveWindow()
{
    auto q = currentQueue();
    auto lock = kernelLock();
    return q->active;
}

HWND setFocus(HWND hwnd)
{
    auto q = currentQueue();
    HWND root = nullptr;
    HWND previous;
    {
        auto lock = kernelLock();
        previous = q->focus;
        if (hwnd) {
            auto w = ownWindowLocked(hwnd, "setFocus");
            if (!w)
                return nullptr;
            root = rootOfLocked(w);
        }
        if (q->focus == hwnd)
            return hwnd;
    }
    if (root && root != getActiveWindow() && topLevelWindow(root))
        activateWindow(root);
    HWND old;
    {
        auto lock = kernelLock();
        old = q->focus;
        if (old == hwnd)
            return previous;
        q->focus = hwnd;
    }
    if (old && isWindow(old))
        sendMessage(old, WM_KILLFOCUS, reinterpret_cast<WPARAM>(hwnd), 0);
    if (hwnd && isWindow(hwnd) && getFocus() == hwnd)
        sendMessage(hwnd, WM_SETFOCUS, reinterpret_cast<WPARAM>(old), 0);
    return previous;
}

HWND getFocus()
{
    auto q = currentQueue();
    auto lock = kernelLock();
    return q->focus;
}

HWND setCapture(HWND hwnd)
{
    auto q = currentQueue();
    HWND old;
    {
        auto lock = kernelLock();
        if (!ownWindowLocked(hwnd, "setCapture"))
            return nullptr;
        old = std::exchange(q->capture, hwnd);
    }
    if (old && old != hwnd && isWindow(old))
        sendMessage(old, WM_CAPTURECHANGED, 0, reinterpret_cast<LPARAM>(hwnd));
    return old;
}

bool releaseCapture()
{
    auto q = currentQueue();
    HWND old;
    {
        auto lock = kernelLock();
        old = std::exchange(q->capture, nullptr);
    }
    if (old && isWindow(old))
        sendMessage(old, WM_CAPTURECHANGED, 0, 0);
    return true;
}

HWND getCapture()
{
    auto q = currentQueue();
    auto lock = kernelLock();
    return q->capture;
}

bool setForegroundWindow(HWND hwnd)
{
    HWND root;
    bool own;
    {
        auto lock = kernelLock();
        auto w = windowOrFail(hwnd);
        if (!w)
            return false;
        root = rootOfLocked(w);
        own = w->thread == currentThreadId();
        if (!own)
            windowSystem().foreground = root;
    }
    if (own && topLevelWindow(root)) {
        activateWindow(root);
        noteWindowChange(root, eWindowChange::Raised);
    }
    return true;
}

HWND getForegroundWindow()
{
    auto lock = kernelLock();
    return windowSystem().foreground;
}

void activateOtherApplication()
{
    auto q = currentQueue();
    HWND active, focus;
    std::vector<HWND> tops;
    {
        auto lock = kernelLock();
        WindowSystem& s = windowSystem();
        active = std::exchange(q->active, nullptr);
        focus = std::exchange(q->focus, nullptr);
        if (s.applicationActive)
            tops = threadTopLevelLocked(q->thread);
        s.applicationActive = false;
        s.foreground = nullptr;
    }
    if (active && isWindow(active)) {
        sendMessage(active, WM_NCACTIVATE, 0, 0);
        sendMessage(active, WM_ACTIVATE, WA_INACTIVE, 0);
    }
    for (HWND top : tops)
        if (isWindow(top))
            sendMessage(top, WM_ACTIVATEAPP, 0, 0);
    if (focus && isWindow(focus))
        sendMessage(focus, WM_KILLFOCUS, 0, 0);
}

}  // namespace HA::OS
