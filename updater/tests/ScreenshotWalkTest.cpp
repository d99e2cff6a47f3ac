// The screenshot walk: the real updater driven by clicks through every screen against the
// simulated device, a real update from 0.3.5 to 0.3.6 and each error, one picture of the
// window per state. With HA_SCREENSHOT_DIR set the pictures are written there (and each
// file is printed); otherwise they are compared with the committed ones in docs/screenshots/.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "os/windows/messagebox/MessageBox.h"
#include "os/kernel/Text.h"
#include "os/tests/MessageBoxTestSupport.h"
#include "updater/tests/ScreenshotSupport.h"
#include "updater/tests/UpdaterProgramSupport.h"

namespace HA::TEST {
namespace {

constexpr const char* kAction = "FirmwareUpdaterButtonAction";
constexpr const char* kQuit = "FirmwareUpdaterButtonQuit";
constexpr const char* kAbout = "FirmwareUpdaterTitlePanelAbout";
constexpr const char* kOverlay = "FirmwareUpdaterOverlay";
constexpr const char* kInfoPanel = "FirmwareUpdaterInfoPanel";
constexpr const char* kWheel = "FirmwareUpdaterSpinningProgressWheel";
constexpr OS::WORD kGateBlock = 40;

Screenshot screenshotOf(const UpdaterRun& run)
{
    OS::WindowPixels shown = run.pixels();
    Screenshot shot;
    shot.width = shown.width;
    shot.height = shown.height;
    shot.pixels.resize(shown.pixels.size());
    for (size_t i = 0; i < shown.pixels.size(); ++i)
        shot.pixels[i] = shown.pixels[i] & 0xFFFFFF;
    return shot;
}

// Writes the picture into HA_SCREENSHOT_DIR, or compares it with the committed one.
void keep(const Screenshot& shot, const std::string& name)
{
    EXPECT_EQ(shot.width, 627);
    EXPECT_EQ(shot.height, 335);
    if (const char* dir = std::getenv("HA_SCREENSHOT_DIR"); dir && *dir) {
        const std::string file = std::string(dir) + "/" + name + ".png";
        EXPECT_TRUE(writeScreenshot(file, shot)) << file;
        std::printf("%s\n", file.c_str());
        std::fflush(stdout);
        return;
    }
    EXPECT_TRUE(sameScreenshot(shot, std::string(HA_SCREENSHOT_SOURCE_DIR) + "/" + name + ".png", name));
}

// The window with the quit question over it as the display shows them: the box has no
// owner, so both stand centred on the screen. The box's own pixels, in a one-pixel edge
// where the display's window manager frames it.
Screenshot withBox(const UpdaterRun& run, OS::HWND box)
{
    Screenshot shot = screenshotOf(run);
    OS::WindowPixels pixels;
    EXPECT_TRUE(OS::readWindowPixels(box, pixels));
    const int left = (shot.width - pixels.width) / 2, top = (shot.height - pixels.height) / 2;
    constexpr std::uint32_t kEdge = 0x6E6E6E;
    for (int y = -1; y <= pixels.height; ++y)
        for (int x = -1; x <= pixels.width; ++x) {
            const int sx = left + x, sy = top + y;
            if (sx < 0 || sy < 0 || sx >= shot.width || sy >= shot.height)
                continue;
            const bool inside = x >= 0 && y >= 0 && x < pixels.width && y < pixels.height;
            shot.at(sx, sy) = inside ? pixels.at(x, y) & 0xFFFFFF : kEdge;
        }
    return shot;
}

bool onScreen(const UpdaterRun& run, const char* background, bool actionShown)
{
    return run.attribute(kInfoPanel, "background") == background && run.shown(kAction) == actionShown &&
           run.shown(kQuit) && !run.shown(kWheel);
}

// One scenario of the device and the states shown on its way.
struct Walk {
    const char* name;
    const char* scenario;
    std::function<void(UpdaterRun&)> states;
};

std::ostream& operator<<(std::ostream& out, const Walk& walk) { return out << walk.name; }

// The first screen as the program opens it: the pointer is nowhere near the window.
void firstScreen(UpdaterRun& run, const char* name)
{
    run.pump(4 * UpdaterRun::kTick);
    keep(screenshotOf(run), name);
}

// UPDATE, then the download to its end or its error.
void updateTo(UpdaterRun& run, const char* background, const char* name)
{
    run.click(kAction);
    ASSERT_TRUE(run.pumpUntil([&] { return onScreen(run, background, false); })) << name;
    // The pointer stays where UPDATE was; the button is gone.
    run.pump(4 * UpdaterRun::kTick);
    keep(screenshotOf(run), name);
}

const std::vector<Walk> kWalks = {
    {"NoDevice", "none", [](UpdaterRun& run) { firstScreen(run, "01-no-device"); }},
    {"UpdateAvailableToSuccess", "fresh",
     [](UpdaterRun& run) {
         firstScreen(run, "02-update-available");

         run.hover(kAction);
         keep(screenshotOf(run), "11-button-hover");

         run.click(kAbout);
         ASSERT_TRUE(run.shown(kOverlay));
         keep(screenshotOf(run), "10-about");
         run.click(kOverlay);
         ASSERT_FALSE(run.shown(kOverlay));

         // The download held at the device's gate while the wheel turns.
         auto faults = run.device()->faults();
         faults.gateBlock = kGateBlock;
         run.device()->setFaults(faults);
         run.click(kAction);
         // Never wait for a worker that the click did not start.
         ASSERT_TRUE(run.shown(kWheel)) << "UPDATE did not start the download";
         run.device()->waitForGate();
         ASSERT_TRUE(run.pumpUntil([&] { return run.attribute(kWheel, "step") == "S3"; }, 2000));
         keep(screenshotOf(run), "04-updating");

         // Closing asks first: the box comes up over the window; the walk clicks No.
         {
             OS::MessageBoxWindowScope windows;
             OS::clearMessageBoxRecords();
             bool seen = false;
             OS::Testing::later(UpdaterRun::kTick, [&] {
                 const OS::HWND box = OS::Testing::findBox();
                 ASSERT_NE(box, nullptr);
                 seen = true;
                 keep(withBox(run, box), "09-quit-question");
                 EXPECT_TRUE(OS::Testing::clickButton(box, OS::IDNO));
             });
             OS::postMessage(run.window(), OS::WM_CLOSE, 0, 0);
             OS::pumpMessages();
             EXPECT_TRUE(seen);
             const auto boxes = OS::messageBoxRecords();
             ASSERT_EQ(boxes.size(), 1u);
             EXPECT_EQ(boxes[0].answer, OS::IDNO);
             EXPECT_NE(boxes[0].textUtf8().find("Do you really want to quit ?"), std::string::npos);
         }

         run.device()->releaseGate();
         ASSERT_TRUE(run.pumpUntil([&] { return onScreen(run, "ok", false); }));
         EXPECT_EQ(run.device()->firmwareRevision(), 0x0036);
         run.pump(4 * UpdaterRun::kTick);
         keep(screenshotOf(run), "05-success");
     }},
    {"UpToDate", "up-to-date", [](UpdaterRun& run) { firstScreen(run, "03-up-to-date"); }},
    {"DownloadError", "fresh,stall-block=7", [](UpdaterRun& run) { updateTo(run, "error", "06-error-download"); }},
    {"WrongRevision", "fresh,wrong-revision=0x35",
     [](UpdaterRun& run) { updateTo(run, "error", "07-error-revision"); }},
    {"BootFailed", "fresh,no-return=detach",
     [](UpdaterRun& run) {
         run.click(kAction);
         ASSERT_TRUE(run.pumpUntil([&] { return onScreen(run, "error", true); }));
         // RETRY is where UPDATE was: the pointer leaves it, so that it shows its own look
         // rather than the hovered one of 11-button-hover.
         run.pointAway();
         run.pump(4 * UpdaterRun::kTick);
         keep(screenshotOf(run), "08-boot-failed");
     }},
};

class ScreenshotWalkThreaded : public ::testing::TestWithParam<Walk> {
protected:
    OS::ManualClockScope clock;
};

TEST_P(ScreenshotWalkThreaded, ShowsEveryState)
{
    UpdaterRun run(GetParam().scenario);
    ASSERT_TRUE(run.start());
    ASSERT_NE(run.window(), nullptr);
    GetParam().states(run);
    run.stop();
}

INSTANTIATE_TEST_SUITE_P(Walk, ScreenshotWalkThreaded, ::testing::ValuesIn(kWalks),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace HA::TEST
