#include "os/windows/Monitors.h"

#include <gtest/gtest.h>

#include <vector>

#include "os/kernel/Libraries.h"
#include "os/tests/WindowTestSupport.h"

using namespace HA::OS;
using HA::OS::Testing::WindowTest;

namespace {

MonitorLayout layoutOf(std::vector<MonitorDesc> monitors)
{
    MonitorLayout layout;
    layout.monitors = std::move(monitors);
    return layout;
}

struct Enumerated {
    HMONITOR handle;
    RECT rect;
};

BOOL collect(HMONITOR monitor, HDC, RECT* rect, LPARAM data)
{
    reinterpret_cast<std::vector<Enumerated>*>(data)->push_back(Enumerated{monitor, *rect});
    return 1;
}

std::vector<Enumerated> enumerate()
{
    std::vector<Enumerated> out;
    enumDisplayMonitors(nullptr, nullptr, &collect, reinterpret_cast<LPARAM>(&out));
    return out;
}

const MonitorDesc kLeft{RECT{-1920, 0, 0, 1080}, RECT{-1920, 0, 0, 1050}, 144};
const MonitorDesc kPrimary{RECT{0, 0, 1920, 1080}, RECT{0, 0, 1920, 1040}, 96};

}  // namespace

TEST(Monitors, TheDefaultLayoutIsOneFullHdMonitorWithATaskbarBelow)
{
    auto monitors = enumerate();
    ASSERT_EQ(monitors.size(), 1u);
    MONITORINFO info{};
    info.cbSize = sizeof(info);
    ASSERT_TRUE(getMonitorInfo(monitors[0].handle, info));
    EXPECT_EQ(info.rcMonitor, (RECT{0, 0, 1920, 1080}));
    EXPECT_EQ(info.rcWork, (RECT{0, 0, 1920, 1040}));
    EXPECT_EQ(info.dwFlags, MONITORINFOF_PRIMARY);
    EXPECT_EQ(getWorkArea(), (RECT{0, 0, 1920, 1040}));
    EXPECT_EQ(getScreenSize().cx, 1920);
    EXPECT_EQ(getSystemMetrics(SM_CMONITORS), 1);
    APPBARDATA bar{};
    bar.cbSize = sizeof(bar);
    ASSERT_NE(shAppBarMessage(ABM_GETTASKBARPOS, bar), 0u);
    EXPECT_EQ(bar.rc, (RECT{0, 1040, 1920, 1080}));
}

TEST(Monitors, ALayoutDecidesEnumerationInformationAndMetrics)
{
    MonitorLayoutScope scope(layoutOf({kLeft, kPrimary}));
    auto monitors = enumerate();
    ASSERT_EQ(monitors.size(), 2u);
    EXPECT_EQ(monitors[0].rect, kLeft.monitor);
    EXPECT_EQ(monitors[1].rect, kPrimary.monitor);
    MONITORINFO info{};
    info.cbSize = sizeof(info);
    ASSERT_TRUE(getMonitorInfo(monitors[0].handle, info));
    EXPECT_EQ(info.rcWork, kLeft.work);
    EXPECT_EQ(info.dwFlags, 0u);
    info.cbSize = 3;
    EXPECT_FALSE(getMonitorInfo(monitors[0].handle, info));
    info.cbSize = sizeof(info);
    EXPECT_FALSE(getMonitorInfo(reinterpret_cast<HMONITOR>(std::uintptr_t(99)), info));

    struct Metric {
        int index;
        int value;
    };
    for (const Metric& m : std::vector<Metric>{{SM_CXSCREEN, 1920}, {SM_CYSCREEN, 1080}, {SM_XVIRTUALSCREEN, -1920},
                                               {SM_YVIRTUALSCREEN, 0}, {SM_CXVIRTUALSCREEN, 3840},
                                               {SM_CYVIRTUALSCREEN, 1080}, {SM_CMONITORS, 2}})
        EXPECT_EQ(getSystemMetrics(m.index), m.value) << m.index;

    EXPECT_EQ(monitorFromPoint(POINT{-5, 5}, MONITOR_DEFAULTTONULL), monitors[0].handle);
    EXPECT_EQ(monitorFromPoint(POINT{0, 5}, MONITOR_DEFAULTTONULL), monitors[1].handle);
    EXPECT_EQ(monitorFromPoint(POINT{5000, 5}, MONITOR_DEFAULTTONULL), nullptr);
    EXPECT_EQ(monitorFromPoint(POINT{5000, 5}, MONITOR_DEFAULTTONEAREST), monitors[1].handle);
    EXPECT_EQ(monitorFromPoint(POINT{-5000, 5}, MONITOR_DEFAULTTOPRIMARY), monitors[1].handle);
    UINT x = 0, y = 0;
    EXPECT_EQ(getDpiForMonitor(monitors[0].handle, MDT_EFFECTIVE_DPI, &x, &y), S_OK);
    EXPECT_EQ(x, 144u);
    EXPECT_EQ(y, 144u);
}

TEST(Monitors, WithoutMonitorsTheQueriesAnswerFromTheFallbackFacts)
{
    MonitorLayout layout;
    layout.screenWithoutMonitors = SIZE{1280, 1024};
    MonitorLayoutScope scope(layout);
    EXPECT_TRUE(enumerate().empty());
    EXPECT_EQ(getSystemMetrics(SM_CXSCREEN), 1280);
    RECT work{};
    EXPECT_FALSE(systemParametersInfo(SPI_GETWORKAREA, work));
    APPBARDATA bar{};
    EXPECT_EQ(shAppBarMessage(ABM_GETTASKBARPOS, bar), 0u);
    layout.workAreaWithoutMonitors = RECT{0, 0, 1280, 1000};
    MonitorLayoutScope second(layout);
    ASSERT_TRUE(systemParametersInfo(SPI_GETWORKAREA, work));
    EXPECT_EQ(work, (RECT{0, 0, 1280, 1000}));
    EXPECT_EQ(getSystemMetrics(SM_CXMAXIMIZED), 1296);
}

TEST(Monitors, TheDisplayScaleLibraryIsFoundByNameUnlessAbsent)
{
    for (const char* name : {"Shcore.dll", "SHCORE", "shcore.DLL"}) {
        HMODULE library = loadLibrary(name);
        ASSERT_NE(library, nullptr) << name;
        EXPECT_NE(getProcAddress(library, "GetDpiForMonitor"), nullptr);
        EXPECT_NE(getProcAddress(library, "SetProcessDpiAwareness"), nullptr);
        EXPECT_EQ(getProcAddress(library, "GetScaleFactorForMonitor"), nullptr);
        EXPECT_EQ(DETAIL::libraryReferences("shcore"), 1);
        EXPECT_TRUE(freeLibrary(library));
        EXPECT_EQ(DETAIL::libraryReferences("shcore"), 0);
    }
    {
        LibraryAbsenceScope absent("Shcore.dll");
        EXPECT_EQ(loadLibrary("Shcore.dll"), nullptr);
        EXPECT_EQ(getLastError(), ERROR_MOD_NOT_FOUND);
    }
    EXPECT_EQ(loadLibrary("nosuch.dll"), nullptr);
    HMODULE library = loadLibrary("Shcore.dll");
    ASSERT_NE(library, nullptr);
    using Fn = HRESULT (*)(HMONITOR, int, UINT*, UINT*);
    auto fn = reinterpret_cast<Fn>(getProcAddress(library, "GetDpiForMonitor"));
    UINT x = 0, y = 0;
    EXPECT_EQ(fn(enumerate()[0].handle, MDT_EFFECTIVE_DPI, &x, &y), S_OK);
    EXPECT_EQ(x, 96u);
    freeLibrary(library);
}

class MonitorChanges : public WindowTest {};

TEST_F(MonitorChanges, ALayoutChangeSendsDisplayChangeToTopLevelWindows)
{
    HWND top = create(WS_POPUP);
    HWND messageOnly = create(0, HWND_MESSAGE);
    clearJournal();
    {
        MonitorLayoutScope scope(layoutOf({kPrimary, MonitorDesc{RECT{1920, 0, 3840, 1200}, RECT{1920, 0, 3840, 1200}, 96}}));
        auto logged = journal();
        ASSERT_EQ(logged.size(), 1u);
        EXPECT_EQ(logged[0].hwnd, top);
        EXPECT_EQ(logged[0].message, WM_DISPLAYCHANGE);
        EXPECT_EQ(logged[0].wParam, 32u);
        EXPECT_EQ(logged[0].lParam, makeLParam(1920, 1080));
        clearJournal();
        setMonitorLayout(monitorLayout());  // no change: nothing sent
        EXPECT_TRUE(journal().empty());
    }
    EXPECT_EQ(messages(top), (std::vector<UINT>{WM_DISPLAYCHANGE}));
    EXPECT_TRUE(messages(messageOnly).empty());
}
