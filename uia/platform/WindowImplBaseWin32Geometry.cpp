#include "uia/platform/WindowImplBaseWin32.h"

#include <cmath>

#include "os/windows/Window.h"

// FIXME: the direct forms of the geometry operations; the rules for maximised and minimised
// windows, the restore rectangle and placement over the monitors come with the geometry work.

namespace HA::UIA::DETAIL {

namespace {

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

}  // namespace

void WindowImplBaseWin32::getRect(GP::Rect* rect, bool client)
{
    OS::RECT r{};
    if (client) {
        OS::getClientRect(mHwnd, r);
        OS::POINT origin{0, 0};
        OS::clientToScreen(mHwnd, origin);
        r = OS::RECT{origin.x, origin.y, origin.x + r.right, origin.y + r.bottom};
    } else {
        OS::getWindowRect(mHwnd, r);
    }
    *rect = GP::Rect{r.left, r.top, r.right, r.bottom};
}

void WindowImplBaseWin32::setRect(const GP::Rect& rect, bool client)
{
    OS::RECT r{rect.left, rect.top, rect.right, rect.bottom};
    if (client) {
        OS::RECT f = frameOf(mHwnd);
        r = OS::RECT{r.left - f.left, r.top - f.top, r.right + f.right, r.bottom + f.bottom};
    }
    OS::setWindowPos(mHwnd, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                     OS::SWP_NOZORDER | OS::SWP_NOACTIVATE | (mDeferErase ? OS::SWP_DEFERERASE : 0));
}

void WindowImplBaseWin32::setPosition(GP::Point point, bool client)
{
    if (client) {
        OS::RECT f = frameOf(mHwnd);
        point.x -= f.left;
        point.y -= f.top;
    }
    OS::setWindowPos(mHwnd, nullptr, point.x, point.y, 0, 0,
                     OS::SWP_NOSIZE | OS::SWP_NOZORDER | OS::SWP_NOACTIVATE | (mDeferErase ? OS::SWP_DEFERERASE : 0));
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
    OS::setWindowPos(mHwnd, nullptr, 0, 0, width, height,
                     OS::SWP_NOMOVE | OS::SWP_NOZORDER | OS::SWP_NOACTIVATE | (mDeferErase ? OS::SWP_DEFERERASE : 0));
}

void WindowImplBaseWin32::getPlacement(WindowPlacement* placement)
{
    OS::WINDOWPLACEMENT p{};
    p.length = sizeof p;
    if (!OS::getWindowPlacement(mHwnd, p))
        return;
    placement->state = !OS::isWindowVisible(mHwnd) ? 0 : isIconic() ? 2 : isZoomed() ? 3 : 1;
    placement->x = p.rcNormalPosition.left;
    placement->y = p.rcNormalPosition.top;
    Size client = getSize(true);
    placement->width = client.width;
    placement->height = client.height;
}

void WindowImplBaseWin32::setPlacement(const WindowPlacement& placement)
{
    OS::WINDOWPLACEMENT p{};
    p.length = sizeof p;
    if (!OS::getWindowPlacement(mHwnd, p))
        return;
    OS::RECT f = frameOf(mHwnd);
    p.rcNormalPosition = OS::RECT{placement.x, placement.y, placement.x + placement.width + f.left + f.right,
                                  placement.y + placement.height + f.top + f.bottom};
    static const OS::UINT commands[] = {OS::SW_HIDE, OS::SW_RESTORE, OS::SW_SHOWMINIMIZED, OS::SW_SHOWMAXIMIZED};
    if (placement.state >= 0 && placement.state <= 3)
        p.showCmd = commands[placement.state];
    OS::setWindowPlacement(mHwnd, p);
}

}  // namespace HA::UIA::DETAIL
