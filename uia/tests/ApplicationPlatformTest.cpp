#include "uia/platform/app/ApplicationPlatform.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "os/kernel/Clock.h"
#include "os/kernel/Kernel.h"
#include "os/windows/Message.h"
#include "os/windows/timers/MessagePump.h"
#include "os/windows/timers/WindowTimer.h"
#include "uia/app/Application.h"

using namespace HA;
using namespace HA::UIA;

namespace {

class PlatformTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        mApp.reset();
        OS::MSG msg;
        while (OS::peekMessage(msg, nullptr, 0, 0, OS::PM_REMOVE)) {
        }
    }

    ApplicationPlatform& platform() { return *mApp->getPlatform(); }

    OS::ManualClockScope mClock;
    std::unique_ptr<Application> mApp = std::make_unique<Application>();
    std::vector<std::string> mLog;
};

}  // namespace

TEST_F(PlatformTest, TheHiddenWindowHasTheInternalName)
{
    const OS::WString& name = makeInternalWindowName();
    ASSERT_EQ(name.size(), 19u + 36u);
    EXPECT_EQ(name.compare(0, 19, u"UIA_InternalWindow_"), 0);
    for (std::size_t i = 19; i < name.size(); ++i) {
        const char16_t c = name[i];
        if (i == 19 + 8 || i == 19 + 13 || i == 19 + 18 || i == 19 + 23)
            EXPECT_EQ(c, u'-');
        else
            EXPECT_TRUE((c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f')) << i;
    }
    EXPECT_EQ(name[19 + 14], u'4');  // version 4
    EXPECT_EQ(&makeInternalWindowName(), &name);
    OS::HWND hwnd = platform().hiddenWindow();
    ASSERT_NE(hwnd, nullptr);
    EXPECT_EQ(OS::getClassName(hwnd), name);
    EXPECT_EQ(OS::getWindowThreadId(hwnd), OS::currentThreadId());
}

TEST_F(PlatformTest, PostedFunctionsRunInOrderAndALaterPostWithTheNextMessage)
{
    mApp->postToMainThread([this] {
        mLog.push_back("a");
        mApp->postToMainThread([this] { mLog.push_back("nested"); });
        // A nested pump runs only what came after this batch.
        OS::pumpMessages();
        mLog.push_back("a done");
    });
    mApp->postToMainThread([this] { mLog.push_back("b"); });
    OS::pumpMessages();
    EXPECT_EQ(mLog, (std::vector<std::string>{"a", "nested", "a done", "b"}));
}

TEST_F(PlatformTest, AThrowingFunctionDoesNotRerunItsBatch)
{
    mApp->postToMainThread([this] { mLog.push_back("first"); });
    mApp->postToMainThread([] { throw std::runtime_error("posted"); });
    mApp->postToMainThread([this] { mLog.push_back("after"); });
    mApp->postToMainThread(std::function<void()>());
    EXPECT_THROW(OS::pumpMessages(), std::runtime_error);
    mApp->postToMainThread([this] { mLog.push_back("later"); });
    OS::pumpMessages();
    EXPECT_EQ(mLog, (std::vector<std::string>{"first", "later"}));
    mApp->postToMainThread(std::function<void()>());
    EXPECT_THROW(OS::pumpMessages(), std::bad_function_call);
}

TEST_F(PlatformTest, DestructionRunsNothingPending)
{
    int runs = 0;
    mApp->postToMainThread([&] { ++runs; });
    mApp->startTimer(20000, [&] { ++runs; });
    const OS::HWND hwnd = platform().hiddenWindow();
    mApp.reset();
    EXPECT_FALSE(OS::isWindow(hwnd));
    OS::pumpMessagesFor(100);
    EXPECT_EQ(runs, 0);
    EXPECT_FALSE(OS::unregisterClass(makeInternalWindowName()));  // gone with the platform
}

TEST_F(PlatformTest, OneShotTimers)
{
    struct Case {
        std::uint64_t delayUs;
        OS::UINT requestedMs;
        OS::TimeMs firesAt;
    };
    const std::vector<Case> cases = {{999, 0, 10}, {2500, 2, 10}, {25000, 25, 25}};
    std::vector<std::uint64_t> ids;
    std::vector<OS::TimeMs> fired(cases.size(), -1);
    std::vector<int> counts(cases.size(), 0);
    const OS::TimeMs start = OS::Clock::now();
    for (std::size_t i = 0; i < cases.size(); ++i) {
        ids.push_back(mApp->startTimer(cases[i].delayUs, [&, i] {
            fired[i] = OS::Clock::now() - start;
            ++counts[i];
        }));
        auto info = OS::findTimer(platform().hiddenWindow(), static_cast<OS::UINT_PTR>(ids.back()));
        ASSERT_TRUE(info);
        EXPECT_EQ(info->requestedMs, cases[i].requestedMs);
    }
    EXPECT_EQ(ids, (std::vector<std::uint64_t>{0, 1, 2}));
    OS::pumpMessagesFor(100);
    for (std::size_t i = 0; i < cases.size(); ++i) {
        EXPECT_EQ(fired[i], cases[i].firesAt) << i;
        EXPECT_EQ(counts[i], 1) << i;  // once, then killed
        EXPECT_FALSE(OS::findTimer(platform().hiddenWindow(), static_cast<OS::UINT_PTR>(ids[i]))) << i;
    }
    EXPECT_EQ(platform().pendingTimers(), 0u);
}

TEST_F(PlatformTest, StoppingBeforeFiringAndInsideTheCallback)
{
    int runs = 0;
    const std::uint64_t stopped = mApp->startTimer(10000, [&] { ++runs; });
    mApp->stopTimer(stopped);
    std::uint64_t self = 0;
    self = mApp->startTimer(10000, [&] {
        ++runs;
        mApp->stopTimer(self);  // already out of the map: nothing
    });
    mApp->stopTimer(999);  // never started
    OS::pumpMessagesFor(100);
    EXPECT_EQ(runs, 1);
    EXPECT_FALSE(OS::findTimer(platform().hiddenWindow(), static_cast<OS::UINT_PTR>(stopped)));
    EXPECT_FALSE(OS::findTimer(platform().hiddenWindow(), static_cast<OS::UINT_PTR>(self)));
}

TEST_F(PlatformTest, AnUnknownTimerMessageKillsItsTimer)
{
    const OS::HWND hwnd = platform().hiddenWindow();
    ASSERT_TRUE(OS::setTimer(hwnd, 41, 10));
    OS::pumpMessagesFor(30);
    EXPECT_FALSE(OS::findTimer(hwnd, 41));
}

TEST(PlatformThreaded, PostsFromAnotherThreadRunInOrderOnTheUserInterfaceThread)
{
    OS::ManualClockScope clock;
    Application app;
    std::vector<int> order;
    std::vector<OS::DWORD> threads;
    std::thread poster([&] {
        for (int i = 0; i < 3; ++i)
            app.postToMainThread([&, i] {
                order.push_back(i);
                threads.push_back(OS::currentThreadId());
            });
    });
    poster.join();
    OS::pumpMessages();
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(threads, std::vector<OS::DWORD>(3, OS::currentThreadId()));
}

TEST(PlatformThreaded, TimersStartedAndStoppedFromAnotherThread)
{
    OS::ManualClockScope clock;
    Application app;
    std::atomic<int> fired{0};
    std::uint64_t kept = 0;
    std::uint64_t stopped = 0;
    std::thread other([&] {
        kept = app.startTimer(20000, [&] { ++fired; });
        stopped = app.startTimer(20000, [&] { fired += 100; });
        app.stopTimer(stopped);
    });
    other.join();
    EXPECT_EQ(kept, 0u);
    EXPECT_EQ(stopped, 1u);
    OS::pumpMessagesFor(100);
    EXPECT_EQ(fired.load(), 1);
    EXPECT_FALSE(OS::findTimer(app.getPlatform()->hiddenWindow(), 0));
    EXPECT_FALSE(OS::findTimer(app.getPlatform()->hiddenWindow(), 1));
}
