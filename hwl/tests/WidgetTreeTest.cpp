// The widget tree: defaults, children, panes, flags, notice counts, layout requests, dirty
// marks and the z-ordered copy.

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "hwl/tests/WidgetTestSupport.h"

namespace HA::HWL {
namespace {

using Testing::makeWidget;
using Testing::TestWidget;
using Testing::tJournal;
using Testing::tRecord;

std::vector<std::string> childIds(const Widget& w)
{
    std::vector<std::string> ids;
    for (const auto& c : w.getChildren())
        ids.push_back(c->getId().str());
    return ids;
}

TEST(WidgetTree, NewWidgetHasTheDefaults)
{
    auto w = makeWidget();
    EXPECT_EQ(w->getFlags(), 0x8303Du);
    EXPECT_TRUE(w->isShown());
    EXPECT_TRUE(w->isEffectivelyEnabled());
    EXPECT_EQ(w->getId(), ha::symbol());
    EXPECT_EQ(w->getStyle(), ha::symbol());
    EXPECT_EQ(w->getSize(), (Widget::tSize{0, 0}));
    EXPECT_EQ(w->getMinimumSize(), (Widget::tSize{0, 0}));
    EXPECT_EQ(w->getMaximumSize(), (Widget::tSize{0, 0}));
    EXPECT_EQ(w->getHelpId(), -1);
    EXPECT_EQ(w->getParent(), nullptr);
    EXPECT_EQ(w->getPane(), nullptr);
    EXPECT_EQ(w->getNoticeCount(), 0);
    EXPECT_EQ(w->getDirtyMask(), 0u);
    EXPECT_FALSE(w->isUnclipped());
}

struct tSizeCase {
    const char* name;
    Widget::tSize minimum;
    Widget::tSize maximum;
    Widget::tSize request;
    Widget::tSize expected;
};

class WidgetSetSize : public ::testing::TestWithParam<tSizeCase> {};

TEST_P(WidgetSetSize, ClampsToMinimumThenPositiveMaximum)
{
    const tSizeCase& c = GetParam();
    auto w = makeWidget();
    w->setMinimumSize(c.minimum);
    w->setMaximumSize(c.maximum);
    w->setSize(c.request.width, c.request.height);
    EXPECT_EQ(w->getSize(), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WidgetSetSize,
    ::testing::Values(tSizeCase{"BelowMinimum", {10, 10}, {0, 0}, {5, 5}, {10, 10}},
                      tSizeCase{"NoMaximumMeansNoLimit", {0, 0}, {0, 0}, {5000, 4000}, {5000, 4000}},
                      tSizeCase{"AboveMaximum", {0, 0}, {20, 20}, {30, 30}, {20, 20}},
                      tSizeCase{"Between", {10, 10}, {20, 20}, {15, 12}, {15, 12}},
                      tSizeCase{"NegativeGoesToMinimum", {3, 4}, {0, 0}, {-5, -1}, {3, 4}},
                      tSizeCase{"MaximumBelowMinimumWins", {18, 18}, {10, 12}, {0, 0}, {10, 12}},
                      tSizeCase{"OneExtentLimited", {0, 0}, {0, 7}, {9, 9}, {9, 7}}),
    [](const ::testing::TestParamInfo<tSizeCase>& info) { return std::string(info.param.name); });

struct tStyleCase {
    const char* name;
    const char* style;
    Widget::tSize maximum;
    Widget::tSize before;
    Widget::tSize expected;
};

class WidgetSetStyle : public ::testing::TestWithParam<tStyleCase> {};

TEST_P(WidgetSetStyle, GivesTheStyledMinimum)
{
    const tStyleCase& c = GetParam();
    auto w = makeWidget();
    w->setMaximumSize(c.maximum);
    w->setSize(c.before.width, c.before.height);
    w->setStyle(c.style);
    EXPECT_EQ(w->getSize(), c.expected);
    EXPECT_EQ(w->getMinimumSize(), (Widget::tSize{18, 18}));
    EXPECT_EQ(w->getStyle(), c.style ? ha::symbol(std::string(c.style)) : ha::symbol());
    EXPECT_TRUE(w->hasFlag(Widget::eStyleDirty));
    EXPECT_TRUE(w->needsLayout());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WidgetSetStyle,
    ::testing::Values(tStyleCase{"NewWidget", "button", {0, 0}, {0, 0}, {18, 18}},
                      tStyleCase{"LargerWidgetShrinks", "panel", {0, 0}, {100, 60}, {18, 18}},
                      tStyleCase{"SmallerMaximum", "x", {10, 12}, {0, 0}, {10, 12}},
                      tStyleCase{"NullKeepsTheStyle", nullptr, {0, 0}, {0, 0}, {18, 18}}),
    [](const ::testing::TestParamInfo<tStyleCase>& info) { return std::string(info.param.name); });

TEST(WidgetTree, AddChildAppendsAndNamesIt)
{
    auto parent = makeWidget();
    auto a = makeWidget();
    auto b = makeWidget();
    EXPECT_TRUE(parent->addChild(a, "a"));
    EXPECT_TRUE(parent->addChild(b, "b"));
    EXPECT_EQ(childIds(*parent), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(a->getParent(), parent.get());
    EXPECT_EQ(a->getId(), ha::symbol(std::string("a")));
}

TEST(WidgetTree, AddingAnExistingChildMovesItToTheEnd)
{
    auto parent = makeWidget();
    auto a = makeWidget();
    auto b = makeWidget();
    parent->addChild(a, "a");
    parent->addChild(b, "b");
    parent->addChild(a, "a2");
    EXPECT_EQ(childIds(*parent), (std::vector<std::string>{"b", "a2"}));
}

TEST(WidgetTree, AddingAChildOfAnotherParentMovesIt)
{
    auto first = makeWidget();
    auto second = makeWidget();
    auto child = makeWidget();
    auto other = makeWidget();
    first->addChild(child, "c");
    second->addChild(other, "o");
    second->addChild(child, "c");
    EXPECT_TRUE(first->getChildren().empty());
    EXPECT_EQ(childIds(*second), (std::vector<std::string>{"o", "c"}));
    EXPECT_EQ(child->getParent(), second.get());
}

TEST(WidgetTree, RefusesCyclesAndNull)
{
    auto top = makeWidget();
    auto middle = makeWidget();
    auto leaf = makeWidget();
    top->addChild(middle, "m");
    middle->addChild(leaf, "l");
    EXPECT_FALSE(leaf->addChild(top, "t"));
    EXPECT_FALSE(leaf->addChild(middle, "m"));
    EXPECT_FALSE(leaf->addChild(leaf, "l"));
    EXPECT_FALSE(leaf->addChild(nullptr, "n"));
    EXPECT_EQ(top->getParent(), nullptr);
    EXPECT_EQ(middle->getParent(), top.get());
    EXPECT_EQ(leaf->getParent(), middle.get());
    EXPECT_EQ(leaf->getId(), ha::symbol(std::string("l")));
}

TEST(WidgetTree, RemoveChildAtTheEndChangesNothing)
{
    auto parent = makeWidget();
    parent->addChild(makeWidget(), "a");
    EXPECT_FALSE(parent->removeChild(parent->getChildren().cend()));
    EXPECT_EQ(parent->getChildren().size(), 1u);
}

TEST(WidgetTree, RemoveChildReleasesASoleOwnedChild)
{
    auto parent = makeWidget();
    std::weak_ptr<Widget> watch;
    {
        auto child = makeWidget();
        watch = child;
        parent->addChild(child, "c");
    }
    EXPECT_FALSE(watch.expired());
    EXPECT_TRUE(parent->removeChild(parent->getChildren().cbegin()));
    EXPECT_TRUE(watch.expired());
}

TEST(WidgetTree, ChildrenJoinAndLeaveTheParentsPane)
{
    Pane pane;
    tJournal journal;
    auto root = makeWidget(&journal);
    pane.setRoot(root, "root");
    auto child = makeWidget(&journal);
    auto grandchild = makeWidget(&journal);
    child->addChild(grandchild, "g");
    root->addChild(child, "c");
    EXPECT_EQ(child->getPane(), &pane);
    EXPECT_EQ(grandchild->getPane(), &pane);
    journal.clear();
    root->removeChild(root->getChildren().cbegin());
    EXPECT_EQ(child->getPane(), nullptr);
    EXPECT_EQ(grandchild->getPane(), nullptr);
    EXPECT_EQ(child->getParent(), nullptr);
    EXPECT_EQ(grandchild->getParent(), child.get());
    // Depth first: the grandchild leaves before its parent.
    EXPECT_EQ(journal, (tJournal{{Testing::kRecordPaneChanged, "g", 0, 0, 0}, {Testing::kRecordPaneChanged, "c", 0, 0, 0}}));
}

TEST(WidgetTree, NoticeCountsFollowTheTree)
{
    auto top = makeWidget();
    auto middle = makeWidget();
    auto a = makeWidget();
    auto b = makeWidget();
    for (auto* w : {middle.get(), a.get(), b.get()})
        w->changeFlags(Widget::eWantsGeometryNotice, 0);
    middle->addChild(a, "a");
    EXPECT_EQ(middle->getNoticeCount(), 1);
    top->addChild(middle, "m");
    EXPECT_EQ(top->getNoticeCount(), 2);
    middle->addChild(b, "b");
    EXPECT_EQ(middle->getNoticeCount(), 2);
    EXPECT_EQ(top->getNoticeCount(), 3);
    auto other = makeWidget();
    other->addChild(middle, "m");
    EXPECT_EQ(top->getNoticeCount(), 0);
    EXPECT_EQ(other->getNoticeCount(), 3);
    middle->removeChild(middle->getChildren().cbegin());
    EXPECT_EQ(middle->getNoticeCount(), 1);
    EXPECT_EQ(other->getNoticeCount(), 2);
}

TEST(WidgetTree, AddChildMarksTheSubtreeStyleDirtyAndRequestsLayout)
{
    Pane pane;
    auto root = makeWidget();
    pane.setRoot(root, "root");
    auto child = makeWidget();
    auto grandchild = makeWidget();
    child->addChild(grandchild, "g");
    child->changeFlags(0, Widget::eStyleDirty);
    grandchild->changeFlags(0, Widget::eStyleDirty);
    pane.exchangeDirty(0);
    root->addChild(child, "c");
    EXPECT_TRUE(child->hasFlag(Widget::eStyleDirty));
    EXPECT_TRUE(grandchild->hasFlag(Widget::eStyleDirty));
    EXPECT_TRUE(child->needsLayout());
    EXPECT_TRUE(grandchild->needsLayout());
    EXPECT_TRUE(root->needsLayout());
    EXPECT_EQ(pane.getDirtyWord(), Pane::kDirtyRepaint | Pane::kDirtyUpdate);
}

// Each row changes one thing of a widget in a pane; `requests` tells whether that asks for
// layout (the pane's dirty word and the widget's dirty mask are set).
struct tRequestCase {
    const char* name;
    std::function<void(TestWidget&)> prepare;
    std::function<void(TestWidget&)> change;
    bool requests;
};

class WidgetLayoutRequest : public ::testing::TestWithParam<tRequestCase> {};

TEST_P(WidgetLayoutRequest, OnlyChangesAskForLayout)
{
    const tRequestCase& c = GetParam();
    Pane pane;
    auto root = makeWidget();
    pane.setRoot(root, "root");
    auto w = makeWidget();
    root->addChild(w, "w");
    if (c.prepare)
        c.prepare(*w);
    pane.exchangeDirty(0);
    root->discardDirtyMarks();
    c.change(*w);
    EXPECT_EQ(pane.getDirtyWord() != 0, c.requests);
    EXPECT_EQ(w->getDirtyMask() != 0, c.requests);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WidgetLayoutRequest,
    ::testing::Values(
        tRequestCase{"NewAttribute", nullptr, [](TestWidget& w) { w.setAttribute("kind", "big"); }, true},
        tRequestCase{"SameAttribute", [](TestWidget& w) { w.setAttribute("kind", "big"); },
                     [](TestWidget& w) { w.setAttribute("kind", "big"); }, false},
        tRequestCase{"ChangedAttribute", [](TestWidget& w) { w.setAttribute("kind", "big"); },
                     [](TestWidget& w) { w.setAttribute("kind", "bigger"); }, true},
        tRequestCase{"SameMargin", nullptr, [](TestWidget& w) { w.setMargin({0, 0, 0, 0}); }, false},
        tRequestCase{"NewMargin", nullptr, [](TestWidget& w) { w.setMargin({1, 0, 0, 0}); }, true},
        tRequestCase{"SamePosition", nullptr, [](TestWidget& w) { w.setPosition({0, 0}); }, false},
        tRequestCase{"NewPosition", nullptr, [](TestWidget& w) { w.setPosition({3, 4}); }, true},
        tRequestCase{"SameSize", nullptr, [](TestWidget& w) { w.setSize(0, 0); }, false},
        tRequestCase{"NewSize", nullptr, [](TestWidget& w) { w.setSize(5, 0); }, true},
        tRequestCase{"ClampedToSameSize", [](TestWidget& w) { w.setMinimumSize({10, 10}); w.setSize(10, 10); },
                     [](TestWidget& w) { w.setSize(2, 2); }, false},
        tRequestCase{"FixedSize", [](TestWidget& w) { w.setPositionFixed(true); },
                     [](TestWidget& w) { w.setSize(5, 5); }, true},
        tRequestCase{"PositionFixed", nullptr, [](TestWidget& w) { w.setPositionFixed(true); }, false},
        tRequestCase{"HoverSensitive", nullptr, [](TestWidget& w) { w.setHoverSensitive(true); }, false},
        tRequestCase{"StillVisible", nullptr, [](TestWidget& w) { w.setVisible(true); }, false},
        tRequestCase{"Hidden", nullptr, [](TestWidget& w) { w.setVisible(false); }, true},
        tRequestCase{"StillEnabled", nullptr, [](TestWidget& w) { w.setEnabled(true); }, false},
        tRequestCase{"Disabled", nullptr, [](TestWidget& w) { w.setEnabled(false); }, true},
        tRequestCase{"SameZIndex", nullptr, [](TestWidget& w) { w.setZIndex(0); }, false},
        tRequestCase{"NewZIndex", nullptr, [](TestWidget& w) { w.setZIndex(2); }, true},
        tRequestCase{"Style", nullptr, [](TestWidget& w) { w.setStyle("s"); }, true}),
    [](const ::testing::TestParamInfo<tRequestCase>& info) { return std::string(info.param.name); });

TEST(WidgetTree, SetEnabledUnderADisabledParentFollowsTheOwnWish)
{
    auto parent = makeWidget();
    auto child = makeWidget();
    parent->addChild(child, "c");
    parent->setEnabled(false);
    // The update pass carries the parent's state down as flag 0x20.
    child->changeFlags(0, Widget::eAncestorsEnabled);
    ASSERT_FALSE(child->isEffectivelyEnabled());
    child->setEnabled(false);
    EXPECT_FALSE(child->hasFlag(Widget::eEnabled));
    parent->setEnabled(true);
    child->changeFlags(Widget::eAncestorsEnabled, 0);
    EXPECT_FALSE(child->isEffectivelyEnabled());
    child->setEnabled(true);
    EXPECT_TRUE(child->isEffectivelyEnabled());
}

TEST(WidgetTree, SetVisibleTakesTheParentsShownState)
{
    auto parent = makeWidget();
    auto child = makeWidget();
    parent->addChild(child, "c");
    parent->setVisible(false);
    child->setVisible(true);
    EXPECT_TRUE(child->hasFlag(Widget::eVisible));
    EXPECT_FALSE(child->hasFlag(Widget::eAncestorsVisible));
    EXPECT_FALSE(child->isShown());
    parent->setVisible(true);
    child->setVisible(true);
    EXPECT_TRUE(child->isShown());
}

TEST(WidgetTree, RegistrationFollowsVisibility)
{
    Pane pane;
    tJournal journal;
    auto root = makeWidget(&journal);
    auto shown = makeWidget(&journal);
    auto hidden = makeWidget(&journal);
    root->addChild(shown, "shown");
    root->addChild(hidden, "hidden");
    hidden->setVisible(false);
    pane.setRoot(root, "root");
    // setRoot's update pass registered the tree; start again from an unregistered one.
    root->registerWithPane(&pane, false, false);
    journal.clear();
    root->registerWithPane(&pane, true, false);
    EXPECT_TRUE(root->hasFlag(Widget::eRegistered));
    EXPECT_TRUE(shown->hasFlag(Widget::eRegistered));
    EXPECT_FALSE(hidden->hasFlag(Widget::eRegistered));
    EXPECT_EQ(journal, (tJournal{{Testing::kRecordPaneChanged, "root", 0, 0, 1},
                                 {Testing::kRecordRegistered, "root", 0, 0, 1},
                                 {Testing::kRecordPaneChanged, "shown", 0, 0, 1},
                                 {Testing::kRecordRegistered, "shown", 0, 0, 1}}));
    journal.clear();
    root->registerWithPane(&pane, false, false);
    EXPECT_FALSE(shown->hasFlag(Widget::eRegistered));
    EXPECT_FALSE(shown->hasFlag(Widget::eAncestorsVisible));
    EXPECT_EQ(journal.size(), 4u);
}

TEST(WidgetTree, UnregisteringTheFocusedSubtreeClearsTheInputWidget)
{
    Pane pane;
    auto root = makeWidget();
    auto panel = makeWidget();
    auto field = makeWidget();
    root->addChild(panel, "panel");
    panel->addChild(field, "field");
    field->changeFlags(Widget::eFocusable | Widget::eAcceptsInput, 0);
    pane.setRoot(root, "root");
    root->registerWithPane(&pane, true, false);
    pane.setInputWidget(field.get());
    ASSERT_EQ(pane.getInputWidget(), field.get());
    ASSERT_EQ(pane.getFocusWidget(), field.get());
    panel->registerWithPane(&pane, false, false);
    EXPECT_EQ(pane.getInputWidget(), nullptr);
}

TEST(WidgetTree, DirtyMarks)
{
    Pane pane;
    auto root = makeWidget();
    auto shown = makeWidget();
    auto hidden = makeWidget();
    root->addChild(shown, "s");
    root->addChild(hidden, "h");
    pane.setRoot(root, "root");
    hidden->setVisible(false);
    // The next pass unregisters the hidden widget.
    GP::Region dirty;
    pane.collectDirtyRegion(dirty);
    root->discardDirtyMarks();
    hidden->discardDirtyMarks();
    pane.exchangeDirty(0);

    shown->invalidate(4);
    EXPECT_EQ(shown->getDirtyMask(), 4u);
    EXPECT_EQ(pane.getDirtyWord(), Pane::kDirtyRepaint);
    shown->invalidate(0);
    EXPECT_EQ(shown->getDirtyMask(), 0xFFFFFFFFu);
    shown->addDirtyRect(GP::Rect{1, 2, 5, 6});
    EXPECT_EQ(shown->getDirtyRegion().getBounds(), (GP::Rect{1, 2, 5, 6}));
    hidden->invalidate(8);

    root->discardDirtyMarks();
    EXPECT_EQ(shown->getDirtyMask(), 0u);
    EXPECT_TRUE(shown->getDirtyRegion().isEmpty());
    // Neither visible nor registered: kept.
    EXPECT_EQ(hidden->getDirtyMask(), 8u);
}

TEST(WidgetTree, MovingARenderedWidgetDirtiesItsOldBoxInTheParent)
{
    auto parent = makeWidget();
    auto child = makeWidget();
    parent->addChild(child, "c");
    child->setPosition({10, 20});
    Testing::place(*parent, 100, 50, 200, 100);
    Testing::place(*child, 110, 70, 30, 20);
    parent->discardDirtyMarks();
    child->setPosition({40, 40});
    EXPECT_EQ(parent->getDirtyRegion().getBounds(), (GP::Rect{10, 20, 40, 40}));
    EXPECT_EQ(child->getPosition(), (GP::Point{40, 40}));
}

TEST(WidgetTree, ZOrderedCopySortsStablyAndFollowsChanges)
{
    auto parent = makeWidget();
    std::vector<std::shared_ptr<TestWidget>> kids;
    for (const char* id : {"a", "b", "c", "d"}) {
        kids.push_back(makeWidget());
        parent->addChild(kids.back(), id);
    }
    kids[0]->setZIndex(2);
    kids[2]->setZIndex(-1);
    auto ids = [&] {
        std::vector<std::string> out;
        for (const auto& w : parent->getZOrderedChildren())
            out.push_back(w->getId().str());
        return out;
    };
    EXPECT_EQ(ids(), (std::vector<std::string>{"c", "b", "d", "a"}));
    kids[3]->setZIndex(5);
    EXPECT_EQ(ids(), (std::vector<std::string>{"c", "b", "a", "d"}));
    parent->removeChild(parent->getChildren().cbegin() + 1);
    EXPECT_EQ(ids(), (std::vector<std::string>{"c", "a", "d"}));
}

TEST(WidgetTree, DestroyingAParentDetachesItsChildren)
{
    Pane pane;
    tJournal journal;
    auto root = makeWidget(&journal);
    pane.setRoot(root, "root");
    auto panel = makeWidget(&journal);
    auto kept = makeWidget(&journal);
    panel->addChild(kept, "kept");
    root->addChild(panel, "panel");
    pane.setHovered(kept.get());
    panel.reset();
    journal.clear();
    root->removeChild(root->getChildren().cbegin());
    EXPECT_EQ(kept->getParent(), nullptr);
    EXPECT_EQ(kept->getPane(), nullptr);
    EXPECT_EQ(pane.getHovered(), nullptr);
    EXPECT_EQ(journal, (tJournal{{Testing::kRecordPaneChanged, "kept", 0, 0, 0},
                                 {Testing::kRecordPaneChanged, "panel", 0, 0, 0}}));
}

TEST(WidgetTree, HoverInsensitiveWidgetStopsBeingHovered)
{
    Pane pane;
    auto root = makeWidget();
    pane.setRoot(root, "root");
    pane.setHovered(root.get());
    root->setHoverSensitive(true);
    EXPECT_EQ(pane.getHovered(), root.get());
    root->setHoverSensitive(false);
    EXPECT_EQ(pane.getHovered(), nullptr);
}

}  // namespace
}  // namespace HA::HWL
