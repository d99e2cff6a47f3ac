#include "gp/src/common/text/FormatString.h"
#include "gp/src/common/text/Utf8.h"

#include <memory>
#include <stdexcept>

#include <gtest/gtest.h>

using namespace HA::GP;

namespace {

const char* const kInvalidUtf8 = "Invalid UTF-8 sequence encountered while trying to encode UTF-32 character";

// A copy of the bytes in a heap block of exactly their size, so that the sanitizer sees any
// read past the end (a std::string would have its terminator there).
struct ExactBuffer {
    explicit ExactBuffer(const std::string& bytes) : size(bytes.size()), data(new char[bytes.size()])
    {
        std::copy(bytes.begin(), bytes.end(), data.get());
    }
    std::string_view view() const { return {data.get(), size}; }
    std::size_t size;
    std::unique_ptr<char[]> data;
};

template <typename F>
void expectInvalidUtf8(F&& f)
{
    try {
        f();
        ADD_FAILURE() << "no exception";
    } catch (const std::out_of_range& e) {
        EXPECT_STREQ(e.what(), kInvalidUtf8);
    }
}

}  // namespace

TEST(Utf8Conversion, Utf16ToUtf8SkipsOnlyInvalidUnits)
{
    struct Case {
        std::u16string utf16;
        std::string utf8;
    };
    const std::u16string loneHigh(1, char16_t(0xD800));
    const std::u16string loneLow(1, char16_t(0xDC00));
    const Case cases[] = {
        {u"", ""},
        {u"abc", "abc"},
        {u"\u00E4\u20AC", "\xC3\xA4\xE2\x82\xAC"},
        {u"\U0001F3B5x", "\xF0\x9F\x8E\xB5x"},
        {u"a" + loneHigh + u"b", "ab"},  // the unit after a lone surrogate survives
        {u"a" + loneLow + u"b", "ab"},
        {u"ab" + loneHigh, "ab"},
        {loneLow + loneHigh, ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(toUtf8(c.utf16), c.utf8);
        EXPECT_EQ(toUtf8(c.utf16.c_str()), c.utf8);
        EXPECT_EQ(toUtf8(c.utf16.data(), c.utf16.size()), c.utf8);
    }
    const std::u16string withNul(u"a\0b", 3);
    EXPECT_EQ(toUtf8(withNul), std::string("a\0b", 3));
    EXPECT_EQ(toUtf8(withNul.c_str()), "a");
    EXPECT_EQ(toUtf8(u"abcdef", 2), "ab");
    EXPECT_EQ(toUtf8(static_cast<const char16_t*>(nullptr)), "");
    EXPECT_EQ(toUtf8(nullptr, 5), "");
}

TEST(Utf8Conversion, InvalidUtf8IsDroppedAndTheRestKept)
{
    struct Case {
        std::string input;
        std::string valid;
    };
    const Case cases[] = {
        {"", ""},
        {"plain", "plain"},
        {"\xC3\xA4\xE2\x82\xAC\xF0\x9F\x8E\xB5", "\xC3\xA4\xE2\x82\xAC\xF0\x9F\x8E\xB5"},
        {"ab\x80" "cd", "abcd"},             // lone continuation byte in the middle
        {"a\xC3" "Ab", "aAb"},               // a lead byte without continuation keeps the next letter
        {"a\xE2\x82" "b", "ab"},             // truncated three-byte sequence
        {"ab\xE2\x82", "ab"},                // truncated at the end
        {"ab\xF0\x9F\x8E", "ab"},
        {"\xC0\xAF" "x", "x"},               // over-long '/'
        {"\xE0\x80\xAF" "x", "x"},
        {"\xED\xA0\x80" "x", "x"},           // surrogate
        {"\xF4\x90\x80\x80" "x", "x"},       // above 0x10FFFF
        {"\xF8\x88\x80\x80\x80" "x", "x"},   // five-byte form
        {"\xFF\xFE" "x", "x"},
        {std::string("a\0b", 3), std::string("a\0b", 3)},
    };
    for (const Case& c : cases) {
        const ExactBuffer input(c.input);
        EXPECT_EQ(toValidUtf8(input.view()), c.valid) << c.input;
        EXPECT_EQ(toUtf8(toUtf16(input.view())), c.valid) << c.input;
    }
    EXPECT_EQ(toUtf16("\xC3\xA4\xF0\x9F\x8E\xB5"), u"\u00E4\U0001F3B5");
}

TEST(Utf8Walk, DecodesValidSequencesAndRejectsEveryInvalidOne)
{
    struct Case {
        std::string bytes;
        char32_t codePoint;  // 0xFFFFFFFF: invalid
    };
    const char32_t bad = 0xFFFFFFFF;
    const Case cases[] = {
        {"A", U'A'},
        {std::string(1, '\0'), 0},
        {"\x7F", 0x7F},
        {"\xC2\x80", 0x80},
        {"\xDF\xBF", 0x7FF},
        {"\xE0\xA0\x80", 0x800},
        {"\xEF\xBF\xBF", 0xFFFF},
        {"\xF0\x90\x80\x80", 0x10000},
        {"\xF4\x8F\xBF\xBF", 0x10FFFF},
        {"\x80", bad},                  // continuation where a sequence must start
        {"\xBF", bad},
        {"\xC3", bad},                  // truncated at the very end
        {"\xE2\x82", bad},
        {"\xF0\x9F\x8E", bad},
        {"\xC3" "A", bad},              // missing continuation
        {"\xE2\x82" "A", bad},
        {"\xC0\x80", bad},              // over-long forms
        {"\xC1\xBF", bad},
        {"\xE0\x9F\xBF", bad},
        {"\xF0\x8F\xBF\xBF", bad},
        {"\xED\xA0\x80", bad},          // surrogates
        {"\xED\xBF\xBF", bad},
        {"\xF4\x90\x80\x80", bad},      // above 0x10FFFF
        {"\xF8\x90\x80\x80", bad},      // lead bytes of no valid length
        {"\xFC\x80\x80\x80\x80\x80", bad},
        {"\xFF", bad},
    };
    for (const Case& c : cases) {
        const ExactBuffer buffer(c.bytes);
        std::size_t pos = 0;
        if (c.codePoint == bad) {
            expectInvalidUtf8([&] { decodeCodePoint(buffer.view(), pos); });
            EXPECT_EQ(pos, 0u);
        } else {
            EXPECT_EQ(decodeCodePoint(buffer.view(), pos), c.codePoint) << c.bytes;
            EXPECT_EQ(pos, c.bytes.size());
            EXPECT_EQ(previousCodePoint(buffer.view(), pos), 0u);
        }
    }
    std::size_t end = 1;
    expectInvalidUtf8([&] { decodeCodePoint("a", end); });
}

TEST(Utf8Walk, StepsBackAndCountsByCodePoints)
{
    const std::string text = "a\xC3\xA4\xE2\x82\xAC\xF0\x9F\x8E\xB5z";
    EXPECT_EQ(countCodePoints(text), 5u);
    EXPECT_EQ(countCodePoints(""), 0u);
    EXPECT_EQ(previousCodePoint(text, 11), 10u);
    EXPECT_EQ(previousCodePoint(text, 10), 6u);
    EXPECT_EQ(previousCodePoint(text, 6), 3u);
    EXPECT_EQ(previousCodePoint(text, 3), 1u);
    EXPECT_EQ(previousCodePoint(text, 1), 0u);
    expectInvalidUtf8([&] { previousCodePoint(text, 0); });
    expectInvalidUtf8([&] { previousCodePoint(text, 9); });  // inside a sequence
    expectInvalidUtf8([&] { previousCodePoint("\x80\x80\x80\x80", 4); });
    expectInvalidUtf8([&] { countCodePoints("ab\xE2\x82"); });
}

TEST(Utf8Case, UpperCodePointUsesTheSingleCharacterMapping)
{
    EXPECT_EQ(upperCodePoint(U'a'), U'A');
    EXPECT_EQ(upperCodePoint(U'Z'), U'Z');
    EXPECT_EQ(upperCodePoint(U'1'), U'1');
    EXPECT_EQ(upperCodePoint(0xE4), char32_t(0xC4));
    EXPECT_EQ(upperCodePoint(0xDF), char32_t(0xDF));  // sharp s has no single upper case
    EXPECT_EQ(upperCodePoint(0x10428), char32_t(0x10428));  // beyond 0xFFFF: unchanged
}

TEST(Utf8Matching, FindNoCase)
{
    struct Case {
        std::string haystack;
        std::string needle;
        std::size_t from;
        std::ptrdiff_t found;
    };
    const Case cases[] = {
        {"xABC", "abc", 0, 1},
        {"xabc", "ABC", 0, 1},
        {"abcabc", "ABC", 1, 3},
        {"abcabc", "abc", 4, -1},
        {"abc", "abc", 3, -1},
        {"abc", "abc", 99, -1},
        {"abc", "abcd", 0, -1},
        {"", "a", 0, -1},
        {"abc", "", 2, 2},
        {"abc", "", 3, 3},
        {"stra\xC3\x9F" "e", "SS", 0, -1},              // sharp s matches only itself
        {"STRASSE", "\xC3\x9F", 0, -1},
        {"STRA\xC3\x9F" "E", "\xC3\x9F", 0, 4},
        {"\xC3\xA4pfel \xC3\x84PFEL", "\xC3\x84pfel", 2, 7},  // multi-byte letters, byte positions
        {"a\xF0\x9F\x8E\xB5" "b", "\xF0\x9F\x8E\xB5" "B", 0, 1},
        {"aab", "ab", 0, 1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(findNoCase(c.haystack, c.needle, c.from), c.found) << c.haystack << " / " << c.needle;
}

TEST(Utf8Matching, InvalidUtf8InTheMatchThrows)
{
    expectInvalidUtf8([] { findNoCase("abc", "a\xC3"); });
    expectInvalidUtf8([] { findNoCase("", "\x80"); });
    expectInvalidUtf8([] { findNoCase("a\x80z", "z"); });
    const ExactBuffer truncated(std::string("ab\xE2\x82"));
    expectInvalidUtf8([&] { findNoCase(truncated.view(), "x"); });
    expectInvalidUtf8([&] { compareNoCase(truncated.view(), 2, "\xE2\x82\xAC"); });
    expectInvalidUtf8([] { compareNoCase("abc", 0, "\xC3"); });
    // The parts before the first difference are all that is walked.
    EXPECT_EQ(findNoCase("abc\x80", "B"), 1);
    EXPECT_EQ(compareNoCase("ab\x80", 0, "ax"), 1u);
}

TEST(Utf8Matching, CompareNoCase)
{
    struct Case {
        std::string text;
        std::size_t start;
        std::string other;
        eCaseSensitivity sensitivity;
        std::size_t matched;
    };
    const Case cases[] = {
        {"Hello", 0, "HELP", eIgnoreCase, 3},
        {"Hello", 0, "HELP", eCaseSensitive, 1},
        {"Hello", 0, "hello world", eIgnoreCase, 5},
        {"say Hello", 4, "HELLO", eIgnoreCase, 5},
        {"abc", 3, "abc", eIgnoreCase, 0},
        {"abc", 7, "abc", eIgnoreCase, 0},
        {"abc", 0, "", eIgnoreCase, 0},
        {"\xC3\xA4" "bc", 0, "\xC3\x84" "B", eIgnoreCase, 3},
        {"\xC3\xA4" "bc", 0, "\xC3\x84" "B", eCaseSensitive, 0},
        {"x\xF0\x9F\x8E\xB5y", 1, "\xF0\x9F\x8E\xB5Y", eIgnoreCase, 5},
    };
    for (const Case& c : cases)
        EXPECT_EQ(compareNoCase(c.text, c.start, c.other, c.sensitivity), c.matched) << c.text << " / " << c.other;
}

TEST(FormatString, FormatsPrintfDirectives)
{
    EXPECT_EQ(formatString("%d.%d.%d", 0, 3, 6), "0.3.6");
    EXPECT_EQ(formatString("%s: %d", std::string("USBDevice"), -5), "USBDevice: -5");
    EXPECT_EQ(formatString("%2% %1%", "a", "b"), "b a");
    EXPECT_EQ(formatString("%04X", 0x36), "0036");
    EXPECT_EQ(formatString("no values"), "no values");
}
