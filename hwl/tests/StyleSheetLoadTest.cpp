// Sheets loaded through the resource manager: linked resources, imports of registered
// resources, the updater's own sheet, failed loads, and derived pictures and fonts.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "gp/src/common/storage/ModuleResources.h"
#include "hwl/core/src/cascade/StyleSheets.h"
#include "hwl/core/src/resources/ManagerContainer.h"
#include "hwl/core/src/style/StyleParser2.h"
#include "hwl/core/src/style/StyleSheet.h"
#include "hwl/tests/ResourceTestSupport.h"
#include "uia/graphics/text/Font.h"

namespace HA::HWL {
namespace {

ha::symbol sym(const char* text)
{
    return ha::symbol(std::string(text));
}

const std::vector<StyleSheet::tSelectorValue>& entries(const StyleSheet& sheet, const char* property)
{
    static const std::vector<StyleSheet::tSelectorValue> none;
    auto found = sheet.getRules().find(sym(property));
    return found == sheet.getRules().end() ? none : found->second;
}

// Linked mode in a scratch working directory, with the error messages recorded.
class StyleSheetLoad : public ::testing::Test {
protected:
    TEST::ScratchFolders folders;
    TEST::ErrorRecorder errors;
    ManagerContainer manager;
};

TEST_F(StyleSheetLoad, UpdaterSheetParsesWithoutMessages)
{
    StyleParser2 parser(nullptr);
    auto stream = manager.getResourceStream("UpdaterStyles.txt", ManagerContainer::KindStyleSheet, true);
    ASSERT_TRUE(stream);
    ASSERT_TRUE(parser.processStream(stream.get(), "UpdaterStyles.txt"));
    EXPECT_EQ(errors.texts, std::vector<std::string>());
    EXPECT_EQ(parser.getConstants().size(), 17u);
    EXPECT_EQ(parser.getRules().size(), 86u);
    for (const auto& rule : parser.getRules()) {
        EXPECT_GT(rule.startLine, 1);
        EXPECT_FALSE(rule.declarations.empty());
    }
    const StyleParser2::tPropertyValue& label = parser.getConstants().at("colorLabel");
    EXPECT_EQ(label.unit, Property::Color);
    EXPECT_EQ(std::get<unsigned>(label.value), 0xE60A141Au);
}

TEST_F(StyleSheetLoad, UpdaterSheetReplacesTheBuiltInRules)
{
    StyleSheets sheets(&manager);
    ASSERT_EQ(entries(sheets.getGlobalSheet(), "background-color").size(), 4u);
    sheets.load("UpdaterStyles.txt");
    // This test links no fonts: only the manager's reports of them may come.
    for (const std::string& text : errors.texts)
        EXPECT_EQ(text, TEST::kMissingLinked + "ferro.ttf");
    for (const auto& entry : entries(sheets.getGlobalSheet(), "background-color"))
        EXPECT_EQ(entry.selector.source, sym("UpdaterStyles.txt")) << "a built-in rule is left";
    EXPECT_FALSE(entries(sheets.getGlobalSheet(), "picture").empty());
    EXPECT_FALSE(entries(sheets.getGlobalSheet(), "font").empty());
    EXPECT_EQ(sheets.getSheets().front().name, "UpdaterStyles.txt");
}

TEST_F(StyleSheetLoad, SameNameTwiceIsNotParsedAgain)
{
    StyleSheets sheets(&manager);
    sheets.load("missing.txt");
    ASSERT_EQ(errors.texts.size(), 1u);
    sheets.load("missing.txt");
    EXPECT_EQ(errors.texts.size(), 1u);
    // The failed load kept the built-in rules.
    EXPECT_EQ(entries(sheets.getGlobalSheet(), "background-color").size(), 4u);
}

TEST_F(StyleSheetLoad, UnsupportedEncodingKeepsThePreviousRules)
{
    static const char utf16[] = "\xFF\xFE" "a\0{\0x\0:\0" "1\0}\0";
    GP::registerResource("Utf16Sheet.txt", utf16, sizeof utf16 - 1);
    StyleSheet sheet(&manager);
    StyleParser2::processString(sheet, "a { x: 1; }");
    sheet.getMatchCache()[nullptr];
    sheet.loadResource("Utf16Sheet.txt");
    EXPECT_EQ(entries(sheet, "x").size(), 1u);
    EXPECT_TRUE(sheet.getMatchCache().empty());
    EXPECT_EQ(errors.texts, (std::vector<std::string>{"Stylesheet error: :0 - Unsupported buffer encoding"}));
}

TEST_F(StyleSheetLoad, ImportsOfRegisteredResources)
{
    static const char top[] = "@define $w 3;\n@import url('Imported.txt');\n@import url(\"sub\\Inner.txt\");\n"
                              "@import url('Imported.txt');\n@import url('Gone.txt');\nt { x: $i; }\n";
    static const char imported[] = "\n\ni { x: $w; y 2; }\n@define $i 9;\n";
    static const char inner[] = "n { x: 4; }\n";
    GP::registerResource("Top.txt", top, sizeof top - 1);
    GP::registerResource("Imported.txt", imported, sizeof imported - 1);
    GP::registerResource("sub\\Inner.txt", inner, sizeof inner - 1);
    StyleSheet sheet(&manager);
    sheet.loadResource("Top.txt");

    const auto& x = entries(sheet, "x");
    // In source order, imports at their place; the broken declaration of i is dropped alone.
    ASSERT_EQ(x.size(), 3u);
    EXPECT_EQ(x[0].selector.type, sym("i"));
    EXPECT_EQ(x[0].selector.source, sym("Imported.txt"));
    EXPECT_EQ(x[0].selector.startLine, 3);
    EXPECT_EQ(std::get<int>(x[0].declaration.value), 3);
    EXPECT_EQ(x[1].selector.type, sym("n"));
    EXPECT_EQ(std::get<int>(x[1].declaration.value), 4);
    EXPECT_EQ(x[2].selector.type, sym("t"));
    EXPECT_EQ(std::get<int>(x[2].declaration.value), 9);
    EXPECT_TRUE(entries(sheet, "y").empty());
    EXPECT_EQ(sheet.getImportedNames(), (std::set<std::string>{"Imported.txt", "sub/Inner.txt"}));
    EXPECT_EQ(errors.texts,
              (std::vector<std::string>{
                  "Stylesheet error: Imported.txt:3 - PARSER ERROR at line 3: Expecting :",
                  "Stylesheet error: :4 - PARSER ERROR at line 4: recursive import of stylesheet Imported.txt",
                  TEST::kMissingLinked + "Gone.txt",
                  "Stylesheet error: :5 - PARSER ERROR at line 5: Failed to import stylesheet Gone.txt"}));
}

TEST_F(StyleSheetLoad, DerivedPictureAndFontComeFromTheManager)
{
    StyleSheet sheet(&manager);
    StyleParser2::processString(sheet, "a { image: url('linked-picture.tga'); fixed: 1; font-size: 14; }\n"
                                       "b { image: no; font-name: url('gone.ttf'); }\n");
    const auto& pictures = entries(sheet, "picture");
    ASSERT_EQ(pictures.size(), 2u);
    EXPECT_NE(std::get<LazyPicture>(pictures[0].declaration.value).get(1.0f), nullptr);
    EXPECT_EQ(std::get<LazyPicture>(pictures[1].declaration.value).get(1.0f), nullptr);
    const auto& fonts = entries(sheet, "font");
    ASSERT_EQ(fonts.size(), 2u);
    const UIA::Font* sized = std::get<const UIA::Font*>(fonts[0].declaration.value);
    EXPECT_NE(sized, nullptr);
    // A font file that cannot be found gives no font.
    EXPECT_EQ(std::get<const UIA::Font*>(fonts[1].declaration.value), nullptr);
}

}  // namespace
}  // namespace HA::HWL
