#include <gtest/gtest.h>

#include "gp/src/common/geometry/Region.h"
#include "gp/src/common/memory/SmallPool.h"
#include "os/kernel/Text.h"
#include "uia/tests/WindowTestSupport.h"

using namespace HA;
using namespace HA::UIA;
using namespace HA::UIA::TEST;

namespace {

class WindowMessages : public FrameworkWindowTest {
protected:
    void SetUp() override
    {
        FrameworkWindowTest::SetUp();
        ASSERT_TRUE(window.create(mainDescriptor()));
        hwnd = window.hwnd();
    }

    RecordingWindow window;
    OS::HWND hwnd = nullptr;
};

TEST_F(WindowMessages, TheModifiedMarkerFollowsTheTitle)
{
    struct Step {
        const char* name;
        std::function<void(DETAIL::WindowImpl&)> act;
        const char16_t* shown;
    };
    const Step steps[] = {
        {"modified", [](DETAIL::WindowImpl& i) { i.setModified(true); }, u"Main*"},
        {"again", [](DETAIL::WindowImpl& i) { i.setModified(true); }, u"Main*"},
        {"title while modified", [](DETAIL::WindowImpl& i) { i.setTitle("Other"); }, u"Other*"},
        {"not modified", [](DETAIL::WindowImpl& i) { i.setModified(false); }, u"Other"},
        {"null title", [](DETAIL::WindowImpl& i) { i.setTitle(nullptr); }, u""},
    };
    for (const Step& s : steps) {
        s.act(*window.getImpl());
        EXPECT_EQ(OS::getWindowText(hwnd), s.shown) << s.name;
    }
    // A window whose title was never stored takes its current text first.
    window.getImpl()->setModified(false);
    OS::setWindowText(hwnd, u"Typed");
    window.getImpl()->setModified(true);
    EXPECT_EQ(OS::getWindowText(hwnd), u"Typed*");
    EXPECT_EQ(window.getImpl()->getTitle(), "Typed");
}

TEST_F(WindowMessages, CommandsAreHandledOrGoToDefaultProcessing)
{
    int seen = 0;
    window.handler = [&](RecordingWindow&, int code, void* data) -> std::optional<bool> {
        if (code != kEventCommand)
            return std::nullopt;
        seen = static_cast<CommandEventData*>(data)->id;
        return seen == 42;
    };
    EXPECT_EQ(OS::sendMessage(hwnd, OS::WM_COMMAND, OS::makeWParam(42, 1), 0), 0);
    EXPECT_EQ(seen, 42);
    EXPECT_EQ(OS::sendMessage(hwnd, OS::WM_COMMAND, 30002, 0), 0);
    EXPECT_EQ(seen, 30002);
    EXPECT_EQ(OS::sendMessage(hwnd, OS::WM_GETDLGCODE, 0, 0), 4);
}

TEST_F(WindowMessages, WindowEventsComeFromTheirMessages)
{
    struct Case {
        OS::UINT message;
        OS::WPARAM wParam;
        OS::LPARAM lParam;
        std::vector<int> events;
    };
    const Case cases[] = {
        {OS::WM_ACTIVATE, OS::WA_ACTIVE, 0, {kEventWindowActivated}},
        {OS::WM_ACTIVATE, OS::WA_INACTIVE, 0, {kEventWindowDeactivated}},
        {OS::WM_CHILDACTIVATE, 0, 0, {kEventWindowActivated}},
        {OS::WM_SETFOCUS, 0, 0, {kEventFocusGained}},
        {OS::WM_KILLFOCUS, 0, 0, {kEventFocusLost}},
        {OS::WM_CANCELMODE, 0, 0, {kEventCaptureLost, kEventFocusLost}},
        // The capture went to another window.
        {OS::WM_CAPTURECHANGED, 0, OS::LPARAM(0x7001), {kEventCaptureLost}},
        {OS::WM_SIZE, OS::SIZE_MAXIMIZED, 0, {kEventSizeState}},
    };
    for (const Case& c : cases) {
        window.events.clear();
        OS::sendMessage(hwnd, c.message, c.wParam, c.lParam);
        // Default processing may add its own (activation gives the focus).
        ASSERT_GE(window.events.size(), c.events.size()) << c.message;
        EXPECT_EQ(std::vector<int>(window.events.begin(), window.events.begin() + long(c.events.size())), c.events)
            << c.message;
    }
    window.events.clear();
    OS::sendMessage(hwnd, OS::WM_CAPTURECHANGED, 0, reinterpret_cast<OS::LPARAM>(hwnd));
    EXPECT_TRUE(window.events.empty());
    // Released, not taken: the window's own release on a button's release does this.
    OS::sendMessage(hwnd, OS::WM_CAPTURECHANGED, 0, 0);
    EXPECT_TRUE(window.events.empty());

    int state = -1;
    window.handler = [&](RecordingWindow&, int code, void* data) -> std::optional<bool> {
        if (code == kEventSizeState)
            state = static_cast<SizeStateEventData*>(data)->state;
        return std::nullopt;
    };
    OS::sendMessage(hwnd, OS::WM_SIZE, OS::SIZE_MINIMIZED, 0);
    EXPECT_EQ(state, kSizeStateMinimised);
    window.events.clear();
    window.getImpl()->raise();
    EXPECT_EQ(window.count(kEventWindowRaised), 1);
}

TEST_F(WindowMessages, ZoomTakesTheIdealSizeOnlyInTheNormalState)
{
    Size ideal{400, 250};
    bool answer = true;
    window.handler = [&](RecordingWindow&, int code, void* data) -> std::optional<bool> {
        if (code != kEventZoomSize)
            return std::nullopt;
        auto* z = static_cast<ZoomSizeEventData*>(data);
        EXPECT_EQ(z->width, 0);
        z->width = ideal.width;
        z->height = ideal.height;
        return answer;
    };
    DETAIL::WindowImpl& impl = *window.getImpl();
    EXPECT_FALSE(impl.isZoomedToIdeal());
    impl.zoom();
    EXPECT_EQ(window.getSize(true), ideal);
    EXPECT_TRUE(impl.isZoomedToIdeal());
    ideal = Size{300, 200};
    EXPECT_FALSE(impl.isZoomedToIdeal());
    answer = false;
    impl.zoom();
    EXPECT_EQ(window.getSize(true), (Size{400, 250}));
    EXPECT_FALSE(impl.isZoomedToIdeal());
    answer = true;
    impl.maximize();
    EXPECT_FALSE(impl.isNormal());
    const int asked = window.count(kEventZoomSize);
    impl.zoom();
    EXPECT_FALSE(impl.isZoomedToIdeal());
    EXPECT_EQ(window.count(kEventZoomSize), asked);
}

TEST_F(WindowMessages, SizeLimitsBecomeTrackingSizesOfTheFrame)
{
    window.handler = [](RecordingWindow&, int code, void* data) -> std::optional<bool> {
        if (code != kEventSizeLimits)
            return std::nullopt;
        auto* l = static_cast<SizeLimitsEventData*>(data);
        l->flags = kSizeLimitMinimum | kSizeLimitMaximum;
        l->minWidth = 200;
        l->minHeight = 100;
        l->maxWidth = 800;
        l->maxHeight = 600;
        return true;
    };
    OS::MINMAXINFO info{};
    info.ptMaxTrackSize = OS::POINT{5000, 5000};
    OS::sendMessage(hwnd, OS::WM_GETMINMAXINFO, 0, reinterpret_cast<OS::LPARAM>(&info));
    OS::RECT frame{0, 0, 0, 0};
    OS::adjustWindowRectEx(frame, OS::getWindowStyle(hwnd), false, 0);
    const int dx = frame.right - frame.left, dy = frame.bottom - frame.top;
    EXPECT_EQ(info.ptMinTrackSize.x, 200 + dx);
    EXPECT_EQ(info.ptMinTrackSize.y, 100 + dy);
    EXPECT_EQ(info.ptMaxTrackSize.x, 800 + dx);
    EXPECT_EQ(info.ptMaxTrackSize.y, 600 + dy);
}

TEST_F(WindowMessages, ControlMessagesReachTheControlTheyName)
{
    std::vector<std::pair<OS::UINT, OS::WPARAM>> got;
    static std::vector<std::pair<OS::UINT, OS::WPARAM>>* sink = nullptr;
    sink = &got;
    OS::WNDCLASSEXW wc;
    wc.lpszClassName = u"HAControlTest";
    wc.lpfnWndProc = [](OS::HWND h, OS::UINT m, OS::WPARAM w, OS::LPARAM l) -> OS::LRESULT {
        if (m >= OS::WM_DRAWITEM && m <= OS::WM_COMPAREITEM && sink)
            sink->emplace_back(m, w);
        return OS::defWindowProc(h, m, w, l);
    };
    ASSERT_TRUE(OS::registerClass(wc));
    OS::HWND control = OS::createWindow(0, u"HAControlTest", u"c", OS::WS_CHILD, 0, 0, 5, 5, hwnd,
                                        reinterpret_cast<OS::HMENU>(7), nullptr, nullptr);
    ASSERT_TRUE(control);
    OS::sendMessage(hwnd, OS::WM_DRAWITEM, 7, 0);
    OS::sendMessage(hwnd, OS::WM_MEASUREITEM, 8, 0);  // no control with id 8
    OS::sendMessage(hwnd, OS::WM_VKEYTOITEM, OS::makeWParam('A', 3), reinterpret_cast<OS::LPARAM>(control));
    OS::sendMessage(hwnd, OS::WM_CHARTOITEM, 'b', reinterpret_cast<OS::LPARAM>(control));
    const std::vector<std::pair<OS::UINT, OS::WPARAM>> expected = {
        {OS::WM_DRAWITEM, 7}, {OS::WM_VKEYTOITEM, OS::makeWParam('A', 3)}, {OS::WM_CHARTOITEM, 'b'}};
    EXPECT_EQ(got, expected);
    OS::destroyWindow(control);
    sink = nullptr;
    EXPECT_TRUE(OS::unregisterClass(u"HAControlTest"));
}

TEST_F(WindowMessages, InvalidationCoversTheRegionsRectanglesOrItsBounds)
{
    ASSERT_TRUE(GP::acquireSmallPool());
    window.setVisible(true);
    EXPECT_EQ(window.count(kEventWindowShowing), 1);
    EXPECT_TRUE(window.isVisible());
    OS::pumpMessages();
    struct Case {
        const char* name;
        std::vector<GP::Rect> rects;
        OS::RECT expected;
    };
    const Case cases[] = {
        {"one", {{10, 10, 20, 30}}, {10, 10, 20, 30}},
        {"two", {{10, 10, 20, 20}, {100, 50, 120, 60}}, {10, 10, 120, 60}},
    };
    for (const Case& c : cases) {
        GP::Region region;
        for (const GP::Rect& r : c.rects)
            region.unionRect(r);
        window.invalidateRegion(region);
        OS::RECT update;
        EXPECT_TRUE(OS::getUpdateRect(hwnd, update)) << c.name;
        EXPECT_EQ(update, c.expected) << c.name;
        OS::validateRect(hwnd, nullptr);
    }
    window.invalidate();
    OS::RECT update;
    OS::getUpdateRect(hwnd, update);
    EXPECT_EQ(update, (OS::RECT{0, 0, 627, 335}));
    OS::validateRect(hwnd, nullptr);
    window.setVisible(false);
    EXPECT_FALSE(window.isVisible());
    GP::releaseSmallPool();
}

TEST_F(WindowMessages, WithoutAnImplementationWindowsDoNothing)
{
    StandaloneWindow none;
    none.invalidate();
    none.setVisible(true);
    none.setIcon(nullptr, 1);
    none.setCursor(nullptr);
    GP::Point p{3, 4};
    none.clientToScreen(p);
    EXPECT_EQ(p, (GP::Point{3, 4}));
    EXPECT_FALSE(none.isVisible());
    EXPECT_EQ(none.getSize(false), Size{});
    EXPECT_EQ(none.getScaleFactor(), 1.0f);
    EXPECT_FALSE(none.onEvent(kEventCommand, noEventData()));
}

}  // namespace
