#include "uia/platform/app/SingleInstance.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "gp/src/common/files/FilePath.h"
#include "os/kernel/Clock.h"
#include "os/kernel/CommandLine.h"
#include "os/kernel/Process.h"
#include "os/kernel/Text.h"
#include "os/windows/instance/InstanceMarker.h"
#include "os/windows/Message.h"
#include "uia/app/AppModule.h"
#include "uia/app/Application.h"
#include "uia/events/Events.h"

using namespace HA;
using namespace HA::UIA;

namespace {

// Records the paths it is handed.
class HandOverApp : public Application {
public:
    bool onEvent(int code, void* data) override
    {
        if (code == kEventOpenPath) {
            paths.push_back(static_cast<PathEventData*>(data)->path->getFull());
            return handles;
        }
        return Application::onEvent(code, data);
    }
    std::vector<std::string> paths;
    bool handles = true;
};

class Module : public AppModule {
public:
    bool initialize() override { return true; }
    void deinitialize(bool) override {}
};

class TempFolder {
public:
    TempFolder()
    {
        char name[] = "/tmp/ha-single-instance-XXXXXX";
        mPath = ::mkdtemp(name);
    }
    ~TempFolder()
    {
        const std::string command = "rm -rf '" + mPath + "'";
        [[maybe_unused]] int r = std::system(command.c_str());
    }
    const std::string& path() const { return mPath; }

private:
    std::string mPath;
};

class SingleInstanceThreaded : public ::testing::Test {
protected:
    static constexpr const char16_t* kClass = u"HASingleInstanceTest";

    void SetUp() override
    {
        mPrevious = OS::getEnvironmentVariable("XDG_RUNTIME_DIR");
        OS::setEnvironmentVariable("XDG_RUNTIME_DIR", mRuntime.path());
        DETAIL::resetSingleInstanceState();
        OS::WNDCLASSEXW wc;
        wc.lpfnWndProc = &OS::defWindowProc;
        wc.lpszClassName = kClass;
        OS::registerClass(wc);
        std::ofstream(mFiles.path() + "/firmware.bin") << "x";
    }

    void TearDown() override
    {
        DETAIL::resetSingleInstanceState();
        for (OS::HWND hwnd : mWindows)
            if (OS::isWindow(hwnd))
                OS::destroyWindow(hwnd);
        OS::unregisterClass(kClass);
        OS::setCommandLineText(u"");
        OS::setEnvironmentVariable("XDG_RUNTIME_DIR", mPrevious);
        OS::MSG msg;
        while (OS::peekMessage(msg, nullptr, 0, 0, OS::PM_REMOVE)) {
        }
    }

    OS::HWND window(const OS::WString& title, OS::DWORD style = OS::WS_POPUP)
    {
        OS::HWND hwnd =
            OS::createWindow(0, kClass, title, style, 0, 0, 100, 100, nullptr, nullptr, nullptr, nullptr);
        mWindows.push_back(hwnd);
        return hwnd;
    }

    // "The running instance" in this process: a marker window of its own that holds the key.
    OS::HWND runningInstance(const std::string& key, Application* app)
    {
        OS::HWND marker = OS::createWindow(0, u"STATIC", OS::utf8ToUtf16(key), 0, 0, 0, 1, 1, OS::HWND_MESSAGE,
                                           nullptr, nullptr, nullptr);
        OS::setWindowProc(marker, &instanceWindowProc);
        OS::setWindowUserData(marker, reinterpret_cast<OS::LONG_PTR>(app));
        EXPECT_EQ(OS::claimInstanceMarker(OS::utf8ToUtf16(key), marker), OS::eInstanceClaim::Claimed);
        mWindows.push_back(marker);
        return marker;
    }

    OS::ManualClockScope mClock;
    TempFolder mRuntime;
    TempFolder mFiles;
    std::optional<std::string> mPrevious;
    std::vector<OS::HWND> mWindows;
};

}  // namespace

TEST_F(SingleInstanceThreaded, WithoutAnApplicationNothingHappens)
{
    EXPECT_FALSE(handOverToRunningInstance("key", 0));
    EXPECT_EQ(DETAIL::ownInstanceMarker(), nullptr);
}

TEST_F(SingleInstanceThreaded, TheFirstStartClaimsTheKey)
{
    Module module;
    auto* app = new HandOverApp;
    ASSERT_TRUE(module.attachApplication(app));
    EXPECT_FALSE(handOverToRunningInstance("Vireo-key", 0));
    OS::HWND marker = DETAIL::ownInstanceMarker();
    ASSERT_NE(marker, nullptr);
    EXPECT_EQ(OS::getClassName(marker), u"Static");
    EXPECT_EQ(OS::getWindowText(marker), u"Vireo-key");
    EXPECT_EQ(OS::getWindowProc(marker), &instanceWindowProc);
    // Later calls keep the first state and the first key.
    EXPECT_FALSE(handOverToRunningInstance("other", 0));
    OS::HWND other = window(u"x");
    EXPECT_EQ(OS::claimInstanceMarker(u"Vireo-key", other), OS::eInstanceClaim::Held);
    module.detachApplication();
}

TEST_F(SingleInstanceThreaded, ASecondStartHandsOverTheFirstArgument)
{
    struct Case {
        const char* name;
        std::string argument;  // empty: none
        int flag;
        bool result;
        std::vector<std::string> paths;  // what the running instance got
        bool raised;
    };
    const std::string file = mFiles.path() + "/firmware.bin";
    const std::vector<Case> cases = {
        {"existing file", file, 0, true, {GP::FilePath(file).getFull()}, true},
        {"existing folder", mFiles.path(), 0, true, {GP::FilePath(mFiles.path()).getFull()}, true},
        {"missing path", mFiles.path() + "/missing.bin", 0, true, {}, true},
        {"no argument, flag 0", "", 0, true, {}, true},
        {"no argument, flag 1", "", 1, false, {}, false},
        {"missing path, flag 1", mFiles.path() + "/missing.bin", 1, true, {}, true},
    };
    for (const Case& c : cases) {
        Module module;
        auto* app = new HandOverApp;
        ASSERT_TRUE(module.attachApplication(app));
        OS::HWND main = window(u"Vireo Updater", 0);
        app->setMainWindow(nullptr, nullptr, main);
        runningInstance("VireoUpdater-test", app);
        DETAIL::resetSingleInstanceState();  // this process starts again as the second
        OS::setCommandLineText(c.argument.empty() ? u"updater" : u"updater \"" + OS::utf8ToUtf16(c.argument) + u"\"");
        EXPECT_FALSE(OS::isWindowVisible(main));
        EXPECT_EQ(handOverToRunningInstance("VireoUpdater-test", c.flag), c.result) << c.name;
        EXPECT_EQ(app->paths, c.paths) << c.name;
        EXPECT_EQ(OS::isWindowVisible(main), c.raised) << c.name;
        EXPECT_EQ(OS::getForegroundWindow() == main, c.raised) << c.name;
        EXPECT_EQ(DETAIL::ownInstanceMarker(), nullptr) << c.name;
        module.detachApplication();
        TearDown();
        SetUp();
    }
}

TEST_F(SingleInstanceThreaded, TheMarkerTakesOnlyWellFormedRecordsOfExistingPaths)
{
    Module module;
    auto* app = new HandOverApp;
    ASSERT_TRUE(module.attachApplication(app));
    OS::HWND marker = runningInstance("records", app);
    const std::string file = mFiles.path() + "/firmware.bin";
    const auto utf16 = [](const std::string& text, bool nul) {
        std::string bytes;
        for (char16_t c : OS::utf8ToUtf16(text)) {
            bytes += static_cast<char>(c & 0xFF);
            bytes += static_cast<char>(c >> 8);
        }
        if (nul)
            bytes.append(2, '\0');
        return bytes;
    };
    struct Case {
        const char* name;
        std::uintptr_t tag;
        std::string bytes;
        std::optional<std::uint32_t> cbData;  // default: the bytes' size
        bool handles;
        OS::LRESULT answer;
        std::size_t events;  // of kEventOpenPath
    };
    const std::vector<Case> cases = {
        {"existing file", 10003, utf16(file, true), std::nullopt, true, 1, 1},
        {"not handled", 10003, utf16(file, true), std::nullopt, false, 0, 1},
        {"other tag", 10004, utf16(file, true), std::nullopt, true, 0, 0},
        {"no NUL", 10003, utf16(file, false), std::nullopt, true, 0, 0},
        {"NUL beyond cbData", 10003, utf16(file, true), std::uint32_t(2 * file.size()), true, 0, 0},
        {"odd cbData ending in the NUL's first byte", 10003, utf16(file, true), std::uint32_t(2 * file.size() + 1),
         true, 0, 0},
        {"empty text", 10003, utf16("", true), std::nullopt, true, 0, 0},
        {"missing path", 10003, utf16(file + ".gone", true), std::nullopt, true, 0, 0},
    };
    for (const Case& c : cases) {
        app->paths.clear();
        app->handles = c.handles;
        OS::COPYDATASTRUCT record{c.tag, c.cbData ? *c.cbData : static_cast<OS::DWORD>(c.bytes.size()),
                                  c.bytes.data()};
        EXPECT_EQ(OS::sendCopyData(marker, nullptr, record), c.answer) << c.name;
        EXPECT_EQ(app->paths.size(), c.events) << c.name;
    }
    module.detachApplication();
    // Without the process application the marker answers 0.
    const std::string bytes = utf16(file, true);
    OS::COPYDATASTRUCT record{10003, static_cast<OS::DWORD>(bytes.size()), bytes.data()};
    EXPECT_EQ(OS::sendCopyData(marker, nullptr, record), 0);
}

TEST_F(SingleInstanceThreaded, FindsTheFirstWindowWhoseTitleBeginsWithTheName)
{
    struct Case {
        const char* name;
        std::vector<OS::WString> titles;  // made in this order (the last on top)
        std::string prefix;
        int found;  // index into titles, -1 none
    };
    const OS::WString longTitle = OS::WString(520, u'a');
    const std::vector<Case> cases = {
        {"exact title", {u"Vireo Updater"}, "Vireo Updater", 0},
        {"title continues", {u"Vireo Updater - busy"}, "Vireo Updater", 0},
        {"name further on", {u"About Vireo Updater"}, "Vireo Updater", -1},
        {"case differs", {u"VIREO UPDATER"}, "Vireo Updater", -1},
        {"empty titles skipped", {u"Vireo", u""}, "Vireo", 0},
        {"non-ASCII name", {u"Vir\u00e9o \u97f3"}, "Vir\xc3\xa9o \xe9\x9f\xb3", 0},
        {"titles are read up to 511 units", {longTitle}, std::string(511, 'a'), 0},
        {"beyond 511 units", {longTitle}, std::string(512, 'a'), -1},
        {"empty name", {u"x"}, "", -1},
    };
    for (const Case& c : cases) {
        std::vector<OS::HWND> made;
        for (const OS::WString& title : c.titles)
            made.push_back(window(title));
        OS::HWND found = findWindowByTitlePrefix(c.prefix);
        EXPECT_EQ(found, c.found < 0 ? nullptr : made[static_cast<std::size_t>(c.found)]) << c.name;
        for (OS::HWND hwnd : made)
            OS::destroyWindow(hwnd);
    }
}
