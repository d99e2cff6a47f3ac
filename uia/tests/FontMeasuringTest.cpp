// Measuring, fitting and alignment offsets, checked against the font's own advances.

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "gp/src/common/abbreviation/TextAbbreviator.h"
#include "gp/src/common/text/Utf8.h"
#include "uia/graphics/text/Font.h"
#include "uia/graphics/text/FreeTypeContext.h"
#include "uia/tests/FontTestSupport.h"

namespace HA::UIA {
namespace {

class FontMeasuringTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        font = TEST::fontFromBytes(TEST::sansBytes(), TEST::sansDesc(engine, 12));
        ASSERT_NE(font->getRenderCache(), nullptr);
    }

    // Sum of the advances of every code point of a text without LF.
    int advances(const std::string& text) const
    {
        int sum = 0;
        for (std::size_t pos = 0; pos < text.size();)
            sum += font->getGlyphAdvance(GP::decodeCodePoint(text, pos));
        return sum;
    }

    FreeTypeContext engine;
    std::unique_ptr<Font> font;
};

TEST(FontAdvance, RoundsHalvesToEven)
{
    const std::vector<std::pair<int, int>> cases = {{0, 0},   {32, 0},  {33, 1},  {64, 1},  {95, 1},   {96, 2},
                                                    {97, 2},  {160, 2}, {224, 4}, {-32, 0}, {-96, -2}, {-97, -2}};
    for (const auto& c : cases)
        EXPECT_EQ(DETAIL::roundAdvance(c.first), c.second) << c.first << "/64";
}

TEST_F(FontMeasuringTest, TextWidthIsTheSumOfAdvancesOfTheFirstLine)
{
    EXPECT_GT(advances("Hello"), 0);
    EXPECT_EQ(font->getTextWidth("Hello"), advances("Hello"));
    EXPECT_EQ(font->getTextWidth("Hello\nWide world"), advances("Hello"));
    EXPECT_EQ(font->getTextWidth("Hello", 3), advances("Hel"));
    EXPECT_EQ(font->getTextWidth("Gr\xC3\xBC\xC3\x9F" "e"), advances("Gr\xC3\xBC\xC3\x9F" "e"));
    EXPECT_EQ(font->getTextWidth(""), 0);
    EXPECT_EQ(font->getWidestLineWidth("ab\nWWWW\nc"), advances("WWWW"));
    EXPECT_EQ(font->getWidestLineWidth("ab\n\nc\n"), advances("ab"));
}

TEST_F(FontMeasuringTest, FittingPrefixFollowsItsMode)
{
    const std::string text = "W\xC3\xA4ve il W";  // a two-byte letter, narrow and wide ones
    std::vector<std::size_t> ends;                // byte offset after each code point
    for (std::size_t pos = 0; pos < text.size();) {
        GP::decodeCodePoint(text, pos);
        ends.push_back(pos);
    }
    const int full = advances(text);
    for (int width = -1; width <= full + 2; ++width) {
        SCOPED_TRACE("width " + std::to_string(width));
        const int within = font->getFittingPrefix(text.c_str(), width, Font::FitWithin);
        const int crossing = font->getFittingPrefix(text.c_str(), width, Font::FitCrossing);
        const int nearest = font->getFittingPrefix(text.c_str(), width, Font::FitNearest);
        if (width <= 0) {
            EXPECT_EQ(within + crossing + nearest, 0);
            continue;
        }
        const int before = advances(text.substr(0, within));
        EXPECT_LE(before, width);
        if (within == int(text.size())) {
            EXPECT_EQ(crossing, within);
            EXPECT_EQ(nearest, within);
            continue;
        }
        // The next code point crosses the width.
        std::size_t next = 0;
        while (ends[next] <= std::size_t(within))
            ++next;
        const int after = advances(text.substr(0, ends[next]));
        EXPECT_GT(after, width);
        EXPECT_EQ(crossing, int(ends[next]));
        EXPECT_EQ(nearest, after - width < width - before ? int(ends[next]) : within);
    }
    EXPECT_EQ(font->getFittingPrefix("ab\ncd", 1000, Font::FitWithin), 2);
}

TEST_F(FontMeasuringTest, FittingLengthIsTheAlignmentOffset)
{
    const char* line = "Offset";
    const int s = advances(line);
    struct tCase {
        unsigned flags;
        int width;
        int expected;
    };
    const tCase cases[] = {{0, s, 0},           {Font::AlignRight, s, 0},        {0, s - 3, 0},
                           {0, s + 10, 5},      {0, s + 11, 6},                  {Font::AlignRight, s + 10, 10},
                           {Font::AlignLeft, s + 10, 0}, {Font::AlignLeft | Font::AlignRight, s + 10, 0},
                           {0, 0, 0},           {0, -5, 0}};
    for (const tCase& c : cases)
        EXPECT_EQ(font->getFittingLength(line, c.flags, c.width), c.expected)
            << "flags " << c.flags << " width " << c.width;
    EXPECT_EQ(font->getFittingLength("Offset\nmuch longer second line", Font::AlignRight, s + 4), 4);
}

TEST_F(FontMeasuringTest, InvalidUtf8ThrowsTheDecodersText)
{
    for (const char* bad : {"\xC0\x80", "ab\x80", "\xE2\x82", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xF8\x88\x80\x80"}) {
        try {
            font->getTextWidth(bad);
            ADD_FAILURE() << "no exception";
        } catch (const std::out_of_range& e) {
            EXPECT_STREQ(e.what(), "Invalid UTF-8 sequence encountered while trying to encode UTF-32 character");
        }
        EXPECT_THROW(font->getFittingPrefix(bad, 1000, Font::FitWithin), std::out_of_range);
        EXPECT_THROW(font->getFittingLength(bad, 0, 1000), std::out_of_range);
    }
}

TEST_F(FontMeasuringTest, AbbreviatorMeasuresWithTheFont)
{
    GP::TextAbbreviator abbreviator;
    const std::string text = "abcdefghij";
    EXPECT_EQ(abbreviateToWidth(abbreviator, text, 1, *font), text);  // nothing set: unchanged
    abbreviator.setMode(GP::TextAbbreviator::eCutEnd);
    abbreviator.setEllipsis("...");
    EXPECT_EQ(abbreviateToWidth(abbreviator, text, advances("abc..."), *font), "abc...");
    EXPECT_EQ(abbreviateToWidth(abbreviator, text, advances(text), *font), text);
}

}  // namespace
}  // namespace HA::UIA
