// Style sheets filled from rules built in code: derived values, order of equal specificity,
// conversions, names and the error listeners.

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "hwl/core/src/cascade/StyleSheets.h"
#include "hwl/core/src/errors/ErrorListeners.h"
#include "hwl/core/src/style/StyleConversions.h"
#include "hwl/core/src/style/StyleNames.h"
#include "hwl/core/src/style/StyleSheet.h"

namespace HA::HWL {
namespace {

using tDecl = StyleParser2::tDeclaration;
using tRule = StyleParser2::tRule;

tDecl decl(const char* name, tStyleValue value, Property::eUnit unit)
{
    return tDecl{std::move(value), ha::symbol(std::string(name)), unit};
}
tDecl num(const char* name, int v, Property::eUnit unit = Property::Number)
{
    return decl(name, v, unit);
}
tDecl word(const char* name, const char* v)
{
    return decl(name, std::string(v), Property::String);
}
tDecl url(const char* name, const char* v)
{
    return decl(name, std::string(v), Property::Url);
}

Selector selector(const char* type, const char* styleClass = "", const char* id = "")
{
    Selector s;
    s.type = ha::symbol(std::string(type));
    s.styleClass = ha::symbol(std::string(styleClass));
    s.id = ha::symbol(std::string(id));
    return s;
}

tRule rule(std::vector<tDecl> declarations, std::vector<Selector> selectors = {selector("Label")})
{
    return tRule{std::move(selectors), std::move(declarations), 0};
}

// ---- derived values -------------------------------------------------------------------------

struct tFontCase {
    const char* name;
    std::vector<tDecl> declarations;
    bool hasFont;
    FontDesc expected;
};
void PrintTo(const tFontCase& c, std::ostream* out)
{
    *out << c.name;
}

FontDesc font(const char* name, int id, int size, unsigned flags)
{
    FontDesc d;
    d.name = name;
    d.resourceId = id;
    d.size = size;
    d.flags = flags;
    return d;
}

class DerivedFont : public ::testing::TestWithParam<tFontCase> {};

TEST_P(DerivedFont, FromDeclarations)
{
    const tFontCase& c = GetParam();
    const FontDesc base = font("", 1, 12, 0);
    StyleSheet::tDerived derived = StyleSheet::derive(rule(c.declarations), base);
    ASSERT_EQ(derived.font.has_value(), c.hasFont);
    if (!c.hasFont)
        return;
    EXPECT_EQ(derived.font->name, c.expected.name);
    EXPECT_EQ(derived.font->resourceId, c.expected.resourceId);
    EXPECT_EQ(derived.font->size, c.expected.size);
    EXPECT_EQ(derived.font->flags, c.expected.flags);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, DerivedFont,
    ::testing::Values(
        tFontCase{"SizeAlone", {num("font-size", 14)}, true, font("", 1, 14, 0)},
        tFontCase{"SizeInPixels", {num("font-size", 20, Property::Pixels)}, true, font("", 1, 20, 0)},
        tFontCase{"NameWinsOverResid",
                  {url("font-name", "sans.ttf"), num("font-resid", 3)},
                  true,
                  font("sans.ttf", 0, 12, 0)},
        tFontCase{"BoldAndItalic", {word("font-style", "bold"), word("font-style", "italic")}, true,
                  font("", 1, 12, 3)},
        tFontCase{"UnknownStyleWordAddsNothing", {word("font-style", "heavy")}, false, {}},
        tFontCase{"HintingOn", {decl("font-hinting", true, Property::Bool)}, true, font("", 1, 12, 0x10)},
        tFontCase{"FamilySetsFlag", {word("font-family", "Serif")}, true, font("Serif", 0, 12, 8)},
        tFontCase{"NoFontProperty", {num("width", 14)}, false, {}},
        tFontCase{"SameAsDefault", {num("font-size", 12)}, false, {}},
        tFontCase{"ResidAlone", {num("font-resid", 2)}, true, font("", 2, 12, 0)},
        tFontCase{"FractionSizeSkipped", {decl("font-size", 14.5f, Property::Number)}, false, {}},
        tFontCase{"NumberForFamilySkipped", {num("font-family", 3)}, false, {}},
        tFontCase{"SizeOfWrongUnitSkipped", {num("font-size", 14, Property::Percent)}, false, {}},
        tFontCase{"HugeSizeNotTaken", {num("font-size", 40000)}, false, {}},
        tFontCase{"LargestSizeTaken", {num("font-size", 1024)}, true, font("", 1, 1024, 0)}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(DerivedPicture, FixedMarginsAndSwitches)
{
    StyleSheet::tDerived d = StyleSheet::derive(
        rule({url("image", "a.png"), url("dye-mask", "m.png"), num("fixed", 4), num("fixed-left", 7, Property::Pixels),
              num("animations", 3)}),
        getDefaultFontDesc());
    ASSERT_TRUE(d.picture && d.dyeMaskPicture);
    for (const auto* p : {&*d.picture, &*d.dyeMaskPicture}) {
        EXPECT_EQ(p->description.getTopMargin(), 4);
        EXPECT_EQ(p->description.getBottomMargin(), 4);
        EXPECT_EQ(p->description.getLeftMargin(), 7);
        EXPECT_EQ(p->description.getRightMargin(), 4);
        EXPECT_EQ(p->description.getMarginFlags(),
                  UIA::PictureProperties::kVerticalMargins | UIA::PictureProperties::kHorizontalMargins);
    }
    EXPECT_EQ(d.picture->name, "a.png");
    EXPECT_EQ(d.dyeMaskPicture->name, "m.png");
    EXPECT_EQ(d.picture->description.getFrameCount(), 3u);
    EXPECT_EQ(d.dyeMaskPicture->description.getFrameCount(), 1u);
}

TEST(DerivedPicture, SingleSideEnablesOnlyItsPair)
{
    StyleSheet::tDerived d = StyleSheet::derive(rule({url("image", "a.png"), num("fixed-top", 2)}), getDefaultFontDesc());
    ASSERT_TRUE(d.picture);
    EXPECT_EQ(d.picture->description.getTopMargin(), 2);
    EXPECT_EQ(d.picture->description.getMarginFlags(), UIA::PictureProperties::kVerticalMargins);
}

TEST(DerivedPicture, FractionForFixedIsSkipped)
{
    StyleSheet::tDerived d =
        StyleSheet::derive(rule({url("image", "a.png"), decl("fixed", 2.5f, Property::Number)}), getDefaultFontDesc());
    ASSERT_TRUE(d.picture);
    EXPECT_EQ(d.picture->description.getMarginFlags(), 0);
    EXPECT_EQ(d.picture->description.getTopMargin(), 0);
}

TEST(DerivedPicture, NoGivesAnEmptyNameAndOtherWordsNothing)
{
    StyleSheet::tDerived no = StyleSheet::derive(rule({word("image", "no")}), getDefaultFontDesc());
    ASSERT_TRUE(no.picture);
    EXPECT_TRUE(no.picture->name.empty());
    StyleSheet::tDerived other = StyleSheet::derive(rule({word("image", "yes")}), getDefaultFontDesc());
    EXPECT_FALSE(other.picture);
}

TEST(DerivedDisplacement, MissingCoordinateIsZero)
{
    StyleSheet::tDerived d =
        StyleSheet::derive(rule({num("relative-left", 5), num("foreground-relative-top", -2, Property::Pixels)}),
                           getDefaultFontDesc());
    ASSERT_TRUE(d.pictureDisplacement && d.textDisplacement);
    EXPECT_EQ(*d.pictureDisplacement, (GP::Point{5, 0}));
    EXPECT_EQ(*d.textDisplacement, (GP::Point{0, -2}));
    EXPECT_FALSE(StyleSheet::derive(rule({num("width", 1)}), getDefaultFontDesc()).pictureDisplacement);
}

// ---- the sheet ------------------------------------------------------------------------------

const std::vector<StyleSheet::tSelectorValue>& entries(const StyleSheet& sheet, const char* property)
{
    static const std::vector<StyleSheet::tSelectorValue> none;
    auto found = sheet.getRules().find(ha::symbol(std::string(property)));
    return found == sheet.getRules().end() ? none : found->second;
}

TEST(StyleSheetApply, DerivedValuesFollowTheRulesOwn)
{
    StyleSheet sheet(nullptr);
    sheet.applyParseResult({rule({word("image", "no"), num("relative-left", 3), num("font-size", 14)})});
    ASSERT_EQ(entries(sheet, "image").size(), 1u);
    const auto& picture = entries(sheet, "picture");
    ASSERT_EQ(picture.size(), 1u);
    EXPECT_EQ(picture[0].declaration.unit, Property::Picture);
    EXPECT_EQ(std::get<LazyPicture>(picture[0].declaration.value).get(1.0f), nullptr);
    const auto& displacement = entries(sheet, "picture-displacement");
    ASSERT_EQ(displacement.size(), 1u);
    EXPECT_EQ(displacement[0].declaration.unit, Property::Point);
    EXPECT_EQ(std::get<GP::Point>(displacement[0].declaration.value), (GP::Point{3, 0}));
    ASSERT_EQ(entries(sheet, "font").size(), 1u);
    EXPECT_EQ(entries(sheet, "font")[0].declaration.unit, Property::Font);
    EXPECT_TRUE(entries(sheet, "text-displacement").empty());
    EXPECT_TRUE(entries(sheet, "dye-mask-picture").empty());
}

TEST(StyleSheetApply, FractionForFixedKeepsTheDeclaration)
{
    StyleSheet sheet(nullptr);
    sheet.applyParseResult({rule({url("image", "a.png"), decl("fixed", 2.5f, Property::Number)})});
    const auto& fixed = entries(sheet, "fixed");
    ASSERT_EQ(fixed.size(), 1u);
    EXPECT_FLOAT_EQ(std::get<float>(fixed[0].declaration.value), 2.5f);
    EXPECT_EQ(entries(sheet, "picture").size(), 1u);
}

TEST(StyleSheetApply, SecondApplyReplacesTheFirst)
{
    StyleSheet sheet(nullptr);
    sheet.applyParseResult({rule({num("width", 1), num("height", 2)})});
    sheet.applyParseResult({rule({num("width", 3)})});
    ASSERT_EQ(entries(sheet, "width").size(), 1u);
    EXPECT_EQ(std::get<int>(entries(sheet, "width")[0].declaration.value), 3);
    EXPECT_TRUE(entries(sheet, "height").empty());
    EXPECT_EQ(sheet.getDeclarations().count(ha::symbol(std::string("height"))), 0u);
}

TEST(StyleSheetApply, BestFirstAndEqualSpecificityInSourceOrder)
{
    StyleSheet sheet(nullptr);
    Selector withId = selector("Label", "", "title");
    Selector withClass = selector("Label", "big");
    Selector plainA = selector("Label");
    Selector plainB = selector("Button");
    Selector down = selector("Label");
    down.states.states[2] = StateCondition::RequiredTrue;
    sheet.applyParseResult({
        rule({num("width", 1), num("width", 2)}, {plainA, plainB}),
        rule({num("width", 3)}, {withClass}),
        rule({num("width", 4)}, {plainA}),
        rule({num("width", 5)}, {withId, down}),
    });
    std::vector<std::pair<int, std::string>> order;
    for (const auto& entry : entries(sheet, "width"))
        order.emplace_back(std::get<int>(entry.declaration.value), entry.selector.type.str());
    // id > class > state (256) > plain; plain ones: first rule's declarations in order, each
    // with its selectors in order, then the later rule.
    const std::vector<std::pair<int, std::string>> expected = {
        {5, "Label"}, {3, "Label"}, {5, "Label"}, {1, "Label"}, {1, "Button"},
        {2, "Label"}, {2, "Button"}, {4, "Label"}};
    EXPECT_EQ(order, expected);
}

TEST(StyleSheet, MatchCacheStartsAndResetsWithEightBuckets)
{
    StyleSheet sheet(nullptr);
    EXPECT_GE(sheet.getMatchCache().bucket_count(), StyleSheet::kMatchCacheBuckets);
    EXPECT_FLOAT_EQ(sheet.getMatchCache().max_load_factor(), 1.0f);
    for (std::uintptr_t i = 1; i < 100; ++i)
        sheet.getMatchCache()[reinterpret_cast<StyleSheet::tMatchCache::key_type>(i * 16)];
    sheet.clearMatchCache();
    EXPECT_TRUE(sheet.getMatchCache().empty());
    EXPECT_LT(sheet.getMatchCache().bucket_count(), 100u);
    EXPECT_FLOAT_EQ(sheet.getMatchCache().max_load_factor(), 1.0f);
}

TEST(Selector, Specificity)
{
    Selector s = selector("Label", "big", "title");
    s.attributes[ha::symbol(std::string("a"))][AttibuteSelector::Equals] = "x";
    s.attributes[ha::symbol(std::string("a"))][AttibuteSelector::Contains] = "y";
    s.attributes[ha::symbol(std::string("b"))][AttibuteSelector::Equals] = "z";
    s.states.states[0] = StateCondition::RequiredFalse;
    SimpleSelector parent;
    parent.type = ha::symbol(std::string("Bar"));
    parent.id = ha::symbol(std::string("p"));
    s.ancestors.push_back(parent);
    EXPECT_EQ(s.specificity(), 256u + (1u << 24) + (1u << 16) + 32u + 1u + (1u << 24) + 1u);
    EXPECT_EQ(selector("").specificity(), 0u);
}

TEST(StateCondition, DefaultsToAnyAndStoresOneZeroTwo)
{
    StateCondition c;
    for (auto r : c.states)
        EXPECT_EQ(static_cast<int32_t>(r), 2);
    EXPECT_EQ(static_cast<int32_t>(StateCondition::RequiredTrue), 1);
    EXPECT_EQ(static_cast<int32_t>(StateCondition::RequiredFalse), 0);
    EXPECT_EQ(sizeof(StateCondition), 7 * sizeof(int32_t));
}

TEST(StyleValue, EmptyByDefaultAndWrongTypeThrows)
{
    StyleParser2::tPropertyValue v;
    EXPECT_TRUE(std::holds_alternative<std::monostate>(v.value));
    EXPECT_EQ(v.unit, Property::Number);
    v.value = 3;
    EXPECT_THROW((void)std::get<float>(v.value), std::bad_variant_access);
    // Members in the order float, unsigned, int, bool, string, font, point, picture.
    EXPECT_EQ(tStyleValue(1.0f).index(), 1u);
    EXPECT_EQ(tStyleValue(1u).index(), 2u);
    EXPECT_EQ(tStyleValue(1).index(), 3u);
    EXPECT_EQ(tStyleValue(true).index(), 4u);
    EXPECT_EQ(tStyleValue(std::string()).index(), 5u);
    EXPECT_EQ(tStyleValue(static_cast<const UIA::Font*>(nullptr)).index(), 6u);
    EXPECT_EQ(tStyleValue(GP::Point{}).index(), 7u);
    EXPECT_EQ(tStyleValue(LazyPicture()).index(), 8u);
}

// ---- fonts, names, conversions, listeners ---------------------------------------------------

TEST(FontDescOrder, ByResourceIdSizeFlagsThenName)
{
    EXPECT_LT(font("z", 0, 50, 7), font("a", 1, 1, 0));
    EXPECT_LT(font("z", 1, 11, 7), font("a", 1, 12, 0));
    EXPECT_LT(font("z", 1, 12, 0), font("a", 1, 12, 1));
    EXPECT_LT(font("a", 1, 12, 1), font("b", 1, 12, 1));
    EXPECT_FALSE(font("a", 1, 12, 1) < font("a", 1, 12, 1));
    const FontDesc& d = getDefaultFontDesc();
    EXPECT_EQ(d.name, "");
    EXPECT_EQ(d.resourceId, 1);
    EXPECT_EQ(d.size, 12);
    EXPECT_EQ(d.flags, isFontHintingEnabled() ? 0x10u : 0u);
}

TEST(StyleNames, InternedAtStartWithSlots)
{
    EXPECT_EQ(StyleNames::backgroundColor, ha::symbol(std::string("background-color")));
    EXPECT_EQ(StyleNames::drawForeground, ha::symbol(std::string("draw_foreground")));
    const char* colours[] = {"background-color", "selection-background-color", "foreground-color",
                             "selection-foreground-color", "dye-color", "background-border-color",
                             "foreground-border-color"};
    for (int slot = 0; slot < kColorSlotCount; ++slot) {
        EXPECT_EQ(colorProperties[slot].slot, slot);
        EXPECT_EQ(colorProperties[slot].property.str(), colours[slot]);
        EXPECT_EQ(colorProperties[slot].palette.str(), std::string(colours[slot]) + "-palette");
    }
}

TEST(StyleNames, PaletteColourNamesAreCached)
{
    EXPECT_EQ(paletteColorName(2, 5).str(), "palette2-color5");
    EXPECT_EQ(paletteColorName(-1, 12).str(), "palette-1-color12");
    EXPECT_EQ(paletteColorName(2, 5), paletteColorName(2, 5));
}

struct tBoolCase {
    const char* name;
    tStyleValue value;
    Property::eUnit unit;
    std::optional<bool> expected;
};
void PrintTo(const tBoolCase& c, std::ostream* out)
{
    *out << c.name;
}

class BoolConversion : public ::testing::TestWithParam<tBoolCase> {};

TEST_P(BoolConversion, Converts)
{
    EXPECT_EQ(toBool(GetParam().value, GetParam().unit), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Values, BoolConversion,
    ::testing::Values(tBoolCase{"BoolTrue", true, Property::Bool, true},
                      tBoolCase{"BoolAnyUnit", false, Property::String, false},
                      tBoolCase{"IntNonZero", -2, Property::Number, true},
                      tBoolCase{"IntZero", 0, Property::Number, false},
                      tBoolCase{"UnsignedNonZero", 5u, Property::Number, true},
                      tBoolCase{"IntInPixels", 1, Property::Pixels, std::nullopt},
                      tBoolCase{"ColourIsNoBool", 0xFF000000u, Property::Color, std::nullopt},
                      tBoolCase{"Yes", std::string("yes"), Property::String, true},
                      tBoolCase{"TrueWord", std::string("true"), Property::String, true},
                      tBoolCase{"No", std::string("no"), Property::String, false},
                      tBoolCase{"FalseWord", std::string("false"), Property::String, false},
                      tBoolCase{"CapitalYes", std::string("Yes"), Property::String, std::nullopt},
                      tBoolCase{"UrlYes", std::string("yes"), Property::Url, std::nullopt},
                      tBoolCase{"Float", 1.0f, Property::Number, std::nullopt},
                      tBoolCase{"Empty", std::monostate{}, Property::Number, std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Alignment, Words)
{
    struct {
        const char* word;
        int horizontal;
        int vertical;
    } rows[] = {{"left", 0x1000, 0x1000}, {"right", 1, 0x1000},  {"center", 0, 0},
                {"top", 0x1000, 0x100},   {"bottom", 0x1000, 0x10}, {"middle", 0x1000, 0x1000},
                {"Left", 0x1000, 0x1000}, {"CENTER", 0x1000, 0x1000}, {"", 0x1000, 0x1000}};
    for (const auto& row : rows) {
        EXPECT_EQ(alignmentFromWord(row.word, eAlignmentAxis::Horizontal), row.horizontal) << row.word;
        EXPECT_EQ(alignmentFromWord(row.word, eAlignmentAxis::Vertical), row.vertical) << row.word;
    }
    EXPECT_EQ(kDefaultHorizontalAlignment, 0x1000);
    EXPECT_EQ(kDefaultVerticalAlignment, 0);
}

class ErrorListenersTest : public ::testing::Test {
protected:
    void SetUp() override { saved.swap(errorListeners()); }
    void TearDown() override { saved.swap(errorListeners()); }
    std::vector<tErrorListener> saved;
};

TEST_F(ErrorListenersTest, CalledInOrderWithACopy)
{
    std::vector<std::string> seen;
    errorListeners().push_back([&](const std::string& text) { seen.push_back("a:" + text); });
    errorListeners().push_back([&](const std::string& text) { seen.push_back("b:" + text); });
    std::string text = "oops";
    notifyErrorListeners(text);
    EXPECT_EQ(seen, (std::vector<std::string>{"a:oops", "b:oops"}));
}

TEST_F(ErrorListenersTest, EmptyFunctionThrows)
{
    int called = 0;
    errorListeners().push_back([&](const std::string&) { ++called; });
    errorListeners().push_back(tErrorListener());
    errorListeners().push_back([&](const std::string&) { ++called; });
    EXPECT_THROW(notifyErrorListeners("x"), std::bad_function_call);
    EXPECT_EQ(called, 1);
}

TEST(StyleSheetsTest, GlobalSheetFirstAndSameNameDoesNothing)
{
    StyleSheets sheets(nullptr);
    ASSERT_EQ(sheets.getSheets().size(), 1u);
    EXPECT_EQ(sheets.getSheets().front().name, "");
    EXPECT_EQ(&sheets.getGlobalSheet(), &sheets.getSheets().front().sheet);
}

}  // namespace
}  // namespace HA::HWL
