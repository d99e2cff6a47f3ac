#include "os/windows/Window.h"

#include <algorithm>

#include "os/kernel/Kernel.h"
#include "os/windows/DisplayHooks.h"
#include "os/windows/Message.h"
#include "os/windows/Monitors.h"
#include "os/windows/detail/WindowState.h"

namespace HA::OS {

using namespace DETAIL;

namespace {

constexpr int kCaptionHeight = 23;
constexpr int kMenuHeight = 20;
constexpr POINT kIconicPosition{-32000, -32000};
constexpr SIZE kIconicSize{160, 28};
constexpr POINT kMinTrackSize{136, 39};

RECT frameInsets(DWORD style, DWORD exStyle, bool hasMenu)
{
    int border = 0;
    if (style & WS_THICKFRAME)
        border = 8;
    else if ((style & WS_DLGFRAME) || (exStyle & WS_EX_DLGMODALFRAME))
        border = 3;
    else if (style & WS_BORDER)
        border = 1;
    if (exStyle & WS_EX_CLIENTEDGE)
        border += 2;
    int top = border;
    if ((style & WS_CAPTION) == WS_CAPTION)
        top += kCaptionHeight;
    if (hasMenu && !(style & WS_CHILD))
        top += kMenuHeight;
    return RECT{border, top, border, border};
}

// The monitor that holds a point, else the nearest one.
const MonitorDesc* monitorNear(const MonitorLayout& layout, POINT p)
{
    const MonitorDesc* best = nullptr;
    long long bestDistance = 0;
    for (const MonitorDesc& m : layout.monitors) {
        long long dx = p.x < m.monitor.left ? m.monitor.left - p.x : p.x >= m.monitor.right ? p.x - m.monitor.right + 1 : 0;
        long long dy = p.y < m.monitor.top ? m.monitor.top - p.y : p.y >= m.monitor.bottom ? p.y - m.monitor.bottom + 1 : 0;
        long long distance = dx * dx + dy * dy;
        if (!best || distance < bestDistance) {
            best = &m;
            bestDistance = distance;
        }
    }
    return best;
}

// Work-area coordinates of a monitor start at its work area's top-left corner: the
// distance of that corner from the monitor's.
POINT workOffsetNear(POINT p)
{
    const MonitorLayout layout = monitorLayout();
    const MonitorDesc* m = monitorNear(layout, p);
    if (!m)
        return POINT{0, 0};
    return POINT{m->work.left - m->monitor.left, m->work.top - m->monitor.top};
}

RECT workAreaNear(POINT p)
{
    const MonitorLayout layout = monitorLayout();
    const MonitorDesc* m = monitorNear(layout, p);
    return m ? m->work : getWorkArea();
}

// Placement coordinates of top-level windows other than tool windows are work-area
// coordinates; of the others, those of their parent.
bool usesWorkAreaCoordinates(const WindowRec& w)
{
    return isTopLevel(w) && !(w.exStyle & WS_EX_TOOLWINDOW);
}

}  // namespace

namespace DETAIL {

void shrinkByFrame(RECT& r, const WindowRec& w)
{
    RECT f = frameInsets(w.style, w.exStyle, w.menu != nullptr);
    r.left += f.left;
    r.top += f.top;
    r.right = std::max(r.left, r.right - f.right);
    r.bottom = std::max(r.top, r.bottom - f.bottom);
}

}  // namespace DETAIL

namespace {

// Screen offset of a window's coordinate space (its parent's client origin).
POINT originOfLocked(const WindowRec& w)
{
    POINT o{0, 0};
    HWND p = w.parent;
    while (p) {
        auto parent = findWindowLocked(p);
        if (!parent)
            break;
        o.x += parent->client.left;
        o.y += parent->client.top;
        p = parent->parent;
    }
    return o;
}

void invalidateAllLocked(WindowRec& w, bool erase)
{
    w.hasUpdate = true;
    w.eraseUpdate = w.eraseUpdate || erase;
    w.update = RECT{0, 0, w.client.right - w.client.left, w.client.bottom - w.client.top};
    Clock::notifyAll();
}

}  // namespace

namespace DETAIL {

LRESULT sendRecord(HWND hwnd, UINT message, WPARAM wParam, const void* record)
{
    return sendMessage(hwnd, message, wParam, reinterpret_cast<LPARAM>(record));
}

void sendSizeAndMove(HWND hwnd, bool sized, bool moved)
{
    RECT client{};
    POINT origin{};
    bool minimized = false, maximized = false;
    {
        auto lock = kernelLock();
        auto w = findWindowLocked(hwnd);
        if (!w)
            return;
        client = w->client;
        origin = POINT{client.left, client.top};
        minimized = w->minimized;
        maximized = w->maximized;
    }
    if (sized) {
        WPARAM kind = minimized ? SIZE_MINIMIZED : maximized ? SIZE_MAXIMIZED : SIZE_RESTORED;
        LPARAM size = minimized ? 0 : makeLParam(client.right - client.left, client.bottom - client.top);
        sendMessage(hwnd, WM_SIZE, kind, size);
    }
    if (moved)
        sendMessage(hwnd, WM_MOVE, 0, makeLParam(origin.x, origin.y));
}

MINMAXINFO defaultMinMaxInfoLocked(const WindowRec& w)
{
    RECT f = frameInsets(w.style, w.exStyle, w.menu != nullptr);
    // A window is maximised over the work area of its monitor.
    const RECT& normal = (w.minimized || w.maximized) ? w.normalRect : w.rect;
    const RECT workArea = isTopLevel(w) ? workAreaNear(POINT{normal.left, normal.top}) : getWorkArea();
    const SIZE screen = getScreenSize();
    MINMAXINFO mmi{};
    mmi.ptMaxSize = POINT{workArea.right - workArea.left + f.left + f.right,
                          workArea.bottom - workArea.top + f.left + f.bottom};
    mmi.ptMaxPosition = POINT{workArea.left - f.left, workArea.top - f.left};
    if (w.style & WS_THICKFRAME)
        mmi.ptMinTrackSize = kMinTrackSize;
    mmi.ptMaxTrackSize = POINT{screen.cx + f.left + f.right, screen.cy + f.left + f.bottom};
    return mmi;
}

void constrainToMinMax(HWND hwnd, WINDOWPOS& pos)
{
    MINMAXINFO mmi{};
    {
        auto lock = kernelLock();
        auto w = findWindowLocked(hwnd);
        // Only resizable top-level windows are held to their tracking sizes.
        if (!w || !isTopLevel(*w) || !(w->style & WS_THICKFRAME) || w->minimized || (pos.flags & SWP_NOSIZE))
            return;
        mmi = defaultMinMaxInfoLocked(*w);
    }
    sendRecord(hwnd, WM_GETMINMAXINFO, 0, &mmi);
    pos.cx = std::clamp<int>(pos.cx, mmi.ptMinTrackSize.x, std::max(mmi.ptMinTrackSize.x, mmi.ptMaxTrackSize.x));
    pos.cy = std::clamp<int>(pos.cy, mmi.ptMinTrackSize.y, std::max(mmi.ptMinTrackSize.y, mmi.ptMaxTrackSize.y));
}

}  // namespace DETAIL

namespace {

// Moves, sizes, reorders, shows or hides a window with WM_WINDOWPOSCHANGING,
// WM_NCCALCSIZE (on a size change) and WM_WINDOWPOSCHANGED around the change.
bool applyWindowPos(HWND hwnd, HWND insertAfter, RECT target, UINT flags)
{
    WINDOWPOS pos{};
    {
        auto lock = kernelLock();
        auto w = windowOrFail(hwnd);
        if (!w)
            return false;
        if (flags & SWP_NOMOVE) {
            target.right = w->rect.left + (target.right - target.left);
            target.bottom = w->rect.top + (target.bottom - target.top);
            target.left = w->rect.left;
            target.top = w->rect.top;
        }
        if (flags & SWP_NOSIZE) {
            target.right = target.left + (w->rect.right - w->rect.left);
            target.bottom = target.top + (w->rect.bottom - w->rect.top);
        }
        pos = WINDOWPOS{hwnd, insertAfter, target.left, target.top, target.right - target.left,
                        target.bottom - target.top, flags};
    }
    sendRecord(hwnd, WM_WINDOWPOSCHANGING, 0, &pos);

    NCCALCSIZE_PARAMS calc{};
    bool sized = false, moved = false, clientSized = false, childActivated = false;
    {
        auto lock = kernelLock();
        auto w = findWindowLocked(hwnd);
        if (!w)
            return false;
        RECT next{pos.x, pos.y, pos.x + std::max(0, pos.cx), pos.y + std::max(0, pos.cy)};
        sized = (next.right - next.left) != (w->rect.right - w->rect.left) ||
                (next.bottom - next.top) != (w->rect.bottom - w->rect.top);
        moved = next.left != w->rect.left || next.top != w->rect.top;
        calc.rgrc[0] = next;
        calc.rgrc[1] = w->rect;
        calc.rgrc[2] = w->client;
        calc.lppos = &pos;
    }
    if (sized || moved || (flags & SWP_FRAMECHANGED))
        sendRecord(hwnd, WM_NCCALCSIZE, 1, &calc);
    {
        auto lock = kernelLock();
        auto w = findWindowLocked(hwnd);
        if (!w)
            return false;
        if (sized || moved || (flags & SWP_FRAMECHANGED)) {
            w->rect = RECT{pos.x, pos.y, pos.x + std::max(0, pos.cx), pos.y + std::max(0, pos.cy)};
            RECT c = calc.rgrc[0];
            c.right = std::max(c.left, c.right);
            c.bottom = std::max(c.top, c.bottom);
            clientSized = (c.right - c.left) != (w->client.right - w->client.left) ||
                          (c.bottom - c.top) != (w->client.bottom - w->client.top);
            w->client = c;
            if (!w->surface.empty())
                fitSurfaceLocked(*w);
        }
        if (!(pos.flags & SWP_NOZORDER)) {
            if (auto* list = siblingsLocked(*w)) {
                removeFromList(*list, hwnd);
                auto at = list->begin();
                if (pos.hwndInsertAfter == HWND_BOTTOM)
                    at = list->end();
                else if (pos.hwndInsertAfter != HWND_TOP) {
                    auto it = std::find(list->begin(), list->end(), pos.hwndInsertAfter);
                    at = it == list->end() ? list->begin() : it + 1;
                }
                list->insert(at, hwnd);
            }
        }
        bool wasVisible = (w->style & WS_VISIBLE) != 0;
        if (pos.flags & SWP_SHOWWINDOW)
            w->style |= WS_VISIBLE;
        if (pos.flags & SWP_HIDEWINDOW)
            w->style &= ~WS_VISIBLE;
        bool nowVisible = (w->style & WS_VISIBLE) != 0;
        if ((nowVisible && !wasVisible) || (sized && !(pos.flags & SWP_NOREDRAW)))
            invalidateAllLocked(*w, true);
        if (isTopLevel(*w)) {
            if (nowVisible != wasVisible)
                noteWindowChange(hwnd, nowVisible ? eWindowChange::Shown : eWindowChange::Hidden);
            else if (sized || moved || clientSized)
                noteWindowChange(hwnd, eWindowChange::Placed);
        }
        // A frame change (a menu bar) can size the client area alone; WM_SIZE follows then.
        if (clientSized)
            pos.flags &= ~SWP_NOSIZE;
        else if (!sized)
            pos.flags |= SWP_NOSIZE;
        if (!moved)
            pos.flags |= SWP_NOMOVE;
        childActivated = (w->style & (WS_CHILD | WS_POPUP)) == WS_CHILD && !(flags & (SWP_NOACTIVATE | SWP_HIDEWINDOW));
    }
    sendRecord(hwnd, WM_WINDOWPOSCHANGED, 0, &pos);
    // A child window that is placed with activation is told so; top-level windows are
    // activated by their callers.
    if (childActivated && isWindow(hwnd))
        sendMessage(hwnd, WM_CHILDACTIVATE, 0, 0);
    return true;
}

}  // namespace

bool showWindow(HWND hwnd, int command)
{
    bool wasVisible = false, wasMinimized = false, wasMaximized = false, topLevel = false;
    RECT normal{};
    {
        auto lock = kernelLock();
        auto w = windowOrFail(hwnd);
        if (!w || !checkWindowThread(*w, "showWindow"))
            return false;
        wasVisible = (w->style & WS_VISIBLE) != 0;
        wasMinimized = w->minimized;
        wasMaximized = w->maximized;
        topLevel = isTopLevel(*w);
        normal = (wasMinimized || wasMaximized) ? w->normalRect : w->rect;
    }
    if (command == SW_HIDE) {
        if (!wasVisible)
            return false;
        sendMessage(hwnd, WM_SHOWWINDOW, 0, 0);
        applyWindowPos(hwnd, nullptr, RECT{}, SWP_HIDEWINDOW | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        return true;
    }
    if (!wasVisible)
        sendMessage(hwnd, WM_SHOWWINDOW, 1, 0);
    enum class eTarget { Keep, Normal, Minimized, Maximized } target = eTarget::Keep;
    switch (command) {
    case SW_SHOWNORMAL:
    case SW_RESTORE:
    case SW_SHOWDEFAULT:
        target = (wasMinimized || wasMaximized) ? eTarget::Normal : eTarget::Keep;
        break;
    case SW_SHOWMINIMIZED:
    case SW_MINIMIZE:
    case SW_SHOWMINNOACTIVE:
        target = eTarget::Minimized;
        break;
    case SW_SHOWMAXIMIZED:
        target = eTarget::Maximized;
        break;
    default:
        break;
    }
    MINMAXINFO maxInfo{};
    if (target == eTarget::Maximized) {
        {
            auto lock = kernelLock();
            auto w = findWindowLocked(hwnd);
            if (!w)
                return wasVisible;
            maxInfo = defaultMinMaxInfoLocked(*w);
        }
        sendRecord(hwnd, WM_GETMINMAXINFO, 0, &maxInfo);
    }
    RECT rect{};
    UINT flags = SWP_SHOWWINDOW | SWP_NOZORDER | SWP_NOACTIVATE;
    {
        auto lock = kernelLock();
        auto w = findWindowLocked(hwnd);
        if (!w)
            return wasVisible;
        switch (target) {
        case eTarget::Keep:
            flags |= SWP_NOMOVE | SWP_NOSIZE;
            break;
        case eTarget::Normal:
            w->minimized = w->maximized = false;
            rect = normal;
            break;
        case eTarget::Minimized:
            if (!wasMinimized && !wasMaximized)
                w->normalRect = w->rect;
            w->minimized = true;
            w->maximized = false;
            rect = RECT{kIconicPosition.x, kIconicPosition.y, kIconicPosition.x + kIconicSize.cx,
                        kIconicPosition.y + kIconicSize.cy};
            break;
        case eTarget::Maximized:
            if (!wasMinimized && !wasMaximized)
                w->normalRect = w->rect;
            w->minimized = false;
            w->maximized = true;
            rect = RECT{maxInfo.ptMaxPosition.x, maxInfo.ptMaxPosition.y,
                        maxInfo.ptMaxPosition.x + maxInfo.ptMaxSize.x, maxInfo.ptMaxPosition.y + maxInfo.ptMaxSize.y};
            break;
        }
    }
    applyWindowPos(hwnd, nullptr, rect, flags);
    bool activate = command != SW_SHOWNA && command != SW_SHOWNOACTIVATE && command != SW_SHOWMINNOACTIVE &&
                    command != SW_MINIMIZE;
    if (topLevel && activate && isWindow(hwnd))
        activateWindow(hwnd);
    return wasVisible;
}

bool isWindowVisible(HWND hwnd)
{
    auto lock = kernelLock();
    auto w = findWindowLocked(hwnd);
    return w && visibleChainLocked(*w);
}

bool isIconic(HWND hwnd)
{
    auto lock = kernelLock();
    auto w = findWindowLocked(hwnd);
    return w && w->minimized;
}

bool isZoomed(HWND hwnd)
{
    auto lock = kernelLock();
    auto w = findWindowLocked(hwnd);
    return w && w->maximized;
}

bool getWindowRect(HWND hwnd, RECT& rect)
{
    auto lock = kernelLock();
    auto w = windowOrFail(hwnd);
    if (!w)
        return false;
    POINT o = originOfLocked(*w);
    rect = RECT{w->rect.left + o.x, w->rect.top + o.y, w->rect.right + o.x, w->rect.bottom + o.y};
    return true;
}

bool getClientRect(HWND hwnd, RECT& rect)
{
    auto lock = kernelLock();
    auto w = windowOrFail(hwnd);
    if (!w)
        return false;
    rect = RECT{0, 0, w->client.right - w->client.left, w->client.bottom - w->client.top};
    return true;
}

bool setWindowPos(HWND hwnd, HWND insertAfter, int x, int y, int width, int height, UINT flags)
{
    {
        auto lock = kernelLock();
        auto w = windowOrFail(hwnd);
        if (!w || !checkWindowThread(*w, "setWindowPos"))
            return false;
    }
    return applyWindowPos(hwnd, insertAfter, RECT{x, y, x + width, y + height}, flags);
}

bool moveWindow(HWND hwnd, int x, int y, int width, int height, bool repaint)
{
    return setWindowPos(hwnd, nullptr, x, y, width, height,
                        SWP_NOZORDER | SWP_NOACTIVATE | (repaint ? 0u : SWP_NOREDRAW));
}

bool clientToScreen(HWND hwnd, POINT& point)
{
    auto lock = kernelLock();
    auto w = windowOrFail(hwnd);
    if (!w)
        return false;
    POINT o = originOfLocked(*w);
    point.x += w->client.left + o.x;
    point.y += w->client.top + o.y;
    return true;
}

bool screenToClient(HWND hwnd, POINT& point)
{
    auto lock = kernelLock();
    auto w = windowOrFail(hwnd);
    if (!w)
        return false;
    POINT o = originOfLocked(*w);
    point.x -= w->client.left + o.x;
    point.y -= w->client.top + o.y;
    return true;
}

bool adjustWindowRectEx(RECT& rect, DWORD style, bool hasMenu, DWORD exStyle)
{
    RECT f = frameInsets(style, exStyle, hasMenu);
    rect.left -= f.left;
    rect.top -= f.top;
    rect.right += f.right;
    rect.bottom += f.bottom;
    return true;
}

RECT getWorkArea()
{
    RECT work{0, 0, getSystemMetrics(SM_CXSCREEN), getSystemMetrics(SM_CYSCREEN)};
    systemParametersInfo(SPI_GETWORKAREA, work);
    return work;
}

SIZE getScreenSize()
{
    return SIZE{getSystemMetrics(SM_CXSCREEN), getSystemMetrics(SM_CYSCREEN)};
}


bool getWindowPlacement(HWND hwnd, WINDOWPLACEMENT& placement)
{
    auto lock = kernelLock();
    auto w = windowOrFail(hwnd);
    if (!w)
        return false;
    placement = WINDOWPLACEMENT{};
    placement.length = sizeof(WINDOWPLACEMENT);
    bool visible = (w->style & WS_VISIBLE) != 0;
    placement.showCmd = !visible ? SW_HIDE : w->minimized ? SW_SHOWMINIMIZED
                                          : w->maximized ? SW_SHOWMAXIMIZED
                                                         : SW_SHOWNORMAL;
    placement.ptMinPosition = w->minPosition ? *w->minPosition
                              : w->minimized ? POINT{w->rect.left, w->rect.top}
                                             : POINT{-1, -1};
    placement.ptMaxPosition = w->maximized ? POINT{w->rect.left, w->rect.top} : POINT{-1, -1};
    placement.rcNormalPosition = (w->minimized || w->maximized) ? w->normalRect : w->rect;
    if (usesWorkAreaCoordinates(*w)) {
        RECT& r = placement.rcNormalPosition;
        const POINT offset = workOffsetNear(POINT{r.left, r.top});
        r = RECT{r.left - offset.x, r.top - offset.y, r.right - offset.x, r.bottom - offset.y};
        if (w->maximized)
            placement.ptMaxPosition = POINT{placement.ptMaxPosition.x - offset.x, placement.ptMaxPosition.y - offset.y};
    }
    return true;
}

bool setWindowPlacement(HWND hwnd, const WINDOWPLACEMENT& placement)
{
    bool restored;  // not minimised or maximised now
    RECT normal = placement.rcNormalPosition;
    {
        auto lock = kernelLock();
        auto w = windowOrFail(hwnd);
        if (!w || !checkWindowThread(*w, "setWindowPlacement"))
            return false;
        if (placement.length != sizeof(WINDOWPLACEMENT)) {
            setLastError(ERROR_INVALID_PARAMETER);
            return false;
        }
        if (usesWorkAreaCoordinates(*w)) {
            const POINT offset = workOffsetNear(POINT{normal.left, normal.top});
            normal = RECT{normal.left + offset.x, normal.top + offset.y, normal.right + offset.x, normal.bottom + offset.y};
        }
        restored = !w->minimized && !w->maximized;
        if (!restored)
            w->normalRect = normal;
        if (placement.flags & WPF_SETMINPOSITION)
            w->minPosition = placement.ptMinPosition;
    }
    // A restored window moves to the new restore rectangle; a minimised or maximised one
    // keeps it for its next restore.
    if (restored)
        applyWindowPos(hwnd, nullptr, normal, SWP_NOZORDER | SWP_NOACTIVATE);
    int command = static_cast<int>(placement.showCmd);
    showWindow(hwnd, command);
    return true;
}

DWORD setWindowStyle(HWND hwnd, DWORD style)
{
    auto lock = kernelLock();
    auto w = windowOrFail(hwnd);
    if (!w)
        return 0;
    const DWORD previous = w->style;
    // Visibility changes only through showWindow and setWindowPos.
    w->style = (style & ~WS_VISIBLE) | (previous & WS_VISIBLE);
    return previous;
}

}  // namespace HA::OS
