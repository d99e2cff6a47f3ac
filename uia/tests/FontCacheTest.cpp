// Font files, render caches and their sharing; fonts that cannot be made; coverage copies.

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "gp/src/common/storage/FileStream.h"
#include "gp/src/common/storage/ModuleResources.h"
#include "gp/tests/TestFiles.h"
#include "uia/graphics/text/FTRenderCache.h"
#include "uia/graphics/text/Font.h"
#include "uia/graphics/text/FreeTypeContext.h"
#include "uia/tests/FontTestSupport.h"
#include "uia/tests/PictureTestSupport.h"

namespace HA::UIA {
namespace {

using TEST::fontFromBytes;
using TEST::sansBytes;
using TEST::sansDesc;

const void* fontFileOf(const DETAIL::FTRenderCache* cache)
{
    return cache->getFace()->stream->base;
}

TEST(FontCache, EqualDescriptionsShareOneRenderCache)
{
    FreeTypeContext engine;
    const auto first = fontFromBytes(sansBytes(), sansDesc(engine, 12));
    const auto second = fontFromBytes(sansBytes(), sansDesc(engine, 12));
    const auto larger = fontFromBytes(sansBytes(), sansDesc(engine, 14));
    const auto hinted = fontFromBytes(sansBytes(), sansDesc(engine, 12, FontDesc::Hinting));
    ASSERT_NE(first->getRenderCache(), nullptr);
    EXPECT_EQ(second->getRenderCache(), first->getRenderCache());
    EXPECT_NE(larger->getRenderCache(), first->getRenderCache());
    EXPECT_NE(hinted->getRenderCache(), first->getRenderCache());
    EXPECT_EQ(larger->getRenderCache()->getPixelSize(), 14);
    EXPECT_TRUE(hinted->getRenderCache()->getHinting());
    EXPECT_NE(first->getRenderCache()->getHarfBuzzFont(), nullptr);
    // One font file per key: later bytes are dropped.
    EXPECT_EQ(fontFileOf(larger->getRenderCache()), fontFileOf(first->getRenderCache()));
    EXPECT_EQ(fontFileOf(hinted->getRenderCache()), fontFileOf(first->getRenderCache()));
}

TEST(FontCache, ScalesGetCachesOfTheirOwnPixelSize)
{
    FreeTypeContext engine;
    const auto font = fontFromBytes(sansBytes(), sansDesc(engine, 12));
    const auto large = fontFromBytes(sansBytes(), sansDesc(engine, 24));
    const auto* atOne = font->getRenderCache();
    font->setScale(2.0f);
    const auto* atTwo = font->getRenderCache();
    ASSERT_NE(atTwo, nullptr);
    EXPECT_EQ(atTwo->getPixelSize(), 24);
    EXPECT_EQ(atTwo, large->getRenderCache());
    font->setScale(2.0f);
    EXPECT_EQ(font->getRenderCache(), atTwo);
    font->setScale(1.5f);
    EXPECT_EQ(font->getRenderCache()->getPixelSize(), 18);
    font->setScale(1.0f);
    EXPECT_EQ(font->getRenderCache(), atOne);
    EXPECT_GT(atTwo->getLineHeight(), atOne->getLineHeight());
}

TEST(FontCache, RenderCacheEndsWithItsLastFontAndComesBack)
{
    FreeTypeContext engine;
    const FreeTypeContext::tFaceKey key = std::string("DejaVuSans.ttf");
    auto font = fontFromBytes(sansBytes(), sansDesc(engine, 12));
    std::weak_ptr<DETAIL::FTRenderCache> held = engine.getRenderCache(key, {}, {12, false});
    ASSERT_FALSE(held.expired());
    font.reset();
    EXPECT_TRUE(held.expired());
    // The file stays with the context: a cache is made again without bytes.
    const auto again = engine.getRenderCache(key, {}, {12, false});
    ASSERT_NE(again, nullptr);
    EXPECT_NE(again->getGlyph(U'A'), nullptr);
    // Keys of another kind or value know no file.
    EXPECT_EQ(engine.getRenderCache(FreeTypeContext::tFaceKey(1), {}, {12, false}), nullptr);
    EXPECT_EQ(engine.getRenderCache(std::string("other.ttf"), {}, {12, false}), nullptr);
    EXPECT_EQ(engine.getRenderCache(key, {}, {0, false}), nullptr);
    EXPECT_EQ(engine.getRenderCache(key, {}, {-12, false}), nullptr);
}

TEST(FontCache, FontsOutliveTheirContext)
{
    auto engine = std::make_unique<FreeTypeContext>();
    const auto font = fontFromBytes(sansBytes(), sansDesc(*engine, 12));
    engine.reset();  // as at process exit, when a font cache ends after the context
    EXPECT_GT(font->getTextWidth("still measured"), 0);
    Picture picture;
    TEST::makePicture(picture, 40, 20, TEST::kSentinel);
    font->drawText(picture, {0, 0, 40, 20}, "Ok", 0xFF000000, 0, 0);
    EXPECT_FALSE(TEST::inkBounds(picture, TEST::kSentinel).isEmpty());
}

TEST(FontCache, ResourceFontsAreFoundByIdAndFamiliesNotAtAll)
{
    const auto& bytes = sansBytes();
    GP::registerResource("TTFd", 4711, bytes.data(), static_cast<uint32_t>(bytes.size()));
    FreeTypeContext engine;
    FontDesc byId = sansDesc(engine, 12);
    byId.name.clear();
    byId.resourceId = 4711;
    const Font resourceFont(byId);
    ASSERT_NE(resourceFont.getRenderCache(), nullptr);
    EXPECT_GT(resourceFont.getTextWidth("x"), 0);

    FontDesc missing = byId;
    missing.resourceId = 4712;
    FontDesc family = sansDesc(engine, 12, FontDesc::Family);
    family.name = "DejaVu Sans";
    for (const FontDesc& description : {missing, family}) {
        const Font font(description);
        EXPECT_EQ(font.getRenderCache(), nullptr);
        EXPECT_EQ(font.getLineHeight(), 10);
    }
}

// A one-glyph bitmap font: it has a Unicode map and a 12-pixel strike but no units per em.
const char* const kBitmapOnlyFont =
    "STARTFONT 2.1\nFONT -test-tiny-medium-r-normal--12-120-75-75-c-80-iso10646-1\nSIZE 12 75 75\n"
    "FONTBOUNDINGBOX 8 12 0 -2\nSTARTPROPERTIES 5\nPIXEL_SIZE 12\nFONT_ASCENT 10\nFONT_DESCENT 2\n"
    "CHARSET_REGISTRY \"ISO10646\"\nCHARSET_ENCODING \"1\"\nENDPROPERTIES\nCHARS 1\nSTARTCHAR A\n"
    "ENCODING 65\nSWIDTH 666 0\nDWIDTH 8 0\nBBX 8 2 0 0\nBITMAP\nFF\n81\nENDCHAR\nENDFONT\n";

// The font file with the bounding box of its 'head' table turned upside down (yMin and yMax
// swapped): its line height would be negative.
std::string upsideDownBoundingBox()
{
    std::string bytes(reinterpret_cast<const char*>(sansBytes().data()), sansBytes().size());
    const auto u16 = [&](size_t at) { return size_t(uint8_t(bytes[at])) << 8 | uint8_t(bytes[at + 1]); };
    const auto u32 = [&](size_t at) { return u16(at) << 16 | u16(at + 2); };
    for (size_t entry = 12; entry < 12 + 16 * u16(4); entry += 16)
        if (bytes.compare(entry, 4, "head") == 0) {
            const size_t head = u32(entry + 8);
            std::swap_ranges(bytes.begin() + long(head + 38), bytes.begin() + long(head + 40),
                             bytes.begin() + long(head + 42));
        }
    return bytes;
}

struct tBrokenFileCase {
    const char* name;
    std::string bytes;
};

class BrokenSkinFontTest : public ::testing::TestWithParam<tBrokenFileCase> {};

TEST_P(BrokenSkinFontTest, MeasuresNothingAndDrawsNothing)
{
    GP::TEST::TempFolder folder;
    folder.write("font.ttf", GetParam().bytes);
    GP::FileStream stream;
    ASSERT_TRUE(stream.open(folder.wpath("font.ttf"), GP::IStorage::ModeRead));
    FreeTypeContext engine;
    FontDesc description = sansDesc(engine, 12);
    description.name = "font.ttf";
    const Font font(stream, description);

    EXPECT_EQ(font.getRenderCache(), nullptr);
    EXPECT_EQ(font.getLineHeight(), 10);
    EXPECT_EQ(font.getTextWidth("Abc"), 0);
    EXPECT_EQ(font.getGlyphAdvance(U'A'), 0);
    EXPECT_EQ(font.getFittingPrefix("Abc", 5, Font::FitWithin), 3);
    font.setScale(2.0f);
    EXPECT_EQ(font.getRenderCache(), nullptr);
    Picture picture;
    TEST::makePicture(picture, 20, 20, TEST::kSentinel);
    font.drawText(picture, {0, 0, 20, 20}, "Abc", 0xFF000000, 0, 0);
    EXPECT_TRUE(TEST::inkBounds(picture, TEST::kSentinel).isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Files, BrokenSkinFontTest,
    ::testing::Values(tBrokenFileCase{"empty", ""}, tBrokenFileCase{"not a font", std::string(4000, 'x')},
                      tBrokenFileCase{"truncated", std::string(reinterpret_cast<const char*>(sansBytes().data()), 3000)},
                      tBrokenFileCase{"bitmap only, no units per em", kBitmapOnlyFont},
                      tBrokenFileCase{"bounding box upside down", upsideDownBoundingBox()}),
    [](const auto& info) { return "Case" + std::to_string(info.index); });

struct tCoverageCase {
    const char* name;
    FT_Pixel_Mode mode;
    int pitch;
    std::vector<unsigned char> buffer;
    unsigned short grays;
    std::vector<unsigned char> expected;  // 3 x 2, top row first
};

class CoverageCopyTest : public ::testing::TestWithParam<tCoverageCase> {};

TEST_P(CoverageCopyTest, GivesEightBitRowsTopFirst)
{
    const tCoverageCase& c = GetParam();
    DETAIL::FTLibrary library;
    std::vector<unsigned char> buffer = c.buffer;
    FT_Bitmap bitmap{};
    bitmap.width = 3;
    bitmap.rows = 2;
    bitmap.pitch = c.pitch;
    bitmap.buffer = buffer.data();
    bitmap.pixel_mode = static_cast<unsigned char>(c.mode);
    bitmap.num_grays = c.grays;
    Font::tGlyph glyph;
    ASSERT_TRUE(DETAIL::copyCoverage(library.get(), bitmap, glyph));
    EXPECT_EQ(glyph.width, 3);
    EXPECT_EQ(glyph.rows, 2);
    EXPECT_EQ(glyph.pitch, 3);
    EXPECT_EQ(glyph.coverage, c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Bitmaps, CoverageCopyTest,
    ::testing::Values(
        tCoverageCase{"gray, padded rows", FT_PIXEL_MODE_GRAY, 4, {1, 2, 3, 99, 4, 5, 6, 99}, 256, {1, 2, 3, 4, 5, 6}},
        tCoverageCase{"gray, rows upwards", FT_PIXEL_MODE_GRAY, -4, {4, 5, 6, 99, 1, 2, 3, 99}, 256,
                      {1, 2, 3, 4, 5, 6}},
        tCoverageCase{"1-bit", FT_PIXEL_MODE_MONO, 1, {0xA0, 0x40}, 2, {255, 0, 255, 0, 255, 0}},
        tCoverageCase{"1-bit, rows upwards", FT_PIXEL_MODE_MONO, -2, {0x40, 0xFF, 0xA0, 0xFF}, 2,
                      {255, 0, 255, 0, 255, 0}}),
    [](const auto& info) { return "Case" + std::to_string(info.index); });

// The font file with its head table's units per em and vertical bounds and its post table's
// underline replaced (big-endian fields at fixed offsets of each table).
std::vector<unsigned char> withMetrics(std::vector<unsigned char> bytes, int unitsPerEm, int yMin, int yMax,
                                       int underlinePosition, int underlineThickness)
{
    auto u16 = [&](std::size_t at) { return std::size_t(bytes[at] << 8 | bytes[at + 1]); };
    auto put = [&](std::size_t at, int value) {
        bytes[at] = static_cast<unsigned char>((value >> 8) & 0xFF);
        bytes[at + 1] = static_cast<unsigned char>(value & 0xFF);
    };
    for (std::size_t table = 0; table < u16(4); ++table) {
        const std::size_t record = 12 + 16 * table;
        const std::string tag(bytes.begin() + long(record), bytes.begin() + long(record) + 4);
        const std::size_t offset = u16(record + 8) << 16 | u16(record + 10);
        if (tag == "head") {
            put(offset + 18, unitsPerEm);
            put(offset + 38, yMin);
            put(offset + 42, yMax);
        } else if (tag == "post") {
            put(offset + 8, underlinePosition);
            put(offset + 10, underlineThickness);
        }
    }
    return bytes;
}

TEST(RenderCacheMetrics, AreScaledFromFontUnitsAndRoundedOnce)
{
    struct tCase {
        // The face's underline position (FreeType's: the file's less half the thickness).
        int unitsPerEm, yMin, yMax, underlinePosition, underlineThickness, pixelSize;
        int lineHeight, ascent, underlineAt, thickness;
    };
    const std::vector<tCase> cases = {
        // 1750 x 18 / 1000 = 31.5, 750 x 18 / 1000 = 13.5: exact halves round away from zero.
        {1000, -1000, 750, -750, 90, 18, 32, 14, -14, 2},
        // 3000 x 17 / 1000 = 51 exactly: the thickness's ceiling stays 51.
        {1000, -1000, 750, -40, 3000, 17, 30, 13, -1, 51},
        // The ascent above the underline reaches the line height: one more row.
        {1000, 0, 2000, -10, 50, 10, 21, 20, 0, 1},
    };
    for (const tCase& c : cases) {
        SCOPED_TRACE("size " + std::to_string(c.pixelSize) + ", thickness " + std::to_string(c.underlineThickness));
        FreeTypeContext engine;
        const auto font = fontFromBytes(
            withMetrics(sansBytes(), c.unitsPerEm, c.yMin, c.yMax, c.underlinePosition + c.underlineThickness / 2,
                        c.underlineThickness),
            sansDesc(engine, c.pixelSize));
        const auto* cache = font->getRenderCache();
        ASSERT_NE(cache, nullptr);
        ASSERT_EQ(cache->getFace()->units_per_EM, c.unitsPerEm);
        ASSERT_EQ(cache->getFace()->underline_position, c.underlinePosition);
        EXPECT_EQ(cache->getLineHeight(), c.lineHeight);
        EXPECT_EQ(cache->getAscent(), c.ascent);
        EXPECT_EQ(cache->getUnderlinePosition(), c.underlineAt);
        EXPECT_EQ(cache->getUnderlineThickness(), c.thickness);
    }
}

TEST(GlyphRecords, AreKeptAndMissingOnesShowAsQuestionMarks)
{
    FreeTypeContext engine;
    const auto font = fontFromBytes(sansBytes(), sansDesc(engine, 12));
    auto* cache = font->getRenderCache();
    const Font::tGlyph* a = cache->getGlyph(U'A');
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(cache->getGlyph(U'A'), a);
    EXPECT_GT(a->rows, 0);
    EXPECT_GE(a->pitch, a->width);
    EXPECT_EQ(a->coverage.size(), std::size_t(a->pitch) * a->rows);
    EXPECT_EQ(font->getGlyphAdvance(U'A'), DETAIL::roundAdvance(a->advance));
    // The font has no ideographs: one is measured and drawn as '?'.
    const Font::tGlyph* question = cache->getGlyph(U'?');
    ASSERT_NE(question, nullptr);
    EXPECT_EQ(cache->getGlyph(U'\u4E00'), question);
    EXPECT_EQ(font->getTextWidth("\xE4\xB8\x80"), font->getGlyphAdvance(U'?'));
}

}  // namespace
}  // namespace HA::UIA
