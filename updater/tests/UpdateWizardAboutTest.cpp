// The wizard's about panel: its title's size by the title's bytes, the version line, the
// centring of the panel when shown, and every way to open and close it.

#include <gtest/gtest.h>

#include <ostream>
#include <string>

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
    for (int time = 0; time < 2; ++time) {
        SCOPED_TRACE(time);
        host.wizard->showAbout();
        host.tick();
        const auto& overlay = host.wizard->getAboutOverlay();
        EXPECT_TRUE(overlay->isShown());
        EXPECT_EQ(overlay->getSize(), (HWL::Widget::tSize{kWizardWidth, kWizardHeight}));
        EXPECT_EQ(overlay->getMargins(), (HWL::Widget::tMargins{89, 31, 89, 31}));
    }
    host.wizard->hideAbout();
    host.tick();
    EXPECT_FALSE(host.wizard->getAboutOverlay()->isShown());
}

}  // namespace
