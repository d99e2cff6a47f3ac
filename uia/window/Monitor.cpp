#include "uia/window/Monitor.h"

#include <algorithm>
#include <cstdint>

#include "os/windows/Monitors.h"
#include "uia/events/Events.h"
#include "uia/platform/window/ShcoreFunctions.h"
#include "uia/window/WindowApplication.h"

namespace HA::UIA {

namespace {

std::vector<MonitorInfo> gList;
bool gBuilt = false;
bool gStacked = false;
GP::Rect gBounds{0, 0, 1, 1};

GP::Rect toRect(const OS::RECT& r) { return GP::Rect{r.left, r.top, r.right, r.bottom}; }

OS::BOOL addMonitor(OS::HMONITOR monitor, OS::HDC, OS::RECT*, OS::LPARAM)
{
    OS::MONITORINFO info{};
    info.cbSize = sizeof(info);
    if (!OS::getMonitorInfo(monitor, info))
        return 1;
    MonitorInfo record;
    record.monitor = toRect(info.rcMonitor);
    record.work = toRect(info.rcWork);
    record.valid = true;
    // Grows from (0, 0, 1, 1): the box always holds the origin, where the primary monitor starts.
    gBounds = GP::Rect{std::min(gBounds.left, record.monitor.left), std::min(gBounds.top, record.monitor.top),
                       std::max(gBounds.right, record.monitor.right), std::max(gBounds.bottom, record.monitor.bottom)};
    gList.push_back(record);
    return 1;
}

// Monitors are stacked when one's horizontal span holds the centre of the one enumerated
// before it. The first has no such neighbour and takes no part.
bool arrangedTopToBottom(const std::vector<MonitorInfo>& list)
{
    for (std::size_t i = 1; i < list.size(); ++i) {
        const GP::Rect& previous = list[i - 1].monitor;
        const std::int32_t centre = previous.left + (previous.width() >> 1);
        const GP::Rect& r = list[i].monitor;
        if (static_cast<std::uint32_t>(centre - r.left) <= static_cast<std::uint32_t>(r.width()))
            return true;
    }
    return false;
}

// The primary screen less the taskbar, for a desktop that reports no monitor.
MonitorInfo fallbackMonitor()
{
    const int width = OS::getSystemMetrics(OS::SM_CXSCREEN);
    const int height = OS::getSystemMetrics(OS::SM_CYSCREEN);
    // The stand-in has no desktop window to read: the screen is the primary size.
    const OS::RECT screen{0, 0, width, height};
    OS::RECT work = screen;
    OS::RECT taskbar{};
    bool haveTaskbar = false;
    if (OS::HWND tray = OS::findWindow(u"Shell_TrayWnd", OS::WString()))
        haveTaskbar = OS::getWindowRect(tray, taskbar);
    if (!haveTaskbar) {
        OS::APPBARDATA data{};
        data.cbSize = sizeof(data);
        haveTaskbar = OS::shAppBarMessage(OS::ABM_GETTASKBARPOS, data) != 0;
        taskbar = data.rc;
    }
    if (haveTaskbar) {
        if (taskbar.top <= screen.top && taskbar.bottom >= screen.bottom) {
            if (taskbar.left <= screen.left)
                work.left = taskbar.right;
            else
                work.right = taskbar.left;
        } else if (taskbar.left <= screen.left && taskbar.right >= screen.right) {
            if (taskbar.top <= screen.top)
                work.top = taskbar.bottom;
            else
                work.bottom = taskbar.top;
        }
    } else if (!OS::systemParametersInfo(OS::SPI_GETWORKAREA, work)) {
        work = OS::RECT{0, 0, OS::getSystemMetrics(OS::SM_CXMAXIMIZED) - 8, OS::getSystemMetrics(OS::SM_CYMAXIMIZED) - 8};
    }
    MonitorInfo record;
    record.monitor = GP::Rect{0, 0, width, height};
    record.work = toRect(work);
    record.valid = true;
    return record;
}

// Which of the first record and the last one the point lies beyond, along one axis.
const MonitorInfo& nearerEnd(std::int32_t v, std::int32_t firstWorkStart, std::int32_t lastWorkEnd)
{
    return v >= firstWorkStart && v > lastWorkEnd ? gList.back() : gList.front();
}

}  // namespace

bool ensureMonitorList()
{
    if (!gBuilt)
        buildMonitorList();
    return !gList.empty();
}

void dropMonitorList()
{
    if (!gBuilt)
        return;
    gList.clear();
    gBuilt = false;
}

void buildMonitorList()
{
    gList.clear();
    gBounds = GP::Rect{0, 0, 1, 1};
    gStacked = false;
    OS::enumDisplayMonitors(nullptr, nullptr, &addMonitor, 0);
    if (gList.empty()) {
        gList.push_back(fallbackMonitor());
        gBounds = gList.front().monitor;
        gBuilt = true;
        return;
    }
    gStacked = arrangedTopToBottom(gList);
    std::stable_sort(gList.begin(), gList.end(), [](const MonitorInfo& a, const MonitorInfo& b) {
        return gStacked ? a.monitor.top < b.monitor.top : a.monitor.left < b.monitor.left;
    });
    gBuilt = true;
}

MonitorInfo monitorAt(const GP::Point& point)
{
    if (gList.empty())
        buildMonitorList();
    for (const MonitorInfo& m : gList)
        if (!m.monitor.isEmpty() && point.x >= m.monitor.left && point.x < m.monitor.right &&
            point.y >= m.monitor.top && point.y < m.monitor.bottom)
            return m;
    return MonitorInfo{};
}

MonitorInfo monitorFor(const GP::Point& point)
{
    MonitorInfo at = monitorAt(point);
    if (at.valid || gList.empty())
        return at;
    if (gStacked) {
        for (const MonitorInfo& m : gList)
            if (point.y >= m.monitor.top && point.y <= m.monitor.bottom)
                return m;
        return nearerEnd(point.y, gList.front().work.top, gList.back().work.bottom);
    }
    for (const MonitorInfo& m : gList)
        if (point.x >= m.monitor.left && point.x <= m.monitor.right)
            return m;
    return nearerEnd(point.x, gList.front().work.left, gList.back().work.right);
}

const std::vector<MonitorInfo>& monitorList() { return gList; }

bool monitorListBuilt() { return gBuilt; }

bool monitorsStacked() { return gStacked; }

GP::Rect virtualDesktopBounds() { return gBounds; }

float getMonitorScale(OS::HWND hwnd, const ShcoreFunctions& shcore)
{
    if (!shcore.getDpiForMonitor)
        return 1.0f;
    OS::HMONITOR monitor = OS::monitorFromWindow(hwnd, OS::MONITOR_DEFAULTTONULL);
    if (!monitor)
        return 1.0f;
    OS::UINT dpiX = 0;
    OS::UINT dpiY = 0;
    if (shcore.getDpiForMonitor(monitor, OS::MDT_EFFECTIVE_DPI, &dpiX, &dpiY) != OS::S_OK)
        return 1.0f;
    return static_cast<float>(dpiX) * 0.010416667f;
}

float getMonitorScale(OS::HWND hwnd)
{
    static const ShcoreFunctions shcore;
    return getMonitorScale(hwnd, shcore);
}

float getDisplayScale(OS::HWND hwnd)
{
    return DETAIL::isApplicationDpiAware() ? getMonitorScale(hwnd) : 1.0f;
}

namespace DETAIL {

bool onDisplayChange(OS::LPARAM lParam)
{
    if (!gBuilt)
        return false;
    buildMonitorList();
    auto size = static_cast<std::uint32_t>(lParam);
    sendToApplication(kEventDisplayChanged, &size);
    return true;
}

}  // namespace DETAIL

}  // namespace HA::UIA
