// Style application: what a widget and a bar take from the sheet when their style is applied
// (margins, limits, size, paint phase, picture size, position, z-index, spacing), and the
// bar's reports of sizes that the sheet gives but the bar computes.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "hwl/core/src/cascade/StyleSheets.h"
#include "hwl/core/src/library/Init.h"
#include "hwl/core/src/widgets/Bar.h"
#include "hwl/tests/ResourceTestSupport.h"
#include "hwl/tests/WidgetTestSupport.h"

namespace HA::HWL {
namespace {

using Testing::TestWidget;
using tMargins = Widget::tMargins;
using tSize = Widget::tSize;

class StyleApplicationTest : public ::testing::Test {
protected:
    StyleApplicationTest() { init(); }
    ~StyleApplicationTest() override
    {
        pane.setRoot(nullptr);
        shutdown();
    }

    // Replaces the built-in rules.
    void load(const std::string& text) { StyleParser2::processString(getStyleSheets().getGlobalSheet(), text.c_str()); }
    // Runs the passes of one tick.
    void tick()
    {
        GP::Region dirty;
        pane.collectDirtyRegion(dirty);
    }

    TEST::SkinLookupScope lookup{false};
    Pane pane;
};

struct tWidgetCase {
    const char* name;
    const char* rule;
    tMargins margins;
    tMargins outer;
    tSize minimum;
    tSize maximum;
    tSize size;
};

class WidgetStyleTable : public StyleApplicationTest, public ::testing::WithParamInterface<tWidgetCase> {};

// A 20 x 40 widget with margins {1, 1, 1, 1} under a 200 x 200 root.
TEST_P(WidgetStyleTable, LimitsMarginsAndSize)
{
    const tWidgetCase& c = GetParam();
    load(std::string("TestWidget#w { ") + c.rule + " }");
    auto root = std::make_shared<TestWidget>();
    auto w = std::make_shared<TestWidget>();
    w->setMargin({1, 1, 1, 1});
    w->setSize(20, 40);
    root->addChild(w, "w");
    pane.setSize(200, 200);
    pane.setRoot(root, "root");
    EXPECT_EQ(w->getMargins(), c.margins);
    EXPECT_EQ(w->getOuterMargins(), c.outer);
    EXPECT_EQ(w->getMinimumSize(), c.minimum);
    EXPECT_EQ(w->getMaximumSize(), c.maximum);
    EXPECT_EQ(w->getSize(), c.size);
    EXPECT_FALSE(w->hasFlag(Widget::eStyleDirty));
}

INSTANTIATE_TEST_SUITE_P(
    Rows, WidgetStyleTable,
    ::testing::Values(
        tWidgetCase{"Nothing", "", {1, 1, 1, 1}, {}, {}, {}, {20, 40}},
        tWidgetCase{"Margins", "margin: 4; margin-left: 2; outer-margin: 3; outer-margin-bottom: 0;", {2, 4, 4, 4},
                    {3, 3, 3, 0}, {}, {}, {20, 40}},
        tWidgetCase{"OneMarginSideKeepsTheOthers", "margin-top: 6;", {1, 6, 1, 1}, {}, {}, {}, {20, 40}},
        tWidgetCase{"WidthAndHeightFixBothLimits", "width: 30; height: 12;", {1, 1, 1, 1}, {}, {30, 12}, {30, 12},
                    {30, 12}},
        tWidgetCase{"LimitsClampTheSize", "min-width: 25; max-height: 10;", {1, 1, 1, 1}, {}, {25, 0}, {0, 10},
                    {25, 10}},
        tWidgetCase{"WidthWinsOverMinWidth", "min-width: 50; width: 30;", {1, 1, 1, 1}, {}, {30, 0}, {30, 0},
                    {30, 40}},
        tWidgetCase{"PictureFixesBothExtents", "image: url('linked-picture.tga'); margin: 2;", {2, 2, 2, 2}, {},
                    {6, 5}, {6, 5}, {6, 5}},
        tWidgetCase{"PictureThatIncludesTheMargins",
                    "image: url('linked-picture.tga'); margin: 2; picture-includes-margin: yes;", {2, 2, 2, 2}, {},
                    {2, 1}, {2, 1}, {2, 1}},
        tWidgetCase{"NinePatchPictureFixesNothing", "image: url('linked-picture.tga'); fixed: 1;", {1, 1, 1, 1}, {},
                    {}, {}, {20, 40}},
        tWidgetCase{"NoPicture", "image: no; width: 9;", {1, 1, 1, 1}, {}, {9, 0}, {9, 0}, {9, 40}}),
    [](const ::testing::TestParamInfo<tWidgetCase>& info) { return std::string(info.param.name); });

TEST_F(StyleApplicationTest, DrawForegroundChoosesThePaintPhase)
{
    load("TestWidget#a { draw_foreground: yes; }\nTestWidget#b { draw_foreground: false; }\n");
    auto root = std::make_shared<TestWidget>();
    auto a = std::make_shared<TestWidget>();
    auto b = std::make_shared<TestWidget>();
    root->addChild(a, "a");
    root->addChild(b, "b");
    b->changeFlags(Widget::ePaintAfterChildren, Widget::ePaintBeforeChildren);
    pane.setSize(100, 100);
    pane.setRoot(root, "root");
    EXPECT_TRUE(a->hasFlag(Widget::ePaintAfterChildren));
    EXPECT_FALSE(a->hasFlag(Widget::ePaintBeforeChildren));
    EXPECT_TRUE(b->hasFlag(Widget::ePaintBeforeChildren));
    EXPECT_FALSE(b->hasFlag(Widget::ePaintAfterChildren));
    // Undeclared: as it was.
    EXPECT_TRUE(root->hasFlag(Widget::ePaintBeforeChildren));
    EXPECT_FALSE(root->hasFlag(Widget::ePaintAfterChildren));
}

TEST_F(StyleApplicationTest, PositionFromTheSheetFixesItInALine)
{
    load("TestWidget#fixed { x: 30; }\nBar { spacing: 5; }\n");
    auto bar = std::make_shared<Bar>();
    bar->configure(Widget::kLineLeftToRight, nullptr);
    auto first = std::make_shared<TestWidget>();
    auto fixed = std::make_shared<TestWidget>();
    auto last = std::make_shared<TestWidget>();
    for (auto* w : {first.get(), fixed.get(), last.get()})
        w->setSize(10, 10);
    bar->addChild(first, "first");
    bar->addChild(fixed, "fixed");
    bar->addChild(last, "last");
    pane.setSize(100, 40);
    pane.setRoot(bar, "bar");
    tick();
    EXPECT_EQ(bar->getSpacing(), 5);
    EXPECT_TRUE(fixed->hasFlag(Widget::ePositionFixed));
    EXPECT_EQ(fixed->getPosition(), (GP::Point{30, 0}));
    EXPECT_EQ(first->getPosition(), (GP::Point{0, 0}));
    EXPECT_EQ(last->getPosition(), (GP::Point{15, 0}));
}

TEST_F(StyleApplicationTest, ZIndexReordersThePaintOrder)
{
    load("TestWidget#low { z-index: 2; }\n");
    auto root = std::make_shared<TestWidget>();
    auto low = std::make_shared<TestWidget>();
    auto high = std::make_shared<TestWidget>();
    root->addChild(low, "low");
    root->addChild(high, "high");
    ASSERT_EQ(root->getZOrderedChildren().front(), low);
    pane.setSize(100, 100);
    pane.setRoot(root, "root");
    EXPECT_EQ(low->getZIndex(), 2);
    EXPECT_EQ(root->getZOrderedChildren().front(), high);
    EXPECT_EQ(root->getZOrderedChildren().back(), low);
}

TEST_F(StyleApplicationTest, StyleIsAppliedAgainAfterAStyleChange)
{
    load("TestWidget.wide { width: 40; }\nTestWidget.narrow { width: 20; }\n");
    auto root = std::make_shared<TestWidget>();
    root->setStyle("wide");
    pane.setSize(100, 100);
    pane.setRoot(root, "root");
    EXPECT_EQ(root->getSize().width, 40);
    root->setStyle("narrow");
    tick();
    EXPECT_EQ(root->getSize().width, 20);
}

TEST_F(StyleApplicationTest, ResolvedStyleIsRefreshed)
{
    load("TestWidget { background-color: rgb(1, 2, 3); }\n");
    auto root = std::make_shared<TestWidget>();
    pane.setSize(100, 100);
    pane.setRoot(root, "root");
    EXPECT_EQ(getStyleSheets().getStyleData(*root).getColour(0, false, 0), 0xFF010203u);
    load("TestWidget { background-color: rgb(4, 5, 6); }\n");
    root->setStyle(nullptr);
    tick();
    EXPECT_EQ(getStyleSheets().getStyleData(*root).getColour(0, false, 0), 0xFF040506u);
}

TEST_F(StyleApplicationTest, WithoutTheLibraryOnlyLayoutIsAsked)
{
    pane.setRoot(nullptr);
    shutdown();
    {
        Pane bare;
        auto root = std::make_shared<TestWidget>();
        auto child = std::make_shared<TestWidget>();
        child->setMargin({1, 2, 3, 4});
        child->setSize(30, 20);
        root->addChild(child, "child");
        bare.setSize(100, 100);
        bare.setRoot(root, "root");
        EXPECT_EQ(child->getMargins(), (tMargins{1, 2, 3, 4}));
        EXPECT_EQ(child->getSize(), (tSize{30, 20}));
        EXPECT_FALSE(child->hasFlag(Widget::eStyleDirty));
        bare.setRoot(nullptr);
    }
    init();
}

// The bar's reports: a breadth computed from the children or a computed length that the
// sheet also gives.
struct tReportCase {
    const char* name;
    int direction;
    bool breadthFromChildren;
    bool automaticLength;
    int flexibleIndex;
    std::vector<std::string> messages;
};

class BarReportTable : public StyleApplicationTest, public ::testing::WithParamInterface<tReportCase> {};

TEST_P(BarReportTable, LayoutContradictions)
{
    const tReportCase& c = GetParam();
    TEST::ErrorRecorder errors;
    load("\nBar#b { height: 20; }\n\nBar#b { width: 30; }\n");
    auto bar = std::make_shared<Bar>();
    bar->configure(c.direction, nullptr);
    if (c.breadthFromChildren)
        bar->fitBreadthAutomatically();
    bar->setAutomaticLength(c.automaticLength);
    if (c.flexibleIndex != -1)
        bar->setFlexibleIndex(c.flexibleIndex);
    pane.setSize(100, 100);
    pane.setRoot(bar, "b");
    EXPECT_EQ(errors.texts, c.messages);
}

const std::string kSource = "(StyleParser2::processString)";

INSTANTIATE_TEST_SUITE_P(
    Rows, BarReportTable,
    ::testing::Values(
        tReportCase{"Nothing", Widget::kLineLeftToRight, false, false, -1, {}},
        tReportCase{"HorizontalBreadth",
                    Widget::kLineLeftToRight,
                    true,
                    false,
                    -1,
                    {"Layout contradiction - height of Bar b is given at line " + kSource +
                     ":2 of the stylesheet but also computed automatically by styleBreadthXXX!!!"}},
        tReportCase{"VerticalBreadth",
                    Widget::kLineBottomToTop,
                    true,
                    false,
                    -1,
                    {"Layout contradiction - width of Bar b is given at line " + kSource +
                     ":4 of the stylesheet but also computed automatically by styleBreadthXXX!!!"}},
        tReportCase{"LengthWithAFlexibleChild",
                    Widget::kLineTopToBottom,
                    false,
                    true,
                    0,
                    {" Layout contradiction - Bar b has a flexible element, but is also computed automatically by "
                     "styleLengthXXX!!!",
                     "Layout contradiction - height of Bar b is given at line " + kSource +
                     ":2 of the stylesheet but also computed automatically by styleLengthXXX!!!"}}),
    [](const ::testing::TestParamInfo<tReportCase>& info) { return std::string(info.param.name); });

TEST_F(StyleApplicationTest, BarReportsOncePerStyleApplication)
{
    TEST::ErrorRecorder errors;
    load("Bar { height: 20; }\n");
    auto bar = std::make_shared<Bar>();
    bar->configure(Widget::kLineLeftToRight, nullptr);
    bar->fitBreadthAutomatically();
    pane.setSize(100, 100);
    pane.setRoot(bar, "b");
    EXPECT_EQ(errors.texts.size(), 1u);
    tick();
    tick();
    EXPECT_EQ(errors.texts.size(), 1u);
    bar->setStyle(nullptr);
    tick();
    EXPECT_EQ(errors.texts.size(), 2u);
}

}  // namespace
}  // namespace HA::HWL
