#pragma once
// A fixture for the framework-window tests: the window classes registered around each test
// on the manual clock, and a standalone window that records its events and lets a test
// answer them.

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <optional>
#include <vector>

#include "os/kernel/Clock.h"
#include "os/windows/Message.h"
#include "os/windows/timers/MessagePump.h"
#include "os/windows/Window.h"
#include "uia/events/Events.h"
#include "uia/platform/window/WindowClasses.h"
#include "uia/window/Window.h"
#include "uia/window/WindowImpl.h"

namespace HA::UIA::TEST {

// A standalone window that records every event and asks an optional handler first.
class RecordingWindow : public StandaloneWindow {
public:
    using Handler = std::function<std::optional<bool>(RecordingWindow&, int code, void* data)>;

    explicit RecordingWindow(bool* deleted = nullptr) : mDeleted(deleted) {}
    ~RecordingWindow() override
    {
        if (mDeleted)
            *mDeleted = true;
    }

    bool onEvent(int code, void* data) override
    {
        events.push_back(code);
        // A copy: the handler may delete this window.
        if (Handler h = handler)
            if (auto answer = h(*this, code, data))
                return *answer;
        return StandaloneWindow::onEvent(code, data);
    }

    int count(int code) const { return int(std::count(events.begin(), events.end(), code)); }
    OS::HWND hwnd() const { return getImpl() ? getImpl()->getHwnd() : nullptr; }

    Handler handler;
    std::vector<int> events;

private:
    bool* mDeleted;
};

// The updater's own descriptor: a fixed 627 x 335 client area titled "Main".
inline WindowDescriptor mainDescriptor()
{
    WindowDescriptor d;
    d.setTitle("Main");
    d.contentFlags |= WindowDescriptor::kSizeGiven | WindowDescriptor::kClientSize;
    d.styleFlags = WindowDescriptor::kFixedSize;
    d.right = 627;
    d.bottom = 335;
    return d;
}

class FrameworkWindowTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(registerWindowClasses()); }

    void TearDown() override
    {
        for (OS::HWND hwnd : OS::getTopLevelWindows())
            OS::destroyWindow(hwnd);
        OS::pumpMessages();
        unregisterWindowClasses();
        EXPECT_FALSE(areWindowClassesRegistered());
    }

    OS::ManualClockScope mClock;
};

}  // namespace HA::UIA::TEST
