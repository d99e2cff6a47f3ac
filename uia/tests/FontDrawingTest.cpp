// Glyph blending and text placement: the baselines and alignments of drawText are checked
// through the inked bounds of what it draws, against the font's own glyph records.

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "uia/graphics/picture/Picture.h"
#include "uia/graphics/text/Font.h"
#include "uia/graphics/text/FreeTypeContext.h"
#include "uia/tests/FontTestSupport.h"
#include "uia/tests/PictureTestSupport.h"
#include "uia/tests/TinyFont.h"

namespace HA::UIA {
namespace {

using TEST::glyphInk;
using TEST::inkBounds;
using TEST::kSentinel;
using TEST::makePicture;
using TEST::pixel;

// A glyph of two columns and two rows behind a padding column that must never be drawn.
Font::tGlyph handBuiltGlyph()
{
    Font::tGlyph glyph;
    glyph.advance = 3 * 64;
    glyph.left = 1;
    glyph.top = 2;
    glyph.width = 2;
    glyph.rows = 2;
    glyph.pitch = 3;
    glyph.coverage = {255, 128, 255, 0, 1, 255};
    return glyph;
}

struct tBlendCase {
    const char* name;
    uint32_t destination;
    uint32_t colour;
    uint32_t expected[4];  // (3, 2), (4, 2), (3, 3), (4, 3)
};

class DrawGlyphTest : public ::testing::TestWithParam<tBlendCase> {};

TEST_P(DrawGlyphTest, BlendsCoverageIntoTheDestination)
{
    const tBlendCase& c = GetParam();
    const Font font{FontDesc{}};  // no cache: nothing but the record is used
    Picture picture;
    makePicture(picture, 8, 6, c.destination);
    font.drawGlyph(picture, 2, 4, handBuiltGlyph(), c.colour);

    const int xs[4] = {3, 4, 3, 4};
    const int ys[4] = {2, 2, 3, 3};
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 8; ++x) {
            uint32_t expected = c.destination;
            for (int k = 0; k < 4; ++k)
                if (xs[k] == x && ys[k] == y)
                    expected = c.expected[k];
            EXPECT_EQ(pixel(picture, x, y), expected) << c.name << " at " << x << "," << y;
        }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DrawGlyphTest,
    ::testing::Values(
        // u = coverage x 255 / 255; channels (c u + d (256 - u)) >> 8; alpha min(255, dA + u).
        tBlendCase{"opaque black on half-transparent white", 0x80FFFFFF, 0xFF000000,
                   {0xFF000000, 0xFF7F7F7F, 0x80FFFFFF, 0x81FEFEFE}},
        // u = 255 x 128 / 255 = 128, 128 x 128 / 255 = 64, 1 x 128 / 255 = 0 (untouched).
        tBlendCase{"half-transparent red on transparent black", 0x00000000, 0x80FF0000,
                   {0x807F0000, 0x403F0000, 0x00000000, 0x00000000}},
        tBlendCase{"transparent colour draws nothing", kSentinel, 0x00FFFFFF,
                   {kSentinel, kSentinel, kSentinel, kSentinel}}),
    [](const auto& info) { return "Case" + std::to_string(info.index); });

TEST(DrawGlyph, StaysInsideTheClipAndThePicture)
{
    const Font font{FontDesc{}};
    Font::tGlyph glyph;
    glyph.width = glyph.rows = glyph.pitch = 4;
    glyph.coverage.assign(16, 255);
    Picture picture;
    makePicture(picture, 6, 6, kSentinel);
    picture.setClipRect({2, 2, 4, 4});
    for (const auto& at : std::vector<std::pair<int, int>>{{1, 1}, {3, 7}, {-3, 1}, {4, 3}, {-100, -100}, {100, 100}})
        font.drawGlyph(picture, at.first, at.second, glyph, 0xFF000000);
    EXPECT_EQ(inkBounds(picture, kSentinel), (GP::Rect{2, 2, 4, 4}));

    picture.setSize(6, 6, Picture::eBlock::Discard);  // clip inactive: the picture bounds
    picture.fill(kSentinel);
    font.drawGlyph(picture, -2, -2, glyph, 0xFF000000);
    font.drawGlyph(picture, 4, 4, glyph, 0xFF000000);
    EXPECT_EQ(inkBounds(picture, kSentinel), (GP::Rect{0, 0, 6, 6}));
    EXPECT_EQ(pixel(picture, 3, 3), kSentinel);
}

TEST(DrawGlyph, TrustsNoRecordWithoutEnoughCoverage)
{
    const Font font{FontDesc{}};
    Font::tGlyph glyph = handBuiltGlyph();
    glyph.coverage.resize(3);
    Picture picture;
    makePicture(picture, 8, 6, kSentinel);
    font.drawGlyph(picture, 2, 4, glyph, 0xFF000000);
    EXPECT_EQ(inkBounds(picture, kSentinel), GP::Rect{});
}

class TextDrawingTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        font = TEST::fontFromBytes(TEST::sansBytes(), TEST::sansDesc(engine, 12));
        ASSERT_NE(font->getRenderCache(), nullptr);
        h = font->getLineHeight();
        a = font->getRenderCache()->getAscent();
        glyph = *font->getRenderCache()->getGlyph(U'H');
        ink = glyphInk(glyph);
        ASSERT_FALSE(ink.isEmpty());
        makePicture(picture, 80, 120, kWhite);
    }

    static constexpr uint32_t kWhite = 0xFFFFFFFF;
    FreeTypeContext engine;
    std::unique_ptr<Font> font;
    Picture picture;
    int h = 0;
    int a = 0;
    Font::tGlyph glyph;
    GP::Rect ink;
};

struct tPlacementCase {
    const char* name;
    unsigned flags;
    int lines;
    int lineSpacing;
};

class TextPlacementTest : public TextDrawingTest, public ::testing::WithParamInterface<tPlacementCase> {};

TEST_P(TextPlacementTest, PutsBaselinesAndPenWhereTheFlagsSay)
{
    const tPlacementCase& c = GetParam();
    const GP::Rect rect{10, 20, 70, 110};
    std::string text = "H";
    for (int i = 1; i < c.lines; ++i)
        text += "\nH";
    font->drawText(picture, rect, text.c_str(), 0xFF000000, c.flags, c.lineSpacing);

    const int n = c.lines - 1;
    const int total = c.lineSpacing * n + (n + 1) * h;
    const int step = c.lineSpacing + h;
    int first;
    if (c.flags & Font::AlignBottom)
        first = rect.bottom - (h - a) - n * step;  // the last baseline sits h - ascent above the bottom
    else if (c.flags & Font::AlignTop)
        first = rect.top + a;
    else
        first = a + rect.top + (rect.bottom - rect.top - total) / 2;
    const int last = first + n * step;

    const int advance = font->getGlyphAdvance(U'H');
    const int room = rect.right - rect.left;
    int pen;
    if (c.flags & Font::AlignLeft)
        pen = rect.left;
    else if (c.flags & Font::AlignRight)
        pen = rect.right - advance;
    else
        pen = rect.left + (room - advance + 1) / 2;

    const GP::Rect drawn = inkBounds(picture, kWhite);
    EXPECT_EQ(drawn.top, first - glyph.top + ink.top) << c.name;
    EXPECT_EQ(drawn.bottom, last - glyph.top + ink.bottom) << c.name;
    EXPECT_EQ(drawn.left, pen + glyph.left + ink.left) << c.name;
    EXPECT_EQ(drawn.right, pen + glyph.left + ink.right) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Flags, TextPlacementTest,
    ::testing::Values(tPlacementCase{"top left", Font::AlignTop | Font::AlignLeft, 1, 0},
                      tPlacementCase{"top right, three lines", Font::AlignTop | Font::AlignRight, 3, 2},
                      tPlacementCase{"bottom centre", Font::AlignBottom, 1, 0},
                      tPlacementCase{"bottom, three lines", Font::AlignBottom | Font::AlignLeft, 3, 4},
                      tPlacementCase{"centred", 0, 1, 0},
                      tPlacementCase{"right, two lines centred", Font::AlignRight, 2, 3},
                      // 90 - (3 x 5 + 4 x 20) = -5: the half rounds towards zero
                      tPlacementCase{"centred, overflowing by an odd count", Font::AlignLeft, 4, 5}),
    [](const auto& info) { return "Case" + std::to_string(info.index); });

TEST_F(TextDrawingTest, ClipsToTheRectangle)
{
    const GP::Rect rect{10, 20, 40, 50};  // narrower than a line, lower than three
    font->drawText(picture, rect, "WWWWWWWWWW\nWWWWWWWWWW\nWWWWWWWWWW", 0xFF000000, 0, 0);
    const GP::Rect drawn = inkBounds(picture, kWhite);
    EXPECT_FALSE(drawn.isEmpty());
    EXPECT_TRUE(rect.contains(drawn));
    EXPECT_FALSE(picture.isClipActive());
}

TEST_F(TextDrawingTest, DrawsNothingWithoutTextRoomOrCache)
{
    const GP::Rect rect{10, 20, 70, 110};
    font->drawText(picture, rect, "", 0xFF000000, 0, 0);
    font->drawText(picture, {10, 20, 10, 110}, "H", 0xFF000000, 0, 0);
    font->drawText(picture, {10, 20, 70, 20}, "H", 0xFF000000, 0, 0);
    const Font none{FontDesc{}};
    none.drawText(picture, rect, "H", 0xFF000000, 0, 0);
    EXPECT_EQ(inkBounds(picture, kWhite), GP::Rect{});
}

TEST_F(TextDrawingTest, UnderlinesUnderEachGlyph)
{
    const auto underlined = TEST::fontFromBytes(TEST::sansBytes(), TEST::sansDesc(engine, 12, FontDesc::Underline));
    auto* cache = underlined->getRenderCache();
    ASSERT_NE(cache, nullptr);
    ASSERT_GT(cache->getUnderlineThickness(), 0);
    const Font::tGlyph* space = cache->getGlyph(U' ');
    ASSERT_NE(space, nullptr);
    underlined->drawGlyph(picture, 20, 50, *space, 0xFF000000);
    const int top = 50 - cache->getUnderlinePosition();
    EXPECT_EQ(inkBounds(picture, kWhite),
              (GP::Rect{20, top, 20 + underlined->getGlyphAdvance(U' '), top + cache->getUnderlineThickness()}));
}

TEST_F(TextDrawingTest, InvalidUtf8Throws)
{
    try {
        font->drawText(picture, {10, 20, 70, 110}, "A\xC0\x80", 0xFF000000, 0, 0);
        FAIL() << "no exception";
    } catch (const std::out_of_range& e) {
        EXPECT_STREQ(e.what(), "Invalid UTF-8 sequence encountered while trying to encode UTF-32 character");
    }
}

// A broken file can claim a glyph tens of thousands of pixels wide, which would take seconds
// and hundreds of megabytes to render: it is treated like a glyph that fails to render.
TEST(FontGlyphSize, GlyphOfAbsurdSizeIsNotRendered)
{
    struct Case {
        const char* name;
        TEST::TinyFontShape shape;
        bool inked;
    };
    TEST::TinyFontShape giant;
    giant.unitsPerEm = 16;
    giant.left = 0;
    giant.right = 32000;
    giant.top = 32000;
    giant.advance = 16;
    TEST::TinyFontShape wide = giant;
    wide.top = 16;
    TEST::TinyFontShape large;  // four ems: large, but a glyph some fonts have
    large.unitsPerEm = 100;
    large.left = 0;
    large.right = 400;
    large.top = 400;
    large.advance = 100;
    const Case cases[] = {
        {"plain", TEST::TinyFontShape{}, true},
        {"four ems", large, true},
        {"giant", giant, false},
        {"giant width", wide, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FreeTypeContext engine;
        FontDesc description = TEST::sansDesc(engine, 12);
        description.name = "tiny.ttf";
        const auto font = TEST::fontFromBytes(TEST::tinyTrueTypeFont(c.shape), description);
        ASSERT_NE(font->getRenderCache(), nullptr);
        EXPECT_EQ(font->getTextWidth("AB") > 0, c.inked);
        Picture picture;
        makePicture(picture, 120, 60, kSentinel);
        font->drawText(picture, {0, 0, 120, 60}, "AB", 0xFF000000, Font::AlignLeft | Font::AlignTop, 0);
        EXPECT_EQ(inkBounds(picture, kSentinel).isEmpty(), !c.inked);
    }
}

}  // namespace
}  // namespace HA::UIA
