#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "uia/graphics/combine/PictureCombiner.h"
#include "uia/tests/PictureTestSupport.h"

namespace HA::UIA {
namespace {

using namespace PictureCombinerFunctors;
using TEST::coded;
using TEST::codedMap;
using TEST::grey;
using TEST::kSentinel;
using TEST::makeCodedPicture;
using TEST::makePicture;
using TEST::pixel;
using Map = std::vector<std::string>;

template <class Functor>
uint32_t combineOne(const Picture& destination, const Picture& source, uint32_t d, uint32_t s,
                    const void* data = nullptr)
{
    const Functor functor(destination, source, data);
    functor(&d, &s, 1);
    return d;
}

struct RuleCase {
    uint32_t source;
    uint32_t destination;
    uint32_t expected;
};

TEST(PictureCombinerRuleTest, BlendUsingAlphaTable)
{
    Picture dest, src;
    const RuleCase cases[] = {
        {0xFF336699, 0xFF000000, 0xFF336699},  // opaque onto opaque: the source colour
        {0xFF336699, 0x00102030, 0x00102030},  // a transparent destination stays
        {0x00336699, 0xFF102030, 0xFF102030},  // a transparent source changes nothing
        {0x80FF0000, 0xFF0000FF, 0xFF80007F},  // w = 128: red 128 (red form), blue 127
        {0xFFFFFFFF, 0x40000000, 0x40404040},  // w = 64: the destination keeps alpha 0x40
    };
    for (const RuleCase& c : cases)
        EXPECT_EQ(combineOne<BlendUsingAlpha>(dest, src, c.destination, c.source), c.expected)
            << std::hex << c.source << " onto " << c.destination;
}

TEST(PictureCombinerRuleTest, DyeUsingAlphaMaskTable)
{
    Picture dest, src;
    struct Case {
        uint32_t dye;
        uint32_t mask;
        uint32_t destination;
        uint32_t expected;
    };
    const Case cases[] = {
        {0xFF336699, 0xFF000000, 0x7F000000, 0x7F336699},  // exact dye bytes, alpha kept
        {0xFF336699, 0x00FFFFFF, 0xFF102030, 0xFF102030},  // mask 0: nothing; colour bytes unread
        {0x00336699, 0xFF000000, 0xFF102030, 0xFF102030},  // dye alpha 0: nothing
        {0x80FFFFFF, 0xFF123456, 0xFF000000, 0xFF808080},  // w = 128: red and blue forms agree
    };
    for (const Case& c : cases)
        EXPECT_EQ(combineOne<DyeUsingAlphaMask>(dest, src, c.destination, c.mask, &c.dye), c.expected)
            << std::hex << c.dye << " mask " << c.mask;
}

TEST(PictureCombinerRuleTest, CopySourceTable)
{
    struct Case {
        bool sourceAlpha;
        bool opaqueDestination;
        bool opaqueSource;
        uint32_t source;
        uint32_t destination;
        uint32_t expected;
    };
    const Case cases[] = {
        // Without the alpha flag the pixel is copied, alpha included.
        {false, false, false, 0x10FF8040, 0xFF000000, 0x10FF8040},
        {false, true, false, 0x00FF8040, 0xFF000000, 0x00FF8040},
        // Straight "over".
        {true, false, false, 0x80FF8040, 0x00000000, 0x80FF8040},
        {true, false, false, 0x80FFFFFF, 0xFF000000, 0xFF808080},
        {true, false, false, 0x00FFFFFF, 0x00123456, 0x00000000},
        {true, false, false, 0x00FFFFFF, 0x80123456, 0x80123456},
        {true, false, false, 0xFF123456, 0x80FFFFFF, 0xFF123456},
        // Either picture flagged opaque: a plain mix that takes the source's alpha.
        {true, true, false, 0x80FF8040, 0xFF102030, 0x80874F37},
        {true, false, true, 0x80FF8040, 0xFF102030, 0x80874F37},
        {true, true, false, 0x00FF8040, 0xFF102030, 0xFF102030},
        {true, true, false, 0xFF123456, 0x00FFFFFF, 0xFF123456},
    };
    for (const Case& c : cases) {
        Picture dest, src;
        src.setHasAlpha(c.sourceAlpha);
        dest.setOpaqueDestination(c.opaqueDestination);
        src.setOpaqueDestination(c.opaqueSource);
        EXPECT_EQ(combineOne<CopySource>(dest, src, c.destination, c.source), c.expected)
            << std::hex << c.source << " onto " << c.destination;
    }
}

// Every source and destination channel value at a few alpha pairs: the destination keeps its
// alpha, the result lies between the two values and within one of the exact mix, and the
// weights 0 and 255 give exactly the destination and the source.
template <class Rule>
void sweepMixRule(Rule combineAt, uint32_t weightOf(uint32_t, uint32_t))
{
    const uint32_t alphas[][2] = {{0, 255}, {255, 255}, {255, 0}, {128, 255}, {200, 100}, {1, 1}, {254, 255}};
    for (const auto& pair : alphas) {
        const uint32_t w = weightOf(pair[0], pair[1]);
        for (uint32_t s = 0; s < 256; ++s) {
            for (uint32_t d = 0; d < 256; ++d) {
                const uint32_t result = combineAt(pair[0], s, pair[1], d);
                ASSERT_EQ(result >> 24, pair[1]);
                for (int shift : {0, 8, 16}) {
                    const uint32_t c = (result >> shift) & 0xFF;
                    const double exact = (double(s) * w + double(d) * (255 - w)) / 255.0;
                    ASSERT_GE(c, std::min(s, d)) << s << " " << d << " w " << w;
                    ASSERT_LE(c, std::max(s, d)) << s << " " << d << " w " << w;
                    ASSERT_LE(std::abs(c - exact), 1.0) << s << " " << d << " w " << w;
                    if (w == 255) {
                        ASSERT_EQ(c, s);
                    }
                    if (w == 0) {
                        ASSERT_EQ(c, d);
                    }
                }
            }
        }
    }
}

uint32_t weight(uint32_t a, uint32_t b)
{
    const uint32_t p = a * b;
    return (p + (p >> 8) + 1) >> 8;
}

TEST(PictureCombinerRuleTest, BlendUsingAlphaSweep)
{
    Picture dest, src;
    sweepMixRule(
        [&](uint32_t sA, uint32_t s, uint32_t dA, uint32_t d) {
            return combineOne<BlendUsingAlpha>(dest, src, grey(dA, d), grey(sA, s));
        },
        weight);
}

TEST(PictureCombinerRuleTest, DyeUsingAlphaMaskSweep)
{
    Picture dest, src;
    // Here the first alpha is the mask's, the dye colour carries alpha 255 and the value s.
    sweepMixRule(
        [&](uint32_t m, uint32_t s, uint32_t dA, uint32_t d) {
            const uint32_t dye = grey(255, s);
            return combineOne<DyeUsingAlphaMask>(dest, src, grey(dA, d), m << 24 | 0xABCDEF, &dye);
        },
        [](uint32_t m, uint32_t) { return weight(m, 255); });
}

TEST(PictureCombinerRuleTest, CopySourceOverSweep)
{
    Picture dest, src;
    src.setHasAlpha(true);
    const uint32_t alphas[][2] = {{0, 255}, {255, 255}, {255, 0}, {128, 255}, {200, 100}, {1, 1}, {0, 0}, {90, 0}};
    for (const auto& pair : alphas) {
        const uint32_t sA = pair[0], dA = pair[1];
        const uint32_t outA = sA + ((255 - sA) * dA + 127) / 255;
        for (uint32_t s = 0; s < 256; ++s) {
            for (uint32_t d = 0; d < 256; ++d) {
                const uint32_t result = combineOne<CopySource>(dest, src, grey(dA, d), grey(sA, s));
                if (outA == 0) {
                    ASSERT_EQ(result, 0u);
                    continue;
                }
                ASSERT_EQ(result >> 24, outA);
                const uint32_t c = result & 0xFF;
                ASSERT_EQ(c, (result >> 8) & 0xFF);
                if (sA == 255 || dA == 0)
                    ASSERT_EQ(c, s) << sA << "/" << dA;
                else if (sA == 0)
                    ASSERT_EQ(c, d);
                else {
                    ASSERT_GE(c + 1, std::min(s, d));
                    ASSERT_LE(c, std::max(s, d) + 1);
                }
            }
        }
    }
}

// A coded source drawn with CopySource (no alpha flag: plain copies) into a sentinel picture.
class PictureBlitTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        makePicture(dest, 8, 6, kSentinel);
        makeCodedPicture(source, 4, 3);
    }
    PictureCombiner<CopySource> combiner() { return PictureCombiner<CopySource>(dest); }

    Picture dest;
    Picture source;
};

TEST_F(PictureBlitTest, WholePicture)
{
    combiner().blit(2, 1, source, 0);
    EXPECT_EQ(codedMap(dest), (Map{
                                  ".. .. .. .. .. .. .. ..",
                                  ".. .. 00 10 20 30 .. ..",
                                  ".. .. 01 11 21 31 .. ..",
                                  ".. .. 02 12 22 32 .. ..",
                                  ".. .. .. .. .. .. .. ..",
                                  ".. .. .. .. .. .. .. ..",
                              }));
}

TEST_F(PictureBlitTest, SourceRectangleAndOrigins)
{
    dest.setOrigin(1, 1);
    combiner().blit(0, 0, source, 0, GP::Rect{1, 1, 3, 3});
    // The source's own origin shifts what its coordinates address.
    source.setOrigin(2, 0);
    combiner().blit(4, 3, source, 0, GP::Rect{0, 0, 2, 1});
    EXPECT_EQ(codedMap(dest), (Map{
                                  ".. .. .. .. .. .. .. ..",
                                  ".. 11 21 .. .. .. .. ..",
                                  ".. 12 22 .. .. .. .. ..",
                                  ".. .. .. .. .. .. .. ..",
                                  ".. .. .. .. .. 20 30 ..",
                                  ".. .. .. .. .. .. .. ..",
                              }));
}

TEST_F(PictureBlitTest, ReadsAndWritesStayInsideBothPictures)
{
    // A source rectangle larger than the source, partly off the destination, clip inactive.
    combiner().blit(-1, 2, source, 0, GP::Rect{-2, -1, 10, 10});
    // Far away in every direction: nothing, and nothing outside either picture.
    combiner().blit(100000, 5, source, 0);
    combiner().blit(-2000000000, -2000000000, source, 0);
    combiner().combineRect(INT32_MAX - 1, 0, INT32_MAX, 3, source, 0, 0);
    combiner().combineRect(0, 0, 8, 6, source, INT32_MIN, INT32_MIN);
    EXPECT_EQ(codedMap(dest), (Map{
                                  ".. .. .. .. .. .. .. ..",
                                  ".. .. .. .. .. .. .. ..",
                                  ".. .. .. .. .. .. .. ..",
                                  ".. 00 10 20 30 .. .. ..",
                                  ".. 01 11 21 31 .. .. ..",
                                  ".. 02 12 22 32 .. .. ..",
                              }));
}

TEST_F(PictureBlitTest, ActiveClipKeepsTheSentinel)
{
    dest.setClipRect(GP::Rect{3, 1, 5, 3});
    combiner().blit(2, 1, source, 0);
    EXPECT_EQ(codedMap(dest), (Map{
                                  ".. .. .. .. .. .. .. ..",
                                  ".. .. .. 10 20 .. .. ..",
                                  ".. .. .. 11 21 .. .. ..",
                                  ".. .. .. .. .. .. .. ..",
                                  ".. .. .. .. .. .. .. ..",
                                  ".. .. .. .. .. .. .. ..",
                              }));
}

TEST_F(PictureBlitTest, FramesOfStrips)
{
    // A vertical strip of three 4 x 2 frames (two rows left over are never drawn).
    Picture strip;
    makeCodedPicture(strip, 4, 8);
    strip.setFrameCount(3);
    combiner().blit(0, 0, strip, 5);  // frame 5 is limited to frame 2
    combiner().blit(4, 0, strip, 1, GP::Rect{1, 0, 3, 1});
    // Side by side: three 1 x 8 frames.
    strip.setFramesSideBySide(true);
    combiner().blit(7, 3, strip, 2, GP::Rect{0, 1, 1, 4});
    EXPECT_EQ(codedMap(dest), (Map{
                                  "04 14 24 34 12 22 .. ..",
                                  "05 15 25 35 .. .. .. ..",
                                  ".. .. .. .. .. .. .. ..",
                                  ".. .. .. .. .. .. .. 21",
                                  ".. .. .. .. .. .. .. 22",
                                  ".. .. .. .. .. .. .. 23",
                              }));
}

TEST_F(PictureBlitTest, TiledFillKeepsPhase)
{
    // Tile: the 3 x 2 block at (1, 1) of the source.
    combiner().drawTiled(0, 0, 7, 5, source, 1, 1, 3, 2);
    EXPECT_EQ(codedMap(dest), (Map{
                                  "11 21 31 11 21 31 11 ..",
                                  "12 22 32 12 22 32 12 ..",
                                  "11 21 31 11 21 31 11 ..",
                                  "12 22 32 12 22 32 12 ..",
                                  "11 21 31 11 21 31 11 ..",
                                  ".. .. .. .. .. .. .. ..",
                              }));
}

TEST_F(PictureBlitTest, ClippedTiledFillStartsInsideTheTile)
{
    // Clipped on the left by 5 columns, a tile 4 wide starts one column into the tile.
    Picture wide;
    makePicture(wide, 12, 2, kSentinel);
    wide.setClipRect(GP::Rect{5, 1, 12, 2});
    PictureCombiner<CopySource>(wide).drawTiled(0, 0, 12, 2, source, 0, 0, 4, 2);
    EXPECT_EQ(codedMap(wide), (Map{
                                  ".. .. .. .. .. .. .. .. .. .. .. ..",
                                  ".. .. .. .. .. 11 21 31 01 11 21 31",
                              }));
}

TEST_F(PictureBlitTest, DegenerateTilesDrawNothing)
{
    combiner().drawTiled(0, 0, 8, 6, source, 0, 0, 0, 2);
    combiner().drawTiled(0, 0, 8, 6, source, 0, 0, 2, 0);
    combiner().drawTiled(0, 0, 8, 6, source, 0, 0, -1, -1);
    combiner().drawTiled(0, 0, -8, 6, source, 0, 0, 2, 2);
    EXPECT_EQ(TEST::touchedMap(dest)[0], "........");
    // A tile partly outside the source repeats with its full period; what lies outside the
    // source is not read, so those pixels stay.
    combiner().drawTiled(0, 0, 6, 2, source, 2, 2, 3, 2);
    EXPECT_EQ(codedMap(dest), (Map{
                                  "22 32 .. 22 32 .. .. ..",
                                  ".. .. .. .. .. .. .. ..",
                                  ".. .. .. .. .. .. .. ..",
                                  ".. .. .. .. .. .. .. ..",
                                  ".. .. .. .. .. .. .. ..",
                                  ".. .. .. .. .. .. .. ..",
                              }));
}

// A 5 x 5 coded source with margins of 1 on every side.
class NinePatchTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        makePicture(dest, 8, 7, kSentinel);
        makeCodedPicture(source, 5, 5);
        source.setVerticalMarginsEnabled(true);
        source.setHorizontalMarginsEnabled(true);
        source.setTopMargin(1);
        source.setBottomMargin(1);
        source.setLeftMargin(1);
        source.setRightMargin(1);
    }

    Picture dest;
    Picture source;
};

const Map kFullNinePatch = {
    "00 10 20 30 10 20 30 40",
    "01 11 21 31 11 21 31 41",
    "02 12 22 32 12 22 32 42",
    "03 13 23 33 13 23 33 43",
    "01 11 21 31 11 21 31 41",
    "02 12 22 32 12 22 32 42",
    "04 14 24 34 14 24 34 44",
};

TEST_F(NinePatchTest, StretchesByTheMargins)
{
    PictureCombiner<CopySource>(dest).drawNinePatch(GP::Rect{0, 0, 8, 7}, source, 0);
    EXPECT_EQ(codedMap(dest), kFullNinePatch);
    EXPECT_FALSE(dest.isClipActive());
}

TEST_F(NinePatchTest, ClipAndDestinationClipAreRestored)
{
    dest.setClipRect(GP::Rect{0, 0, 8, 6});
    PictureCombiner<CopySource>(dest).drawNinePatch(GP::Rect{0, 0, 8, 7}, source, 0, GP::Rect{2, 1, 9, 9});
    EXPECT_EQ(codedMap(dest), (Map{
                                  ".. .. .. .. .. .. .. ..",
                                  ".. .. 21 31 11 21 31 41",
                                  ".. .. 22 32 12 22 32 42",
                                  ".. .. 23 33 13 23 33 43",
                                  ".. .. 21 31 11 21 31 41",
                                  ".. .. 22 32 12 22 32 42",
                                  ".. .. .. .. .. .. .. ..",
                              }));
    EXPECT_TRUE(dest.isClipActive());
    EXPECT_EQ(dest.getClipRect().bottom, 6);
}

TEST_F(NinePatchTest, HiddenTilesAreSkipped)
{
    // Masks computed while the centre was transparent; the centre is painted afterwards, so
    // only the mask can keep it from being drawn.
    source.setHasAlpha(true);
    for (int y = 1; y < 4; ++y)
        for (int x = 1; x < 4; ++x)
            source.getPixels()[y * 5 + x] = 0;
    source.computeHiddenTiles();
    ASSERT_EQ(source.getHiddenTiles().size(), 1u);
    EXPECT_EQ(source.getHiddenTiles()[0], 0x10u);
    for (int y = 1; y < 4; ++y)
        for (int x = 1; x < 4; ++x)
            source.getPixels()[y * 5 + x] = coded(x, y);
    PictureCombiner<CopySource>(dest).drawNinePatch(GP::Rect{0, 0, 8, 7}, source, 0);
    const Map map = codedMap(dest);
    EXPECT_EQ(map[0], kFullNinePatch[0]);
    EXPECT_EQ(map[3], "03 .. .. .. .. .. .. 43");
    EXPECT_EQ(map[6], kFullNinePatch[6]);
}

TEST_F(NinePatchTest, FrameOfAStripAndExactSize)
{
    // Two 5 x 5 frames side by side; frame 1 (columns 5..9) into an 8 x 7 rectangle.
    Picture strip;
    makeCodedPicture(strip, 10, 5);
    strip.setFramesSideBySide(true);
    strip.setFrameCount(2);
    strip.setVerticalMarginsEnabled(true);
    strip.setHorizontalMarginsEnabled(true);
    strip.setTopMargin(1);
    strip.setBottomMargin(1);
    strip.setLeftMargin(1);
    strip.setRightMargin(1);
    PictureCombiner<CopySource>(dest).drawNinePatch(GP::Rect{0, 0, 8, 7}, strip, 9);
    EXPECT_EQ(codedMap(dest)[0], "50 60 70 80 60 70 80 90");
    EXPECT_EQ(codedMap(dest)[6], "54 64 74 84 64 74 84 94");

    // A rectangle of exactly the source's size draws the frame once.
    makePicture(dest, 8, 7, kSentinel);
    PictureCombiner<CopySource>(dest).drawNinePatch(GP::Rect{1, 1, 6, 6}, source, 0);
    EXPECT_EQ(codedMap(dest)[1], ".. 00 10 20 30 40 .. ..");
    EXPECT_EQ(codedMap(dest)[5], ".. 04 14 24 34 44 .. ..");
    EXPECT_EQ(codedMap(dest)[6], ".. .. .. .. .. .. .. ..");
}

TEST_F(NinePatchTest, WithoutMarginsItIsABlit)
{
    source.setVerticalMarginsEnabled(false);  // margins without enable bits
    source.setHorizontalMarginsEnabled(false);
    PictureCombiner<CopySource>(dest).drawNinePatch(GP::Rect{1, 1, 3, 3}, source, 0, GP::Rect{0, 0, 3, 2});
    EXPECT_EQ(codedMap(dest)[0], ".. .. .. .. .. .. .. ..");
    EXPECT_EQ(codedMap(dest)[1], ".. 00 10 .. .. .. .. ..");
    EXPECT_EQ(codedMap(dest)[2], ".. .. .. .. .. .. .. ..");
    EXPECT_FALSE(dest.isClipActive());
}

TEST_F(NinePatchTest, SmallRectanglesAndBadMargins)
{
    // Smaller than the margins: the corners overlap inside the rectangle's own clip, the
    // bottom-right one drawn last.
    PictureCombiner<CopySource>(dest).drawNinePatch(GP::Rect{0, 0, 1, 1}, source, 0);
    EXPECT_EQ(codedMap(dest)[0], "44 .. .. .. .. .. .. ..");
    EXPECT_EQ(codedMap(dest)[1], ".. .. .. .. .. .. .. ..");

    // Negative margins count as 0; margins that leave no centre draw nothing.
    makePicture(dest, 8, 7, kSentinel);
    source.setLeftMargin(-3);
    source.setTopMargin(-3);
    PictureCombiner<CopySource>(dest).drawNinePatch(GP::Rect{0, 0, 6, 6}, source, 0);
    EXPECT_EQ(codedMap(dest)[0], "00 10 20 30 00 40 .. ..");
    EXPECT_EQ(codedMap(dest)[4], "00 10 20 30 00 40 .. ..");
    EXPECT_EQ(codedMap(dest)[5], "04 14 24 34 04 44 .. ..");
    source.setLeftMargin(3);
    source.setRightMargin(2);
    makePicture(dest, 8, 7, kSentinel);
    PictureCombiner<CopySource>(dest).drawNinePatch(GP::Rect{0, 0, 8, 7}, source, 0);
    EXPECT_EQ(codedMap(dest)[0], ".. .. .. .. .. .. .. ..");
}

}  // namespace
}  // namespace HA::UIA
