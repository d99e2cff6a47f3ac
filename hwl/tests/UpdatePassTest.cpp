#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "hwl/tests/CanvasTestSupport.h"

namespace HA::HWL {
namespace {

using Testing::makeScripted;
using Testing::ScriptedWidget;

std::vector<GP::Rect> rectsOf(const GP::Region& region)
{
    std::vector<GP::Rect> out;
    GP::Region::RectIterator walk = region.beginRects(region.getBounds(), GP::Point{});
    GP::Rect r;
    while (walk.next(r))
        out.push_back(r);
    return out;
}

TEST(UpdatePass, SetRootStylesAndSizesAtOnceClippedToAHundred)
{
    Pane pane;
    pane.setSize(300, 200);
    auto root = makeScripted();
    auto child = makeScripted();
    root->addChild(child, "child");
    child->setSize(150, 20);
    child->setPosition({10, 90});
    pane.setRoot(root, "root");
    EXPECT_FALSE(root->hasFlag(Widget::eStyleDirty));
    EXPECT_FALSE(child->hasFlag(Widget::eStyleDirty));
    EXPECT_TRUE(child->hasFlag(Widget::eRegistered));
    EXPECT_EQ(child->getAbsolutePosition(), (GP::Point{10, 90}));
    EXPECT_EQ(child->getBounds(), (GP::Rect{10, 90, 100, 100}));
    EXPECT_EQ(root->getBounds(), (GP::Rect{0, 0, 100, 100}));
    // The next regular pass computes them against the pane.
    GP::Region dirty;
    pane.collectDirtyRegion(dirty);
    EXPECT_EQ(root->getBounds(), (GP::Rect{0, 0, 300, 200}));
    EXPECT_EQ(child->getBounds(), (GP::Rect{10, 90, 160, 110}));
    EXPECT_EQ(dirty.getBounds(), (GP::Rect{0, 0, 300, 200}));
}

TEST(UpdatePass, AWidgetAskingFromItsLayoutCostsFivePassesPerTickAndIsServedNextTick)
{
    Pane pane;
    pane.setSize(100, 100);
    auto root = makeScripted();
    auto restless = makeScripted();
    root->addChild(restless, "restless");
    pane.setRoot(root, "root");
    GP::Region dirty;
    pane.collectDirtyRegion(dirty);
    restless->layouts = 0;
    restless->layoutHook = [](ScriptedWidget& w) { w.requestLayout(); };
    restless->requestLayout();
    pane.collectDirtyRegion(dirty);
    EXPECT_EQ(restless->layouts, Pane::kMaxUpdatePasses);
    // The fifth pass's request is not lost.
    EXPECT_TRUE(restless->needsLayout());
    EXPECT_NE(pane.getDirtyWord() & Pane::kDirtyUpdate, 0u);
    restless->layoutHook = nullptr;
    pane.collectDirtyRegion(dirty);
    EXPECT_EQ(restless->layouts, Pane::kMaxUpdatePasses + 1);
    pane.collectDirtyRegion(dirty);
    EXPECT_EQ(restless->layouts, Pane::kMaxUpdatePasses + 1);
    EXPECT_EQ(pane.getDirtyWord(), 0u);
}

TEST(UpdatePass, MovingANestedWidgetDirtiesItsOldAndNewBoxInPaneCoordinates)
{
    Pane pane;
    pane.setSize(200, 200);
    auto root = makeScripted();
    auto panel = makeScripted();
    auto item = makeScripted();
    root->addChild(panel, "panel");
    panel->addChild(item, "item");
    panel->setMargin({5, 6, 0, 0});
    panel->setSize(100, 100);
    panel->setPosition({40, 50});
    item->setSize(20, 20);
    item->setPosition({10, 10});
    pane.setRoot(root, "root");
    GP::Region dirty;
    pane.collectDirtyRegion(dirty);
    EXPECT_EQ(item->getAbsolutePosition(), (GP::Point{55, 66}));

    GP::Region moved;
    item->setPosition({30, 10});
    pane.collectDirtyRegion(moved);
    EXPECT_EQ(item->getBounds(), (GP::Rect{75, 66, 95, 86}));
    // The old box (55..75) and the new one (75..95), nothing of the panel beyond them.
    EXPECT_EQ(rectsOf(moved), (std::vector<GP::Rect>{{55, 66, 95, 86}}));
}

TEST(UpdatePass, HiddenSubtreesLeaveThePaneAndTheFocusGoesToTheParent)
{
    Pane pane;
    pane.setSize(100, 100);
    auto root = makeScripted();
    auto panel = makeScripted();
    auto field = makeScripted();
    root->addChild(panel, "panel");
    panel->addChild(field, "field");
    root->changeFlags(Widget::eFocusable, 0);
    field->changeFlags(Widget::eFocusable, 0);
    pane.setRoot(root, "root");
    pane.setFocusWidget(field.get());
    ASSERT_EQ(pane.getFocusWidget(), field.get());
    panel->setVisible(false);
    GP::Region dirty;
    pane.collectDirtyRegion(dirty);
    EXPECT_FALSE(panel->hasFlag(Widget::eRegistered));
    EXPECT_FALSE(field->hasFlag(Widget::eRegistered));
    EXPECT_EQ(pane.getFocusWidget(), root.get());
}

// The pane's input widget inside a subtree that the update pass hides: the focus goes to the
// nearest focusable ancestor and the input widget goes with the subtree, so that no key
// reaches a hidden widget.
TEST(UpdatePass, HidingTheInputWidgetsSubtreeTakesFocusAndInputOut)
{
    struct Case {
        const char* hidden;
    };
    for (const Case c : {Case{"panel"}, Case{"field"}}) {
        SCOPED_TRACE(c.hidden);
        Testing::tJournal journal;
        Pane pane;
        pane.setSize(100, 100);
        auto root = Testing::makeWidget(&journal);
        auto panel = Testing::makeWidget(&journal);
        auto field = Testing::makeWidget(&journal);
        root->addChild(panel, "panel");
        panel->addChild(field, "field");
        root->changeFlags(Widget::eFocusable, 0);
        field->changeFlags(Widget::eFocusable | Widget::eAcceptsInput, 0);
        field->takesKeys = true;
        pane.setRoot(root, "root");
        pane.setInputWidget(field.get());
        ASSERT_EQ(pane.getInputWidget(), field.get());
        ASSERT_EQ(pane.getFocusWidget(), field.get());

        (std::string(c.hidden) == "panel" ? panel : field)->setVisible(false);
        GP::Region dirty;
        pane.collectDirtyRegion(dirty);
        EXPECT_FALSE(field->hasFlag(Widget::eRegistered));
        EXPECT_EQ(pane.getFocusWidget(), root.get());
        EXPECT_EQ(pane.getInputWidget(), nullptr);

        journal.clear();
        int key = 'A';
        EXPECT_FALSE(pane.dispatchKeyEvent(UIA::kEventKeyDown, &key));
        EXPECT_EQ(journal, (Testing::tJournal{{Testing::kRecordKey, "root", UIA::kEventKeyDown, 0, 0}}));
    }
}

TEST(UpdatePass, OpaqueChildrenMakeTheOpaqueRegion)
{
    Pane pane;
    pane.setSize(100, 100);
    auto root = makeScripted();
    auto a = makeScripted();
    auto b = makeScripted();
    root->addChild(a, "a");
    root->addChild(b, "b");
    a->setSize(20, 20);
    a->setMargin({2, 2, 2, 2});
    a->changeFlags(Widget::eOpaqueContent, 0);
    b->setSize(20, 20);
    b->setPosition({50, 0});
    b->changeFlags(Widget::eOpaqueBounds, 0);
    pane.setRoot(root, "root");
    GP::Region dirty;
    pane.collectDirtyRegion(dirty);
    EXPECT_EQ(rectsOf(root->getChildrenOpaqueRegion()),
              (std::vector<GP::Rect>{{50, 0, 70, 2}, {2, 2, 18, 18}, {50, 2, 70, 18}, {50, 18, 70, 20}}));
    GP::Region opaque;
    EXPECT_TRUE(root->getOpaqueRegion(opaque));
    EXPECT_EQ(opaque.getBounds(), (GP::Rect{2, 0, 70, 20}));
}

TEST(DirtyCollection, AWidgetsOwnRegionIsPlacedAtItsAbsolutePosition)
{
    Pane pane;
    pane.setSize(200, 200);
    auto root = makeScripted();
    auto panel = makeScripted();
    auto item = makeScripted();
    root->addChild(panel, "panel");
    panel->addChild(item, "item");
    panel->setSize(100, 100);
    panel->setPosition({40, 50});
    item->setSize(30, 30);
    item->setPosition({10, 10});
    pane.setRoot(root, "root");
    GP::Region dirty;
    pane.collectDirtyRegion(dirty);

    GP::Region collected;
    item->addDirtyRect({1, 2, 3, 4});
    pane.collectDirtyRegion(collected);
    EXPECT_EQ(rectsOf(collected), (std::vector<GP::Rect>{{51, 62, 53, 64}}));
    EXPECT_TRUE(item->getDirtyRegion().isEmpty());

    // A dirty mask adds the whole box and only discards the children's marks.
    GP::Region whole;
    item->addDirtyRect({1, 2, 3, 4});
    panel->invalidate();
    pane.collectDirtyRegion(whole);
    EXPECT_EQ(rectsOf(whole), (std::vector<GP::Rect>{{40, 50, 140, 150}}));
    EXPECT_TRUE(item->getDirtyRegion().isEmpty());
    EXPECT_EQ(panel->getDirtyMask(), 0u);

    // Nothing asked for: nothing collected.
    GP::Region none;
    pane.collectDirtyRegion(none);
    EXPECT_TRUE(none.isEmpty());
}

// Line layouts: direction, margins, spacing and children to positions and sizes.
struct tLineChild {
    int width;
    int height;
    Widget::tMargins outer;
    bool hidden = false;
    bool fixed = false;
};
struct tLineCase {
    const char* name;
    int direction;
    int spacing;
    Widget::tMargins margins;
    std::vector<tLineChild> children;
    std::vector<GP::Rect> expected;  // position and size of each child
};

class LineLayout : public ::testing::TestWithParam<tLineCase> {};

TEST_P(LineLayout, PlacesAndStretchesTheShownChildren)
{
    const tLineCase& c = GetParam();
    auto parent = makeScripted();
    parent->setSize(100, 80);
    parent->setMargin(c.margins);
    std::vector<std::shared_ptr<ScriptedWidget>> kids;
    for (const tLineChild& k : c.children) {
        auto kid = makeScripted();
        parent->addChild(kid);
        kid->setSize(k.width, k.height);
        kid->setPosition({-1, -1});
        kid->setOuterMargin(k.outer);
        if (k.hidden)
            kid->setVisible(false);
        if (k.fixed)
            kid->setPositionFixed(true);
        kids.push_back(kid);
    }
    parent->arrangeChildrenInLine(c.direction, c.spacing);
    for (std::size_t i = 0; i < kids.size(); ++i) {
        const GP::Point p = kids[i]->getPosition();
        const Widget::tSize s = kids[i]->getSize();
        EXPECT_EQ((GP::Rect{p.x, p.y, s.width, s.height}), c.expected[i]) << c.name << " child " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LineLayout,
    ::testing::Values(
        tLineCase{"top to bottom", 16, 4, {}, {{10, 20, {}}, {10, 30, {}}}, {{0, 0, 100, 20}, {0, 24, 100, 30}}},
        tLineCase{"left to right, margins and outer margins",
                  1,
                  2,
                  {5, 6, 7, 8},
                  {{10, 20, {1, 2, 3, 4}}, {15, 20, {}}},
                  {{1, 2, 10, 60}, {16, 0, 15, 66}}},
        tLineCase{"right to left", 0x1000, 0, {}, {{30, 10, {}}}, {{70, 0, 30, 80}}},
        tLineCase{"right to left from the content box's far edge",
                  0x1000,
                  3,
                  {10, 0, 5, 0},
                  {{30, 10, {0, 0, 2, 0}}, {20, 10, {1, 0, 0, 0}}},
                  {{53, 0, 30, 80}, {30, 0, 20, 80}}},
        tLineCase{"bottom to top from the content box's far edge",
                  256,
                  1,
                  {0, 10, 0, 5},
                  {{10, 20, {0, 0, 0, 2}}, {10, 15, {}}},
                  {{0, 43, 100, 20}, {0, 27, 100, 15}}},
        tLineCase{"hidden child takes no room and keeps its place",
                  16,
                  4,
                  {},
                  {{10, 20, {}, true}, {10, 30, {}}},
                  {{-1, -1, 10, 20}, {0, 0, 100, 30}}},
        tLineCase{"fixed child keeps place and size",
                  1,
                  0,
                  {},
                  {{10, 20, {}, false, true}, {25, 30, {}}},
                  {{-1, -1, 10, 20}, {0, 0, 25, 80}}},
        tLineCase{"other directions move nothing", 2, 0, {}, {{10, 20, {}}}, {{-1, -1, 10, 20}}}));

}  // namespace
}  // namespace HA::HWL
