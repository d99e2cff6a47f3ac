// The wizard's about panel: its title's size by the title's bytes, the version line, the
// centring of the panel when shown, and every way to open and close it.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "hwl/core/src/canvas/Canvas.h"
#include "hwl/core/src/cascade/StyleSheets.h"
#include "hwl/core/src/library/Init.h"
#include "hwl/core/src/resources/ManagerContainer.h"
#include "updater/tests/SkinTestSupport.h"
#include "updater/tests/WizardTestSupport.h"

using namespace HA;
using namespace HA::TEST;

namespace {

UpdaterDescription describe(const std::string& title)
{
    return UpdaterDescription("Vireo Interface", "Vireo", "Vireo", "Vireo Updater", title, "\xC2\xA9 2026",
                              "1.2.0 (R237)", {"one", "two", "three", "four", ""}, "key", {}, {}, {}, {}, {}, {}, {},
                              {});
}

struct TitleCase {
    const char* name;
    std::string title;
    const char* titleLength;  // the attribute, "<unset>" when not set
};

void PrintTo(const TitleCase& c, std::ostream* out)
{
    *out << c.name;
}

const std::string kTwoBytes = "\xC3\x89";  // one character, two bytes of UTF-8

class AboutTitleTest : public ::testing::TestWithParam<TitleCase> {};

TEST_P(AboutTitleTest, ALongTitleCountsItsBytes)
{
    const TitleCase& c = GetParam();
    SkinScope skin;
    auto wizard = std::make_shared<UpdateWizardMainWidget>(describe(c.title));
    EXPECT_EQ(wizard->getAboutTitle()->getText(), c.title);
    EXPECT_EQ(attribute(*wizard->getAboutTitle(), "titleLength"), c.titleLength);
}

INSTANTIATE_TEST_SUITE_P(
    Titles, AboutTitleTest,
    ::testing::Values(TitleCase{"Product", "VIREO INTERFACE UPDATER", "<unset>"},
                      TitleCase{"ThirtySixBytes", std::string(36, 'A'), "<unset>"},
                      TitleCase{"ThirtySevenBytes", std::string(37, 'A'), "large"},
                      TitleCase{"ThirtyFiveCharactersInThirtySixBytes", std::string(34, 'A') + kTwoBytes, "<unset>"},
                      TitleCase{"ThirtySixCharactersInThirtySevenBytes", std::string(35, 'A') + kTwoBytes, "large"}),
    [](const ::testing::TestParamInfo<TitleCase>& info) { return info.param.name; });

class AboutPanelTest : public ::testing::Test {
protected:
    OS::ManualClockScope clock;
    ScenarioDevice scenario;
    SkinScope skin;
};

TEST_F(AboutPanelTest, TheVersionLineIsTheApplicationNameAndTheFileVersion)
{
    WizardHost host;
    EXPECT_EQ(host.wizard->getAboutVersion()->getText(), std::string("Vireo Updater ") + HA_PROJECT_VERSION);
    std::shared_ptr<UpdateWizardMainWidget> wizard;
    {
        NoLinkedResourcesScope none;
        wizard = std::make_shared<UpdateWizardMainWidget>(describe("VIREO INTERFACE UPDATER"));
    }
    EXPECT_EQ(wizard->getAboutVersion()->getText(), "Vireo Updater 1.2.0 (R237)");

    // Either form fits the label's 200 pixels in the sheet's font (F 11).
    HWL::Label& label = *host.wizard->getAboutVersion();
    HWL::StyleData& style = HWL::getStyleSheets().getStyleData(label);
    HWL::getStyleSheets().resolveStyleData(style);
    const UIA::Font* font = style.getFont();
    ASSERT_NE(font, nullptr);
    UIA::FontDesc sheets = HWL::getDefaultFontDesc();
    sheets.name = "ferro.ttf";
    sheets.resourceId = 0;
    sheets.size = 11;
    EXPECT_EQ(font, HWL::getManager()->getFont(sheets));
    for (const std::string& text : {label.getText(), std::string("Vireo Updater 1.2.0 (R237)")})
        EXPECT_LE(font->getTextWidth(text.c_str()), 200) << text;
}

TEST_F(AboutPanelTest, ItHoldsTheTitleInfosAnEmptyRevisionAndFiveContributorLinesAllDisabled)
{
    WizardHost host;
    const auto& overlay = host.wizard->getAboutOverlay();
    ASSERT_EQ(host.wizard->getChildren().size(), 3u);
    EXPECT_EQ(host.wizard->getChildren()[2], overlay);
    EXPECT_EQ(overlay->getId(), "FirmwareUpdaterOverlay");
    EXPECT_EQ(overlay->getText(), "");
    EXPECT_FALSE(overlay->hasFlag(HWL::Widget::eVisible));
    EXPECT_TRUE(overlay->hasFlag(HWL::Widget::ePositionFixed));
    const auto& panel = host.wizard->getAboutPanel();
    EXPECT_EQ(panel->getId(), "FirmwareUpdaterOverlayPanel");
    EXPECT_EQ(panel->getStyle(), "Panel");
    EXPECT_FALSE(panel->hasFlag(HWL::Widget::eEnabled));
    const char* const ids[] = {"FirmwareUpdaterAboutTitle", "FirmwareUpdaterAboutInfos",
                               "FirmwareUpdaterAboutFirmwareRevision", "FirmwareUpdaterAboutContributors"};
    ASSERT_EQ(panel->getChildren().size(), 4u);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(panel->getChildren()[i]->getId(), ids[i]);
    EXPECT_EQ(static_cast<const HWL::Label&>(*panel->getChildren()[2]).getText(), "");
    const auto& infos = panel->getChildren()[1]->getChildren();
    ASSERT_EQ(infos.size(), 2u);
    EXPECT_EQ(infos[0]->getId(), "FirmwareUpdaterAboutVersion");
    EXPECT_EQ(infos[1]->getId(), "FirmwareUpdaterAboutCopyright");
    EXPECT_EQ(static_cast<const HWL::Label&>(*infos[1]).getText(), "\xC2\xA9 2026");
    const auto& lines = host.wizard->getAboutContributors()->getChildren();
    ASSERT_EQ(lines.size(), 5u);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(lines[i]->getId(), "FirmwareUpdaterAboutContributorsLine");
        EXPECT_EQ(static_cast<const HWL::Label&>(*lines[i]).getText(), host.description->contributors[i]);
        EXPECT_FALSE(lines[i]->hasFlag(HWL::Widget::eEnabled));
    }
    for (const auto& child : panel->getChildren()) {
        if (child != host.wizard->getAboutContributors()) {
            EXPECT_FALSE(child->hasFlag(HWL::Widget::eEnabled)) << child->getId();
        }
    }
    for (const auto& info : infos)
        EXPECT_FALSE(info->hasFlag(HWL::Widget::eEnabled)) << info->getId();
}

TEST_F(AboutPanelTest, ShownTwiceItStaysShownWithTheSameMargins)
{
    ASSERT_TRUE(scenario.setUp("none"));
    WizardHost host;
    host.start();
    const auto& overlay = host.wizard->getAboutOverlay();
    // Twice in a row, then once more after closing it.
    for (int time = 0; time < 3; ++time) {
        SCOPED_TRACE(time);
        if (time == 2) {
            host.wizard->hideAbout();
            host.tick();
            EXPECT_FALSE(overlay->isShown());
        }
        host.wizard->showAbout();
        host.tick();
        EXPECT_TRUE(overlay->isShown());
        EXPECT_EQ(overlay->getSize(), (HWL::Widget::tSize{kWizardWidth, kWizardHeight}));
        EXPECT_EQ(overlay->getMargins(), (HWL::Widget::tMargins{89, 31, 89, 31}));
        // The panel's picture, centred.
        EXPECT_EQ(host.wizard->getAboutPanel()->getBounds(), (GP::Rect{89, 31, 539, 305}));
    }
    host.wizard->hideAbout();
    host.tick();
    EXPECT_FALSE(overlay->isShown());
}

}  // namespace

namespace {

// Clicks through the window's input on the open panel: each closes it.
struct CloseCase {
    const char* name;
    // Where to click, in the window's client area.
    GP::Point (*where)(const UpdateWizardMainWidget& wizard);
};

void PrintTo(const CloseCase& c, std::ostream* out)
{
    *out << c.name;
}

GP::Point centre(const GP::Rect& r)
{
    return GP::Point{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

class AboutCloseTest : public ::testing::TestWithParam<CloseCase> {
protected:
    OS::ManualClockScope clock;
    ScenarioDevice scenario;
    SkinScope skin;
};

TEST_P(AboutCloseTest, AnyClickOnThePanelClosesIt)
{
    ASSERT_TRUE(scenario.setUp("none"));
    WizardHost host;
    host.start();
    host.wizard->showAbout();
    host.tick();
    ASSERT_TRUE(host.wizard->getAboutOverlay()->isShown());
    const GP::Point point = GetParam().where(*host.wizard);
    host.clickAt(point);
    host.tick();
    EXPECT_FALSE(host.wizard->getAboutOverlay()->isShown()) << "clicked at " << point.x << "," << point.y;
    // Nothing under it was clicked: still the connect screen.
    EXPECT_EQ(host.wizard->getState(), UpdateWizardMainWidget::eConnect);
}

INSTANTIATE_TEST_SUITE_P(
    Clicks, AboutCloseTest,
    ::testing::Values(
        CloseCase{"OverlayCorner", [](const UpdateWizardMainWidget&) { return GP::Point{2, 2}; }},
        CloseCase{"PanelCentre",
                  [](const UpdateWizardMainWidget& w) { return centre(w.getAboutPanel()->getBounds()); }},
        CloseCase{"ContributorLine",
                  [](const UpdateWizardMainWidget& w) {
                      return centre(w.getAboutContributors()->getChildren()[1]->getBounds());
                  }},
        CloseCase{"Title", [](const UpdateWizardMainWidget& w) { return centre(w.getAboutTitle()->getBounds()); }},
        // Over the action button, which the panel covers.
        CloseCase{"OverTheActionButton",
                  [](const UpdateWizardMainWidget& w) { return centre(w.getActionButton()->getBounds()); }}),
    [](const ::testing::TestParamInfo<CloseCase>& info) { return info.param.name; });

// The "About" button opens the panel in every state, the updating one included (the worker
// held at the device's gate meanwhile).
struct OpenCase {
    const char* name;
    const char* words;
    int presses;  // of the action button before the click on "About"
    int state;
    bool held;    // the download is held at the gate
    bool run;     // the download runs to its end first
};

void PrintTo(const OpenCase& c, std::ostream* out)
{
    *out << c.name;
}

class AboutOpensThreaded : public ::testing::TestWithParam<OpenCase> {
protected:
    OS::ManualClockScope clock;
    ScenarioDevice scenario;
    SkinScope skin;
};

TEST_P(AboutOpensThreaded, FromTheAboutButton)
{
    const OpenCase& c = GetParam();
    OS::SIM::VireoFaults gate;
    if (c.held)
        gate.gateBlock = 10;
    ASSERT_TRUE(scenario.setUp(c.words, &gate));
    WizardHost host;
    host.start();
    for (int i = 0; i < c.presses; ++i)
        host.press(*host.wizard->getActionButton());
    if (c.held)
        scenario.device->waitForGate();
    if (c.run)
        host.tickUntilDownloadEnds();
    host.tick();
    EXPECT_EQ(host.wizard->getState(), c.state);
    host.click(*host.wizard->getAboutButton());
    host.tick();
    EXPECT_TRUE(host.wizard->getAboutOverlay()->isShown());
    EXPECT_EQ(host.wizard->getAboutOverlay()->getMargins(), (HWL::Widget::tMargins{89, 31, 89, 31}));
    EXPECT_EQ(host.wizard->getState(), c.state);
    if (c.held) {
        scenario.device->releaseGate();
        host.tickUntilDownloadEnds();
        EXPECT_EQ(host.wizard->getState(), UpdateWizardMainWidget::eSuccess);
        // The panel stays open over the new screen.
        EXPECT_TRUE(host.wizard->getAboutOverlay()->isShown());
    }
}

INSTANTIATE_TEST_SUITE_P(States, AboutOpensThreaded,
                         ::testing::Values(OpenCase{"Connect", "none", 0, UpdateWizardMainWidget::eConnect, false, false},
                                           OpenCase{"UpdateAvailable", "", 0, UpdateWizardMainWidget::eUpdateAvailable,
                                                    false, false},
                                           OpenCase{"Updating", "", 1, UpdateWizardMainWidget::eUpdating, true, false},
                                           OpenCase{"Success", "", 1, UpdateWizardMainWidget::eSuccess, false, true}),
                         [](const ::testing::TestParamInfo<OpenCase>& info) { return info.param.name; });

}  // namespace

namespace {

TEST_F(AboutPanelTest, TheOpenPanelVeilsTheWizardAndShowsItsPictureUnstretched)
{
    ASSERT_TRUE(scenario.setUp("none"));
    WizardHost host;
    host.start();
    host.tick();
    const OS::WindowPixels closed = host.pixels();
    host.wizard->showAbout();
    host.tick();
    const OS::WindowPixels open = host.pixels();

    const GP::Rect panel = host.wizard->getAboutPanel()->getBounds();
    EXPECT_EQ(panel.right - panel.left, 450);
    EXPECT_EQ(panel.bottom - panel.top, 274);

    // The expected picture: the closed wizard under the overlay's rgba(0, 0, 0, 128), then
    // the panel's picture at the panel's place, as the canvas draws them.
    HWL::BackgroundDrawingCanvas canvas;
    canvas.resize(kWizardWidth, kWizardHeight);
    std::copy(closed.pixels.begin(), closed.pixels.end(), canvas.getPixels());
    canvas.fillRect(GP::Rect{0, 0, kWizardWidth, kWizardHeight}, 0x80000000u);
    auto picture = decode(*linked("BG_OVERLAY_FU.PNG", "PICTURE"));
    ASSERT_TRUE(picture);
    canvas.drawPicture(GP::Point{panel.left, panel.top}, *picture, 0, std::nullopt, true);
    UIA::TEST::ExpectedPixels expected(kWizardWidth, kWizardHeight, 0);
    std::copy(canvas.getPixels(), canvas.getPixels() + expected.pixels.size(), expected.pixels.begin());

    // The labels' texts are theirs to draw: their places keep what the window shows.
    std::vector<GP::Rect> texts;
    for (const HWL::Widget* label :
         {static_cast<const HWL::Widget*>(host.wizard->getAboutTitle().get()),
          static_cast<const HWL::Widget*>(host.wizard->getAboutVersion().get())})
        texts.push_back(label->getBounds());
    for (const auto& child : host.wizard->getAboutPanel()->getChildren()[1]->getChildren())
        texts.push_back(child->getBounds());
    for (const auto& line : host.wizard->getAboutContributors()->getChildren())
        texts.push_back(line->getBounds());
    int textPixels = 0;
    for (int y = 0; y < kWizardHeight; ++y)
        for (int x = 0; x < kWizardWidth; ++x)
            for (const GP::Rect& r : texts)
                if (x >= r.left && x < r.right && y >= r.top && y < r.bottom) {
                    expected.at(x, y) = open.at(x, y);
                    textPixels += open.at(x, y) != canvas.getPixels()[y * kWizardWidth + x];
                    break;
                }
    // Outside the panel exactly; on it, the picture's blend may round either way.
    const GP::Rect onPanel{panel.left, panel.top, panel.left + 450, panel.top + 274};
    int wrong = 0;
    std::string first;
    for (int y = 0; y < kWizardHeight; ++y)
        for (int x = 0; x < kWizardWidth; ++x) {
            const std::uint32_t a = open.at(x, y), b = expected.at(x, y);
            const bool inside = x >= onPanel.left && x < onPanel.right && y >= onPanel.top && y < onPanel.bottom;
            bool same = a == b;
            if (!same && inside) {
                same = true;
                for (int shift = 0; shift < 32; shift += 8)
                    same = same && std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF)) <= 1;
            }
            if (!same && wrong++ == 0)
                first = std::to_string(x) + "," + std::to_string(y) + ": " + UIA::TEST::hex(a) + " instead of " +
                        UIA::TEST::hex(b);
        }
    EXPECT_EQ(wrong, 0) << "first difference at " << first;
    if (wrong) {
        host.writePicture("about-open");
        UIA::TEST::writePixelsPng((outputFolder() / "about-open-expected-FAILED.png").string(), kWizardWidth,
                                  kWizardHeight, expected.pixels);
    }
    // Something was written on the panel.
    EXPECT_GT(textPixels, 100);
}

}  // namespace
