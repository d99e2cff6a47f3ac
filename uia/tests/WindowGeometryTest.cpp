#include <gtest/gtest.h>

#include "os/windows/menus/Menu.h"
#include "os/windows/Monitors.h"
#include "uia/platform/window/StandaloneWindowImpl.h"
#include "uia/platform/window/WindowImplWin32.h"
#include "uia/tests/WindowTestSupport.h"
#include "uia/window/Monitor.h"

using namespace HA;
using namespace HA::UIA;
using namespace HA::UIA::TEST;

namespace HA::GP {
static std::ostream& operator<<(std::ostream& out, const Rect& r)
{
    return out << "(" << r.left << ", " << r.top << ", " << r.right << ", " << r.bottom << ")";
}
}  // namespace HA::GP

namespace {

constexpr int kTaskbar = 40;
const OS::RECT kPrimary{0, 0, 1920, 1080};
const OS::RECT kRight{1920, 0, 3840, 1080};

// The primary monitor with a taskbar at its left; optionally a second one at its right
// without a taskbar.
OS::MonitorLayout layoutWith(bool second)
{
    OS::MonitorLayout layout;
    layout.monitors.push_back(OS::MonitorDesc{kPrimary, OS::RECT{kTaskbar, 0, 1920, 1080}, 96});
    if (second)
        layout.monitors.push_back(OS::MonitorDesc{kRight, kRight, 96});
    return layout;
}

GP::Rect screenRect(OS::HWND hwnd)
{
    OS::RECT r{};
    OS::getWindowRect(hwnd, r);
    return GP::Rect{r.left, r.top, r.right, r.bottom};
}

class WindowGeometry : public FrameworkWindowTest {
protected:
    void SetUp() override { setUpWith(true); }

    void setUpWith(bool second)
    {
        mLayout = std::make_unique<OS::MonitorLayoutScope>(layoutWith(second));
        dropMonitorList();
        FrameworkWindowTest::SetUp();
        WindowDescriptor d;
        d.setTitle("Geometry");
        d.contentFlags |= WindowDescriptor::kSizeGiven | WindowDescriptor::kClientSize;
        d.right = 400;
        d.bottom = 300;
        ASSERT_TRUE(window.create(d));
        hwnd = window.hwnd();
        impl().show(true);
        window.handler = [this](RecordingWindow&, int code, void* data) -> std::optional<bool> {
            if (code == kEventSizeState)
                states.push_back(static_cast<SizeStateEventData*>(data)->state);
            return std::nullopt;
        };
    }

    void TearDown() override
    {
        FrameworkWindowTest::TearDown();
        mLayout.reset();
        dropMonitorList();
    }

    DETAIL::WindowImpl& impl() { return *window.getImpl(); }

    std::unique_ptr<OS::MonitorLayoutScope> mLayout;
    RecordingWindow window;
    OS::HWND hwnd = nullptr;
    std::vector<int> states;
};

TEST_F(WindowGeometry, SetPositionKeepsACornerOnTheWorkArea)
{
    struct Row {
        const char* name;
        GP::Point point;  // work-area coordinates of the primary monitor
        OS::POINT screen;
    };
    const Row rows[] = {
        {"inside", {100, 50}, {100 + kTaskbar, 50}},
        {"the work area's corner", {0, 0}, {kTaskbar, 0}},
        {"below", {200, 5000}, {200 + kTaskbar, 1076}},
        {"far right and below: on the right monitor", {5000, 5000}, {3836, 1076}},
        {"left of everything is not held", {-3000, 10}, {-3000 + kTaskbar, 10}},
    };
    for (const Row& r : rows) {
        impl().setPosition(r.point, false);
        const GP::Rect s = screenRect(hwnd);
        EXPECT_EQ(s.left, r.screen.x) << r.name;
        EXPECT_EQ(s.top, r.screen.y) << r.name;
        EXPECT_EQ(s.width(), screenRect(hwnd).width()) << r.name;
    }
    // Placement positions are work-area positions.
    impl().setPosition(GP::Point{100, 50}, false);
    GP::Rect outer;
    impl().getRect(&outer, false);
    EXPECT_EQ(outer.left, 100);
    EXPECT_EQ(outer.top, 50);
    GP::Rect client;
    impl().getRect(&client, true);
    OS::POINT origin{0, 0};
    OS::clientToScreen(hwnd, origin);
    EXPECT_EQ(client.left, origin.x - kTaskbar);
    EXPECT_EQ(client.top, origin.y);
    EXPECT_EQ(client.width(), 400);
    EXPECT_EQ(client.height(), 300);
    // A client point places the client area there.
    impl().setPosition(GP::Point{300, 200}, true);
    OS::POINT clientOrigin{0, 0};
    OS::clientToScreen(hwnd, clientOrigin);
    EXPECT_EQ(clientOrigin.x, 300 + kTaskbar);
    EXPECT_EQ(clientOrigin.y, 200);
}

TEST_F(WindowGeometry, SetPositionOfAHiddenWindowKeepsItHidden)
{
    impl().show(false);
    impl().setPosition(GP::Point{120, 80}, false);
    EXPECT_FALSE(OS::isWindowVisible(hwnd));
    EXPECT_EQ(screenRect(hwnd).left, 120 + kTaskbar);
}

TEST_F(WindowGeometry, ResizingAMaximisedWindowChangesItsRestoreSize)
{
    impl().setPosition(GP::Point{100, 100}, false);
    impl().maximize();
    const GP::Rect maximised = screenRect(hwnd);
    states.clear();
    impl().setSize(Size{500, 250}, true);
    EXPECT_EQ(screenRect(hwnd), maximised) << "the visible window stays";
    EXPECT_TRUE(impl().isZoomed());
    EXPECT_EQ(states, (std::vector<int>{kSizeStateNormal}));
    impl().restore();
    EXPECT_EQ(window.getSize(true), (Size{500, 250}));
    EXPECT_EQ(screenRect(hwnd).left, 100 + kTaskbar);

    // A position while maximised keeps the restore size and reports the normal state.
    impl().maximize();
    states.clear();
    impl().setPosition(GP::Point{200, 150}, false);
    EXPECT_EQ(screenRect(hwnd), maximised);
    EXPECT_EQ(states, (std::vector<int>{kSizeStateNormal}));
    impl().restore();
    EXPECT_EQ(window.getSize(true), (Size{500, 250}));
    EXPECT_EQ(screenRect(hwnd).left, 200 + kTaskbar);
    EXPECT_EQ(screenRect(hwnd).top, 150);

    // So does a position while minimised.
    impl().minimize();
    states.clear();
    impl().setPosition(GP::Point{250, 160}, false);
    EXPECT_TRUE(impl().isIconic());
    EXPECT_EQ(states, (std::vector<int>{kSizeStateNormal}));
    impl().restore();
    EXPECT_EQ(window.getSize(true), (Size{500, 250}));
    EXPECT_EQ(screenRect(hwnd).left, 250 + kTaskbar);
    EXPECT_EQ(screenRect(hwnd).top, 160);

    // So does a rectangle, which reports the normal state.
    impl().minimize();
    states.clear();
    impl().setRect(GP::Rect{10, 20, 610, 420}, true);
    EXPECT_TRUE(impl().isIconic());
    EXPECT_EQ(states, (std::vector<int>{kSizeStateNormal}));
    impl().restore();
    EXPECT_EQ(window.getSize(true), (Size{600, 400}));
    OS::POINT origin{0, 0};
    OS::clientToScreen(hwnd, origin);
    EXPECT_EQ(origin.x, 10 + kTaskbar);
    EXPECT_EQ(origin.y, 20);
}

TEST_F(WindowGeometry, TheOriginFollowsTheState)
{
    impl().setPosition(GP::Point{100, 100}, false);
    GP::Rect r;
    impl().maximize();
    impl().getRect(&r, false);
    EXPECT_EQ(r.left, 0) << "a maximised window's negative position is raised to 0";
    EXPECT_EQ(r.top, 0);
    impl().minimize();
    impl().getRect(&r, false);
    EXPECT_LT(r.left, -9999) << "the minimised position";
    impl().restore();
    GP::Rect normal;
    impl().getNormalRect(&normal, false);
    impl().getRect(&r, false);
    EXPECT_EQ(normal, r);
    impl().getNormalRect(&normal, true);
    impl().getRect(&r, true);
    EXPECT_EQ(normal, r);
}

TEST_F(WindowGeometry, PlacementIsValidatedAgainstTheMonitors)
{
    impl().setPosition(GP::Point{100, 100}, false);
    struct Row {
        const char* name;
        WindowPlacement placement;
        OS::POINT screen;  // of the outer rectangle
        Size client;
    };
    auto at = [](int x, int y, int w, int h) {
        WindowPlacement p;
        p.state = 1;
        p.x = x;
        p.y = y;
        p.width = w;
        p.height = h;
        return p;
    };
    const Row rows[] = {
        {"ordinary", at(300, 200, 500, 350), {300 + kTaskbar, 200}, {500, 350}},
        {"wider than the desktop keeps the size", at(310, 210, 4000, 100), {310 + kTaskbar, 210}, {500, 350}},
        {"negative height keeps the size", at(320, 220, 100, -5), {320 + kTaskbar, 220}, {500, 350}},
        {"on no monitor: the work area's corner", at(-3000, 200, 0, 0), {kTaskbar, 0}, {500, 350}},
        {"beyond the right monitor: its corner", at(5000, 10, 0, 0), {1920, 0}, {500, 350}},
        {"right edge on a monitor is enough", at(-450, 30, 500, 350), {-450 + kTaskbar, 30}, {500, 350}},
        {"no position keeps it", at(-10000, -10000, 450, 320), {-450 + kTaskbar, 30}, {450, 320}},
    };
    for (const Row& r : rows) {
        impl().setPlacement(r.placement);
        const GP::Rect s = screenRect(hwnd);
        EXPECT_EQ(s.left, r.screen.x) << r.name;
        EXPECT_EQ(s.top, r.screen.y) << r.name;
        EXPECT_EQ(window.getSize(true), r.client) << r.name;
    }
}

// The styles of a framed window.
constexpr OS::DWORD kOverlapped = OS::WS_OVERLAPPEDWINDOW | OS::WS_CLIPCHILDREN;

// A top-level window created with the given styles, hidden.
std::unique_ptr<RecordingWindow> windowWithStyles(OS::DWORD style, OS::DWORD exStyle)
{
    auto window = std::make_unique<RecordingWindow>();
    auto* impl = new DETAIL::StandaloneWindowImpl(window.get());
    window->setImpl(impl);
    WindowDescriptor d;
    d.contentFlags |= WindowDescriptor::kSizeGiven | WindowDescriptor::kClientSize;
    d.right = 200;
    d.bottom = 100;
    const int type = (style & OS::WS_POPUP) ? DETAIL::kFramelessWindowClass : DETAIL::kNormalWindowClass;
    if (!impl->create(d, type, style, exStyle)) {
        window->setImpl(nullptr);
        delete impl;
        return nullptr;
    }
    return window;
}

TEST_F(WindowGeometry, PlacementReportsStateRestoreRectangleAndLayer)
{
    impl().setPosition(GP::Point{100, 60}, false);
    struct Row {
        const char* name;
        std::function<void(DETAIL::WindowImpl&)> act;
        int state;
        int minX;  // 7, 8: the caller's values stay
        int minY;
    };
    const Row rows[] = {
        {"normal", [](DETAIL::WindowImpl&) {}, 1, 7, 8},
        {"maximised", [](DETAIL::WindowImpl& i) { i.maximize(); }, 3, 7, 8},
        // The platform parks minimised windows at negative positions.
        {"minimised", [](DETAIL::WindowImpl& i) { i.minimize(); }, 2, 7, 8},
        {"hidden", [](DETAIL::WindowImpl& i) {
             i.restore();
             i.show(false);
         },
         0, 7, 8},
        {"minimised position given",
         [](DETAIL::WindowImpl& i) {
             WindowPlacement given;
             given.state = -1;
             given.x = given.y = -10000;
             given.minX = 20;
             given.minY = 30;
             i.setPlacement(given);
         },
         0, 20, 30},
    };
    for (const Row& r : rows) {
        r.act(impl());
        WindowPlacement p;
        p.minX = 7;
        p.minY = 8;
        impl().getPlacement(&p);
        EXPECT_EQ(p.state, r.state) << r.name;
        EXPECT_EQ(p.x, 100) << r.name;
        EXPECT_EQ(p.y, 60) << r.name;
        EXPECT_EQ(p.width, 400) << r.name;
        EXPECT_EQ(p.height, 300) << r.name;
        EXPECT_EQ(p.minX, r.minX) << r.name;
        EXPECT_EQ(p.minY, r.minY) << r.name;
        EXPECT_EQ(p.layer, 0) << r.name;
        EXPECT_EQ(p.zIndex, 0) << r.name;
    }
    // A round trip puts the window back.
    impl().show(true);
    WindowPlacement saved;
    impl().getPlacement(&saved);
    impl().setPosition(GP::Point{700, 500}, false);
    impl().setSize(Size{200, 100}, true);
    impl().setPlacement(saved);
    EXPECT_EQ(screenRect(hwnd).left, 100 + kTaskbar);
    EXPECT_EQ(window.getSize(true), (Size{400, 300}));
}

TEST_F(WindowGeometry, PlacementLayerFollowsTheStyles)
{
    struct LayerRow {
        const char* name;
        OS::DWORD style;
        OS::DWORD exStyle;
        int layer;
    };
    const LayerRow layers[] = {
        {"ordinary", kOverlapped, 0, 0},
        {"extended style bit 0x40", kOverlapped, 0x40, 3},
        {"bit 0x40 before topmost", kOverlapped, 0x40 | OS::WS_EX_TOPMOST, 3},
        {"topmost", kOverlapped, OS::WS_EX_TOPMOST, 4},
        {"tool pop-up", OS::WS_POPUP, OS::WS_EX_TOOLWINDOW, 5},
        {"tool pop-up before topmost", OS::WS_POPUP, OS::WS_EX_TOOLWINDOW | OS::WS_EX_TOPMOST, 5},
        {"tool pop-up that does not activate", OS::WS_POPUP, OS::WS_EX_TOOLWINDOW | OS::WS_EX_NOACTIVATE, 10},
        {"a tool window that is no pop-up", kOverlapped, OS::WS_EX_TOOLWINDOW, 0},
        {"a pop-up that is no tool window", OS::WS_POPUP, OS::WS_EX_NOACTIVATE, 0},
    };
    for (const LayerRow& r : layers) {
        auto w = windowWithStyles(r.style, r.exStyle);
        ASSERT_TRUE(w) << r.name;
        WindowPlacement p;
        w->getImpl()->getPlacement(&p);
        EXPECT_EQ(p.layer, r.layer) << r.name;
    }
}

TEST_F(WindowGeometry, PlacementCountsOnlyTheWindowsOfItsLayerDirectlyAbove)
{
    struct Stack {
        const char* name;
        std::vector<OS::DWORD> above;  // extended styles, lowest first
        int zIndex;
    };
    const Stack stacks[] = {
        {"none above", {}, 0},
        {"two of its layer", {0, 0}, 2},
        {"another layer directly above", {OS::WS_EX_TOPMOST}, 0},
        {"another layer between", {OS::WS_EX_TOPMOST, 0}, 0},
        {"counting stops at another layer", {0, OS::WS_EX_TOPMOST, 0}, 1},
    };
    for (const Stack& stack : stacks) {
        auto base = windowWithStyles(kOverlapped, 0);
        ASSERT_TRUE(base) << stack.name;
        std::vector<std::unique_ptr<RecordingWindow>> above;
        for (OS::DWORD ex : stack.above) {
            above.push_back(windowWithStyles(kOverlapped, ex));
            ASSERT_TRUE(above.back()) << stack.name;
        }
        WindowPlacement p;
        base->getImpl()->getPlacement(&p);
        EXPECT_EQ(p.zIndex, stack.zIndex) << stack.name;
    }
}

struct FullScreenRow {
    const char* name;
    bool second;
    GP::Point position;  // where the window is before
    OS::RECT monitor;    // the one it covers
};

class FullScreen : public WindowGeometry, public ::testing::WithParamInterface<FullScreenRow> {
protected:
    void SetUp() override { setUpWith(GetParam().second); }
};

TEST_P(FullScreen, CoversTheMonitorAndPutsEverythingBack)
{
    const FullScreenRow& row = GetParam();
    OS::HMENU menu = OS::createMenu();
    OS::appendMenu(menu, OS::MF_STRING, 1, u"Item");
    OS::setMenu(hwnd, menu);
    impl().setPosition(row.position, false);
    impl().show(true);
    OS::setForegroundWindow(hwnd);
    const OS::DWORD style = OS::getWindowStyle(hwnd);
    GP::Rect client;
    impl().getRect(&client, true);

    impl().enterFullScreen();
    EXPECT_TRUE(impl().isFullScreen());
    EXPECT_EQ(OS::getWindowStyle(hwnd), 0x92000000u);
    EXPECT_EQ(OS::getMenu(hwnd), nullptr);
    const GP::Rect m{row.monitor.left, row.monitor.top, row.monitor.right, row.monitor.bottom};
    EXPECT_EQ(screenRect(hwnd), m);
    EXPECT_EQ(window.getSize(true), (Size{m.width(), m.height()}));
    impl().enterFullScreen();  // does nothing: the saved style stays the window's own

    impl().leaveFullScreen();
    EXPECT_FALSE(impl().isFullScreen());
    EXPECT_EQ(OS::getWindowStyle(hwnd), style);
    EXPECT_EQ(OS::getMenu(hwnd), menu);
    EXPECT_TRUE(impl().isNormal());
    GP::Rect after;
    impl().getRect(&after, true);
    EXPECT_EQ(after, client);
    impl().leaveFullScreen();  // does nothing
    EXPECT_EQ(OS::getWindowStyle(hwnd), style);
}

INSTANTIATE_TEST_SUITE_P(Monitors, FullScreen,
                         ::testing::Values(FullScreenRow{"one monitor", false, {300, 200}, kPrimary},
                                           FullScreenRow{"two, window on the left", true, {300, 200}, kPrimary},
                                           FullScreenRow{"two, window on the right", true, {2500, 200}, kRight}),
                         [](const auto& info) { return std::string(info.param.second ? "Two" : "One") +
                                                       std::to_string(info.index); });

}  // namespace
