// The wizard's roads against the simulated Vireo Interface: one table of scenarios (in the
// stand-in's HA_OS_VIREO words) and the user's clicks through the window's input, each step
// checked by what the wizard shows: state, message, both buttons, icon, status background,
// installed state, the three values and the wheel. The download runs on the logic's worker,
// hence the suite's name.

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "os/devices/DeviceConfig.h"
#include "os/sim/DeviceControl.h"
#include "updater/tests/ScreenshotSupport.h"
#include "updater/tests/WizardTestSupport.h"

using namespace HA;
using namespace HA::TEST;

namespace {

// What one screen of the wizard shows.
struct Screen {
    int state = 0;
    std::string message;
    const char* action = "";   // the action button's caption; "<disabled>" when hidden
    bool actionShown = false;
    const char* quit = "QUIT";
    bool quitShown = true;
    const char* actionFocus = "";  // "hasFocus" of each button
    const char* quitFocus = "";
    const char* background = "";
    const char* icon = "";
    bool iconShown = true;
    bool wheelShown = false;
    const char* installedState = "<unset>";
};

const std::string kDevice = "Vireo Interface";

Screen connect(const char* installedState = "<unset>")
{
    Screen s;
    s.state = 0;
    s.message = "Please connect your Vireo Interface and click RESCAN.";
    s.action = "RESCAN";
    s.actionShown = true;
    s.actionFocus = "true";
    s.quitFocus = "false";
    s.background = "info";
    s.icon = "error";
    s.installedState = installedState;
    return s;
}

Screen upToDate()
{
    Screen s;
    s.state = 1;
    s.message = "Currently there is no newer firmware for your Vireo Interface.";
    s.action = "<disabled>";
    s.actionFocus = "false";
    s.quitFocus = "true";
    s.background = "ok";
    s.icon = "ok";
    s.installedState = "success";
    return s;
}

Screen updateAvailable()
{
    Screen s;
    s.state = 2;
    s.message = "A firmware update is available for your Vireo Interface. To update the firmware now, click UPDATE. "
                "To update the firmware later, click QUIT.";
    s.action = "UPDATE";
    s.actionShown = true;
    s.actionFocus = "true";
    s.quitFocus = "false";
    s.background = "info";
    s.icon = "error";
    s.installedState = "fail";
    return s;
}

// The focus marks stay those of the screen before: update available or boot failed.
Screen updating()
{
    Screen s;
    s.state = 3;
    s.message = "Please stand by while your Vireo Interface is being updated and do not disconnect it from USB.";
    s.action = "<disabled>";
    s.quitShown = false;
    s.actionFocus = "true";
    s.quitFocus = "false";
    s.background = "info";
    s.icon = "error";
    s.iconShown = false;
    s.wheelShown = true;
    s.installedState = "neutral";
    return s;
}

Screen bootFailed()
{
    Screen s;
    s.state = 4;
    s.message = "Your Vireo Interface failed to boot into firmware update mode and could not be properly updated. To "
                "boot your Vireo Interface into firmware update mode, please power-cycle it and click RETRY.";
    s.action = "RETRY";
    s.actionShown = true;
    s.actionFocus = "true";
    s.quitFocus = "false";
    s.background = "error";
    s.icon = "error";
    s.installedState = "neutral";
    return s;
}

Screen success()
{
    Screen s;
    s.state = 5;
    s.message = "The firmware of your Vireo Interface was successfully updated.";
    s.action = "<disabled>";
    s.quit = "FINISH";
    s.actionFocus = "false";
    s.quitFocus = "true";
    s.background = "ok";
    s.icon = "ok";
    s.installedState = "success";
    return s;
}

// After the updating screen, which left the installed state neutral.
Screen error(int result)
{
    Screen s;
    s.state = 6;
    s.message = "An error occurred while updating your Vireo Interface (error " + std::to_string(result) +
                "). Please disconnect the Vireo Interface, unpower it and quit the Vireo Updater. Then reconnect the "
                "Vireo Interface, restart Vireo Updater and try performing the update again. Alternatively contact "
                "the HA Technical Support.";
    s.action = "<disabled>";
    s.actionFocus = "false";
    s.quitFocus = "true";
    s.background = "error";
    s.icon = "error";
    s.installedState = "neutral";
    return s;
}

enum class eDo {
    Start,        // the application's start: callbacks and the first scan
    PlugIn,       // the device joins the bus
    PowerCycle,   // off and on again, its faults gone
    Action,       // a click on the action button, through the window's input
    HoldAtGate,   // the worker is held at the gate: two ticks, then it goes on
    RunDownload,  // ticks until the wizard leaves the updating state
    Wait,         // two seconds pass before the next step
    Hand,         // the step's request to the device, as scripts/device.sh sends it
    HandAtGate,   // the worker held at the gate, the step's request, then it goes on
    PointAway,    // a tick, then the pointer moves to the window's top left corner, away from every button
};

const char* const kSerial = "VI2401A0158";

struct Step {
    eDo action;
    Screen screen;
    const char* installed = "-";
    const char* serial = "-";
    const char* wheelStep = nullptr;  // the wheel's "step"; null: not checked
    const char* hand = nullptr;       // Hand, HandAtGate: the request
    const char* actionLook = nullptr; // the picture of docs/screenshots whose action button it shows
};

struct Road {
    const char* name = "";
    const char* words = "";  // HA_OS_VIREO
    std::vector<Step> steps;
    std::optional<OS::WORD> gateBlock;
    bool startFails = false;          // a start callback that answers -1
    std::optional<int> detaches;      // DETACH requests the device saw, when checked
};

void PrintTo(const Road& road, std::ostream* out)
{
    *out << road.name;
}

std::vector<Road> roads()
{
    const Step started{eDo::Start, updateAvailable(), "0.3.5", kSerial};
    const Step update{eDo::Action, updating(), "0.3.5", kSerial};
    const Step succeeded{eDo::RunDownload, success(), "0.3.6", kSerial};
    auto failed = [](int result, const char* installed = "0.3.5") {
        return Step{eDo::RunDownload, error(result), installed, kSerial};
    };
    std::vector<Road> all;
    auto add = [&](const char* name, const char* words, std::vector<Step> steps) -> Road& {
        Road road;
        road.name = name;
        road.words = words;
        road.steps = std::move(steps);
        all.push_back(road);
        return all.back();
    };
    add("NoDevice", "none", {{eDo::Start, connect()}});
    add("PluggedInLaterAndRescanned", "none",
        {{eDo::Start, connect()}, {eDo::PlugIn, connect()}, {eDo::Action, updateAvailable(), "0.3.5", kSerial}});
    add("UpToDate", "up-to-date", {{eDo::Start, upToDate(), "0.3.6", kSerial}});
    add("WheelTurnsWhileTheDownloadIsHeld", "",
        {started, update, {eDo::HoldAtGate, updating(), "0.3.5", kSerial, "S1"}, succeeded})
        .gateBlock = 20;
    add("Succeeds", "", {started, update, succeeded}).detaches = 1;
    add("TolerantDeviceSucceeds", "tolerant", {started, update, succeeded});
    add("ErasedDeviceNeedsNoDetach", "erased",
        {{eDo::Start, updateAvailable(), "0.0.0", kSerial}, {eDo::Action, updating(), "0.0.0", kSerial}, succeeded})
        .detaches = 0;
    add("StallAtBlock7", "stall-block=7", {started, update, failed(-2)});
    add("ErrorStatusAtBlock100", "error-block=100", {started, update, failed(-2)});
    add("NeverBackAfterManifestation", "no-return=manifest", {started, update, failed(-2)});
    add("WrongRevisionAfterwards", "wrong-revision=0x35", {started, update, failed(1)});
    // Newer than the image is no success either: it is not the revision that was written.
    add("NewerRevisionAfterwards", "wrong-revision=0x37", {started, update, failed(1, "0.3.7")});
    add("NeverBackAfterLeaving", "tolerant,no-return=leave", {started, update, failed(1)});
    // Every return takes 6.5 s: too late for the look 5 s after the detach (RETRY two seconds
    // later finds it), and after the download too late for the first look but not for the
    // second, 5 s later.
    add("SecondLookFindsALateDevice", "tolerant,late-return=5000",
        {started,
         {eDo::Action, bootFailed(), "0.3.5", kSerial},
         {eDo::Wait, bootFailed(), "0.3.5", kSerial},
         {eDo::Action, updating(), "0.3.5", kSerial},
         succeeded});
    add("WrongSerialAfterDetach", "wrong-serial", {started, {eDo::Action, bootFailed(), "0.3.5", kSerial}});
    add("NeverBackAfterDetachThenPowerCycled", "no-return=detach",
        {started,
         {eDo::Action, bootFailed(), "0.3.5", kSerial},
         {eDo::Action, bootFailed(), "0.3.5", kSerial},
         {eDo::PowerCycle, bootFailed(), "0.3.5", kSerial},
         {eDo::Action, updating(), "0.3.5", kSerial},
         succeeded});
    // What a person does by hand, through the device's control requests.
    add("ConnectRoadPluggedInByHand", "none",
        {{eDo::Start, connect()},
         {eDo::Action, connect()},
         {eDo::Hand, connect(), "-", "-", nullptr, "plug"},
         {eDo::Action, updateAvailable(), "0.3.5", kSerial}});
    // The no-return fault applies once: after the power cycle the switch works.
    add("BootFailedRoadPowerCycledByHand", "no-return=detach",
        {started,
         {eDo::Action, bootFailed(), "0.3.5", kSerial},
         {eDo::Hand, bootFailed(), "0.3.5", kSerial, nullptr, "power-cycle"},
         {eDo::Action, updating(), "0.3.5", kSerial},
         succeeded})
        .detaches = 2;
    add("UnpluggedByHandDuringTheDownload", "",
        {started, update, {eDo::HandAtGate, updating(), "0.3.5", kSerial, nullptr, "unplug"}, failed(-2)})
        .gateBlock = 20;
    add("NoDfuInformation", "dfu-info=none", {{eDo::Start, connect()}, {eDo::Action, connect()}});
    add("OpenRefused", "open-refused", {{eDo::Start, connect()}, {eDo::Action, connect()}});
    add("StartRefused", "", {started, {eDo::Action, error(-1), "0.3.5", kSerial}}).startFails = true;
    // RETRY appears where UPDATE was clicked; once the pointer leaves, it is no longer lit.
    add("RetryUnlitOnceThePointerLeaves", "no-return=detach",
        {started,
         {eDo::Action, bootFailed(), "0.3.5", kSerial},
         {eDo::PointAway, bootFailed(), "0.3.5", kSerial, nullptr, nullptr, "08-boot-failed"}});
    return all;
}

class WizardRoadThreaded : public ::testing::TestWithParam<Road> {
protected:
    OS::ManualClockScope clock;
    ScenarioDevice scenario;
    SkinScope skin;
};

// The widget's pixels against the same box of a committed screenshot (the program's window is
// a pixel narrower and lower than the host's, and the wizard's panels lie at the same places
// in both). On a mismatch both pictures are written as <name>-FAILED.png and
// <name>-expected-FAILED.png.
::testing::AssertionResult looksAsIn(const WizardHost& host, const HWL::Widget& widget, const std::string& name)
{
    Screenshot expected;
    const std::string file = std::string(HA_SCREENSHOT_SOURCE_DIR) + "/" + name + ".png";
    if (!readScreenshot(file, expected))
        return ::testing::AssertionFailure() << "cannot read " << file;
    const OS::WindowPixels shown = host.pixels();
    const GP::Rect& box = widget.getBounds();
    if (box.isEmpty() || box.left < 0 || box.top < 0 || box.right > std::min(shown.width, expected.width) ||
        box.bottom > std::min(shown.height, expected.height))
        return ::testing::AssertionFailure() << widget.getId() << " lies outside the pictures";
    int wrong = 0;
    for (int y = box.top; y < box.bottom; ++y)
        for (int x = box.left; x < box.right; ++x)
            wrong += (shown.at(x, y) & 0xFFFFFF) != expected.at(x, y);
    if (wrong == 0)
        return ::testing::AssertionSuccess();
    Screenshot actual;
    actual.width = shown.width;
    actual.height = shown.height;
    for (std::uint32_t p : shown.pixels)
        actual.pixels.push_back(p & 0xFFFFFF);
    writeScreenshot((outputFolder() / (name + "-FAILED.png")).string(), actual);
    writeScreenshot((outputFolder() / (name + "-expected-FAILED.png")).string(), expected);
    return ::testing::AssertionFailure() << widget.getId() << ": " << wrong << " pixels differ from " << name
                                         << "; written to " << name << "-FAILED.png";
}

::testing::AssertionResult shows(const UpdateWizardMainWidget& wizard, const Step& step)
{
    const Screen& s = step.screen;
    std::vector<std::string> wrong;
    auto check = [&](const char* what, const std::string& actual, const std::string& expected) {
        if (actual != expected)
            wrong.push_back(std::string(what) + " is \"" + actual + "\", expected \"" + expected + "\"");
    };
    auto yes = [](bool b) { return std::string(b ? "shown" : "hidden"); };
    check("state", std::to_string(wizard.getState()), std::to_string(s.state));
    check("message", wizard.getMessageLabel()->getText(), s.message);
    check("action caption", wizard.getActionButton()->getText(), s.action);
    check("action button", yes(wizard.getActionButton()->isShown()), yes(s.actionShown));
    check("action hasFocus", attribute(*wizard.getActionButton(), "hasFocus"), s.actionFocus);
    check("quit caption", wizard.getQuitButton()->getText(), s.quit);
    check("quit button", yes(wizard.getQuitButton()->isShown()), yes(s.quitShown));
    check("quit hasFocus", attribute(*wizard.getQuitButton(), "hasFocus"), s.quitFocus);
    check("background", attribute(*wizard.getInfoPanel(), "background"), s.background);
    check("icon", attribute(*wizard.getStatusIcon(), "icon"), s.icon);
    check("status icon", yes(wizard.getStatusIcon()->isShown()), yes(s.iconShown));
    check("installed state", attribute(*wizard.getInstalledValue(), "state"), s.installedState);
    check("newest", wizard.getNewestValue()->getText(), "0.3.6");
    check("installed", wizard.getInstalledValue()->getText(), step.installed);
    check("serial number", wizard.getSerialValue()->getText(), step.serial);
    check("wheel", yes(wizard.getWheel()->isShown()), yes(s.wheelShown));
    check("wheel spinning", yes(wizard.getWheel()->isSpinning()), yes(s.wheelShown));
    if (step.wheelStep)
        check("wheel step", attribute(*wizard.getWheel(), "step"), step.wheelStep);
    if (wrong.empty())
        return ::testing::AssertionSuccess();
    auto failure = ::testing::AssertionFailure();
    for (const std::string& line : wrong)
        failure << "\n  " << line;
    return failure;
}

TEST_P(WizardRoadThreaded, ShowsEachStep)
{
    const Road& road = GetParam();
    OS::SIM::VireoFaults gate;
    gate.gateBlock = road.gateBlock;
    ASSERT_TRUE(scenario.setUp(road.words, &gate));
    WizardHost host;
    int index = 0;
    for (const Step& step : road.steps) {
        SCOPED_TRACE("step " + std::to_string(index));
        switch (step.action) {
        case eDo::Start:
            if (road.startFails) {
                host.wizard->setCallbacks(
                    host.description->scanForDevice, host.description->enterUpdateMode,
                    host.description->findUpdateModeDevice,
                    [](std::atomic<int>& result) {
                        result.store(-1, std::memory_order_release);
                        return false;
                    },
                    host.description->getDeviceInfo);
                host.tick();
            } else {
                host.start();
            }
            break;
        case eDo::PlugIn:
            scenario.device->plugIn();
            host.tick();
            break;
        case eDo::PowerCycle:
            scenario.powerCycle();
            host.tick();
            break;
        case eDo::Action:
            host.click(*host.wizard->getActionButton());
            break;
        case eDo::HoldAtGate:
            scenario.device->waitForGate();
            host.tick();
            EXPECT_EQ(attribute(*host.wizard->getWheel(), "step"), "<unset>");
            host.tick();
            break;
        case eDo::RunDownload:
            host.tickUntilDownloadEnds();
            break;
        case eDo::Wait:
            OS::Clock::sleep(2000);
            host.tick();
            break;
        case eDo::HandAtGate:
            scenario.device->waitForGate();
            [[fallthrough]];
        case eDo::Hand: {
            const OS::SIM::tDeviceAnswer answer = OS::SIM::answerDeviceRequest(*scenario.device, step.hand);
            EXPECT_TRUE(answer.ok) << answer.text;
            host.tick();
            break;
        }
        case eDo::PointAway:
            // Painted first as the pointer left it, so that only its move can unlight a button.
            host.tick();
            host.pointAt(GP::Point{2, 2});
            break;
        }
        if (step.actionLook) {
            EXPECT_TRUE(looksAsIn(host, *host.wizard->getActionButton(), step.actionLook));
        }
        const bool ok = shows(*host.wizard, step);
        EXPECT_TRUE(ok) << road.name << " step " << index << shows(*host.wizard, step).message();
        if (step.action == eDo::HoldAtGate || step.action == eDo::HandAtGate)
            scenario.device->releaseGate();
        if (!ok) {
            host.writePicture(std::string(road.name) + "-" + std::to_string(index));
            break;
        }
        ++index;
    }
    if (road.detaches) {
        int detaches = 0;
        for (const OS::SIM::JournalEntry& entry : scenario.device->journal())
            detaches += entry.code == OS::IOCTL_HA_DFU_DETACH;
        EXPECT_EQ(detaches, *road.detaches);
    }
}

INSTANTIATE_TEST_SUITE_P(Road, WizardRoadThreaded, ::testing::ValuesIn(roads()),
                         [](const ::testing::TestParamInfo<Road>& info) { return info.param.name; });

}  // namespace
