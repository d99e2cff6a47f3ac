// Labels and buttons as text panels: the stored text, fitting to the text in a monospaced font
// (horizontal and vertical, margins, maximum sizes, scale) and what configure leaves behind.

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "hwl/core/src/widgets/Button.h"
#include "hwl/core/src/widgets/Label.h"
#include "hwl/core/src/widgets/MultilineLabel.h"
#include "hwl/tests/TextWidgetTestSupport.h"

namespace HA::HWL {
namespace {

using Testing::TextWidgetPane;

TEST(TextPanel, ClassNames)
{
    EXPECT_EQ(std::make_shared<Label>()->getClass().str(), "Label");
    EXPECT_EQ(std::make_shared<Button>()->getClass().str(), "Button");
    EXPECT_EQ(std::make_shared<MultilineLabel>()->getClass().str(), "MultilineLabel");
    // Interned once: the same symbol every time.
    auto label = std::make_shared<Label>();
    EXPECT_EQ(label->getClass(), std::make_shared<Label>()->getClass());
}

TEST(TextPanel, StartsEmptyAndHorizontalWithoutFitting)
{
    auto label = std::make_shared<Label>();
    EXPECT_EQ(label->getText(), "");
    EXPECT_FALSE(label->getFitToText());
    EXPECT_EQ(label->getVerticalText(), 0);
}

TEST(TextPanel, OnlyADifferentTextInvalidates)
{
    TextWidgetPane f;
    auto label = std::make_shared<Label>();
    f.root->addChild(label, "label");
    label->discardDirtyMarks();
    label->setText("abc");
    EXPECT_NE(label->getDirtyMask(), 0u);
    label->discardDirtyMarks();
    label->setText("abc");
    EXPECT_EQ(label->getDirtyMask(), 0u);
    EXPECT_EQ(label->getText(), "abc");
}

TEST(TextPanel, InvalidUtf8IsDroppedSoMeasuringNeverThrows)
{
    TextWidgetPane f;
    auto label = std::make_shared<Label>();
    f.root->addChild(label, "label");
    label->setFitToText(true);
    EXPECT_NO_THROW(label->setText("ab\xFF\xC3" "cd"));
    EXPECT_EQ(label->getText(), "abcd");
    EXPECT_EQ(label->getSize().width, 4 * f.advance());
    // Valid text, multi-byte characters and line feeds included, stays as it is.
    label->setText("\xC3\xA9t\xC3\xA9\nx");
    EXPECT_EQ(label->getText(), "\xC3\xA9t\xC3\xA9\nx");
}

struct tFitCase {
    const char* name;
    std::string text;
    int vertical;
    Widget::tMargins margins;
    Widget::tSize maximum;
    // Expected size in advances (columns) and line heights (rows), plus fixed pixels.
    int columnsAcross;
    int rowsAcross;
    int columnsAlong;
    int rowsAlong;
    int extraWidth;
    int extraHeight;
    int maximumWidth;   // when positive, the expected width
    int maximumHeight;  // when positive, the expected height
};

TEST(TextPanel, FitsTheText)
{
    const std::vector<tFitCase> cases = {
        {"one line", "abcd", 0, {}, {}, 4, 0, 0, 1, 0, 0, 0, 0},
        {"widest of two lines", "ab\nabcdef", 0, {}, {}, 6, 0, 0, 2, 0, 0, 0, 0},
        {"margins", "abcd", 0, {1, 2, 3, 4}, {}, 4, 0, 0, 1, 4, 6, 0, 0},
        {"empty line at the end counts", "abcd\n", 0, {}, {}, 4, 0, 0, 2, 0, 0, 0, 0},
        {"vertical: lines across, width along", "ab\nabcdef", 1, {}, {}, 0, 2, 6, 0, 0, 0, 0, 0},
        {"vertical with margins", "abcd", 1, {1, 2, 3, 4}, {}, 0, 1, 4, 0, 4, 6, 0, 0},
        {"maximum width", "abcdefghij", 0, {}, {30, 0}, 0, 0, 0, 1, 0, 0, 30, 0},
        {"maximum height", "a\nb\nc\nd", 0, {}, {0, 25}, 1, 0, 0, 0, 0, 0, 0, 25},
    };
    TextWidgetPane f;
    const int advance = f.advance();
    const int line = f.lineHeight();
    for (const tFitCase& c : cases) {
        SCOPED_TRACE(c.name);
        auto label = std::make_shared<Label>();
        f.root->addChild(label, "label");
        label->configure(std::string(), nullptr);
        label->setMinimumSize({});
        label->setMargin(c.margins);
        label->setMaximumSize(c.maximum);
        label->setVerticalText(c.vertical);
        label->setFitToText(true);
        label->setText(c.text);
        const int width = c.maximumWidth > 0 ? c.maximumWidth
                                             : c.columnsAcross * advance + c.rowsAcross * line + c.extraWidth;
        const int height = c.maximumHeight > 0 ? c.maximumHeight
                                               : c.columnsAlong * advance + c.rowsAlong * line + c.extraHeight;
        EXPECT_EQ(label->getSize().width, width);
        EXPECT_EQ(label->getSize().height, height);
        f.root->removeChild(f.root->getChildren().end() - 1);
    }
}

TEST(TextPanel, FitsInLogicalPixelsAtTheDisplayScale)
{
    TextWidgetPane f;
    auto label = std::make_shared<Label>();
    f.root->addChild(label, "label");
    label->setMinimumSize({});
    label->setFitToText(true);
    f.pane.setScale(2.0f);
    UIA::Font& font = const_cast<UIA::Font&>(f.font());
    font.setScale(2.0f);
    const int width2 = font.getTextWidth("abcde");
    const int line2 = font.getLineHeight();
    font.setScale(1.0f);
    label->setText("abcde");
    EXPECT_EQ(label->getSize().width, static_cast<int>(std::lround(width2 / 2.0)));
    EXPECT_EQ(label->getSize().height, static_cast<int>(std::lround(line2 / 2.0)));
}

TEST(TextPanel, EqualTextStillFits)
{
    TextWidgetPane f;
    auto label = std::make_shared<Label>();
    f.root->addChild(label, "label");
    label->setMinimumSize({});
    label->setText("abcd");
    label->setFitToText(true);
    label->setText("abcd");
    EXPECT_EQ(label->getSize().width, 4 * f.advance());
}

TEST(TextPanel, FitsOnlyWhenAskedAndInAPane)
{
    TextWidgetPane f;
    auto unfitted = std::make_shared<Label>();
    f.root->addChild(unfitted, "unfitted");
    unfitted->setSize(50, 40);
    unfitted->setText("abcdefghij");
    EXPECT_EQ(unfitted->getSize(), (Widget::tSize{50, 40}));

    auto alone = std::make_shared<Label>();
    alone->setFitToText(true);
    alone->setSize(50, 40);
    alone->setText("abcdefghij");
    EXPECT_EQ(alone->getSize(), (Widget::tSize{50, 40}));
}

TEST(TextPanel, StyleApplicationFits)
{
    TextWidgetPane f;
    auto label = std::make_shared<Label>();
    f.root->addChild(label, "label");
    label->setMinimumSize({});
    label->setText("abc");
    label->setFitToText(true);
    label->applyStyle();
    EXPECT_EQ(label->getSize().width, 3 * f.advance());
}

// A label sets its text before its style class and a button after it; the style class gives
// the widget its 18 x 18 minimum as its size, so only the button keeps a size fitted to the
// text until the next style application.
TEST(TextPanel, ConfigureOrders)
{
    TextWidgetPane f;
    auto label = std::make_shared<Label>();
    auto button = std::make_shared<Button>();
    f.root->addChild(label, "label");
    f.root->addChild(button, "button");
    label->setFitToText(true);
    button->setFitToText(true);
    label->configure("abcdef", "caption");
    button->configure("abcdef", "action");

    EXPECT_EQ(label->getText(), "abcdef");
    EXPECT_EQ(label->getStyle().str(), "caption");
    EXPECT_EQ(label->getSize(), (Widget::tSize{18, 18}));
    EXPECT_FALSE(label->hasFlag(Widget::eHoverSensitive));

    EXPECT_EQ(button->getText(), "abcdef");
    EXPECT_EQ(button->getStyle().str(), "action");
    EXPECT_EQ(button->getSize(), (Widget::tSize{6 * f.advance(), f.lineHeight()}));
    EXPECT_TRUE(button->hasFlag(Widget::eHoverSensitive));

    label->applyStyle();
    EXPECT_EQ(label->getSize(), (Widget::tSize{6 * f.advance(), f.lineHeight()}));
}

TEST(TextPanel, ConfigureWithoutAStyleKeepsTheClass)
{
    TextWidgetPane f;
    auto label = std::make_shared<Label>();
    f.root->addChild(label, "label");
    label->configure("a", "first");
    label->configure("b", nullptr);
    EXPECT_EQ(label->getStyle().str(), "first");
    EXPECT_EQ(label->getText(), "b");
}

TEST(TextPanel, PanelDrawersAreTheWidgetsOwn)
{
    auto a = std::make_shared<Button>();
    auto b = std::make_shared<Button>();
    EXPECT_NE(&a->getPanelDrawer(), &b->getPanelDrawer());
    EXPECT_EQ(a->getPanelDrawer().getColourNumber(), 0);
}

}  // namespace
}  // namespace HA::HWL
