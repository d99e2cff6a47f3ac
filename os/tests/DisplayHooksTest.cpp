#include "os/windows/DisplayHooks.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "os/windows/MessageBox.h"
#include "os/windows/MouseTracking.h"
#include "os/windows/WindowTimer.h"
#include "os/tests/WindowTestSupport.h"

using namespace HA::OS;
using HA::OS::Testing::WindowTest;

namespace {

// Hooks that record what the stand-in tells a presenter.
struct Recorder {
    std::mutex mutex;
    std::vector<std::pair<HWND, eWindowChange>> changes;
    std::vector<TimeMs> waits;
    std::function<bool(TimeMs)> onWait;
    std::vector<std::string> boxes;
    int boxAnswer = 0;
};
Recorder* gRecorder = nullptr;

void recordChange(HWND hwnd, eWindowChange change)
{
    std::lock_guard<std::mutex> lock(gRecorder->mutex);
    gRecorder->changes.emplace_back(hwnd, change);
}

bool recordWait(TimeMs deadline)
{
    gRecorder->waits.push_back(deadline);
    return gRecorder->onWait ? gRecorder->onWait(deadline) : false;
}

int recordBox(HWND, const std::string& text, const std::string&, UINT, const std::vector<int>&, int)
{
    gRecorder->boxes.push_back(text);
    return gRecorder->boxAnswer;
}

const DisplayHooks kRecording{recordChange, nullptr, recordWait, recordBox};

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

TEST_F(DisplayHooksTest, MessageBoxesGoToTheDisplayUnlessAScriptAnswers)
{
    mRecorder.boxAnswer = IDNO;
    EXPECT_EQ(messageBox(nullptr, u"Quit?", u"Updater", MB_YESNO | MB_DEFBUTTON2), IDNO);
    {
        MessageBoxScript script([](const std::string& p) { ADD_FAILURE() << p; });
        script.expect(IDYES);
        EXPECT_EQ(messageBox(nullptr, u"Scripted", u"Updater", MB_YESNO), IDYES);
    }
    // A display that cannot show the box leaves the default answer.
    mRecorder.boxAnswer = 0;
    EXPECT_EQ(messageBox(nullptr, u"Again?", u"Updater", MB_YESNO | MB_DEFBUTTON2), IDNO);
    EXPECT_EQ(mRecorder.boxes, (std::vector<std::string>{"Quit?", "Again?"}));
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
