#include "os/windows/input/Input.h"

#include <gtest/gtest.h>

#include <set>

#include "os/tests/WindowTestSupport.h"
#include "os/windows/icons/Icon.h"
#include "os/windows/input/Keyboard.h"
#include "os/windows/Message.h"
#include "os/windows/timers/MessagePump.h"
#include "os/windows/input/MouseTracking.h"

using namespace HA::OS;
using HA::OS::Testing::Logged;
using HA::OS::Testing::WindowTest;

namespace {

class InputInjector : public WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        INPUT::reset();
    }
    void TearDown() override
    {
        INPUT::reset();
        WindowTest::TearDown();
    }

    // The logged input messages (keys, characters, pointer, leave, cursor query, raw).
    std::vector<Logged> input()
    {
        std::vector<Logged> out;
        for (const Logged& l : journal())
            if ((l.message >= WM_KEYFIRST && l.message <= WM_KEYLAST) ||
                (l.message >= WM_MOUSEFIRST && l.message <= WM_MOUSELAST) ||
                (l.message >= WM_NCMOUSEMOVE && l.message <= WM_NCMBUTTONDBLCLK) || l.message == WM_MOUSELEAVE ||
                l.message == WM_SETCURSOR || l.message == WM_INPUT || l.message == WM_PARENTNOTIFY)
                out.push_back(l);
        return out;
    }
    std::vector<Logged> takeInput()
    {
        pumpMessages();
        auto out = input();
        clearJournal();
        return out;
    }
};

struct Expected {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

void expectMessages(const std::vector<Logged>& got, const std::vector<Expected>& expected)
{
    ASSERT_EQ(got.size(), expected.size());
    for (std::size_t i = 0; i < got.size(); ++i) {
        EXPECT_EQ(got[i].hwnd, expected[i].hwnd) << i;
        EXPECT_EQ(got[i].message, expected[i].message) << i;
        EXPECT_EQ(got[i].wParam, expected[i].wParam) << i;
        EXPECT_EQ(got[i].lParam, expected[i].lParam) << std::hex << got[i].lParam << " at " << i;
    }
}

}  // namespace

TEST_F(InputInjector, KeysCarryThePlatformsParameterBits)
{
    HWND hwnd = create(WS_POPUP | WS_VISIBLE);
    setFocus(hwnd);
    clearJournal();
    struct Step {
        int scan;
        bool down;
        bool extended;
        UINT message;
        WPARAM vk;
        DWORD lParam;
    };
    const Step steps[] = {
        {0x1E, true, false, WM_KEYDOWN, 'A', 0x001E0001},
        {0x1E, true, false, WM_KEYDOWN, 'A', 0x401E0001},  // auto-repeat
        {0x1E, false, false, WM_KEYUP, 'A', 0xC01E0001},
        {0x38, true, false, WM_SYSKEYDOWN, VK_MENU, 0x20380001},
        // Alt+F5: Alt+F4 would close the window.
        {0x3F, true, false, WM_SYSKEYDOWN, WPARAM(0x74), 0x203F0001},
        {0x3F, false, false, WM_SYSKEYUP, WPARAM(0x74), 0xE03F0001},
        {0x38, false, false, WM_SYSKEYUP, VK_MENU, 0xC0380001},
        {0x44, true, false, WM_SYSKEYDOWN, VK_F10, 0x00440001},
        {0x44, false, false, WM_SYSKEYUP, VK_F10, 0xC0440001},
        {0x4D, true, true, WM_KEYDOWN, VK_RIGHT, 0x014D0001},
        {0x4B, true, false, WM_KEYDOWN, VK_LEFT, 0x004B0001},  // the keypad's, Num Lock off
        {0x1C, true, true, WM_KEYDOWN, VK_RETURN, 0x011C0001},
        {0x5B, true, true, WM_KEYDOWN, VK_LWIN, 0x015B0001},
        {0x1D, true, false, WM_KEYDOWN, VK_CONTROL, 0x001D0001},
        {0x38, true, false, WM_KEYDOWN, VK_MENU, 0x00380001},  // Control with Alt: no system key
        {0x38, false, false, WM_KEYUP, VK_MENU, 0xC0380001},
    };
    for (const Step& s : steps) {
        clearJournal();
        ASSERT_TRUE(INPUT::key(s.scan, s.down, s.extended));
        std::vector<Logged> keys;
        for (const Logged& l : takeInput())
            if (l.message != WM_CHAR && l.message != WM_SYSCHAR)
                keys.push_back(l);
        expectMessages(keys, {{hwnd, s.message, s.vk, static_cast<LPARAM>(s.lParam)}});
    }
    EXPECT_FALSE(INPUT::key(0x7F, true));
}

TEST_F(InputInjector, KeypadKeysFollowNumLock)
{
    HWND hwnd = create(WS_POPUP | WS_VISIBLE);
    setFocus(hwnd);
    clearJournal();
    ASSERT_TRUE(INPUT::tap(0x4F));
    ASSERT_TRUE(INPUT::tap(0x45));  // Num Lock on
    ASSERT_TRUE(INPUT::tap(0x4F));
    ASSERT_TRUE(INPUT::tap(0x45));  // and off again
    std::vector<WPARAM> downs;
    for (const Logged& l : takeInput())
        if (l.message == WM_KEYDOWN)
            downs.push_back(l.wParam);
    EXPECT_EQ(downs, (std::vector<WPARAM>{VK_END, VK_NUMLOCK, VK_NUMPAD0 + 1, VK_NUMLOCK}));
    EXPECT_EQ(getKeyState(VK_NUMLOCK) & 1, 0);
}

TEST_F(InputInjector, AsyncStateChangesAtOnceThreadStateWhenTaken)
{
    HWND hwnd = create(WS_POPUP | WS_VISIBLE);
    setFocus(hwnd);
    getAsyncKeyState(VK_SHIFT);
    ASSERT_TRUE(INPUT::key(0x2A, true));
    EXPECT_EQ(getAsyncKeyState(VK_SHIFT), std::int16_t(0x8001));
    EXPECT_EQ(getAsyncKeyState(VK_SHIFT), std::int16_t(0x8000)) << "pressed-since bit cleared by the query";
    EXPECT_GE(getKeyState(VK_SHIFT), 0);
    pumpMessages();
    EXPECT_LT(getKeyState(VK_SHIFT), 0);
    ASSERT_TRUE(INPUT::key(0x2A, false));
    EXPECT_EQ(getAsyncKeyState(VK_SHIFT), 0);
    pumpMessages();
    EXPECT_GE(getKeyState(VK_SHIFT), 0);
    BYTE state[256];
    ASSERT_TRUE(getKeyboardState(state));
    EXPECT_EQ(state[VK_SHIFT] & 0x80, 0);
    EXPECT_FALSE(getKeyboardState(nullptr));
}

TEST_F(InputInjector, NoFocusNoKeys)
{
    EXPECT_FALSE(INPUT::key(0x1E, true));
}

TEST_F(InputInjector, PointerMessagesGoToTheWindowUnderThePointer)
{
    // Popup windows: the client area is the window.
    HWND a = create(WS_POPUP | WS_VISIBLE, nullptr, {}, u"a", 0, RECT{100, 100, 300, 200});
    HWND b = create(WS_POPUP | WS_VISIBLE, nullptr, {}, u"b", 0, RECT{400, 100, 500, 200});
    clearJournal();
    TRACKMOUSEEVENT track{sizeof(TRACKMOUSEEVENT), TME_LEAVE, a, 0};
    ASSERT_TRUE(INPUT::moveTo(110, 120));
    ASSERT_TRUE(trackMouseEvent(track));
    ASSERT_TRUE(INPUT::moveTo(120, 130));
    ASSERT_TRUE(INPUT::moveTo(410, 105));
    EXPECT_FALSE(INPUT::moveTo(350, 150)) << "nothing under the pointer";
    const LPARAM queryA = makeLParam(HTCLIENT, WM_MOUSEMOVE);
    expectMessages(takeInput(), {
                                    {a, WM_SETCURSOR, WPARAM(a), queryA},
                                    {a, WM_SETCURSOR, WPARAM(a), queryA},
                                    {b, WM_SETCURSOR, WPARAM(b), queryA},
                                    {a, WM_MOUSEMOVE, 0, makeLParam(10, 20)},
                                    {a, WM_MOUSEMOVE, 0, makeLParam(20, 30)},
                                    {a, WM_MOUSELEAVE, 0, 0},
                                    {b, WM_MOUSEMOVE, 0, makeLParam(10, 5)},
                                });
    POINT p;
    ASSERT_TRUE(getCursorPos(p));
    EXPECT_EQ(p.x, 350);
    EXPECT_EQ(p.y, 150);
    EXPECT_FALSE(isMouseLeaveTracked(a));
}

TEST_F(InputInjector, ButtonsCarryKeysAndDoubleClicksNeedTimeAndPlace)
{
    HWND a = create(WS_POPUP | WS_VISIBLE, nullptr, {}, u"a", 0, RECT{100, 100, 300, 200});
    ASSERT_TRUE(INPUT::moveTo(150, 150));
    clearJournal();
    struct Step {
        int button;
        bool down;
        int x;
        TimeMs wait;
        UINT message;
        WPARAM keys;
    };
    const Step steps[] = {
        {1, true, 150, 0, WM_LBUTTONDOWN, MK_LBUTTON},
        {1, false, 150, 10, WM_LBUTTONUP, 0},
        {1, true, 151, 10, WM_LBUTTONDBLCLK, MK_LBUTTON},
        {1, false, 151, 10, WM_LBUTTONUP, 0},
        {1, true, 151, 10, WM_LBUTTONDOWN, MK_LBUTTON},  // a third press starts anew
        {1, false, 151, 10, WM_LBUTTONUP, 0},
        {1, true, 151, 600, WM_LBUTTONDOWN, MK_LBUTTON},  // too late
        {1, false, 151, 10, WM_LBUTTONUP, 0},
        {1, true, 160, 10, WM_LBUTTONDOWN, MK_LBUTTON},  // too far
        {2, true, 160, 10, WM_RBUTTONDOWN, MK_LBUTTON | MK_RBUTTON},
        {1, false, 160, 10, WM_LBUTTONUP, MK_RBUTTON},
        {2, false, 160, 10, WM_RBUTTONUP, 0},
        {4, true, 160, 10, WM_MBUTTONDOWN, MK_MBUTTON},
        {4, false, 160, 10, WM_MBUTTONUP, 0},
    };
    for (const Step& s : steps) {
        Clock::advance(s.wait);
        ASSERT_TRUE(INPUT::button(s.button, s.down, s.x, 150));
        std::vector<Logged> got;
        for (const Logged& l : takeInput())
            if (l.message != WM_SETCURSOR && l.message != WM_MOUSEMOVE)
                got.push_back(l);
        expectMessages(got, {{a, s.message, s.keys, makeLParam(s.x - 100, 50)}});
    }
    EXPECT_FALSE(INPUT::button(3, true, 0, 0));
}

TEST_F(InputInjector, CaptureTakesThePointerAnywhere)
{
    HWND a = create(WS_POPUP | WS_VISIBLE, nullptr, {}, u"a", 0, RECT{100, 100, 300, 200});
    create(WS_POPUP | WS_VISIBLE, nullptr, {}, u"b", 0, RECT{400, 100, 500, 200});
    setCapture(a);
    clearJournal();
    ASSERT_TRUE(INPUT::moveTo(450, 150));
    ASSERT_TRUE(INPUT::moveTo(-50, 50));  // held at the screen's edge
    ASSERT_TRUE(INPUT::wheel(-120, 90, 90));
    expectMessages(takeInput(), {
                                    {a, WM_MOUSEMOVE, 0, makeLParam(350, 50)},
                                    {a, WM_MOUSEMOVE, 0, makeLParam(-100, -50)},
                                    {a, WM_MOUSEWHEEL, makeWParam(0, -120), makeLParam(90, 90)},
                                });
    releaseCapture();
}

TEST_F(InputInjector, NonClientAreaHitsAndChildNotifications)
{
    HWND frame = create(WS_OVERLAPPEDWINDOW | WS_VISIBLE, nullptr, {}, u"frame", 0, RECT{100, 100, 400, 300});
    HWND child = create(WS_CHILD | WS_VISIBLE, frame, {}, u"child", 0, RECT{10, 10, 60, 60});
    RECT client;
    ASSERT_TRUE(getClientRect(frame, client));
    POINT origin{0, 0};
    ASSERT_TRUE(clientToScreen(frame, origin));
    ASSERT_GT(origin.y, 105);
    ASSERT_TRUE(INPUT::moveTo(200, 103));
    takeInput();
    ASSERT_TRUE(INPUT::button(1, true, 200, 103));
    ASSERT_TRUE(INPUT::button(1, false, 200, 103));
    ASSERT_TRUE(INPUT::button(1, true, 200, 103));  // always a double click up there
    expectMessages(takeInput(), {
                                    {frame, WM_SETCURSOR, WPARAM(frame), makeLParam(HTCAPTION, WM_LBUTTONDOWN)},
                                    {frame, WM_SETCURSOR, WPARAM(frame), makeLParam(HTCAPTION, WM_LBUTTONUP)},
                                    {frame, WM_SETCURSOR, WPARAM(frame), makeLParam(HTCAPTION, WM_LBUTTONDOWN)},
                                    {frame, WM_NCLBUTTONDOWN, WPARAM(HTCAPTION), makeLParam(200, 103)},
                                    {frame, WM_NCLBUTTONUP, WPARAM(HTCAPTION), makeLParam(200, 103)},
                                    {frame, WM_NCLBUTTONDBLCLK, WPARAM(HTCAPTION), makeLParam(200, 103)},
                                });
    // A press on the child tells the parent first.
    ASSERT_TRUE(INPUT::button(1, false, 200, 103));
    ASSERT_TRUE(INPUT::button(1, true, origin.x + 20, origin.y + 30));
    std::vector<UINT> order;
    std::vector<Logged> got = takeInput();
    for (const Logged& l : got)
        if (l.message != WM_SETCURSOR && l.message != WM_NCMOUSEMOVE && l.message != WM_NCLBUTTONUP)
            order.push_back(l.message);
    EXPECT_EQ(order, (std::vector<UINT>{WM_PARENTNOTIFY, WM_MOUSEMOVE, WM_LBUTTONDOWN}));
    for (const Logged& l : got) {
        if (l.message == WM_PARENTNOTIFY) {
            EXPECT_EQ(l.hwnd, frame);
            EXPECT_EQ(l.wParam, makeWParam(WM_LBUTTONDOWN, 0));
            EXPECT_EQ(l.lParam, makeLParam(20, 30));
        }
        if (l.message == WM_LBUTTONDOWN) {
            EXPECT_EQ(l.hwnd, child);
            EXPECT_EQ(l.lParam, makeLParam(10, 20));
        }
    }
    INPUT::button(1, false, origin.x + 20, origin.y + 30);
}

TEST_F(InputInjector, CursorQueryShowsTheClassCursor)
{
    HWND a = create(WS_POPUP | WS_VISIBLE, nullptr, {}, u"a", 0, RECT{100, 100, 300, 200});
    HCURSOR hand = loadCursor(nullptr, IDC_HAND);
    ASSERT_TRUE(hand);
    EXPECT_EQ(setCursor(hand), loadCursor(nullptr, IDC_ARROW)) << "the arrow at start";
    // The test class names no cursor: the current one stays.
    ASSERT_TRUE(INPUT::moveTo(150, 150));
    EXPECT_EQ(getCursor(), hand);
    // A window that answers the query keeps its own.
    setHandler(a, [](HWND, UINT m, WPARAM, LPARAM) -> std::optional<LRESULT> {
        if (m == WM_SETCURSOR) {
            setCursor(nullptr);
            return 1;
        }
        return std::nullopt;
    });
    ASSERT_TRUE(INPUT::moveTo(160, 150));
    EXPECT_EQ(getCursor(), nullptr);
}

TEST_F(InputInjector, SystemCursorsAreSharedAndDistinct)
{
    const WORD ids[] = {IDC_ARROW,    IDC_IBEAM,  IDC_WAIT,   IDC_CROSS,   IDC_UPARROW, IDC_SIZENWSE,
                        IDC_SIZENESW, IDC_SIZEWE, IDC_SIZENS, IDC_SIZEALL, IDC_NO,      IDC_HAND};
    std::set<HCURSOR> seen;
    for (WORD id : ids) {
        HCURSOR c = loadCursor(nullptr, id);
        ASSERT_TRUE(c) << id;
        EXPECT_EQ(loadCursor(nullptr, id), c);
        EXPECT_EQ(systemCursorId(c), id);
        seen.insert(c);
    }
    EXPECT_EQ(seen.size(), std::size(ids));
    EXPECT_EQ(loadCursor(nullptr, 1), nullptr);
    EXPECT_EQ(systemCursorId(nullptr), 0);
}

TEST_F(InputInjector, PointerStaysOnTheVirtualScreen)
{
    struct Row {
        int x, y, ex, ey;
    };
    const Row rows[] = {{5, 6, 5, 6}, {-10, -10, 0, 0}, {5000, 5000, 1919, 1079}};
    for (const Row& r : rows) {
        ASSERT_TRUE(setCursorPos(r.x, r.y));
        POINT p;
        ASSERT_TRUE(getCursorPos(p));
        EXPECT_EQ(p.x, r.ex);
        EXPECT_EQ(p.y, r.ey);
    }
}

TEST_F(InputInjector, RawPacketsOnlyWhileRegistered)
{
    HWND a = create(WS_POPUP | WS_VISIBLE, nullptr, {}, u"a", 0, RECT{100, 100, 300, 200});
    setFocus(a);
    EXPECT_FALSE(INPUT::rawMotion(3, 4));
    RAWINPUTDEVICE mouse{1, 2, 0, nullptr};
    EXPECT_FALSE(registerRawInputDevices(&mouse, 1, sizeof(mouse) - 1));
    RAWINPUTDEVICE keyboard{1, 6, 0, nullptr};
    EXPECT_FALSE(registerRawInputDevices(&keyboard, 1, sizeof(keyboard)));
    ASSERT_TRUE(registerRawInputDevices(&mouse, 1, sizeof(mouse)));
    EXPECT_TRUE(isRawMouseRegistered());
    clearJournal();
    ASSERT_TRUE(INPUT::rawMotion(3, -4));
    auto got = takeInput();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].message, WM_INPUT);
    EXPECT_EQ(got[0].hwnd, a);
    auto handle = reinterpret_cast<HRAWINPUT>(got[0].lParam);
    UINT size = 0;
    EXPECT_EQ(getRawInputData(handle, RID_INPUT, nullptr, &size, sizeof(RAWINPUTHEADER)), 0u);
    EXPECT_EQ(size, sizeof(RAWINPUT));
    RAWINPUT packet{};
    UINT small = size - 1;
    EXPECT_EQ(getRawInputData(handle, RID_INPUT, &packet, &small, sizeof(RAWINPUTHEADER)), UINT(-1));
    EXPECT_EQ(getLastError(), ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(getRawInputData(handle, RID_INPUT, &packet, &size, sizeof(RAWINPUTHEADER)), sizeof(RAWINPUT));
    EXPECT_EQ(packet.header.dwType, RIM_TYPEMOUSE);
    EXPECT_EQ(packet.data.mouse.usFlags, MOUSE_MOVE_RELATIVE);
    EXPECT_EQ(packet.data.mouse.lLastX, 3);
    EXPECT_EQ(packet.data.mouse.lLastY, -4);
    EXPECT_EQ(getRawInputData(reinterpret_cast<HRAWINPUT>(std::uintptr_t(5)), RID_INPUT, nullptr, &size,
                              sizeof(RAWINPUTHEADER)),
              UINT(-1));
    EXPECT_EQ(getRawInputData(handle, RID_INPUT, nullptr, &size, 3), UINT(-1));

    RAWINPUTDEVICE removeWithTarget{1, 2, RIDEV_REMOVE, a};
    EXPECT_FALSE(registerRawInputDevices(&removeWithTarget, 1, sizeof(mouse)));
    RAWINPUTDEVICE remove{1, 2, RIDEV_REMOVE, nullptr};
    ASSERT_TRUE(registerRawInputDevices(&remove, 1, sizeof(mouse)));
    EXPECT_FALSE(INPUT::rawMotion(1, 1));
}

TEST_F(InputInjector, MouseSpeedSetting)
{
    int speed = 0;
    ASSERT_TRUE(systemParametersInfo(SPI_GETMOUSESPEED, 0, &speed, 0));
    EXPECT_EQ(speed, 10);
    for (std::intptr_t bad : {0, 21, -3})
        EXPECT_FALSE(systemParametersInfo(SPI_SETMOUSESPEED, 0, reinterpret_cast<void*>(bad), 0));
    ASSERT_TRUE(systemParametersInfo(SPI_SETMOUSESPEED, 0, reinterpret_cast<void*>(std::intptr_t(20)), 0));
    ASSERT_TRUE(systemParametersInfo(SPI_GETMOUSESPEED, 0, &speed, 0));
    EXPECT_EQ(speed, 20);
    EXPECT_FALSE(systemParametersInfo(SPI_GETMOUSESPEED, 0, nullptr, 0));
}

TEST(DoubleClickRule, TimeAndBoxAroundTheFirstPress)
{
    struct Case {
        const char* name;
        DWORD elapsed;
        POINT second;
        bool doubleClick;
    };
    const POINT first{100, 50};
    const Case cases[] = {
        {"SamePlace", 10, {100, 50}, true},
        {"JustInTime", kDoubleClickTimeMs - 1, {100, 50}, true},
        {"AtTheTime", kDoubleClickTimeMs, {100, 50}, false},
        {"EdgeOfTheBox", 10, {100 + kDoubleClickWidth / 2, 50 - kDoubleClickHeight / 2}, true},
        {"RightOfTheBox", 10, {100 + kDoubleClickWidth / 2 + 1, 50}, false},
        {"LeftOfTheBox", 10, {100 - kDoubleClickWidth / 2 - 1, 50}, false},
        {"BelowTheBox", 10, {100, 50 + kDoubleClickHeight / 2 + 1}, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(isDoubleClick(c.elapsed, first, c.second), c.doubleClick) << c.name;
}
