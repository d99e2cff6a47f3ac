#include "os/kernel/Kernel.h"

#include <gtest/gtest.h>

#include <thread>

using namespace HA::OS;

class Kernel : public ::testing::Test {
protected:
    ManualClockScope clock;
};

TEST_F(Kernel, EventResetModes)
{
    struct Case {
        eReset reset;
        bool initial;
        DWORD first, second;
    };
    const Case cases[] = {
        {eReset::Auto, true, WAIT_OBJECT_0, WAIT_TIMEOUT},
        {eReset::Manual, true, WAIT_OBJECT_0, WAIT_OBJECT_0},
        {eReset::Auto, false, WAIT_TIMEOUT, WAIT_TIMEOUT},
        {eReset::Manual, false, WAIT_TIMEOUT, WAIT_TIMEOUT},
    };
    for (const Case& c : cases) {
        HANDLE e = createEvent(c.reset, c.initial);
        EXPECT_EQ(waitForSingleObject(e, 10), c.first);
        EXPECT_EQ(waitForSingleObject(e, 10), c.second);
        EXPECT_TRUE(closeHandle(e));
    }
}

TEST_F(Kernel, WaitForMultipleAnyAndAll)
{
    HANDLE a = createEvent(eReset::Manual, false);
    HANDLE b = createEvent(eReset::Manual, true);
    HANDLE both[] = {a, b};
    EXPECT_EQ(waitForMultipleObjects(both, 2, eWait::Any, 0), WAIT_OBJECT_0 + 1);
    EXPECT_EQ(waitForMultipleObjects(both, 2, eWait::All, 100), WAIT_TIMEOUT);
    EXPECT_EQ(Clock::now(), 100);
    setEvent(a);
    EXPECT_EQ(waitForMultipleObjects(both, 2, eWait::All, 100), WAIT_OBJECT_0);
    EXPECT_EQ(waitForMultipleObjects(both, 2, eWait::Any, 0), WAIT_OBJECT_0);
    closeHandle(a);
    closeHandle(b);
}

TEST_F(Kernel, WaitWakesOnAScheduledSet)
{
    HANDLE e = createEvent(eReset::Auto, false);
    Clock::scheduleAfter(300, [e] { setEvent(e); });
    EXPECT_EQ(waitForSingleObject(e, 500), WAIT_OBJECT_0);
    EXPECT_EQ(Clock::now(), 300);
    closeHandle(e);
}

// Tests that start a second thread also run under the thread sanitizer.
using KernelThreaded = Kernel;

TEST_F(KernelThreaded, WaitWakesOnAnotherThreadsSet)
{
    HANDLE e = createEvent(eReset::Manual, false);
    std::thread t([e] { setEvent(e); });
    EXPECT_EQ(waitForSingleObject(e, INFINITE), WAIT_OBJECT_0);
    t.join();
    closeHandle(e);
}

TEST_F(Kernel, BadHandlesFail)
{
    HANDLE e = createEvent(eReset::Auto, false);
    EXPECT_TRUE(closeHandle(e));
    EXPECT_FALSE(closeHandle(e));
    EXPECT_EQ(getLastError(), ERROR_INVALID_HANDLE);
    EXPECT_EQ(waitForSingleObject(e, 0), WAIT_FAILED);
    EXPECT_FALSE(setEvent(INVALID_HANDLE_VALUE));
    EXPECT_EQ(waitForMultipleObjects(nullptr, 0, eWait::Any, 0), WAIT_FAILED);
    EXPECT_EQ(getLastError(), ERROR_INVALID_PARAMETER);
}

TEST_F(KernelThreaded, ThreadIdsAndLastErrorArePerThread)
{
    setLastError(42);
    DWORD mine = currentThreadId();
    DWORD other = 0, otherError = 1;
    std::thread t([&] {
        other = currentThreadId();
        otherError = getLastError();
    });
    t.join();
    EXPECT_NE(mine, 0u);
    EXPECT_NE(other, mine);
    EXPECT_EQ(otherError, 0u);
    EXPECT_EQ(getLastError(), 42u);
    EXPECT_EQ(currentThreadId(), mine);
}
