#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "hwl/core/src/canvas/Canvas.h"
#include "hwl/core/src/canvas/PaintContext.h"
#include "hwl/core/src/style/LazyPicture.h"
#include "hwl/tests/CanvasTestSupport.h"
#include "uia/tests/FontTestSupport.h"

namespace HA::HWL {
namespace {

using Testing::bufferPixel;
using Testing::bufferShows;
using Testing::ExpectedPixels;
using Testing::fillExpected;
using Testing::inkOf;

constexpr std::uint32_t kRed = 0xFFFF0000u;
constexpr std::uint32_t kBlue = 0xFF0000FFu;

std::unique_ptr<BackgroundDrawingCanvas> makeCanvas(int width, int height, float scale)
{
    auto canvas = std::make_unique<BackgroundDrawingCanvas>();
    canvas->setScale(scale);
    canvas->resize(width, height);
    return canvas;
}

struct tScaledRect {
    float scale;
    GP::Rect logical;
    GP::Rect buffer;
};

class CanvasScaling : public ::testing::TestWithParam<tScaledRect> {};

TEST_P(CanvasScaling, RectanglesBecomeTheirRoundedCorners)
{
    const tScaledRect& c = GetParam();
    auto canvas = makeCanvas(20, 20, c.scale);
    canvas->fillRectRaw(c.logical, kRed);
    EXPECT_EQ(inkOf(canvas->getBuffer()), c.buffer);
    canvas->fill(0);
    canvas->fillRect(c.logical, kRed);
    EXPECT_EQ(inkOf(canvas->getBuffer()), c.buffer);
}

INSTANTIATE_TEST_SUITE_P(Cases, CanvasScaling,
                         ::testing::Values(tScaledRect{1.0f, {1, 1, 2, 2}, {1, 1, 2, 2}},
                                           tScaledRect{1.5f, {1, 1, 2, 2}, {2, 2, 3, 3}},
                                           tScaledRect{1.5f, {1, 2, 4, 5}, {2, 3, 6, 8}},
                                           tScaledRect{2.0f, {1, 1, 2, 2}, {2, 2, 4, 4}},
                                           tScaledRect{2.0f, {0, 3, 5, 4}, {0, 6, 10, 8}}));

TEST(Canvas, SizesAndClearsTheBufferByScale)
{
    auto canvas = makeCanvas(10, 20, 1.5f);
    EXPECT_EQ(canvas->getBuffer().getWidth(), 15);
    EXPECT_EQ(canvas->getBuffer().getHeight(), 30);
    canvas->fill(kRed);
    canvas->setScale(2.0f);
    EXPECT_EQ(canvas->getBuffer().getWidth(), 20);
    EXPECT_EQ(canvas->getBuffer().getHeight(), 40);
    EXPECT_EQ(inkOf(canvas->getBuffer()), GP::Rect{});
    canvas->fill(kRed);
    canvas->setScale(2.0f);  // unchanged: kept
    canvas->resize(10, 20);
    EXPECT_EQ(bufferPixel(canvas->getBuffer(), 3, 3), kRed);
    canvas->resize(11, 20);
    EXPECT_EQ(canvas->getBuffer().getWidth(), 22);
    EXPECT_EQ(inkOf(canvas->getBuffer()), GP::Rect{});
    EXPECT_EQ(canvas->getPixels(), canvas->getBuffer().getPixels());
}

TEST(Canvas, OriginsAreSetNotAdded)
{
    auto canvas = makeCanvas(40, 40, 1.0f);
    canvas->moveOrigin({10, 0});
    canvas->moveOrigin({10, 0});
    EXPECT_EQ(canvas->getOrigin(), (GP::Point{10, 0}));
    canvas->fillRectRaw({0, 0, 1, 1}, kRed);
    EXPECT_EQ(inkOf(canvas->getBuffer()), (GP::Rect{10, 0, 11, 1}));
    canvas->resetOrigin();
    EXPECT_EQ(canvas->getOrigin(), (GP::Point{0, 0}));

    auto scaled = makeCanvas(40, 40, 1.5f);
    scaled->moveOrigin({5, 5});
    EXPECT_EQ(scaled->getOrigin(), (GP::Point{5, 5}));
    EXPECT_EQ(scaled->getBuffer().getOriginX(), 8);
}

TEST(Canvas, ClipLimitsDrawingUntilReset)
{
    auto canvas = makeCanvas(20, 20, 2.0f);
    canvas->moveOrigin({2, 2});
    canvas->setClip({0, 0, 3, 3});
    canvas->fillRect({-2, -2, 20, 20}, kRed);
    EXPECT_EQ(inkOf(canvas->getBuffer()), (GP::Rect{4, 4, 10, 10}));
    EXPECT_EQ(canvas->resetClip(), (GP::Rect{0, 0, 40, 40}));
    canvas->resetOrigin();
    canvas->fillRect({0, 0, 1, 1}, kBlue);
    EXPECT_EQ(bufferPixel(canvas->getBuffer(), 0, 0), kBlue);
}

TEST(Canvas, FramesAreOneBufferPixelWideAtEveryScale)
{
    for (float scale : {1.0f, 1.5f, 2.0f}) {
        auto canvas = makeCanvas(10, 10, scale);
        canvas->drawFrameRect({1, 1, 5, 5}, kRed);
        const int a = int(std::lroundf(1 * scale));
        const int b = int(std::lroundf(5 * scale));
        ExpectedPixels e(canvas->getBuffer().getWidth(), canvas->getBuffer().getHeight(), 0);
        fillExpected(e, {a, a, b, b}, kRed);
        fillExpected(e, {a + 1, a + 1, b - 1, b - 1}, 0);
        EXPECT_TRUE(bufferShows(canvas->getBuffer(), e, "canvas-frame"));
    }
}

TEST(Canvas, FillBlendsAndAlphaZeroDrawsNothing)
{
    auto canvas = makeCanvas(4, 4, 1.0f);
    canvas->fill(0xFF000000u);
    canvas->fillRect({0, 0, 4, 4}, 0x00FFFFFFu);
    EXPECT_EQ(bufferPixel(canvas->getBuffer(), 1, 1), 0xFF000000u);
    canvas->fillRect({0, 0, 2, 2}, 0x80FFFFFFu);
    const std::uint32_t mixed = bufferPixel(canvas->getBuffer(), 1, 1);
    EXPECT_EQ(mixed >> 24, 0xFFu);
    EXPECT_NEAR(int((mixed >> 16) & 0xFF), 128, 2);
    canvas->fillRectRaw({2, 2, 4, 4}, 0x80FFFFFFu);
    EXPECT_EQ(bufferPixel(canvas->getBuffer(), 3, 3), 0x80FFFFFFu);
    canvas->invertRect({3, 3, 4, 4});
    EXPECT_EQ(bufferPixel(canvas->getBuffer(), 3, 3), 0x80000000u);
    canvas->setPixel({0, 3}, kRed);
    EXPECT_EQ(bufferPixel(canvas->getBuffer(), 0, 3), kRed);
}

// Lines at scale 1 use the picture's pixel routines; elsewhere strokes of the scale's width.
struct tStroke {
    const char* name;
    float scale;
    int line;  // 0 horizontal, 1 vertical, 2 from-to, 3 anti-aliased
};

class CanvasStrokes : public ::testing::TestWithParam<tStroke> {};

TEST_P(CanvasStrokes, HorizontalLineOfLengthTenEndsAtItsScaledLength)
{
    const tStroke& c = GetParam();
    auto canvas = makeCanvas(30, 30, c.scale);
    canvas->moveOrigin({0, 5});
    switch (c.line) {
    case 0:
        canvas->drawHorizontalLine({0, 0}, 10, kRed);
        break;
    case 1:
        canvas->drawVerticalLine({0, 0}, 10, kRed);
        break;
    case 2:
        canvas->drawLine({0, 0}, {10, 0}, kRed);
        break;
    default:
        canvas->drawAntialiasedLine(0.0f, 0.0f, 10.0f, 0.0f, kRed);
        break;
    }
    const UIA::Picture& buffer = canvas->getBuffer();
    const int end = int(std::lroundf(10 * c.scale));
    const int row = int(std::lroundf(5 * c.scale));
    const GP::Rect ink = inkOf(buffer);
    if (c.line == 1) {
        EXPECT_EQ(ink.top, row) << c.name;
        EXPECT_EQ(ink.bottom, row + end) << c.name;
    } else {
        EXPECT_EQ(ink.left, 0) << c.name;
        EXPECT_EQ(ink.right, end) << c.name;
        EXPECT_LE(ink.height(), int(std::ceil(c.scale)) + 1) << c.name;
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, CanvasStrokes,
                         ::testing::Values(tStroke{"h1", 1.0f, 0}, tStroke{"h15", 1.5f, 0}, tStroke{"h2", 2.0f, 0},
                                           tStroke{"v2", 2.0f, 1}, tStroke{"v15", 1.5f, 1},
                                           tStroke{"l2", 2.0f, 2}, tStroke{"aa2", 2.0f, 3}));

TEST(CanvasStroke, AtScaleTwoIsTwoPixelsWideWithButtCaps)
{
    auto canvas = makeCanvas(15, 10, 2.0f);
    canvas->moveOrigin({0, 5});
    canvas->drawHorizontalLine({0, 0}, 10, kRed);
    ExpectedPixels e(30, 20, 0);
    fillExpected(e, {0, 9, 20, 11}, kRed);
    EXPECT_TRUE(bufferShows(canvas->getBuffer(), e, "canvas-stroke-scale2"));
}

TEST(CanvasStroke, AntialiasedEndsAreCutTowardZero)
{
    auto canvas = makeCanvas(15, 10, 2.0f);
    canvas->moveOrigin({0, 5});
    canvas->drawAntialiasedLine(0.9f, 0.0f, 10.9f, 0.0f, kRed);
    EXPECT_EQ(inkOf(canvas->getBuffer()), (GP::Rect{1, 9, 21, 11}));
}

TEST(CanvasStroke, KeepsToTheActiveClip)
{
    auto canvas = makeCanvas(15, 10, 2.0f);
    canvas->setClip({0, 0, 5, 10});
    canvas->drawHorizontalLine({0, 5}, 10, kRed);
    EXPECT_EQ(inkOf(canvas->getBuffer()), (GP::Rect{0, 9, 10, 11}));
    canvas->resetClip();
    canvas->drawHorizontalLine({0, 7}, 10, kRed);
    EXPECT_EQ(inkOf(canvas->getBuffer()).right, 20);
}

std::shared_ptr<UIA::Picture> checkerPicture()
{
    // 3 x 3: a red ring around a blue centre, one-pixel nine-patch margins.
    auto picture = std::make_shared<UIA::Picture>();
    picture->setSize(3, 3, UIA::Picture::eBlock::Discard);
    picture->fill(kRed);
    picture->getPixels()[4] = kBlue;
    picture->setHasAlpha(true);
    picture->setVerticalMarginsEnabled(true);
    picture->setHorizontalMarginsEnabled(true);
    picture->setTopMargin(1);
    picture->setBottomMargin(1);
    picture->setLeftMargin(1);
    picture->setRightMargin(1);
    return picture;
}

TEST(CanvasPictures, NinePatchStretchesTheCentre)
{
    auto canvas = makeCanvas(8, 6, 1.0f);
    auto picture = checkerPicture();
    canvas->drawNinePatch({1, 1, 7, 5}, *picture, 0, std::nullopt, false);
    ExpectedPixels e(8, 6, 0);
    fillExpected(e, {1, 1, 7, 5}, kRed);
    fillExpected(e, {2, 2, 6, 4}, kBlue);
    EXPECT_TRUE(bufferShows(canvas->getBuffer(), e, "canvas-nine-patch"));
}

TEST(CanvasPictures, PicturesAtTheScaledPointAndLazyOnesResolvedAtTheScale)
{
    auto canvas = makeCanvas(8, 8, 2.0f);
    auto picture = checkerPicture();
    canvas->drawPicture({1, 1}, *picture, 0, std::nullopt, false);
    EXPECT_EQ(inkOf(canvas->getBuffer()), (GP::Rect{2, 2, 5, 5}));
    // Blending keeps the destination's alpha: over opaque black the picture shows.
    canvas->fill(0xFF000000u);
    canvas->drawPicture({1, 1}, *picture, 0, std::nullopt, true);
    EXPECT_EQ(bufferPixel(canvas->getBuffer(), 3, 3), kBlue);
    EXPECT_EQ(bufferPixel(canvas->getBuffer(), 5, 5), 0xFF000000u);
    canvas->fill(0);
    const LazyPicture lazy{std::shared_ptr<const UIA::Picture>(picture)};
    canvas->drawLazyPicture({0, 0}, lazy, 0, std::nullopt, false);
    EXPECT_EQ(inkOf(canvas->getBuffer()), (GP::Rect{0, 0, 6, 6}));
    canvas->fill(0);
    canvas->drawLazyPicture({0, 0}, LazyPicture(), 0, std::nullopt, false);
    EXPECT_EQ(inkOf(canvas->getBuffer()), GP::Rect{});
}

TEST(CanvasPictures, DyeMaskPaintsTheColourThroughTheAlpha)
{
    auto canvas = makeCanvas(6, 6, 1.0f);
    canvas->fill(0xFF000000u);
    auto mask = std::make_shared<UIA::Picture>();
    mask->setSize(2, 2, UIA::Picture::eBlock::Discard);
    mask->fill(0);
    mask->getPixels()[0] = 0xFF000000u;
    mask->getPixels()[3] = 0xFF000000u;
    mask->setHasAlpha(true);
    canvas->drawDyedPicture({1, 1, 3, 3}, 0xFF00FF00u, *mask, 0, std::nullopt);
    ExpectedPixels e(6, 6, 0xFF000000u);
    e.at(1, 1) = 0xFF00FF00u;
    e.at(2, 2) = 0xFF00FF00u;
    EXPECT_TRUE(bufferShows(canvas->getBuffer(), e, "canvas-dye-mask"));
}

class CanvasText : public ::testing::Test {
protected:
    UIA::FreeTypeContext engine;
    std::unique_ptr<UIA::Font> font = UIA::TEST::fontFromBytes(UIA::TEST::sansBytes(), UIA::TEST::sansDesc(engine, 12));
};

// Text drawn by the canvas is the font's text in the scaled rectangle.
TEST_F(CanvasText, AlignmentsMatchTheFontsDrawingInTheScaledRectangle)
{
    for (unsigned flags : {0u, 0x1u, 0x1000u, 0x10u, 0x100u, 0x1011u, 0x1100u}) {
        for (float scale : {1.0f, 2.0f}) {
            auto canvas = makeCanvas(80, 30, scale);
            canvas->drawText("Vireo", {2, 3, 78, 27}, *font, 0xFF000000u, flags, false);
            UIA::Picture expected;
            expected.setSize(canvas->getBuffer().getWidth(), canvas->getBuffer().getHeight(),
                             UIA::Picture::eBlock::Discard);
            expected.fill(0);
            font->setScale(scale);
            const GP::Rect r{int(std::lroundf(2 * scale)), int(std::lroundf(3 * scale)), int(std::lroundf(78 * scale)),
                             int(std::lroundf(27 * scale))};
            font->drawText(expected, r, "Vireo", 0xFF000000u, flags, 0);
            EXPECT_FALSE(inkOf(canvas->getBuffer()).isEmpty());
            EXPECT_TRUE(bufferShows(canvas->getBuffer(), Testing::expectedFrom(expected),
                                    "canvas-text-" + std::to_string(flags) + "-" + std::to_string(int(scale * 10))));
        }
    }
}

// Vertical text is the horizontal text, with turned alignment, turned a quarter to the left.
TEST_F(CanvasText, VerticalTextIsTheTurnedHorizontalText)
{
    struct tCase {
        unsigned flags;
        unsigned turned;
    };
    for (const tCase c : {tCase{0x10, 0x1000}, tCase{0x100, 0x1}, tCase{0x1000, 0x100}, tCase{0x1, 0x10},
                          tCase{0, 0}}) {
        EXPECT_EQ(BackgroundDrawingCanvas::turnAlignment(c.flags), c.turned);
        auto canvas = makeCanvas(30, 80, 1.0f);
        const GP::Rect rect{3, 4, 27, 76};
        canvas->fillRect(rect, 0xFFFFFFFFu);
        canvas->drawText("Vireo", rect, *font, 0xFF000000u, c.flags, true);

        UIA::Picture flat;
        flat.setSize(rect.height(), rect.width(), UIA::Picture::eBlock::Discard);
        flat.fill(0xFFFFFFFFu);
        font->setScale(1.0f);
        font->drawText(flat, {0, 0, rect.height(), rect.width()}, "Vireo", 0xFF000000u, c.turned, 0);
        ExpectedPixels e(30, 80, 0);
        for (int y = 0; y < flat.getHeight(); ++y)
            for (int x = 0; x < flat.getWidth(); ++x)
                e.at(rect.left + y, rect.bottom - 1 - x) = flat.getPixels()[y * flat.getWidth() + x];
        EXPECT_TRUE(bufferShows(canvas->getBuffer(), e, "canvas-vertical-text-" + std::to_string(c.flags)));
    }
}

TEST_F(CanvasText, VerticalTextWithBottomAlignmentStartsAtTheBottom)
{
    auto canvas = makeCanvas(20, 100, 1.0f);
    canvas->drawText("Hi", {0, 0, 20, 100}, *font, 0xFF000000u, 0x10, true);
    const GP::Rect ink = inkOf(canvas->getBuffer());
    ASSERT_FALSE(ink.isEmpty());
    EXPECT_GT(ink.top, 60);
    EXPECT_GE(ink.bottom, 97);
}

TEST_F(CanvasText, VerticalTextStaysInsideTheBufferAndTheClip)
{
    auto canvas = makeCanvas(20, 40, 1.0f);
    // Half the rectangle lies outside the buffer; the clip cuts the rest in two.
    canvas->setClip({0, 0, 20, 20});
    canvas->drawText("Vireo Vireo", {-10, -30, 15, 40}, *font, 0xFF000000u, 0, true);
    const GP::Rect ink = inkOf(canvas->getBuffer());
    EXPECT_FALSE(ink.isEmpty());
    EXPECT_LE(ink.bottom, 20);
}

// The walk over the dirty region that painters use.
struct tDirtyWalk {
    const char* name;
    std::vector<GP::Rect> dirty;
    GP::Point origin;
    GP::Rect bounds;
    GP::Rect rect;
    std::vector<GP::Rect> expected;
};

class ForEachDirtyRect : public ::testing::TestWithParam<tDirtyWalk> {};

TEST_P(ForEachDirtyRect, HandsOutTheDirtyPartsInWidgetCoordinates)
{
    const tDirtyWalk& c = GetParam();
    auto canvas = makeCanvas(200, 200, 1.0f);
    canvas->moveOrigin(c.origin);
    GP::Region dirty;
    for (const GP::Rect& r : c.dirty)
        dirty.unionRect(r);
    const PaintContext context(*canvas, dirty, c.bounds, 1.0f, 1);
    std::vector<GP::Rect> got;
    context.forEachDirtyRect(c.rect, [&](const GP::Rect& r) { got.push_back(r); });
    EXPECT_EQ(got, c.expected) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ForEachDirtyRect,
    ::testing::Values(
        tDirtyWalk{"one rectangle", {{0, 0, 100, 100}}, {10, 20}, {10, 20, 40, 60}, {0, 0, 50, 50}, {{0, 0, 30, 40}}},
        tDirtyWalk{"outside the bounds", {{0, 0, 100, 100}}, {10, 20}, {10, 20, 40, 60}, {50, 50, 60, 60}, {}},
        tDirtyWalk{"not met", {{150, 150, 160, 160}}, {10, 20}, {10, 20, 40, 60}, {0, 0, 50, 50}, {}},
        tDirtyWalk{"empty region", {}, {0, 0}, {0, 0, 100, 100}, {0, 0, 50, 50}, {}},
        tDirtyWalk{"two inside",
                   {{12, 22, 14, 24}, {30, 40, 32, 44}},
                   {10, 20},
                   {0, 0, 100, 100},
                   {0, 0, 50, 50},
                   {{2, 2, 4, 4}, {20, 20, 22, 24}}},
        tDirtyWalk{"two, one cut",
                   {{0, 0, 20, 20}, {60, 60, 70, 70}},
                   {0, 0},
                   {0, 0, 100, 100},
                   {10, 10, 65, 65},
                   {{10, 10, 20, 20}, {60, 60, 65, 65}}}));

}  // namespace
}  // namespace HA::HWL
