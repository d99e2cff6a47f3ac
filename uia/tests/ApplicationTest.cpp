#include "uia/app/Application.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "gp/src/common/library/Init.h"
#include "os/kernel/Clock.h"
#include "os/kernel/Kernel.h"
#include "os/kernel/Module.h"
#include "os/kernel/Resources.h"
#include "os/kernel/SystemFacts.h"
#include "os/kernel/Version.h"
#include "os/tests/VersionBlockBuilder.h"
#include "os/windows/Message.h"
#include "os/windows/timers/WindowTimer.h"
#include "uia/app/AppModule.h"
#include "uia/app/Framework.h"
#include "uia/events/Events.h"
#include "uia/events/Input.h"
#include "uia/platform/app/AsyncEventWindow.h"
#include "uia/platform/window/WindowClasses.h"
#include "uia/window/Monitor.h"

using namespace HA;
using namespace HA::UIA;

namespace {

// What the test application and module did, in order.
struct Journal {
    std::vector<std::string> steps;
    int quitRequests = 0;
};

class TestApp : public Application {
public:
    TestApp(Journal& journal, bool initResult = true) : mJournal(journal), mInitResult(initResult) {}
    ~TestApp() override { mJournal.steps.push_back("app deleted"); }

    bool initialize() override
    {
        Application::initialize();
        mJournal.steps.push_back("app initialize");
        if (quitInInitialize)
            quit();
        return mInitResult;
    }
    void deinitialize(bool initOk) override
    {
        mJournal.steps.push_back(initOk ? "app deinitialize(true)" : "app deinitialize(false)");
        Application::deinitialize(initOk);
    }
    int run() override
    {
        mJournal.steps.push_back("app run");
        return Application::run();
    }
    bool onEvent(int code, void* data) override
    {
        if (code == kEventQuitRequest) {
            ++mJournal.quitRequests;
            static_cast<VetoEventData*>(data)->allowed = !vetoQuit;
            return true;
        }
        return Application::onEvent(code, data);
    }

    bool vetoQuit = false;
    bool quitInInitialize = true;

private:
    Journal& mJournal;
    bool mInitResult;
};

class TestModule : public AppModule {
public:
    explicit TestModule(Journal& journal) : mJournal(journal) {}
    bool initialize() override
    {
        mJournal.steps.push_back("module initialize");
        if (makeApp)
            return attachApplication(makeApp());
        return initResult;
    }
    void deinitialize(bool initOk) override
    {
        mJournal.steps.push_back(initOk ? "module deinitialize(true)" : "module deinitialize(false)");
        detachApplication();
    }
    std::string getLocale(bool useSetting) override { return locale.empty() ? AppModule::getLocale(useSetting) : locale; }

    std::function<IApplication*()> makeApp;
    bool initResult = true;
    std::string locale;

private:
    Journal& mJournal;
};

// A window whose messages run what the test put under their ids.
std::map<OS::UINT, std::function<void()>> gActions;

OS::LRESULT actionProc(OS::HWND hwnd, OS::UINT message, OS::WPARAM wParam, OS::LPARAM lParam)
{
    auto it = gActions.find(message);
    if (it != gActions.end()) {
        auto action = it->second;
        action();
        return 0;
    }
    return OS::defWindowProc(hwnd, message, wParam, lParam);
}

class ApplicationTest : public ::testing::Test {
protected:
    static constexpr const char16_t* kClass = u"HAApplicationTestWindow";

    void SetUp() override
    {
        OS::WNDCLASSEXW wc;
        wc.lpfnWndProc = &actionProc;
        wc.lpszClassName = kClass;
        ASSERT_NE(OS::registerClass(wc), 0);
        mWindow = OS::createWindow(0, kClass, u"actions", OS::WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr,
                                   nullptr);
        ASSERT_NE(mWindow, nullptr);
    }

    void TearDown() override
    {
        gActions.clear();
        if (OS::isWindow(mWindow))
            OS::destroyWindow(mWindow);
        OS::unregisterClass(kClass);
        OS::MSG msg;
        while (OS::peekMessage(msg, nullptr, 0, 0, OS::PM_REMOVE)) {
        }
    }

    // Runs `action` when the loop takes message `id` (posted to the test window now).
    void onMessage(OS::UINT id, std::function<void()> action)
    {
        gActions[id] = std::move(action);
        OS::postMessage(mWindow, id, 0, 0);
    }

    // Runs the loop; a loop still running after 10 s of clock time is quit and fails.
    int runLoop(Application& app)
    {
        const OS::UINT_PTR guard = OS::setTimer(mWindow, 77, 10000);
        gActions[OS::WM_TIMER] = [&app, this] {
            ADD_FAILURE() << "the loop did not end";
            OS::killTimer(mWindow, 77);
            app.quit();
        };
        const int result = app.run();
        OS::killTimer(mWindow, 77);
        (void)guard;
        return result;
    }

    OS::ManualClockScope mClock;
    OS::HWND mWindow = nullptr;
    Journal mJournal;
};

}  // namespace

TEST_F(ApplicationTest, ModuleRoads)
{
    struct Case {
        const char* name;
        std::function<void(TestModule&)> configure;
        std::vector<std::string> steps;
    };
    const std::vector<Case> cases = {
        {"module initialize fails: no loop, deinitialize(false)",
         [](TestModule& m) { m.initResult = false; },
         {"module initialize", "module deinitialize(false)"}},
        {"application starts and quits before the loop",
         [this](TestModule& m) { m.makeApp = [this] { return new TestApp(mJournal); }; },
         {"module initialize", "app initialize", "app run", "module deinitialize(true)", "app deinitialize(true)",
          "app deleted"}},
        {"application start fails: deinitialized at once, again and deleted by the module",
         [this](TestModule& m) { m.makeApp = [this] { return new TestApp(mJournal, false); }; },
         {"module initialize", "app initialize", "app deinitialize(false)", "module deinitialize(false)",
          "app deinitialize(false)", "app deleted"}},
    };
    for (const Case& c : cases) {
        mJournal = Journal{};
        {
            TestModule module(mJournal);
            ASSERT_EQ(AppModule::instance(), &module);
            c.configure(module);
            runMain();
            EXPECT_EQ(module.getApplication() == nullptr, true) << c.name;
        }
        EXPECT_EQ(mJournal.steps, c.steps) << c.name;
        EXPECT_EQ(AppModule::instance(), nullptr) << c.name;
    }
}

TEST_F(ApplicationTest, WithoutAModuleTheRunnerDoesNothing)
{
    ASSERT_EQ(AppModule::instance(), nullptr);
    EXPECT_FALSE(initModule());
    runMain();
    EXPECT_EQ(Application::instance(), nullptr);
}

TEST_F(ApplicationTest, TheFirstModuleIsTheProcessModuleAndAttachesOneApplication)
{
    TestModule first(mJournal);
    TestModule second(mJournal);
    EXPECT_EQ(AppModule::instance(), &first);
    EXPECT_EQ(Application::instance(), nullptr);
    auto* app = new TestApp(mJournal);
    app->quitInInitialize = false;
    ASSERT_TRUE(first.attachApplication(app));
    EXPECT_EQ(Application::instance(), app);
    EXPECT_EQ(app->getAppModule(), &first);
    TestApp other(mJournal);
    EXPECT_FALSE(first.attachApplication(&other));
    EXPECT_EQ(first.getApplication(), app);
    EXPECT_EQ(other.getAppModule(), nullptr);
    first.detachApplication();
    EXPECT_EQ(first.getApplication(), nullptr);
    first.detachApplication();  // nothing left
}

TEST_F(ApplicationTest, QuitRoadsWithoutAWindow)
{
    struct Case {
        const char* name;
        bool veto;
        std::function<void(TestApp&)> act;  // run by the loop's first message
        int quitRequests;
        bool quitting;  // after the act
    };
    const auto command = [](TestApp& app) {
        CommandEventData data{kCommandQuit};
        EXPECT_TRUE(app.handleEvent(kEventCommand, &data));
    };
    const std::vector<Case> cases = {
        {"command 30002 allowed", false, command, 1, true},
        {"command 30002 vetoed", true, command, 1, false},
        {"quit", false, [](TestApp& app) { EXPECT_TRUE(app.quit()); }, 0, true},
        {"quit before the loop", false, nullptr, 0, true},
    };
    for (const Case& c : cases) {
        mJournal = Journal{};
        TestApp app(mJournal);
        app.vetoQuit = c.veto;
        bool quitting = false;
        if (c.act) {
            onMessage(OS::WM_USER + 1, [&] { c.act(app); });
            // Whatever the act did, this later message looks at the flag and ends the loop.
            onMessage(OS::WM_USER + 2, [&] {
                quitting = app.isQuitting();
                app.quit();
            });
        } else {
            EXPECT_TRUE(app.quit());
            quitting = app.isQuitting();
        }
        EXPECT_EQ(runLoop(app), 0) << c.name;
        EXPECT_EQ(mJournal.quitRequests, c.quitRequests) << c.name;
        EXPECT_EQ(quitting, c.quitting) << c.name;
        TearDown();
        SetUp();
    }
}

TEST_F(ApplicationTest, QuitRoadsWithAMainWindow)
{
    struct Case {
        const char* name;
        bool veto;
        bool destroyDirectly;  // the window goes without a quit (as its close road ends)
        int quitRequests;
        bool windowDestroyed;
    };
    const std::vector<Case> cases = {
        {"quit allowed: flag, window destroyed once", false, false, 1, true},
        {"quit vetoed: window and loop stay", true, false, 1, false},
        {"window destroyed: flag without asking", false, true, 0, true},
    };
    int fakeWindow = 0;
    auto* asStandalone = reinterpret_cast<StandaloneWindow*>(&fakeWindow);
    for (const Case& c : cases) {
        mJournal = Journal{};
        TestApp app(mJournal);
        app.vetoQuit = c.veto;
        OS::HWND main = OS::createWindow(0, kClass, u"main", OS::WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr,
                                         nullptr);
        app.setMainWindow(asStandalone, nullptr, main);
        int destroyedEvents = 0;
        bool quittingLater = false;
        bool mainWindowLater = false;
        const auto later = [this] { OS::postMessage(mWindow, OS::WM_USER + 2, 0, 0); };
        // What the main window does with these messages: command events bubble to the
        // application; its destruction tells the application.
        gActions[OS::WM_COMMAND] = [&] {
            CommandEventData data{kCommandQuit};
            app.handleEvent(kEventCommand, &data);
            later();
        };
        gActions[OS::WM_DESTROY] = [&] {
            ++destroyedEvents;
            app.mainWindowDestroyed(asStandalone);
        };
        gActions[OS::WM_USER + 2] = [&] {
            quittingLater = app.isQuitting();
            mainWindowLater = app.getMainWindow() != nullptr;
            if (!quittingLater) {
                app.setMainWindow(nullptr, nullptr, nullptr);
                app.quit();
            }
        };
        onMessage(OS::WM_USER + 1, [&] {
            if (!c.destroyDirectly) {
                app.quit();
                EXPECT_FALSE(app.isQuitting()) << c.name;  // asked first, through the queue
                return;
            }
            OS::destroyWindow(main);
            later();
        });
        runLoop(app);
        EXPECT_EQ(mJournal.quitRequests, c.quitRequests) << c.name;
        EXPECT_EQ(OS::isWindow(main), !c.windowDestroyed) << c.name;
        EXPECT_EQ(destroyedEvents, c.windowDestroyed ? 1 : 0) << c.name;
        EXPECT_EQ(quittingLater, c.windowDestroyed) << c.name;
        EXPECT_EQ(mainWindowLater, !c.windowDestroyed) << c.name;
        if (OS::isWindow(main))
            OS::destroyWindow(main);
        TearDown();
        SetUp();
    }
}

namespace {

class TickCounter : public EventTarget {
public:
    bool onEvent(int code, void*) override
    {
        if (code == kEventTimerTick)
            ++ticks;
        return true;
    }
    int ticks = 0;
};

}  // namespace

TEST_F(ApplicationTest, TheLoopCatchesUpForProgramDefinedMessagesOnly)
{
    struct Case {
        OS::UINT message;
        int ticksWhenDispatched;
    };
    const std::vector<Case> cases = {{0x03FF, 1}, {0x0400, 2}, {0x7FFF, 2}, {0x8000, 1}};
    for (const Case& c : cases) {
        TestApp app(mJournal);
        TickCounter counter;
        EventTimerManager::addTimer(&counter, 40, 0);
        app.getEventTimerManager().tick();  // the last tick is now
        OS::Clock::advance(100);            // more than two ticks ago when the message comes
        int seen = -1;
        onMessage(c.message, [&] {
            seen = counter.ticks;
            app.quit();
        });
        runLoop(app);
        EXPECT_EQ(seen, c.ticksWhenDispatched) << std::hex << c.message;
        TearDown();
        SetUp();
    }
}

TEST_F(ApplicationTest, TheTickChangesOnlyWhileNoEventTimerRunsAndNotToZero)
{
    TestApp app(mJournal);
    TickCounter counter;
    EventTimerHandle timer = EventTimerManager::addTimer(&counter, 40, 0);
    app.setEventTimerTick(20);
    EXPECT_EQ(app.getEventTimerTick(), 40);
    EventTimerManager::removeTimerOf(&counter, timer);
    app.setEventTimerTick(0);
    EXPECT_EQ(app.getEventTimerTick(), 40);
    app.setEventTimerTick(25);
    EXPECT_EQ(app.getEventTimerTick(), 25);
}

TEST_F(ApplicationTest, AnEmptyLocaleFollowsTheUsersDefaultLanguage)
{
    struct Case {
        OS::LANGID language;
        std::string locale;
        std::string code;
    };
    const std::vector<Case> cases = {{0x0407, "", "DEU"}, {0x040C, "", "FRA"}, {0x0407, "ITA", "ITA"}};
    for (const Case& c : cases) {
        OS::SystemFacts facts = OS::hostSystemFacts();
        facts.userDefaultLangID = c.language;
        facts.userDefaultUILanguage = c.language;
        facts.userDefaultLCID = c.language;
        OS::SystemFactsScope scope(facts);
        TestModule module(mJournal);
        module.locale = c.locale;
        EXPECT_TRUE(initModule());
        EXPECT_EQ(std::string(GP::languageCode()), c.code);
        exitModule();
    }
    GP::setLanguageCode("");
}

TEST_F(ApplicationTest, TheLocaleSettingIsReadOnlyWhenAsked)
{
    TestModule module(mJournal);
    EXPECT_EQ(module.getLocale(false), "");
    EXPECT_EQ(module.getLocale(true), "");  // no settings store: empty
}

namespace {

OS::ResourceEntry gVersionEntry[1];

class VersionResourceScope {
public:
    explicit VersionResourceScope(std::vector<std::uint8_t> bytes) : mBytes(std::move(bytes))
    {
        gVersionEntry[0] =
            OS::ResourceEntry{nullptr, nullptr, mBytes.data(), static_cast<OS::DWORD>(mBytes.size()), OS::RT_VERSION, 1};
        OS::registerModuleResources(gVersionEntry, 1);
    }
    ~VersionResourceScope() { OS::unregisterModuleResources(gVersionEntry, 1); }

private:
    std::vector<std::uint8_t> mBytes;
};

}  // namespace

TEST_F(ApplicationTest, TheFileVersionComesFromTheVersionResource)
{
    struct Case {
        const char* name;
        bool resource;
        const char16_t* version;  // null: no FileVersion value
        bool found;
        std::string text;
    };
    const std::vector<Case> cases = {
        {"present", true, u"1.2.3.4", true, "1.2.3.4"},
        {"empty value", true, u"", false, "?.??.???"},
        {"no FileVersion", true, nullptr, false, "?.??.???"},
        {"no resource", false, nullptr, false, "?.??.???"},
    };
    for (const Case& c : cases) {
        std::u16string version = c.version ? c.version : u"";
        std::unique_ptr<VersionResourceScope> scope;
        if (c.resource)
            scope = std::make_unique<VersionResourceScope>(OS::Testing::makeVersionBlock(c.version ? &version : nullptr));
        std::string text = "left over";
        EXPECT_EQ(AppModule::getFileVersion(text), c.found) << c.name;
        EXPECT_EQ(text, c.text) << c.name;
    }
}

TEST_F(ApplicationTest, FrameworkStartUpUndoesAFailedStep)
{
    ASSERT_TRUE(initialize());
    EXPECT_TRUE(isInitialized());
    EXPECT_NE(DETAIL::asyncEventWindow(), nullptr);
    EXPECT_TRUE(areWindowClassesRegistered());
    EXPECT_TRUE(isCursorTableLoaded());
    shutDown();
    EXPECT_FALSE(isInitialized());
    EXPECT_EQ(DETAIL::asyncEventWindow(), nullptr);
    EXPECT_FALSE(areWindowClassesRegistered());
    EXPECT_FALSE(isCursorTableLoaded());
    shutDown();  // nothing to undo
    // Each failed step leaves nothing of the steps before it.
    for (auto step : {DETAIL::eInitStep::KeyTables, DETAIL::eInitStep::WindowClasses, DETAIL::eInitStep::CursorTable,
                      DETAIL::eInitStep::AsyncEventWindow}) {
        DETAIL::InitFaultScope fault(step);
        const int name = static_cast<int>(step);
        EXPECT_FALSE(initialize()) << name;
        EXPECT_FALSE(isInitialized()) << name;
        EXPECT_EQ(DETAIL::asyncEventWindow(), nullptr) << name;
        EXPECT_FALSE(areWindowClassesRegistered()) << name;
        EXPECT_FALSE(isCursorTableLoaded()) << name;
    }
    EXPECT_TRUE(initialize());
    shutDown();
}

TEST_F(ApplicationTest, InitializeBuildsTheMonitorListAndDeinitializeDropsItTwice)
{
    TestApp app(mJournal);
    app.quitInInitialize = false;
    EXPECT_FALSE(monitorListBuilt());
    EXPECT_TRUE(app.initialize());
    EXPECT_TRUE(monitorListBuilt());
    app.deinitialize(true);
    EXPECT_FALSE(monitorListBuilt());
    app.deinitialize(true);
    EXPECT_FALSE(monitorListBuilt());
}
