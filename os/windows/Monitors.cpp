#include "os/windows/Monitors.h"

#include <algorithm>
#include <mutex>

#include "os/kernel/Kernel.h"
#include "os/kernel/Libraries.h"
#include "os/windows/Message.h"

namespace HA::OS {

namespace {

std::mutex gLayoutMutex;

MonitorLayout& layoutLocked()
{
    static MonitorLayout layout = defaultMonitorLayout();
    return layout;
}

bool sameRect(const RECT& a, const RECT& b) { return a == b; }

bool sameLayout(const MonitorLayout& a, const MonitorLayout& b)
{
    if (a.monitors.size() != b.monitors.size())
        return false;
    for (std::size_t i = 0; i < a.monitors.size(); ++i)
        if (!sameRect(a.monitors[i].monitor, b.monitors[i].monitor) || !sameRect(a.monitors[i].work, b.monitors[i].work) ||
            a.monitors[i].dpi != b.monitors[i].dpi)
            return false;
    return a.screenWithoutMonitors.cx == b.screenWithoutMonitors.cx &&
           a.screenWithoutMonitors.cy == b.screenWithoutMonitors.cy;
}

std::size_t primaryIndex(const MonitorLayout& layout)
{
    for (std::size_t i = 0; i < layout.monitors.size(); ++i)
        if (layout.monitors[i].monitor.left == 0 && layout.monitors[i].monitor.top == 0)
            return i;
    return 0;
}

// Handles are the monitor's index + 1.
HMONITOR handleOf(std::size_t index) { return reinterpret_cast<HMONITOR>(static_cast<std::uintptr_t>(index + 1)); }

std::optional<MonitorDesc> monitorOf(HMONITOR monitor, bool& primary)
{
    const auto index = reinterpret_cast<std::uintptr_t>(monitor);
    std::lock_guard<std::mutex> lock(gLayoutMutex);
    const MonitorLayout& layout = layoutLocked();
    if (index == 0 || index > layout.monitors.size())
        return std::nullopt;
    primary = index - 1 == primaryIndex(layout);
    return layout.monitors[index - 1];
}

bool inside(const RECT& r, POINT p) { return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom; }

long long distanceSquared(const RECT& r, POINT p)
{
    const long long dx = p.x < r.left ? r.left - p.x : p.x >= r.right ? p.x - r.right + 1 : 0;
    const long long dy = p.y < r.top ? r.top - p.y : p.y >= r.bottom ? p.y - r.bottom + 1 : 0;
    return dx * dx + dy * dy;
}

long long overlapArea(const RECT& a, const RECT& b)
{
    const long long w = std::min(a.right, b.right) - std::max(a.left, b.left);
    const long long h = std::min(a.bottom, b.bottom) - std::max(a.top, b.top);
    return w > 0 && h > 0 ? w * h : 0;
}

// Shcore's exports, with the platform's calling shape.
HRESULT shcoreGetDpiForMonitor(HMONITOR monitor, int type, UINT* dpiX, UINT* dpiY)
{
    return getDpiForMonitor(monitor, static_cast<MONITOR_DPI_TYPE>(type), dpiX, dpiY);
}

HRESULT shcoreSetProcessDpiAwareness(int) { return S_OK; }

const bool gShcoreRegistered = DETAIL::registerSystemLibrary(
    "Shcore.dll", {{"GetDpiForMonitor", reinterpret_cast<void*>(&shcoreGetDpiForMonitor)},
                   {"SetProcessDpiAwareness", reinterpret_cast<void*>(&shcoreSetProcessDpiAwareness)}});

}  // namespace

MonitorLayout defaultMonitorLayout()
{
    MonitorLayout layout;
    layout.monitors.push_back(MonitorDesc{RECT{0, 0, 1920, 1080}, RECT{0, 0, 1920, 1040}, 96});
    layout.taskbar = RECT{0, 1040, 1920, 1080};
    return layout;
}

MonitorLayout monitorLayout()
{
    std::lock_guard<std::mutex> lock(gLayoutMutex);
    return layoutLocked();
}

void setMonitorLayout(const MonitorLayout& layout)
{
    (void)gShcoreRegistered;
    bool changed;
    SIZE primary;
    {
        std::lock_guard<std::mutex> lock(gLayoutMutex);
        changed = !sameLayout(layoutLocked(), layout);
        layoutLocked() = layout;
    }
    if (!changed)
        return;
    primary = SIZE{getSystemMetrics(SM_CXSCREEN), getSystemMetrics(SM_CYSCREEN)};
    const LPARAM size = makeLParam(primary.cx, primary.cy);
    const DWORD self = currentThreadId();
    for (HWND hwnd : getTopLevelWindows()) {
        if (getWindowThreadId(hwnd) == self)
            sendMessage(hwnd, WM_DISPLAYCHANGE, 32, size);
        else
            postMessage(hwnd, WM_DISPLAYCHANGE, 32, size);
    }
}

MonitorLayoutScope::MonitorLayoutScope(const MonitorLayout& layout) : mPrevious(monitorLayout())
{
    setMonitorLayout(layout);
}

MonitorLayoutScope::~MonitorLayoutScope() { setMonitorLayout(mPrevious); }

bool enumDisplayMonitors(HDC, const RECT* clip, MONITORENUMPROC proc, LPARAM data)
{
    if (!proc) {
        setLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    const MonitorLayout layout = monitorLayout();
    for (std::size_t i = 0; i < layout.monitors.size(); ++i) {
        RECT r = layout.monitors[i].monitor;
        if (clip) {
            r = RECT{std::max(r.left, clip->left), std::max(r.top, clip->top), std::min(r.right, clip->right),
                     std::min(r.bottom, clip->bottom)};
            if (r.left >= r.right || r.top >= r.bottom)
                continue;
        }
        if (!proc(handleOf(i), nullptr, &r, data))
            break;
    }
    return true;
}

bool getMonitorInfo(HMONITOR monitor, MONITORINFO& info)
{
    bool primary = false;
    auto desc = monitorOf(monitor, primary);
    if (!desc || info.cbSize != sizeof(MONITORINFO)) {
        setLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    info.rcMonitor = desc->monitor;
    info.rcWork = desc->work;
    info.dwFlags = primary ? MONITORINFOF_PRIMARY : 0;
    return true;
}

HMONITOR monitorFromPoint(POINT point, DWORD flags)
{
    const MonitorLayout layout = monitorLayout();
    if (layout.monitors.empty())
        return nullptr;
    std::size_t nearest = 0;
    long long best = -1;
    for (std::size_t i = 0; i < layout.monitors.size(); ++i) {
        if (inside(layout.monitors[i].monitor, point))
            return handleOf(i);
        const long long d = distanceSquared(layout.monitors[i].monitor, point);
        if (best < 0 || d < best) {
            best = d;
            nearest = i;
        }
    }
    if (flags == MONITOR_DEFAULTTOPRIMARY)
        return handleOf(primaryIndex(layout));
    if (flags == MONITOR_DEFAULTTONEAREST)
        return handleOf(nearest);
    return nullptr;
}

HMONITOR monitorFromWindow(HWND hwnd, DWORD flags)
{
    RECT rect;
    if (!getWindowRect(hwnd, rect))
        return flags == MONITOR_DEFAULTTONULL ? nullptr : monitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY);
    const MonitorLayout layout = monitorLayout();
    long long best = 0;
    std::size_t found = layout.monitors.size();
    for (std::size_t i = 0; i < layout.monitors.size(); ++i) {
        const long long area = overlapArea(layout.monitors[i].monitor, rect);
        if (area > best) {
            best = area;
            found = i;
        }
    }
    if (found < layout.monitors.size())
        return handleOf(found);
    return monitorFromPoint(POINT{rect.left, rect.top}, flags);
}

HRESULT getDpiForMonitor(HMONITOR monitor, MONITOR_DPI_TYPE, UINT* dpiX, UINT* dpiY)
{
    bool primary = false;
    auto desc = monitorOf(monitor, primary);
    if (!desc || !dpiX || !dpiY)
        return E_INVALIDARG;
    *dpiX = *dpiY = desc->dpi;
    return S_OK;
}

int getSystemMetrics(int index)
{
    const MonitorLayout layout = monitorLayout();
    RECT primary{0, 0, layout.screenWithoutMonitors.cx, layout.screenWithoutMonitors.cy};
    RECT work = primary;
    RECT bounds = primary;
    if (!layout.monitors.empty()) {
        primary = layout.monitors[primaryIndex(layout)].monitor;
        work = layout.monitors[primaryIndex(layout)].work;
        bounds = layout.monitors.front().monitor;
        for (const MonitorDesc& m : layout.monitors)
            bounds = RECT{std::min(bounds.left, m.monitor.left), std::min(bounds.top, m.monitor.top),
                          std::max(bounds.right, m.monitor.right), std::max(bounds.bottom, m.monitor.bottom)};
    } else if (layout.workAreaWithoutMonitors) {
        work = *layout.workAreaWithoutMonitors;
    }
    switch (index) {
    case SM_CXSCREEN:
        return primary.right - primary.left;
    case SM_CYSCREEN:
        return primary.bottom - primary.top;
    case SM_CXMAXIMIZED:  // the work area and a sizing frame on each side
        return work.right - work.left + 16;
    case SM_CYMAXIMIZED:
        return work.bottom - work.top + 16;
    case SM_XVIRTUALSCREEN:
        return bounds.left;
    case SM_YVIRTUALSCREEN:
        return bounds.top;
    case SM_CXVIRTUALSCREEN:
        return bounds.right - bounds.left;
    case SM_CYVIRTUALSCREEN:
        return bounds.bottom - bounds.top;
    case SM_CMONITORS:
        return static_cast<int>(layout.monitors.size());
    default:
        return 0;
    }
}

bool systemParametersInfo(UINT action, RECT& rect)
{
    if (action != SPI_GETWORKAREA) {
        setLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    const MonitorLayout layout = monitorLayout();
    if (!layout.monitors.empty()) {
        rect = layout.monitors[primaryIndex(layout)].work;
        return true;
    }
    if (!layout.workAreaWithoutMonitors) {
        setLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    rect = *layout.workAreaWithoutMonitors;
    return true;
}

UINT_PTR shAppBarMessage(DWORD message, APPBARDATA& data)
{
    const MonitorLayout layout = monitorLayout();
    if (message != ABM_GETTASKBARPOS || !layout.taskbar)
        return 0;
    data.rc = *layout.taskbar;
    return 1;
}

}  // namespace HA::OS
