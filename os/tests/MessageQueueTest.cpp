#include "os/windows/Message.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "os/windows/timers/MessagePump.h"
#include "os/windows/timers/WindowTimer.h"
#include "os/windows/detail/WindowState.h"
#include "os/tests/WindowTestSupport.h"

using namespace HA::OS;
using HA::OS::Testing::WindowTest;

namespace {

class MessageQueue : public WindowTest {
protected:
    // Waits until a message sent from another thread waits in this thread's queue.
    void waitForIncomingSend()
    {
        auto q = DETAIL::currentQueue();
        auto lock = DETAIL::kernelLock();
        Clock::waitUntil(lock, kForever, [&] { return !q->sent.empty(); });
    }
};

}  // namespace

// Tests that start a second thread also run under the thread sanitizer.
using MessageQueueThreaded = MessageQueue;

TEST_F(MessageQueueThreaded, DeliveryOrderIsSentPostedInputPaintTimerQuit)
{
    HWND hwnd = create(WS_POPUP | WS_VISIBLE);
    pumpMessages();  // the paint of showing
    clearJournal();

    postQuitMessage(3);
    ASSERT_TRUE(setTimer(hwnd, 7, 10));
    Clock::advance(10);
    ASSERT_TRUE(invalidateRect(hwnd, nullptr, false));
    ASSERT_TRUE(queueInputMessage(hwnd, WM_MOUSEMOVE, 0, makeLParam(4, 5)));
    ASSERT_TRUE(postMessage(hwnd, WM_USER + 1, 0, 0));
    ASSERT_TRUE(postMessage(hwnd, WM_USER + 2, 0, 0));
    std::thread sender([&] { sendMessage(hwnd, WM_USER + 9, 0, 0); });
    waitForIncomingSend();

    PumpResult r = pumpMessages();
    sender.join();
    EXPECT_TRUE(r.quit);
    EXPECT_EQ(r.exitCode, 3);
    EXPECT_EQ(messages(hwnd), (std::vector<UINT>{WM_USER + 9, WM_USER + 1, WM_USER + 2, WM_MOUSEMOVE, WM_PAINT,
                                                 WM_TIMER}));
}

TEST_F(MessageQueue, PaintAndTimerWaitWhileHandlersKeepPosting)
{
    int chain = 0;
    HWND hwnd = create(WS_POPUP | WS_VISIBLE, nullptr, [&](HWND h, UINT m, WPARAM, LPARAM) -> std::optional<LRESULT> {
        if (m == WM_USER && ++chain < 5) {
            invalidateRect(h, nullptr, false);
            postMessage(h, WM_USER, 0, 0);
        }
        return std::nullopt;
    });
    setTimer(hwnd, 1, 10);
    Clock::advance(100);
    clearJournal();
    postMessage(hwnd, WM_USER, 0, 0);
    pumpMessages();
    EXPECT_EQ(messages(hwnd, {WM_ERASEBKGND}),
              (std::vector<UINT>{WM_USER, WM_USER, WM_USER, WM_USER, WM_USER, WM_PAINT, WM_TIMER}));
}

TEST_F(MessageQueue, PaintIsCoalescedAndCarriesTheUnionOfTheInvalidAreas)
{
    RECT painted{};
    BOOL erase = 0;
    HWND hwnd = create(WS_POPUP, nullptr, [&](HWND h, UINT m, WPARAM, LPARAM) -> std::optional<LRESULT> {
        if (m != WM_PAINT)
            return std::nullopt;
        PAINTSTRUCT ps;
        EXPECT_NE(beginPaint(h, ps), nullptr);
        painted = ps.rcPaint;
        erase = ps.fErase;
        endPaint(h, ps);
        return 0;
    });
    invalidateRect(hwnd, nullptr, false);  // hidden: no paint yet
    EXPECT_EQ(pumpMessages().dispatched, 0);
    showWindow(hwnd, SW_SHOWNA);
    pumpMessages();
    clearJournal();

    RECT a{10, 10, 20, 20}, b{50, 5, 60, 15};
    invalidateRect(hwnd, &a, false);
    invalidateRect(hwnd, &b, true);
    invalidateRect(hwnd, &a, false);
    RECT pending{};
    EXPECT_TRUE(getUpdateRect(hwnd, pending));
    EXPECT_EQ(pumpMessages().dispatched, 1);
    EXPECT_EQ(messages(hwnd), (std::vector<UINT>{WM_PAINT, WM_ERASEBKGND}));
    EXPECT_EQ(painted, (RECT{10, 5, 60, 20}));
    EXPECT_TRUE(erase);  // the class has no brush: the background is left to the painter
    EXPECT_FALSE(getUpdateRect(hwnd, pending));
}

TEST_F(MessageQueue, PeekWithoutRemovingKeepsTheMessage)
{
    HWND hwnd = create();
    postMessage(hwnd, WM_USER, 1, 2);
    MSG msg;
    ASSERT_TRUE(peekMessage(msg, nullptr, 0, 0, PM_NOREMOVE));
    ASSERT_TRUE(peekMessage(msg, hwnd, WM_USER, WM_USER, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 1u);
    EXPECT_EQ(msg.lParam, 2);
    EXPECT_FALSE(peekMessage(msg, nullptr, 0, 0, PM_REMOVE));
}

TEST_F(MessageQueue, FiltersSelectWindowsAndRanges)
{
    HWND a = create(), b = create();
    postMessage(a, WM_USER, 0, 0);
    postMessage(b, WM_USER + 1, 0, 0);
    postThreadMessage(currentThreadId(), WM_APP, 0, 0);
    MSG msg;
    ASSERT_TRUE(peekMessage(msg, b, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, WM_USER + 1);
    ASSERT_TRUE(peekMessage(msg, HWND_THREAD_MESSAGES, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, WM_APP);
    EXPECT_EQ(msg.hwnd, nullptr);
    EXPECT_FALSE(peekMessage(msg, nullptr, WM_APP, 0xFFFF, PM_REMOVE));
    ASSERT_EQ(getMessage(msg, nullptr, WM_USER, WM_USER), 1);
    EXPECT_EQ(msg.hwnd, a);
}

TEST_F(MessageQueue, SendIsReentrantOnTheWindowsThread)
{
    std::vector<std::string> trace;
    HWND hwnd = create(WS_POPUP, nullptr, [&](HWND h, UINT m, WPARAM w, LPARAM) -> std::optional<LRESULT> {
        if (m < WM_USER)
            return std::nullopt;
        trace.push_back("enter " + std::to_string(m - WM_USER) + "/" + std::to_string(w));
        LRESULT r = static_cast<LRESULT>(w);
        if (w < 2)
            r += sendMessage(h, m, w + 1, 0) * 10;
        trace.push_back("leave " + std::to_string(w));
        return r;
    });
    EXPECT_EQ(sendMessage(hwnd, WM_USER, 0, 0), 210);
    EXPECT_EQ(trace, (std::vector<std::string>{"enter 0/0", "enter 0/1", "enter 0/2", "leave 2", "leave 1", "leave 0"}));
}

TEST_F(MessageQueueThreaded, SendFromAnotherThreadRunsOnTheWindowsThreadAndCanSendBack)
{
    DWORD uiThread = currentThreadId();
    std::atomic<HWND> workerWindow{nullptr};
    HWND hwnd = create(WS_POPUP, nullptr, [&](HWND, UINT m, WPARAM w, LPARAM) -> std::optional<LRESULT> {
        if (m != WM_USER)
            return std::nullopt;
        EXPECT_EQ(currentThreadId(), uiThread);
        // Sending back to the waiting thread must not deadlock.
        return sendMessage(workerWindow.load(), WM_USER + 1, w, 0) + 1;
    });
    LRESULT result = 0;
    std::thread worker([&] {
        HWND mine = create(WS_POPUP, nullptr, [&](HWND, UINT m, WPARAM w, LPARAM) -> std::optional<LRESULT> {
            if (m == WM_USER + 1)
                return static_cast<LRESULT>(w * 2);
            return std::nullopt;
        });
        workerWindow = mine;
        result = sendMessage(hwnd, WM_USER, 20, 0);
        destroyWindow(mine);
        postMessage(hwnd, WM_USER + 2, 0, 0);
    });
    MSG msg;
    ASSERT_EQ(getMessage(msg, hwnd, WM_USER + 2, WM_USER + 2), 1);
    worker.join();
    EXPECT_EQ(result, 41);
}

TEST_F(MessageQueueThreaded, SendToAWindowThatGoesAwayReturnsZero)
{
    HWND hwnd = create();
    LRESULT result = 99;
    DWORD error = 0;
    std::thread sender([&] {
        result = sendMessage(hwnd, WM_USER, 0, 0);
        error = getLastError();
    });
    waitForIncomingSend();
    destroyWindow(hwnd);
    sender.join();
    EXPECT_EQ(result, 0);
    EXPECT_EQ(error, ERROR_INVALID_WINDOW_HANDLE);
}

TEST_F(MessageQueueThreaded, PostIsThreadSafeAndKeepsEachThreadsOrder)
{
    HWND hwnd = create();
    constexpr int kThreads = 4, kEach = 200;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([=] {
            for (int i = 0; i < kEach; ++i)
                postMessage(hwnd, WM_USER + static_cast<UINT>(t), static_cast<WPARAM>(i), 0);
        });
    for (auto& t : threads)
        t.join();
    std::vector<WPARAM> last(kThreads, ~WPARAM(0));
    MSG msg;
    int count = 0;
    while (peekMessage(msg, nullptr, 0, 0, PM_REMOVE)) {
        WPARAM& prev = last[msg.message - WM_USER];
        EXPECT_TRUE(prev == ~WPARAM(0) || msg.wParam == prev + 1);
        prev = msg.wParam;
        ++count;
    }
    EXPECT_EQ(count, kThreads * kEach);
}

TEST_F(MessageQueue, GetMessageWaitsForAPostFromAScheduledCallback)
{
    HWND hwnd = create();
    Clock::scheduleAfter(50, [hwnd] { postMessage(hwnd, WM_USER, 0, 0); });
    MSG msg;
    ASSERT_EQ(getMessage(msg, nullptr, 0, 0), 1);
    EXPECT_EQ(msg.message, WM_USER);
    EXPECT_EQ(Clock::now(), 50);
    EXPECT_EQ(msg.time, 50u);
}

TEST_F(MessageQueue, QuitComesLastAndEndsGetMessage)
{
    HWND hwnd = create();
    postQuitMessage(7);
    postMessage(hwnd, WM_USER, 0, 0);
    MSG msg;
    EXPECT_EQ(getMessage(msg, nullptr, 0, 0), 1);
    EXPECT_EQ(getMessage(msg, nullptr, 0, 0), 0);
    EXPECT_EQ(msg.message, WM_QUIT);
    EXPECT_EQ(msg.wParam, 7u);
    EXPECT_FALSE(peekMessage(msg, nullptr, 0, 0, PM_REMOVE));
}

TEST_F(MessageQueue, Errors)
{
    HWND gone = create();
    destroyWindow(gone);
    MSG msg;
    struct Case {
        const char* name;
        std::function<bool()> call;
        DWORD error;
    };
    const Case cases[] = {
        {"post", [&] { return postMessage(gone, WM_USER, 0, 0); }, ERROR_INVALID_WINDOW_HANDLE},
        {"send", [&] { return sendMessage(gone, WM_USER, 0, 0) != 0; }, ERROR_INVALID_WINDOW_HANDLE},
        {"thread", [&] { return postThreadMessage(0xFFFF, WM_USER, 0, 0); }, ERROR_INVALID_THREAD_ID},
        {"get", [&] { return getMessage(msg, gone, 0, 0) != -1; }, ERROR_INVALID_WINDOW_HANDLE},
        {"dispatch", [&] { return dispatchMessage(MSG{gone, WM_USER, 0, 0, 0, {}}) != 0; },
         ERROR_INVALID_WINDOW_HANDLE},
    };
    for (const Case& c : cases) {
        setLastError(0);
        EXPECT_FALSE(c.call()) << c.name;
        EXPECT_EQ(getLastError(), c.error) << c.name;
    }
    HWND hwnd = create();
    int posted = 0;
    while (postMessage(hwnd, WM_USER, 0, 0))
        ++posted;
    EXPECT_EQ(posted, 10000);
    EXPECT_EQ(getLastError(), ERROR_NOT_ENOUGH_QUOTA);
}

TEST_F(MessageQueue, TranslateQueuesTheCharacterNext)
{
    HWND hwnd = create();
    struct Case {
        std::vector<int> held;
        int key;
        UINT message;
        WChar expected;
    };
    const Case cases[] = {
        {{}, 'A', WM_KEYDOWN, u'a'},
        {{VK_SHIFT}, 'A', WM_KEYDOWN, u'A'},
        {{VK_SHIFT}, '1', WM_KEYDOWN, u'!'},
        {{VK_CONTROL}, 'C', WM_KEYDOWN, 3},
        {{}, VK_RETURN, WM_KEYDOWN, u'\r'},
        {{}, 'X', WM_SYSKEYDOWN, u'x'},
        {{}, VK_F1, WM_KEYDOWN, 0},
    };
    for (const Case& c : cases) {
        for (int k : c.held)
            queueInputMessage(hwnd, WM_KEYDOWN, static_cast<WPARAM>(k), 0);
        queueInputMessage(hwnd, c.message, static_cast<WPARAM>(c.key), 1);
        MSG msg;
        while (peekMessage(msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == c.message && msg.wParam == static_cast<WPARAM>(c.key)) {
                EXPECT_EQ(translateMessage(msg), c.expected != 0);
                if (c.expected) {
                    ASSERT_TRUE(peekMessage(msg, nullptr, 0, 0, PM_REMOVE));
                    EXPECT_EQ(msg.message, c.message == WM_SYSKEYDOWN ? WM_SYSCHAR : WM_CHAR);
                    EXPECT_EQ(msg.wParam, static_cast<WPARAM>(c.expected));
                }
            }
        }
        for (int k : c.held) {
            EXPECT_LT(getKeyState(k), 0);
            queueInputMessage(hwnd, WM_KEYUP, static_cast<WPARAM>(k), 0);
        }
        while (peekMessage(msg, nullptr, 0, 0, PM_REMOVE)) {
        }
        for (int k : c.held)
            EXPECT_GE(getKeyState(k), 0);
    }
}

TEST_F(MessageQueue, CopyDataRecordReachesTheReceiver)
{
    std::u16string got;
    std::uintptr_t tag = 0;
    DWORD bytes = 0;
    HWND receiver = create(WS_POPUP, nullptr, [&](HWND, UINT m, WPARAM, LPARAM l) -> std::optional<LRESULT> {
        if (m != WM_COPYDATA)
            return std::nullopt;
        const COPYDATASTRUCT* cds = copyDataOf(l);
        tag = cds->dwData;
        bytes = cds->cbData;
        got = static_cast<const char16_t*>(cds->lpData);
        return 1;
    });
    std::u16string path = u"C:\\file.txt";
    COPYDATASTRUCT cds{10003, static_cast<DWORD>(2 * path.size() + 2), path.c_str()};
    EXPECT_EQ(sendCopyData(receiver, nullptr, cds), 1);
    EXPECT_EQ(tag, 10003u);
    EXPECT_EQ(bytes, 2 * path.size() + 2);
    EXPECT_EQ(got, path);
}
