#include "uia/platform/window/WindowImplBaseWin32.h"

#include <algorithm>
#include <cmath>

#include "os/windows/menus/Menu.h"
#include "os/windows/Monitors.h"
#include "os/windows/Window.h"
#include "uia/events/Events.h"
#include "uia/window/Monitor.h"

// Positions here are those of the platform's window placement: for top-level windows,
// work-area coordinates. The monitor look-ups work in screen coordinates, so points are
// moved by the work area's offset inside its monitor before them and back after.

namespace HA::UIA::DETAIL {

namespace {

constexpr int kEdgeMargin = 4;

// The frame around the client area: left, top, right and bottom widths.
OS::RECT frameOf(OS::HWND hwnd)
{
    OS::RECT outer{}, client{};
    OS::getWindowRect(hwnd, outer);
    OS::getClientRect(hwnd, client);
    OS::POINT origin{0, 0};
    OS::clientToScreen(hwnd, origin);
    return OS::RECT{origin.x - outer.left, origin.y - outer.top, outer.right - (origin.x + client.right),
                    outer.bottom - (origin.y + client.bottom)};
}

// The frame that the style, extended style and menu give.
OS::RECT styleFrameOf(OS::HWND hwnd)
{
    OS::RECT frame{0, 0, 0, 0};
    OS::adjustWindowRectEx(frame, OS::getWindowStyle(hwnd), OS::getMenu(hwnd) != nullptr, OS::getWindowExStyle(hwnd));
    return OS::RECT{-frame.left, -frame.top, frame.right, frame.bottom};
}

OS::RECT outerOf(OS::HWND hwnd, const GP::Rect& rect, bool client)
{
    OS::RECT r{rect.left, rect.top, rect.right, rect.bottom};
    if (client) {
        // A minimised window has no client area to measure the frame by.
        OS::RECT f = OS::isIconic(hwnd) ? styleFrameOf(hwnd) : frameOf(hwnd);
        r = OS::RECT{r.left - f.left, r.top - f.top, r.right + f.right, r.bottom + f.bottom};
    }
    return r;
}

bool placementOf(OS::HWND hwnd, OS::WINDOWPLACEMENT& p)
{
    p = OS::WINDOWPLACEMENT{};
    p.length = sizeof p;
    return OS::getWindowPlacement(hwnd, p);
}

bool isChild(OS::HWND hwnd) { return (OS::getWindowStyle(hwnd) & OS::WS_CHILD) != 0; }

// The offset of the work area inside the monitor nearest to a point (screen or work-area
// coordinates alike: the platform decides by the same point).
OS::POINT workOffsetAt(OS::POINT p)
{
    OS::MONITORINFO info{};
    info.cbSize = sizeof info;
    if (!OS::getMonitorInfo(OS::monitorFromPoint(p, OS::MONITOR_DEFAULTTONEAREST), info))
        return OS::POINT{0, 0};
    return OS::POINT{info.rcWork.left - info.rcMonitor.left, info.rcWork.top - info.rcMonitor.top};
}

OS::UINT showCommandKeepingState(OS::HWND hwnd)
{
    return OS::isWindowVisible(hwnd) ? OS::SW_SHOWNA : OS::SW_HIDE;
}

void moveRect(OS::RECT& r, int x, int y)
{
    r = OS::RECT{x, y, x + (r.right - r.left), y + (r.bottom - r.top)};
}

void sendNormalState(WindowImplBaseWin32& impl)
{
    SizeStateEventData state;
    state.state = kSizeStateNormal;
    impl.sendEvent(kEventSizeState, &state, false);
}

}  // namespace

void WindowImplBaseWin32::getRect(GP::Rect* rect, bool client)
{
    OS::RECT outer{}, inner{};
    OS::getWindowRect(mHwnd, outer);
    OS::getClientRect(mHwnd, inner);
    OS::WINDOWPLACEMENT p;
    OS::POINT origin{outer.left, outer.top};
    if (placementOf(mHwnd, p)) {
        if (isZoomed())
            origin = OS::POINT{std::max(0, p.ptMaxPosition.x), std::max(0, p.ptMaxPosition.y)};
        else if (isIconic())
            origin = p.ptMinPosition;
        else
            origin = OS::POINT{p.rcNormalPosition.left, p.rcNormalPosition.top};
    }
    if (!client) {
        *rect = GP::Rect{origin.x, origin.y, origin.x + (outer.right - outer.left), origin.y + (outer.bottom - outer.top)};
        return;
    }
    OS::RECT f = frameOf(mHwnd);
    *rect = GP::Rect{origin.x + f.left, origin.y + f.top, origin.x + f.left + inner.right, origin.y + f.top + inner.bottom};
}

void WindowImplBaseWin32::setRect(const GP::Rect& rect, bool client)
{
    OS::RECT r = outerOf(mHwnd, rect, client);
    if (!isNormal()) {
        setNormalRect(GP::Rect{r.left, r.top, r.right, r.bottom}, false);
        sendNormalState(*this);
        return;
    }
    OS::WINDOWPLACEMENT p;
    if (!placementOf(mHwnd, p)) {
        OS::setWindowPos(mHwnd, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                         OS::SWP_NOZORDER | OS::SWP_NOACTIVATE | (mDeferErase ? OS::SWP_DEFERERASE : 0));
        return;
    }
    p.rcNormalPosition = r;
    p.showCmd = showCommandKeepingState(mHwnd);
    OS::setWindowPlacement(mHwnd, p);
}

void WindowImplBaseWin32::setPosition(GP::Point point, bool client)
{
    const OS::UINT deferErase = mDeferErase ? OS::SWP_DEFERERASE : 0;
    if (isChild(mHwnd)) {
        const float scale = getScaleFactor();
        OS::setWindowPos(mHwnd, nullptr, static_cast<int>(std::lroundf(static_cast<float>(point.x) * scale)),
                         static_cast<int>(std::lroundf(static_cast<float>(point.y) * scale)), 0, 0,
                         OS::SWP_NOSIZE | OS::SWP_NOZORDER | OS::SWP_NOACTIVATE | deferErase);
        return;
    }
    if (client) {
        OS::RECT f = frameOf(mHwnd);
        point.x -= f.left;
        point.y -= f.top;
    }
    // Keep a corner of the window on the work area of the monitor for that point.
    const OS::POINT offset = workOffsetAt(OS::POINT{point.x, point.y});
    const MonitorInfo monitor = monitorFor(GP::Point{point.x + offset.x, point.y + offset.y});
    const OS::POINT back = workOffsetAt(OS::POINT{monitor.monitor.left, monitor.monitor.top});
    point.y = std::min(point.y, monitor.work.bottom - kEdgeMargin - back.y);
    if (isNormal())
        point.x = std::min(point.x, monitor.work.right - kEdgeMargin - back.x);

    OS::WINDOWPLACEMENT p;
    if (!isNormal()) {
        GP::Rect normal;
        getNormalRect(&normal, false);
        setNormalRect(GP::Rect{point.x, point.y, point.x + normal.width(), point.y + normal.height()}, false);
        sendNormalState(*this);
        return;
    }
    if (!placementOf(mHwnd, p)) {
        OS::setWindowPos(mHwnd, nullptr, point.x, point.y, 0, 0,
                         OS::SWP_NOSIZE | OS::SWP_NOZORDER | OS::SWP_NOACTIVATE | deferErase);
        return;
    }
    moveRect(p.rcNormalPosition, point.x, point.y);
    p.showCmd = showCommandKeepingState(mHwnd);
    OS::setWindowPlacement(mHwnd, p);
}

Size WindowImplBaseWin32::getSize(bool client)
{
    GP::Rect r;
    getRect(&r, client);
    const float scale = getScaleFactor();
    return Size{static_cast<int>(std::lroundf(static_cast<float>(r.width()) / scale)),
                static_cast<int>(std::lroundf(static_cast<float>(r.height()) / scale))};
}

void WindowImplBaseWin32::setSize(Size size, bool client)
{
    const float scale = getScaleFactor();
    int width = static_cast<int>(std::lroundf(static_cast<float>(size.width) * scale));
    int height = static_cast<int>(std::lroundf(static_cast<float>(size.height) * scale));
    if (client) {
        OS::RECT f = frameOf(mHwnd);
        width += f.left + f.right;
        height += f.top + f.bottom;
    }
    if (isNormal()) {
        OS::setWindowPos(mHwnd, nullptr, 0, 0, width, height,
                         OS::SWP_NOMOVE | OS::SWP_NOZORDER | OS::SWP_NOACTIVATE | (mDeferErase ? OS::SWP_DEFERERASE : 0));
        return;
    }
    OS::WINDOWPLACEMENT p;
    if (placementOf(mHwnd, p)) {
        p.rcNormalPosition.right = p.rcNormalPosition.left + width;
        p.rcNormalPosition.bottom = p.rcNormalPosition.top + height;
        p.showCmd = showCommandKeepingState(mHwnd) == OS::SW_HIDE ? OS::SW_HIDE
                    : isZoomed()                                   ? OS::SW_SHOWMAXIMIZED
                                                                   : OS::SW_SHOWMINNOACTIVE;
        OS::setWindowPlacement(mHwnd, p);
    }
    sendNormalState(*this);
}

void WindowImplBaseWin32::getNormalRect(GP::Rect* rect, bool client)
{
    // The restore rectangle itself: a size taken from the current client area would give a
    // maximised window's size to the restore rectangle of the next setNormalRect.
    OS::WINDOWPLACEMENT p;
    if (!placementOf(mHwnd, p)) {
        getRect(rect, client);
        return;
    }
    const OS::RECT& n = p.rcNormalPosition;
    GP::Rect r{n.left, n.top, n.right, n.bottom};
    if (client) {
        OS::RECT frame{0, 0, 0, 0};
        OS::adjustWindowRectEx(frame, OS::getWindowStyle(mHwnd), OS::getMenu(mHwnd) != nullptr,
                               OS::getWindowExStyle(mHwnd));
        r = GP::Rect{r.left - frame.left, r.top - frame.top, r.right - frame.right, r.bottom - frame.bottom};
    }
    *rect = r;
}

void WindowImplBaseWin32::setNormalRect(const GP::Rect& rect, bool client)
{
    OS::WINDOWPLACEMENT p;
    if (!placementOf(mHwnd, p))
        return;
    p.rcNormalPosition = outerOf(mHwnd, rect, client);
    if (!OS::isWindowVisible(mHwnd))
        p.showCmd = OS::SW_HIDE;
    else
        p.showCmd = isZoomed() ? OS::SW_SHOWMAXIMIZED : isIconic() ? OS::SW_SHOWMINNOACTIVE : OS::SW_SHOWNA;
    OS::setWindowPlacement(mHwnd, p);
}

void WindowImplBaseWin32::getPlacement(WindowPlacement* placement)
{
    OS::WINDOWPLACEMENT p;
    if (!placementOf(mHwnd, p))
        return;
    placement->state = !OS::isWindowVisible(mHwnd) ? 0 : isZoomed() ? 3 : isIconic() ? 2 : 1;
    placement->x = p.rcNormalPosition.left;
    placement->y = p.rcNormalPosition.top;
    const OS::DWORD style = OS::getWindowStyle(mHwnd);
    const OS::DWORD exStyle = OS::getWindowExStyle(mHwnd);
    OS::RECT frame{0, 0, 0, 0};
    OS::adjustWindowRectEx(frame, style, OS::getMenu(mHwnd) != nullptr, exStyle);
    placement->width = (p.rcNormalPosition.right - p.rcNormalPosition.left) - (frame.right - frame.left);
    placement->height = (p.rcNormalPosition.bottom - p.rcNormalPosition.top) - (frame.bottom - frame.top);
    if (p.ptMinPosition.x >= 0 || p.ptMinPosition.y >= 0) {
        placement->minX = p.ptMinPosition.x;
        placement->minY = p.ptMinPosition.y;
    }
    auto layerOf = [](OS::DWORD s, OS::DWORD ex) {
        if (ex & 0x40)
            return 3;
        if ((s & OS::WS_POPUP) && (ex & OS::WS_EX_TOOLWINDOW))
            return (ex & OS::WS_EX_NOACTIVATE) ? 10 : 5;
        return (ex & OS::WS_EX_TOPMOST) ? 4 : 0;
    };
    placement->layer = layerOf(style, exStyle);
    // Windows of the same layer directly above this one.
    const std::vector<OS::HWND> order = isChild(mHwnd) ? OS::getChildWindows(OS::getParent(mHwnd))
                                                       : OS::getTopLevelWindows();
    auto self = std::find(order.begin(), order.end(), mHwnd);
    int above = 0;
    for (auto it = self; it != order.begin();) {
        --it;
        if (layerOf(OS::getWindowStyle(*it), OS::getWindowExStyle(*it)) != placement->layer)
            break;
        ++above;
    }
    placement->zIndex = self == order.end() ? 0 : above;
}

void WindowImplBaseWin32::setPlacement(const WindowPlacement& placement)
{
    OS::WINDOWPLACEMENT p;
    if (!placementOf(mHwnd, p))
        return;
    int width = placement.width, height = placement.height;
    ensureMonitorList();
    const GP::Rect desktop = virtualDesktopBounds();
    if (width > desktop.width() || height > desktop.height() || width < 0 || height < 0)
        width = height = 0;
    if (placement.x >= -9999 && placement.y >= -9999) {
        int x = placement.x, y = placement.y;
        const OS::POINT offset = workOffsetAt(OS::POINT{x, y});
        if (!monitorAt(GP::Point{x + offset.x, y + offset.y}).valid &&
            !monitorAt(GP::Point{x + width + offset.x, y + offset.y}).valid) {
            const MonitorInfo monitor = monitorFor(GP::Point{x + offset.x, y + offset.y});
            const OS::POINT back = workOffsetAt(OS::POINT{monitor.monitor.left, monitor.monitor.top});
            x = monitor.work.left - back.x;
            y = monitor.work.top - back.y;
        }
        moveRect(p.rcNormalPosition, x, y);
    }
    if (width > 0 || height > 0) {
        OS::RECT outer{0, 0, width, height};
        OS::adjustWindowRectEx(outer, OS::getWindowStyle(mHwnd), OS::getMenu(mHwnd) != nullptr,
                               OS::getWindowExStyle(mHwnd));
        p.rcNormalPosition.right = p.rcNormalPosition.left + (outer.right - outer.left);
        p.rcNormalPosition.bottom = p.rcNormalPosition.top + (outer.bottom - outer.top);
    }
    if (placement.minX >= -9999 && placement.minY >= -9999) {
        p.ptMinPosition = OS::POINT{placement.minX, placement.minY};
        p.flags |= OS::WPF_SETMINPOSITION;
    }
    static const OS::UINT commands[] = {OS::SW_HIDE, OS::SW_RESTORE, OS::SW_SHOWMINIMIZED, OS::SW_SHOWMAXIMIZED};
    if (placement.state >= 0 && placement.state <= 3)
        p.showCmd = commands[placement.state];
    else
        p.showCmd = showCommandKeepingState(mHwnd);
    OS::setWindowPlacement(mHwnd, p);
}

}  // namespace HA::UIA::DETAIL
