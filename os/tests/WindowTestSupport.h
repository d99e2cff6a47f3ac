#pragma once
// A fixture for the window tests: one test class whose procedure logs every message of
// every window into one journal and lets a test answer messages per window.

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <vector>

#include "os/kernel/Clock.h"
#include "os/kernel/Kernel.h"
#include "os/windows/Message.h"
#include "os/windows/Window.h"

namespace HA::OS::Testing {

struct Logged {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    DWORD thread;
};

using Handler = std::function<std::optional<LRESULT>(HWND, UINT, WPARAM, LPARAM)>;

class WindowTest : public ::testing::Test {
protected:
    static constexpr const char16_t* kClass = u"HATestWindow";

    void SetUp() override
    {
        sCurrent = this;
        WNDCLASSEXW wc;
        wc.style = CS_DBLCLKS;
        wc.lpfnWndProc = &WindowTest::proc;
        wc.cbWndExtra = 32;
        wc.lpszClassName = kClass;
        ASSERT_NE(registerClass(wc), 0);
    }

    void TearDown() override
    {
        for (HWND hwnd : getTopLevelWindows())
            if (getWindowThreadId(hwnd) == currentThreadId())
                destroyWindow(hwnd);
        std::vector<HWND> messageOnly;
        for (HWND hwnd = nullptr; (hwnd = findWindowEx(HWND_MESSAGE, hwnd, WString(), WString())) != nullptr;)
            messageOnly.push_back(hwnd);
        for (HWND hwnd : messageOnly)
            if (getWindowThreadId(hwnd) == currentThreadId())
                destroyWindow(hwnd);
        EXPECT_TRUE(unregisterClass(kClass));
        MSG msg;
        while (peekMessage(msg, nullptr, 0, 0, PM_REMOVE)) {
        }
        sCurrent = nullptr;
    }

    // A window of the test class; `handler` answers its messages (nullopt: default).
    HWND create(DWORD style = 0, HWND parent = nullptr, Handler handler = {}, const WString& title = u"test",
                DWORD exStyle = 0, RECT rect = RECT{10, 20, 210, 170}, UINT_PTR id = 0)
    {
        {
            std::lock_guard<std::mutex> lock(mMutex);
            mPending = std::move(handler);
        }
        HWND hwnd = createWindow(exStyle, kClass, title, style, rect.left, rect.top, rect.right - rect.left,
                                 rect.bottom - rect.top, parent, reinterpret_cast<HMENU>(id), nullptr, nullptr);
        std::lock_guard<std::mutex> lock(mMutex);
        mPending = {};
        return hwnd;
    }

    void setHandler(HWND hwnd, Handler handler)
    {
        std::lock_guard<std::mutex> lock(mMutex);
        mHandlers[hwnd] = std::move(handler);
    }

    std::vector<Logged> journal()
    {
        std::lock_guard<std::mutex> lock(mMutex);
        return mJournal;
    }
    void clearJournal()
    {
        std::lock_guard<std::mutex> lock(mMutex);
        mJournal.clear();
    }
    // Message ids of the journal, only those of `hwnd` when given, without `skip` ids.
    std::vector<UINT> messages(HWND hwnd = nullptr, std::vector<UINT> skip = {})
    {
        std::vector<UINT> ids;
        for (const Logged& l : journal())
            if ((!hwnd || l.hwnd == hwnd) && std::find(skip.begin(), skip.end(), l.message) == skip.end())
                ids.push_back(l.message);
        return ids;
    }

    ManualClockScope mClock;

private:
    static LRESULT proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
    {
        WindowTest* self = sCurrent;
        Handler handler;
        {
            std::lock_guard<std::mutex> lock(self->mMutex);
            auto it = self->mHandlers.find(hwnd);
            if (it == self->mHandlers.end())
                it = self->mHandlers.emplace(hwnd, self->mPending).first;
            handler = it->second;
            self->mJournal.push_back(Logged{hwnd, message, wParam, lParam, currentThreadId()});
        }
        if (handler)
            if (auto answer = handler(hwnd, message, wParam, lParam))
                return *answer;
        return defWindowProc(hwnd, message, wParam, lParam);
    }

    static inline WindowTest* sCurrent = nullptr;
    std::mutex mMutex;
    Handler mPending;
    std::map<HWND, Handler> mHandlers;
    std::vector<Logged> mJournal;
};

}  // namespace HA::OS::Testing
