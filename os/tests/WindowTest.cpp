#include "os/windows/Window.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

#include "os/windows/input/Input.h"
#include "os/windows/input/Keyboard.h"
#include "os/windows/faults/WindowFaults.h"
#include "os/windows/timers/WindowTimer.h"
#include "os/tests/WindowTestSupport.h"

using namespace HA::OS;
using HA::OS::Testing::WindowTest;

namespace {

class Windows : public WindowTest {};

}  // namespace

TEST_F(Windows, CreationMessagesComeInThePlatformOrder)
{
    HWND parent = create(WS_OVERLAPPEDWINDOW);
    ASSERT_TRUE(parent);
    struct Case {
        const char* name;
        DWORD style;
        HWND parent;
        std::vector<UINT> expected;
    };
    const Case cases[] = {
        {"top-level", WS_OVERLAPPEDWINDOW, nullptr,
         {WM_GETMINMAXINFO, WM_NCCREATE, WM_NCCALCSIZE, WM_CREATE, WM_SIZE, WM_MOVE}},
        {"visible pop-up", WS_POPUP | WS_VISIBLE, nullptr,
         {WM_GETMINMAXINFO, WM_NCCREATE, WM_NCCALCSIZE, WM_CREATE, WM_SIZE, WM_MOVE, WM_SHOWWINDOW,
          WM_WINDOWPOSCHANGING, WM_WINDOWPOSCHANGED, WM_ACTIVATEAPP, WM_NCACTIVATE, WM_ACTIVATE, WM_SETFOCUS}},
        {"child", WS_CHILD, parent, {WM_NCCREATE, WM_NCCALCSIZE, WM_CREATE, WM_SIZE, WM_MOVE}},
        {"message-only", 0, HWND_MESSAGE, {WM_NCCREATE, WM_NCCALCSIZE, WM_CREATE, WM_SIZE, WM_MOVE}},
    };
    for (const Case& c : cases) {
        clearJournal();
        HWND hwnd = create(c.style, c.parent);
        ASSERT_TRUE(hwnd) << c.name;
        EXPECT_EQ(messages(hwnd), c.expected) << c.name;
        if (c.style & WS_CHILD) {
            auto toParent = journal();
            ASSERT_FALSE(toParent.empty());
            EXPECT_EQ(toParent.back().hwnd, parent);
            EXPECT_EQ(toParent.back().message, WM_PARENTNOTIFY);
            EXPECT_EQ(loWord(toParent.back().wParam), WM_CREATE);
        }
        EXPECT_EQ(getWindowText(hwnd), u"test") << c.name;
        EXPECT_TRUE(destroyWindow(hwnd));
    }
}

TEST_F(Windows, RefusedCreationLeavesNothingBehind)
{
    struct Case {
        UINT refused;
        LRESULT answer;
        std::vector<UINT> after;
    };
    const Case cases[] = {
        {WM_NCCREATE, 0, {WM_NCDESTROY}},
        {WM_CREATE, -1, {WM_DESTROY, WM_NCDESTROY}},
    };
    for (const Case& c : cases) {
        clearJournal();
        HWND seen = nullptr;
        HWND hwnd = create(WS_POPUP, nullptr, [&](HWND h, UINT m, WPARAM, LPARAM) -> std::optional<LRESULT> {
            seen = h;
            if (m == c.refused)
                return c.answer;
            return std::nullopt;
        });
        EXPECT_EQ(hwnd, nullptr);
        EXPECT_FALSE(isWindow(seen));
        auto ids = messages(seen);
        auto at = std::find(ids.begin(), ids.end(), c.refused);
        ASSERT_NE(at, ids.end());
        EXPECT_EQ(std::vector<UINT>(at + 1, ids.end()), c.after);
    }
    EXPECT_TRUE(getTopLevelWindows().empty());
}

TEST_F(Windows, DestroySendsParentFirstThenChildrenFirstAndOwnedWindowsBefore)
{
    HWND top = create(WS_OVERLAPPEDWINDOW, nullptr, {}, u"top");
    HWND first = create(WS_CHILD, top, {}, u"first");
    HWND grand = create(WS_CHILD, first, {}, u"grand");
    HWND second = create(WS_CHILD, top, {}, u"second");
    HWND owned = create(WS_POPUP, top, {}, u"owned");
    ASSERT_TRUE(top && first && grand && second && owned);
    EXPECT_EQ(getParent(owned), top);
    EXPECT_EQ(getRootWindow(grand), top);
    clearJournal();
    ASSERT_TRUE(destroyWindow(top));

    std::vector<std::pair<HWND, UINT>> seen;
    for (const auto& l : journal())
        if (l.message == WM_DESTROY || l.message == WM_NCDESTROY)
            seen.emplace_back(l.hwnd, l.message);
    // Children are kept top of the z-order first: the one made last comes first.
    const std::vector<std::pair<HWND, UINT>> expected = {
        {owned, WM_DESTROY},   {owned, WM_NCDESTROY}, {top, WM_DESTROY},    {second, WM_DESTROY},
        {first, WM_DESTROY},   {grand, WM_DESTROY},   {second, WM_NCDESTROY}, {grand, WM_NCDESTROY},
        {first, WM_NCDESTROY}, {top, WM_NCDESTROY},
    };
    EXPECT_EQ(seen, expected);
    for (HWND h : {top, first, grand, second, owned})
        EXPECT_FALSE(isWindow(h));
}

TEST_F(Windows, DestroyingAChildTellsItsParentFirst)
{
    HWND top = create(WS_OVERLAPPEDWINDOW);
    HWND child = create(WS_CHILD, top, {}, u"c", 0, RECT{0, 0, 10, 10}, 42);
    clearJournal();
    ASSERT_TRUE(destroyWindow(child));
    auto log = journal();
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log[0].hwnd, top);
    EXPECT_EQ(log[0].message, WM_PARENTNOTIFY);
    EXPECT_EQ(log[0].wParam, makeWParam(WM_DESTROY, 42));
    EXPECT_EQ(log[1].message, WM_DESTROY);
    EXPECT_EQ(log[2].message, WM_NCDESTROY);
    EXPECT_TRUE(getChildWindows(top).empty());
}

TEST_F(Windows, DestroyPurgesQueuedMessagesTimersAndPaint)
{
    HWND doomed = create(WS_POPUP | WS_VISIBLE);
    HWND other = create(WS_POPUP);
    ASSERT_TRUE(postMessage(doomed, WM_USER, 1, 0));
    ASSERT_TRUE(postMessage(other, WM_USER, 2, 0));
    ASSERT_TRUE(queueInputMessage(doomed, WM_MOUSEMOVE, 0, 0));
    ASSERT_TRUE(setTimer(doomed, 0, 10));
    ASSERT_TRUE(invalidateRect(doomed, nullptr, true));
    ASSERT_TRUE(destroyWindow(doomed));
    EXPECT_FALSE(findTimer(doomed, 0));
    Clock::advance(50);
    clearJournal();
    MSG msg;
    std::vector<HWND> got;
    while (peekMessage(msg, nullptr, 0, 0, PM_REMOVE))
        got.push_back(msg.hwnd);
    EXPECT_EQ(got, std::vector<HWND>{other});
    EXPECT_FALSE(postMessage(doomed, WM_USER, 0, 0));
    EXPECT_EQ(getLastError(), ERROR_INVALID_WINDOW_HANDLE);
}

TEST_F(Windows, CloseDestroysThroughDefaultProcessingUnlessAnswered)
{
    bool veto = true;
    HWND hwnd = create(WS_OVERLAPPEDWINDOW, nullptr, [&](HWND, UINT m, WPARAM, LPARAM) -> std::optional<LRESULT> {
        if (m == WM_CLOSE && veto)
            return 0;
        return std::nullopt;
    });
    sendMessage(hwnd, WM_CLOSE, 0, 0);
    EXPECT_TRUE(isWindow(hwnd));
    veto = false;
    postMessage(hwnd, WM_CLOSE, 0, 0);
    MSG msg;
    ASSERT_TRUE(peekMessage(msg, nullptr, 0, 0, PM_REMOVE));
    dispatchMessage(msg);
    EXPECT_FALSE(isWindow(hwnd));
}

TEST_F(Windows, AltF4ClosesThroughDefaultProcessing)
{
    struct Row {
        const char* name;
        WPARAM key;
        LPARAM lParam;
        bool closes;
    };
    const LPARAM alt = LPARAM(1) << 29;
    const Row rows[] = {
        {"Alt+F4", WPARAM(VK_F4), alt | 0x3E0001, true},
        {"F4 without Alt", WPARAM(VK_F4), 0x3E0001, false},
        {"Alt+F5", WPARAM(0x74), alt | 0x3F0001, false},
    };
    for (const Row& row : rows) {
        int closes = 0;
        HWND hwnd = create(WS_OVERLAPPEDWINDOW, nullptr, [&](HWND, UINT m, WPARAM, LPARAM) -> std::optional<LRESULT> {
            if (m == WM_CLOSE)
                ++closes;
            return std::nullopt;
        });
        sendMessage(hwnd, WM_SYSKEYDOWN, row.key, row.lParam);
        EXPECT_EQ(closes, row.closes ? 1 : 0) << row.name;
        EXPECT_EQ(isWindow(hwnd), !row.closes) << row.name;
        if (isWindow(hwnd))
            destroyWindow(hwnd);
    }
}

TEST_F(Windows, ClassRegistrationErrors)
{
    WNDCLASSEXW wc;
    wc.lpfnWndProc = &defWindowProc;
    struct Case {
        const char16_t* name;
        WNDPROC proc;
        DWORD error;
    };
    const Case cases[] = {
        {u"hatestwindow", &defWindowProc, ERROR_CLASS_ALREADY_EXISTS},  // names ignore case
        {u"", &defWindowProc, ERROR_INVALID_PARAMETER},
        {u"NoProc", nullptr, ERROR_INVALID_PARAMETER},
    };
    for (const Case& c : cases) {
        wc.lpszClassName = c.name;
        wc.lpfnWndProc = c.proc;
        setLastError(0);
        EXPECT_EQ(registerClass(wc), 0);
        EXPECT_EQ(getLastError(), c.error);
    }
    EXPECT_FALSE(unregisterClass(u"Missing"));
    EXPECT_EQ(getLastError(), ERROR_CLASS_DOES_NOT_EXIST);
    HWND hwnd = create();
    EXPECT_FALSE(unregisterClass(kClass));
    EXPECT_EQ(getLastError(), ERROR_CLASS_HAS_WINDOWS);
    EXPECT_EQ(getClassStyle(hwnd), CS_DBLCLKS);
    EXPECT_EQ(getClassName(hwnd), kClass);
    EXPECT_EQ(createWindow(0, u"Missing", u"", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr), nullptr);
    EXPECT_EQ(getLastError(), ERROR_CANNOT_FIND_WND_CLASS);
    EXPECT_EQ(create(WS_CHILD, nullptr), nullptr);
    EXPECT_EQ(getLastError(), ERROR_TLW_WITH_WSCHILD);
}

TEST_F(Windows, UserDataExtraBytesAndProcedureReplacement)
{
    HWND hwnd = create();
    EXPECT_EQ(setWindowUserData(hwnd, 1234), 0);
    EXPECT_EQ(setWindowUserData(hwnd, 99), 1234);
    EXPECT_EQ(getWindowUserData(hwnd), 99);

    EXPECT_EQ(setWindowExtra(hwnd, 24, 7), 0);
    EXPECT_EQ(getWindowExtra(hwnd, 24), 7);
    for (int offset : {-1, 25, 32}) {
        setLastError(0);
        EXPECT_EQ(setWindowExtra(hwnd, offset, 1), 0) << offset;
        EXPECT_EQ(getLastError(), ERROR_INVALID_INDEX) << offset;
    }

    static WNDPROC previous;
    static int calls;
    calls = 0;
    previous = setWindowProc(hwnd, [](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
        ++calls;
        if (m == WM_USER)
            return 5;
        return callWindowProc(previous, h, m, w, l);
    });
    ASSERT_NE(previous, nullptr);
    EXPECT_EQ(sendMessage(hwnd, WM_USER, 0, 0), 5);
    EXPECT_TRUE(setWindowText(hwnd, u"renamed"));
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(getWindowText(hwnd), u"renamed");
}

TEST_F(Windows, MessageOnlyStaticMarkerIsFoundOnlyAmongMessageOnlyWindows)
{
    HWND marker = createWindow(0, u"STATIC", u"Key-1", 0, 0, 0, 1, 1, HWND_MESSAGE, nullptr, nullptr, nullptr);
    ASSERT_TRUE(marker);
    HWND top = create(WS_OVERLAPPEDWINDOW, nullptr, {}, u"Key-1");
    EXPECT_EQ(findWindow(WString(), u"Key-1"), top);
    EXPECT_EQ(findWindowEx(HWND_MESSAGE, nullptr, WString(), u"Key-1"), marker);
    EXPECT_EQ(findWindowEx(HWND_MESSAGE, nullptr, u"static", WString()), marker);
    EXPECT_EQ(findWindow(u"hatestWINDOW", u"Key-1"), top);
    EXPECT_EQ(findWindow(WString(), u"key-1"), nullptr);  // titles match exactly
    auto tops = getTopLevelWindows();
    EXPECT_EQ(std::count(tops.begin(), tops.end(), marker), 0);
    EXPECT_TRUE(destroyWindow(marker));
}

TEST_F(Windows, TopLevelListIsInZOrder)
{
    HWND a = create(WS_POPUP, nullptr, {}, u"a");
    HWND b = create(WS_POPUP, nullptr, {}, u"b");
    EXPECT_EQ(getTopLevelWindows(), (std::vector<HWND>{b, a}));
    ASSERT_TRUE(setWindowPos(a, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE));
    EXPECT_EQ(getTopLevelWindows(), (std::vector<HWND>{a, b}));
    ASSERT_TRUE(setWindowPos(a, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE));
    EXPECT_EQ(getTopLevelWindows(), (std::vector<HWND>{b, a}));
}

TEST_F(Windows, AChildPlacedWithActivationIsTold)
{
    HWND parent = create(WS_OVERLAPPEDWINDOW);
    ASSERT_TRUE(parent);
    struct Case {
        const char* name;
        DWORD style;
        UINT flags;
        std::vector<UINT> expected;
    };
    const Case cases[] = {
        {"child moved", WS_CHILD, SWP_NOSIZE | SWP_NOZORDER, {WM_WINDOWPOSCHANGING, WM_WINDOWPOSCHANGED, WM_CHILDACTIVATE}},
        {"child neither moved nor sized", WS_CHILD, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER,
         {WM_WINDOWPOSCHANGING, WM_WINDOWPOSCHANGED, WM_CHILDACTIVATE}},
        {"child moved without activation", WS_CHILD, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE,
         {WM_WINDOWPOSCHANGING, WM_WINDOWPOSCHANGED}},
        {"child hidden", WS_CHILD | WS_VISIBLE, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_HIDEWINDOW,
         {WM_WINDOWPOSCHANGING, WM_WINDOWPOSCHANGED}},
        {"pop-up", WS_POPUP, SWP_NOSIZE | SWP_NOZORDER, {WM_WINDOWPOSCHANGING, WM_WINDOWPOSCHANGED}},
    };
    for (const Case& c : cases) {
        HWND hwnd = create(c.style, (c.style & WS_CHILD) ? parent : nullptr);
        ASSERT_TRUE(hwnd) << c.name;
        clearJournal();
        ASSERT_TRUE(setWindowPos(hwnd, nullptr, 0, 0, 0, 0, c.flags)) << c.name;
        EXPECT_EQ(messages(hwnd, {WM_NCCALCSIZE, WM_MOVE, WM_SIZE, WM_ERASEBKGND, WM_PAINT}), c.expected) << c.name;
        EXPECT_TRUE(destroyWindow(hwnd));
    }
}

TEST_F(Windows, ClientSizeFromTheFrameOfTheStyle)
{
    struct Case {
        DWORD style;
        DWORD exStyle;
    };
    const Case cases[] = {
        {0x02CA0000, 0},  // caption, system menu, minimise box, clip children
        {0x02CF0000, 0},  // overlapped window
        {WS_POPUP, 0},
        {WS_POPUP | WS_BORDER, WS_EX_CLIENTEDGE},
    };
    for (const Case& c : cases) {
        RECT r{50, 50, 50 + 627, 50 + 335};
        ASSERT_TRUE(adjustWindowRectEx(r, c.style, false, c.exStyle));
        HWND hwnd = create(c.style, nullptr, {}, u"w", c.exStyle, RECT{0, 0, r.right - r.left, r.bottom - r.top});
        RECT client{};
        ASSERT_TRUE(getClientRect(hwnd, client));
        EXPECT_EQ(client, (RECT{0, 0, 627, 335})) << std::hex << c.style;
        destroyWindow(hwnd);
    }
}

TEST_F(Windows, FramelessProcedureMakesTheWholeWindowClientArea)
{
    HWND hwnd = create(WS_OVERLAPPEDWINDOW, nullptr, [](HWND, UINT m, WPARAM, LPARAM) -> std::optional<LRESULT> {
        if (m == WM_NCCALCSIZE)
            return 0;
        return std::nullopt;
    });
    RECT client{}, outer{};
    ASSERT_TRUE(getClientRect(hwnd, client));
    ASSERT_TRUE(getWindowRect(hwnd, outer));
    EXPECT_EQ(client.right, outer.right - outer.left);
    EXPECT_EQ(client.bottom, outer.bottom - outer.top);
}

TEST_F(Windows, ChildCoordinatesAreRelativeToTheParentsClientArea)
{
    HWND top = create(WS_POPUP, nullptr, {}, u"t", 0, RECT{100, 200, 400, 500});
    HWND child = create(WS_CHILD, top, {}, u"c", 0, RECT{10, 20, 60, 70});
    POINT p{1, 2};
    ASSERT_TRUE(clientToScreen(child, p));
    EXPECT_EQ(p.x, 111);
    EXPECT_EQ(p.y, 222);
    ASSERT_TRUE(screenToClient(top, p));
    EXPECT_EQ(p.x, 11);
    EXPECT_EQ(p.y, 22);
    RECT r{};
    ASSERT_TRUE(getWindowRect(child, r));
    EXPECT_EQ(r, (RECT{110, 220, 160, 270}));
}

TEST_F(Windows, ShowStates)
{
    HWND hwnd = create(WS_OVERLAPPEDWINDOW, nullptr, {}, u"s", 0, RECT{10, 10, 310, 210});
    RECT normal{};
    getWindowRect(hwnd, normal);
    struct Step {
        int command;
        bool wasVisible, visible, iconic, zoomed;
        WPARAM sizeKind;  // of the last WM_SIZE, or ~0 for none
    };
    const Step steps[] = {
        {SW_SHOW, false, true, false, false, ~WPARAM(0)},
        {SW_MAXIMIZE, true, true, false, true, SIZE_MAXIMIZED},
        {SW_MINIMIZE, true, true, true, false, SIZE_MINIMIZED},
        {SW_RESTORE, true, true, false, false, SIZE_RESTORED},
        {SW_HIDE, true, false, false, false, ~WPARAM(0)},
        {SW_HIDE, false, false, false, false, ~WPARAM(0)},
    };
    for (const Step& s : steps) {
        clearJournal();
        EXPECT_EQ(showWindow(hwnd, s.command), s.wasVisible) << s.command;
        EXPECT_EQ(isWindowVisible(hwnd), s.visible) << s.command;
        EXPECT_EQ(isIconic(hwnd), s.iconic) << s.command;
        EXPECT_EQ(isZoomed(hwnd), s.zoomed) << s.command;
        WPARAM kind = ~WPARAM(0);
        for (const auto& l : journal())
            if (l.message == WM_SIZE)
                kind = l.wParam;
        EXPECT_EQ(kind, s.sizeKind) << s.command;
    }
    RECT restored{};
    getWindowRect(hwnd, restored);
    EXPECT_EQ(restored, normal);
    EXPECT_EQ(getForegroundWindow(), hwnd);
}

TEST_F(Windows, ActivationAndFocusMoveInThePlatformOrder)
{
    HWND a = create(WS_OVERLAPPEDWINDOW | WS_VISIBLE, nullptr, {}, u"a");
    HWND b = create(WS_OVERLAPPEDWINDOW, nullptr, {}, u"b");
    HWND child = create(WS_CHILD | WS_VISIBLE, b, {}, u"c");
    EXPECT_EQ(getActiveWindow(), a);
    EXPECT_EQ(getFocus(), a);
    clearJournal();
    EXPECT_EQ(setFocus(child), a);  // activates b first
    std::vector<std::pair<HWND, UINT>> seen;
    for (const auto& l : journal())
        seen.emplace_back(l.hwnd, l.message);
    const std::vector<std::pair<HWND, UINT>> expected = {
        {a, WM_NCACTIVATE}, {a, WM_ACTIVATE}, {b, WM_NCACTIVATE}, {b, WM_ACTIVATE}, {a, WM_KILLFOCUS},
        {b, WM_SETFOCUS},   {b, WM_KILLFOCUS}, {child, WM_SETFOCUS},
    };
    EXPECT_EQ(seen, expected);
    EXPECT_EQ(getActiveWindow(), b);
    EXPECT_EQ(getForegroundWindow(), b);
    EXPECT_EQ(getFocus(), child);

    clearJournal();
    activateOtherApplication();
    EXPECT_EQ(getActiveWindow(), nullptr);
    EXPECT_EQ(getFocus(), nullptr);
    auto appDeactivated = messages(a);
    EXPECT_EQ(appDeactivated, std::vector<UINT>{WM_ACTIVATEAPP});
    clearJournal();
    EXPECT_TRUE(setForegroundWindow(child));
    EXPECT_EQ(getActiveWindow(), b);
    EXPECT_EQ(messages(b), (std::vector<UINT>{WM_ACTIVATEAPP, WM_NCACTIVATE, WM_ACTIVATE, WM_SETFOCUS}));

    destroyWindow(b);
    EXPECT_EQ(getFocus(), nullptr);
    EXPECT_EQ(getActiveWindow(), nullptr);
}

TEST_F(Windows, CaptureChangesAreReported)
{
    HWND a = create(WS_POPUP), b = create(WS_POPUP);
    EXPECT_EQ(setCapture(a), nullptr);
    clearJournal();
    EXPECT_EQ(setCapture(b), a);
    EXPECT_EQ(getCapture(), b);
    EXPECT_TRUE(releaseCapture());
    EXPECT_EQ(getCapture(), nullptr);
    auto log = journal();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].hwnd, a);
    EXPECT_EQ(log[0].message, WM_CAPTURECHANGED);
    EXPECT_EQ(log[0].lParam, reinterpret_cast<LPARAM>(b));
    EXPECT_EQ(log[1].hwnd, b);
    EXPECT_EQ(log[1].lParam, 0);
}

TEST_F(Windows, DisabledWindowsTakeNoInputAndLoseFocusAndCapture)
{
    HWND top = create(WS_OVERLAPPED | WS_CAPTION | WS_VISIBLE, nullptr, {}, u"top", 0, RECT{100, 100, 400, 300});
    HWND child = create(WS_CHILD | WS_VISIBLE, top, {}, u"child", 0, RECT{0, 0, 100, 100});
    ASSERT_TRUE(top && child);
    setFocus(child);
    setCapture(child);
    clearJournal();
    EXPECT_FALSE(enableWindow(top, false));  // it was enabled
    EXPECT_FALSE(isWindowEnabled(top));
    EXPECT_FALSE(isWindowEnabled(child));  // inside a disabled window
    EXPECT_EQ(getWindowStyle(child) & WS_DISABLED, 0u);
    EXPECT_EQ(getFocus(), nullptr);
    EXPECT_EQ(getCapture(), nullptr);
    EXPECT_TRUE(enableWindow(top, false));  // already disabled: nothing is sent again
    std::vector<UINT> enables;
    for (const auto& l : journal())
        if (l.message == WM_ENABLE)
            enables.push_back(UINT(l.wParam));
    EXPECT_EQ(enables, std::vector<UINT>{0});

    // The injector delivers nothing to it.
    INPUT::reset();
    clearJournal();
    POINT p{50, 50};
    clientToScreen(child, p);
    INPUT::button(1, true, p.x, p.y);
    INPUT::button(1, false, p.x, p.y);
    setActiveWindow(top);
    EXPECT_FALSE(INPUT::tap(0x1C));
    MSG msg;
    while (peekMessage(msg, nullptr, 0, 0, PM_REMOVE))
        dispatchMessage(msg);
    for (UINT m : messages(nullptr, {WM_SETCURSOR, WM_NCACTIVATE, WM_ACTIVATE, WM_ACTIVATEAPP, WM_SETFOCUS, WM_KILLFOCUS}))
        EXPECT_TRUE(m != WM_LBUTTONDOWN && m != WM_LBUTTONUP && m != WM_KEYDOWN) << m;

    EXPECT_TRUE(enableWindow(top, true));
    EXPECT_TRUE(isWindowEnabled(child));
    INPUT::button(1, true, p.x, p.y);
    INPUT::button(1, false, p.x, p.y);
    while (peekMessage(msg, nullptr, 0, 0, PM_REMOVE))
        dispatchMessage(msg);
    const auto taken = messages(child);
    EXPECT_NE(std::find(taken.begin(), taken.end(), UINT(WM_LBUTTONDOWN)), taken.end());
    INPUT::reset();
}

TEST_F(Windows, PlacementKeepsTheRestoreRectangle)
{
    HWND hwnd = create(WS_OVERLAPPEDWINDOW | WS_VISIBLE, nullptr, {}, u"p", 0, RECT{10, 20, 410, 320});
    WINDOWPLACEMENT wp{};
    ASSERT_TRUE(getWindowPlacement(hwnd, wp));
    EXPECT_EQ(wp.length, sizeof wp);
    EXPECT_EQ(wp.showCmd, static_cast<UINT>(SW_SHOWNORMAL));
    EXPECT_EQ(wp.rcNormalPosition, (RECT{10, 20, 410, 320}));

    showWindow(hwnd, SW_MAXIMIZE);
    ASSERT_TRUE(getWindowPlacement(hwnd, wp));
    EXPECT_EQ(wp.showCmd, static_cast<UINT>(SW_SHOWMAXIMIZED));
    EXPECT_EQ(wp.rcNormalPosition, (RECT{10, 20, 410, 320}));
    RECT r{};
    getWindowRect(hwnd, r);
    RECT work = getWorkArea();
    EXPECT_LE(r.left, work.left);
    EXPECT_GE(r.right, work.right);

    // While maximised a new restore rectangle is kept for the next restore.
    wp.rcNormalPosition = RECT{30, 40, 330, 240};
    wp.showCmd = SW_SHOWNA;
    ASSERT_TRUE(setWindowPlacement(hwnd, wp));
    EXPECT_TRUE(isZoomed(hwnd));
    showWindow(hwnd, SW_RESTORE);
    getWindowRect(hwnd, r);
    EXPECT_EQ(r, (RECT{30, 40, 330, 240}));

    wp.length = 0;
    EXPECT_FALSE(setWindowPlacement(hwnd, wp));
    EXPECT_EQ(getLastError(), ERROR_INVALID_PARAMETER);
}

TEST_F(Windows, ResizableWindowsAreHeldToTheirTrackingSizes)
{
    HWND sizable = create(WS_OVERLAPPEDWINDOW, nullptr, [](HWND, UINT m, WPARAM, LPARAM l) -> std::optional<LRESULT> {
        if (m == WM_GETMINMAXINFO) {
            auto* mmi = reinterpret_cast<MINMAXINFO*>(l);
            mmi->ptMinTrackSize = POINT{300, 200};
            mmi->ptMaxTrackSize = POINT{800, 600};
            return 0;
        }
        return std::nullopt;
    });
    HWND fixed = create(0x02CA0000);
    struct Case {
        int width, height;
        RECT sizable, fixed;
    };
    const Case cases[] = {
        {100, 100, {0, 0, 300, 200}, {0, 0, 100, 100}},
        {1000, 700, {0, 0, 800, 600}, {0, 0, 1000, 700}},
        {500, 400, {0, 0, 500, 400}, {0, 0, 500, 400}},
    };
    for (const Case& c : cases) {
        RECT r{};
        ASSERT_TRUE(moveWindow(sizable, 0, 0, c.width, c.height));
        getWindowRect(sizable, r);
        EXPECT_EQ(r, c.sizable) << c.width;
        ASSERT_TRUE(moveWindow(fixed, 0, 0, c.width, c.height));
        getWindowRect(fixed, r);
        EXPECT_EQ(r, c.fixed) << c.width;
    }
}

TEST_F(Windows, InjectedFaultsFailTheChosenCalls)
{
    WNDCLASSEXW wc;
    wc.lpfnWndProc = &defWindowProc;
    {
        WindowFault f{eWindowFault::RegisterClass, 1, 1, ERROR_OUTOFMEMORY, WString()};
        WindowFaultScope fault(f);
        wc.lpszClassName = u"FaultA";
        EXPECT_NE(registerClass(wc), 0);
        wc.lpszClassName = u"FaultB";
        EXPECT_EQ(registerClass(wc), 0);
        EXPECT_EQ(getLastError(), ERROR_OUTOFMEMORY);
        EXPECT_NE(registerClass(wc), 0);
        EXPECT_EQ(fault.failures(), 1);
    }
    {
        WindowFault f{eWindowFault::CreateWindow, 0, -1, ERROR_NOT_ENOUGH_MEMORY, u"faultb"};
        WindowFaultScope fault(f);
        EXPECT_TRUE(create());
        EXPECT_EQ(createWindow(0, u"FaultB", u"", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr), nullptr);
        EXPECT_EQ(getLastError(), ERROR_NOT_ENOUGH_MEMORY);
        EXPECT_EQ(createWindow(0, u"FaultB", u"", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr), nullptr);
        EXPECT_EQ(fault.failures(), 2);
    }
    HWND b = createWindow(0, u"FaultB", u"", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    EXPECT_TRUE(b);
    destroyWindow(b);
    EXPECT_TRUE(unregisterClass(u"FaultA"));
    EXPECT_TRUE(unregisterClass(u"FaultB"));
}

// Tests that start a second thread also run under the thread sanitizer.
using WindowsThreaded = Windows;

TEST_F(WindowsThreaded, OperationsFromAnotherThreadFailLoudly)
{
    HWND hwnd = create();
#ifdef NDEBUG
    bool destroyed = true;
    DWORD error = 0;
    std::thread other([&] {
        destroyed = destroyWindow(hwnd);
        error = getLastError();
    });
    other.join();
    EXPECT_FALSE(destroyed);
    EXPECT_EQ(error, ERROR_ACCESS_DENIED);
    EXPECT_TRUE(isWindow(hwnd));
#else
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(
        {
            std::thread other([&] { destroyWindow(hwnd); });
            other.join();
        },
        "destroyWindow on window .* called from thread");
#endif
}
