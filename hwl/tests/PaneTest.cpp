// The pane's tree side: root, size, overlays, forgetting widgets, widget timers, timing.

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "hwl/tests/WidgetTestSupport.h"

namespace HA::HWL {
namespace {

using Testing::makeWidget;
using Testing::TestWidget;
using Testing::tJournal;
using Testing::tRecord;

TEST(Pane, SetRootAttachesAndSizesTheNewRoot)
{
    Pane pane;
    pane.setSize(300, 200);
    auto root = makeWidget();
    auto child = makeWidget();
    root->addChild(child, "child");
    child->changeFlags(0, Widget::eStyleDirty);
    pane.setRoot(root, "main");
    EXPECT_EQ(pane.getRoot(), root);
    EXPECT_EQ(root->getPane(), &pane);
    EXPECT_EQ(child->getPane(), &pane);
    EXPECT_EQ(root->getId(), ha::symbol(std::string("main")));
    EXPECT_EQ(root->getSize(), (Widget::tSize{300, 200}));
    // Styled and registered at once by the update pass; the root waits for the next pass.
    EXPECT_FALSE(child->hasFlag(Widget::eStyleDirty));
    EXPECT_TRUE(child->hasFlag(Widget::eRegistered));
    EXPECT_TRUE(root->needsLayout());
    EXPECT_EQ(pane.getDirtyWord(), Pane::kDirtyRepaint | Pane::kDirtyUpdate);
}

TEST(Pane, SetRootOverASoleOwnedRootDetachesItBeforeReleasingIt)
{
    Pane pane;
    tJournal journal;
    std::weak_ptr<Widget> oldRoot;
    {
        auto first = makeWidget(&journal);
        first->addChild(makeWidget(&journal), "inner");
        oldRoot = first;
        pane.setRoot(first, "first");
    }
    journal.clear();
    pane.setRoot(makeWidget(&journal), "second");
    EXPECT_TRUE(oldRoot.expired());
    EXPECT_EQ(journal, (tJournal{{Testing::kRecordPaneChanged, "inner", 0, 0, 0},
                                 {Testing::kRecordPaneChanged, "first", 0, 0, 0},
                                 {Testing::kRecordPaneChanged, "second", 0, 0, 1},
                                 {Testing::kRecordRegistered, "second", 0, 0, 1}}));
    pane.setRoot(nullptr, nullptr);
    EXPECT_EQ(pane.getRoot(), nullptr);
}

TEST(Pane, SetSizeResizesTheRootAndClosesOverlays)
{
    Pane pane;
    auto root = makeWidget();
    pane.setRoot(root, "root");
    auto overlay = makeWidget();
    root->addChild(overlay, "overlay");
    pane.addOverlay(overlay);
    pane.setSize(40, 30);
    EXPECT_EQ(root->getSize(), (Widget::tSize{40, 30}));
    EXPECT_TRUE(pane.getOverlays().empty());
    EXPECT_EQ(overlay->getParent(), nullptr);
    EXPECT_EQ(pane.getRect(), (GP::Rect{0, 0, 40, 30}));
}

TEST(Pane, OverlaySignalFiresForTheFirstAndTheLastOverlay)
{
    Pane pane;
    auto root = makeWidget();
    pane.setRoot(root, "root");
    std::vector<bool> emitted;
    auto connection = pane.overlaySignal().connect([&](bool on) { emitted.push_back(on); });
    auto a = makeWidget();
    auto b = makeWidget();
    root->addChild(a, "a");
    root->addChild(b, "b");
    pane.addOverlay(a);
    pane.addOverlay(b);
    pane.addOverlay(nullptr);
    EXPECT_EQ(emitted, (std::vector<bool>{true}));
    pane.removeOverlay(a.get());
    pane.removeOverlay(a.get());
    EXPECT_EQ(emitted, (std::vector<bool>{true}));
    pane.removeOverlay(b.get());
    EXPECT_EQ(emitted, (std::vector<bool>{true, false}));
}

TEST(Pane, CloseOverlaysTakesEveryOverlayOut)
{
    Pane pane;
    auto root = makeWidget();
    pane.setRoot(root, "root");
    auto child = makeWidget();
    root->addChild(child, "child");
    auto loose = makeWidget();  // never attached under a parent
    pane.addOverlay(child);
    pane.addOverlay(loose);
    std::vector<bool> emitted;
    auto connection = pane.overlaySignal().connect([&](bool on) { emitted.push_back(on); });
    pane.closeOverlays();
    EXPECT_TRUE(pane.getOverlays().empty());
    EXPECT_TRUE(root->getChildren().empty());
    EXPECT_EQ(emitted, (std::vector<bool>{false}));
}

// Each row names the pane pointers that a widget deep in a removed subtree holds before the
// subtree goes.
enum ePointer { eHovered = 1, eEntered = 2, ePressed = 4, eFocus = 8, eInput = 16, eFilter = 32 };

class PaneForgetWidget : public ::testing::TestWithParam<int> {};

TEST_P(PaneForgetWidget, RemovingASubtreeLeavesNoPointerToIt)
{
    const int pointers = GetParam();
    Pane pane;
    auto root = makeWidget();
    root->changeFlags(Widget::eFocusable, 0);
    auto panel = makeWidget();
    auto leaf = makeWidget();
    leaf->changeFlags(Widget::eFocusable | Widget::eAcceptsInput, 0);
    panel->addChild(leaf, "leaf");
    root->addChild(panel, "panel");
    pane.setRoot(root, "root");
    if (pointers & eHovered)
        pane.setHovered(leaf.get());
    if (pointers & eEntered)
        pane.updateHover(leaf.get(), {0, 0}, 0);
    if (pointers & ePressed)
        pane.setPressed(leaf.get());
    if (pointers & eFocus)
        pane.setFocusWidget(leaf.get());
    if (pointers & eInput)
        pane.setInputWidget(leaf.get());
    if (pointers & eFilter)
        pane.setEventFilter([](Widget*, int, const UIA::MouseEventData*) { return true; }, leaf.get());
    leaf->setTimer(3);
    std::weak_ptr<Widget> watch = leaf;
    leaf.reset();
    panel.reset();
    root->removeChild(root->getChildren().cbegin());
    ASSERT_TRUE(watch.expired());
    EXPECT_EQ(pane.getHovered(), nullptr);
    EXPECT_EQ(pane.getEntered(), nullptr);
    EXPECT_EQ(pane.getPressed(), nullptr);
    EXPECT_EQ(pane.getInputWidget(), nullptr);
    EXPECT_EQ(pane.getPreviousFocusWidget(), nullptr);
    // The focus falls back to the nearest focusable widget that stays.
    EXPECT_EQ(pane.getFocusWidget(), (pointers & (eFocus | eInput)) ? root.get() : nullptr);
    for (const auto& entry : pane.getTimers())
        EXPECT_EQ(entry.second, 0);
    // Ticks neither touch the freed widget nor keep its entry.
    pane.tickTimers();
    EXPECT_TRUE(pane.getTimers().empty());
    // The filter went with its owner: a press reaches the root.
    Testing::place(*root, 0, 0, 50, 50);
    UIA::MouseEventData press{5, 5, 0, UIA::kMouseButtonLeft, UIA::kMousePress};
    EXPECT_TRUE(pane.handleEvent(UIA::kEventMouseButton, &press));
    EXPECT_EQ(pane.getPressed(), root.get());
}

INSTANTIATE_TEST_SUITE_P(Pointers, PaneForgetWidget,
                         ::testing::Values(eHovered, eEntered, ePressed, eFocus, eInput, eFilter,
                                           eHovered | eEntered | ePressed | eFocus | eInput | eFilter));

TEST(Pane, DestroyingThePaneRunsNoHooks)
{
    tJournal journal;
    auto root = makeWidget(&journal);
    auto child = makeWidget(&journal);
    root->addChild(child, "child");
    const Pane* address = nullptr;
    {
        Pane pane;
        address = &pane;
        pane.setRoot(root, "root");
        pane.setHovered(child.get());
        EXPECT_EQ(Pane::getLivePanes().back(), &pane);
        journal.clear();
    }
    EXPECT_TRUE(journal.empty());
    EXPECT_EQ(root->getPane(), nullptr);
    EXPECT_EQ(child->getPane(), nullptr);
    EXPECT_EQ(std::count(Pane::getLivePanes().begin(), Pane::getLivePanes().end(), address), 0);
}

TEST(Pane, LivePanesListsEveryPane)
{
    const std::size_t before = Pane::getLivePanes().size();
    {
        Pane a;
        Pane b;
        EXPECT_EQ(Pane::getLivePanes().size(), before + 2);
    }
    EXPECT_EQ(Pane::getLivePanes().size(), before);
}

TEST(Pane, TimingTable)
{
    Pane pane;
    const std::vector<std::pair<int, int>> rows = {{0, 5}, {1, 1}, {2, 5}, {3, 10}, {4, 5}, {-1, 0}, {5, 0}, {1000, 0}};
    for (const auto& row : rows)
        EXPECT_EQ(pane.getTiming(row.first), row.second) << "index " << row.first;
}

class WidgetTimers : public ::testing::Test {
protected:
    void SetUp() override
    {
        root = makeWidget(&journal);
        pane.setRoot(root, "root");
        widget = makeWidget(&journal);
        root->addChild(widget, "w");
        journal.clear();
    }
    // The ticks (1-based) on which the widget's timer fired.
    std::vector<int> run(int ticks, const std::function<void(int)>& beforeTick = nullptr)
    {
        std::vector<int> fired;
        for (int t = 1; t <= ticks; ++t) {
            if (beforeTick)
                beforeTick(t);
            const std::size_t before = journal.size();
            pane.tickTimers();
            for (std::size_t i = before; i < journal.size(); ++i)
                if (journal[i].code == Testing::kRecordTimer)
                    fired.push_back(t);
        }
        return fired;
    }

    Pane pane;
    tJournal journal;
    std::shared_ptr<TestWidget> root;
    std::shared_ptr<TestWidget> widget;
};

TEST_F(WidgetTimers, FiresOnceOnTheThirdTick)
{
    widget->setTimer(3);
    EXPECT_EQ(run(6), (std::vector<int>{3}));
    EXPECT_TRUE(pane.getTimers().empty());
}

TEST_F(WidgetTimers, PausesWhileHidden)
{
    widget->setTimer(3);
    auto fired = run(6, [&](int t) {
        if (t == 2)
            widget->setVisible(false);
        if (t == 5)
            widget->setVisible(true);
    });
    // Ticks 2 to 4 find it hidden; ticks 1, 5 and 6 count.
    EXPECT_EQ(fired, (std::vector<int>{6}));
}

TEST_F(WidgetTimers, ReArmedFromOnTimerFiresAgain)
{
    int rounds = 0;
    widget->timerHook = [&] {
        if (++rounds < 3)
            widget->setTimer(2);
    };
    widget->setTimer(1);
    EXPECT_EQ(run(8), (std::vector<int>{1, 3, 5}));
}

TEST_F(WidgetTimers, ZeroStopsAndSettingReplacesTheCount)
{
    widget->setTimer(2);
    EXPECT_EQ(run(1), (std::vector<int>{}));
    widget->setTimer(0);
    EXPECT_EQ(run(4), (std::vector<int>{}));
    widget->setTimer(5);
    widget->setTimer(2);
    EXPECT_EQ(run(3), (std::vector<int>{2}));
    widget->setTimer(-4);
    EXPECT_EQ(run(3), (std::vector<int>{}));
}

TEST_F(WidgetTimers, APendingTimerWaitsForThePane)
{
    auto loose = makeWidget(&journal);
    loose->setTimer(-2);
    EXPECT_EQ(loose->getPendingTimer(), 0);
    loose->setTimer(2);
    EXPECT_EQ(loose->getPendingTimer(), 2);
    root->addChild(loose, "loose");
    EXPECT_TRUE(pane.getTimers().empty());
    loose->handPendingTimerToPane();
    EXPECT_EQ(loose->getPendingTimer(), 0);
    EXPECT_EQ(run(3), (std::vector<int>{2}));
    EXPECT_EQ(journal.back(), (tRecord{Testing::kRecordTimer, "loose", 0, 0, 0}));
}

TEST_F(WidgetTimers, AWidgetRemovingItselfInOnTimerIsSafe)
{
    auto other = makeWidget(&journal);
    root->addChild(other, "other");
    widget->timerHook = [&] { root->removeChild(root->getChildren().cbegin()); };
    widget->setTimer(1);
    other->setTimer(1);
    std::weak_ptr<Widget> watch = widget;
    widget.reset();
    run(2);
    EXPECT_TRUE(watch.expired());
    EXPECT_EQ(std::count(journal.begin(), journal.end(), tRecord{Testing::kRecordTimer, "other", 0, 0, 0}), 1);
}

TEST_F(WidgetTimers, NestedTicksKeepTheWalkValid)
{
    auto other = makeWidget(&journal);
    root->addChild(other, "other");
    int nested = 0;
    widget->timerHook = [&] {
        if (nested++ == 0)
            pane.tickTimers();
    };
    widget->setTimer(1);
    other->setTimer(2);
    run(3);
    EXPECT_EQ(std::count(journal.begin(), journal.end(), tRecord{Testing::kRecordTimer, "other", 0, 0, 0}), 1);
    EXPECT_TRUE(pane.getTimers().empty());
}

}  // namespace
}  // namespace HA::HWL
