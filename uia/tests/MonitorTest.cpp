#include "uia/window/Monitor.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <vector>

#include "os/kernel/Clock.h"
#include "os/kernel/Libraries.h"
#include "os/windows/Message.h"
#include "os/windows/Monitors.h"
#include "uia/app/AppModule.h"
#include "uia/app/Application.h"
#include "uia/events/Events.h"
#include "uia/platform/window/ShcoreFunctions.h"

using namespace HA;
using namespace HA::UIA;

namespace HA::GP {
static std::ostream& operator<<(std::ostream& out, const Rect& r)
{
    return out << "(" << r.left << ", " << r.top << ", " << r.right << ", " << r.bottom << ")";
}
}  // namespace HA::GP

namespace {

OS::MonitorDesc desc(OS::RECT monitor, int taskbar = 40, OS::UINT dpi = 96)
{
    return OS::MonitorDesc{monitor, OS::RECT{monitor.left, monitor.top, monitor.right, monitor.bottom - taskbar}, dpi};
}

OS::MonitorLayout layoutOf(std::vector<OS::MonitorDesc> monitors)
{
    OS::MonitorLayout layout;
    layout.monitors = std::move(monitors);
    return layout;
}

GP::Rect rect(int l, int t, int r, int b) { return GP::Rect{l, t, r, b}; }

const OS::RECT kPrimary{0, 0, 1920, 1080};
const OS::RECT kRight{1920, 0, 3840, 1080};
const OS::RECT kLeft{-1920, 0, 0, 1080};
const OS::RECT kAbove{0, -1080, 1920, 0};

class MonitorList : public ::testing::Test {
protected:
    void TearDown() override { dropMonitorList(); }
};

}  // namespace

TEST_F(MonitorList, ArrangementSortAndBoundingBox)
{
    struct Case {
        const char* name;
        std::vector<OS::MonitorDesc> monitors;  // in enumeration order
        bool stacked;
        std::vector<GP::Rect> sorted;
        GP::Rect bounds;
    };
    const std::vector<Case> cases = {
        {"side by side", {desc(kPrimary), desc(kRight)}, false,
         {rect(0, 0, 1920, 1080), rect(1920, 0, 3840, 1080)}, rect(0, 0, 3840, 1080)},
        {"side by side, right one first", {desc(kRight), desc(kPrimary)}, false,
         {rect(0, 0, 1920, 1080), rect(1920, 0, 3840, 1080)}, rect(0, 0, 3840, 1080)},
        {"stacked", {desc(kPrimary), desc(kAbove)}, true,
         {rect(0, -1080, 1920, 0), rect(0, 0, 1920, 1080)}, rect(0, -1080, 1920, 1080)},
        {"left of the primary and enumerated first", {desc(kLeft), desc(kPrimary)}, false,
         {rect(-1920, 0, 0, 1080), rect(0, 0, 1920, 1080)}, rect(-1920, 0, 1920, 1080)},
        {"one monitor", {desc(kPrimary)}, false, {rect(0, 0, 1920, 1080)}, rect(0, 0, 1920, 1080)},
        // The box grows from (0, 0, 1, 1), not from the first monitor.
        {"one monitor away from the origin", {desc(OS::RECT{100, 50, 900, 650})}, false, {rect(100, 50, 900, 650)},
         rect(0, 0, 900, 650)},
        {"one monitor left of and above the origin", {desc(OS::RECT{-800, -600, -10, -5})}, false,
         {rect(-800, -600, -10, -5)}, rect(-800, -600, 1, 1)},
    };
    for (const Case& c : cases) {
        OS::MonitorLayoutScope layout(layoutOf(c.monitors));
        ASSERT_TRUE(ensureMonitorList()) << c.name;
        EXPECT_EQ(monitorsStacked(), c.stacked) << c.name;
        ASSERT_EQ(monitorList().size(), c.sorted.size()) << c.name;
        for (std::size_t i = 0; i < c.sorted.size(); ++i) {
            EXPECT_EQ(monitorList()[i].monitor, c.sorted[i]) << c.name << " " << i;
            EXPECT_TRUE(monitorList()[i].valid) << c.name;
            EXPECT_FALSE(monitorList()[i].reserved) << c.name;
        }
        EXPECT_EQ(virtualDesktopBounds(), c.bounds) << c.name;
        dropMonitorList();
        EXPECT_FALSE(monitorListBuilt()) << c.name;
    }
}

TEST_F(MonitorList, TheFallbackWithoutMonitorsTakesTheTaskbarOff)
{
    struct Case {
        const char* name;
        std::optional<OS::RECT> trayWindow;  // a window of the taskbar's class
        std::optional<OS::RECT> taskbarQuery;
        std::optional<OS::RECT> workArea;
        GP::Rect work;
    };
    const std::vector<Case> cases = {
        {"tray window at the left", OS::RECT{-2, -2, 62, 1082}, OS::RECT{0, 1040, 1920, 1080}, std::nullopt,
         rect(62, 0, 1920, 1080)},
        {"tray window at the right", OS::RECT{1860, -2, 1922, 1082}, std::nullopt, std::nullopt,
         rect(0, 0, 1860, 1080)},
        {"taskbar query at the top", std::nullopt, OS::RECT{-2, -2, 1922, 30}, std::nullopt, rect(0, 30, 1920, 1080)},
        {"taskbar query at the bottom", std::nullopt, OS::RECT{0, 1040, 1920, 1080}, std::nullopt,
         rect(0, 0, 1920, 1040)},
        {"work area", std::nullopt, std::nullopt, OS::RECT{0, 0, 1900, 1000}, rect(0, 0, 1900, 1000)},
        {"nothing known: the maximised size less 8", std::nullopt, std::nullopt, std::nullopt,
         rect(0, 0, 1928, 1088)},
    };
    OS::WNDCLASSEXW wc;
    wc.lpfnWndProc = &OS::defWindowProc;
    wc.lpszClassName = u"Shell_TrayWnd";
    ASSERT_NE(OS::registerClass(wc), 0);
    for (const Case& c : cases) {
        OS::MonitorLayout layout;
        layout.taskbar = c.taskbarQuery;
        layout.workAreaWithoutMonitors = c.workArea;
        OS::MonitorLayoutScope scope(layout);
        OS::HWND tray = nullptr;
        if (c.trayWindow) {
            const OS::RECT& r = *c.trayWindow;
            tray = OS::createWindow(0, u"Shell_TrayWnd", u"", OS::WS_POPUP, r.left, r.top, r.right - r.left,
                                    r.bottom - r.top, nullptr, nullptr, nullptr, nullptr);
            ASSERT_NE(tray, nullptr);
        }
        EXPECT_TRUE(ensureMonitorList()) << c.name;
        ASSERT_EQ(monitorList().size(), 1u) << c.name;
        EXPECT_EQ(monitorList()[0].monitor, rect(0, 0, 1920, 1080)) << c.name;
        EXPECT_EQ(monitorList()[0].work, c.work) << c.name;
        EXPECT_TRUE(monitorList()[0].valid) << c.name;
        EXPECT_EQ(virtualDesktopBounds(), rect(0, 0, 1920, 1080)) << c.name;
        if (tray)
            OS::destroyWindow(tray);
        dropMonitorList();
    }
    OS::unregisterClass(u"Shell_TrayWnd");
}

TEST_F(MonitorList, LookUpsOnEdgesAndBeyond)
{
    struct Case {
        const char* name;
        std::vector<OS::MonitorDesc> monitors;
        GP::Point point;
        int at;   // index into the sorted list, -1 invalid
        int forIndex;
    };
    const auto sideBySide = std::vector<OS::MonitorDesc>{desc(kPrimary), desc(kRight)};
    const auto stacked = std::vector<OS::MonitorDesc>{desc(kPrimary), desc(kAbove)};
    const std::vector<Case> cases = {
        {"left edge of the right monitor", sideBySide, {1920, 10}, 1, 1},
        {"last pixel of the left monitor", sideBySide, {1919, 1079}, 0, 0},
        {"right edge of the desktop", sideBySide, {3840, 10}, -1, 1},
        {"far right", sideBySide, {5000, 10}, -1, 1},
        {"far left", sideBySide, {-5000, 10}, -1, 0},
        {"below, within the right monitor's span", sideBySide, {2500, 5000}, -1, 1},
        {"stacked: top edge of the lower monitor", stacked, {10, 0}, 1, 1},
        {"stacked: far below", stacked, {10, 5000}, -1, 1},
        {"stacked: far above", stacked, {10, -5000}, -1, 0},
        {"stacked: beside, within the upper span", stacked, {5000, -500}, -1, 0},
    };
    for (const Case& c : cases) {
        OS::MonitorLayoutScope layout(layoutOf(c.monitors));
        buildMonitorList();
        const MonitorInfo at = monitorAt(c.point);
        if (c.at < 0) {
            EXPECT_FALSE(at.valid) << c.name;
            EXPECT_EQ(at.monitor, rect(0, 0, 0, 0)) << c.name;
        } else {
            EXPECT_TRUE(at.valid) << c.name;
            EXPECT_EQ(at.monitor, monitorList()[c.at].monitor) << c.name;
        }
        const MonitorInfo found = monitorFor(c.point);
        EXPECT_TRUE(found.valid) << c.name;
        EXPECT_EQ(found.monitor, monitorList()[c.forIndex].monitor) << c.name;
        dropMonitorList();
    }
}

TEST_F(MonitorList, MonitorAtBuildsAnEmptyList)
{
    EXPECT_FALSE(monitorListBuilt());
    EXPECT_TRUE(monitorAt(GP::Point{5, 5}).valid);
    EXPECT_TRUE(monitorListBuilt());
}

TEST_F(MonitorList, MonitorScaleIsDpiOver96WhenTheLibraryIsThere)
{
    OS::MonitorLayoutScope layout(layoutOf({desc(kPrimary, 40, 96), desc(kRight, 40, 144)}));
    OS::WNDCLASSEXW wc;
    wc.lpfnWndProc = &OS::defWindowProc;
    wc.lpszClassName = u"HAMonitorScaleTest";
    ASSERT_NE(OS::registerClass(wc), 0);
    struct Case {
        const char* name;
        int x;
        bool absent;
        float scale;
    };
    const std::vector<Case> cases = {
        {"96 DPI", 100, false, 1.0f},
        {"144 DPI", 2000, false, 1.5f},
        {"144 DPI without the library", 2000, true, 1.0f},
        {"on no monitor", 9000, false, 1.0f},
    };
    for (const Case& c : cases) {
        std::unique_ptr<OS::LibraryAbsenceScope> absent;
        if (c.absent)
            absent = std::make_unique<OS::LibraryAbsenceScope>("Shcore.dll");
        ShcoreFunctions shcore;
        EXPECT_EQ(shcore.library == nullptr, c.absent) << c.name;
        EXPECT_EQ(shcore.getDpiForMonitor == nullptr, c.absent) << c.name;
        EXPECT_EQ(shcore.setProcessDpiAwareness == nullptr, c.absent) << c.name;
        OS::HWND hwnd = OS::createWindow(0, u"HAMonitorScaleTest", u"", OS::WS_POPUP, c.x, 100, 200, 100, nullptr,
                                         nullptr, nullptr, nullptr);
        ASSERT_NE(hwnd, nullptr);
        EXPECT_FLOAT_EQ(getMonitorScale(hwnd, shcore), c.scale) << c.name;
        EXPECT_FLOAT_EQ(getDisplayScale(hwnd), 1.0f) << c.name;  // never DPI-aware here
        OS::destroyWindow(hwnd);
    }
    EXPECT_EQ(OS::DETAIL::libraryReferences("shcore"), 0);
    OS::unregisterClass(u"HAMonitorScaleTest");
}

namespace {

class DisplayApp : public Application {
public:
    bool onEvent(int code, void* data) override
    {
        if (code == kEventDisplayChanged)
            sizes.push_back(*static_cast<std::uint32_t*>(data));
        return Application::onEvent(code, data);
    }
    std::vector<std::uint32_t> sizes;
};

class DisplayModule : public AppModule {
public:
    bool initialize() override { return true; }
    void deinitialize(bool) override {}
};

OS::LRESULT displayProc(OS::HWND hwnd, OS::UINT message, OS::WPARAM wParam, OS::LPARAM lParam)
{
    if (message == OS::WM_DISPLAYCHANGE && DETAIL::onDisplayChange(lParam))
        return 1;
    return OS::defWindowProc(hwnd, message, wParam, lParam);
}

}  // namespace

TEST_F(MonitorList, ADisplayChangeRebuildsTheListAndTellsTheApplication)
{
    OS::ManualClockScope clock;
    DisplayModule module;
    auto* app = new DisplayApp;
    ASSERT_TRUE(module.attachApplication(app));
    OS::WNDCLASSEXW wc;
    wc.lpfnWndProc = &displayProc;
    wc.lpszClassName = u"HADisplayTest";
    ASSERT_NE(OS::registerClass(wc), 0);
    OS::HWND hwnd = OS::createWindow(0, u"HADisplayTest", u"", OS::WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr,
                                     nullptr);
    ASSERT_TRUE(monitorListBuilt());
    {
        OS::MonitorLayoutScope layout(layoutOf({desc(kPrimary), desc(kRight)}));
        EXPECT_EQ(app->sizes, (std::vector<std::uint32_t>{1920u | (1080u << 16)}));
        EXPECT_EQ(monitorList().size(), 2u);
        EXPECT_EQ(virtualDesktopBounds(), rect(0, 0, 3840, 1080));
    }
    EXPECT_EQ(app->sizes.size(), 2u);
    EXPECT_EQ(monitorList().size(), 1u);
    dropMonitorList();
    {
        OS::MonitorLayoutScope layout(layoutOf({desc(kPrimary), desc(kRight)}));
        EXPECT_EQ(app->sizes.size(), 2u);  // no list, no event
        EXPECT_FALSE(monitorListBuilt());
    }
    OS::destroyWindow(hwnd);
    OS::unregisterClass(u"HADisplayTest");
    module.detachApplication();
}
