// What labels, buttons and multi-line labels paint, pixel for pixel: a styled panel (fill and
// one-pixel border per state) with the text drawn by the font into the content box. The
// expected pictures are built from the picture's and the font's own drawing, so that only the
// widgets' composition is under test.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "hwl/core/src/cascade/StyleData.h"
#include "hwl/core/src/widgets/Button.h"
#include "hwl/core/src/widgets/Label.h"
#include "hwl/core/src/widgets/MultilineLabel.h"
#include "hwl/tests/CanvasTestSupport.h"
#include "hwl/tests/TextWidgetTestSupport.h"

namespace HA::HWL {
namespace {

using Testing::TextWidgetPane;

// The fixture works in a scratch folder that goes with it: pictures of a failure are written
// where the test program started.
const TEST::fs::path kStartFolder = TEST::fs::current_path();

::testing::AssertionResult shows(BackgroundDrawingCanvas& canvas, const Testing::ExpectedPixels& expected,
                                 const std::string& name)
{
    const TEST::fs::path scratch = TEST::fs::current_path();
    TEST::fs::current_path(kStartFolder);
    ::testing::AssertionResult result = Testing::bufferShows(canvas.getBuffer(), expected, name);
    TEST::fs::current_path(scratch);
    return result;
}

constexpr std::uint32_t kFill = 0xFFC0C0C0u;
constexpr std::uint32_t kFillOver = 0xFFD0D0D0u;
constexpr std::uint32_t kFillDown = 0xFFB0B0B0u;
constexpr std::uint32_t kBorder = 0xFF808080u;
constexpr std::uint32_t kText = 0xFF000000u;
constexpr std::uint32_t kTextDisabled = 0xFF909090u;

const char* const kRules =
    "Label, Button, MultilineLabel { background-color: rgb(192, 192, 192); "
    "background-border-color: rgb(128, 128, 128); }\n"
    "Button { horizontal-alignment: center; }\n"
    "Button:down { background-color: rgb(176, 176, 176); }\n"
    "Button:over { background-color: rgb(208, 208, 208); }\n"
    "Label:!enabled, Button:!enabled { foreground-color: rgb(144, 144, 144); }\n";

constexpr int kWidth = 72;
constexpr int kHeight = 26;

// The pane and its root are the widget's size; the widget fills the root.
class PictureFixture {
public:
    explicit PictureFixture(const std::string& rules, int width = kWidth, int height = kHeight)
        : f(rules), width(width), height(height)
    {
        f.pane.setSize(width, height);
        Testing::place(*f.root, 0, 0, width, height);
    }

    void add(const std::shared_ptr<Widget>& widget, const Widget::tMargins& margins)
    {
        f.root->addChild(widget, "widget");
        // The style first: it may set margins and limits of its own.
        widget->applyStyle();
        widget->setMinimumSize({});
        widget->setMargin(margins);
        Testing::place(*widget, 0, 0, width, height);
    }

    // The canvas after a paint of the whole pane.
    std::unique_ptr<BackgroundDrawingCanvas> paint(const Widget& widget)
    {
        getStyleSheets().resolveStyleData(getStyleSheets().getStyleData(widget));
        auto canvas = std::make_unique<BackgroundDrawingCanvas>();
        canvas->resize(width, height);
        f.pane.paint(*canvas, GP::Region(), Pane::kPaintAll);
        return canvas;
    }

    // A panel of the fixture's size: fill, border, then the texts in their rectangles.
    struct tText {
        std::string text;
        GP::Rect rect;
        unsigned flags;
    };
    Testing::ExpectedPixels panel(std::uint32_t fill, std::uint32_t colour, const std::vector<tText>& texts) const
    {
        UIA::Picture picture;
        picture.setSize(width, height, UIA::Picture::eBlock::Discard);
        picture.fill(0);
        picture.fillRect(0, 0, width, height, fill);
        picture.drawFrameRect(0, 0, width, height, kBorder);
        for (const tText& text : texts)
            f.font().drawText(picture, text.rect, text.text.c_str(), colour, text.flags, 0);
        return Testing::expectedFrom(picture);
    }

    void mouse(int code, int x, int y, int kind = 0)
    {
        UIA::MouseEventData data{x, y, 0, UIA::kMouseButtonLeft, kind};
        f.pane.handleEvent(code, &data);
    }

    TextWidgetPane f;
    int width;
    int height;
};

struct tStateCase {
    const char* name;
    std::uint32_t fill;
    std::uint32_t colour;
};

const std::vector<tStateCase> kStates = {
    {"normal", kFill, kText},
    {"hover", kFillOver, kText},
    {"pressed", kFillDown, kText},
    {"disabled", kFill, kTextDisabled},
};

void enterState(PictureFixture& p, Widget& widget, const std::string& state)
{
    if (state == "hover") {
        p.mouse(UIA::kEventMouseMove, 10, 10);
    } else if (state == "pressed") {
        p.mouse(UIA::kEventMouseMove, 10, 10);
        p.mouse(UIA::kEventMouseButton, 10, 10, UIA::kMousePress);
    } else if (state == "disabled") {
        widget.setEnabled(false);
    }
}

TEST(TextWidgetPictures, ButtonInEachState)
{
    const Widget::tMargins margins{4, 3, 4, 3};
    const GP::Rect content{4, 3, kWidth - 4, kHeight - 3};
    for (const tStateCase& s : kStates) {
        SCOPED_TRACE(s.name);
        PictureFixture p(kRules);
        auto button = std::make_shared<Button>();
        button->configure("Quit", nullptr);
        p.add(button, margins);
        enterState(p, *button, s.name);
        const auto canvas = p.paint(*button);
        const unsigned centred = 0;
        EXPECT_TRUE(shows(*canvas, p.panel(s.fill, s.colour, {{"Quit", content, centred}}),
                                         std::string("button-") + s.name));
    }
}

// The sheet gives labels no hover or pressed look, only a disabled one.
TEST(TextWidgetPictures, LabelInEachState)
{
    const Widget::tMargins margins{5, 0, 0, 0};
    const GP::Rect content{5, 0, kWidth, kHeight};
    for (const tStateCase& s : kStates) {
        SCOPED_TRACE(s.name);
        PictureFixture p(kRules);
        auto label = std::make_shared<Label>();
        label->configure("1.2.3", nullptr);
        p.add(label, margins);
        enterState(p, *label, s.name);
        const auto canvas = p.paint(*label);
        const std::uint32_t fill = kFill;
        EXPECT_TRUE(shows(*canvas,
                                         p.panel(fill, s.colour, {{"1.2.3", content, unsigned(AlignLeft)}}),
                                         std::string("label-") + s.name));
    }
}

TEST(TextWidgetPictures, VerticalButtonText)
{
    PictureFixture p(kRules, 26, 72);
    auto button = std::make_shared<Button>();
    button->configure("Up", nullptr);
    button->setVerticalText(1);
    p.add(button, {});
    const auto canvas = p.paint(*button);
    // The same text drawn turned by the canvas onto the same panel.
    BackgroundDrawingCanvas expected;
    expected.resize(26, 72);
    expected.fillRect({0, 0, 26, 72}, kFill);
    expected.drawFrameRect({0, 0, 26, 72}, kBorder);
    expected.drawText("Up", {0, 0, 26, 72}, p.f.font(), kText, AlignCenter, true);
    EXPECT_TRUE(shows(*canvas, Testing::expectedFrom(expected.getBuffer()),
                                     "button-vertical"));
}

// A Targa strip of frames stacked from the top, each frame one opaque colour.
std::vector<unsigned char> frameStrip(int width, int frameHeight, const std::vector<std::uint32_t>& colours)
{
    const int height = frameHeight * static_cast<int>(colours.size());
    std::vector<unsigned char> bytes = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                        static_cast<unsigned char>(width), static_cast<unsigned char>(width >> 8),
                                        static_cast<unsigned char>(height), static_cast<unsigned char>(height >> 8),
                                        32, 0x28};
    for (const std::uint32_t colour : colours)
        for (int i = 0; i < width * frameHeight; ++i)
            for (int shift : {0, 8, 16, 24})
                bytes.push_back(static_cast<unsigned char>(colour >> shift));
    return bytes;
}

// The skin's way: one picture strip whose frame each state picks.
TEST(TextWidgetPictures, ButtonFramePerState)
{
    const std::vector<std::uint32_t> frames = {0xFF3060A0u, 0xFF4080C0u, 0xFF204070u, 0xFF707070u};
    const std::string rules =
        "Button { image: url(\"strip.tga\"); animations: 4; horizontal-alignment: center; "
        "foreground-color: rgb(255, 255, 255); }\n"
        "Button:down { animation-index: 2; }\n"
        "Button:over { animation-index: 1; }\n"
        "Button:!enabled { animation-index: 3; foreground-color: rgb(200, 200, 200); }\n";
    const std::vector<std::pair<const char*, std::uint32_t>> looks = {
        {"normal", 0xFFFFFFFFu}, {"hover", 0xFFFFFFFFu}, {"pressed", 0xFFFFFFFFu}, {"disabled", 0xFFC8C8C8u}};
    for (std::size_t i = 0; i < looks.size(); ++i) {
        const std::string state = looks[i].first;
        SCOPED_TRACE(state);
        PictureFixture p(rules);
        TEST::writeFile(p.f.folders.work() / "skin" / "pictures" / "strip.tga", frameStrip(kWidth, kHeight, frames));
        auto button = std::make_shared<Button>();
        button->configure("Quit", nullptr);
        p.add(button, {});
        enterState(p, *button, state);
        const auto canvas = p.paint(*button);

        UIA::Picture expected;
        expected.setSize(kWidth, kHeight, UIA::Picture::eBlock::Discard);
        expected.fill(frames[i]);
        p.f.font().drawText(expected, {0, 0, kWidth, kHeight}, "Quit", looks[i].second, AlignCenter, 0);
        EXPECT_TRUE(shows(*canvas, Testing::expectedFrom(expected), "button-frame-" + state));
    }
}

struct tMultilineCase {
    const char* name;
    const char* rule;
    unsigned horizontal;
    int vertical;
};

TEST(TextWidgetPictures, MultilineAlignments)
{
    const std::vector<tMultilineCase> cases = {
        {"top-left", "", AlignLeft, AlignTop},
        {"centre", "MultilineLabel { horizontal-alignment: center; vertical-alignment: center; }", AlignCenter,
         AlignCenter},
        {"bottom-right", "MultilineLabel { horizontal-alignment: right; vertical-alignment: bottom; }", AlignRight,
         AlignBottom},
    };
    for (const tMultilineCase& c : cases) {
        SCOPED_TRACE(c.name);
        PictureFixture p(std::string(kRules) + c.rule, 120, 90);
        const int advance = p.f.advance();
        const int step = p.f.lineHeight();
        const Widget::tMargins m{3, 2, 120 - 3 - 9 * advance, 4};
        auto label = std::make_shared<MultilineLabel>();
        p.add(label, m);
        label->layout();
        label->setText("wrap me at nine");
        ASSERT_EQ(label->getLineCount(), 2);
        const auto canvas = p.paint(*label);
        const int top = c.vertical == AlignBottom   ? 90 - m.bottom - 2 * step
                        : c.vertical == AlignCenter ? m.top + (90 - m.bottom - m.top - 2 * step) / 2
                                                    : m.top;
        const int right = 120 - m.right;
        const unsigned flags = c.horizontal | AlignTop;
        EXPECT_TRUE(shows(*canvas,
                                         p.panel(kFill, kText,
                                                 {{"wrap me ", {m.left, top, right, top + step}, flags},
                                                  {"at nine", {m.left, top + step, right, top + 2 * step}, flags}}),
                                         std::string("multiline-") + c.name));
    }
}

TEST(TextWidgetPictures, MultilineLastLineWithDots)
{
    const int step = Testing::monoLineHeight();
    PictureFixture p(kRules, 120, 2 * step + step / 2);
    const int advance = p.f.advance();
    auto label = std::make_shared<MultilineLabel>();
    p.add(label, {0, 0, 120 - 9 * advance, 0});
    label->layout();
    label->setText("wrap me at nine, then more");
    ASSERT_EQ(label->getLineCount(), 3);
    const auto canvas = p.paint(*label);
    const unsigned flags = AlignLeft | AlignTop;
    const int right = 9 * advance;
    EXPECT_TRUE(shows(
        *canvas,
        p.panel(kFill, kText, {{"wrap me ", {0, 0, right, step}, flags}, {"at nine, ..", {0, step, right, 2 * step}, flags}}),
        "multiline-dots"));
}

}  // namespace
}  // namespace HA::HWL
