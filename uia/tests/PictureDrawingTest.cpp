#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "uia/graphics/picture/Picture.h"
#include "uia/tests/PictureTestSupport.h"

namespace HA::UIA {
namespace {

using TEST::grey;
using TEST::kSentinel;
using TEST::makePicture;
using TEST::pixel;
using TEST::touchedMap;
using Map = std::vector<std::string>;

uint32_t writeOne(uint32_t destination, uint32_t colour, bool opaque)
{
    Picture p;
    makePicture(p, 1, 1, destination);
    p.setOpaqueDestination(opaque);
    p.blendPixel(0, 0, colour);
    return pixel(p, 0, 0);
}

TEST(PixelWriteRuleTest, Table)
{
    struct Case {
        bool opaque;
        uint32_t colour;
        uint32_t destination;
        uint32_t expected;
    };
    const Case cases[] = {
        {false, 0xFF123456, 0x80FFFFFF, 0xFF123456},  // opaque colours are stored
        {true, 0xFF123456, 0x80FFFFFF, 0xFF123456},
        {true, 0x80FFFFFF, 0xFF000000, 0x007F7F7F},   // (255 x 128) >> 8, alpha byte 0
        {true, 0x00FFFFFF, 0xFF102030, 0xFF102030},   // alpha 0 onto opaque: nothing
        {false, 0x80FFFFFF, 0x00000000, 0x80FFFFFF},  // over a transparent pixel
        {false, 0x80FFFFFF, 0xFF000000, 0xFF808080},  // (255 x 128 + 127 + 0) / 255
        {false, 0x00FFFFFF, 0x00123456, 0x00000000},  // alpha 0 clears a transparent pixel
        {false, 0x00FFFFFF, 0xFF123456, 0xFF123456},  // and leaves the others
        {false, 0x40FF0000, 0x800000FF, 0xA0660099},  // outA 64 + 96
    };
    for (const Case& c : cases)
        EXPECT_EQ(writeOne(c.destination, c.colour, c.opaque), c.expected)
            << std::hex << c.colour << " onto " << c.destination << (c.opaque ? " (opaque)" : "");
}

TEST(PixelWriteRuleTest, SweepOntoOpaqueDestination)
{
    Picture p;
    makePicture(p, 256, 1, 0);
    p.setOpaqueDestination(true);
    for (uint32_t a : {1u, 64u, 128u, 254u}) {
        for (uint32_t c = 0; c < 256; ++c) {
            for (uint32_t d = 0; d < 256; ++d)
                p.getPixels()[d] = grey(255, d);
            p.fillRect(0, 0, 256, 1, grey(a, c));
            for (uint32_t d = 0; d < 256; ++d) {
                const uint32_t result = p.getPixels()[d];
                ASSERT_EQ(result >> 24, 0u);
                ASSERT_EQ(result & 0xFF, (c * a + d * (256 - a)) >> 8);
                ASSERT_GE(result & 0xFF, std::min(c, d) == 0 ? 0 : std::min(c, d) - 1);
                ASSERT_LE(result & 0xFF, std::max(c, d));
            }
        }
    }
}

TEST(PixelWriteRuleTest, SweepOver)
{
    Picture p;
    makePicture(p, 256, 1, 0);
    for (uint32_t a : {1u, 64u, 128u, 254u}) {
        for (uint32_t dA : {0u, 1u, 100u, 255u}) {
            const uint32_t outA = a + ((255 - a) * dA + 127) / 255;
            for (uint32_t c = 0; c < 256; ++c) {
                for (uint32_t d = 0; d < 256; ++d)
                    p.getPixels()[d] = grey(dA, d);
                p.drawHorizontalLine(0, 0, 256, grey(a, c));
                for (uint32_t d = 0; d < 256; ++d) {
                    const uint32_t result = p.getPixels()[d];
                    ASSERT_EQ(result >> 24, outA);
                    const uint32_t v = result & 0xFF;
                    ASSERT_EQ(v, (result >> 16) & 0xFF);
                    if (dA == 0) {
                        ASSERT_EQ(v, c);
                    } else {
                        ASSERT_GE(v + 1, std::min(c, d));
                        ASSERT_LE(v, std::max(c, d) + 1);
                    }
                }
            }
        }
    }
}

TEST(PixelWriteTest, ClippedPixelUsesRealBoundsWhileClipIsInactive)
{
    Picture p;
    makePicture(p, 4, 3, kSentinel);
    p.setOrigin(2, 1);
    p.blendPixelClipped(-2, -1, 0xFF000001);  // pixel (0, 0)
    p.blendPixelClipped(1, 1, 0xFF000002);    // pixel (3, 2)
    p.blendPixelClipped(2, 0, 0xFF000003);    // would be (4, 1): outside
    p.blendPixelClipped(-3, 0, 0xFF000004);   // would be (-1, 1): outside
    p.blendPixel(2, -1, 0xFF000005);          // plain writes stay inside as well
    EXPECT_EQ(touchedMap(p), (Map{"#...", "....", "...#"}));
    p.setClipRect(GP::Rect{0, 0, 1, 1});
    p.blendPixelClipped(1, 1, 0xFF000006);
    p.blendPixelClipped(0, 0, 0xFF000007);
    EXPECT_EQ(pixel(p, 3, 2), 0xFF000002u);
    EXPECT_EQ(pixel(p, 2, 1), 0xFF000007u);
}

// The walk as described, point by point from the given start to the given end, keeping the
// points inside the bounds, for comparison.
std::set<std::pair<int64_t, int64_t>> referenceLine(int64_t x0, int64_t y0, int64_t x1, int64_t y1, const GP::Rect& b)
{
    std::set<std::pair<int64_t, int64_t>> points;
    const int64_t d2[2] = {2 * std::abs(x1 - x0), 2 * std::abs(y1 - y0)};
    int major;
    if (d2[1] < d2[0])
        major = 0;
    else if (d2[1] > 0)
        major = 1;
    else
        return points;
    const int minor = 1 - major;
    const int64_t e[2] = {x1, y1};
    const int64_t step[2] = {x1 > x0 ? 1 : -1, y1 > y0 ? 1 : -1};
    int64_t p[2] = {x0, y0};
    int64_t error = d2[minor] - d2[major] / 2;
    while (p[major] != e[major]) {
        if (p[0] >= b.left && p[0] < b.right && p[1] >= b.top && p[1] < b.bottom)
            points.insert({p[0], p[1]});
        p[major] += step[major];
        if (error >= 0) {
            p[minor] += step[minor];
            error -= d2[major];
        }
        error += d2[minor];
    }
    return points;
}

std::set<std::pair<int64_t, int64_t>> drawnPoints(Picture& p)
{
    std::set<std::pair<int64_t, int64_t>> points;
    for (int y = 0; y < p.getHeight(); ++y)
        for (int x = 0; x < p.getWidth(); ++x)
            if (pixel(p, x, y) != kSentinel)
                points.insert({x - p.getOriginX(), y - p.getOriginY()});
    return points;
}

TEST(LineTest, EndPointIsExcluded)
{
    Picture p;
    makePicture(p, 7, 4, kSentinel);
    p.drawLine(0, 0, 5, 0, 0xFF000000);
    p.drawLine(3, 3, 3, 3, 0xFF000000);
    p.drawLine(6, 3, 6, 0, 0xFF000000);
    p.drawLine(0, 1, 2, 3, 0xFF000000);
    EXPECT_EQ(touchedMap(p), (Map{"#####..", "#.....#", ".#....#", "......#"}));
}

TEST(LineTest, ClippedLinesMatchSmallPictures)
{
    struct Case {
        int x0, y0, x1, y1;
        Map expected;
    };
    // On a 6 x 4 picture with the clip {1, 1, 5, 4}.
    const Case cases[] = {
        {-3, 2, 10, 2, {"......", "......", ".####.", "......"}},  // through the clip
        {1, 1, 5, 1, {"......", ".####.", "......", "......"}},     // an end just past the clip
        {1, 1, 20, 1, {"......", ".####.", "......", "......"}},
        {2, -5, 2, 10, {"......", "..#...", "..#...", "..#..."}},
        {-2, -2, 8, 8, {"......", ".#....", "..#...", "...#.."}},
        {4, 3, 0, 3, {"......", "......", "......", ".####."}},     // leftwards
        {0, 0, 6, 0, {"......", "......", "......", "......"}},     // a row outside the clip
        {5, 1, 9, 3, {"......", "......", "......", "......"}},     // start on the clipped end
        {4, 1, 9, 3, {"......", "....#.", "......", "......"}},
    };
    for (const Case& c : cases) {
        Picture p;
        makePicture(p, 6, 4, kSentinel);
        p.setClipRect(GP::Rect{1, 1, 5, 4});
        p.drawLine(c.x0, c.y0, c.x1, c.y1, 0xFF000000);
        EXPECT_EQ(touchedMap(p), c.expected) << c.x0 << "," << c.y0 << " - " << c.x1 << "," << c.y1;
    }
}

TEST(LineTest, MatchesTheWalkForManyLines)
{
    uint32_t seed = 12345;
    auto next = [&](int range) {
        seed = seed * 1103515245u + 12345u;
        return int((seed >> 8) % uint32_t(range));
    };
    struct Setting {
        bool clip;
        int originX, originY;
        int span;  // end points lie within [-span, span + 12)
    };
    const Setting settings[] = {{false, 0, 0, 10}, {true, 0, 0, 10}, {true, 3, -2, 10},
                                {false, -4, 5, 10}, {true, 1, 1, 50000}};
    for (const Setting& s : settings) {
        for (int i = 0; i < (s.span > 100 ? 8 : 300); ++i) {
            Picture p;
            makePicture(p, 12, 9, kSentinel);
            p.setOrigin(s.originX, s.originY);
            if (s.clip)
                p.setClipRect(GP::Rect{2, 1, 9, 7});
            const int x0 = next(2 * s.span + 12) - s.span, y0 = next(2 * s.span + 12) - s.span;
            const int x1 = next(2 * s.span + 12) - s.span, y1 = next(2 * s.span + 12) - s.span;
            p.drawLine(x0, y0, x1, y1, 0xFF000000);
            ASSERT_EQ(drawnPoints(p), referenceLine(x0, y0, x1, y1, p.getDrawingBounds()))
                << x0 << "," << y0 << " - " << x1 << "," << y1 << " origin " << s.originX << ","
                << s.originY << (s.clip ? " clipped" : "");
        }
    }
}

TEST(LineTest, FarAwayEndPoints)
{
    Picture p;
    makePicture(p, 10, 8, kSentinel);
    p.drawLine(-2000000000, 3, 2000000000, 3, 0xFF000000);
    p.drawLine(INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX, 0xFF000000);
    p.drawLine(INT32_MAX, 0, INT32_MIN, 0, 0xFF000000);
    p.drawLine(INT32_MIN, 7, INT32_MAX, INT32_MIN, 0xFF000000);  // passes above the picture
    EXPECT_EQ(touchedMap(p), (Map{"##########", ".#........", "..#.......", "##########", "....#.....",
                                  ".....#....", "......#...", ".......#..",}));
}

// A line repainted one dirty rectangle at a time is the line drawn at once.
TEST(LineTest, LineDrawnThroughEachPartOfTheClipIsTheWholeLine)
{
    const struct {
        int x0, y0, x1, y1;
    } lines[] = {{0, 1, 20, 1}, {0, 0, 11, 8}, {11, 0, -3, 8}, {5, -4, 7, 12}, {-6, 7, 17, 2}, {3, 3, 9, 4}};
    // The picture in four rectangles that meet inside it.
    const GP::Rect parts[] = {{0, 0, 5, 4}, {5, 0, 12, 4}, {0, 4, 5, 9}, {5, 4, 12, 9}};
    for (const auto& l : lines) {
        Picture whole;
        makePicture(whole, 12, 9, kSentinel);
        whole.drawLine(l.x0, l.y0, l.x1, l.y1, 0xFF000000);
        Picture pieces;
        makePicture(pieces, 12, 9, kSentinel);
        for (const GP::Rect& part : parts) {
            pieces.setClipRect(part);
            pieces.drawLine(l.x0, l.y0, l.x1, l.y1, 0xFF000000);
        }
        EXPECT_EQ(touchedMap(pieces), touchedMap(whole)) << l.x0 << "," << l.y0 << " - " << l.x1 << "," << l.y1;
    }
}

TEST(AntialiasedLineTest, HorizontalLineWeights)
{
    Picture p;
    makePicture(p, 10, 4, 0xFF000000);
    p.drawAntialiasedLine(0.0f, 2.0f, 8.0f, 2.0f, 0xFFFFFFFF);
    // Half-covered ends, full middle, the pixel row below untouched (weight 0 over opaque).
    EXPECT_EQ(pixel(p, 0, 2), 0xFF7F7F7Fu);
    for (int x = 1; x < 8; ++x)
        EXPECT_EQ(pixel(p, x, 2), 0xFFFFFFFFu) << x;
    EXPECT_EQ(pixel(p, 8, 2), 0xFF7F7F7Fu);
    EXPECT_EQ(pixel(p, 9, 2), 0xFF000000u);
    for (int x = 0; x < 10; ++x) {
        EXPECT_EQ(pixel(p, x, 1), 0xFF000000u);
        EXPECT_EQ(pixel(p, x, 3), 0xFF000000u);
    }
}

TEST(AntialiasedLineTest, SplitsBetweenTwoRows)
{
    Picture p;
    makePicture(p, 10, 4, 0xFF000000);
    p.drawAntialiasedLine(0.0f, 1.5f, 8.0f, 1.5f, 0xFFFFFFFF);
    // Halfway between rows 1 and 2: each gets half the colour.
    for (int x = 1; x < 8; ++x) {
        EXPECT_EQ(pixel(p, x, 1), 0xFF7F7F7Fu) << x;
        EXPECT_EQ(pixel(p, x, 2), 0xFF7F7F7Fu) << x;
    }
    // Steep lines swap the roles.
    makePicture(p, 4, 10, 0xFF000000);
    p.drawAntialiasedLine(2.0f, 8.0f, 2.0f, 0.0f, 0xFFFFFFFF);
    for (int y = 1; y < 8; ++y)
        EXPECT_EQ(pixel(p, 2, y), 0xFFFFFFFFu) << y;
}

TEST(AntialiasedLineTest, StaysInsideAndRefusesBadInput)
{
    Picture p;
    makePicture(p, 8, 6, kSentinel);
    p.setClipRect(GP::Rect{2, 2, 6, 4});
    p.drawAntialiasedLine(-100.0f, -100.0f, 100.0f, 100.0f, 0xFFFFFFFF);
    p.drawAntialiasedLine(-1.0e7f, 3.0f, 1.0e7f, 3.2f, 0xFFFFFFFF);
    EXPECT_EQ(touchedMap(p), (Map{"........", "........", "..#.....", "..####..", "........", "........"}));

    makePicture(p, 8, 6, kSentinel);
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    p.drawAntialiasedLine(nan, 0.0f, 5.0f, 5.0f, 0xFFFFFFFF);
    p.drawAntialiasedLine(0.0f, 0.0f, inf, 5.0f, 0xFFFFFFFF);
    p.drawAntialiasedLine(-1.0e30f, 1.0f, 1.0e30f, 1.0f, 0xFFFFFFFF);
    p.drawAntialiasedLine(0.0f, 0.0f, 7.0f, 5.0f, 0x00FFFFFF);  // alpha 0 draws nothing
    p.drawAntialiasedLine(3.0f, 3.0f, 3.0f, 3.0f, 0xFFFFFFFF);  // no length
    EXPECT_EQ(touchedMap(p), Map(6, "........"));
}

TEST(SpanTest, SpansOutlinesAndFills)
{
    Picture p;
    makePicture(p, 8, 7, kSentinel);
    p.drawHorizontalLine(1, 0, 3, 0xFF000000);
    p.drawVerticalLine(7, 0, 3, 0xFF000000);
    p.drawHorizontalLine(5, 0, 0, 0xFF000000);
    p.drawFrameRect(0, 2, 3, 1, 0xFF000000);  // height 1: the top span only
    p.drawFrameRect(4, 2, 3, 2, 0xFF000000);  // height 2: two spans, no sides
    p.drawFrameRect(0, 4, 4, 3, 0xFF000000);
    p.fillRect(5, 5, 2, 2, 0xFF000000);
    EXPECT_EQ(touchedMap(p), (Map{".###...#", ".......#", "###.####", "....###.", "####....", "#..#.##.",
                                  "####.##."}));
}

TEST(SpanTest, ClippedOutlineDrawsOnlySurvivingSides)
{
    struct Case {
        int x, y, width, height;
        Map expected;
    };
    // Clip {2, 1, 7, 6} on an 8 x 7 picture.
    const Case cases[] = {
        {0, 0, 8, 7, {"........", "........", "........", "........", "........", "........", "........"}},
        {3, 0, 3, 4, {"........", "...#.#..", "...#.#..", "...###..", "........", "........", "........"}},
        {0, 2, 5, 3, {"........", "........", "..###...", "....#...", "..###...", "........", "........"}},
        {4, 5, 5, 4, {"........", "........", "........", "........", "........", "....###.", "........"}},
        {2, 1, 5, 5, {"........", "..#####.", "..#...#.", "..#...#.", "..#...#.", "..#####.", "........"}},
    };
    for (const Case& c : cases) {
        Picture p;
        makePicture(p, 8, 7, kSentinel);
        p.setClipRect(GP::Rect{2, 1, 7, 6});
        p.drawFrameRect(c.x, c.y, c.width, c.height, 0xFF000000);
        EXPECT_EQ(touchedMap(p), c.expected) << c.x << "," << c.y << " " << c.width << "x" << c.height;
    }
}

TEST(SpanTest, AlphaZeroAndTranslucentFills)
{
    Picture p;
    makePicture(p, 4, 2, 0x00123456);
    p.fillRect(0, 0, 4, 2, 0x00FFFFFF);
    p.drawFrameRect(0, 0, 4, 2, 0x00FFFFFF);
    p.drawHorizontalLine(0, 0, 4, 0x00FFFFFF);
    EXPECT_EQ(pixel(p, 0, 0), 0x00123456u);  // skipped, not cleared

    makePicture(p, 4, 2, 0xFF000000);
    p.fillRect(1, 0, 2, 2, 0x80FFFFFF);
    EXPECT_EQ(pixel(p, 0, 0), 0xFF000000u);
    EXPECT_EQ(pixel(p, 1, 1), 0xFF808080u);
    EXPECT_EQ(pixel(p, 3, 1), 0xFF000000u);
}

TEST(SpanTest, UnclippedRectanglesStayInsideThePicture)
{
    Picture p;
    makePicture(p, 6, 4, kSentinel);
    p.setOrigin(1, 1);
    p.fillRect(-5, -5, 7, 6, 0xFF000000);  // pixels x 0..2, y 0..1
    p.fillRect(100, 0, 10, 10, 0xFF000000);
    p.fillRect(INT32_MAX - 2, INT32_MAX - 2, INT32_MAX, INT32_MAX, 0xFF000000);
    p.drawHorizontalLine(-100, 2, 1000, 0xFF000000);  // row 3
    p.drawVerticalLine(4, -100, 1000, 0xFF000000);    // column 5
    p.invertRect(-1000, -1000, 5000, 1);
    EXPECT_EQ(touchedMap(p), (Map{"###..#", "###..#", ".....#", "######"}));
}

TEST(SpanTest, InvertTwiceRestores)
{
    Picture p;
    makePicture(p, 3, 3, 0x80123456);
    p.getPixels()[4] = 0x00FFFFFF;
    p.invertRect(0, 0, 3, 2);
    EXPECT_EQ(pixel(p, 0, 0), 0x80EDCBA9u);
    EXPECT_EQ(pixel(p, 1, 1), 0x00000000u);
    EXPECT_EQ(pixel(p, 0, 2), 0x80123456u);
    p.invertRect(0, 0, 3, 2);
    EXPECT_EQ(pixel(p, 0, 0), 0x80123456u);
    EXPECT_EQ(pixel(p, 1, 1), 0x00FFFFFFu);
}

}  // namespace
}  // namespace HA::UIA
