// The attribute and state getters on a small pane, and which sheet styles a widget.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "hwl/core/src/cascade/StyleSheets.h"
#include "hwl/core/src/tree/Pane.h"
#include "hwl/core/src/tree/SelectorAttributes.h"
#include "hwl/core/src/widgets/Bar.h"
#include "hwl/tests/WidgetTestSupport.h"
#include "uia/events/Events.h"

namespace HA::HWL {
namespace {

using Testing::makeWidget;
using Testing::place;

// A pane of 100 x 100 with a root and one child "a" at (10, 10), 40 x 40.
class StyleGettersPane : public ::testing::Test {
protected:
    void SetUp() override
    {
        pane.setSize(100, 100);
        root = makeWidget();
        a = makeWidget();
        root->addChild(a, "a");
        pane.setRoot(root, "root");
        place(*root, 0, 0, 100, 100);
        place(*a, 10, 10, 40, 40);
    }
    bool state(int index, const Widget& widget) const { return stateGetters[size_t(index)].test(widget); }
    void press(int button)
    {
        UIA::MouseEventData data{20, 20, 0, button, UIA::kMousePress};
        pane.handleEvent(UIA::kEventMouseButton, &data);
    }

    Pane pane;
    std::shared_ptr<Testing::TestWidget> root;
    std::shared_ptr<Testing::TestWidget> a;
};

TEST_F(StyleGettersPane, NamesInConditionOrder)
{
    const char* names[] = {"enabled", "selected", "down", "over", "focus", "input", "dormant"};
    for (size_t i = 0; i < stateGetters.size(); ++i)
        EXPECT_EQ(stateGetters[i].name.str(), names[i]);
    const char* attributes[] = {"getClass", "getStyle", "getId", "isHorizontal"};
    for (size_t i = 0; i < attributeGetters.size(); ++i)
        EXPECT_EQ(attributeGetters[i].name.str(), attributes[i]);
}

TEST_F(StyleGettersPane, Attributes)
{
    a->setStyle("big");
    using tValue = AttibuteSelector::tValue;
    EXPECT_EQ(attributeGetters[0].get(*a), tValue(std::string("TestWidget")));
    EXPECT_EQ(attributeGetters[1].get(*a), tValue(std::string("big")));
    EXPECT_EQ(attributeGetters[2].get(*a), tValue(std::string("a")));
    EXPECT_EQ(attributeGetters[1].get(*root), tValue(std::string()));
    EXPECT_TRUE(std::holds_alternative<AttibuteSelector::tDoesntExist>(attributeGetters[3].get(*a)));
}

TEST(StyleGetters, OnlyABarHasADirection)
{
    struct tCase {
        int direction;
        bool horizontal;
    };
    for (tCase c : {tCase{1, true}, tCase{0x1000, true}, tCase{16, false}, tCase{256, false}}) {
        auto bar = std::make_shared<Bar>();
        bar->configure(c.direction, nullptr);
        EXPECT_EQ(attributeGetters[3].get(*bar), AttibuteSelector::tValue(c.horizontal)) << c.direction;
    }
}

TEST_F(StyleGettersPane, EnabledNeedsOwnAndAncestorsFlags)
{
    EXPECT_TRUE(state(0, *a));
    a->changeFlags(0, Widget::eAncestorsEnabled);
    EXPECT_FALSE(state(0, *a));
    a->changeFlags(Widget::eAncestorsEnabled, 0);
    a->setEnabled(false);
    EXPECT_FALSE(state(0, *a));
    EXPECT_TRUE(state(0, *root));
}

TEST_F(StyleGettersPane, SelectedFlag)
{
    EXPECT_FALSE(state(1, *a));
    a->changeFlags(Widget::eSelected, 0);
    EXPECT_TRUE(state(1, *a));
    EXPECT_FALSE(state(1, *root));
}

TEST_F(StyleGettersPane, PaneStates)
{
    for (int i = 1; i < 7; ++i)
        EXPECT_FALSE(state(i, *a)) << i;
    a->changeFlags(Widget::eFocusable | Widget::eAcceptsInput, 0);
    pane.setHovered(a.get());
    pane.setFocusWidget(a.get());
    pane.setInputWidget(a.get());
    EXPECT_TRUE(state(3, *a));
    EXPECT_TRUE(state(4, *a));
    EXPECT_TRUE(state(5, *a));
    EXPECT_FALSE(state(3, *root));
    EXPECT_FALSE(state(6, *a));
}

TEST_F(StyleGettersPane, DownOnlyWhilePressedWithTheLeftButton)
{
    press(UIA::kMouseButtonRight);
    EXPECT_FALSE(state(2, *a));
    press(UIA::kMouseButtonLeft);
    ASSERT_EQ(pane.getPressed(), a.get());
    EXPECT_TRUE(state(2, *a));
    EXPECT_FALSE(state(2, *root));
}

TEST(StyleGetters, WidgetWithoutPaneIsInNoPaneState)
{
    auto lone = makeWidget();
    EXPECT_TRUE(stateGetters[0].test(*lone));
    for (int i = 2; i < 6; ++i)
        EXPECT_FALSE(stateGetters[size_t(i)].test(*lone)) << i;
}

TEST_F(StyleGettersPane, SheetOfAWidget)
{
    StyleSheets sheets(nullptr);
    auto lone = makeWidget();
    EXPECT_EQ(sheets.getSheetFor(*lone), nullptr);
    EXPECT_EQ(sheets.getSheetFor(*a), &sheets.getGlobalSheet());
    StyleSheet own(nullptr);
    pane.setStyleSheet(&own);
    EXPECT_EQ(sheets.getSheetFor(*a), &own);
    pane.setStyleSheet(nullptr);
}

}  // namespace
}  // namespace HA::HWL
