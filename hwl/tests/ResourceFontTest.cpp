#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "hwl/core/src/resources/ManagerContainer.h"
#include "hwl/tests/ResourceTestSupport.h"
#include "uia/tests/FontTestSupport.h"

namespace HA::HWL {
namespace {

using UIA::Font;
using UIA::FontDesc;
using Texts = std::vector<std::string>;

FontDesc fileFont(const std::string& name, int size)
{
    FontDesc description;
    description.name = name;
    description.size = size;
    return description;
}

class SkinFontTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        static_cast<void>(UIA::TEST::kFreeTypePropertiesCleared);
        TEST::fs::create_directories(fonts());
    }
    TEST::fs::path fonts() const { return folders.work() / "skin" / "fonts"; }
    std::string reported(const std::string& name) const
    {
        return TEST::kMissingFile + (folders.work() / "skin").string() + "\\fonts\\" + name;
    }

    TEST::ScratchFolders folders;
    TEST::SkinLookupScope lookup{true};
    TEST::ErrorRecorder errors;
    ManagerContainer manager;
};

TEST_F(SkinFontTest, MissingFileIsTriedAgainAtTheNextRequest)
{
    const FontDesc description = fileFont("f.ttf", 12);
    EXPECT_EQ(manager.getFont(description), nullptr);
    EXPECT_EQ(manager.getFont(description), nullptr);
    EXPECT_EQ(errors.texts, (Texts{reported("f.ttf"), reported("f.ttf")}));

    TEST::writeFile(fonts() / "f.ttf", UIA::TEST::sansBytes());
    const Font* font = manager.getFont(description);
    ASSERT_NE(font, nullptr);
    EXPECT_GT(font->getTextWidth("Vireo"), 0);
    EXPECT_EQ(manager.getFont(description), font);
    EXPECT_EQ(errors.texts.size(), 2u);
}

TEST_F(SkinFontTest, EachDescriptionHasItsOwnFont)
{
    TEST::writeFile(fonts() / "f.ttf", UIA::TEST::sansBytes());
    const Font* small = manager.getFont(fileFont("f.ttf", 10));
    const Font* large = manager.getFont(fileFont("f.ttf", 20));
    FontDesc boldDescription = fileFont("f.ttf", 10);
    boldDescription.flags = FontDesc::Bold;
    const Font* bold = manager.getFont(boldDescription);
    ASSERT_NE(small, nullptr);
    ASSERT_NE(large, nullptr);
    ASSERT_NE(bold, nullptr);
    EXPECT_NE(small, large);
    EXPECT_NE(small, bold);
    EXPECT_LT(small->getTextWidth("Vireo"), large->getTextWidth("Vireo"));
}

TEST_F(SkinFontTest, UnreadableFontStaysMade)
{
    TEST::writeFile(fonts() / "bad.ttf", std::string("not a font"));
    const FontDesc description = fileFont("bad.ttf", 12);
    const Font* font = manager.getFont(description);
    ASSERT_NE(font, nullptr);
    EXPECT_EQ(font->getTextWidth("Vireo"), 0);
    EXPECT_EQ(font->getLineHeight(), 10);

    TEST::writeFile(fonts() / "bad.ttf", UIA::TEST::sansBytes());
    EXPECT_EQ(manager.getFont(description), font);
    EXPECT_EQ(font->getTextWidth("Vireo"), 0);
    EXPECT_TRUE(errors.texts.empty());
}

TEST_F(SkinFontTest, FamilyDescriptionLooksUpNoFile)
{
    TEST::writeFile(fonts() / "Family", UIA::TEST::sansBytes());
    FontDesc description = fileFont("Family", 12);
    description.flags = FontDesc::Family;
    const Font* font = manager.getFont(description);
    ASSERT_NE(font, nullptr);
    EXPECT_EQ(font->getTextWidth("Vireo"), 0);
    EXPECT_EQ(font->getLineHeight(), 10);
    EXPECT_EQ(manager.getFont(description), font);
    EXPECT_TRUE(errors.texts.empty());
}

TEST(LinkedFontTest, MissingFontFileIsReportedByName)
{
    TEST::ScratchFolders folders;
    TEST::SkinLookupScope lookup(false);
    TEST::ErrorRecorder errors;
    ManagerContainer manager;
    EXPECT_EQ(manager.getFont(fileFont("ferro.ttf", 12)), nullptr);
    EXPECT_EQ(errors.texts, Texts{TEST::kMissingLinked + "ferro.ttf"});
}

TEST(LinkedFontTest, FamilyWithResourceIdZeroIsAFontThatDrawsNothing)
{
    TEST::ScratchFolders folders;
    TEST::SkinLookupScope lookup(false);
    TEST::ErrorRecorder errors;
    ManagerContainer manager;
    FontDesc description;
    description.name = "Sans";
    description.size = 12;
    description.flags = FontDesc::Family;
    const Font* font = manager.getFont(description);
    ASSERT_NE(font, nullptr);
    EXPECT_EQ(font->getTextWidth("Vireo"), 0);
    EXPECT_EQ(font->getLineHeight(), 10);
    EXPECT_EQ(manager.getFont(description), font);
    EXPECT_TRUE(errors.texts.empty());
}

}  // namespace
}  // namespace HA::HWL
