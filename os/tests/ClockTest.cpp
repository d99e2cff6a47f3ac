#include "os/kernel/Clock.h"

#include <boost/thread/thread.hpp>
#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <thread>
#include <vector>

using namespace HA::OS;

class ManualClock : public ::testing::Test {
protected:
    ManualClockScope clock{1000};
};

TEST_F(ManualClock, SleepAdvancesVirtualTimeAtOnce)
{
    Clock::sleep(5000);
    EXPECT_EQ(Clock::now(), 6000);
    EXPECT_EQ(Clock::tickCount(), 6000u);
    EXPECT_EQ(Clock::performanceCounter(), 6000 * 10'000);
}

TEST_F(ManualClock, ScheduledCallbacksRunInDueOrderDuringASleep)
{
    std::vector<std::pair<int, TimeMs>> ran;
    struct Case { TimeMs delay; int tag; };
    const Case cases[] = {{300, 3}, {100, 1}, {200, 2}, {100, 11}, {900, 9}};
    for (const Case& c : cases)
        Clock::scheduleAfter(c.delay, [&ran, c] { ran.push_back({c.tag, Clock::now()}); });
    Clock::sleep(500);
    const std::vector<std::pair<int, TimeMs>> expected = {{1, 1100}, {11, 1100}, {2, 1200}, {3, 1300}};
    EXPECT_EQ(ran, expected);
    EXPECT_EQ(Clock::now(), 1500);
    ASSERT_TRUE(Clock::nextDue());
    EXPECT_EQ(*Clock::nextDue(), 1900);
}

TEST_F(ManualClock, CancelledCallbackNeverRuns)
{
    bool ran = false;
    auto id = Clock::scheduleAfter(10, [&] { ran = true; });
    EXPECT_TRUE(Clock::cancel(id));
    EXPECT_FALSE(Clock::cancel(id));
    Clock::advance(100);
    EXPECT_FALSE(ran);
}

TEST_F(ManualClock, WaitEndsWhenACallbackMakesItReady)
{
    bool flag = false;
    Clock::scheduleAfter(250, [&] {
        std::lock_guard<std::mutex> lock(Clock::kernelMutex());
        flag = true;
    });
    TimeMs deadline = Clock::now() + 1000;
    std::unique_lock<std::mutex> lock(Clock::kernelMutex());
    EXPECT_TRUE(Clock::waitUntil(lock, deadline, [&] { return flag; }));
    lock.unlock();
    EXPECT_EQ(Clock::now(), 1250);
}

TEST_F(ManualClock, WaitTimesOutOnVirtualTime)
{
    std::unique_lock<std::mutex> lock(Clock::kernelMutex());
    TimeMs deadline = 1000 + 500;
    EXPECT_FALSE(Clock::waitUntil(lock, deadline, [] { return false; }));
    lock.unlock();
    EXPECT_EQ(Clock::now(), 1500);
}

TEST_F(ManualClock, SleepObserverSeesEverySleep)
{
    std::vector<DWORD> sleeps;
    Clock::setSleepObserver([&](DWORD ms) { sleeps.push_back(ms); });
    Clock::sleep(10);
    Clock::sleep(0);
    Clock::sleep(1000);
    Clock::setSleepObserver({});
    Clock::sleep(7);
    EXPECT_EQ(sleeps, (std::vector<DWORD>{10, 0, 1000}));
}

// Tests that start a second thread also run under the thread sanitizer.
using ManualClockThreaded = ManualClock;

TEST_F(ManualClockThreaded, InterruptibleSleepIsAnInterruptionPoint)
{
    std::atomic<bool> interrupted{false};
    std::atomic<bool> finished{false};
    boost::thread worker([&] {
        try {
            // Blocks for real until the test interrupts it: nothing is scheduled and the
            // deadline is forever.
            std::unique_lock<std::mutex> lock(Clock::kernelMutex());
            Clock::waitUntil(lock, kForever, [] { return false; }, Clock::eInterrupt::Interruptible);
            finished = true;
        } catch (const boost::thread_interrupted&) {
            interrupted = true;
        }
    });
    worker.interrupt();
    worker.join();
    EXPECT_TRUE(interrupted);
    EXPECT_FALSE(finished);

    boost::thread sleeper([&] {
        try {
            Clock::sleep(5000, Clock::eInterrupt::Interruptible);
        } catch (const boost::thread_interrupted&) {
            interrupted = false;  // an interruption asked for before the sleep is seen too
        }
    });
    sleeper.interrupt();
    sleeper.join();
}

TEST(SteadyClock, SleepWaitsRealTimeAndRunsDueCallbacks)
{
    Clock::useSteady();
    bool ran = false;
    TimeMs start = Clock::now();
    Clock::scheduleAfter(5, [&] { ran = true; });
    Clock::sleep(20);
    EXPECT_TRUE(ran);
    EXPECT_GE(Clock::now() - start, 20);
}

TEST_F(ManualClockThreaded, TimeDoesNotJumpWhileAnotherThreadRunsACallback)
{
    std::mutex m;
    std::condition_variable cv;
    bool entered = false, release = false, ready = false;
    Clock::scheduleAfter(100, [&] {
        std::unique_lock<std::mutex> l(m);
        entered = true;
        cv.notify_all();
        cv.wait(l, [&] { return release; });
        l.unlock();
        std::lock_guard<std::mutex> k(Clock::kernelMutex());
        ready = true;
    });
    std::thread runner([] { Clock::sleep(200); });
    {
        std::unique_lock<std::mutex> l(m);
        cv.wait(l, [&] { return entered; });
    }
    bool woke = false;
    TimeMs wokeAt = 0;
    std::atomic<bool> checked{false};
    std::thread waiter([&] {
        TimeMs deadline = Clock::now() + 500;
        std::unique_lock<std::mutex> lock(Clock::kernelMutex());
        woke = Clock::waitUntil(lock, deadline, [&] {
            checked = true;
            return ready;
        });
        lock.unlock();
        wokeAt = Clock::now();
    });
    // Release the callback only once the waiter has looked: without the guard it would
    // already have jumped to its deadline.
    while (!checked)
        std::this_thread::yield();
    {
        std::lock_guard<std::mutex> l(m);
        release = true;
    }
    cv.notify_all();
    waiter.join();
    runner.join();
    EXPECT_TRUE(woke);
    EXPECT_LT(wokeAt, 1000 + 500);
}
