// The pane's event dispatch: scripts of framework mouse events against the widget events
// they produce, recorded as {code, id, x, y, kind}; hit testing, focus, input and keys.

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "hwl/tests/WidgetTestSupport.h"
#include "os/kernel/Clock.h"

namespace HA::HWL {
namespace {

using Testing::makeWidget;
using Testing::TestWidget;
using Testing::tJournal;
using Testing::tRecord;

// One framework event: for kEventMouseButton button and kind, for kEventMouseWheel the wheel
// delta in `button`.
struct tStep {
    int code;
    int x;
    int y;
    int button = 0;
    int kind = 0;
};

tStep press(int x, int y, int button = UIA::kMouseButtonLeft) { return {UIA::kEventMouseButton, x, y, button, UIA::kMousePress}; }
tStep doubleClick(int x, int y, int button = UIA::kMouseButtonLeft)
{
    return {UIA::kEventMouseButton, x, y, button, UIA::kMouseDoubleClick};
}
tStep release(int x, int y, int button = UIA::kMouseButtonLeft)
{
    return {UIA::kEventMouseButton, x, y, button, UIA::kMouseRelease};
}
tStep move(int x, int y) { return {UIA::kEventMouseMove, x, y}; }
tStep drag(int x, int y) { return {UIA::kEventMouseDrag, x, y}; }
tStep wheel(int x, int y, int delta) { return {UIA::kEventMouseWheel, x, y, delta, 1}; }
tStep leave(int x, int y) { return {UIA::kEventMouseLeave, x, y}; }
tStep rawMotion(int x, int y, int dx) { return {UIA::kEventRawMouseMotion, x, y, dx, 0}; }
tStep enter(int x, int y) { return {UIA::kEventMouseEnter, x, y}; }

// Hands one step to the pane as the framework's record of its code.
bool sendStep(Pane& pane, const tStep& step)
{
    switch (step.code) {
    case UIA::kEventMouseButton: {
        UIA::MouseEventData data{step.x, step.y, 0, step.button, step.kind};
        return pane.handleEvent(step.code, &data);
    }
    case UIA::kEventMouseWheel: {
        UIA::WheelEventData data{step.x, step.y, 0, step.button, step.kind};
        return pane.handleEvent(step.code, &data);
    }
    case UIA::kEventRawMouseMotion: {
        UIA::RawMotionEventData data{step.x, step.y, 0, static_cast<double>(step.button), 0.5};
        return pane.handleEvent(step.code, &data);
    }
    default: {
        UIA::MotionEventData data{step.x, step.y, 0, 0, 0};
        return pane.handleEvent(step.code, &data);
    }
    }
}

// A pane of 200 x 100 with a root and two children: a at (10, 10) and b at (100, 50), each
// 50 x 30.
class DispatchFixture {
public:
    DispatchFixture()
    {
        pane.setSize(200, 100);
        root = makeWidget(&journal);
        a = makeWidget(&journal);
        b = makeWidget(&journal);
        root->addChild(a, "a");
        root->addChild(b, "b");
        pane.setRoot(root, "root");
        Testing::place(*root, 0, 0, 200, 100);
        Testing::place(*a, 10, 10, 50, 30);
        Testing::place(*b, 100, 50, 50, 30);
        // setRoot's update pass registered the tree; the tests journal what follows.
        journal.clear();
    }

    std::shared_ptr<TestWidget> addChild(const char* id, int x, int y, int w, int h)
    {
        auto widget = makeWidget(&journal);
        root->addChild(widget, id);
        Testing::place(*widget, x, y, w, h);
        return widget;
    }

    bool send(const tStep& step) { return sendStep(pane, step); }

    void run(const std::vector<tStep>& steps)
    {
        for (const tStep& step : steps)
            send(step);
    }

    Pane pane;
    tJournal journal;
    std::shared_ptr<TestWidget> root;
    std::shared_ptr<TestWidget> a;
    std::shared_ptr<TestWidget> b;
};

struct tScriptCase {
    const char* name;
    std::function<void(DispatchFixture&)> setup;
    std::vector<tStep> steps;
    tJournal expected;
};

class PaneDispatchScript : public ::testing::TestWithParam<tScriptCase> {};

TEST_P(PaneDispatchScript, DeliversTheWidgetEvents)
{
    const tScriptCase& c = GetParam();
    DispatchFixture f;
    if (c.setup)
        c.setup(f);
    f.journal.clear();
    f.run(c.steps);
    EXPECT_EQ(f.journal, c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Scripts, PaneDispatchScript,
    ::testing::Values(
        tScriptCase{"Click", nullptr, {press(20, 20), release(25, 25)},
                    {{100002, "a", 10, 10, 1}, {100008, "a", 15, 15, 2}, {100014, "a", 15, 15, 2}}},
        tScriptCase{"ReleaseElsewhere", nullptr, {press(20, 20), release(110, 60)},
                    {{100002, "a", 10, 10, 1}, {100008, "a", 100, 50, 2}}},
        tScriptCase{"DoubleClick",
                    nullptr,
                    {press(20, 20), release(20, 20), doubleClick(20, 20), release(20, 20)},
                    {{100002, "a", 10, 10, 1},
                     {100008, "a", 10, 10, 2},
                     {100014, "a", 10, 10, 2},
                     {100002, "a", 10, 10, 3},
                     {100020, "a", 10, 10, 3},
                     {100008, "a", 10, 10, 2}}},
        tScriptCase{"RightClick", nullptr, {press(20, 20, 2), release(20, 20, 2)},
                    {{100003, "a", 10, 10, 1}, {100009, "a", 10, 10, 2}, {100015, "a", 10, 10, 2}}},
        tScriptCase{"MiddleClick", nullptr, {press(110, 60, 4), release(110, 60, 4)},
                    {{100005, "b", 10, 10, 1}, {100011, "b", 10, 10, 2}, {100017, "b", 10, 10, 2}}},
        tScriptCase{"SecondButtonGoesToThePressedWidget",
                    nullptr,
                    {press(20, 20), press(110, 60, 2), release(110, 60)},
                    {{100002, "a", 10, 10, 1},
                     {100003, "a", 100, 50, 1},
                     {100008, "a", 100, 50, 2},
                     {100009, "a", 100, 50, 2}}},
        tScriptCase{"DragOutside",
                    nullptr,
                    {press(20, 20), drag(150, 90), release(150, 90)},
                    {{100002, "a", 10, 10, 1}, {100026, "a", 140, 80, 0}, {100008, "a", 140, 80, 2}}},
        tScriptCase{"Wheel",
                    nullptr,
                    {wheel(20, 20, -120), wheel(20, 20, 120), wheel(110, 60, -240), wheel(20, 20, 60)},
                    {{1003, "a", 10, 10, 1}, {1003, "a", 10, 10, -1}, {1003, "b", 10, 10, 2}, {1003, "a", 10, 10, 0}}},
        tScriptCase{"NoWheelWhilePressed", nullptr, {press(20, 20), wheel(20, 20, -120)}, {{100002, "a", 10, 10, 1}}},
        tScriptCase{"DisabledChildIsSkipped", [](DispatchFixture& f) { f.a->setEnabled(false); },
                    {press(20, 20), release(20, 20)},
                    {{100002, "root", 20, 20, 1}, {100008, "root", 20, 20, 2}, {100014, "root", 20, 20, 2}}},
        tScriptCase{"HiddenChildIsSkipped", [](DispatchFixture& f) { f.a->setVisible(false); },
                    {press(20, 20)}, {{100002, "root", 20, 20, 1}}},
        tScriptCase{"LastAddedIsTopmost", [](DispatchFixture& f) { f.addChild("c", 10, 10, 50, 30); },
                    {press(20, 20)}, {{100002, "c", 10, 10, 1}}},
        tScriptCase{"HigherZIndexIsHitFirst",
                    [](DispatchFixture& f) {
                        f.addChild("c", 10, 10, 50, 30);
                        f.a->setZIndex(1);
                    },
                    {press(20, 20)},
                    {{100002, "a", 10, 10, 1}}},
        tScriptCase{"OverlayFirst",
                    [](DispatchFixture& f) {
                        auto overlay = f.addChild("overlay", 0, 0, 30, 30);
                        overlay->setZIndex(-1);
                        f.pane.addOverlay(overlay);
                    },
                    {press(20, 20)},
                    {{100002, "overlay", 20, 20, 1}}},
        tScriptCase{"EnterAndLeaveOrder",
                    nullptr,
                    {move(20, 20), move(30, 20), move(110, 60), move(5, 5), leave(160, 70)},
                    {{1004, "a", 10, 10, 0},
                     {1002, "a", 10, 10, 0},
                     {1002, "a", 20, 10, 0},
                     {1005, "a", 100, 50, 0},
                     {1004, "b", 10, 10, 0},
                     {1002, "b", 10, 10, 0},
                     {1005, "b", -95, -45, 0},
                     {1004, "root", 5, 5, 0},
                     {1002, "root", 5, 5, 0},
                     {1005, "root", 160, 70, 0}}},
        tScriptCase{"PressIsNoMove", nullptr, {press(20, 20), release(20, 20), move(20, 20)},
                    {{100002, "a", 10, 10, 1}, {100008, "a", 10, 10, 2}, {100014, "a", 10, 10, 2},
                     {1004, "a", 10, 10, 0}, {1002, "a", 10, 10, 0}}},
        tScriptCase{"NoButtonOrAnUnknownOne", nullptr,
                    {press(20, 20, 0), press(20, 20, 7), press(20, 20, -1), release(20, 20, 0)},
                    {}},
        tScriptCase{"MoveWithAButtonAndNothingPressed", nullptr, {drag(20, 20)}, {}},
        tScriptCase{"RawMotionGoesUnchangedToTheHovered", nullptr, {rawMotion(20, 20, 3), move(20, 20), rawMotion(90, 90, 7)},
                    {{1004, "a", 10, 10, 0}, {1002, "a", 10, 10, 0}, {1006, "a", 90, 90, 7}}}),
    [](const ::testing::TestParamInfo<tScriptCase>& info) { return std::string(info.param.name); });

TEST(PaneDispatch, WithoutARootEventsAreRefused)
{
    Pane pane;
    UIA::MouseEventData data{1, 1, 0, 1, 1};
    EXPECT_FALSE(pane.handleEvent(UIA::kEventMouseButton, &data));
    EXPECT_FALSE(pane.handleEvent(UIA::kEventKeyDown, &data));
    EXPECT_EQ(pane.getPressed(), nullptr);
}

TEST(PaneDispatch, CodesWithoutARecordAreAnsweredAndIgnored)
{
    DispatchFixture f;
    int junk = 0;
    EXPECT_TRUE(f.pane.handleEvent(1050, &junk));
    EXPECT_FALSE(f.pane.handleEvent(1200, &junk));
    EXPECT_FALSE(f.pane.handleEvent(UIA::kEventMouseButton, nullptr));
    EXPECT_TRUE(f.journal.empty());
    EXPECT_EQ(f.pane.getLastMousePosition(), (GP::Point{0, 0}));
}

TEST(PaneDispatch, PressAndReleaseState)
{
    DispatchFixture f;
    f.send(press(20, 20));
    EXPECT_EQ(f.pane.getPressed(), f.a.get());
    EXPECT_EQ(f.pane.getHovered(), f.a.get());
    EXPECT_TRUE(f.pane.isButtonHeld(1));
    EXPECT_EQ(f.pane.getLastMousePosition(), (GP::Point{20, 20}));
    f.send(release(20, 20));
    EXPECT_EQ(f.pane.getPressed(), nullptr);
    EXPECT_FALSE(f.pane.isButtonHeld(1));
    f.send(doubleClick(20, 20));
    EXPECT_TRUE(f.pane.wasLastPressDouble());
    f.send(leave(0, 0));
    EXPECT_FALSE(f.pane.wasLastPressDouble());
}

// How the widget under the pointer came to be the pane's: hovered alone (the pointer entered
// the window over it), hovered and entered (moved onto it), or pressed.
enum class eHeld { Hovered, Entered, Pressed };
// What happens to it then, and how it comes back.
enum class eGone { Hidden, ParentHidden, Disabled, ParentDisabled, Removed };

const char* nameOf(eHeld held)
{
    switch (held) {
    case eHeld::Hovered:
        return "Hovered";
    case eHeld::Entered:
        return "Entered";
    default:
        return "Pressed";
    }
}

const char* nameOf(eGone gone)
{
    switch (gone) {
    case eGone::Hidden:
        return "Hidden";
    case eGone::ParentHidden:
        return "ParentHidden";
    case eGone::Disabled:
        return "Disabled";
    case eGone::ParentDisabled:
        return "ParentDisabled";
    default:
        return "Removed";
    }
}

// A pane of 200 x 100, laid out by its update passes: a panel at (10, 10), 100 x 60, holding
// w at (10, 10), 40 x 20 (pane 20..60, 20..40); b at (150, 50), 30 x 30.
class LaidOutFixture {
public:
    LaidOutFixture()
    {
        pane.setSize(200, 100);
        root = makeWidget(&journal);
        panel = makeWidget(&journal);
        w = makeWidget(&journal);
        b = makeWidget(&journal);
        w->setHoverSensitive(true);
        arrange(*panel, 10, 10, 100, 60);
        arrange(*w, 10, 10, 40, 20);
        arrange(*b, 150, 50, 30, 30);
        panel->addChild(w, "w");
        root->addChild(panel, "panel");
        root->addChild(b, "b");
        pane.setRoot(root, "root");
        pass();
    }

    static void arrange(Widget& widget, int x, int y, int width, int height)
    {
        widget.setSize(width, height);
        widget.setPosition(GP::Point{x, y});
    }

    // One update pass, as before painting; the area it would repaint.
    GP::Region pass()
    {
        GP::Region dirty;
        pane.collectDirtyRegion(dirty);
        return dirty;
    }

    void send(const tStep& step) { sendStep(pane, step); }

    // Takes w out of the pointer's reach, or brings it back.
    void apply(eGone gone, bool back)
    {
        switch (gone) {
        case eGone::Hidden:
            w->setVisible(back);
            break;
        case eGone::ParentHidden:
            panel->setVisible(back);
            break;
        case eGone::Disabled:
            w->setEnabled(back);
            break;
        case eGone::ParentDisabled:
            panel->setEnabled(back);
            break;
        case eGone::Removed:
            if (back)
                panel->addChild(w, "w");
            else
                panel->removeChild(panel->getChildren().cbegin());
            break;
        }
    }

    // What w heard since the last call.
    tJournal heardByW()
    {
        tJournal heard;
        for (const tRecord& record : journal)
            if (record.id == "w" && record.code > 0)
                heard.push_back(record);
        journal.clear();
        return heard;
    }

    Pane pane;
    tJournal journal;
    std::shared_ptr<TestWidget> root;
    std::shared_ptr<TestWidget> panel;
    std::shared_ptr<TestWidget> w;
    std::shared_ptr<TestWidget> b;
};

class PaneDispatchUnreachable : public ::testing::TestWithParam<std::tuple<eHeld, eGone>> {};

TEST_P(PaneDispatchUnreachable, AWidgetThePointerCannotReachIsNeitherHoveredNorEnteredNorPressed)
{
    const eHeld held = std::get<0>(GetParam());
    const eGone gone = std::get<1>(GetParam());
    LaidOutFixture f;
    const GP::Rect box{20, 20, 60, 40};
    ASSERT_EQ(f.w->getBounds(), box);
    switch (held) {
    case eHeld::Hovered:
        f.send(enter(30, 25));
        break;
    case eHeld::Entered:
        f.send(move(30, 25));
        break;
    case eHeld::Pressed:
        f.send(press(30, 25));
        break;
    }
    ASSERT_EQ(f.pane.getHovered(), f.w.get());
    f.pass();
    f.heardByW();

    f.apply(gone, false);
    const GP::Region repainted = f.pass();
    EXPECT_NE(f.pane.getHovered(), f.w.get());
    EXPECT_NE(f.pane.getEntered(), f.w.get());
    EXPECT_NE(f.pane.getPressed(), f.w.get());
    // The pointer left it: only a widget still in the pane can hear so.
    const bool toldOfLeaving = held == eHeld::Entered && gone != eGone::Removed;
    EXPECT_EQ(f.heardByW(), (toldOfLeaving ? tJournal{{1005, "w", 10, 5, 0}} : tJournal{}));
    // A disabled widget stays in sight and loses its hovered or pressed look at once.
    if (gone == eGone::Disabled || gone == eGone::ParentDisabled) {
        EXPECT_EQ(repainted.containsRect(box), GP::Region::eInside);
    }

    f.apply(gone, true);
    f.pass();
    ASSERT_EQ(f.w->getBounds(), box);
    // Back before the pointer moved: no widget is hovered until the pointer says where it is.
    EXPECT_EQ(f.pane.getHovered(), nullptr);
    EXPECT_EQ(f.pane.getEntered(), nullptr);
    EXPECT_EQ(f.pane.getPressed(), nullptr);
    // With the pointer elsewhere, nothing of the pane points at it.
    if (held == eHeld::Pressed)
        f.send(release(160, 60));
    f.send(move(160, 60));
    EXPECT_EQ(f.pane.getHovered(), f.b.get());
    EXPECT_EQ(f.pane.getPressed(), nullptr);
    EXPECT_EQ(f.heardByW(), tJournal{});
    // ... and with the pointer on it, it is hovered and entered again.
    f.send(move(30, 25));
    EXPECT_EQ(f.pane.getHovered(), f.w.get());
    EXPECT_EQ(f.pane.getEntered(), f.w.get());
    EXPECT_EQ(f.heardByW(), (tJournal{{1004, "w", 10, 5, 0}, {1002, "w", 10, 5, 0}}));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PaneDispatchUnreachable,
    ::testing::Combine(::testing::Values(eHeld::Hovered, eHeld::Entered, eHeld::Pressed),
                       ::testing::Values(eGone::Hidden, eGone::ParentHidden, eGone::Disabled, eGone::ParentDisabled,
                                         eGone::Removed)),
    [](const ::testing::TestParamInfo<std::tuple<eHeld, eGone>>& info) {
        return std::string(nameOf(std::get<0>(info.param))) + std::string(nameOf(std::get<1>(info.param)));
    });

struct tRemoveCase {
    const char* name;
    int removeOn;
    tJournal expected;
};

class PaneDispatchRemoval : public ::testing::TestWithParam<tRemoveCase> {};

// A slot of the button removes the button from the tree in the middle of a release.
TEST_P(PaneDispatchRemoval, AWidgetThatLeavesGetsNothingMore)
{
    const tRemoveCase& c = GetParam();
    DispatchFixture f;
    std::weak_ptr<Widget> watch = f.a;
    Widget* root = f.root.get();
    f.a->mouseHook = [root, removeOn = c.removeOn](int code, const UIA::MouseEventData*) {
        if (code == removeOn)
            root->removeChild(root->getChildren().cbegin());
    };
    f.a.reset();
    f.run({press(20, 20), release(20, 20), move(20, 20)});
    EXPECT_TRUE(watch.expired());
    EXPECT_EQ(f.pane.getPressed(), nullptr);
    EXPECT_EQ(f.journal, c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PaneDispatchRemoval,
    ::testing::Values(tRemoveCase{"OnClick",
                                  100014,
                                  {{100002, "a", 10, 10, 1},
                                   {100008, "a", 10, 10, 2},
                                   {100014, "a", 10, 10, 2},
                                   {Testing::kRecordPaneChanged, "a", 0, 0, 0},
                                   {1004, "root", 20, 20, 0},
                                   {1002, "root", 20, 20, 0}}},
                      tRemoveCase{"OnRelease",
                                  100008,
                                  {{100002, "a", 10, 10, 1},
                                   {100008, "a", 10, 10, 2},
                                   {Testing::kRecordPaneChanged, "a", 0, 0, 0},
                                   {1004, "root", 20, 20, 0},
                                   {1002, "root", 20, 20, 0}}},
                      tRemoveCase{"OnPress",
                                  100002,
                                  {{100002, "a", 10, 10, 1},
                                   {Testing::kRecordPaneChanged, "a", 0, 0, 0},
                                   {100008, "root", 20, 20, 2},
                                   {1004, "root", 20, 20, 0},
                                   {1002, "root", 20, 20, 0}}}),
    [](const ::testing::TestParamInfo<tRemoveCase>& info) { return std::string(info.param.name); });

TEST(PaneDispatch, HoverSensitiveWidgetsRepaintOnHoverChanges)
{
    DispatchFixture f;
    f.a->setHoverSensitive(true);
    f.b->setHoverSensitive(true);
    f.b->setEnabled(false);
    f.root->discardDirtyMarks();
    f.b->discardDirtyMarks();
    f.pane.setHovered(f.a.get());
    EXPECT_NE(f.a->getDirtyMask(), 0u);
    f.a->discardDirtyMarks();
    f.pane.setHovered(f.b.get());
    EXPECT_NE(f.a->getDirtyMask(), 0u);
    EXPECT_EQ(f.b->getDirtyMask(), 0u);  // gaining the hover while disabled
}

TEST(PaneDispatch, EventFilterVetoTurnsEventsIntoALeave)
{
    DispatchFixture f;
    std::vector<int> seen;
    f.pane.setEventFilter(
        [&](Widget*, int code, const UIA::MouseEventData*) {
            seen.push_back(code);
            return code == UIA::kEventMouseButton;
        },
        f.root.get());
    f.run({move(20, 20), press(20, 20)});
    EXPECT_EQ(f.journal, (tJournal{{1004, "a", 10, 10, 0}, {1002, "a", 10, 10, 0}, {1005, "a", 10, 10, 0}}));
    EXPECT_EQ(seen, (std::vector<int>{UIA::kEventMouseMove, UIA::kEventMouseButton}));
}

class InterceptingWidget : public TestWidget {
public:
    using TestWidget::TestWidget;
    bool interceptMouseEvent(bool, int, int) override { return true; }
    bool interceptDragEvent(bool inside, int, int) override { return inside; }
};

TEST(PaneDispatch, HitTestingClaimsAndShapes)
{
    DispatchFixture f;
    auto claimer = std::make_shared<InterceptingWidget>(&f.journal);
    f.a->addChild(claimer, "claimer");
    Testing::place(*claimer, 10, 10, 5, 5);
    // Claims the mouse even outside itself, but only inside its parent.
    Pane::tHitResult hit = f.pane.hitTest(GP::Point{40, 30});
    EXPECT_TRUE(hit.claimed);
    EXPECT_EQ(hit.widget.get(), claimer.get());
    hit = f.pane.hitTest(GP::Point{110, 60});
    EXPECT_FALSE(hit.claimed);
    EXPECT_EQ(hit.widget.get(), f.b.get());
    hit = f.pane.hitTestDrag(GP::Point{40, 30});
    EXPECT_EQ(hit.widget.get(), f.a.get());
    hit = f.pane.hitTestDrag(GP::Point{12, 12});
    EXPECT_TRUE(hit.claimed);
    // Outside the pane's widgets nothing is hit.
    EXPECT_EQ(f.pane.hitTest(GP::Point{250, 50}).widget, nullptr);
    // A claimed event without a pressed widget becomes a leave.
    f.journal.clear();
    f.send(press(40, 30));
    EXPECT_EQ(f.pane.getPressed(), nullptr);
}

TEST(PaneDispatch, KeysFollowTheInputThenTheFocusChain)
{
    DispatchFixture f;
    int key = 'A';
    EXPECT_FALSE(f.pane.handleEvent(UIA::kEventKeyDown, &key));  // no widget takes keys
    f.a->changeFlags(Widget::eAcceptsInput, 0);
    f.root->changeFlags(Widget::eFocusable, 0);
    f.send(press(20, 20));
    f.send(release(20, 20));
    EXPECT_EQ(f.pane.getInputWidget(), f.a.get());
    EXPECT_EQ(f.pane.getFocusWidget(), f.root.get());
    f.journal.clear();
    EXPECT_FALSE(f.pane.handleEvent(UIA::kEventKeyDown, &key));
    EXPECT_EQ(f.journal, (tJournal{{Testing::kRecordKey, "a", 1100, 0, 0}, {Testing::kRecordKey, "root", 1100, 0, 0}}));
    f.root->takesKeys = true;
    f.pane.setFocusKeys(false);
    f.journal.clear();
    EXPECT_FALSE(f.pane.handleEvent(UIA::kEventKeyUp, &key));
    EXPECT_EQ(f.journal, (tJournal{{Testing::kRecordKey, "a", 1101, 0, 0}}));
    f.pane.setFocusKeys(true);
    EXPECT_TRUE(f.pane.handleEvent(UIA::kEventChar, &key));
    f.a->takesKeys = true;
    f.journal.clear();
    EXPECT_TRUE(f.pane.dispatchKeyEvent(UIA::kEventKeyDown, &key));
    EXPECT_EQ(f.journal.size(), 1u);
}

TEST(PaneDispatch, InputWidgetChangesAreAnnounced)
{
    DispatchFixture f;
    f.a->changeFlags(Widget::eAcceptsInput | Widget::eFocusable, 0);
    f.b->changeFlags(Widget::eAcceptsInput, 0);
    f.pane.setInputWidget(f.a.get());
    f.pane.setInputWidget(f.a.get());
    f.pane.setInputWidget(f.b.get());
    EXPECT_EQ(f.journal, (tJournal{{Testing::kRecordInputFocus, "a", 0, 0, 0},
                                   {Testing::kRecordInputFocus, "a", 0, 0, 0},
                                   {Testing::kRecordInputFocus, "b", 0, 0, 0}}));
    EXPECT_EQ(f.pane.getFocusWidget(), f.a.get());
    // A disabled input widget cannot take the input.
    f.b->setEnabled(false);
    f.pane.setInputWidget(f.root.get());
    f.pane.setInputWidget(f.b.get());
    EXPECT_EQ(f.pane.getInputWidget(), nullptr);
}

TEST(PaneDispatch, FocusMovesToTheNearestFocusableAncestor)
{
    DispatchFixture f;
    f.root->changeFlags(Widget::eFocusable, 0);
    f.pane.setFocusWidget(f.a.get());
    EXPECT_EQ(f.pane.getFocusWidget(), f.root.get());
    f.b->changeFlags(Widget::eFocusable, 0);
    f.pane.setFocusWidget(f.b.get());
    EXPECT_EQ(f.pane.getFocusWidget(), f.b.get());
    EXPECT_EQ(f.pane.getPreviousFocusWidget(), f.root.get());
    f.pane.setFocusWidget(nullptr);
    EXPECT_EQ(f.pane.getFocusWidget(), f.b.get());
}

TEST(PaneDispatch, ADragStartTakesThePressAndClearsThePressedWidget)
{
    HA::OS::ManualClockScope clock;
    DispatchFixture f;
    std::vector<GP::Point> started;
    f.a->setDragFilter([](const UIA::MouseEventData*) { return true; });
    f.a->setDragStart([&](const UIA::MouseEventData* data) { started.push_back(GP::Point{data->x, data->y}); });
    f.run({press(20, 20), drag(22, 21)});
    // The press is taken by the detector and the small move keeps it waiting.
    EXPECT_TRUE(f.journal.empty());
    EXPECT_EQ(f.pane.getPressed(), f.a.get());
    f.send(drag(23, 20));
    EXPECT_EQ(started, (std::vector<GP::Point>{{13, 10}}));
    EXPECT_EQ(f.pane.getPressed(), nullptr);
    EXPECT_EQ(f.pane.getHovered(), nullptr);
    // The drag ends with the release over b, which gets it with no click.
    f.send(release(110, 60));
    EXPECT_EQ(f.journal, (tJournal{{100008, "b", 10, 10, 2}}));
}

class FakeHelp : public HelpProvider {
public:
    bool hasHelp(int helpId) override { return helpId == 7; }
    void showHelp(Widget* hovered, int helpId) override { calls.push_back(hovered->getId().str() + ":" + std::to_string(helpId)); }
    void hideHelp() override { calls.push_back("hide"); }
    std::vector<std::string> calls;
};

TEST(PaneDispatch, HoverCallbackAndHelpProvider)
{
    DispatchFixture f;
    FakeHelp help;
    std::vector<std::string> hovered;
    f.pane.setHelpProvider(&help);
    f.pane.setHoverCallback([&](Widget* w) { hovered.push_back(w ? w->getId().str() : "-"); });
    f.run({move(20, 20), leave(20, 20), {UIA::kEventMouseEnter, 110, 60}});
    EXPECT_EQ(hovered, (std::vector<std::string>{"a", "-", "-"}));
    // No widget carries a help id here.
    EXPECT_EQ(help.calls, (std::vector<std::string>{"hide", "hide"}));
    EXPECT_EQ(f.pane.getHovered(), f.b.get());
}

}  // namespace
}  // namespace HA::HWL
