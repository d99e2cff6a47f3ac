// The panel drawer: a widget's styled background, border, picture, dye mask and text, each
// clipped to the dirty parts, and the built-in look of a tree before any sheet is loaded.

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "hwl/core/src/cascade/StyleData.h"
#include "hwl/core/src/cascade/StyleSheets.h"
#include "hwl/core/src/library/Init.h"
#include "hwl/core/src/resources/ManagerContainer.h"
#include "hwl/core/src/widgets/Bar.h"
#include "hwl/core/src/widgets/PanelDrawer.h"
#include "hwl/tests/CanvasTestSupport.h"
#include "uia/tests/FontTestSupport.h"

namespace HA::HWL {
namespace {

using Testing::bufferShows;
using Testing::ExpectedPixels;
using Testing::fillExpected;
using Testing::makeScripted;
using Testing::ScriptedWidget;

constexpr std::uint32_t kFace = 0xFFC0C0C0u;    // rgb(192, 192, 192)
constexpr std::uint32_t kEdge = 0xFF808080u;    // rgb(128, 128, 128)
constexpr std::uint32_t kDarkBar = 0xFF202020u;  // rgb(32, 32, 32)

// The outline and the inside of a bordered panel.
void panelExpected(ExpectedPixels& e, const GP::Rect& box, std::uint32_t face, std::uint32_t edge)
{
    fillExpected(e, box, edge);
    fillExpected(e, {box.left + 1, box.top + 1, box.right - 1, box.bottom - 1}, face);
}

// A picture of solid frames, one colour each, frames stacked.
std::shared_ptr<UIA::Picture> framesPicture(int width, int height, const std::vector<std::uint32_t>& colours)
{
    auto picture = std::make_shared<UIA::Picture>();
    picture->setSize(width, height * int(colours.size()), UIA::Picture::eBlock::Discard);
    picture->setHasAlpha(true);
    picture->setFrameLayout(UIA::PictureProperties::kFramesStacked);
    picture->setFrameCount(std::uint32_t(colours.size()));
    for (std::size_t f = 0; f < colours.size(); ++f)
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                picture->getPixels()[(int(f) * height + y) * width + x] = colours[f];
    return picture;
}

class PanelDrawerTest : public ::testing::Test {
protected:
    PanelDrawerTest()
    {
        init();
        root->painter = [this](ScriptedWidget& w, PaintContext& context) {
            if (paintText) {
                drawer.draw(w, context);
                drawer.drawText(w, text, context, orientation);
            } else {
                drawer.draw(w, context);
            }
        };
    }
    ~PanelDrawerTest() override
    {
        pane.setRoot(nullptr);
        root.reset();
        shutdown();
    }

    StyleSheets& sheets() { return getStyleSheets(); }
    // Replaces the built-in rules.
    void load(const std::string& text) { StyleParser2::processString(sheets().getGlobalSheet(), text.c_str()); }

    // The root, 40 x 30, styled by the current rules.
    void show(int width = 40, int height = 30)
    {
        pane.setSize(width, height);
        root->setSize(width, height);
        pane.setRoot(root, "root");
        GP::Region dirty;
        pane.collectDirtyRegion(dirty);
    }
    // The widget's resolved style, refilled (the tests add to its lists).
    StyleData& style(const Widget& widget)
    {
        StyleData& data = sheets().getStyleData(widget);
        sheets().resolveStyleData(data);
        return data;
    }
    void paint(float scale = 1.0f, const GP::Region& region = GP::Region())
    {
        canvas.setScale(scale);
        canvas.resize(root->getSize().width, root->getSize().height);
        pane.paint(canvas, region, Pane::kPaintAll);
    }

    Pane pane;
    std::shared_ptr<ScriptedWidget> root = makeScripted();
    PanelDrawer drawer;
    BackgroundDrawingCanvas canvas;
    bool paintText = false;
    std::string text;
    int orientation = 0;
};

TEST_F(PanelDrawerTest, BuiltInLookIsAGreyPanelWithDarkBars)
{
    auto bar = std::make_shared<Bar>();
    bar->configure(Widget::kLineLeftToRight, nullptr);
    bar->setPositionFixed(true);
    root->addChild(bar, "bar");
    bar->setSize(20, 20);
    bar->setPosition({5, 5});
    show();
    paint();
    ExpectedPixels e(40, 30, 0);
    panelExpected(e, {0, 0, 40, 30}, kFace, kEdge);
    panelExpected(e, {5, 5, 25, 25}, kDarkBar, kEdge);
    EXPECT_TRUE(bufferShows(canvas.getBuffer(), e, "panel-default-look"));
}

TEST_F(PanelDrawerTest, BuiltInLookOfAHoveredBarIsTheHoverGrey)
{
    // The state rule is more specific than the bar's type rule; states are read while painting.
    auto bar = std::make_shared<Bar>();
    bar->configure(Widget::kLineLeftToRight, nullptr);
    bar->setPositionFixed(true);
    root->addChild(bar, "bar");
    bar->setSize(20, 20);
    bar->setPosition({5, 5});
    show();
    pane.setHovered(bar.get());
    paint();
    ExpectedPixels e(40, 30, 0);
    panelExpected(e, {0, 0, 40, 30}, kFace, kEdge);
    panelExpected(e, {5, 5, 25, 25}, 0xFFD0D0D0u, kEdge);
    EXPECT_TRUE(bufferShows(canvas.getBuffer(), e, "panel-default-look-hovered-bar"));
}

TEST_F(PanelDrawerTest, BuiltInLookAtScaleTwoKeepsOneBufferPixelBorders)
{
    show(10, 6);
    paint(2.0f);
    ExpectedPixels e(20, 12, 0);
    panelExpected(e, {0, 0, 20, 12}, kFace, kEdge);
    EXPECT_TRUE(bufferShows(canvas.getBuffer(), e, "panel-default-look-scale-2"));
}

TEST_F(PanelDrawerTest, OnlyTheDirtyPartIsDrawn)
{
    show(20, 10);
    GP::Region part;
    part.setRect({0, 0, 8, 4});
    paint(1.0f, part);
    ExpectedPixels e(20, 10, 0);
    fillExpected(e, {0, 0, 8, 4}, kFace);
    fillExpected(e, {0, 0, 8, 1}, kEdge);
    fillExpected(e, {0, 0, 1, 4}, kEdge);
    EXPECT_TRUE(bufferShows(canvas.getBuffer(), e, "panel-dirty-part"));
}

struct tColourCase {
    const char* name;
    const char* rule;
    std::uint32_t inside;
    std::uint32_t edge;
};

class PanelColourTest : public PanelDrawerTest, public ::testing::WithParamInterface<tColourCase> {};

TEST_P(PanelColourTest, FillAndBorderByTheirAlpha)
{
    const tColourCase& c = GetParam();
    load(std::string("TestWidget { ") + c.rule + " }");
    show(12, 8);
    paint();
    ExpectedPixels e(12, 8, 0);
    panelExpected(e, {0, 0, 12, 8}, c.inside, c.edge);
    EXPECT_TRUE(bufferShows(canvas.getBuffer(), e, std::string("panel-colour-") + c.name));
}

INSTANTIATE_TEST_SUITE_P(
    Rows, PanelColourTest,
    ::testing::Values(
        tColourCase{"both", "background-color: rgb(1, 2, 3); background-border-color: rgb(9, 8, 7);", 0xFF010203u,
                    0xFF090807u},
        tColourCase{"transparent-fill", "background-color: rgba(255, 255, 255, 0); background-border-color: "
                                        "rgb(9, 8, 7);",
                    0u, 0xFF090807u},
        tColourCase{"no-border", "background-color: rgb(1, 2, 3); background-border-color: no;", 0xFF010203u,
                    0xFF010203u},
        tColourCase{"neither", "background-color: no;", 0u, 0u}),
    [](const ::testing::TestParamInfo<tColourCase>& info) {
        std::string name = info.param.name;
        for (char& ch : name)
            if (ch == '-')
                ch = '_';
        return name;
    });

TEST_F(PanelDrawerTest, PictureFrameChosenByTheStyleAndTheHookInsideTheMargins)
{
    load("TestWidget { background-color: no; animation-index: 1; relative-left: 1; }");
    root->setMargin({2, 3, 2, 3});
    show(12, 10);
    // Frames red, green, blue; the style picks the second, the hook the third.
    style(*root).pictures.push_back({StateCondition{}, LazyPicture(framesPicture(4, 2, {0xFFFF0000u, 0xFF00FF00u,
                                                                                     0xFF0000FFu}))});
    paint();
    ExpectedPixels e(12, 10, 0);
    fillExpected(e, {3, 3, 7, 5}, 0xFF00FF00u);
    EXPECT_TRUE(bufferShows(canvas.getBuffer(), e, "panel-picture-frame"));

    drawer.setFrameHook([](int& frame) { frame += 1; });
    paint();
    fillExpected(e, {3, 3, 7, 5}, 0xFF0000FFu);
    EXPECT_TRUE(bufferShows(canvas.getBuffer(), e, "panel-picture-frame-hook"));
}

TEST_F(PanelDrawerTest, NinePatchPictureFillsTheWholeRectangleWhenItIncludesTheMargins)
{
    load("TestWidget { background-color: no; picture-includes-margin: yes; }");
    root->setMargin({2, 2, 2, 2});
    show(10, 8);
    auto picture = framesPicture(3, 3, {0xFF00FF00u});
    picture->getPixels()[4] = 0xFFFF0000u;  // the centre tile
    picture->setTopMargin(1);
    picture->setBottomMargin(1);
    picture->setLeftMargin(1);
    picture->setRightMargin(1);
    picture->setVerticalMarginsEnabled(true);
    picture->setHorizontalMarginsEnabled(true);
    picture->computeHiddenTiles();
    style(*root).pictures.push_back({StateCondition{}, LazyPicture(picture)});
    paint();
    ExpectedPixels e(10, 8, 0);
    panelExpected(e, {0, 0, 10, 8}, 0xFFFF0000u, 0xFF00FF00u);
    EXPECT_TRUE(bufferShows(canvas.getBuffer(), e, "panel-nine-patch"));
}

TEST_F(PanelDrawerTest, DyeMaskColoursTheBackgroundAndAMissingOneLeavesItIntact)
{
    load("TestWidget { background-color: rgb(0, 0, 255); dye-color: rgb(255, 0, 0); }");
    show(8, 6);
    paint();
    ExpectedPixels e(8, 6, 0xFF0000FFu);
    EXPECT_TRUE(bufferShows(canvas.getBuffer(), e, "panel-no-dye-mask"));

    // An opaque mask in the left half: dyed red there.
    auto mask = framesPicture(4, 6, {0xFF000000u});
    style(*root).dyeMaskPictures.push_back({StateCondition{}, LazyPicture(mask)});
    paint();
    fillExpected(e, {0, 0, 4, 6}, 0xFFFF0000u);
    EXPECT_TRUE(bufferShows(canvas.getBuffer(), e, "panel-dye-mask"));
}

class PanelTextTest : public PanelDrawerTest {
protected:
    PanelTextTest()
    {
        UIA::FontDesc description;
        description.name = "DejaVuSansMono.ttf";
        description.size = 16;
        description.engine = &engine;
        font = UIA::TEST::fontFromBytes(UIA::TEST::readFile("/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf"),
                                        description);
        paintText = true;
    }
    // The test's font for the root (the style list is refilled by every style application).
    void useFont() { style(*root).fonts.push_back({StateCondition{}, font.get()}); }

    UIA::FreeTypeContext engine;
    std::unique_ptr<UIA::Font> font;
};

TEST_F(PanelTextTest, ForegroundZeroDrawsNoText)
{
    load("TestWidget { background-color: no; foreground-color: no; }");
    show(40, 20);
    useFont();
    int calls = 0;
    drawer.setTextDelegate([&](std::string& shown, const std::string& t, const UIA::Font&, int) {
        ++calls;
        shown = t;
    });
    text = "Hello";
    paint();
    EXPECT_EQ(calls, 0);
    EXPECT_TRUE(bufferShows(canvas.getBuffer(), ExpectedPixels(40, 20, 0), "panel-no-foreground"));
}

struct tAvailableCase {
    int orientation;
    float scale;
    int available;
};

class PanelAvailableTest : public PanelTextTest, public ::testing::WithParamInterface<tAvailableCase> {};

TEST_P(PanelAvailableTest, DelegateGetsTheRoomInBufferPixels)
{
    const tAvailableCase& c = GetParam();
    load("TestWidget { background-color: no; foreground-color: rgb(0, 0, 0); foreground-relative-left: 4; "
         "foreground-relative-top: 3; }");
    root->setMargin({5, 2, 5, 2});
    show(50, 20);
    useFont();
    std::vector<int> widths;
    drawer.setTextDelegate([&](std::string& shown, const std::string& t, const UIA::Font&, int width) {
        widths.push_back(width);
        shown = t;
    });
    text = "x";
    orientation = c.orientation;
    pane.setScale(c.scale);
    paint(c.scale);
    EXPECT_EQ(widths, std::vector<int>{c.available});
}

// Content 40 x 16; displacement (4, 3).
INSTANTIATE_TEST_SUITE_P(Rows, PanelAvailableTest,
                         ::testing::Values(tAvailableCase{0, 1.0f, 36}, tAvailableCase{0, 2.0f, 72},
                                           tAvailableCase{0, 1.5f, 54}, tAvailableCase{1, 1.0f, 13},
                                           tAvailableCase{1, 2.0f, 26}, tAvailableCase{2, 1.0f, 0}));

TEST_F(PanelTextTest, TextIsDrawnShortenedInTheDisplacedContentBox)
{
    load("TestWidget { background-color: no; foreground-color: rgb(0, 0, 0); horizontal-alignment: right; "
         "foreground-relative-left: -2; }");
    root->setMargin({3, 2, 3, 2});
    show(60, 24);
    useFont();
    drawer.getAbbreviator().setMode(GP::TextAbbreviator::eCutEnd);
    drawer.getAbbreviator().setEllipsis("..");
    text = "A rather long text";
    paint();

    // The same text, cut by the abbreviator to the 54-pixel content width plus 2, drawn
    // straight into a canvas.
    font->setScale(1.0f);
    const std::string shown = UIA::abbreviateToWidth(drawer.getAbbreviator(), text, 56, *font);
    ASSERT_LT(shown.size(), text.size());
    BackgroundDrawingCanvas expected;
    expected.resize(60, 24);
    expected.drawText(shown.c_str(), {1, 2, 55, 22}, *font, 0xFF000000u, 1 | 0, false);
    EXPECT_TRUE(bufferShows(canvas.getBuffer(), Testing::expectedFrom(expected.getBuffer()), "panel-text-right"));
}

TEST_F(PanelTextTest, BytesThatAreNotUtf8AreLeftOut)
{
    load("TestWidget { background-color: no; foreground-color: rgb(0, 0, 0); }");
    show(30, 20);
    useFont();
    drawer.getAbbreviator().setMode(GP::TextAbbreviator::eCutMiddle);
    drawer.getAbbreviator().setEllipsis("..");
    text = "abc\xff\xfe defghijklmnopqrstuvwxyz";
    EXPECT_NO_THROW(paint());
    const std::vector<std::uint32_t> shown = Testing::pixelsOf(canvas.getBuffer());
    text = "abc defghijklmnopqrstuvwxyz";
    paint();
    EXPECT_EQ(shown, Testing::pixelsOf(canvas.getBuffer()));
    EXPECT_FALSE(Testing::inkOf(canvas.getBuffer()).isEmpty());
    EXPECT_NO_THROW(drawer.fitText(*root, "ab\xc3", 100));
}

TEST_F(PanelTextTest, VerticalTextWithBottomAlignmentStartsAtTheBottom)
{
    load("TestWidget { background-color: no; foreground-color: rgb(0, 0, 0); vertical-alignment: bottom; }");
    show(24, 80);
    useFont();
    text = "Up";
    orientation = 1;
    paint();
    const GP::Rect ink = Testing::inkOf(canvas.getBuffer());
    ASSERT_FALSE(ink.isEmpty());
    EXPECT_GT(ink.bottom, 70);
    EXPECT_LT(ink.top, 80 - 5);
    EXPECT_GT(ink.top, 40);
}

// A widget with a text panel's two readers.
class FakeTextPanel : public ScriptedWidget {
public:
    const std::string& getText() const { return text; }
    int getVerticalText() const { return vertical; }

    std::string text;
    int vertical = 0;
};

TEST_F(PanelTextTest, TextPanelIsThePanelThenItsText)
{
    // The built-in look: grey panel, grey border, black text, left and centred by default.
    auto panel = std::make_shared<FakeTextPanel>();
    panel->text = "Ok";
    panel->painter = [this, raw = panel.get()](ScriptedWidget&, PaintContext& context) {
        drawer.drawTextPanel(*raw, context);
    };
    panel->setMargin({4, 2, 4, 2});
    pane.setSize(40, 24);
    panel->setSize(40, 24);
    pane.setRoot(panel, "panel");
    GP::Region dirty;
    pane.collectDirtyRegion(dirty);
    style(*panel).fonts.push_back({StateCondition{}, font.get()});
    canvas.resize(40, 24);
    pane.paint(canvas, GP::Region(), Pane::kPaintAll);

    BackgroundDrawingCanvas expected;
    expected.resize(40, 24);
    expected.fillRect({0, 0, 40, 24}, kFace);
    expected.drawFrameRect({0, 0, 40, 24}, kEdge);
    font->setScale(1.0f);
    expected.drawText("Ok", {4, 2, 36, 22}, *font, 0xFF000000u, 0x1000, false);
    EXPECT_TRUE(bufferShows(canvas.getBuffer(), Testing::expectedFrom(expected.getBuffer()), "panel-text-panel"));
    pane.setRoot(nullptr);
}

struct tFitCase {
    const char* alignment;
    int extra;  // width minus the line's width
    int offset;
};

class PanelFitTest : public PanelTextTest, public ::testing::WithParamInterface<tFitCase> {};

TEST_P(PanelFitTest, OffsetOfTheFirstLine)
{
    const tFitCase& c = GetParam();
    load(std::string("TestWidget { horizontal-alignment: ") + c.alignment + "; }");
    show();
    useFont();
    font->setScale(1.0f);
    const int line = font->getTextWidth("Hello", -1);
    EXPECT_EQ(drawer.fitText(*root, "Hello", line + c.extra), c.offset);
}

INSTANTIATE_TEST_SUITE_P(Rows, PanelFitTest,
                         ::testing::Values(tFitCase{"center", 9, 5}, tFitCase{"right", 9, 9}, tFitCase{"left", 9, 0},
                                           tFitCase{"center", -3, 0}, tFitCase{"right", -3, 0}));

TEST_F(PanelDrawerTest, NothingIsDrawnBeforeTheLibraryStarts)
{
    show(8, 6);
    pane.setRoot(nullptr);
    shutdown();
    BackgroundDrawingCanvas c;
    c.resize(8, 6);
    GP::Region all;
    all.setRect({0, 0, 8, 6});
    const GP::Rect bounds{0, 0, 8, 6};
    PaintContext context(c, all, bounds, 1.0f, PaintContext::kPhaseBeforeChildren);
    drawer.draw(*root, context);
    drawer.drawText(*root, "x", context, 0);
    EXPECT_EQ(drawer.fitText(*root, "x", 10), 0);
    EXPECT_TRUE(bufferShows(c.getBuffer(), ExpectedPixels(8, 6, 0), "panel-before-start"));
    init();
}

}  // namespace
}  // namespace HA::HWL
