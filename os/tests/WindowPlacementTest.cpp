#include <gtest/gtest.h>

#include "os/tests/WindowTestSupport.h"
#include "os/windows/Monitors.h"

using namespace HA::OS;
using HA::OS::Testing::WindowTest;

namespace {

// The primary monitor with a 40-pixel taskbar at its left and a second one at its right
// whose taskbar is at its top.
MonitorLayout twoMonitors()
{
    MonitorLayout layout;
    layout.monitors.push_back(MonitorDesc{RECT{0, 0, 1920, 1080}, RECT{40, 0, 1920, 1080}, 96});
    layout.monitors.push_back(MonitorDesc{RECT{1920, 0, 3840, 1080}, RECT{1920, 30, 3840, 1080}, 96});
    return layout;
}

class Placement : public WindowTest {
protected:
    MonitorLayoutScope mLayout{twoMonitors()};
};

TEST_F(Placement, PositionsAreWorkAreaCoordinatesOfTheWindowsMonitor)
{
    struct Row {
        const char* name;
        RECT screen;     // where the window is
        POINT workArea;  // its placement position
        DWORD exStyle;
    };
    const Row rows[] = {
        {"primary, taskbar at the left", RECT{140, 50, 540, 350}, POINT{100, 50}, 0},
        {"second, taskbar at the top", RECT{2100, 130, 2500, 430}, POINT{2100, 100}, 0},
        {"tool windows use screen coordinates", RECT{140, 50, 540, 350}, POINT{140, 50}, WS_EX_TOOLWINDOW},
    };
    for (const Row& r : rows) {
        HWND hwnd = create(WS_OVERLAPPEDWINDOW | WS_VISIBLE, nullptr, {}, u"test", r.exStyle, r.screen);
        WINDOWPLACEMENT p{};
        ASSERT_TRUE(getWindowPlacement(hwnd, p)) << r.name;
        EXPECT_EQ(p.rcNormalPosition.left, r.workArea.x) << r.name;
        EXPECT_EQ(p.rcNormalPosition.top, r.workArea.y) << r.name;
        EXPECT_EQ(p.rcNormalPosition.right - p.rcNormalPosition.left, 400) << r.name;

        // Setting the same placement leaves the window where it is.
        ASSERT_TRUE(setWindowPlacement(hwnd, p)) << r.name;
        RECT now{};
        getWindowRect(hwnd, now);
        EXPECT_EQ(now.left, r.screen.left) << r.name;
        EXPECT_EQ(now.top, r.screen.top) << r.name;
        destroyWindow(hwnd);
    }
}

TEST_F(Placement, MaximisedOverItsMonitorsWorkAreaAndRestoredFromThePlacement)
{
    HWND hwnd = create(WS_OVERLAPPEDWINDOW | WS_VISIBLE, nullptr, {}, u"test", 0, RECT{2100, 130, 2500, 430});
    showWindow(hwnd, SW_SHOWMAXIMIZED);
    RECT client{};
    getClientRect(hwnd, client);
    EXPECT_EQ(client.right, 1920);
    EXPECT_EQ(client.bottom, 1050 - 23) << "the work area's height less the caption";
    POINT origin{0, 0};
    clientToScreen(hwnd, origin);
    EXPECT_EQ(origin.x, 1920);
    EXPECT_EQ(origin.y, 30 + 23);
    WINDOWPLACEMENT p{};
    getWindowPlacement(hwnd, p);
    EXPECT_EQ(p.showCmd, static_cast<UINT>(SW_SHOWMAXIMIZED));
    EXPECT_EQ(p.ptMaxPosition.x, 1920 - 8) << "the frame outside the work area";
    EXPECT_EQ(p.ptMaxPosition.y, -8) << "in work-area coordinates";
    EXPECT_EQ(p.rcNormalPosition.top, 100);

    // A new restore rectangle waits for the restore.
    p.rcNormalPosition = RECT{2000, 200, 2300, 400};
    ASSERT_TRUE(setWindowPlacement(hwnd, p));
    EXPECT_TRUE(isZoomed(hwnd));
    showWindow(hwnd, SW_RESTORE);
    RECT r{};
    getWindowRect(hwnd, r);
    EXPECT_EQ(r.left, 2000);
    EXPECT_EQ(r.top, 230);
    EXPECT_EQ(r.right - r.left, 300);

    showWindow(hwnd, SW_SHOWMINIMIZED);
    getWindowPlacement(hwnd, p);
    EXPECT_EQ(p.showCmd, static_cast<UINT>(SW_SHOWMINIMIZED));
    EXPECT_LT(p.ptMinPosition.x, -9999);
}

// A minimised position is taken only with WPF_SETMINPOSITION, and then reported as given,
// minimised or not, while the window itself still parks off-screen.
TEST_F(Placement, AGivenMinimisedPositionIsKept)
{
    struct Row {
        const char* name;
        UINT flags;
        int showCmd;
        POINT reported;
    };
    const Row rows[] = {
        {"without the flag, restored", 0, SW_SHOWNORMAL, POINT{-1, -1}},
        {"without the flag, minimised", 0, SW_SHOWMINIMIZED, POINT{-32000, -32000}},
        {"with the flag, restored", WPF_SETMINPOSITION, SW_SHOWNORMAL, POINT{20, 30}},
        {"with the flag, minimised", WPF_SETMINPOSITION, SW_SHOWMINIMIZED, POINT{20, 30}},
    };
    for (const Row& r : rows) {
        HWND hwnd = create(WS_OVERLAPPEDWINDOW | WS_VISIBLE, nullptr, {}, u"test", 0, RECT{140, 50, 540, 350});
        WINDOWPLACEMENT p{};
        ASSERT_TRUE(getWindowPlacement(hwnd, p)) << r.name;
        p.flags = r.flags;
        p.showCmd = static_cast<UINT>(r.showCmd);
        p.ptMinPosition = POINT{20, 30};
        ASSERT_TRUE(setWindowPlacement(hwnd, p)) << r.name;
        WINDOWPLACEMENT q{};
        ASSERT_TRUE(getWindowPlacement(hwnd, q)) << r.name;
        EXPECT_EQ(q.ptMinPosition.x, r.reported.x) << r.name;
        EXPECT_EQ(q.ptMinPosition.y, r.reported.y) << r.name;
        RECT now{};
        getWindowRect(hwnd, now);
        EXPECT_EQ(now.left, r.showCmd == SW_SHOWMINIMIZED ? -32000 : 140) << r.name;
        destroyWindow(hwnd);
    }
}

}  // namespace
