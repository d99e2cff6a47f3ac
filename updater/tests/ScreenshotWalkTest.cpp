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

#include "os/windows/MessageBox.h"
#include "os/kernel/Text.h"
#include "uia/graphics/text/Font.h"
#include "uia/graphics/picture/Picture.h"
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

// Lines of at most `width` pixels, broken at blanks and at line feeds.
std::vector<std::string> wrap(const UIA::Font& font, const std::string& text, int width)
{
    std::vector<std::string> lines;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find('\n', start);
        const std::string paragraph = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
        std::string line;
        size_t word = 0;
        while (word <= paragraph.size()) {
            size_t blank = paragraph.find(' ', word);
            const std::string next = paragraph.substr(word, blank == std::string::npos ? std::string::npos : blank - word);
            const std::string longer = line.empty() ? next : line + " " + next;
            if (!line.empty() && font.getTextWidth(longer.c_str()) > width) {
                lines.push_back(line);
                line = next;
            } else {
                line = longer;
            }
            if (blank == std::string::npos)
                break;
            word = blank + 1;
        }
        lines.push_back(line);
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    return lines;
}

// The stand-in's message boxes have no pixels: the walk draws the box it recorded over the
// window, a plain dialog with its caption, question icon, text and buttons, the default
// button marked.
Screenshot withBox(const Screenshot& under, const OS::MessageBoxRecord& box)
{
    UIA::Picture picture;
    picture.setSize(under.width, under.height, UIA::Picture::eBlock::Discard);
    for (size_t i = 0; i < under.pixels.size(); ++i)
        picture.getPixels()[i] = 0xFF000000u | under.pixels[i];

    UIA::FontDesc description;
    description.resourceId = 1;
    description.size = 12;
    const UIA::Font font(description);
    const int lineHeight = font.getLineHeight();
    const int boxWidth = 420, textLeft = 64, textWidth = boxWidth - textLeft - 16;
    const std::vector<std::string> lines = wrap(font, box.textUtf8(), textWidth);
    const int captionHeight = 26, buttonHeight = 24, buttonWidth = 80;
    const int textHeight = int(lines.size()) * lineHeight;
    const int boxHeight = captionHeight + 20 + textHeight + 20 + buttonHeight + 14;
    const int left = (under.width - boxWidth) / 2, top = (under.height - boxHeight) / 2;

    picture.fillRect(left + 4, top + 4, boxWidth, boxHeight, 0x60000000);  // shadow
    picture.fillRect(left, top, boxWidth, boxHeight, 0xFFF2F2F2);
    picture.drawFrameRect(left, top, boxWidth, boxHeight, 0xFF5A5A5A);
    picture.fillRect(left + 1, top + 1, boxWidth - 2, captionHeight - 1, 0xFF2D3A46);
    font.drawText(picture, GP::Rect{left + 10, top + 1, left + boxWidth - 10, top + captionHeight},
                  box.captionUtf8().c_str(), 0xFFFFFFFF, UIA::Font::AlignLeft, 0);

    // The question icon: a blue disc with a question mark.
    const int iconX = left + 18, iconY = top + captionHeight + 18, radius = 16;
    for (int y = -radius; y <= radius; ++y)
        for (int x = -radius; x <= radius; ++x)
            if (x * x + y * y <= radius * radius)
                picture.blendPixel(iconX + radius + x, iconY + radius + y, 0xFF2F6FB5);
    UIA::FontDesc bold = description;
    bold.size = 22;
    const UIA::Font iconFont(bold);
    iconFont.drawText(picture, GP::Rect{iconX, iconY, iconX + 2 * radius + 1, iconY + 2 * radius + 1}, "?",
                      0xFFFFFFFF, 0, 0);

    const int textTop = top + captionHeight + 20;
    for (size_t i = 0; i < lines.size(); ++i) {
        const int y = textTop + int(i) * lineHeight;
        font.drawText(picture, GP::Rect{left + textLeft, y, left + textLeft + textWidth, y + lineHeight},
                      lines[i].c_str(), 0xFF1E1E1E, UIA::Font::AlignLeft, 0);
    }

    // Yes and No, the default one framed twice.
    const std::vector<int> buttons = {OS::IDYES, OS::IDNO};
    const int buttonTop = top + boxHeight - 14 - buttonHeight;
    int x = left + boxWidth - 16 - int(buttons.size()) * (buttonWidth + 10) + 10;
    for (int id : buttons) {
        picture.fillRect(x, buttonTop, buttonWidth, buttonHeight, 0xFFE1E1E1);
        picture.drawFrameRect(x, buttonTop, buttonWidth, buttonHeight, 0xFF7A7A7A);
        if (id == box.defaultButton()) {
            picture.drawFrameRect(x, buttonTop, buttonWidth, buttonHeight, 0xFF2F6FB5);
            picture.drawFrameRect(x + 1, buttonTop + 1, buttonWidth - 2, buttonHeight - 2, 0xFF2F6FB5);
        }
        font.drawText(picture, GP::Rect{x, buttonTop, x + buttonWidth, buttonTop + buttonHeight},
                      OS::buttonName(id), 0xFF1E1E1E, 0, 0);
        x += buttonWidth + 10;
    }

    Screenshot shot = under;
    for (size_t i = 0; i < shot.pixels.size(); ++i)
        shot.pixels[i] = picture.getPixels()[i] & 0xFFFFFF;
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

         // Closing asks first; the walk answers No and draws the box over the window.
         {
             OS::MessageBoxScript boxes([](const std::string& problem) { ADD_FAILURE() << problem; });
             boxes.expect(OS::IDNO, "Do you really want to quit ?");
             const Screenshot updating = screenshotOf(run);
             OS::postMessage(run.window(), OS::WM_CLOSE, 0, 0);
             OS::pumpMessages();
             ASSERT_EQ(boxes.shown().size(), 1u);
             keep(withBox(updating, boxes.shown()[0]), "09-quit-question");
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
