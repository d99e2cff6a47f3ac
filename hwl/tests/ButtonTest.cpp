// The button's signals: scripts of framework events, key presses and pane ticks against the
// signals they emit, recorded in order with their data.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "hwl/core/src/widgets/Button.h"
#include "hwl/tests/WidgetTestSupport.h"

namespace HA::HWL {
namespace {

using Testing::makeWidget;
using Testing::TestWidget;

// One step of a script: a framework mouse event, a key down or some pane ticks.
struct tStep {
    enum eKind { eMouse, eKey, eTicks, eLoseCapture } kind = eMouse;
    int code = 0;
    int x = 0;
    int y = 0;
    int button = 0;
    int mouseKind = 0;
    std::uint32_t modifiers = 0;
    bool firstPress = true;
};

tStep press(int x, int y, std::uint32_t modifiers = 0)
{
    return {tStep::eMouse, UIA::kEventMouseButton, x, y, UIA::kMouseButtonLeft, UIA::kMousePress, modifiers};
}
tStep release(int x, int y, int button = UIA::kMouseButtonLeft)
{
    return {tStep::eMouse, UIA::kEventMouseButton, x, y, button, UIA::kMouseRelease};
}
tStep doubleClick(int x, int y)
{
    return {tStep::eMouse, UIA::kEventMouseButton, x, y, UIA::kMouseButtonLeft, UIA::kMouseDoubleClick};
}
tStep rightPress(int x, int y)
{
    return {tStep::eMouse, UIA::kEventMouseButton, x, y, UIA::kMouseButtonRight, UIA::kMousePress};
}
tStep move(int x, int y) { return {tStep::eMouse, UIA::kEventMouseMove, x, y}; }
tStep drag(int x, int y) { return {tStep::eMouse, UIA::kEventMouseDrag, x, y}; }
tStep ticks(int n) { return {tStep::eTicks, n}; }
tStep enterKey(std::uint32_t modifiers = 0, bool firstPress = true)
{
    return {tStep::eKey, UIA::kKeyEnter, 0, 0, 0, 0, modifiers, firstPress};
}
tStep loseCapture() { return {tStep::eLoseCapture}; }

std::string describe(const ButtonImpl::tSignalData* data)
{
    return std::to_string(data->modifiers) + (data->initial ? ",initial" : ",repeated") +
           (data->doubleClick ? ",double" : "");
}

// A pane of 200 x 100 whose root holds the button at (10, 10), 50 x 30, and another widget
// at (100, 50), 50 x 30; every signal is recorded as a text.
class ButtonFixture {
public:
    ButtonFixture()
    {
        pane.setSize(200, 100);
        root = makeWidget();
        button = std::make_shared<Button>();
        other = makeWidget();
        root->addChild(button, "button");
        root->addChild(other, "other");
        pane.setRoot(root, "root");
        Testing::place(*root, 0, 0, 200, 100);
        Testing::place(*button, 10, 10, 50, 30);
        Testing::place(*other, 100, 50, 50, 30);
        connect(*button);
    }

    void connect(Button& b)
    {
        b.press.connect([this](const ButtonImpl::tSignalData* d, const GP::Point& p) {
            log.push_back("press(" + describe(d) + " @" + std::to_string(p.x) + "," + std::to_string(p.y) + ")");
        });
        b.click.connect([this](const ButtonImpl::tSignalData* d) { log.push_back("click(" + describe(d) + ")"); });
        b.toggleClick.connect(
            [this](const ButtonImpl::tSignalData* d) { log.push_back("toggleClick(" + describe(d) + ")"); });
        b.enter.connect([this] { log.push_back("enter"); });
        b.secondaryClick.connect([this](const UIA::MouseEventData* d) {
            log.push_back("secondaryClick(" + std::to_string(d->x) + "," + std::to_string(d->y) + ")");
        });
        b.repeat.connect([this] { log.push_back("repeat@" + std::to_string(tick)); });
        b.hoverDelay.connect([this] { log.push_back("hoverDelay@" + std::to_string(tick)); });
        b.leave.connect([this] { log.push_back("leave"); });
        b.release.connect([this] { log.push_back("release"); });
    }

    bool send(const tStep& step)
    {
        switch (step.kind) {
        case tStep::eTicks:
            for (int i = 0; i < step.code; ++i) {
                ++tick;
                pane.tickTimers();
            }
            return true;
        case tStep::eKey: {
            UIA::KeyEventData key{static_cast<int>(step.modifiers) | step.code, -1, step.firstPress};
            return button->onKeyEvent(UIA::kEventKeyDown, &key);
        }
        case tStep::eLoseCapture:
            pane.setPressed(nullptr);
            return true;
        case tStep::eMouse:
        default: {
            UIA::MouseEventData data{step.x, step.y, step.modifiers, step.button, step.mouseKind};
            return pane.handleEvent(step.code, &data);
        }
        }
    }

    void run(const std::vector<tStep>& steps)
    {
        for (const tStep& step : steps)
            send(step);
    }

    Pane pane;
    std::shared_ptr<TestWidget> root;
    std::shared_ptr<Button> button;
    std::shared_ptr<TestWidget> other;
    std::vector<std::string> log;
    int tick = 0;
};

struct tScript {
    const char* name;
    int mode;
    int hoverDelay;
    std::vector<tStep> steps;
    std::vector<std::string> expected;
};

class ButtonScript : public ::testing::TestWithParam<tScript> {};

TEST_P(ButtonScript, EmitsTheSignals)
{
    const tScript& s = GetParam();
    ButtonFixture f;
    f.button->setMode(s.mode);
    f.button->setHoverDelay(s.hoverDelay);
    f.run(s.steps);
    EXPECT_EQ(f.log, s.expected);
}

const std::uint32_t kShift = UIA::kModifierShift;

INSTANTIATE_TEST_SUITE_P(
    Scripts, ButtonScript,
    ::testing::Values(
        tScript{"PressAndHoldRepeatsFromTickFiveThenEveryTick",
                0,
                0,
                {move(20, 20), press(20, 20), ticks(7), release(20, 20), ticks(3)},
                {"enter", "press(0,initial @10,10)", "repeat@5", "repeat@6", "repeat@7", "release",
                 "click(0,initial)"}},
        tScript{"ClickCarriesTheModifiers",
                0,
                0,
                {move(20, 20), press(25, 15, kShift), release(25, 15)},
                {"enter", "press(" + std::to_string(kShift) + ",initial @15,5)", "release", "click(0,initial)"}},
        tScript{"ReleaseElsewhereStopsWithoutClick",
                0,
                0,
                {move(20, 20), press(20, 20), drag(120, 60), release(120, 60), ticks(8)},
                {"enter", "press(0,initial @10,10)", "release"}},
        // The pane sends no leave while the button is pressed; the repeat goes on outside it.
        tScript{"LeavingWhileHeldStillRepeats",
                0,
                0,
                {move(20, 20), press(20, 20), drag(120, 60), ticks(6)},
                {"enter", "press(0,initial @10,10)", "repeat@5", "repeat@6"}},
        tScript{"LostCaptureStopsTheRepeat",
                0,
                0,
                {move(20, 20), press(20, 20), ticks(5), loseCapture(), ticks(5)},
                {"enter", "press(0,initial @10,10)", "repeat@5"}},
        tScript{"DoubleClick",
                0,
                0,
                {move(20, 20), press(20, 20), release(20, 20), doubleClick(20, 20), release(20, 20), ticks(8)},
                {"enter", "press(0,initial @10,10)", "release", "click(0,initial)", "press(0,initial @10,10)",
                 "press(0,initial,double @10,10)", "click(0,initial,double)", "release"}},
        tScript{"RightClick",
                0,
                0,
                {move(20, 20), rightPress(30, 20), release(30, 20, UIA::kMouseButtonRight), ticks(8)},
                {"enter", "secondaryClick(20,10)"}},
        tScript{"EnterInModeZeroIsSilent", 0, 0, {enterKey()}, {}},
        tScript{"EnterInModeOneClicks",
                1,
                0,
                {enterKey(kShift), enterKey(0, false)},
                {"click(" + std::to_string(kShift) + ",initial)", "click(0,repeated)"}},
        tScript{"EnterInModeTwoToggles", 2, 0, {enterKey()}, {"toggleClick(0,initial)"}},
        tScript{"HoverDelayRunsOut", 0, 3, {move(20, 20), ticks(5), move(120, 60)},
                {"enter", "hoverDelay@3", "leave"}},
        tScript{"LeaveCancelsTheHoverDelay", 0, 3, {move(20, 20), ticks(2), move(120, 60), ticks(5)},
                {"enter", "leave"}},
        tScript{"PressEndsThePendingHoverDelay",
                0,
                3,
                {move(20, 20), ticks(1), press(20, 20), ticks(5), release(20, 20)},
                {"enter", "hoverDelay@1", "press(0,initial @10,10)", "repeat@6", "release", "click(0,initial)"}}),
    [](const ::testing::TestParamInfo<tScript>& info) { return std::string(info.param.name); });

TEST(ButtonKeys, OnlyEnterDownIsTaken)
{
    auto button = std::make_shared<Button>();
    UIA::KeyEventData enter{UIA::kKeyEnter | static_cast<int>(UIA::kModifierControl), -1, true};
    UIA::KeyEventData numpadEnter{UIA::kKeyEnter | UIA::kKeyNumpad, -1, true};
    UIA::KeyEventData escape{UIA::kKeyEscape, -1, true};
    EXPECT_TRUE(button->onKeyEvent(UIA::kEventKeyDown, &enter));
    // The keypad bit lies outside the key code's 17 bits: the keypad's Enter is Enter too.
    EXPECT_TRUE(button->onKeyEvent(UIA::kEventKeyDown, &numpadEnter));
    EXPECT_FALSE(button->onKeyEvent(UIA::kEventKeyDown, &escape));
    EXPECT_FALSE(button->onKeyEvent(UIA::kEventKeyUp, &enter));
    EXPECT_FALSE(button->onKeyEvent(UIA::kEventKeyDown, nullptr));
}

TEST(ButtonSignals, ToggleOnDoubleClickEmitsToggleClick)
{
    ButtonFixture f;
    f.button->setToggleOnDoubleClick(true);
    f.run({move(20, 20), press(20, 20), release(20, 20), doubleClick(20, 20), release(20, 20)});
    const std::vector<std::string> expected = {"enter", "press(0,initial @10,10)", "release", "click(0,initial)",
                                               "press(0,initial @10,10)", "press(0,initial,double @10,10)",
                                               "toggleClick(0,initial,double)", "release"};
    EXPECT_EQ(f.log, expected);
}

TEST(ButtonSignals, ClassNameIsButton)
{
    auto a = std::make_shared<Button>();
    auto b = std::make_shared<Button>();
    EXPECT_EQ(a->getClass().str(), "Button");
    EXPECT_EQ(a->getClass(), b->getClass());
}

// The click slot takes the button out of its tree, dropping the last owner during the
// emission; the rest of the event must not touch freed memory.
TEST(ButtonSignals, ClickSlotMayRemoveTheButton)
{
    ButtonFixture f;
    std::weak_ptr<Button> weak = f.button;
    f.button->click.connect([&f](const ButtonImpl::tSignalData*) {
        const auto& children = f.root->getChildren();
        f.root->removeChild(children.begin());
    });
    f.button.reset();
    f.run({move(20, 20), press(20, 20), release(20, 20), ticks(8)});
    EXPECT_TRUE(weak.expired());
    const std::vector<std::string> expected = {"enter", "press(0,initial @10,10)", "release", "click(0,initial)"};
    EXPECT_EQ(f.log, expected);
    EXPECT_EQ(f.pane.getPressed(), nullptr);
}

TEST(ButtonSignals, RepeatSlotMayRemoveTheButton)
{
    ButtonFixture f;
    std::weak_ptr<Button> weak = f.button;
    f.button->repeat.connect([&f] { f.root->removeChild(f.root->getChildren().begin()); });
    f.button.reset();
    f.run({move(20, 20), press(20, 20), ticks(8), release(20, 20)});
    EXPECT_TRUE(weak.expired());
    const std::vector<std::string> expected = {"enter", "press(0,initial @10,10)", "repeat@5"};
    EXPECT_EQ(f.log, expected);
}

}  // namespace
}  // namespace HA::HWL
