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
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "os/devices/DeviceConfig.h"
#include "os/sim/DeviceControl.h"
#include "os/shell/Shell.h"
#include "os/tests/MessageBoxTestSupport.h"
#include "os/windows/messagebox/MessageBox.h"
#include "resources/firmware/FirmwareImage.h"
#include "uia/events/Events.h"
#include "uia/app/SingleInstance.h"
#include "updater/tests/DisplayWatch.h"
#include "updater/tests/ScreenshotSupport.h"
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
    // The question is a real box, clicked through the input (else a script answers).
    bool clicked = false;
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
    {"CloseDuringDownloadClickNo", "fresh", eWhere::Downloading, eHow::CloseBox, OS::IDNO, false, true},
    {"CloseDuringDownloadClickYes", "fresh", eWhere::Downloading, eHow::CloseBox, OS::IDYES, true, true},
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
    std::optional<OS::MessageBoxScript> boxes;
    std::optional<OS::MessageBoxWindowScope> windows;
    if (road.clicked) {
        windows.emplace();
    } else {
        boxes.emplace([](const std::string& problem) { ADD_FAILURE() << problem; });
        if (road.answer)
            boxes->expect(road.answer, "An update is currently in progress.");
    }
    OS::clearMessageBoxRecords();
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
    bool clicked = false;
    std::string stepUnder;
    OS::WindowPixels pixelsUnder;
    if (road.clicked)
        OS::Testing::later(UpdaterRun::kTick, [&] {
            const OS::HWND box = OS::Testing::findBox();
            ASSERT_NE(box, nullptr);
            EXPECT_FALSE(OS::isWindowEnabled(window)) << "the window under the box takes input";
            stepUnder = run.attribute(kWheel, "step");
            pixelsUnder = run.pixels();
            // The window under the box goes on: its wheel turns and is painted.
            OS::Testing::later(4 * UpdaterRun::kTick, [&, box] {
                EXPECT_NE(run.attribute(kWheel, "step"), stepUnder) << "the wheel stood still under the box";
                EXPECT_NE(run.pixels().pixels, pixelsUnder.pixels) << "the window was not painted under the box";
                clicked = OS::Testing::clickButton(box, road.answer);
            });
        });
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

    std::vector<OS::MessageBoxRecord> shown = boxes ? boxes->shown() : OS::messageBoxRecords();
    ASSERT_EQ(shown.size(), road.answer ? 1u : 0u);
    EXPECT_EQ(clicked, road.clicked);
    if (road.clicked) {
        EXPECT_EQ(shown[0].answer, road.answer);
        EXPECT_EQ(OS::Testing::findBox(), nullptr);
        if (!road.windowGone) {
            EXPECT_TRUE(OS::isWindowEnabled(window));
        }
    }
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

// A program in another process with the environment given, one of its streams read back
// with waits bounded by real time; killed at the end of the test if it still runs.
class ChildProgram {
public:
    ChildProgram(const std::string& program, int stream, std::vector<std::string> environment)
    {
        int pipeEnds[2];
        if (::pipe(pipeEnds) != 0)
            return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], stream);
        posix_spawn_file_actions_addclose(&actions, pipeEnds[0]);
        std::vector<char*> envp;
        for (std::string& e : environment)
            envp.push_back(e.data());
        envp.push_back(nullptr);
        std::string name = program;
        char* argv[] = {name.data(), nullptr};
        if (posix_spawn(&mPid, program.c_str(), &actions, nullptr, argv, envp.data()) != 0)
            mPid = -1;
        posix_spawn_file_actions_destroy(&actions);
        ::close(pipeEnds[1]);
        mStream = pipeEnds[0];
    }
    ~ChildProgram()
    {
        if (mPid > 0 && !mEnded) {
            ::kill(mPid, SIGKILL);
            ::waitpid(mPid, nullptr, 0);
        }
        if (mStream >= 0)
            ::close(mStream);
    }
    ChildProgram(const ChildProgram&) = delete;
    ChildProgram& operator=(const ChildProgram&) = delete;

    // Its next line; empty at the stream's end or when none came within `ms`.
    std::string line(int ms = 20000)
    {
        const auto end = deadline(ms);
        std::size_t newline;
        while ((newline = mSaid.find('\n', mRead)) == std::string::npos)
            if (!readMore(end))
                return std::string();
        std::string l = mSaid.substr(mRead, newline - mRead);
        mRead = newline + 1;
        return l;
    }
    // Reads until what it said holds `text` (true), or until the stream ends or `ms` passed.
    bool waitFor(const std::string& text, int ms)
    {
        const auto end = deadline(ms);
        while (mSaid.find(text) == std::string::npos)
            if (!readMore(end))
                return false;
        return true;
    }
    // Everything read so far.
    const std::string& said() const { return mSaid; }
    bool running()
    {
        reap();
        return mPid > 0 && !mEnded;
    }
    // Its exit status once it has ended within `ms` of real time; -1 while it runs on or when
    // a signal ended it.
    int exitStatus(int ms)
    {
        const auto end = deadline(ms);
        while (!reap() && Clock::now() < end)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        return mEnded && WIFEXITED(mStatus) ? WEXITSTATUS(mStatus) : -1;
    }

private:
    using Clock = std::chrono::steady_clock;
    static Clock::time_point deadline(int ms) { return Clock::now() + std::chrono::milliseconds(ms); }
    // Whether it has ended (reaped once, its status kept).
    bool reap()
    {
        if (mPid > 0 && !mEnded && ::waitpid(mPid, &mStatus, WNOHANG) == mPid)
            mEnded = true;
        return mEnded;
    }
    bool readMore(Clock::time_point end)
    {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
        pollfd p{mStream, POLLIN, 0};
        if (mStream < 0 || left <= 0 || ::poll(&p, 1, static_cast<int>(left)) <= 0)
            return false;
        char buffer[256];
        const ssize_t n = ::read(mStream, buffer, sizeof buffer);
        if (n <= 0)
            return false;
        mSaid.append(buffer, static_cast<std::size_t>(n));
        return true;
    }

    pid_t mPid = -1;
    bool mEnded = false;
    int mStatus = 0;
    int mStream = -1;
    std::string mSaid;
    std::size_t mRead = 0;
};

// A first instance in another process, holding the updater's key in a runtime folder of
// the test's own, until its main window is brought forward; it reports its steps on
// standard output.
ChildProgram firstInstance(const std::string& runtime)
{
    return ChildProgram(HA_INSTANCE_PROBE, 1,
                        {"PROBE_MODE=first", "PROBE_KEY=VireoUpdater-PROJECT_GUID", "XDG_RUNTIME_DIR=" + runtime});
}

TEST_F(UpdaterStartRoads, AnotherInstanceIsBroughtForwardAndThisOneShowsNothing)
{
    StateFolder runtime;
    // Private, or the first instance would look elsewhere.
    ::chmod(runtime.path().c_str(), 0700);
    ChildProgram first = firstInstance(runtime.path());
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

// The real program started while this process's updater ends, with the test's own
// environment (the display and its authority) but the run's folders and device scenario
// (empty: the device as the state file keeps it); its standard error is read back.
ChildProgram secondStart(const std::string& runtime, const std::string& state, const std::string& scenario = "fresh")
{
    std::vector<std::string> env = {"HA_OS_VIREO=" + scenario, "XDG_RUNTIME_DIR=" + runtime,
                                    "XDG_STATE_HOME=" + state};
    for (char** e = environ; *e; ++e) {
        const std::string entry = *e;
        const std::string name = entry.substr(0, entry.find('='));
        if (name != "HA_OS_VIREO" && name != "XDG_RUNTIME_DIR" && name != "XDG_STATE_HOME" &&
            name != "HA_OS_PRESENTER" && name != "WAYLAND_DISPLAY")
            env.push_back(entry);
    }
    return ChildProgram(HA_UPDATER_PROGRAM, 2, std::move(env));
}

class UpdaterShutDownStartThreaded : public ::testing::Test {
protected:
    OS::ManualClockScope clock;
};

// The user closed the window during a download and said "Yes": the window is gone, the
// shut-down waits for the worker. A start meanwhile must not hand over to a program that
// shows nothing: it says that it waits, shows nothing while the first runs, and opens its
// own window once the first has ended, with the device as the first left it (the firmware
// it wrote) and the hand at it (scripts/device.sh) reaching this start.
TEST_F(UpdaterShutDownStartThreaded, AStartDuringTheShutDownWaitsThenShowsItsOwnWindow)
{
    DisplayWatch display;
    if (!display.open())
        GTEST_SKIP() << "no X display: this test runs under xvfb-run";
    StateFolder runtime;
    ::chmod(runtime.path().c_str(), 0700);

    OS::MessageBoxScript boxes([](const std::string& problem) { ADD_FAILURE() << problem; });
    boxes.expect(OS::IDYES, "An update is currently in progress.");
    {
        UpdaterRun run("fresh", runtime.path());
        ASSERT_TRUE(run.start());
        // The first holds the hand at its device while it runs, as the program does.
        std::string why;
        auto control = OS::SIM::DeviceControl::start(run.device(), why);
        ASSERT_NE(control, nullptr) << why;
        run.pump(2 * UpdaterRun::kTick);
        startHeldDownload(run);
        if (HasFatalFailure())
            return;
        run.close();
        ASSERT_FALSE(OS::isWindow(run.window()));
        EXPECT_EQ(run.app()->run(), 0);

        // Started with the first's state folder, keeping what it holds: the device it sees is
        // the one the first leaves.
        ChildProgram second = secondStart(runtime.path(), run.stateFolder(), "");
        EXPECT_TRUE(second.waitFor("an earlier run is still finishing its update", 10000)) << second.said();
        // It keeps waiting, and shows nothing, while the first has not ended.
        display.waitForChange(300);
        EXPECT_TRUE(second.running());
        EXPECT_FALSE(display.viewable(kWindowTitle)) << "a window while the first still ends";

        // The first ends: its worker leaves the gate, the shut-down joins it, and the end of
        // the process lets go of the hand and then of the claim.
        run.device()->releaseGate();
        run.stop();
        ASSERT_TRUE(run.device()->isFlashValid());
        ASSERT_EQ(run.device()->firmwareRevision(), OS::WORD(0x0036)) << "the first did not write 0.3.6";
        control.reset();
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

        // Its window shows the firmware the first wrote: the up-to-date screen.
        Screenshot shot;
        const std::string expected = std::string(HA_SCREENSHOT_SOURCE_DIR) + "/03-up-to-date.png";
        Screenshot wanted;
        ASSERT_TRUE(readScreenshot(expected, wanted));
        const auto drawn = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (shown && std::chrono::steady_clock::now() < drawn &&
               !(display.read(kWindowTitle, shot.width, shot.height, shot.pixels) && shot.pixels == wanted.pixels))
            display.waitForChange(100);
        EXPECT_TRUE(sameScreenshot(shot, expected, "second-start-up-to-date")) << second.said();

        // And the hand reaches it, at the device as the first left it.
        std::string answer;
        EXPECT_EQ(OS::SIM::sendDeviceRequest("show", 5000, answer), OS::SIM::eSent::Answered) << second.said();
        EXPECT_NE(answer.find("firmware 0.3.6"), std::string::npos) << answer;
    }
}

// The earlier run does not end in the time it gave: the start says so, shows no window and
// ends with a status that says it did not run.
TEST_F(UpdaterShutDownStartThreaded, AStartWhoseEarlierRunDoesNotEndEndsWithAFailureStatus)
{
    DisplayWatch display;
    StateFolder runtime, state;
    ::chmod(runtime.path().c_str(), 0700);
    ChildProgram first(HA_INSTANCE_PROBE, 1,
                       {"PROBE_MODE=ending", "PROBE_KEY=VireoUpdater-PROJECT_GUID", "PROBE_ENDS_MS=0",
                        "PROBE_LINGER_MS=30000", "XDG_RUNTIME_DIR=" + runtime.path()});
    ASSERT_EQ(first.line(), "claimed");
    ASSERT_EQ(first.line(), "ending");

    ChildProgram second = secondStart(runtime.path(), state.path());
    EXPECT_TRUE(second.waitFor("the earlier run did not end in that time; this start ends", 20000)) << second.said();
    EXPECT_EQ(second.exitStatus(10000), 1) << second.said();
    EXPECT_FALSE(display.open() && display.viewable(kWindowTitle)) << "a window of a start that gave up";
    EXPECT_TRUE(first.running()) << "the earlier run ended before the start gave up";
}

}  // namespace
}  // namespace HA::TEST
