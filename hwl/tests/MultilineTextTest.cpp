// Word wrap of multi-line texts, measured in a monospaced font so that widths are character
// counts; the text's cleaning before it is wrapped.

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "hwl/core/src/widgets/MultilineText.h"
#include "uia/graphics/text/FreeTypeContext.h"
#include "uia/tests/FontTestSupport.h"

namespace HA::HWL {
namespace {

using DETAIL::tLineStart;
using DETAIL::tLineStarts;

constexpr const char* kMonoPath = "/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf";

class MonoFont {
public:
    MonoFont()
    {
        UIA::FontDesc description;
        description.name = "DejaVuSansMono.ttf";
        description.size = 16;
        description.engine = &engine;
        font = UIA::TEST::fontFromBytes(UIA::TEST::readFile(kMonoPath), description);
        advance = font->getTextWidth("M");
    }

    DETAIL::tMeasure measure() const
    {
        return [this](const char* text, int length) { return font->getTextWidth(text, length); };
    }

    UIA::FreeTypeContext engine;
    std::unique_ptr<UIA::Font> font;
    int advance = 0;
};

// The byte positions of the line starts, the end included.
std::vector<std::size_t> positions(const tLineStarts& starts)
{
    std::vector<std::size_t> result;
    for (const tLineStart& start : starts)
        result.push_back(start.position);
    return result;
}

struct tWrapCase {
    const char* name;
    std::string text;  // already cleaned
    int columns;       // content width in characters
    std::vector<std::size_t> starts;
};

TEST(MultilineWrap, MonospacedFontHasOneAdvance)
{
    MonoFont mono;
    ASSERT_GT(mono.advance, 0);
    EXPECT_EQ(mono.font->getTextWidth("iiiiiiiiii"), 10 * mono.advance);
    EXPECT_EQ(mono.font->getTextWidth("-/\\ .,;:"), 8 * mono.advance);
}

TEST(MultilineWrap, LineStartsByTable)
{
    const std::vector<tWrapCase> cases = {
        {"space break", "abcd efgh", 6, {0, 5, 9}},
        {"fits whole", "abcd efgh", 9, {0, 9}},
        {"long word cut", "abcdefghijkl", 5, {0, 5, 10, 12}},
        {"after a hyphen", "abc-defgh", 6, {0, 4, 9}},
        {"after a slash", "abc/defgh", 6, {0, 4, 9}},
        {"after a backslash", "abc\\defgh", 6, {0, 4, 9}},
        {"after a comma, a dot, a colon and a semicolon", "ab,cd.ef:gh;ij", 4, {0, 3, 6, 9, 12, 14}},
        {"last opportunity wins", "ab cd ef", 7, {0, 6, 8}},
        {"newline breaks", "ab\ncd", 10, {0, 3, 5}},
        {"newline at the end", "ab\n", 10, {0, 3, 3}},
        {"empty lines", "\n\n", 10, {0, 1, 2, 2}},
        {"empty text", "", 10, {0, 0}},
        {"cleaned carriage returns", "ab\ncd\n", 10, {0, 3, 6, 6}},
        {"wide char alone stays", "a", 0, {0, 1}},
    };
    MonoFont mono;
    for (const tWrapCase& c : cases) {
        SCOPED_TRACE(c.name);
        const tLineStarts starts = DETAIL::wrapText(c.text, c.columns * mono.advance, mono.measure());
        EXPECT_EQ(positions(starts), c.starts);
    }
}

TEST(MultilineWrap, LineStartsCarryTheirCodePoint)
{
    MonoFont mono;
    const tLineStarts starts = DETAIL::wrapText("ab \xC3\xA9t\xC3\xA9", 4 * mono.advance, mono.measure());
    const tLineStarts expected = {{0, 'a'}, {3, 0xE9}, {8, -1}};
    EXPECT_EQ(starts, expected);
}

TEST(MultilineWrap, InvalidUtf8Throws)
{
    MonoFont mono;
    EXPECT_THROW(DETAIL::wrapText("ab\xFF", 100 * mono.advance, mono.measure()), std::out_of_range);
}

TEST(MultilineWrap, CleaningDropsInvalidBytesAndControlCharacters)
{
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"ab\r\ncd", "ab\ncd"},
        {"a\tb", "ab"},
        {"a\xFF" "b", "ab"},
        {std::string("a\0b", 3), "ab"},
        {"\xC3\xA9\x1F\n", "\xC3\xA9\n"},
        {"", ""},
    };
    for (const auto& [input, expected] : cases)
        EXPECT_EQ(DETAIL::cleanMultilineText(input), expected);
}

TEST(MultilineWrap, TabRemovedBeforeWrapping)
{
    MonoFont mono;
    const std::string text = DETAIL::cleanMultilineText("abcd\tefgh");
    EXPECT_EQ(positions(DETAIL::wrapText(text, 6 * mono.advance, mono.measure())),
              (std::vector<std::size_t>{0, 6, 8}));
}

}  // namespace
}  // namespace HA::HWL
