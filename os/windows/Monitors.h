#pragma once
// Monitors of the stand-in's desktop. A monitor layout (rectangle, work area and DPI per
// monitor) replaces a fixed screen: window placement, the screen metrics and the work area
// follow its primary monitor. The default is one 1920 x 1080 monitor at 96 DPI whose work
// area leaves 40 pixels for a taskbar at the bottom. Tests set other layouts with a scope;
// a change sends WM_DISPLAYCHANGE to the top-level windows.
//
// "Shcore.dll" (GetDpiForMonitor, SetProcessDpiAwareness) is a registered library of the
// stand-in (os/kernel/Libraries.h).

#include <optional>
#include <vector>

#include "os/files/KnownFolders.h"
#include "os/windows/Window.h"

namespace HA::OS {

struct HMONITOR__;
using HMONITOR = HMONITOR__*;

struct MONITORINFO {
    DWORD cbSize;
    RECT rcMonitor;
    RECT rcWork;
    DWORD dwFlags;
};
constexpr DWORD MONITORINFOF_PRIMARY = 0x00000001;

constexpr DWORD MONITOR_DEFAULTTONULL = 0;
constexpr DWORD MONITOR_DEFAULTTOPRIMARY = 1;
constexpr DWORD MONITOR_DEFAULTTONEAREST = 2;

enum MONITOR_DPI_TYPE { MDT_EFFECTIVE_DPI = 0, MDT_ANGULAR_DPI = 1, MDT_RAW_DPI = 2 };

// System metrics of the screens.
constexpr int SM_CXSCREEN = 0;
constexpr int SM_CYSCREEN = 1;
constexpr int SM_CXMAXIMIZED = 61;
constexpr int SM_CYMAXIMIZED = 62;
constexpr int SM_XVIRTUALSCREEN = 76;
constexpr int SM_YVIRTUALSCREEN = 77;
constexpr int SM_CXVIRTUALSCREEN = 78;
constexpr int SM_CYVIRTUALSCREEN = 79;
constexpr int SM_CMONITORS = 80;

constexpr UINT SPI_GETWORKAREA = 0x0030;

// The taskbar's record of the application-bar query.
struct APPBARDATA {
    DWORD cbSize;
    HWND hWnd;
    UINT uCallbackMessage;
    UINT uEdge;
    RECT rc;
    LPARAM lParam;
};
constexpr DWORD ABM_GETTASKBARPOS = 0x00000005;

// One monitor of the layout.
struct MonitorDesc {
    RECT monitor;  // virtual-screen coordinates
    RECT work;
    UINT dpi = 96;
};

struct MonitorLayout {
    // In enumeration order. The primary one is the monitor at (0, 0), else the first.
    std::vector<MonitorDesc> monitors;
    // What the screen metrics report when there is no monitor.
    SIZE screenWithoutMonitors{1920, 1080};
    // What the taskbar-position query reports; none: the query fails.
    std::optional<RECT> taskbar;
    // The work area query's answer when there is no monitor; none: the query fails.
    std::optional<RECT> workAreaWithoutMonitors;
};

MonitorLayout defaultMonitorLayout();
MonitorLayout monitorLayout();
// Replaces the layout; when it differs, sends WM_DISPLAYCHANGE (32 bits per pixel, the
// primary size in lParam) to the top-level windows: at once to those of the calling
// thread, posted to others.
void setMonitorLayout(const MonitorLayout& layout);

// Sets a layout for its life and puts the previous one back after.
class MonitorLayoutScope {
public:
    explicit MonitorLayoutScope(const MonitorLayout& layout);
    ~MonitorLayoutScope();
    MonitorLayoutScope(const MonitorLayoutScope&) = delete;
    MonitorLayoutScope& operator=(const MonitorLayoutScope&) = delete;

private:
    MonitorLayout mPrevious;
};

using MONITORENUMPROC = BOOL (*)(HMONITOR, HDC, RECT*, LPARAM);
// Calls `proc` for each monitor (within `clip` when given) in enumeration order until it
// answers FALSE. Handles stay valid until the layout changes.
bool enumDisplayMonitors(HDC hdc, const RECT* clip, MONITORENUMPROC proc, LPARAM data);
// False with ERROR_INVALID_PARAMETER for an unknown handle or a wrong cbSize.
bool getMonitorInfo(HMONITOR monitor, MONITORINFO& info);
HMONITOR monitorFromPoint(POINT point, DWORD flags);
// The monitor that holds most of the window's rectangle.
HMONITOR monitorFromWindow(HWND hwnd, DWORD flags);
// Shcore's per-monitor DPI (both axes the monitor's DPI); E_INVALIDARG for an unknown
// monitor.
HRESULT getDpiForMonitor(HMONITOR monitor, MONITOR_DPI_TYPE type, UINT* dpiX, UINT* dpiY);

int getSystemMetrics(int index);
// SPI_GETWORKAREA: the primary monitor's work area.
bool systemParametersInfo(UINT action, RECT& rect);
// ABM_GETTASKBARPOS: fills rc; 0 when the query fails.
UINT_PTR shAppBarMessage(DWORD message, APPBARDATA& data);

}  // namespace HA::OS
