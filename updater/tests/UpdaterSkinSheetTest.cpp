// The updater's sheet read by the widget library's parser: not one message on the error
// list, its constants and rules, and what each rule makes of its pictures and fonts.

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "hwl/core/src/errors/ErrorListeners.h"
#include "hwl/core/src/style/StyleConversions.h"
#include "hwl/core/src/style/StyleParser2.h"
#include "hwl/core/src/style/StyleSheet.h"
#include "updater/tests/SkinTestSupport.h"

using namespace HA;
using namespace HA::TEST;

namespace {

// Collects what reaches the widget library's error list while it lives.
class ErrorList {
public:
    ErrorList()
    {
        mSaved.swap(HWL::errorListeners());
        HWL::errorListeners().push_back([this](const std::string& text) { texts.push_back(text); });
    }
    ~ErrorList() { mSaved.swap(HWL::errorListeners()); }
    ErrorList(const ErrorList&) = delete;
    ErrorList& operator=(const ErrorList&) = delete;

    std::vector<std::string> texts;

private:
    std::vector<HWL::tErrorListener> mSaved;
};

class UpdaterSkinSheetRulesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ErrorList errors;
        ok = parser.processBuffer(std::string(linkedSheet()), "FirmwareUpdaterStyles.txt");
        messages = errors.texts;
    }

    HWL::StyleParser2 parser{nullptr};
    bool ok = false;
    std::vector<std::string> messages;
};

TEST_F(UpdaterSkinSheetRulesTest, ParsesWithoutAMessage)
{
    EXPECT_TRUE(ok);
    EXPECT_TRUE(messages.empty()) << messages.front();
    EXPECT_TRUE(parser.getErrors().empty());
    EXPECT_EQ(parser.getConstants().size(), 17u);
    // 59 rules of the wizard and its about panel, 27 of the design and debug widgets.
    EXPECT_EQ(parser.getRules().size(), 86u);
}

// Every picture a rule makes is one of the table's, under the sheet's exact spelling, with
// the table's frames, and with nine-patch margins on the sides the picture stretches cleanly.
TEST_F(UpdaterSkinSheetRulesTest, EveryPictureARuleMakesHasTheTablesFramesAndMargins)
{
    std::set<std::string> names;
    for (const HWL::StyleParser2::tRule& rule : parser.getRules()) {
        HWL::StyleSheet::tDerived derived = HWL::StyleSheet::derive(rule, HWL::getDefaultFontDesc());
        if (!derived.picture)
            continue;
        const std::string& name = derived.picture->name;
        SCOPED_TRACE("rule at line " + std::to_string(rule.startLine) + ": " + name);
        const PictureRow* row = findPicture(name);
        ASSERT_NE(row, nullptr);
        EXPECT_TRUE(linked(name, "PICTURE"));
        names.insert(name);

        const UIA::PictureProperties& d = derived.picture->description;
        EXPECT_EQ(d.getFrameCount(), static_cast<std::uint32_t>(row->frames));
        if (d.getMarginFlags() & UIA::PictureProperties::kHorizontalMargins) {
            EXPECT_TRUE(row->sides & kAcross);
            EXPECT_EQ(d.getLeftMargin(), row->margin);
            EXPECT_EQ(d.getRightMargin(), row->margin);
        }
        if (d.getMarginFlags() & UIA::PictureProperties::kVerticalMargins) {
            EXPECT_TRUE(row->sides & kDown);
            EXPECT_EQ(d.getTopMargin(), row->margin);
            EXPECT_EQ(d.getBottomMargin(), row->margin);
        }
    }
    EXPECT_EQ(names.size(), std::size(kPictures)) << "every picture of the table is named by a rule";
}

// Every rule that names a font names the linked "ferro.ttf" at 11 to 16 pixels, with the
// default flags.
TEST_F(UpdaterSkinSheetRulesTest, EveryFontIsTheSheetsFontAtItsSize)
{
    int fonts = 0;
    for (const HWL::StyleParser2::tRule& rule : parser.getRules()) {
        HWL::StyleSheet::tDerived derived = HWL::StyleSheet::derive(rule, HWL::getDefaultFontDesc());
        if (!derived.font)
            continue;
        SCOPED_TRACE("rule at line " + std::to_string(rule.startLine));
        ++fonts;
        EXPECT_EQ(derived.font->name, "ferro.ttf");
        EXPECT_EQ(derived.font->resourceId, 0);
        EXPECT_EQ(derived.font->flags, HWL::getDefaultFontDesc().flags);
        EXPECT_GE(derived.font->size, 11);
        EXPECT_LE(derived.font->size, 16);
    }
    EXPECT_GT(fonts, 0);
    EXPECT_TRUE(linked("ferro.ttf", "TTFd"));
}

}  // namespace
