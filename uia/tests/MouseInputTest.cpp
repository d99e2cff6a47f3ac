#include <gtest/gtest.h>

#include <cmath>

#include "os/windows/icons/Icon.h"
#include "os/windows/Message.h"
#include "os/windows/Monitors.h"
#include "uia/platform/window/WindowImplWin32.h"
#include "uia/tests/InputTestSupport.h"

using namespace HA;
using namespace HA::UIA;
using namespace HA::UIA::TEST;
namespace INPUT = HA::OS::INPUT;

namespace {

class MouseInput : public InputWindowTest {
protected:
    static DETAIL::WindowImplWin32& impl(RecordingWindow& w)
    {
        return *static_cast<DETAIL::WindowImplWin32*>(w.getImpl());
    }
};

struct Pos {
    int code;
    int x;
    int y;
};

std::vector<Pos> positions(const std::vector<Recorded>& got)
{
    std::vector<Pos> out;
    for (const Recorded& r : got)
        out.push_back(Pos{r.code, static_cast<int>(r.a), static_cast<int>(r.b)});
    return out;
}

bool operator==(const Pos& a, const Pos& b) { return a.code == b.code && a.x == b.x && a.y == b.y; }

std::ostream& operator<<(std::ostream& s, const Pos& p) { return s << p.code << "(" << p.x << "," << p.y << ")"; }

}  // namespace

TEST_F(MouseInput, EnterMoveAndLeave)
{
    RecordingWindow& w = open();
    const OS::POINT o = origin(w);
    struct Step {
        int x, y;
        std::vector<Pos> expected;
    };
    const Step steps[] = {
        {10, 20, {{kEventMouseEnter, 10, 20}, {kEventMouseMove, 10, 20}}},
        {15, 22, {{kEventMouseMove, 15, 22}}},
        {1000, 900, {{kEventMouseLeave, 0, 0}}},
        {1, 2, {{kEventMouseEnter, 1, 2}, {kEventMouseMove, 1, 2}}},
    };
    for (const Step& s : steps) {
        ASSERT_TRUE(INPUT::moveTo(o.x + s.x, o.y + s.y) || s.x == 1000);
        EXPECT_EQ(positions(take()), s.expected) << s.x;
    }
}

TEST_F(MouseInput, PressesCaptureAndTheFirstReleaseEndsTheCapture)
{
    RecordingWindow& w = open();
    const OS::POINT o = origin(w);
    ASSERT_TRUE(INPUT::moveTo(o.x + 10, o.y + 10));
    take();
    struct Step {
        int button;
        bool down;
        int kind;
        bool captured;
    };
    const Step steps[] = {
        {kMouseButtonLeft, true, kMousePress, true},
        {kMouseButtonRight, true, kMousePress, true},
        {kMouseButtonLeft, false, kMouseRelease, false},
        {kMouseButtonRight, false, kMouseRelease, false},
    };
    for (const Step& s : steps) {
        ASSERT_TRUE(INPUT::button(s.button, s.down, o.x + 10, o.y + 10));
        auto got = take();
        ASSERT_EQ(got.size(), 1u) << s.button << s.down;
        EXPECT_EQ(got[0].code, kEventMouseButton);
        EXPECT_EQ(got[0].mouse.button, s.button);
        EXPECT_EQ(got[0].mouse.kind, s.kind);
        EXPECT_EQ(got[0].mouse.x, 10);
        EXPECT_EQ(impl(w).isCaptured(), s.captured);
        EXPECT_EQ(OS::getCapture(), s.captured ? w.hwnd() : nullptr);
    }
    // Moves with the capture are drags, reported anywhere on the screen.
    ASSERT_TRUE(INPUT::button(kMouseButtonLeft, true, o.x + 10, o.y + 10));
    OS::pumpMessages();
    ASSERT_TRUE(INPUT::moveTo(o.x + 700, o.y - 30));
    ASSERT_TRUE(INPUT::button(kMouseButtonLeft, false, o.x + 700, o.y - 30));
    EXPECT_EQ(positions(take()), (std::vector<Pos>{{kEventMouseButton, 10, 10},
                                                   {kEventMouseDrag, 700, -30},
                                                   {kEventMouseButton, 700, -30}}));
}

TEST_F(MouseInput, DoubleClicksAndModifiers)
{
    RecordingWindow& w = open();
    const OS::POINT o = origin(w);
    INPUT::key(0x1D, true);
    take();
    for (int i = 0; i < 2; ++i) {
        INPUT::button(kMouseButtonLeft, true, o.x + 5, o.y + 5);
        INPUT::button(kMouseButtonLeft, false, o.x + 5, o.y + 5);
    }
    std::vector<int> kinds;
    for (const Recorded& r : take()) {
        if (r.code != kEventMouseButton)
            continue;
        kinds.push_back(r.mouse.kind);
        EXPECT_EQ(r.mouse.modifiers, kModifierControl);
    }
    EXPECT_EQ(kinds, (std::vector<int>{kMousePress, kMouseRelease, kMouseDoubleClick, kMouseRelease}));
}

TEST_F(MouseInput, TheHiddenPointerOfADragWarpsAndPositionsKeepGrowing)
{
    RecordingWindow& w = open();
    const OS::POINT o = origin(w);
    const int cx = OS::getSystemMetrics(OS::SM_CXSCREEN) / 2;
    const int cy = OS::getSystemMetrics(OS::SM_CYSCREEN) / 2;
    INPUT::button(kMouseButtonLeft, true, o.x + 10, o.y + 10);
    w.setCursor(getStandardCursor(kCursorNone));
    EXPECT_EQ(OS::getCursor(), nullptr);
    take();
    // To the left edge: reported there, then the pointer is in the centre.
    // Each move is taken before the next one, as the pointer's moves are.
    auto move = [](int x, int y) {
        ASSERT_TRUE(INPUT::moveTo(x, y));
        OS::pumpMessages();
    };
    move(-40, o.y + 10);
    OS::POINT p;
    OS::getCursorPos(p);
    EXPECT_EQ(p.x, cx);
    EXPECT_EQ(p.y, cy);
    move(cx - 50, cy);
    move(-40, cy);  // the edge again
    move(cx - 20, cy);
    const int x0 = -o.x;
    EXPECT_EQ(positions(take()), (std::vector<Pos>{{kEventMouseDrag, x0, 10},
                                                   {kEventMouseDrag, x0 - 50, 10},
                                                   {kEventMouseDrag, x0 - cx, 10},
                                                   {kEventMouseDrag, x0 - cx - 20, 10}}));
    // A release ends the drag and its offsets.
    INPUT::button(kMouseButtonLeft, false, cx, cy);
    INPUT::moveTo(o.x + 3, o.y + 4);
    auto after = positions(take());
    ASSERT_FALSE(after.empty());
    EXPECT_EQ(after.back(), (Pos{kEventMouseMove, 3, 4}));
}

TEST_F(MouseInput, AShownPointerDoesNotWarp)
{
    RecordingWindow& w = open();
    const OS::POINT o = origin(w);
    INPUT::button(kMouseButtonLeft, true, o.x + 10, o.y + 10);
    take();
    ASSERT_TRUE(INPUT::moveTo(-40, o.y + 10));
    OS::pumpMessages();
    OS::POINT p;
    OS::getCursorPos(p);
    EXPECT_EQ(p.x, 0);
    EXPECT_EQ(positions(take()), (std::vector<Pos>{{kEventMouseDrag, -o.x, 10}}));
    INPUT::button(kMouseButtonLeft, false, 0, o.y + 10);
}

TEST_F(MouseInput, RawMotionScalesWithTheMouseSpeed)
{
    RecordingWindow& w = open();
    const OS::POINT o = origin(w);
    INPUT::moveTo(o.x + 7, o.y + 8);
    w.getImpl()->beginInfiniteDrag();
    EXPECT_TRUE(OS::isRawMouseRegistered());
    EXPECT_EQ(OS::getCapture(), w.hwnd());
    EXPECT_TRUE(impl(w).isCaptured());
    take();
    struct Row {
        int speed;
        double factor;
    };
    const Row rows[] = {{1, 0.019}, {10, 1.0611}, {20, std::pow(20.0, 1.747) * 0.019}};
    for (const Row& r : rows) {
        ASSERT_TRUE(OS::systemParametersInfo(OS::SPI_SETMOUSESPEED, 0, reinterpret_cast<void*>(std::intptr_t(r.speed)), 0));
        ASSERT_TRUE(INPUT::rawMotion(100, -50));
        auto got = take();
        ASSERT_EQ(got.size(), 1u);
        EXPECT_EQ(got[0].code, kEventRawMouseMotion);
        EXPECT_EQ(got[0].raw.x, 7);
        EXPECT_EQ(got[0].raw.y, 8);
        EXPECT_NEAR(got[0].raw.dx, 100 * r.factor, 0.01) << r.speed;
        EXPECT_NEAR(got[0].raw.dy, -50 * r.factor, 0.01) << r.speed;
    }
    // Absolute packets, keyboard packets and unknown packets are ignored.
    ASSERT_TRUE(INPUT::rawMotion(5, 5, OS::MOUSE_MOVE_ABSOLUTE));
    ASSERT_TRUE(INPUT::rawKey(0x1E, 'A'));
    OS::queueInputMessage(w.hwnd(), OS::WM_INPUT, 0, 12345);
    EXPECT_TRUE(take().empty());
    w.getImpl()->endInfiniteDrag();
    EXPECT_FALSE(OS::isRawMouseRegistered());
    EXPECT_EQ(OS::getCapture(), nullptr);
    EXPECT_FALSE(impl(w).isCaptured());
    EXPECT_FALSE(INPUT::rawMotion(1, 1));
    EXPECT_TRUE(take().empty()) << "releasing its own capture is no lost capture";
}

TEST_F(MouseInput, WheelInClientCoordinatesHorizontalWithShift)
{
    RecordingWindow& w = open();
    const OS::POINT o = origin(w);
    for (bool shift : {false, true}) {
        if (shift)
            INPUT::key(0x2A, true);
        take();
        ASSERT_TRUE(INPUT::wheel(-240, o.x + 5, o.y + 6));
        auto got = take();
        ASSERT_FALSE(got.empty());
        const Recorded& r = got.back();
        EXPECT_EQ(r.code, kEventMouseWheel);
        EXPECT_EQ(r.wheel.x, 5);
        EXPECT_EQ(r.wheel.y, 6);
        EXPECT_EQ(r.wheel.delta, -240);
        EXPECT_EQ(r.wheel.vertical, shift ? 0 : 1);
        EXPECT_EQ(r.wheel.modifiers, shift ? kModifierShift : 0u);
    }
}

TEST_F(MouseInput, ACaptureTakenByAnotherWindowIsLost)
{
    RecordingWindow& a = open(100, 100);
    RecordingWindow& b = open(800, 100);
    const OS::POINT o = origin(a);
    INPUT::button(kMouseButtonLeft, true, o.x + 5, o.y + 5);
    take();
    ASSERT_TRUE(impl(a).isCaptured());
    OS::setCapture(b.hwnd());
    auto got = take();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].code, kEventCaptureLost);
    EXPECT_FALSE(impl(a).isCaptured());
    OS::releaseCapture();
}

TEST_F(MouseInput, ASetCursorWinsOverTheClassCursor)
{
    RecordingWindow& w = open();
    const OS::POINT o = origin(w);
    OS::HCURSOR hand = getStandardCursor(kCursorHand);
    OS::HCURSOR arrow = getStandardCursor(kCursorArrow);
    INPUT::moveTo(o.x + 5, o.y + 5);
    EXPECT_EQ(OS::getCursor(), arrow) << "the class cursor";
    w.setCursor(hand);
    EXPECT_EQ(OS::getCursor(), hand) << "shown at once";
    OS::setCursor(arrow);
    INPUT::moveTo(o.x + 6, o.y + 5);
    EXPECT_EQ(OS::getCursor(), hand) << "the cursor query keeps it";
    w.resetCursor();
    EXPECT_EQ(OS::getCursor(), arrow);
    OS::setCursor(hand);
    w.resetCursor();
    EXPECT_EQ(OS::getCursor(), hand) << "nothing to forget: nothing shown";
}

TEST_F(MouseInput, TheCursorTable)
{
    const OS::WORD ids[kCursorCount] = {OS::IDC_ARROW,    OS::IDC_CROSS,   OS::IDC_HAND,    OS::IDC_IBEAM,
                                        OS::IDC_NO,       OS::IDC_SIZEALL, OS::IDC_SIZENESW, OS::IDC_SIZENS,
                                        OS::IDC_SIZENWSE, OS::IDC_SIZEWE,  OS::IDC_UPARROW, OS::IDC_WAIT,
                                        0,                OS::IDC_HAND,    OS::IDC_HAND,    OS::IDC_ARROW,
                                        OS::IDC_ARROW};
    for (int i = 0; i < kCursorCount; ++i)
        EXPECT_EQ(OS::systemCursorId(getStandardCursor(i)), ids[i]) << i;
    EXPECT_EQ(getStandardCursor(kCursorNone), nullptr);
    EXPECT_EQ(getStandardCursor(17), getStandardCursor(0)) << "outside the table: the arrow";
    EXPECT_EQ(getStandardCursor(-1), getStandardCursor(0));
    forgetCursorTable();
    EXPECT_FALSE(isCursorTableLoaded());
    EXPECT_EQ(getStandardCursor(kCursorHand), OS::loadCursor(nullptr, OS::IDC_ARROW));
    setCursorPosition(GP::Point{12, 34});
    OS::POINT p;
    OS::getCursorPos(p);
    EXPECT_EQ(p.x, 12);
    EXPECT_EQ(p.y, 34);
    EXPECT_FALSE(getPaneFlag());
    setPaneFlag(true);
    EXPECT_TRUE(getPaneFlag());
    setPaneFlag(false);
}

TEST_F(MouseInput, NonClientAndChildClicksWhenReported)
{
    RecordingWindow& w = open();
    const OS::POINT o = origin(w);
    for (bool report : {false, true}) {
        w.getImpl()->reportNonClientClicks(report);
        OS::sendMessage(w.hwnd(), OS::WM_NCRBUTTONDOWN, OS::HTCAPTION, OS::makeLParam(o.x + 20, o.y - 10));
        OS::sendMessage(w.hwnd(), OS::WM_NCMBUTTONUP, OS::HTCAPTION, OS::makeLParam(o.x + 20, o.y - 10));
        OS::sendMessage(w.hwnd(), OS::WM_PARENTNOTIFY, OS::makeWParam(OS::WM_LBUTTONDOWN, 0), OS::makeLParam(3, 3));
        OS::sendMessage(w.hwnd(), OS::WM_PARENTNOTIFY, OS::makeWParam(OS::WM_CREATE, 0), 0);
        auto got = take();
        if (!report) {
            EXPECT_TRUE(got.empty());
            continue;
        }
        ASSERT_EQ(got.size(), 3u);
        EXPECT_EQ(got[0].mouse.x, 20);
        EXPECT_EQ(got[0].mouse.y, -10);
        EXPECT_EQ(got[0].mouse.button, kMouseButtonRight);
        EXPECT_EQ(got[0].mouse.kind, kMousePress);
        EXPECT_EQ(got[1].mouse.button, kMouseButtonMiddle);
        EXPECT_EQ(got[1].mouse.kind, kMouseRelease);
        EXPECT_EQ(got[2].mouse.x, -1);
        EXPECT_EQ(got[2].mouse.y, -1);
        EXPECT_EQ(got[2].mouse.button, kMouseButtonLeft);
        EXPECT_EQ(got[2].mouse.kind, kMousePress);
    }
}
