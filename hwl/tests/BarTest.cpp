#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "hwl/core/src/widgets/Bar.h"
#include "hwl/tests/CanvasTestSupport.h"

namespace HA::HWL {
namespace {

using Testing::makeScripted;

struct tBarCase {
    const char* name;
    int direction;
    int spacing;
    int flexible;
    std::vector<Widget::tSize> children;
    std::vector<GP::Rect> expected;  // position and size
};

class BarLayout : public ::testing::TestWithParam<tBarCase> {};

TEST_P(BarLayout, LinesUpTheChildrenAndSizesTheFlexibleOne)
{
    const tBarCase& c = GetParam();
    auto bar = std::make_shared<Bar>();
    bar->configure(c.direction, nullptr);
    bar->setMinimumSize({0, 0});
    bar->setSize(100, 100);
    bar->setSpacing(c.spacing);
    std::vector<std::shared_ptr<Testing::ScriptedWidget>> kids;
    for (const Widget::tSize& s : c.children) {
        auto kid = makeScripted();
        bar->addChild(kid);
        kid->setSize(s.width, s.height);
        kids.push_back(kid);
    }
    bar->setFlexibleIndex(c.flexible);
    bar->layout();
    for (std::size_t i = 0; i < kids.size(); ++i) {
        const GP::Point p = kids[i]->getPosition();
        const Widget::tSize s = kids[i]->getSize();
        EXPECT_EQ((GP::Rect{p.x, p.y, s.width, s.height}), c.expected[i]) << c.name << " child " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BarLayout,
    ::testing::Values(
        tBarCase{"vertical", 16, 4, -1, {{10, 20}, {10, 30}}, {{0, 0, 100, 20}, {0, 24, 100, 30}}},
        tBarCase{"vertical, second flexible", 16, 4, 1, {{10, 20}, {10, 30}}, {{0, 0, 100, 20}, {0, 24, 100, 76}}},
        tBarCase{"bottom to top, first flexible", 256, 0, 0, {{10, 20}, {10, 30}}, {{0, 30, 100, 70}, {0, 0, 100, 30}}},
        tBarCase{"right to left", 0x1000, 0, -1, {{30, 10}}, {{70, 0, 30, 100}}},
        tBarCase{"horizontal, first flexible", 1, 5, 0, {{10, 20}, {30, 10}}, {{0, 0, 65, 100}, {70, 0, 30, 100}}},
        tBarCase{"index beyond the children", 1, 0, 7, {{10, 20}}, {{0, 0, 10, 100}}}));

TEST(Bar, IsHorizontalOnlyForTheTwoHorizontalDirections)
{
    auto bar = std::make_shared<Bar>();
    EXPECT_EQ(bar->getDirection(), Widget::kLineTopToBottom);
    EXPECT_EQ(bar->getClass(), ha::symbol(std::string("Bar")));
    for (int direction : {1, 0x1000, 16, 256, 0, 2}) {
        bar->configure(direction, nullptr);
        EXPECT_EQ(bar->isHorizontal(), direction == 1 || direction == 0x1000) << direction;
    }
}

TEST(Bar, FitsItsBreadthToTheShownChildren)
{
    auto bar = std::make_shared<Bar>();
    bar->configure(16, nullptr);
    bar->setMargin({5, 0, 5, 0});
    bar->setSize(20, 60);
    for (int width : {10, 40, 90}) {
        auto kid = makeScripted();
        bar->addChild(kid);
        kid->setSize(width, 5);
        if (width == 90)
            kid->setVisible(false);
    }
    bar->fitBreadthToChildren();
    EXPECT_EQ(bar->getSize(), (Widget::tSize{50, 60}));

    auto row = std::make_shared<Bar>();
    row->configure(1, nullptr);
    row->setMargin({0, 2, 0, 3});
    row->setSize(80, 10);
    auto kid = makeScripted();
    row->addChild(kid);
    kid->setSize(10, 12);
    kid->setOuterMargin({0, 1, 0, 1});
    row->fitBreadthAutomatically();
    row->layout();
    EXPECT_EQ(row->getSize(), (Widget::tSize{80, 19}));
}

TEST(Bar, AutomaticLengthIgnoresTheLengthOnly)
{
    auto bar = std::make_shared<Bar>();
    bar->configure(1, nullptr);
    bar->setMinimumSize({0, 0});
    bar->setSize(50, 20);
    bar->setAutomaticLength(true);
    bar->setWidth(70);
    bar->setHeight(30);
    EXPECT_EQ(bar->getSize(), (Widget::tSize{50, 30}));
    auto column = std::make_shared<Bar>();
    column->configure(16, nullptr);
    column->setSize(50, 20);
    column->setAutomaticLength(true);
    column->setWidth(70);
    column->setHeight(40);
    EXPECT_EQ(column->getSize(), (Widget::tSize{70, 20}));
}

}  // namespace
}  // namespace HA::HWL
