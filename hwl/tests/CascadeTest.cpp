// The cascade: which rule's value a widget reads (specificity, order, relations, types,
// attributes, states), the match cache and its invalidation, and the resolved style data.

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "hwl/core/src/cascade/StyleData.h"
#include "hwl/core/src/cascade/StyleSheets.h"
#include "hwl/core/src/library/Init.h"
#include "hwl/core/src/resources/ManagerContainer.h"
#include "hwl/core/src/style/StyleConversions.h"
#include "hwl/core/src/tree/SelectorAttributes.h"
#include "hwl/tests/WidgetTestSupport.h"
#include "uia/tests/FontTestSupport.h"

namespace HA::HWL {
namespace {

ha::symbol sym(const std::string& text)
{
    return ha::symbol(text);
}

unsigned rgb(unsigned r, unsigned g, unsigned b)
{
    return 0xFF000000u | (r << 16) | (g << 8) | b;
}

// A widget whose class name a test chooses.
class NamedWidget : public Testing::TestWidget {
public:
    explicit NamedWidget(const std::string& type) : mType(sym(type)) {}
    ha::symbol getClass() const override { return mType; }

private:
    ha::symbol mType;
};

// One node of a test tree: "Type#id.class" (id and class optional) and its parent's index
// (-1 for the root, which must come first).
struct tNode {
    std::string spec;
    int parent;
};

class CascadeTest : public ::testing::Test {
protected:
    CascadeTest() { init(); }
    ~CascadeTest() override
    {
        pane.setRoot(nullptr);
        widgets.clear();
        shutdown();
    }

    StyleSheets& sheets() { return getManager()->getStyleSheets(); }
    StyleSheet& global() { return sheets().getGlobalSheet(); }
    void load(const std::string& text) { StyleParser2::processString(global(), text.c_str()); }

    // Builds the tree into the pane; widgets are found by id.
    void build(const std::vector<tNode>& nodes)
    {
        std::vector<std::shared_ptr<Widget>> made;
        for (const tNode& node : nodes) {
            std::string type = node.spec;
            std::string id;
            std::string style;
            const std::size_t dot = type.find('.');
            if (dot != std::string::npos) {
                style = type.substr(dot + 1);
                type.resize(dot);
            }
            const std::size_t hash = type.find('#');
            if (hash != std::string::npos) {
                id = type.substr(hash + 1);
                type.resize(hash);
            }
            auto widget = std::make_shared<NamedWidget>(type);
            if (!style.empty())
                widget->setStyle(style.c_str());
            if (node.parent < 0)
                pane.setRoot(widget, id.c_str());
            else
                made[static_cast<std::size_t>(node.parent)]->addChild(widget, id.c_str());
            made.push_back(widget);
            widgets[id] = widget;
        }
    }
    Widget& at(const std::string& id) { return *widgets.at(id); }
    // What the update pass does below a disabled ancestor.
    void setAncestorsEnabled(const std::string& id, bool on)
    {
        widgets.at(id)->changeFlags(on ? Widget::eAncestorsEnabled : 0u, on ? 0u : Widget::eAncestorsEnabled);
    }

    // The resolved background colour, 0 when none applies.
    unsigned background(const std::string& id)
    {
        StyleData& data = sheets().getStyleData(at(id));
        sheets().resolveStyleData(data);
        return data.getColour(0, false, 0);
    }
    int number(const std::string& id, const char* property = "x")
    {
        return at(id).getProperty(sym(property), -1);
    }

    Pane pane;
    std::map<std::string, std::shared_ptr<NamedWidget>> widgets;
};

// Which rule's value a widget reads.
struct tCascadeCase {
    const char* name;
    std::string sheet;
    std::vector<tNode> tree;
    std::string widget;
    int expected;  // the int "x", -1 when no rule applies
};

std::ostream& operator<<(std::ostream& out, const tCascadeCase& c)
{
    return out << c.name;
}

class CascadeTable : public CascadeTest, public ::testing::WithParamInterface<tCascadeCase> {};

TEST_P(CascadeTable, ReadsTheBestMatchingValue)
{
    const tCascadeCase& c = GetParam();
    load(c.sheet);
    build(c.tree);
    EXPECT_EQ(number(c.widget), c.expected);
}

const std::vector<tNode> kBarX = {{"Bar#x", -1}};
const std::vector<tNode> kLabelC = {{"Pane#root", -1}, {"Label#l.c", 0}};
// root A > B#b2 > X > B#b1 > C > D#d, the chain that needs a second try further up.
const std::vector<tNode> kChain = {{"A#a", -1}, {"B#b2", 0}, {"X#x", 1}, {"B#b1", 2}, {"C#c", 3}, {"D#d", 4}};

INSTANTIATE_TEST_SUITE_P(
    Cascade, CascadeTable,
    ::testing::Values(
        tCascadeCase{"IdWinsAfter", "Bar { x: 1; } Bar#x { x: 2; }", kBarX, "x", 2},
        tCascadeCase{"IdWinsBefore", "Bar#x { x: 2; } Bar { x: 1; }", kBarX, "x", 2},
        tCascadeCase{"ClassBeatsType", "Label { x: 1; } *.c { x: 2; }", kLabelC, "l", 2},
        tCascadeCase{"ClassBeatsTypeReversed", "*.c { x: 2; } Label { x: 1; }", kLabelC, "l", 2},
        tCascadeCase{"SameSelectorFirstWins", "Label { x: 1; } Label { x: 2; }", kLabelC, "l", 1},
        tCascadeCase{"SameSpecificityFirstWins", "*#l { x: 1; } Pane *#l { x: 3; } Label#l { x: 2; }", kLabelC,
                     "l", 3},
        tCascadeCase{"NothingMatches", "Button { x: 1; }", kLabelC, "l", -1},
        tCascadeCase{"WrongClass", "*.d { x: 1; }", kLabelC, "l", -1},
        tCascadeCase{"Descendant", "Pane Label { x: 4; }", kLabelC, "l", 4},
        tCascadeCase{"ChildOfRoot", "Pane::Label { x: 4; }", kLabelC, "l", 4},
        tCascadeCase{"NoParentNoMatch", "Label Pane { x: 4; }", kLabelC, "root", -1},
        // The nearest B's parent is X; the search goes on to the higher B, whose parent is A.
        tCascadeCase{"BacktracksPastTheFirstPart", "A::B C { x: 5; }", kChain, "c", 5},
        tCascadeCase{"BacktracksForTheChildPart", "A::B C D { x: 6; }", kChain, "d", 6},
        tCascadeCase{"ChildRelationTwin", "A::B::C D { x: 6; }", kChain, "d", -1},
        tCascadeCase{"ChildNeedsTheDirectParent", "A::B#b1 { x: 7; }", kChain, "b1", -1},
        tCascadeCase{"ChildNotFurtherUp", "A::X { x: 7; }", kChain, "x", -1},
        tCascadeCase{"DeepChildChain", "B::X::B::C::D { x: 8; }", kChain, "d", 8},
        tCascadeCase{"DescendantsAcrossTheChain", "A X C D { x: 9; }", kChain, "d", 9},
        tCascadeCase{"AncestorOrderMatters", "C A D { x: 9; }", kChain, "d", -1},
        tCascadeCase{"TypeWithoutArgumentMatchesTemplates", "tree { x: 1; }", {{"tree<Bar>#t", -1}}, "t", 1},
        tCascadeCase{"TypeWithArgumentMatchesExactly", "tree<Bar> { x: 2; }", {{"tree<Bar>#t", -1}}, "t", 2},
        tCascadeCase{"OtherArgumentNoMatch", "tree<Label> { x: 2; }", {{"tree<Bar>#t", -1}}, "t", -1},
        tCascadeCase{"PrefixIsNoType", "tre { x: 2; }", {{"tree<Bar>#t", -1}}, "t", -1},
        tCascadeCase{"PlainTypeNeedsExactName", "tree { x: 2; }", {{"trees#t", -1}}, "t", -1}),
    [](const ::testing::TestParamInfo<tCascadeCase>& info) { return std::string(info.param.name); });

// Attribute tests against the widget's attributes and the getters.
struct tAttributeCase {
    const char* name;
    std::string selector;
    std::map<std::string, std::string> attributes;
    bool matches;
};

std::ostream& operator<<(std::ostream& out, const tAttributeCase& c)
{
    return out << c.name;
}

class AttributeTable : public CascadeTest, public ::testing::WithParamInterface<tAttributeCase> {};

TEST_P(AttributeTable, MatchesByTheRule)
{
    const tAttributeCase& c = GetParam();
    load(c.selector + " { x: 1; }");
    build({{"Label#w.big", -1}});
    for (const auto& [name, value] : c.attributes)
        at("w").setAttribute(name.c_str(), value);
    EXPECT_EQ(number("w"), c.matches ? 1 : -1);
}

INSTANTIATE_TEST_SUITE_P(
    Cascade, AttributeTable,
    ::testing::Values(
        tAttributeCase{"Equals", "Label[step=S3]", {{"step", "S3"}}, true},
        tAttributeCase{"EqualsOther", "Label[step=S3]", {{"step", "S4"}}, false},
        tAttributeCase{"EqualsMissing", "Label[step=S3]", {}, false},
        tAttributeCase{"BeginsWith", "Label[step^=S1]", {{"step", "S10"}}, true},
        tAttributeCase{"BeginsWithLonger", "Label[step^=S10]", {{"step", "S1"}}, false},
        tAttributeCase{"EndsWith", "Label[step$=ten]", {{"step", "Sten"}}, true},
        tAttributeCase{"EndsWithNot", "Label[step$=S1]", {{"step", "S10"}}, false},
        tAttributeCase{"EndsWithRepeated", "Label[step$=ab]", {{"step", "abab"}}, true},
        tAttributeCase{"Contains", "Label[step*=te]", {{"step", "Sten"}}, true},
        tAttributeCase{"ContainsNot", "Label[step*=tw]", {{"step", "Sten"}}, false},
        tAttributeCase{"NotEqualsDifferent", "Label[step!=S3]", {{"step", "S4"}}, true},
        tAttributeCase{"NotEqualsSame", "Label[step!=S3]", {{"step", "S3"}}, false},
        tAttributeCase{"NotEqualsMissing", "Label[step!=S3]", {}, false},
        tAttributeCase{"TwoNamesBoth", "Label[a=one][b=two]", {{"a", "one"}, {"b", "two"}}, true},
        tAttributeCase{"TwoNamesOne", "Label[a=one][b=two]", {{"a", "one"}}, false},
        tAttributeCase{"GetterClass", "*[getClass=Label]", {}, true},
        tAttributeCase{"GetterStyle", "*[getStyle=big]", {}, true},
        tAttributeCase{"GetterId", "*[getId=w]", {}, true},
        tAttributeCase{"GetterIdOther", "*[getId=v]", {}, false},
        tAttributeCase{"MapShadowsGetter", "*[getId=v]", {{"getId", "v"}}, true},
        tAttributeCase{"MapShadowsGetterNoLonger", "*[getId=w]", {{"getId", "v"}}, false},
        // A Label has no direction: no test of it matches, whatever the text.
        tAttributeCase{"LabelNotHorizontalYes", "Label[isHorizontal=yes]", {}, false},
        tAttributeCase{"LabelNotHorizontalNo", "Label[isHorizontal=no]", {}, false}),
    [](const ::testing::TestParamInfo<tAttributeCase>& info) { return std::string(info.param.name); });

TEST(AttributeCompare, BoolsCompareWithTheTruthOfTheText)
{
    using A = AttibuteSelector;
    for (A::eRule rule : {A::Equals, A::BeginsWith, A::EndsWith, A::Contains, A::NotEquals}) {
        EXPECT_TRUE(A::compare(true, rule, "yes"));
        EXPECT_TRUE(A::compare(true, rule, "true"));
        EXPECT_FALSE(A::compare(true, rule, "no"));
        EXPECT_TRUE(A::compare(false, rule, "no"));
        EXPECT_TRUE(A::compare(false, rule, "false"));
        EXPECT_TRUE(A::compare(false, rule, "anything"));
        EXPECT_FALSE(A::compare(false, rule, "yes"));
        EXPECT_FALSE(A::compare(A::tDoesntExist{}, rule, ""));
    }
    EXPECT_FALSE(A::compare(std::string("x"), static_cast<A::eRule>(0), "x"));
}

TEST_F(CascadeTest, SpecificityCountsEveryPart)
{
    load("A.c#a[p=u][q=v] B.d C:over:!enabled { x: 1; }\n*:down { x: 2; }\nA B::C { x: 3; }");
    const auto& rules = global().getRules().at(sym("x"));
    ASSERT_EQ(rules.size(), 3u);
    EXPECT_EQ(rules[0].selector.specificity(), (1u << 24) + (2u << 16) + 2u * 16u + 3u + 2u * 256u);
    EXPECT_EQ(rules[1].selector.specificity(), 256u);
    EXPECT_EQ(rules[2].selector.specificity(), 3u);
}

TEST_F(CascadeTest, StatesAreTestedWhenReadNeverRematched)
{
    load("TestButton { x: 1; background-color: rgb(1, 1, 1); }\n"
         "TestButton:over { x: 2; background-color: rgb(2, 2, 2); }\n"
         "TestButton:down { x: 3; background-color: rgb(3, 3, 3); }\n"
         "TestButton:!enabled { x: 4; background-color: rgb(4, 4, 4); }\n");
    build({{"Pane#root", -1}, {"Box#box", 0}, {"TestButton#b", 1}});
    Widget& b = at("b");
    StyleData& data = sheets().getStyleData(b);
    sheets().resolveStyleData(data);
    EXPECT_EQ(number("b"), 1);
    const auto cached = global().getMatchCache().at(&b);
    widgets.at("b")->changeFlags(0, Widget::eStyleDirty);

    auto expect = [&](int x, unsigned colour) {
        EXPECT_EQ(number("b"), x);
        EXPECT_EQ(data.getColour(0, false, 0), colour);
    };
    expect(1, rgb(1, 1, 1));
    pane.setHovered(&b);
    expect(2, rgb(2, 2, 2));
    pane.setHovered(nullptr);
    expect(1, rgb(1, 1, 1));
    // Pressed without the left button held is not down.
    pane.setPressed(&b);
    expect(1, rgb(1, 1, 1));
    pane.setPressed(nullptr);
    setAncestorsEnabled("b", false);
    expect(4, rgb(4, 4, 4));
    pane.setHovered(&b);
    expect(2, rgb(2, 2, 2));  // ":over" was written first, with the same specificity
    setAncestorsEnabled("b", true);
    expect(2, rgb(2, 2, 2));
    // The candidates were matched once; state changes needed no new matching, nor a refill.
    EXPECT_FALSE(b.hasFlag(Widget::eStyleDirty));
    EXPECT_EQ(global().getMatchCache().at(&b).size(), cached.size());
    EXPECT_EQ(global().getMatchCache().at(&b).at(sym("background-color")), cached.at(sym("background-color")));
}

TEST_F(CascadeTest, DownNeedsTheLeftButtonHeldOnThePressedWidget)
{
    load("TestWidget { x: 1; }\nTestWidget:down { x: 3; }\n");
    auto root = Testing::makeWidget();
    pane.setSize(100, 100);
    pane.setRoot(root, "root");
    Testing::place(*root, 0, 0, 100, 100);
    EXPECT_EQ(root->getProperty(sym("x"), -1), 1);
    UIA::MouseEventData press{};
    press.x = 5;
    press.y = 5;
    press.button = UIA::kMouseButtonLeft;
    press.kind = UIA::kMousePress;
    pane.handleEvent(UIA::kEventMouseButton, &press);
    ASSERT_EQ(pane.getPressed(), root.get());
    EXPECT_EQ(root->getProperty(sym("x"), -1), 3);
    UIA::MouseEventData release = press;
    release.kind = UIA::kMouseRelease;
    pane.handleEvent(UIA::kEventMouseButton, &release);
    EXPECT_EQ(root->getProperty(sym("x"), -1), 1);
}

TEST_F(CascadeTest, NotEnabledHoldsUnderADisabledAncestor)
{
    load("Label { x: 1; }\nLabel:!enabled { x: 2; }\nLabel:enabled:!selected { x: 5; }");
    build({{"Pane#root", -1}, {"Box#box", 0}, {"Label#l", 1}});
    EXPECT_EQ(number("l"), 5);
    setAncestorsEnabled("l", false);
    EXPECT_EQ(number("l"), 2);
    setAncestorsEnabled("l", true);
    EXPECT_EQ(number("l"), 5);
    at("l").setEnabled(false);
    EXPECT_EQ(number("l"), 2);
}

TEST_F(CascadeTest, WithoutAPaneNothingApplies)
{
    load("* { x: 1; background-color: rgb(9, 9, 9); }");
    auto loose = std::make_shared<NamedWidget>("Label");
    EXPECT_EQ(loose->findStyleValue(sym("x")), nullptr);
    EXPECT_TRUE(StyleSheet::matchingRules(*loose, sym("x")).empty());
    StyleData& data = sheets().getStyleData(*loose);
    sheets().resolveStyleData(data);
    EXPECT_EQ(data.getColour(0, false, 0), 0u);
    EXPECT_EQ(data.getAlignment(), 0x1000);
}

TEST_F(CascadeTest, AttributeChangeNeedsNoNewMatching)
{
    std::string sheet = "Wheel { animation-index: 99; }\n";
    for (int i = 0; i < 12; ++i)
        sheet += "Wheel[step=S" + std::to_string(i) + "] { animation-index: " + std::to_string(i) + "; }\n";
    load(sheet);
    build({{"Pane#root", -1}, {"Wheel#w", 0}});
    Widget& w = at("w");
    StyleData& data = sheets().getStyleData(w);
    sheets().resolveStyleData(data);
    EXPECT_EQ(data.getAnimationIndex(), 99);
    const auto candidates = global().candidateRules(w, StyleNames::animationIndex);
    EXPECT_EQ(candidates.size(), 13u);
    for (int i = 0; i < 12; ++i) {
        w.setAttribute("step", "S" + std::to_string(i));
        EXPECT_TRUE(w.hasFlag(Widget::eStyleDirty));
        sheets().resolveStyleData(data);
        EXPECT_EQ(data.getAnimationIndex(), i);
        EXPECT_EQ(global().candidateRules(w, StyleNames::animationIndex), candidates);
    }
}

TEST_F(CascadeTest, SetStyleForgetsTheSubtreesMatches)
{
    load("*.a { x: 1; }\n*.b { x: 2; }\n*.a Label { x: 3; }\n*.b Label { x: 4; }");
    build({{"Pane#root", -1}, {"Box#box.a", 0}, {"Label#l", 1}, {"Label#other", 0}});
    EXPECT_EQ(number("box"), 1);
    EXPECT_EQ(number("l"), 3);
    EXPECT_EQ(number("other"), -1);
    ASSERT_TRUE(global().getMatchCache().count(&at("other")));
    at("box").setStyle("b");
    EXPECT_FALSE(global().getMatchCache().count(&at("box")));
    EXPECT_FALSE(global().getMatchCache().count(&at("l")));
    EXPECT_TRUE(global().getMatchCache().count(&at("other")));
    EXPECT_EQ(number("box"), 2);
    EXPECT_EQ(number("l"), 4);
}

TEST_F(CascadeTest, AMovedSubtreeIsMatchedAgain)
{
    load("*#from Inner { x: 1; }\n*#to Inner { x: 2; }\n*#to::Mid { x: 3; }");
    build({{"Pane#root", -1}, {"Box#from", 0}, {"Box#to", 0}, {"Mid#mid", 1}, {"Inner#inner", 3}});
    EXPECT_EQ(number("inner"), 1);
    EXPECT_EQ(number("mid"), -1);
    at("to").addChild(widgets.at("mid"), "mid");
    EXPECT_EQ(number("inner"), 2);
    EXPECT_EQ(number("mid"), 3);
}

TEST_F(CascadeTest, LeavingThePaneAndDyingForgetTheWidget)
{
    load("Label { x: 1; background-color: rgb(1, 2, 3); }");
    build({{"Pane#root", -1}, {"Label#l", 0}});
    const Widget* l = &at("l");
    EXPECT_EQ(background("l"), rgb(1, 2, 3));
    ASSERT_TRUE(global().getMatchCache().count(l));
    ASSERT_TRUE(sheets().getStyleDataCache().count(l));
    at("root").removeChild(at("root").getChildren().begin());
    EXPECT_FALSE(global().getMatchCache().count(l));
    EXPECT_EQ(number("l"), -1);
    EXPECT_TRUE(sheets().getStyleDataCache().count(l));
    widgets.erase("l");
    EXPECT_FALSE(sheets().getStyleDataCache().count(l));
    EXPECT_FALSE(global().getMatchCache().count(l));
}

TEST_F(CascadeTest, LoadingASheetDropsTheMatches)
{
    load("Label { x: 1; }");
    build({{"Pane#root", -1}, {"Label#l", 0}});
    EXPECT_EQ(number("l"), 1);
    load("Label { x: 2; }");
    EXPECT_TRUE(global().getMatchCache().empty());
    EXPECT_EQ(global().getMatchCache().bucket_count(),
              StyleSheet::tMatchCache(StyleSheet::kMatchCacheBuckets).bucket_count());
    EXPECT_EQ(number("l"), 2);
}

TEST_F(CascadeTest, APanesOwnSheetStylesItsWidgets)
{
    load("Label { x: 1; }");
    build({{"Pane#root", -1}, {"Label#l", 0}});
    StyleSheet own(getManager());
    StyleParser2::processString(own, "Label { x: 7; }");
    pane.setStyleSheet(&own);
    EXPECT_EQ(number("l"), 7);
    EXPECT_TRUE(own.getMatchCache().count(&at("l")));
    pane.setRoot(nullptr);
    EXPECT_FALSE(own.getMatchCache().count(widgets.at("l").get()));
    pane.setStyleSheet(nullptr);
}

TEST_F(CascadeTest, TypedReads)
{
    load("Label { i: 3; f: 2.5; s: word; u: url('a.png'); b1: yes; b2: false; b3: 0; b4: 7; "
         "n: no; c: rgb(1,2,3); }");
    build({{"Label#l", -1}});
    const Widget& l = at("l");
    bool found = false;
    EXPECT_EQ(l.getProperty(sym("i"), -1, &found), 3);
    EXPECT_TRUE(found);
    EXPECT_EQ(l.getProperty(sym("f"), -1, &found), -1);
    EXPECT_FALSE(found);
    EXPECT_EQ(l.getProperty(sym("s"), -1, &found), -1);
    EXPECT_FALSE(found);
    EXPECT_EQ(l.getProperty(sym("missing"), -1, &found), -1);
    EXPECT_FALSE(found);
    EXPECT_EQ(l.getProperty(sym("n"), -1, &found), 0);
    EXPECT_TRUE(found);

    EXPECT_EQ(l.getProperty(sym("s"), std::string("d"), &found), "word");
    EXPECT_TRUE(found);
    EXPECT_EQ(l.getProperty(sym("u"), "d", &found), "a.png");
    EXPECT_EQ(l.getProperty(sym("n"), "d", &found), "");
    EXPECT_TRUE(found);
    EXPECT_EQ(l.getProperty(sym("i"), "d", &found), "d");
    EXPECT_FALSE(found);

    EXPECT_TRUE(l.getProperty(sym("b1"), false, &found));
    EXPECT_TRUE(found);
    EXPECT_FALSE(l.getProperty(sym("b2"), true, &found));
    EXPECT_TRUE(found);
    EXPECT_FALSE(l.getProperty(sym("b3"), true, &found));
    EXPECT_TRUE(l.getProperty(sym("b4"), false, &found));
    EXPECT_FALSE(l.getProperty(sym("n"), true, &found));
    EXPECT_TRUE(found);
    EXPECT_TRUE(l.getProperty(sym("c"), true, &found));
    EXPECT_FALSE(found);
    EXPECT_TRUE(l.getProperty(sym("f"), true, &found));
    EXPECT_FALSE(found);

    const UIA::Font* none = nullptr;
    EXPECT_EQ(l.getProperty(sym("n"), none, &found), nullptr);
    EXPECT_TRUE(found);
    EXPECT_EQ(l.getProperty(sym("i"), none, &found), nullptr);
    EXPECT_FALSE(found);
}

struct tFourSidedCase {
    std::string declarations;
    int kind;
    Widget::tMargins expected;
};

class FourSidedTable : public CascadeTest, public ::testing::WithParamInterface<tFourSidedCase> {};

TEST_P(FourSidedTable, WholeThenSides)
{
    const tFourSidedCase& c = GetParam();
    load("Label { " + c.declarations + " }");
    build({{"Label#l", -1}});
    Widget::tMargins sides{10, 20, 30, 40};
    at("l").getFourSided(c.kind, sides);
    EXPECT_EQ(sides, c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cascade, FourSidedTable,
    ::testing::Values(tFourSidedCase{"", 0, {10, 20, 30, 40}},
                      tFourSidedCase{"margin: 4; margin-left: 1;", 0, {1, 4, 4, 4}},
                      tFourSidedCase{"margin-bottom: 2; margin-top: 3;", 0, {10, 3, 30, 2}},
                      tFourSidedCase{"margin: no;", 0, {0, 0, 0, 0}},
                      tFourSidedCase{"margin: 4; margin-right: no;", 0, {4, 4, 0, 4}},
                      tFourSidedCase{"margin: 4;", 1, {10, 20, 30, 40}},
                      tFourSidedCase{"outer-margin: 6; outer-margin-top: 1;", 1, {6, 1, 6, 6}},
                      tFourSidedCase{"margin: 2.5;", 0, {10, 20, 30, 40}}));

TEST_F(CascadeTest, StyleDataListsInTheirOrder)
{
    load("Label { background-color: rgb(1,1,1); foreground-color: no; dye-color: yes; "
         "horizontal-alignment: right; vertical-alignment: bottom; animation-index: 4; "
         "picture-includes-margin: yes; relative-left: 3; foreground-relative-top: 5; }\n"
         "Label:over { background-color: rgb(2,2,2); animation-index: no; horizontal-alignment: no; "
         "picture-includes-margin: 0; dye-mask-animation-index: 2; }\n"
         "Label:focus { foreground-color: rgb(7, 7, 7); }");
    build({{"Label#l", -1}});
    Widget& l = at("l");
    StyleData& data = sheets().getStyleData(l);
    sheets().resolveStyleData(data);
    EXPECT_EQ(data.widget, &l);
    ASSERT_EQ(data.colours[0].size(), 2u);
    EXPECT_EQ(data.colours[0][0].value, rgb(2, 2, 2));  // the state rule is more specific
    EXPECT_EQ(data.colours[0][1].value, rgb(1, 1, 1));
    ASSERT_EQ(data.colours[2].size(), 2u);
    EXPECT_EQ(data.colours[2][1].value, 0u);  // "no"
    EXPECT_TRUE(data.colours[4].empty());     // a bool is no colour
    EXPECT_EQ(data.getColour(2, false, 0), 0u);
    EXPECT_EQ(data.getAlignment(), 1 | 0x10);
    EXPECT_EQ(data.getAnimationIndex(), 4);
    EXPECT_EQ(data.getDyeMaskAnimationIndex(), 0);
    EXPECT_TRUE(data.getPictureIncludesMargin());
    EXPECT_EQ(data.getPictureDisplacement(), (GP::Point{3, 0}));
    EXPECT_EQ(data.getTextDisplacement(), (GP::Point{0, 5}));
    EXPECT_EQ(data.getPicture().get(1.0f), nullptr);

    pane.setHovered(&l);
    EXPECT_EQ(data.getColour(0, false, 0), rgb(2, 2, 2));
    EXPECT_EQ(data.getAnimationIndex(), 0);
    EXPECT_EQ(data.getDyeMaskAnimationIndex(), 2);
    EXPECT_EQ(data.getAlignment(), 0 | 0x10);
    EXPECT_FALSE(data.getPictureIncludesMargin());
    widgets.at("l")->changeFlags(Widget::eFocusable, 0);
    pane.setFocusWidget(&l);
    ASSERT_EQ(pane.getFocusWidget(), &l);
    EXPECT_EQ(data.getColour(2, false, 0), rgb(7, 7, 7));
}

TEST_F(CascadeTest, BorderColoursAndPaletteRedirection)
{
    load("Pane { palette2-color3: rgb(9, 9, 9); palette2-color4: no; palette2-color5: 5; }\n"
         "Label { background-color: rgb(1,1,1); foreground-color: rgb(2,2,2); "
         "background-border-color: rgb(5,5,5); foreground-border-color: rgb(6,6,6); "
         "foreground-color-palette: 2; }");
    build({{"Pane#root", -1}, {"Label#l", 0}});
    StyleData& data = sheets().getStyleData(at("l"));
    sheets().resolveStyleData(data);
    EXPECT_EQ(data.getColour(0, false, 3), rgb(1, 1, 1));
    EXPECT_EQ(data.getColour(0, true, 3), rgb(5, 5, 5));
    EXPECT_EQ(data.getColour(1, true, 3), rgb(6, 6, 6));
    EXPECT_EQ(data.getColour(2, true, 3), rgb(6, 6, 6));
    EXPECT_EQ(data.getColour(2, false, 3), rgb(9, 9, 9));
    EXPECT_EQ(data.getColour(2, false, 4), 0u);
    EXPECT_EQ(data.getColour(2, false, 5), rgb(2, 2, 2));
    EXPECT_EQ(data.getColour(2, false, 6), rgb(2, 2, 2));
    EXPECT_EQ(data.getColour(7, false, 0), 0u);
    EXPECT_EQ(data.getColour(-1, false, 0), 0u);
    pane.setRoot(nullptr);
    EXPECT_EQ(data.getColour(2, false, 3), rgb(2, 2, 2));
}

TEST_F(CascadeTest, ANullFontReadsAsTheDefaultFont)
{
    static_cast<void>(UIA::TEST::kFreeTypePropertiesCleared);
    load("Label { font: no; }");
    build({{"Label#l", -1}});
    UIA::FreeTypeContext engine;
    const auto font = UIA::TEST::fontFromBytes(UIA::TEST::sansBytes(), UIA::TEST::sansDesc(engine, 12));
    ASSERT_NE(font, nullptr);
    StyleData data(&at("l"), font.get());
    sheets().resolveStyleData(data);
    ASSERT_EQ(data.fonts.size(), 1u);
    EXPECT_EQ(data.fonts[0].value, nullptr);
    EXPECT_EQ(data.getFont(), font.get());
    pane.setScale(2.0f);
    EXPECT_EQ(data.getFont(), font.get());
    EXPECT_EQ(font->getScale(), 2.0f);
    // The widget's own read falls back the same way, to the library's default font.
    EXPECT_EQ(at("l").getFont(), getManager()->getFont(getDefaultFontDesc()));
}

}  // namespace
}  // namespace HA::HWL
