// The roads out of the updater: closing the window and the quit button on every screen, and
// the quit question while a download runs; and the roads in: a second instance, and the
// application's commands. Each row runs the program's module from its initialise step to
// its shut-down step on the manual clock.

#include <gtest/gtest.h>

#include <poll.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "os/devices/DeviceConfig.h"
#include "os/shell/Shell.h"
#include "os/windows/MessageBox.h"
#include "resources/firmware/FirmwareImage.h"
#include "uia/Events.h"
#include "uia/platform/SingleInstance.h"
#include "updater/tests/DisplayWatch.h"
#include "updater/tests/UpdaterProgramSupport.h"
#include "updater/upgrade/VireoUpdaterUpgradeLogic.h"
#include "updater/app/UpdateWizardMainWidget.h"

extern char** environ;

namespace HA::TEST {
namespace {

using OS::SIM::JournalEntry;

constexpr const char* kAction = "FirmwareUpdaterButtonAction";
constexpr const char* kQuit = "FirmwareUpdaterButtonQuit";
constexpr const char* kInfoPanel = "FirmwareUpdaterInfoPanel";
constexpr const char* kWheel = "FirmwareUpdaterSpinningProgressWheel";
// The main window's title on the display.
constexpr const char* kWindowTitle = "Vireo Updater";
// The block the worker is held at while a row quits during the download.
constexpr OS::WORD kGateBlock = 3;

// Where the program is when the user quits.
enum class eWhere {
    Screen,          // the first screen after the start
    Error,           // UPDATE clicked, the download failed
    Success,         // UPDATE clicked, the device came back with the new firmware
    Downloading,     // UPDATE clicked, the worker held at the device's gate
    WorkerStored,    // the worker has stored its result; the wizard has not looked yet
};

// How the user quits.
enum class eHow { CloseBox, QuitButton, QuitClickedDirectly };

struct QuitRoad {
    const char* name;
    const char* scenario;
    eWhere where;
    eHow how;
    // The quit question is expected and answered with this (0: no box).
    int answer = 0;
    bool windowGone = true;
};

std::ostream& operator<<(std::ostream& out, const QuitRoad& road) { return out << road.name; }

const std::vector<QuitRoad> kQuitRoads = {
    {"CloseWithoutDownload", "fresh", eWhere::Screen, eHow::CloseBox},
    {"QuitOnConnect", "none", eWhere::Screen, eHow::QuitButton},
    {"QuitWhenUpToDate", "up-to-date", eWhere::Screen, eHow::QuitButton},
    {"QuitWhenUpdateAvailable", "fresh", eWhere::Screen, eHow::QuitButton},
    {"QuitAfterError", "fresh,stall-block=7", eWhere::Error, eHow::QuitButton},
    {"FinishAfterSuccess", "fresh", eWhere::Success, eHow::QuitButton},
    {"QuitClickedWhileUpdating", "fresh", eWhere::Downloading, eHow::QuitClickedDirectly, 0, false},
    {"CloseDuringDownloadNo", "fresh", eWhere::Downloading, eHow::CloseBox, OS::IDNO, false},
    {"CloseDuringDownloadYes", "fresh", eWhere::Downloading, eHow::CloseBox, OS::IDYES, true},
    {"CloseAfterWorkerStored", "fresh", eWhere::WorkerStored, eHow::CloseBox},
};

class UpdaterQuitRoadsThreaded : public ::testing::TestWithParam<QuitRoad> {
protected:
    OS::ManualClockScope clock;
};

std::vector<JournalEntry> downloads(const OS::SIM::SimulatedVireo& device)
{
    std::vector<JournalEntry> blocks;
    for (const JournalEntry& e : device.journal())
        if (e.code == OS::IOCTL_HA_DFU_DNLOAD)
            blocks.push_back(e);
    return blocks;
}

// The success screen: "FINISH" under a green panel, no action button.
bool onSuccessScreen(const UpdaterRun& run)
{
    return run.attribute(kInfoPanel, "background") == "ok" && !run.shown(kAction) && run.shown(kQuit);
}
bool onErrorScreen(const UpdaterRun& run)
{
    return run.attribute(kInfoPanel, "background") == "error" && !run.shown(kAction) && run.shown(kQuit);
}

// Clicks UPDATE with the download held at the gate; returns once the worker waits there.
void startHeldDownload(UpdaterRun& run)
{
    auto faults = run.device()->faults();
    faults.gateBlock = kGateBlock;
    run.device()->setFaults(faults);
    run.click(kAction);
    // Never wait for a worker that the click did not start.
    ASSERT_EQ(run.wizard()->getState(), 3) << "UPDATE did not start the download";
    run.device()->waitForGate();
    ASSERT_TRUE(run.shown(kWheel));
    ASSERT_FALSE(run.shown(kQuit));
}

TEST_P(UpdaterQuitRoadsThreaded, EndsOrKeepsTheProgram)
{
    const QuitRoad& road = GetParam();
    OS::MessageBoxScript boxes([](const std::string& problem) { ADD_FAILURE() << problem; });
    if (road.answer)
        boxes.expect(road.answer, "An update is currently in progress.");
    UpdaterRun run(road.scenario);
    ASSERT_TRUE(run.start());
    ASSERT_NE(run.window(), nullptr);
    run.pump(2 * UpdaterRun::kTick);

    switch (road.where) {
    case eWhere::Screen:
        break;
    case eWhere::Error:
        run.click(kAction);
        ASSERT_TRUE(run.pumpUntil([&] { return onErrorScreen(run); }));
        break;
    case eWhere::Success:
        run.click(kAction);
        ASSERT_TRUE(run.pumpUntil([&] { return onSuccessScreen(run); }));
        break;
    case eWhere::Downloading:
        startHeldDownload(run);
        break;
    case eWhere::WorkerStored:
        startHeldDownload(run);
        run.device()->releaseGate();
        // The application's own question, asked until the worker has ended and is joined.
        while (run.module().getUpgradeLogic()->isUpdateRunning()) {
        }
        break;
    }
    if (HasFatalFailure())
        return;

    const OS::HWND window = run.window();
    const std::weak_ptr<HWL::Widget> wizard = run.pane()->getRoot();
    switch (road.how) {
    case eHow::CloseBox:
        run.close();
        break;
    case eHow::QuitButton:
        run.click(kQuit);
        break;
    case eHow::QuitClickedDirectly:
        run.wizard()->onQuitClicked();
        run.pump(2 * UpdaterRun::kTick);
        break;
    }

    std::vector<OS::MessageBoxRecord> shown = boxes.shown();
    ASSERT_EQ(shown.size(), road.answer ? 1u : 0u);
    if (road.answer) {
        const OS::MessageBoxRecord& box = shown[0];
        EXPECT_EQ(box.textUtf8(), FirmwareUpdaterApp::kQuitQuestion);
        EXPECT_EQ(box.captionUtf8(), "VIREO INTERFACE UPDATER");
        EXPECT_EQ(box.buttons(), OS::MB_YESNO);
        EXPECT_EQ(box.icon(), OS::MB_ICONQUESTION);
        EXPECT_EQ(box.type & OS::MB_DEFMASK, OS::MB_DEFBUTTON2);
        EXPECT_EQ(box.defaultButton(), OS::IDNO);
    }
    EXPECT_EQ(OS::isWindow(window), !road.windowGone);
    EXPECT_EQ(run.app()->isQuitting(), road.windowGone);

    if (road.windowGone) {
        // The loop ends: with the quit flag set, run returns after its next message.
        EXPECT_EQ(run.app()->run(), 0);
    } else if (road.where == eWhere::Downloading) {
        // Kept: the download goes on to its end and the wizard shows the success.
        run.device()->releaseGate();
        EXPECT_TRUE(run.pumpUntil([&] { return onSuccessScreen(run); }));
        EXPECT_EQ(run.device()->firmwareRevision(), 0x0036);
    }

    if (road.answer == OS::IDYES) {
        // The worker still runs: the shut-down waits for it, and it ends at its final pause.
        EXPECT_FALSE(wizard.expired()) << "the application still holds the wizard";
        run.device()->releaseGate();
        run.stop();
        EXPECT_TRUE(wizard.expired());
        EXPECT_EQ(run.module().getUpgradeLogic(), nullptr);
        std::size_t bytes = 0;
        std::vector<JournalEntry> blocks = downloads(*run.device());
        for (const JournalEntry& e : blocks)
            bytes += e.length;
        EXPECT_EQ(bytes, Firmware::imageSize());
        ASSERT_FALSE(blocks.empty());
        EXPECT_EQ(blocks.back().length, 0u) << "the closing zero-length block";
        EXPECT_EQ(run.device()->firmwareRevision(), 0x0036) << "the download was not cut";
    }
    run.stop();
    EXPECT_EQ(run.module().getApplication(), nullptr);
    EXPECT_EQ(run.module().getDescription(), nullptr);
    EXPECT_EQ(run.module().getUpgradeLogic(), nullptr);
}

INSTANTIATE_TEST_SUITE_P(Roads, UpdaterQuitRoadsThreaded, ::testing::ValuesIn(kQuitRoads),
                         [](const auto& info) { return std::string(info.param.name); });

// The start roads.

class UpdaterStartRoads : public ::testing::Test {
protected:
    OS::ManualClockScope clock;
};

// The application's commands, as a menu or accelerator would send them to the main window.
struct CommandRow {
    int id;
    const char* opened;  // the address handed to the shell; null: none
};

TEST_F(UpdaterStartRoads, CommandsShowTheAboutPanelAndOpenTheWebPages)
{
    const std::vector<CommandRow> rows = {
        {FirmwareUpdaterApp::kCommandAbout, nullptr},
        {FirmwareUpdaterApp::kCommandKnowledgeBase, "https://harnwick-acoustics.example/knowledge/"},
        {FirmwareUpdaterApp::kCommandHomePage, "https://harnwick-acoustics.example/"},
    };
    UpdaterRun run("fresh");
    ASSERT_TRUE(run.start());
    OS::ShellOpenScope shell;
    for (const CommandRow& row : rows) {
        SCOPED_TRACE(row.id);
        OS::clearShellOpenRecords();
        UIA::CommandEventData command;
        command.id = row.id;
        EXPECT_TRUE(run.app()->onEvent(UIA::kEventCommand, &command));
        run.pump(2 * UpdaterRun::kTick);
        std::vector<OS::ShellOpenRecord> opened = OS::shellOpenRecords();
        if (row.opened) {
            ASSERT_EQ(opened.size(), 1u);
            EXPECT_EQ(opened[0].verb, "open");
            EXPECT_EQ(opened[0].file, row.opened);
            EXPECT_EQ(opened[0].show, OS::SW_SHOWNORMAL);
        } else {
            EXPECT_TRUE(opened.empty());
        }
    }
    // The about command showed the about overlay over the wizard.
    EXPECT_TRUE(run.shown("FirmwareUpdaterOverlay"));
    EXPECT_TRUE(OS::isWindow(run.window()));
}

// A first instance in another process, holding the updater's key in a runtime folder of
// the test's own, until its main window is brought forward.
class FirstInstance {
public:
    explicit FirstInstance(const std::string& runtime)
    {
        int out[2];
        if (::pipe(out) != 0)
            return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        std::string mode = "PROBE_MODE=first", key = "PROBE_KEY=VireoUpdater-PROJECT_GUID",
                    folder = "XDG_RUNTIME_DIR=" + runtime;
        char* env[] = {mode.data(), key.data(), folder.data(), nullptr};
        std::string program = HA_INSTANCE_PROBE;
        char* argv[] = {program.data(), nullptr};
        if (posix_spawn(&mPid, program.c_str(), &actions, nullptr, argv, env) != 0)
            mPid = -1;
        posix_spawn_file_actions_destroy(&actions);
        ::close(out[1]);
        mOut = ::fdopen(out[0], "r");
    }
    ~FirstInstance()
    {
        if (mPid > 0) {
            ::kill(mPid, SIGKILL);
            ::waitpid(mPid, nullptr, 0);
        }
        if (mOut)
            std::fclose(mOut);
    }
    // Its next report line (empty at its end).
    std::string line()
    {
        char buffer[256];
        if (!mOut || !std::fgets(buffer, sizeof buffer, mOut))
            return std::string();
        std::string l(buffer);
        if (!l.empty() && l.back() == '\n')
            l.pop_back();
        return l;
    }

private:
    pid_t mPid = -1;
    std::FILE* mOut = nullptr;
};

TEST_F(UpdaterStartRoads, AnotherInstanceIsBroughtForwardAndThisOneShowsNothing)
{
    StateFolder runtime;
    // Private, or the first instance would look elsewhere.
    ::chmod(runtime.path().c_str(), 0700);
    FirstInstance first(runtime.path());
    ASSERT_EQ(first.line(), "claimed");

    UpdaterRun run("fresh", runtime.path());
    EXPECT_FALSE(run.start());
    EXPECT_EQ(run.window(), nullptr);
    EXPECT_EQ(UIA::findWindowByTitlePrefix("Vireo Updater"), nullptr);
    EXPECT_EQ(first.line(), "raised");
    // No loop runs; the shut-down still releases everything.
    run.stop();
    EXPECT_EQ(run.module().getApplication(), nullptr);
    EXPECT_EQ(run.module().getDescription(), nullptr);
    EXPECT_EQ(run.module().getUpgradeLogic(), nullptr);
}


// The real program started while this process's updater ends: its standard error read line
// by line, waits bounded by real time (two processes).
class SecondStart {
public:
    SecondStart(const std::string& runtime, const std::string& state)
    {
        int err[2];
        if (::pipe(err) != 0)
            return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, err[1], 2);
        posix_spawn_file_actions_addclose(&actions, err[0]);
        // The test's own environment (the display and its authority) with the run's folders.
        std::vector<std::string> env = {"HA_OS_VIREO=fresh", "XDG_RUNTIME_DIR=" + runtime, "XDG_STATE_HOME=" + state};
        for (char** e = environ; *e; ++e) {
            const std::string entry = *e;
            const std::string name = entry.substr(0, entry.find('='));
            if (name != "HA_OS_VIREO" && name != "XDG_RUNTIME_DIR" && name != "XDG_STATE_HOME" &&
                name != "HA_OS_PRESENTER" && name != "WAYLAND_DISPLAY")
                env.push_back(entry);
        }
        std::vector<char*> envp;
        for (std::string& e : env)
            envp.push_back(e.data());
        envp.push_back(nullptr);
        std::string program = HA_UPDATER_PROGRAM;
        char* argv[] = {program.data(), nullptr};
        if (posix_spawn(&mPid, program.c_str(), &actions, nullptr, argv, envp.data()) != 0)
            mPid = -1;
        posix_spawn_file_actions_destroy(&actions);
        ::close(err[1]);
        mErr = err[0];
    }
    ~SecondStart()
    {
        if (mPid > 0) {
            ::kill(mPid, SIGKILL);
            ::waitpid(mPid, nullptr, 0);
        }
        if (mErr >= 0)
            ::close(mErr);
    }
    // Everything said on standard error until a line holds `text` (true) or the program
    // closed it or `ms` passed (false).
    bool waitForLine(const std::string& text, int ms)
    {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (mSaid.find(text) == std::string::npos) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now()).count();
            pollfd p{mErr, POLLIN, 0};
            if (left <= 0 || ::poll(&p, 1, static_cast<int>(left)) <= 0)
                return false;
            char buffer[256];
            const ssize_t n = ::read(mErr, buffer, sizeof buffer);
            if (n <= 0)
                return false;
            mSaid.append(buffer, static_cast<std::size_t>(n));
        }
        return true;
    }
    const std::string& said() const { return mSaid; }
    bool running() { return mPid > 0 && ::waitpid(mPid, nullptr, WNOHANG) == 0; }

private:
    pid_t mPid = -1;
    int mErr = -1;
    std::string mSaid;
};

class UpdaterShutDownStartThreaded : public ::testing::Test {
protected:
    OS::ManualClockScope clock;
};

// The user closed the window during a download and said "Yes": the window is gone, the
// shut-down waits for the worker. A start meanwhile must not hand over to a program that
// shows nothing: it says that it waits, shows nothing while the first runs, and opens its
// own window once the first has ended.
TEST_F(UpdaterShutDownStartThreaded, AStartDuringTheShutDownWaitsThenShowsItsOwnWindow)
{
    DisplayWatch display;
    if (!display.open())
        GTEST_SKIP() << "no X display: this test runs under xvfb-run";
    StateFolder runtime, secondState;
    ::chmod(runtime.path().c_str(), 0700);

    OS::MessageBoxScript boxes([](const std::string& problem) { ADD_FAILURE() << problem; });
    boxes.expect(OS::IDYES, "An update is currently in progress.");
    {
        UpdaterRun run("fresh", runtime.path());
        ASSERT_TRUE(run.start());
        run.pump(2 * UpdaterRun::kTick);
        startHeldDownload(run);
        if (HasFatalFailure())
            return;
        run.close();
        ASSERT_FALSE(OS::isWindow(run.window()));
        EXPECT_EQ(run.app()->run(), 0);

        SecondStart second(runtime.path(), secondState.path());
        EXPECT_TRUE(second.waitForLine("an earlier run is still finishing its update", 10000)) << second.said();
        EXPECT_TRUE(second.running());
        EXPECT_FALSE(display.viewable(kWindowTitle)) << "a window while the first still ends";

        // The first ends: its worker leaves the gate, the shut-down joins it, and the end of
        // the process takes its claim away.
        run.device()->releaseGate();
        run.stop();
        UIA::DETAIL::resetSingleInstanceState();

        bool shown = false;
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (!shown && second.running() && std::chrono::steady_clock::now() < end) {
            shown = display.viewable(kWindowTitle);
            if (!shown)
                display.waitForChange(1000);
        }
        EXPECT_TRUE(shown) << "the second start showed no window of its own; it said: " << second.said();
        EXPECT_TRUE(second.running());
    }
}

}  // namespace
}  // namespace HA::TEST
