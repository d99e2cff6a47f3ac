// The multi-line text as a widget (its text, wrap width, line spacing and height) and the
// multi-line label's alignments, fitted height and painted lines, in a monospaced font whose
// characters share one advance. Painted lines are recorded from the canvas's text calls.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "hwl/core/src/canvas/Canvas.h"
#include "hwl/core/src/cascade/StyleData.h"
#include "hwl/core/src/widgets/MultilineLabel.h"
#include "hwl/tests/TextWidgetTestSupport.h"

namespace HA::HWL {
namespace {

using DETAIL::tLineStart;
using Testing::TextWidgetPane;

std::vector<std::size_t> positions(const DETAIL::tLineStarts& starts)
{
    std::vector<std::size_t> result;
    for (const tLineStart& start : starts)
        result.push_back(start.position);
    return result;
}

// A multi-line label in the fixture's pane, content width columns characters (plus margins).
std::shared_ptr<MultilineLabel> addLabel(TextWidgetPane& f, int columns, int height = 100,
                                         Widget::tMargins margins = {})
{
    auto label = std::make_shared<MultilineLabel>();
    f.root->addChild(label, "text");
    // The style first: it may set margins and limits of its own.
    label->applyStyle();
    label->setMinimumSize({});
    label->setMargin(margins);
    label->setSize(columns * f.advance() + margins.left + margins.right, height);
    label->layout();
    return label;
}

TEST(MultilineText, NewTextIsOneEmptyLine)
{
    TextWidgetPane f;
    auto label = std::make_shared<MultilineLabel>();
    EXPECT_EQ(positions(label->getLineStarts()), (std::vector<std::size_t>{0, 0}));
    EXPECT_EQ(label->getLineCount(), 1);
    f.root->addChild(label, "text");
    EXPECT_EQ(label->getTextHeight(), f.lineHeight());
}

TEST(MultilineText, WrapsAtTheContentWidth)
{
    TextWidgetPane f;
    // Four letters, a space and four letters at a content width of 6.7 characters: the space
    // stays at the end of the first line.
    auto label = std::make_shared<MultilineLabel>();
    f.root->addChild(label, "text");
    label->applyStyle();
    label->setMargin({3, 0, 4, 0});
    label->setSize(6 * f.advance() + f.advance() * 7 / 10 + 7, 100);
    label->layout();
    label->setText("abcd efgh");
    EXPECT_EQ(positions(label->getLineStarts()), (std::vector<std::size_t>{0, 5, 9}));
    EXPECT_EQ(label->getLine(0), "abcd ");
    EXPECT_EQ(label->getLine(1), "efgh");
    EXPECT_EQ(label->getTextHeight(), 2 * f.lineHeight());
}

TEST(MultilineText, CleansTheTextBeforeWrapping)
{
    TextWidgetPane f;
    auto label = addLabel(f, 20);
    label->setText("ab\r\ncd\tef\xFF\x01");
    EXPECT_EQ(label->getText(), "ab\ncdef");
    EXPECT_EQ(positions(label->getLineStarts()), (std::vector<std::size_t>{0, 3, 7}));
}

TEST(MultilineText, AnEqualTextDoesNothing)
{
    TextWidgetPane f;
    auto label = addLabel(f, 20);
    label->setText("abc");
    label->discardDirtyMarks();
    label->setText("abc");
    EXPECT_EQ(label->getDirtyMask(), 0u);
    label->setText("abd");
    EXPECT_NE(label->getDirtyMask(), 0u);
}

TEST(MultilineText, WithoutAPaneTheTextWaits)
{
    TextWidgetPane f;
    auto label = std::make_shared<MultilineLabel>();
    label->setSize(5 * f.advance(), 100);
    label->setText("abcd efgh");
    EXPECT_EQ(positions(label->getLineStarts()), (std::vector<std::size_t>{0, 0}));
    f.root->addChild(label, "text");
    label->applyStyle();
    EXPECT_EQ(positions(label->getLineStarts()), (std::vector<std::size_t>{0, 5, 9}));
}

TEST(MultilineText, LayoutRewrapsOnlyForANewWidth)
{
    TextWidgetPane f;
    auto label = addLabel(f, 20);
    label->setText("abcd efgh");
    EXPECT_EQ(label->getLineCount(), 1);
    label->discardDirtyMarks();
    label->layout();
    EXPECT_EQ(label->getDirtyMask(), 0u);
    label->setSize(5 * f.advance(), 100);
    label->layout();
    EXPECT_EQ(label->getWrapWidth(), 5 * f.advance());
    EXPECT_EQ(positions(label->getLineStarts()), (std::vector<std::size_t>{0, 5, 9}));
}

TEST(MultilineText, LineSpacingFromTheStyle)
{
    TextWidgetPane f("MultilineLabel { line-spacing: 3; }");
    auto label = addLabel(f, 5);
    label->setText("abcd efgh ijkl");
    EXPECT_EQ(label->getLineSpacing(), 3);
    EXPECT_EQ(label->getLineStep(), f.lineHeight() + 3);
    EXPECT_EQ(label->getTextHeight(), 3 * (f.lineHeight() + 3));
}

struct tAlignmentCase {
    const char* rule;
    int horizontal;
    int vertical;
};

TEST(MultilineLabel, AlignmentWords)
{
    const std::vector<tAlignmentCase> cases = {
        {"", AlignLeft, AlignTop},
        {"horizontal-alignment: right; vertical-alignment: bottom;", AlignRight, AlignBottom},
        {"horizontal-alignment: center; vertical-alignment: center;", AlignCenter, AlignCenter},
        {"horizontal-alignment: left; vertical-alignment: top;", AlignLeft, AlignTop},
        {"horizontal-alignment: middle; vertical-alignment: middle;", AlignLeft, AlignLeft},
    };
    for (const tAlignmentCase& c : cases) {
        SCOPED_TRACE(c.rule);
        TextWidgetPane f(std::string("MultilineLabel { ") + c.rule + " }");
        auto label = addLabel(f, 10);
        EXPECT_EQ(label->getHorizontalAlignment(), c.horizontal);
        EXPECT_EQ(label->getVerticalAlignment(), c.vertical);
    }
}

TEST(MultilineLabel, FitHeightFollowsTheText)
{
    TextWidgetPane f;
    auto label = addLabel(f, 5, 7);
    const int step = label->getLineStep();
    label->setFitHeightToText(true);
    label->setText("abcd efgh ijkl");
    EXPECT_EQ(label->getSize().height, 3 * step);
    EXPECT_EQ(label->getSize().width, 5 * f.advance());
    label->setText("abcd");
    EXPECT_EQ(label->getSize().height, step);

    label->setMaximumSize({0, 2 * step});
    label->setText("abcd efgh ijkl");
    EXPECT_EQ(label->getSize().height, 2 * step);
}

TEST(MultilineLabel, FitHeightWaitsForTheNextRewrap)
{
    TextWidgetPane f;
    auto label = addLabel(f, 5, 7);
    label->setText("abcd efgh");
    label->setFitHeightToText(true);
    EXPECT_EQ(label->getSize().height, 7);
    label->rewrap();
    EXPECT_EQ(label->getSize().height, 2 * label->getLineStep());
}

// A canvas that records every text it is asked to draw.
class TextRecordingCanvas : public BackgroundDrawingCanvas {
public:
    struct tCall {
        std::string text;
        GP::Rect rect;
        unsigned flags;
    };
    void drawText(const char* text, const GP::Rect& rect, const UIA::Font& font, std::uint32_t colour,
                  unsigned flags, bool vertical) override
    {
        calls.push_back(tCall{text, rect, flags});
        BackgroundDrawingCanvas::drawText(text, rect, font, colour, flags, vertical);
    }
    std::vector<tCall> calls;
};

// Paints the whole pane and answers the texts drawn, in order.
std::vector<TextRecordingCanvas::tCall> paintLines(TextWidgetPane& f, MultilineLabel& label)
{
    getStyleSheets().resolveStyleData(getStyleSheets().getStyleData(label));
    const Widget::tSize size = label.getSize();
    Testing::place(label, 0, 0, size.width, size.height);
    TextRecordingCanvas canvas;
    canvas.resize(400, 300);
    f.pane.paint(canvas, GP::Region(), Pane::kPaintAll);
    return canvas.calls;
}

std::vector<std::string> textsOf(const std::vector<TextRecordingCanvas::tCall>& calls)
{
    std::vector<std::string> texts;
    for (const auto& call : calls)
        texts.push_back(call.text);
    return texts;
}

TEST(MultilineLabel, LastLineThatFitsEndsWithTwoDots)
{
    TextWidgetPane f;
    auto label = addLabel(f, 5);
    const int step = label->getLineStep();
    // As 50 high with a step of 20: line 1 ends the painting, 20 + 2 x 20 >= 50.
    label->setSize(label->getSize().width, 2 * step + step / 2);
    label->setText("abcd efgh ijkl mnop");
    ASSERT_EQ(label->getLineCount(), 4);
    const auto calls = paintLines(f, *label);
    EXPECT_EQ(textsOf(calls), (std::vector<std::string>{"abcd ", "efgh .."}));
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[1].rect, (GP::Rect{0, step, 5 * f.advance(), 2 * step}));
    EXPECT_EQ(calls[1].flags, unsigned(AlignLeft | AlignTop));
}

TEST(MultilineLabel, TwoDotsLineDropsItsLineBreak)
{
    TextWidgetPane f;
    auto label = addLabel(f, 10);
    const int step = label->getLineStep();
    label->setSize(label->getSize().width, 2 * step + step / 2);
    label->setText("ab\ncd\nef");
    EXPECT_EQ(textsOf(paintLines(f, *label)), (std::vector<std::string>{"ab\n", "cd.."}));
}

TEST(MultilineLabel, TheLastLineNeedsNoDots)
{
    TextWidgetPane f;
    auto label = addLabel(f, 5);
    const int step = label->getLineStep();
    label->setSize(label->getSize().width, 3 * step);
    label->setText("abcd efgh");
    EXPECT_EQ(textsOf(paintLines(f, *label)), (std::vector<std::string>{"abcd ", "efgh"}));
}

// A next line that ends exactly at the bottom fits.
TEST(MultilineLabel, LinesThatFitExactlyAreAllDrawn)
{
    for (const char* rule : {"", "MultilineLabel { vertical-alignment: bottom; }",
                             "MultilineLabel { vertical-alignment: center; }"}) {
        SCOPED_TRACE(rule);
        TextWidgetPane f(rule);
        auto label = addLabel(f, 5);
        const int step = label->getLineStep();
        label->setSize(label->getSize().width, 2 * step);
        label->setText("abcd efgh");
        EXPECT_EQ(textsOf(paintLines(f, *label)), (std::vector<std::string>{"abcd ", "efgh"}));
    }
}

// A bottom-aligned text that fits with room to spare shows its last line.
TEST(MultilineLabel, BottomAlignedTextShowsItsLastLine)
{
    TextWidgetPane f("MultilineLabel { vertical-alignment: bottom; }");
    auto label = addLabel(f, 5, 200);
    label->setText("abcd efgh ijkl");
    EXPECT_EQ(textsOf(paintLines(f, *label)), (std::vector<std::string>{"abcd ", "efgh ", "ijkl"}));
}

TEST(MultilineLabel, FitHeightDrawsTheSecondLineWhole)
{
    TextWidgetPane f;
    auto label = addLabel(f, 5);
    const int step = label->getLineStep();
    label->setMaximumSize({0, 2 * step});
    label->setFitHeightToText(true);
    label->setText("abcd efgh ijkl");
    ASSERT_EQ(label->getSize().height, 2 * step);
    EXPECT_EQ(textsOf(paintLines(f, *label)), (std::vector<std::string>{"abcd ", "efgh "}));
}

TEST(MultilineLabel, LinesAreAlignedInTheContentBox)
{
    struct tCase {
        const char* rule;
        Widget::tMargins margins;
        int extraHeight;  // pixels beyond five lines
        int vertical;
        unsigned flags;
    };
    const std::vector<tCase> cases = {
        {"", {}, 0, AlignTop, AlignLeft | AlignTop},
        {"", {2, 3, 5, 1}, 0, AlignTop, AlignLeft | AlignTop},
        {"horizontal-alignment: right; vertical-alignment: bottom;", {2, 3, 5, 1}, 0, AlignBottom,
         AlignRight | AlignTop},
        {"horizontal-alignment: center; vertical-alignment: center;", {2, 3, 5, 1}, 1, AlignCenter, AlignTop},
        // Any other vertical word paints like top.
        {"vertical-alignment: middle;", {}, 0, AlignTop, AlignLeft | AlignTop},
    };
    for (const tCase& c : cases) {
        SCOPED_TRACE(c.rule);
        TextWidgetPane f(std::string("MultilineLabel { ") + c.rule + " }");
        const int step = f.lineHeight();
        const int height = 5 * step + c.extraHeight;
        auto label = addLabel(f, 5, height, c.margins);
        label->setText("abcd efgh");
        // Two lines in the content box.
        const Widget::tMargins& m = c.margins;
        const int top = c.vertical == AlignBottom   ? height - m.bottom - 2 * step
                        : c.vertical == AlignCenter ? m.top + (height - m.bottom - m.top - 2 * step) / 2
                                                    : m.top;
        const auto calls = paintLines(f, *label);
        ASSERT_EQ(calls.size(), 2u);
        const int right = 5 * f.advance() + m.left;
        EXPECT_EQ(calls[0].rect, (GP::Rect{m.left, top, right, top + step}));
        EXPECT_EQ(calls[1].rect, (GP::Rect{m.left, top + step, right, top + 2 * step}));
        EXPECT_EQ(calls[0].flags, c.flags);
    }
}

TEST(MultilineLabel, LinesOutsideTheContentBoxAreSkipped)
{
    TextWidgetPane f("MultilineLabel { vertical-alignment: bottom; }");
    auto label = addLabel(f, 5);
    const int step = label->getLineStep();
    // Three lines bottom-aligned in three steps and a half: the first starts half a step down.
    // In three steps with a top margin of one, it lies wholly above the content box.
    label->setSize(label->getSize().width, 3 * step + step / 2);
    label->setText("abcd efgh ijkl");
    EXPECT_EQ(textsOf(paintLines(f, *label)), (std::vector<std::string>{"abcd ", "efgh ", "ijkl"}));
    label->setMargin({0, step, 0, 0});
    label->setSize(label->getSize().width, 3 * step);
    EXPECT_EQ(textsOf(paintLines(f, *label)), (std::vector<std::string>{"efgh ", "ijkl"}));
}

}  // namespace
}  // namespace HA::HWL
