#include "uia/platform/app/AsyncEventWindow.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "os/kernel/Clock.h"
#include "os/kernel/Kernel.h"
#include "os/windows/Message.h"
#include "os/windows/timers/MessagePump.h"
#include "uia/events/EventTarget.h"
#include "uia/events/Events.h"

using namespace HA;
using namespace HA::UIA;

namespace {

class CodeRecorder : public EventTarget {
public:
    bool onEvent(int code, void* data) override
    {
        EXPECT_NE(data, nullptr);
        codes.push_back(code);
        threads.push_back(OS::currentThreadId());
        return true;
    }
    std::vector<int> codes;
    std::vector<OS::DWORD> threads;
};

class AsyncEventWindow : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(createAsyncEventWindow(false)); }
    void TearDown() override { destroyAsyncEventWindow(); }

    OS::ManualClockScope mClock;
};

}  // namespace

TEST_F(AsyncEventWindow, IsAMessageOnlyWindowOfItsOwnClassOnTheCallingThread)
{
    OS::HWND window = DETAIL::asyncEventWindow();
    ASSERT_NE(window, nullptr);
    const OS::WString className = DETAIL::asyncEventWindowClassName();
    EXPECT_EQ(className.rfind(u"HAAsyncEventTargetWndClass", 0), 0u);
    EXPECT_GT(className.size(), 26u);
    EXPECT_LE(className.size(), 256u);
    EXPECT_EQ(OS::findWindowEx(OS::HWND_MESSAGE, nullptr, className, u"AsyncEventTargetWindow"), window);
    EXPECT_EQ(OS::findWindow(className, OS::WString()), nullptr);  // not a top-level window
    EXPECT_EQ(OS::getWindowThreadId(window), OS::currentThreadId());
    EXPECT_EQ(DETAIL::asyncEventWindowThread(), OS::currentThreadId());
    OS::RECT rect{};
    ASSERT_TRUE(OS::getClientRect(window, rect));
    EXPECT_EQ(rect.right, 1);
    EXPECT_EQ(rect.bottom, 1);
}

TEST_F(AsyncEventWindow, AnswersCommandsWithOneAndReachesOnlyRegisteredTargets)
{
    struct Case {
        const char* name;
        OS::LPARAM key;
        std::vector<int> codes;
    };
    const std::vector<Case> cases = {
        {"empty registry", 7, {}},
        {"registered key", 5, {42}},
        {"other key", 6, {}},
    };
    for (const Case& c : cases) {
        CodeRecorder target;
        if (c.codes.size())
            DETAIL::registerAsyncEventTarget(5, &target);
        EXPECT_EQ(OS::sendMessage(DETAIL::asyncEventWindow(), OS::WM_COMMAND, 42, c.key), 1) << c.name;
        EXPECT_EQ(target.codes, c.codes) << c.name;
        DETAIL::unregisterAsyncEventTarget(5);
    }
}

TEST_F(AsyncEventWindow, OtherMessagesGoToTheDefaultProcedure)
{
    OS::HWND window = DETAIL::asyncEventWindow();
    EXPECT_EQ(OS::sendMessage(window, OS::WM_USER + 5, 1, 2), 0);
    ASSERT_TRUE(OS::setWindowText(window, u"renamed"));
    EXPECT_EQ(OS::getWindowText(window), u"renamed");
}

TEST_F(AsyncEventWindow, DestroyRemovesTheWindowAndItsClass)
{
    OS::HWND window = DETAIL::asyncEventWindow();
    const OS::WString className = DETAIL::asyncEventWindowClassName();
    destroyAsyncEventWindow();
    EXPECT_FALSE(OS::isWindow(window));
    EXPECT_EQ(DETAIL::asyncEventWindow(), nullptr);
    EXPECT_FALSE(OS::unregisterClass(className));
    EXPECT_EQ(OS::getLastError(), OS::ERROR_CLASS_DOES_NOT_EXIST);
    destroyAsyncEventWindow();  // nothing left to do
    ASSERT_TRUE(createAsyncEventWindow(false));  // and it can come back
    EXPECT_TRUE(OS::isWindow(DETAIL::asyncEventWindow()));
}

TEST(AsyncEventWindowSkip, SkipCreatesNothing)
{
    EXPECT_TRUE(createAsyncEventWindow(true));
    EXPECT_EQ(DETAIL::asyncEventWindow(), nullptr);
    destroyAsyncEventWindow();
}

TEST(AsyncEventWindowThreaded, CommandsPostedFromAnotherThreadRunOnTheWindowsThread)
{
    OS::ManualClockScope clock;
    ASSERT_TRUE(createAsyncEventWindow(false));
    CodeRecorder target;
    DETAIL::registerAsyncEventTarget(9, &target);
    OS::HWND window = DETAIL::asyncEventWindow();
    std::thread poster([window] {
        for (int code = 1; code <= 3; ++code)
            OS::postMessage(window, OS::WM_COMMAND, static_cast<OS::WPARAM>(code), 9);
    });
    poster.join();
    OS::pumpMessages();
    EXPECT_EQ(target.codes, (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(target.threads, (std::vector<OS::DWORD>(3, OS::currentThreadId())));
    DETAIL::unregisterAsyncEventTarget(9);
    destroyAsyncEventWindow();
}
