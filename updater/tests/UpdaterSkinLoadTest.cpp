// The updater's sheet loaded as the application loads it, through the resource manager:
// from the linked resources without a message on the error list, every picture and font of
// its rules found; from a skin folder when one is there; and without the folder's sheet the
// built-in rules stay.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <variant>
#include <vector>

#include "hwl/core/src/cascade/StyleSheets.h"
#include "hwl/core/src/resources/ManagerContainer.h"
#include "hwl/core/src/style/StyleNames.h"
#include "hwl/tests/ResourceTestSupport.h"
#include "updater/tests/SkinTestSupport.h"

using namespace HA;
using HWL::StyleSheet;

namespace {

const std::string kSheet = "FirmwareUpdaterStyles.txt";

const std::vector<StyleSheet::tSelectorValue>& rulesFor(HWL::StyleSheets& sheets, ha::symbol property)
{
    static const std::vector<StyleSheet::tSelectorValue> none;
    const StyleSheet::tRules& rules = sheets.getGlobalSheet().getRules();
    auto it = rules.find(property);
    return it == rules.end() ? none : it->second;
}

// Whether a rule of the global sheet has a selector with this id.
bool hasRuleFor(HWL::StyleSheets& sheets, ha::symbol property, const std::string& id)
{
    for (const StyleSheet::tSelectorValue& entry : rulesFor(sheets, property))
        if (entry.selector.id.str() == id)
            return true;
    return false;
}

class UpdaterSkinLoadTest : public ::testing::Test {
protected:
    HWL::TEST::ScratchFolders folders;
    HWL::TEST::ErrorRecorder errors;
};

TEST_F(UpdaterSkinLoadTest, TheLinkedSheetLoadsWithoutAMessageAndFindsAllItNames)
{
    HWL::TEST::SkinLookupScope lookup(false);
    HWL::ManagerContainer manager;
    HWL::StyleSheets sheets(&manager);
    sheets.load(kSheet);
    EXPECT_EQ(manager.getResourceMode(), HWL::ManagerContainer::ModeLinked);
    EXPECT_TRUE(hasRuleFor(sheets, HWL::StyleNames::width, "FirmwareUpdaterBodyPanel"));

    const auto& pictures = rulesFor(sheets, HWL::StyleNames::picture);
    EXPECT_FALSE(pictures.empty());
    for (const StyleSheet::tSelectorValue& entry : pictures) {
        SCOPED_TRACE(entry.selector.id.str());
        const auto* picture = std::get_if<HWL::LazyPicture>(&entry.declaration.value);
        ASSERT_NE(picture, nullptr);
        EXPECT_NE(picture->get(1.0f), nullptr);
    }
    const auto& fonts = rulesFor(sheets, HWL::StyleNames::font);
    EXPECT_FALSE(fonts.empty());
    for (const StyleSheet::tSelectorValue& entry : fonts) {
        const auto* font = std::get_if<const UIA::Font*>(&entry.declaration.value);
        ASSERT_NE(font, nullptr);
        ASSERT_NE(*font, nullptr);
        EXPECT_GT((*font)->getTextWidth("QUIT"), 0);
    }
    EXPECT_TRUE(errors.texts.empty()) << errors.texts.front();
}

TEST_F(UpdaterSkinLoadTest, ASkinFolderGivesTheSheet)
{
    HWL::TEST::SkinLookupScope lookup(true);
    const auto skin = folders.work() / "skin";
    std::filesystem::copy(HA_SKIN_EXAMPLE_DIR, skin.string(), std::filesystem::copy_options::recursive);
    HWL::TEST::writeFile(skin / "stylesheets" / kSheet,
                         std::string(TEST::linkedSheet()) + "Bar#FromTheSkinFolder { width: 1; }\r\n");

    HWL::ManagerContainer manager;
    HWL::StyleSheets sheets(&manager);
    sheets.load(kSheet);
    EXPECT_EQ(manager.getResourceMode(), HWL::ManagerContainer::ModeSkin);
    EXPECT_TRUE(hasRuleFor(sheets, HWL::StyleNames::width, "FromTheSkinFolder"));
    EXPECT_TRUE(hasRuleFor(sheets, HWL::StyleNames::width, "FirmwareUpdaterBodyPanel"));
    for (const StyleSheet::tSelectorValue& entry : rulesFor(sheets, HWL::StyleNames::picture)) {
        const auto* picture = std::get_if<HWL::LazyPicture>(&entry.declaration.value);
        ASSERT_NE(picture, nullptr);
        EXPECT_NE(picture->get(1.0f), nullptr) << entry.selector.id.str();
    }
    EXPECT_TRUE(errors.texts.empty()) << errors.texts.front();
}

// Nothing falls back to the linked sheet: the built-in rules stay, and the miss is reported.
TEST_F(UpdaterSkinLoadTest, WithoutTheSkinFoldersSheetTheBuiltInRulesStay)
{
    HWL::TEST::SkinLookupScope lookup(true);
    const auto skin = folders.work() / "skin";
    std::filesystem::copy(HA_SKIN_EXAMPLE_DIR, skin.string(), std::filesystem::copy_options::recursive);
    std::filesystem::remove((skin / "stylesheets" / kSheet).string());

    HWL::ManagerContainer manager;
    HWL::StyleSheets sheets(&manager);
    const StyleSheet::tRules builtIn = sheets.getGlobalSheet().getRules();
    sheets.load(kSheet);
    EXPECT_EQ(manager.getResourceMode(), HWL::ManagerContainer::ModeSkin);
    EXPECT_FALSE(hasRuleFor(sheets, HWL::StyleNames::width, "FirmwareUpdaterBodyPanel"));
    const StyleSheet::tRules& now = sheets.getGlobalSheet().getRules();
    ASSERT_EQ(now.size(), builtIn.size());
    for (const auto& [property, entries] : builtIn) {
        SCOPED_TRACE(property.str());
        ASSERT_EQ(now.count(property), 1u);
        EXPECT_EQ(now.at(property).size(), entries.size());
    }
    ASSERT_EQ(errors.texts.size(), 1u);
    EXPECT_EQ(errors.texts[0].rfind(HWL::TEST::kMissingFile, 0), 0u) << errors.texts[0];
}

}  // namespace
