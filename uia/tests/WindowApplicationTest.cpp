#include <gtest/gtest.h>

#include "os/windows/timers/WindowTimer.h"
#include "uia/app/AppModule.h"
#include "uia/app/Application.h"
#include "uia/tests/WindowTestSupport.h"
#include "uia/window/Monitor.h"

using namespace HA;
using namespace HA::UIA;
using namespace HA::UIA::TEST;

namespace {

// Records what reaches the application and answers the quit request.
class QuitApp : public Application {
public:
    bool onEvent(int code, void* data) override
    {
        events.push_back(code);
        if (code == kEventQuitRequest) {
            ++quitRequests;
            static_cast<VetoEventData*>(data)->allowed = !veto;
            return true;
        }
        if (code == kEventCommand && static_cast<CommandEventData*>(data)->id != kCommandQuit)
            return handleCommands;
        return Application::onEvent(code, data);
    }
    void onSuspend() override { events.push_back(-1); }
    void onResume() override { events.push_back(-2); }

    int count(int code) const { return int(std::count(events.begin(), events.end(), code)); }

    bool veto = false;
    bool handleCommands = false;
    int quitRequests = 0;
    std::vector<int> events;
};

class QuitModule : public AppModule {
public:
    bool initialize() override { return true; }
    void deinitialize(bool) override { detachApplication(); }
};

class WindowApplication : public FrameworkWindowTest {
protected:
    void SetUp() override
    {
        FrameworkWindowTest::SetUp();
        app = new QuitApp;
        ASSERT_TRUE(module.attachApplication(app));
        ASSERT_EQ(Application::instance(), app);
        window = new RecordingWindow(&deleted);
        window->setDeleteOnDestroy(true);
        ASSERT_TRUE(window->create(mainDescriptor()));
        hwnd = window->hwnd();
        ASSERT_EQ(app->getMainWindow(), window);
        ASSERT_EQ(app->getMainWindowHandle(), hwnd);
    }

    void TearDown() override
    {
        if (!deleted)
            delete window;
        module.detachApplication();
        FrameworkWindowTest::TearDown();
    }

    // Runs the application's loop; one still running after 10 s of clock time fails.
    bool runLoop()
    {
        static bool* sTimedOut = nullptr;
        bool timedOut = false;
        sTimedOut = &timedOut;
        const OS::UINT_PTR guard = OS::setThreadTimer(10000, [](OS::HWND, OS::UINT, OS::UINT_PTR, OS::DWORD) {
            *sTimedOut = true;
            Application::instance()->setMainWindow(nullptr, nullptr, nullptr);
            Application::instance()->quit();
        });
        app->run();
        OS::killThreadTimer(guard);
        sTimedOut = nullptr;
        return !timedOut;
    }

    QuitModule module;
    QuitApp* app = nullptr;
    RecordingWindow* window = nullptr;
    bool deleted = false;
    OS::HWND hwnd = nullptr;
};

enum class eRoad { Close, QuitCommand };

TEST_F(WindowApplication, EveryQuitRoadAsksOnceAndEndsTheLoopUnlessVetoed)
{
    struct Case {
        const char* name;
        eRoad road;
        bool veto;
    };
    const Case cases[] = {
        {"close allowed", eRoad::Close, false},
        {"close vetoed", eRoad::Close, true},
        {"quit command allowed", eRoad::QuitCommand, false},
        {"quit command vetoed", eRoad::QuitCommand, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (&c != &cases[0]) {
            TearDown();
            deleted = false;
            SetUp();
        }
        app->veto = c.veto;
        if (c.road == eRoad::Close)
            OS::postMessage(hwnd, OS::WM_CLOSE, 0, 0);
        else
            app->quit();
        if (c.veto) {
            OS::pumpMessages();
            EXPECT_TRUE(OS::isWindow(hwnd));
            EXPECT_FALSE(deleted);
            EXPECT_EQ(app->getMainWindow(), window);
            EXPECT_FALSE(app->isQuitting());
            EXPECT_EQ(window->count(kEventWindowDestroyed), 0);
        } else {
            EXPECT_TRUE(runLoop());
            EXPECT_FALSE(OS::isWindow(hwnd));
            EXPECT_TRUE(deleted);
            EXPECT_EQ(app->getMainWindow(), nullptr);
            EXPECT_TRUE(app->isQuitting());
        }
        EXPECT_EQ(app->quitRequests, 1);
    }
}

TEST_F(WindowApplication, EventsBubbleOnlyWhenTheWindowLeavesThemAndOnlyTheBubblingKinds)
{
    struct Case {
        const char* name;
        OS::UINT message;
        OS::WPARAM wParam;
        bool windowHandles;
        int appEvent;  // what the application should see, 0 for nothing
    };
    const Case cases[] = {
        {"command handled by the window", OS::WM_COMMAND, 41, true, 0},
        {"command bubbled", OS::WM_COMMAND, 41, false, kEventCommand},
        {"size state never bubbled", OS::WM_SIZE, OS::SIZE_RESTORED, false, 0},
        {"cancel mode never bubbled", OS::WM_CANCELMODE, 0, false, 0},
        {"focus never bubbled", OS::WM_KILLFOCUS, 0, false, 0},
    };
    for (const Case& c : cases) {
        app->events.clear();
        window->handler = [&](RecordingWindow&, int, void*) -> std::optional<bool> { return c.windowHandles; };
        OS::sendMessage(hwnd, c.message, c.wParam, 0);
        window->handler = nullptr;
        std::vector<int> expected;
        if (c.appEvent)
            expected.push_back(c.appEvent);
        EXPECT_EQ(app->events, expected) << c.name;
    }
    // Handled by the application: the command's default processing does not run.
    app->handleCommands = true;
    EXPECT_EQ(OS::sendMessage(hwnd, OS::WM_COMMAND, 41, 0), 0);
}

TEST_F(WindowApplication, ApplicationEventsComeFromThePlatformsNotices)
{
    struct Case {
        const char* name;
        OS::UINT message;
        OS::WPARAM wParam;
        OS::LPARAM lParam;
        int appEvent;
        OS::LRESULT answer;
    };
    ensureMonitorList();
    const Case cases[] = {
        {"suspend", OS::WM_POWERBROADCAST, OS::PBT_APMSUSPEND, 0, -1, 0},
        {"resume", OS::WM_POWERBROADCAST, OS::PBT_APMRESUMESUSPEND, 0, -2, 0},
        {"application activated", OS::WM_ACTIVATEAPP, 1, 0, kEventAppActivated, 0},
        {"application deactivated", OS::WM_ACTIVATEAPP, 0, 0, kEventAppDeactivated, 0},
        {"display changed", OS::WM_DISPLAYCHANGE, 32, OS::makeLParam(1920, 1080), kEventDisplayChanged, 1},
    };
    for (const Case& c : cases) {
        app->events.clear();
        EXPECT_EQ(OS::sendMessage(hwnd, c.message, c.wParam, c.lParam), c.answer) << c.name;
        EXPECT_EQ(app->events, std::vector<int>{c.appEvent}) << c.name;
    }
}

}  // namespace
