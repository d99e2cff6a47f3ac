// The style-sheet language and parser: texts to rules, values and messages; byte-order marks;
// imports from a temporary folder; the built-in sheet.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "gp/src/common/files/FilePath.h"
#include "gp/src/common/storage/MemoryStorage.h"
#include "gp/src/common/storage/Stream.h"
#include "hwl/core/src/cascade/StyleSheets.h"
#include "hwl/core/src/errors/ErrorListeners.h"
#include "hwl/core/src/style/StyleGrammar.h"
#include "hwl/core/src/style/StyleParser2.h"
#include "hwl/core/src/style/StyleSheet.h"

namespace HA::HWL {
namespace {

// Collects the listener messages for the test's duration.
class Messages {
public:
    Messages()
    {
        mSaved.swap(errorListeners());
        errorListeners().push_back([this](const std::string& text) { texts.push_back(text); });
    }
    ~Messages() { mSaved.swap(errorListeners()); }
    std::vector<std::string> texts;

private:
    std::vector<tErrorListener> mSaved;
};

struct tParsed {
    bool ok = false;
    std::vector<StyleParser2::tRule> rules;
    std::vector<std::string> messages;
};

tParsed parse(const std::string& text)
{
    Messages messages;
    StyleParser2 parser(nullptr);
    tParsed result;
    result.ok = parser.processBuffer(text, "test");
    result.rules = parser.getRules();
    result.messages = messages.texts;
    return result;
}

std::string message(int line, const std::string& text)
{
    return "Stylesheet error: :" + std::to_string(line) + " - PARSER ERROR at line " + std::to_string(line) + ": " +
           text;
}

// ---- values -----------------------------------------------------------------------------

struct tValueCase {
    const char* text;  // a declaration of x inside «a { ... }»
    tStyleValue value;
    Property::eUnit unit;
    std::vector<std::string> messages;
};
void PrintTo(const tValueCase& c, std::ostream* out)
{
    *out << c.text;
}

class ValueTable : public ::testing::TestWithParam<tValueCase> {};

TEST_P(ValueTable, Parses)
{
    const tValueCase& c = GetParam();
    tParsed p = parse(std::string("@define $c rgb(1,2,3);\na { ") + c.text + " }");
    EXPECT_TRUE(p.ok);
    EXPECT_EQ(p.messages, c.messages);
    ASSERT_EQ(p.rules.size(), 1u);
    ASSERT_GE(p.rules[0].declarations.size(), 1u);
    const StyleParser2::tDeclaration& d = p.rules[0].declarations[0];
    EXPECT_EQ(d.name.str(), "x");
    EXPECT_EQ(d.unit, c.unit);
    ASSERT_EQ(d.value.index(), c.value.index());
    if (const float* f = std::get_if<float>(&c.value)) {
        const float got = std::get<float>(d.value);
        if (std::isnan(*f))
            EXPECT_TRUE(std::isnan(got));
        else
            EXPECT_FLOAT_EQ(got, *f);
    } else if (const unsigned* u = std::get_if<unsigned>(&c.value)) {
        EXPECT_EQ(std::get<unsigned>(d.value), *u);
    } else if (const int* i = std::get_if<int>(&c.value)) {
        EXPECT_EQ(std::get<int>(d.value), *i);
    } else if (const bool* b = std::get_if<bool>(&c.value)) {
        EXPECT_EQ(std::get<bool>(d.value), *b);
    } else {
        EXPECT_EQ(std::get<std::string>(d.value), std::get<std::string>(c.value));
    }
}

const float kInf = INFINITY;

INSTANTIATE_TEST_SUITE_P(
    Language, ValueTable,
    ::testing::Values(
        tValueCase{"x: 12px;", 12, Property::Pixels, {}},
        tValueCase{"x: 12 %", 12, Property::Percent, {}},
        tValueCase{"x: 12 px", 12, Property::Pixels, {}},
        tValueCase{"x: -3;", -3, Property::Number, {}},
        tValueCase{"x: +7", 7, Property::Number, {}},
        tValueCase{"x: 12.;", 12.0f, Property::Number, {}},
        tValueCase{"x: .5px;", 0.5f, Property::Pixels, {}},
        tValueCase{"x: 2147483648;", 2147483648.0f, Property::Number, {}},
        tValueCase{"x: 3000000000;", 3e9f, Property::Number, {}},
        tValueCase{"x: 1e2px;", 100.0f, Property::Pixels, {}},
        tValueCase{"x: 1e3;", 1000.0f, Property::Number, {}},
        tValueCase{"x: nan;", NAN, Property::Number, {}},
        tValueCase{"x: -Infinity;", -kInf, Property::Number, {}},
        tValueCase{"x: rgb(255, 0, 0);", 0xFFFF0000u, Property::Color, {}},
        tValueCase{"x: RGBA(16,35,49,230);", 0xE6102331u, Property::Color, {}},
        tValueCase{"x: rgb ( 256 , 1 ,2 ) ;", 0xFF000102u, Property::Color, {}},
        tValueCase{"x: rgb(1, 2);", 0u, Property::Color, {message(2, "invalid color declaration")}},
        tValueCase{"x: rgba(1, 2, 3);", 0u, Property::Color, {message(2, "invalid color declaration")}},
        tValueCase{"x: #123;", 0xFF000123u, Property::Color, {}},
        tValueCase{"x: #fff;", 0xFF000FFFu, Property::Color, {}},
        tValueCase{"x: #80102030;", 0xFF102030u, Property::Color, {}},
        tValueCase{"x: true;", true, Property::Bool, {}},
        tValueCase{"x: false", false, Property::Bool, {}},
        tValueCase{"x: True;", std::string("True"), Property::String, {}},
        tValueCase{"x: yes;", std::string("yes"), Property::String, {}},
        tValueCase{"x: no;", std::string("no"), Property::String, {}},
        tValueCase{"x: foo-bar_2;", std::string("foo-bar_2"), Property::String, {}},
        tValueCase{"x: url( 'a.png' );", std::string("a.png"), Property::Url, {}},
        tValueCase{"x: URL(\"a b.png\");", std::string("a b.png"), Property::Url, {}},
        tValueCase{"x: url('');", std::string(), Property::Url, {}},
        tValueCase{"x: $c;", 0xFF010203u, Property::Color, {}},
        tValueCase{"x: $d;", 0, Property::Number, {message(2, "use of undefined constant d")}}),
    [](const auto& info) { return "Row" + std::to_string(info.index); });

// ---- selectors --------------------------------------------------------------------------

ha::symbol sym(const char* text)
{
    return ha::symbol(std::string(text));
}

TEST(StyleGrammarSelectors, AttributeWithBlanksInsideBrackets)
{
    tParsed p = parse("Bar#FirmwareUpdaterInfoPanel[ background=error ] { x: 1; }");
    ASSERT_EQ(p.rules.size(), 1u);
    ASSERT_EQ(p.rules[0].selectors.size(), 1u);
    const Selector& s = p.rules[0].selectors[0];
    EXPECT_EQ(s.type, sym("Bar"));
    EXPECT_EQ(s.id, sym("FirmwareUpdaterInfoPanel"));
    ASSERT_EQ(s.attributes.size(), 1u);
    EXPECT_EQ(s.attributes.at(sym("background")).at(AttibuteSelector::Equals), "error");
    EXPECT_TRUE(p.messages.empty());
}

TEST(StyleGrammarSelectors, ChildAndDescendantChain)
{
    tParsed p = parse("Bar#DesignWidget Scrollbar[isHorizontal=false]::Button#inc { x: 1; }");
    ASSERT_EQ(p.rules.size(), 1u);
    const Selector& s = p.rules[0].selectors[0];
    EXPECT_EQ(s.type, sym("Button"));
    EXPECT_EQ(s.id, sym("inc"));
    ASSERT_EQ(s.ancestors.size(), 2u);
    EXPECT_EQ(s.ancestors[0].type, sym("Scrollbar"));
    EXPECT_EQ(s.ancestors[0].attributes.at(sym("isHorizontal")).at(AttibuteSelector::Equals), "false");
    EXPECT_EQ(s.ancestors[0].relation, SimpleSelector::Child);
    EXPECT_EQ(s.ancestors[1].type, sym("Bar"));
    EXPECT_EQ(s.ancestors[1].id, sym("DesignWidget"));
    EXPECT_EQ(s.ancestors[1].relation, SimpleSelector::Descendant);
}

TEST(StyleGrammarSelectors, ChildRelationWithBlanksAndComments)
{
    tParsed p = parse("A /* c */ :: B\n::C{x:1}");
    ASSERT_EQ(p.rules.size(), 1u);
    const Selector& s = p.rules[0].selectors[0];
    EXPECT_EQ(s.type, sym("C"));
    ASSERT_EQ(s.ancestors.size(), 2u);
    EXPECT_EQ(s.ancestors[0].relation, SimpleSelector::Child);
    EXPECT_EQ(s.ancestors[1].relation, SimpleSelector::Child);
    EXPECT_TRUE(p.messages.empty());
}

TEST(StyleGrammarSelectors, TemplateClassIdAndStates)
{
    tParsed p = parse("tree< Bar >.Design, *<Bar>, Button#a:selected:!down, Label:hover, *.123#-x { x: 1; }");
    ASSERT_EQ(p.rules.size(), 1u);
    const auto& sel = p.rules[0].selectors;
    ASSERT_EQ(sel.size(), 5u);
    EXPECT_EQ(sel[0].type, sym("tree<Bar>"));
    EXPECT_EQ(sel[0].styleClass, sym("Design"));
    EXPECT_EQ(sel[1].type, ha::symbol());
    EXPECT_EQ(sel[2].id, sym("a"));
    StateCondition expected;
    expected.states[1] = StateCondition::RequiredTrue;
    expected.states[2] = StateCondition::RequiredFalse;
    EXPECT_EQ(sel[2].states, expected);
    EXPECT_EQ(sel[3].type, sym("Label"));
    EXPECT_EQ(sel[3].states, StateCondition());
    EXPECT_EQ(sel[4].type, ha::symbol());
    EXPECT_EQ(sel[4].styleClass, sym("123"));
    EXPECT_EQ(sel[4].id, sym("-x"));
    for (const Selector& s : sel)
        EXPECT_EQ(s.source, sym("test"));
}

TEST(StyleGrammarSelectors, AttributeTestsByNameAndOperator)
{
    tParsed p = parse("a[k=x][k=y][k^=p][k$=s][k*=c][k!=n][j=v] { x: 1; }");
    ASSERT_EQ(p.rules.size(), 1u);
    const auto& tests = p.rules[0].selectors[0].attributes;
    ASSERT_EQ(tests.size(), 2u);
    const auto& k = tests.at(sym("k"));
    EXPECT_EQ(k.size(), 5u);
    EXPECT_EQ(k.at(AttibuteSelector::Equals), "y");
    EXPECT_EQ(k.at(AttibuteSelector::BeginsWith), "p");
    EXPECT_EQ(k.at(AttibuteSelector::EndsWith), "s");
    EXPECT_EQ(k.at(AttibuteSelector::Contains), "c");
    EXPECT_EQ(k.at(AttibuteSelector::NotEquals), "n");
    EXPECT_EQ(tests.at(sym("j")).at(AttibuteSelector::Equals), "v");
}

TEST(StyleGrammarSelectors, LaterStateTestReplacesEarlier)
{
    tParsed p = parse("a:over:!over:focus { x: 1; }");
    ASSERT_EQ(p.rules.size(), 1u);
    EXPECT_EQ(p.rules[0].selectors[0].states.states[3], StateCondition::RequiredFalse);
    EXPECT_EQ(p.rules[0].selectors[0].states.states[4], StateCondition::RequiredTrue);
}

// ---- a broken selector in a list ----------------------------------------------------------

struct tSelectorRecoveryCase {
    const char* name;
    const char* text;
    std::vector<std::vector<std::string>> types;  // per rule, the types of the selectors kept
    std::vector<std::string> messages;
};
void PrintTo(const tSelectorRecoveryCase& c, std::ostream* out)
{
    *out << c.name;
}

class SelectorRecoveryTable : public ::testing::TestWithParam<tSelectorRecoveryCase> {};

// The broken selector goes to its line end and alone: the well-formed ones of its list keep
// the rule, each with nothing of the broken one in it.
TEST_P(SelectorRecoveryTable, KeepsTheOtherSelectors)
{
    const tSelectorRecoveryCase& c = GetParam();
    tParsed p = parse(c.text);
    EXPECT_TRUE(p.ok);
    EXPECT_EQ(p.messages, c.messages);
    std::vector<std::vector<std::string>> types;
    for (const auto& r : p.rules) {
        types.emplace_back();
        for (const Selector& s : r.selectors) {
            types.back().push_back(s.type.str());
            EXPECT_TRUE(s.ancestors.empty()) << s.type.str();
            EXPECT_EQ(s.states, StateCondition()) << s.type.str();
            EXPECT_EQ(s.startLine, r.startLine);
        }
    }
    EXPECT_EQ(types, c.types);
}

INSTANTIATE_TEST_SUITE_P(
    Language, SelectorRecoveryTable,
    ::testing::Values(
        tSelectorRecoveryCase{"First", "a:!\n, b { x: 1; }", {{"b"}}, {message(1, "Expecting Identifier")}},
        tSelectorRecoveryCase{"Middle", "a, b:!\n, c { x: 1; }", {{"a", "c"}}, {message(1, "Expecting Identifier")}},
        tSelectorRecoveryCase{"Last", "a, b:!\n{ x: 1; }", {{"a"}}, {message(1, "Expecting Identifier")}},
        tSelectorRecoveryCase{"BrokenChainLeavesNoAncestor", "a, d e:!\n, c { x: 1; }", {{"a", "c"}},
                              {message(1, "Expecting Identifier")}},
        tSelectorRecoveryCase{"BrokenTemplateInTheMiddle", "a, b<>\n, c { x: 1; }", {{"a", "c"}},
                              {message(1, "Expecting Identifier")}},
        tSelectorRecoveryCase{"OnlySelectorBrokenKeepsNoRule", "a:!\n{ x: 1; }\nb { y: 2; }", {{"b"}},
                              {message(1, "Expecting Identifier")}},
        tSelectorRecoveryCase{"NextRuleUntouched", "a, b:!\n, c { x: 1; }\nd { y: 2; }", {{"a", "c"}, {"d"}},
                              {message(1, "Expecting Identifier")}}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- rules and lines ----------------------------------------------------------------------

struct tRuleCase {
    const char* name;
    const char* text;
    std::vector<int> startLines;        // one per rule
    std::vector<size_t> declarations;   // count per rule
    std::vector<std::string> messages;
};
void PrintTo(const tRuleCase& c, std::ostream* out)
{
    *out << c.name;
}

class RuleTable : public ::testing::TestWithParam<tRuleCase> {};

TEST_P(RuleTable, Parses)
{
    const tRuleCase& c = GetParam();
    tParsed p = parse(c.text);
    EXPECT_TRUE(p.ok);
    EXPECT_EQ(p.messages, c.messages);
    std::vector<int> lines;
    std::vector<size_t> counts;
    for (const auto& r : p.rules) {
        lines.push_back(r.startLine);
        counts.push_back(r.declarations.size());
        for (const Selector& s : r.selectors)
            EXPECT_EQ(s.startLine, r.startLine);
    }
    EXPECT_EQ(lines, c.startLines);
    EXPECT_EQ(counts, c.declarations);
}

INSTANTIATE_TEST_SUITE_P(
    Language, RuleTable,
    ::testing::Values(
        tRuleCase{"NoWhitespace", "a{x:1}", {1}, {1}, {}},
        tRuleCase{"WhitespaceEverywhere", " a { x : 1 ; } ", {1}, {1}, {}},
        tRuleCase{"EmptyRulesDropped", "Bar { }\nBar { ; }\nBar{;}", {}, {}, {}},
        tRuleCase{"NoFinalSemicolon", "A, B { x: 1 }", {1}, {1}, {}},
        tRuleCase{"CommentsAreWhitespace", "// c\n/* a\n b */ a /* x */ { /* y */ x: 1; // z\n }", {3}, {1}, {}},
        tRuleCase{"LinesFromCrLfAndCr", "\r\n\r\r\n\na { x: 1; }", {5}, {1}, {}},
        tRuleCase{"SelectorOverLines", "\na,\nb\n{ x: 1; }", {2}, {1}, {}},
        tRuleCase{"SameLineAsPreviousRule", "a { x: 1; } b { y: 2; }\nc { z: 3; }", {1, 1, 2}, {1, 1, 1}, {}},
        tRuleCase{"LineEndInsideLoneSemicolonRule", "Bar { ;\n}\nX { y: 1; }", {3}, {1}, {}},
        tRuleCase{"UnclosedBlockCommentIsNoComment", "a { x: 1; }\n/* never closed",
                  {1}, {1}, {message(2, "Expecting statement, whitespace or eoi")}},
        tRuleCase{"MissingColon", "a { x 1; }", {}, {}, {message(1, "Expecting :")}},
        tRuleCase{"MissingValueDropsOnlyThatDeclaration", "a { x: ; y: 2; }\nb { z: 1; }",
                  {2}, {1}, {message(1, "Expecting sequence")}},
        tRuleCase{"MissingClosingBrace", "a { x: 1 b { y: 2; }\nc { z: 3; }",
                  {2}, {1}, {message(1, "Expecting } or ;")}},
        // The skip to the rule's "}" passes over one inside a comment.
        tRuleCase{"BraceInACommentDuringTheSkip", "a { x: ; /* } */ y: 2; }\nb { z: 1; }",
                  {2}, {1}, {message(1, "Expecting sequence")}},
        // The broken attribute test drops its rule, and only that one.
        tRuleCase{"MissingBraceAfterABrokenAttribute", "a[=v] { x: 1 b { y: 2; }\nc { z: 3; }",
                  {2}, {1}, {message(1, "Expecting attribute declaration"), message(1, "Expecting } or ;")}},
        tRuleCase{"ClassAfterId", "Label#title.big { x: 1; }\nb { y: 2; }",
                  {2}, {1}, {message(1, "Expecting selector relation operator or {")}},
        tRuleCase{"NoTypeBeforeClass", ".big { }\nb { y: 2; }",
                  {2}, {1}, {message(1, "Expecting statement, whitespace or eoi")}},
        tRuleCase{"DoubleSemicolon", "a { x: 1; y: 2;; }", {}, {}, {message(1, "Expecting } or ;")}},
        tRuleCase{"TrailingFloatUnit", "a { x: 10px 20px; }", {}, {}, {message(1, "Expecting } or ;")}},
        tRuleCase{"Information", "a { x: information; }", {}, {}, {message(1, "Expecting } or ;")}},
        tRuleCase{"Falsetto", "a { x: falsetto; }", {}, {}, {message(1, "Expecting } or ;")}},
        tRuleCase{"UrlWithoutParenthesis", "a { x: urlbar; }", {}, {}, {message(1, "Expecting (")}},
        tRuleCase{"RgbWithoutParenthesis", "a { x: rgbx; }", {}, {}, {message(1, "Expecting (")}},
        tRuleCase{"UrlWithoutString", "a { x: url(a.png); }", {}, {}, {message(1, "Expecting string")}},
        tRuleCase{"UrlWithoutClose", "a { x: url('a.png' ; }", {}, {}, {message(1, "Expecting )")}},
        // The quote ends at the line end; the skip to "}" then takes b's rule too.
        tRuleCase{"UnclosedQuote", "a { x: url('a.png); }\nb { y: 1; }", {}, {}, {message(1, "Expecting '")}},
        tRuleCase{"RgbWithoutComponents", "a { x: rgb(); }", {}, {}, {message(1, "Expecting unnamed-rule")}},
        tRuleCase{"RgbWithoutClose", "a { x: rgb(1, 2, 3; }", {}, {}, {message(1, "Expecting )")}},
        tRuleCase{"ImportWithoutBlank", "@importurl('a');\nb { y: 2; }\nc { z: 3; }", {2, 3}, {1, 1},
                  {message(1, "Expecting WS")}},
        tRuleCase{"LongHex", "a { x: #FFFFFFFFF; }", {}, {}, {message(1, "Expecting unsigned-integer")}},
        tRuleCase{"DollarWithoutName", "a { x: $; }", {}, {}, {message(1, "Expecting Identifier")}},
        // A broken selector skips its line; the "{" it then misses takes the next rule.
        tRuleCase{"TemplateWithoutName", "a<> { x: 1; }\nb { y: 2; }", {}, {},
                  {message(1, "Expecting Identifier"), message(2, "Expecting selector relation operator or {")}},
        tRuleCase{"TemplateWithoutClose", "a<b { x: 1; }\nc { y: 2; }", {}, {},
                  {message(1, "Expecting >"), message(2, "Expecting selector relation operator or {")}},
        tRuleCase{"StateWithoutName", "a: { x: 1; }\nc { y: 2; }\nd { z: 3; }", {3}, {1},
                  {message(1, "Expecting Identifier"), message(2, "Expecting selector relation operator or {")}},
        tRuleCase{"AttributeWithoutTest", "a[] { x: 1; }", {}, {}, {message(1, "Expecting attribute declaration")}},
        tRuleCase{"AttributeWithoutOperator", "a[k] { x: 1; }", {}, {}, {message(1, "Expecting unnamed-rule")}},
        tRuleCase{"AttributeWithoutValue", "a[k=] { x: 1; }", {}, {}, {message(1, "Expecting Identifier")}},
        tRuleCase{"AttributeWithoutClose", "a[k=v { x: 1; }", {}, {},
                  {message(1, "Expecting ]"), message(1, "Expecting selector relation operator or {")}},
        tRuleCase{"DefineWithoutBlank", "@define$a 1;\nb { y: 2; }", {2}, {1}, {message(1, "Expecting WS")}},
        tRuleCase{"DefineWithoutName", "@define a 1;\nb { y: 2; }", {2}, {1}, {message(1, "Expecting unnamed-rule")}},
        tRuleCase{"DefineWithoutValue", "@define $a ;\nb { y: 2; }", {2}, {1}, {message(1, "Expecting Property")}},
        tRuleCase{"DefineWithoutSemicolon", "@define $a 1\nb { y: 2; }\nc { z: 3; }", {3}, {1},
                  {message(2, "Expecting ;")}},
        tRuleCase{"ImportWithoutUrl", "@import 'a';\nb { y: 2; }", {2}, {1}, {message(1, "Expecting URL")}},
        tRuleCase{"ErrorLineAfterComment", "/* one\ntwo */\n\na { x 1; }", {}, {}, {message(4, "Expecting :")}},
        tRuleCase{"ConstantTwice", "@define $a 1;\n@define $a 2;\na { x: $a; }", {3}, {1},
                  {message(2, "constant already defined")}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(StyleParserConstants, FirstDefinitionStays)
{
    Messages messages;
    StyleParser2 parser(nullptr);
    EXPECT_TRUE(parser.processBuffer("@define $a 1;\n@define $a 2;\na { x: $a; }", "t"));
    ASSERT_EQ(parser.getRules().size(), 1u);
    EXPECT_EQ(std::get<int>(parser.getRules()[0].declarations[0].value), 1);
    ASSERT_EQ(parser.getErrors().count(""), 1u);
    EXPECT_EQ(parser.getErrors().at("").count(2), 1u);
}

// ---- byte-order marks and streams ---------------------------------------------------------

struct tMarkCase {
    const char* name;
    std::string bytes;
    int encoding;
    bool ok;
    size_t rules;
};
void PrintTo(const tMarkCase& c, std::ostream* out)
{
    *out << c.name;
}

class MarkTable : public ::testing::TestWithParam<tMarkCase> {};

TEST_P(MarkTable, Decides)
{
    const tMarkCase& c = GetParam();
    Messages messages;
    GP::MemoryStorage storage;
    storage.attachReadOnly(c.bytes.data(), static_cast<uint32_t>(c.bytes.size()));
    GP::Stream stream(&storage);
    StyleParser2 parser(nullptr);
    EXPECT_EQ(parser.processStream(&stream, "s"), c.ok);
    EXPECT_EQ(parser.getEncoding(), c.encoding);
    EXPECT_EQ(parser.getRules().size(), c.rules);
    if (!c.ok) {
        EXPECT_EQ(messages.texts, (std::vector<std::string>{"Stylesheet error: :0 - Unsupported buffer encoding"}));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Streams, MarkTable,
    ::testing::Values(tMarkCase{"Utf8", "\xEF\xBB\xBF" "a{x:1}", 1, true, 1},
                      tMarkCase{"None", "a{x:1}", 0, true, 1},
                      tMarkCase{"Utf16LE", std::string("\xFF\xFE\x41\x00", 4), 3, false, 0},
                      tMarkCase{"Utf16BE", std::string("\xFE\xFF\x00\x41", 4), 2, false, 0},
                      tMarkCase{"Utf32LE", std::string("\xFF\xFE\x00\x00", 4), 5, false, 0},
                      tMarkCase{"Utf32BE", std::string("\x00\x00\xFE\xFF\x00", 5), 4, false, 0},
                      tMarkCase{"ThreeByteMarkIsText", "\xEF\xBB\xBF", 0, true, 0},
                      tMarkCase{"Empty", "", 0, true, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(StyleParserStreams, NoStreamIsFalseWithoutMessage)
{
    Messages messages;
    StyleParser2 parser(nullptr);
    EXPECT_FALSE(parser.processStream(nullptr, "x"));
    GP::Stream empty;
    EXPECT_FALSE(parser.processStream(&empty, "x"));
    EXPECT_TRUE(messages.texts.empty());
}

// ---- imports from a folder ----------------------------------------------------------------

class StyleParserImports : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder = std::filesystem::temp_directory_path() /
                 ("styleimports-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(folder / "sub");
    }
    void TearDown() override { std::filesystem::remove_all(folder); }
    void write(const std::string& name, const std::string& text)
    {
        std::ofstream(folder / name, std::ios::binary) << text;
    }
    std::u16string path(const std::string& name) const { return GP::toWidePath((folder / name).string()); }
    std::string narrow(const std::string& name) const { return (folder / name).string(); }

    std::filesystem::path folder;
};

TEST_F(StyleParserImports, RelativeImportsConstantsAndOrder)
{
    write("main.txt", "@define $k 5;\na { x: 1; }\n@import url('c.txt');\nb { y: $j; }\n");
    write("c.txt", "\nc { z: $k; }\n@define $j 7;\n");
    Messages messages;
    StyleParser2 parser(nullptr);
    ASSERT_TRUE(parser.processFile(path("main.txt")));
    EXPECT_TRUE(messages.texts.empty());
    ASSERT_EQ(parser.getRules().size(), 3u);
    EXPECT_EQ(parser.getRules()[1].selectors[0].type.str(), "c");
    EXPECT_EQ(parser.getRules()[1].selectors[0].source.str(), "c.txt");
    EXPECT_EQ(parser.getRules()[1].startLine, 2);
    EXPECT_EQ(std::get<int>(parser.getRules()[1].declarations[0].value), 5);
    EXPECT_EQ(std::get<int>(parser.getRules()[2].declarations[0].value), 7);
    EXPECT_EQ(parser.getRules()[0].selectors[0].source.str(), "main.txt");
    EXPECT_EQ(parser.getImportedNames(), (std::set<std::string>{"c.txt"}));
}

TEST_F(StyleParserImports, TwiceAndRecursion)
{
    write("main.txt", "@import url('c.txt');\n@import url('c.txt');\n");
    write("c.txt", "c { z: 1; }\n@import url('main.txt');\n@import url('c.txt');\n");
    Messages messages;
    StyleParser2 parser(nullptr);
    ASSERT_TRUE(parser.processFile(path("main.txt")));
    EXPECT_EQ(parser.getRules().size(), 1u);
    // The top-level sheet is not an import, so c reads it once more; every further import of
    // c.txt is refused.
    const std::string main = narrow("main.txt");
    const std::string c = narrow("c.txt");
    const std::string text = " - PARSER ERROR at line ";
    EXPECT_EQ(messages.texts,
              (std::vector<std::string>{
                  "Stylesheet error: " + main + ":1" + text + "1: recursive import of stylesheet c.txt",
                  "Stylesheet error: " + main + ":2" + text + "2: recursive import of stylesheet c.txt",
                  "Stylesheet error: " + c + ":3" + text + "3: recursive import of stylesheet c.txt",
                  "Stylesheet error: " + main + ":2" + text + "2: recursive import of stylesheet c.txt"}));
    EXPECT_EQ(parser.getImportedNames(), (std::set<std::string>{"c.txt", "main.txt"}));
}

TEST_F(StyleParserImports, MissingSheetIsReportedAndSkipped)
{
    write("main.txt", "@import url('gone.txt');\na { x: 1; }\n");
    Messages messages;
    StyleParser2 parser(nullptr);
    ASSERT_TRUE(parser.processFile(path("main.txt")));
    EXPECT_EQ(parser.getRules().size(), 1u);
    EXPECT_TRUE(parser.getImportedNames().empty());
    EXPECT_EQ(messages.texts, (std::vector<std::string>{"Stylesheet error: " + narrow("main.txt") +
                                                        ":1 - PARSER ERROR at line 1: Failed to import stylesheet " +
                                                        narrow("gone.txt")}));
}

TEST_F(StyleParserImports, AbsolutePathAndErrorsUnderTheImportPath)
{
    write("sub/d.txt", "\n\nd { y 1; }\n");
    const std::string absolute = narrow("sub/d.txt");
    Messages messages;
    StyleParser2 parser(nullptr);
    ASSERT_TRUE(parser.processBuffer("@import url('" + absolute + "');\n", "top"));
    EXPECT_TRUE(parser.getRules().empty());
    EXPECT_EQ(messages.texts, (std::vector<std::string>{"Stylesheet error: " + absolute +
                                                        ":3 - PARSER ERROR at line 3: Expecting :"}));
    EXPECT_EQ(parser.getErrors().at(absolute).count(3), 1u);
}

TEST_F(StyleParserImports, BackslashKey)
{
    write("main.txt", "@import url('sub\\e.txt');\n@import url('sub/e.txt');\n");
    Messages messages;
    StyleParser2 parser(nullptr);
    ASSERT_TRUE(parser.processFile(path("main.txt")));
    // The first is tried as written and fails; the key is given back, so the second is read.
    EXPECT_TRUE(parser.getImportedNames().empty());
    ASSERT_EQ(messages.texts.size(), 2u);
    EXPECT_NE(messages.texts[0].find("Failed to import stylesheet"), std::string::npos);
}

TEST_F(StyleParserImports, BackslashKeyCountsAsTheSameSheet)
{
    write("sub/e.txt", "e { x: 1; }\n");
    write("main.txt", "@import url('sub/e.txt');\n@import url('sub\\e.txt');\n");
    Messages messages;
    StyleParser2 parser(nullptr);
    ASSERT_TRUE(parser.processFile(path("main.txt")));
    EXPECT_EQ(parser.getRules().size(), 1u);
    EXPECT_EQ(parser.getImportedNames(), (std::set<std::string>{"sub/e.txt"}));
    ASSERT_EQ(messages.texts.size(), 1u);
    EXPECT_NE(messages.texts[0].find("recursive import of stylesheet sub\\e.txt"), std::string::npos);
}

// ---- the built-in sheet --------------------------------------------------------------------

TEST(BuiltInSheet, FourRulesWithoutMessages)
{
    Messages messages;
    StyleParser2 parser(nullptr);
    ASSERT_TRUE(parser.processBuffer(StyleSheets::kBuiltInStyles, StyleParser2::kStringSourceName));
    EXPECT_TRUE(messages.texts.empty());
    const auto& rules = parser.getRules();
    ASSERT_EQ(rules.size(), 4u);
    ASSERT_EQ(rules[0].declarations.size(), 3u);
    EXPECT_EQ(rules[0].declarations[0].name.str(), "background-color");
    EXPECT_EQ(std::get<unsigned>(rules[0].declarations[0].value), 0xFFC0C0C0u);
    EXPECT_EQ(std::get<unsigned>(rules[0].declarations[1].value), 0xFF808080u);
    EXPECT_EQ(std::get<unsigned>(rules[0].declarations[2].value), 0xFF000000u);
    EXPECT_EQ(rules[0].selectors[0].type, ha::symbol());
    EXPECT_EQ(rules[1].selectors[0].states.states[2], StateCondition::RequiredTrue);
    EXPECT_EQ(rules[2].selectors[0].states.states[3], StateCondition::RequiredTrue);
    EXPECT_EQ(rules[3].selectors[0].type.str(), "Bar");
    EXPECT_EQ(std::get<unsigned>(rules[3].declarations[0].value), 0xFF202020u);
    EXPECT_EQ(rules[3].declarations.size(), 1u);
}

TEST(BuiltInSheet, GlobalSheetStartsWithIt)
{
    StyleSheets sheets(nullptr);
    const auto& rules = sheets.getGlobalSheet().getRules();
    ASSERT_EQ(rules.count(ha::symbol(std::string("background-color"))), 1u);
    EXPECT_EQ(rules.at(ha::symbol(std::string("background-color"))).size(), 4u);
    // The state rules come first (more specific), then Bar, then "*".
    EXPECT_EQ(std::get<unsigned>(rules.at(ha::symbol(std::string("background-color")))[0].declaration.value),
              0xFFB0B0B0u);
}

}  // namespace
}  // namespace HA::HWL
