#include "os/windows/DisplayHooks.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "os/windows/drawing/Drawing.h"
#include "os/windows/icons/Icon.h"
#include "os/windows/messagebox/MessageBox.h"
#include "os/windows/input/MouseTracking.h"
#include "os/windows/timers/WindowTimer.h"
#include "os/tests/MessageBoxTestSupport.h"
#include "os/tests/WindowTestSupport.h"

using namespace HA::OS;
using namespace HA::OS::Testing;

namespace {

// Hooks that record what the stand-in tells a presenter.
struct Recorder {
    std::mutex mutex;
    std::vector<std::pair<HWND, eWindowChange>> changes;
    std::vector<std::pair<HWND, RECT>> pixels;
    std::vector<TimeMs> waits;
    std::function<bool(TimeMs)> onWait;
    bool showsWindows = false;
    std::vector<std::pair<HWND, bool>> gone;  // the window, and whether it still existed
};
Recorder* gRecorder = nullptr;

void recordChange(HWND hwnd, eWindowChange change)
{
    std::lock_guard<std::mutex> lock(gRecorder->mutex);
    gRecorder->changes.emplace_back(hwnd, change);
}

void recordPixels(HWND hwnd, const RECT& rect)
{
    std::lock_guard<std::mutex> lock(gRecorder->mutex);
    gRecorder->pixels.emplace_back(hwnd, rect);
}

bool recordWait(TimeMs deadline)
{
    gRecorder->waits.push_back(deadline);
    return gRecorder->onWait ? gRecorder->onWait(deadline) : false;
}

bool recordShowsWindows() { return gRecorder->showsWindows; }

void recordGone(HWND hwnd)
{
    // No lock is held: the stand-in may be asked.
    const bool exists = isWindow(hwnd);
    std::lock_guard<std::mutex> lock(gRecorder->mutex);
    gRecorder->gone.emplace_back(hwnd, exists);
}

const DisplayHooks kRecording{recordChange, recordPixels, recordWait, recordShowsWindows, recordGone};

class DisplayHooksTest : public WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        gRecorder = &mRecorder;
        setDisplayHooks(&kRecording);
    }
    void TearDown() override
    {
        setDisplayHooks(nullptr);
        WindowTest::TearDown();
        gRecorder = nullptr;
    }
    std::vector<eWindowChange> changesOf(HWND hwnd)
    {
        std::lock_guard<std::mutex> lock(mRecorder.mutex);
        std::vector<eWindowChange> out;
        for (auto& [h, c] : mRecorder.changes)
            if (h == hwnd)
                out.push_back(c);
        mRecorder.changes.clear();
        return out;
    }

    Recorder mRecorder;
};

using C = eWindowChange;

struct ChangeRow {
    const char* name;
    std::function<void(HWND)> act;
    std::vector<C> expected;
};

TEST_F(DisplayHooksTest, TopLevelWindowChangesAreNoted)
{
    const std::vector<ChangeRow> rows = {
        {"show", [](HWND h) { showWindow(h, SW_SHOWNA); }, {C::Shown}},
        {"show again", [](HWND h) { showWindow(h, SW_SHOWNA); }, {}},
        {"retitle", [](HWND h) { setWindowText(h, u"other"); }, {C::Retitled}},
        {"move", [](HWND h) { setWindowPos(h, nullptr, 30, 40, 0, 0, SWP_NOSIZE | SWP_NOZORDER); }, {C::Placed}},
        {"size", [](HWND h) { setWindowPos(h, nullptr, 0, 0, 300, 200, SWP_NOMOVE | SWP_NOZORDER); }, {C::Placed}},
        {"minimise", [](HWND h) { showWindow(h, SW_MINIMIZE); }, {C::Placed}},
        {"restore", [](HWND h) { showWindow(h, SW_RESTORE); }, {C::Placed}},
        {"hide", [](HWND h) { showWindow(h, SW_HIDE); }, {C::Hidden}},
        {"destroy", [](HWND h) { destroyWindow(h); }, {C::Destroyed}},
    };
    HWND hwnd = create(WS_OVERLAPPEDWINDOW);
    EXPECT_EQ(changesOf(hwnd), std::vector<C>{});
    for (const ChangeRow& row : rows) {
        row.act(hwnd);
        EXPECT_EQ(changesOf(hwnd), row.expected) << row.name;
    }
}

TEST_F(DisplayHooksTest, ADestroyedTopLevelWindowIsReportedGoneOnceItsDestructionIsOver)
{
    HWND top = create(WS_OVERLAPPEDWINDOW | WS_VISIBLE);
    HWND child = create(WS_CHILD | WS_VISIBLE, top);
    HWND other = create(WS_OVERLAPPEDWINDOW);
    destroyWindow(top);  // and its child with it
    destroyWindow(other);
    destroyWindow(other);
    using Gone = std::vector<std::pair<HWND, bool>>;
    EXPECT_EQ(mRecorder.gone, (Gone{{top, false}, {other, false}}));
    EXPECT_FALSE(isWindow(child));
}

TEST_F(DisplayHooksTest, AnIconIsNoted)
{
    HWND hwnd = create(WS_OVERLAPPEDWINDOW);
    sendMessage(hwnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(loadIcon(nullptr, IDI_APPLICATION)));
    sendMessage(hwnd, WM_GETICON, ICON_BIG, 0);
    EXPECT_EQ(changesOf(hwnd), std::vector<C>{C::IconChanged});
}

struct PixelRow {
    const char* name;
    std::function<void(HWND, HDC)> draw;  // draws through the window's context
    std::vector<RECT> expected;
};

TEST_F(DisplayHooksTest, ChangedPixelsAreNotedWithTheirRectangle)
{
    static std::uint32_t bits[4 * 3] = {};
    static BITMAPINFO info{};
    info.bmiHeader = BITMAPINFOHEADER{40, 4, -3, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    const std::vector<PixelRow> rows = {
        {"fill", [](HWND, HDC dc) {
             HBRUSH b = createSolidBrush(rgbColour(1, 2, 3));
             fillRect(dc, RECT{5, 6, 20, 30}, b);
             deleteObject(b);
         },
         {RECT{5, 6, 20, 30}}},
        {"fill clipped to the client area", [](HWND, HDC dc) {
             HBRUSH b = createSolidBrush(rgbColour(1, 2, 3));
             fillRect(dc, RECT{-5, 140, 20, 400}, b);
             deleteObject(b);
         },
         {RECT{0, 140, 20, 150}}},
        {"fill outside", [](HWND, HDC dc) {
             HBRUSH b = createSolidBrush(rgbColour(1, 2, 3));
             fillRect(dc, RECT{500, 500, 600, 600}, b);
             deleteObject(b);
         },
         {}},
        {"copy", [](HWND, HDC dc) { setDIBitsToDevice(dc, 10, 20, 4, 3, 0, 0, 0, 3, bits, &info, DIB_RGB_COLORS); },
         {RECT{10, 20, 14, 23}}},
        {"stretch", [](HWND, HDC dc) {
             stretchDIBits(dc, 1, 2, 8, 6, 0, 0, 4, 3, bits, &info, DIB_RGB_COLORS, SRCCOPY);
         },
         {RECT{1, 2, 9, 8}}},
        {"memory context", [](HWND, HDC) {
             HDC memory = createCompatibleDC(nullptr);
             void* pixels = nullptr;
             HBITMAP bitmap = createDIBSection(memory, &info, DIB_RGB_COLORS, &pixels, nullptr, 0);
             HGDIOBJ old = selectObject(memory, bitmap);
             setDIBitsToDevice(memory, 0, 0, 4, 3, 0, 0, 0, 3, bits, &info, DIB_RGB_COLORS);
             selectObject(memory, old);
             deleteObject(bitmap);
             deleteDC(memory);
         },
         {}},
    };
    // A client area of 200 x 150.
    HWND hwnd = create(WS_POPUP | WS_VISIBLE);
    for (const PixelRow& row : rows) {
        mRecorder.pixels.clear();
        HDC dc = getDC(hwnd);
        row.draw(hwnd, dc);
        releaseDC(hwnd, dc);
        std::vector<RECT> noted;
        for (auto& [h, r] : mRecorder.pixels) {
            EXPECT_EQ(h, hwnd) << row.name;
            noted.push_back(r);
        }
        EXPECT_EQ(noted, row.expected) << row.name;
    }
}

TEST_F(DisplayHooksTest, ALayeredUpdateNotesTheWholeWindow)
{
    HWND hwnd = create(WS_POPUP | WS_VISIBLE, nullptr, {}, u"layered", WS_EX_LAYERED, RECT{0, 0, 40, 30});
    HDC memory = createCompatibleDC(nullptr);
    BITMAPINFO info{};
    info.bmiHeader = BITMAPINFOHEADER{40, 40, -30, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* pixels = nullptr;
    HBITMAP bitmap = createDIBSection(memory, &info, DIB_RGB_COLORS, &pixels, nullptr, 0);
    HGDIOBJ old = selectObject(memory, bitmap);
    POINT at{0, 0}, from{0, 0};
    SIZE size{40, 30};
    BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    mRecorder.pixels.clear();
    ASSERT_TRUE(updateLayeredWindow(hwnd, nullptr, &at, &size, memory, &from, 0, &blend, ULW_ALPHA));
    ASSERT_EQ(mRecorder.pixels.size(), 1u);
    EXPECT_EQ(mRecorder.pixels[0].second, (RECT{0, 0, 40, 30}));
    selectObject(memory, old);
    deleteObject(bitmap);
    deleteDC(memory);
}

TEST_F(DisplayHooksTest, ChildAndMessageOnlyWindowsAreNotNoted)
{
    HWND top = create(WS_OVERLAPPEDWINDOW | WS_VISIBLE);
    HWND child = create(WS_CHILD | WS_VISIBLE, top);
    HWND messageOnly = create(0, HWND_MESSAGE);
    setWindowText(child, u"child");
    setWindowText(messageOnly, u"hidden");
    destroyWindow(child);
    destroyWindow(messageOnly);
    EXPECT_EQ(changesOf(child), std::vector<C>{});
    EXPECT_EQ(changesOf(messageOnly), std::vector<C>{});
}

TEST_F(DisplayHooksTest, TheIdleWaitGetsTheNextTimerAsDeadline)
{
    HWND hwnd = create(WS_POPUP);
    ASSERT_TRUE(setTimer(hwnd, 1, 250));
    mRecorder.onWait = [hwnd](TimeMs) { return postMessage(hwnd, WM_APP, 0, 0); };
    MSG msg;
    ASSERT_EQ(getMessage(msg), 1);
    EXPECT_EQ(msg.message, WM_APP);
    EXPECT_EQ(mRecorder.waits, std::vector<TimeMs>{250});
    EXPECT_EQ(Clock::now(), 0);  // the hook waited, not the clock
}

TEST_F(DisplayHooksTest, AnIdleWaitThatDeclinesLeavesTheWaitToTheClock)
{
    HWND hwnd = create(WS_POPUP);
    ASSERT_TRUE(setTimer(hwnd, 1, 250));
    MSG msg;
    ASSERT_EQ(getMessage(msg), 1);
    EXPECT_EQ(msg.message, WM_TIMER);
    EXPECT_EQ(Clock::now(), 250);
    EXPECT_FALSE(mRecorder.waits.empty());
}

TEST_F(DisplayHooksTest, MessageBoxesAreWindowsOnTheDisplayUnlessAScriptAnswers)
{
    mRecorder.showsWindows = true;
    HWND shownBox = nullptr;
    later(100, [&] {
        shownBox = findBox();
        ASSERT_NE(shownBox, nullptr);
        tapKey(kScanEnter);
    });
    EXPECT_EQ(messageBox(nullptr, u"Quit?", u"Updater", MB_YESNO | MB_DEFBUTTON2), IDNO);
    ASSERT_NE(shownBox, nullptr);
    // The box was a top-level window like any other: shown, painted and gone.
    bool shown = false, painted = false, destroyed = false;
    for (auto& [hwnd, change] : mRecorder.changes) {
        shown = shown || (hwnd == shownBox && change == eWindowChange::Shown);
        destroyed = destroyed || (hwnd == shownBox && change == eWindowChange::Destroyed);
    }
    for (auto& [hwnd, rect] : mRecorder.pixels)
        painted = painted || hwnd == shownBox;
    EXPECT_TRUE(shown && painted && destroyed);
    {
        MessageBoxScript script([](const std::string& p) { ADD_FAILURE() << p; });
        script.expect(IDYES);
        EXPECT_EQ(messageBox(nullptr, u"Scripted", u"Updater", MB_YESNO), IDYES);
    }
    // Without the display a box takes its default answer.
    mRecorder.showsWindows = false;
    EXPECT_EQ(messageBox(nullptr, u"Again?", u"Updater", MB_YESNO | MB_DEFBUTTON2), IDNO);
    auto records = messageBoxRecords();
    ASSERT_GE(records.size(), 3u);
    EXPECT_EQ(records[records.size() - 3].answer, IDNO);
}

TEST_F(DisplayHooksTest, LeaveTrackingIsTakenOnce)
{
    HWND hwnd = create(WS_POPUP);
    TRACKMOUSEEVENT track{sizeof(TRACKMOUSEEVENT), TME_LEAVE, hwnd, 0};
    EXPECT_FALSE(isMouseLeaveTracked(hwnd));
    ASSERT_TRUE(trackMouseEvent(track));
    EXPECT_TRUE(isMouseLeaveTracked(hwnd));
    EXPECT_TRUE(takeMouseLeaveTracking(hwnd));
    EXPECT_FALSE(takeMouseLeaveTracking(hwnd));
    ASSERT_TRUE(trackMouseEvent(track));
    track.dwFlags = TME_LEAVE | TME_CANCEL;
    ASSERT_TRUE(trackMouseEvent(track));
    EXPECT_FALSE(isMouseLeaveTracked(hwnd));

    track.cbSize = 0;
    EXPECT_FALSE(trackMouseEvent(track));
    EXPECT_EQ(getLastError(), ERROR_INVALID_PARAMETER);
    TRACKMOUSEEVENT gone{sizeof(TRACKMOUSEEVENT), TME_LEAVE, reinterpret_cast<HWND>(std::intptr_t(0x7FFF0)), 0};
    EXPECT_FALSE(trackMouseEvent(gone));
    EXPECT_EQ(getLastError(), ERROR_INVALID_WINDOW_HANDLE);
}

std::atomic<int> gWakes{0};
void countWake()
{
    gWakes.fetch_add(1);
}

class DisplayHooksThreaded : public WindowTest {};

TEST_F(DisplayHooksThreaded, APostFromAnotherThreadCallsTheWaker)
{
    HWND hwnd = create(WS_POPUP);
    gWakes = 0;
    Clock::setWakeHook(&countWake);
    std::thread poster([hwnd] { postMessage(hwnd, WM_APP, 1, 0); });
    poster.join();
    int afterPost = gWakes.load();
    Clock::scheduleAfter(10, [] {});
    int afterSchedule = gWakes.load();
    Clock::setWakeHook(nullptr);
    postMessage(hwnd, WM_APP, 2, 0);
    EXPECT_GE(afterPost, 1);
    EXPECT_GT(afterSchedule, afterPost);
    EXPECT_EQ(gWakes.load(), afterSchedule);
}

}  // namespace
