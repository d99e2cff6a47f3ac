#include "os/windows/timers/WindowTimer.h"

#include <gtest/gtest.h>

#include "os/windows/timers/MessagePump.h"
#include "os/tests/WindowTestSupport.h"

using namespace HA::OS;
using HA::OS::Testing::WindowTest;

namespace {

class WindowTimers : public WindowTest {
protected:
    struct Tick {
        UINT_PTR id;
        TimeMs at;
        bool operator==(const Tick& o) const { return id == o.id && at == o.at; }
    };
    std::vector<Tick> ticks(HWND hwnd)
    {
        std::vector<Tick> out;
        for (size_t i = 0; i < mTickTimes.size(); ++i)
            if (mTickTimes[i].first == hwnd)
                out.push_back(mTickTimes[i].second);
        return out;
    }
    // A window that records the time of every WM_TIMER; `onTick` may act on it.
    HWND timedWindow(std::function<void(HWND, UINT_PTR)> onTick = {})
    {
        return create(WS_POPUP, nullptr, [this, onTick](HWND h, UINT m, WPARAM w, LPARAM) -> std::optional<LRESULT> {
            if (m != WM_TIMER)
                return std::nullopt;
            mTickTimes.emplace_back(h, Tick{w, Clock::now()});
            if (onTick)
                onTick(h, w);
            return 0;
        });
    }
    std::vector<std::pair<HWND, Tick>> mTickTimes;
};

}  // namespace

TEST_F(WindowTimers, DueTimersComeInDueOrderThenInTheOrderTheyWereSet)
{
    HWND hwnd = timedWindow();
    ASSERT_TRUE(setTimer(hwnd, 1, 30));
    ASSERT_TRUE(setTimer(hwnd, 0, 20));  // id 0 is a valid id
    ASSERT_TRUE(setTimer(hwnd, 2, 20));
    pumpMessagesFor(60);
    std::vector<Tick> expected = {{0, 20}, {2, 20}, {1, 30}, {0, 40}, {2, 40}, {1, 60}, {0, 60}, {2, 60}};
    auto got = ticks(hwnd);
    ASSERT_EQ(got.size(), expected.size());
    for (size_t i = 0; i < got.size(); ++i) {
        EXPECT_EQ(got[i].id, expected[i].id) << i;
        EXPECT_EQ(got[i].at, expected[i].at) << i;
    }
    EXPECT_EQ(Clock::now(), 60);
}

TEST_F(WindowTimers, MissedPeriodsCollapseIntoOneMessageOnTheirGrid)
{
    HWND hwnd = timedWindow();
    ASSERT_TRUE(setTimer(hwnd, 5, 10));
    Clock::advance(95);
    EXPECT_EQ(pumpMessages().dispatched, 1);
    auto info = findTimer(hwnd, 5);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->due, 100);
    pumpMessagesFor(10);
    EXPECT_EQ(ticks(hwnd).size(), 2u);
    EXPECT_EQ(ticks(hwnd).back().at, 100);
}

TEST_F(WindowTimers, PeriodsAreClampedAndReplacingRestartsTheTimer)
{
    HWND hwnd = timedWindow();
    struct Case {
        UINT asked, used;
    };
    for (Case c : {Case{0, 10}, Case{2, 10}, Case{40, 40}, Case{0xFFFFFFFFu, 0x7FFFFFFF}}) {
        ASSERT_TRUE(setTimer(hwnd, 3, c.asked));
        auto info = findTimer(hwnd, 3);
        ASSERT_TRUE(info);
        EXPECT_EQ(info->requestedMs, c.asked);
        EXPECT_EQ(info->elapseMs, c.used);
    }
    ASSERT_TRUE(setTimer(hwnd, 3, 40));
    Clock::advance(30);
    ASSERT_TRUE(setTimer(hwnd, 3, 40));  // replaced: due 40 ms from now
    pumpMessagesFor(60);
    ASSERT_EQ(ticks(hwnd).size(), 1u);
    EXPECT_EQ(ticks(hwnd)[0].at, 70);
}

TEST_F(WindowTimers, KillingFromInsideTheHandler)
{
    // The handler of timer 1 kills itself and timer 2, which is due at the same time.
    HWND hwnd = timedWindow([](HWND h, UINT_PTR id) {
        if (id == 1) {
            EXPECT_TRUE(killTimer(h, 1));
            EXPECT_TRUE(killTimer(h, 2));
        }
    });
    ASSERT_TRUE(setTimer(hwnd, 1, 20));
    ASSERT_TRUE(setTimer(hwnd, 2, 20));
    pumpMessagesFor(100);
    ASSERT_EQ(ticks(hwnd).size(), 1u);
    EXPECT_EQ(ticks(hwnd)[0].id, 1u);
    EXPECT_FALSE(killTimer(hwnd, 1));
    EXPECT_EQ(getLastError(), ERROR_INVALID_PARAMETER);
}

TEST_F(WindowTimers, AFortyMillisecondTimerTicksTwentyFiveTimesASecond)
{
    HWND hwnd = timedWindow();
    ASSERT_TRUE(setTimer(hwnd, 0, 40));
    pumpMessagesFor(1000);
    EXPECT_EQ(ticks(hwnd).size(), 25u);
}

namespace {

std::vector<std::pair<UINT_PTR, TimeMs>> gThreadTicks;
UINT_PTR gKillAfterTwo = 0;

void threadTimerProc(HWND hwnd, UINT message, UINT_PTR id, DWORD time)
{
    EXPECT_EQ(hwnd, nullptr);
    EXPECT_EQ(message, WM_TIMER);
    EXPECT_EQ(time, static_cast<DWORD>(Clock::now()));
    gThreadTicks.emplace_back(id, Clock::now());
    auto seen = std::count_if(gThreadTicks.begin(), gThreadTicks.end(), [id](auto& t) { return t.first == id; });
    if (id == gKillAfterTwo && seen == 2) {
        EXPECT_TRUE(killThreadTimer(id));
    }
}

}  // namespace

TEST_F(WindowTimers, ThreadTimersCallTheirProcedureThroughDispatch)
{
    gThreadTicks.clear();
    UINT_PTR a = setThreadTimer(25, &threadTimerProc);
    UINT_PTR b = setThreadTimer(40, &threadTimerProc);
    ASSERT_NE(a, 0u);
    ASSERT_NE(b, 0u);
    ASSERT_NE(a, b);
    gKillAfterTwo = a;
    pumpMessagesFor(100);
    std::vector<std::pair<UINT_PTR, TimeMs>> expected = {{a, 25}, {b, 40}, {a, 50}, {b, 80}};
    EXPECT_EQ(gThreadTicks, expected);
    EXPECT_TRUE(killThreadTimer(b));
    EXPECT_FALSE(killThreadTimer(b));
}

TEST_F(WindowTimers, ATimerMessageForAKilledThreadTimerIsNotDispatched)
{
    gThreadTicks.clear();
    UINT_PTR id = setThreadTimer(10, &threadTimerProc);
    Clock::advance(10);
    MSG msg;
    ASSERT_TRUE(peekMessage(msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, WM_TIMER);
    EXPECT_TRUE(killThreadTimer(id));
    dispatchMessage(msg);
    EXPECT_TRUE(gThreadTicks.empty());
}
