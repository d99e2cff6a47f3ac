#pragma once
// The framework's cached list of monitors with the virtual-desktop bounding box, the
// look-ups of the monitor at and for a point, and the display scale. Built by the
// application's initialize, dropped by its deinitialize, rebuilt on display changes.
// User-interface thread only; no lock.

#include <vector>

#include "gp/src/common/geometry/Geometry.h"
#include "os/windows/Window.h"

namespace HA::UIA {

struct ShcoreFunctions;

struct MonitorInfo {
    GP::Rect monitor;  // virtual-screen coordinates
    GP::Rect work;     // its work area
    bool reserved = false;
    bool valid = false;  // false in the answer for a point on no monitor
};

// Builds the list unless built; true when it holds at least one monitor.
bool ensureMonitorList();
// Empties the list when built.
void dropMonitorList();
// Rebuilds the list: the monitors sorted by left edge, or by top edge when they are
// stacked; without monitors one record of the primary screen less the taskbar.
void buildMonitorList();
// The first monitor that contains the point (right and bottom exclusive), else invalid.
MonitorInfo monitorAt(const GP::Point& point);
// monitorAt, else the monitor whose span on the arrangement's axis holds the point, else
// the nearer end of the list.
MonitorInfo monitorFor(const GP::Point& point);

const std::vector<MonitorInfo>& monitorList();
bool monitorListBuilt();
bool monitorsStacked();
// (0, 0, 1, 1) before the first build.
GP::Rect virtualDesktopBounds();

// DPI / 96 of the window's monitor; 1 without the display-scale library, off any monitor
// or when the query fails.
float getMonitorScale(OS::HWND hwnd);
// The same with a given binding of the display-scale library.
float getMonitorScale(OS::HWND hwnd, const ShcoreFunctions& shcore);
// getMonitorScale when the application is DPI-aware (never in this system), else 1.
float getDisplayScale(OS::HWND hwnd);

namespace DETAIL {

// The window procedure's WM_DISPLAYCHANGE: when the list is built, rebuilds it and sends
// kEventDisplayChanged (with the message's lParam) to the application; true then (answer 1).
bool onDisplayChange(OS::LPARAM lParam);

}  // namespace DETAIL

}  // namespace HA::UIA
