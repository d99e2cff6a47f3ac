#include "gp/src/common/abbreviation/FolderTags.h"
#include "gp/src/common/abbreviation/TextAbbreviator.h"
#include "gp/src/common/files/FilePath.h"
#include "gp/src/common/files/Folders.h"
#include "gp/src/common/text/Utf8.h"

#include <stdexcept>

#include <gtest/gtest.h>

using HA::GP::TextAbbreviator;

namespace {

// Fake measurements: 1 per ASCII code point, 2 per other code point. They read any bytes
// (continuation bytes count 0), so that invalid text reaches the abbreviator's own checks, and
// they stop the test when an abbreviation asks far more than any text here needs.
struct FakeFont {
    mutable int calls = 0;

    void count() const
    {
        if (++calls > 100000)
            throw std::runtime_error("abbreviation does not end");
    }
    static int unitWidth(unsigned char b) { return b < 0x80 ? 1 : (b & 0xC0) == 0x80 ? 0 : 2; }

    std::int32_t width(const char* text) const
    {
        count();
        std::int32_t w = 0;
        for (const char* p = text; *p; ++p)
            w += unitWidth(static_cast<unsigned char>(*p));
        return w;
    }
    // Leading bytes that fit, stopping before the code point that would exceed the width.
    std::int32_t fit(const char* text, std::int32_t width) const
    {
        count();
        if (width <= 0)
            return 0;
        std::int32_t w = 0;
        std::int32_t n = 0;
        while (text[n]) {
            std::int32_t end = n + 1;
            while (text[end] && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
                ++end;
            w += unitWidth(static_cast<unsigned char>(text[n]));
            if (w > width)
                break;
            n = end;
        }
        return n;
    }
    // A careless fit: as many bytes as the width, even inside a code point.
    std::int32_t bytesFit(const char* text, std::int32_t width) const
    {
        count();
        return std::max(0, std::min(width, static_cast<std::int32_t>(std::char_traits<char>::length(text))));
    }

    TextAbbreviator::tWidthFunction widthFunction() const
    {
        return [this](const char* t) { return width(t); };
    }
    TextAbbreviator::tFitFunction fitFunction() const
    {
        return [this](const char* t, std::int32_t w) { return fit(t, w); };
    }
    TextAbbreviator::tFitFunction bytesFitFunction() const
    {
        return [this](const char* t, std::int32_t w) { return bytesFit(t, w); };
    }
};

std::string abbreviate(int mode, const std::string& text, int width, const std::string& ellipsis,
                       const std::map<std::string, std::string>& replacements = {})
{
    TextAbbreviator a;
    a.setMode(mode);
    a.setEllipsis(ellipsis);
    a.setReplacements(replacements);
    FakeFont font;
    return a.abbreviate(text, width, font.widthFunction(), font.fitFunction());
}

const char* const kEllipsisChar = "\xE2\x80\xA6";  // one code point, width 2

}  // namespace

TEST(TextAbbreviator, ModesByTable)
{
    struct Case {
        int mode;
        std::string text;
        int width;
        std::string ellipsis;
        std::string result;
    };
    const std::string e3 = "...";
    const std::string u = kEllipsisChar;
    const Case cases[] = {
        // unchanged
        {0, "a very long text", 3, e3, "a very long text"},
        {14, "abcdef", 2, e3, "abcdef"},
        {-1, "abcdef", 2, e3, "abcdef"},
        // cut at the end
        {1, "abcdefgh", 6, e3, "abc..."},
        {1, "abcdefgh", 8, e3, "abcdefgh"},
        {1, "abcdefgh", 7, "", "abcdefg"},
        {1, "abcdefgh", 2, e3, "ab"},  // the ellipsis does not fit
        {1, "abcdefgh", 3, e3, "..."},
        {1, "\xC3\xA4\xC3\xB6\xC3\xBC\xC3\x9F", 5, e3, "\xC3\xA4..."},
        {1, "abc", 0, e3, ""},
        {1, "abc", -5, e3, ""},
        // cut at the start
        {2, "abcdefgh", 6, e3, "...fgh"},
        {2, "abcdefgh", 5, "", "defgh"},
        {2, "\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4", 5, "", "\xC3\xA4\xC3\xA4"},  // without ellipsis it still fits
        {2, "abcdefgh", 2, e3, "gh"},
        {2, "abc", -1, e3, ""},
        // paths
        {3, "C:\\a\\b\\c\\file.txt", 16, e3, "C:\\...\\file.txt"},
        {3, "C:\\a\\b\\c\\file.txt", 17, e3, "C:\\a\\b\\c\\file.txt"},
        {3, "C:\\a\\b\\c\\file.txt", 14, e3, "...\\c\\file.txt"},
        {3, "C:\\one\\two\\three\\four\\name.txt", 29, e3, "C:\\...\\four\\name.txt"},
        {3, "C:\\ab\\cd\\xxxxxxxxxxxxxxxxxxxx\\ef\\gh.txt", 38, e3, "C:\\ab\\...\\ef\\gh.txt"},
        {3, "C:\\xxxxxxxxxxxxxxxxxxxx\\f.txt", 28, e3, "C:\\...\\f.txt"},  // the sides meet
        {3, "abcdefgh", 6, e3, "...fgh"},  // no separator: cut at the start
        {3, "\\abcdefgh", 6, e3, "...fgh"},
        {3, "C:\\one\\two\\three\\", 16, e3, "C:\\...\\three\\"},
        {3, "C:\\one\\two\\name.txt", 2, e3, "xt"},
        {3, "\xC3\x84\xC3\x96\xC3\x9C\xC3\xA4\xC3\xB6\xC3\xBC", 7, e3, "...\xC3\xB6\xC3\xBC"},
        {3, "C:\\M\xC3\xBCll\\Ordner\\D\xC3\xA4tei.txt", 20, u, "C:\\" + u + "\\D\xC3\xA4tei.txt"},
        {5, "C:\\one\\two\\three\\", 15, e3, "C:\\...\\three"},
        {5, "\\", 5, e3, ""},
        {5, "C:\\one\\", 10, e3, "C:\\one"},
        {7, "C:\\a\\b\\c\\file.txt", 16, e3, "C:\\...\\file.txt"},
        // squeeze
        {9, "Hello World", 20, e3, "Hello World"},
        {9, "Hello World", 10, e3, "HelloWorld"},
        {9, "Hello World", 9, e3, "HeloWorld"},
        {9, "Hello World", 7, e3, "HlWrld"},
        {9, "Hello World", 3, e3, "HlW"},
        {9, "Hello World", 0, e3, ""},
        {9, "a-b, c!", 3, e3, "abc"},
        {9, "Gr\xC3\xBC\xC3\x9F" "e aus K\xC3\xB6ln", 8, e3, "GrausKln"},
        {9, "Queue Field", 8, e3, "QueueFld"},
        {9, "Queue Field", 4, e3, "QFld"},
        // words
        {10, "three small  words", 15, e3, "ThreeSmallWords"},
        {10, "three small  words", 14, e3, "ThreSmalWords"},
        {10, "three small  words", 10, e3, "ThrSmlWrds"},
        {10, "three small  words", 8, e3, "ThSmWr"},
        {10, "three small  words", 5, e3, "ThSmW"},
        {10, "version abc123def", 10, e3, "VrAbc123df"},
        {10, "ab cd", -3, e3, ""},
        {10, "  ", 1, e3, ""},
        // cut in the middle
        {12, "abcdefghij", 7, e3, "ab...ij"},
        {12, "abcdefghij", 2, e3, "ab"},
        {12, "abcdefghij", 10, e3, "abcdefghij"},
        {12, "\xC3\xA4" "bcdefghi\xC3\xB6", 6, u, "\xC3\xA4" + u + "\xC3\xB6"},
        // balanced middle
        {13, "abcdefghij", 4, e3, ".hij"},
        {13, "abc", 2, e3, "bc"},
        {13, "abc def", 5, "~", "~def"},
        {13, "\xC3\xA4\xC3\xB6\xC3\xBC\xC3\x9F" "abc", 6, u, u + "abc"},
        {13, "abc", -4, e3, ""},
        {13, "abcdefghij", 10, e3, "abcdefghij"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(abbreviate(c.mode, c.text, c.width, c.ellipsis), c.result)
            << "mode " << c.mode << " text '" << c.text << "' width " << c.width << " ellipsis '" << c.ellipsis << "'";
}

TEST(TextAbbreviator, ReplacementsByTable)
{
    struct Case {
        std::map<std::string, std::string> replacements;
        std::string text;
        int width;
        std::string result;
    };
    const std::map<std::string, std::string> folders = {{"Program Files", "PF"}, {"documents", "Docs"}};
    const Case cases[] = {
        {folders, "C:\\program files\\My Documents\\x.txt", 35, "C:\\program files\\My Documents\\x.txt"},
        {folders, "C:\\program files\\My Documents\\x.txt", 30, "C:\\PF\\My Documents\\x.txt"},
        {folders, "C:\\program files\\My Documents\\x.txt", 22, "C:\\PF\\My Docs\\x.txt"},
        {folders, "C:\\program files\\My Documents\\x.txt", 10, "CPFMyDcsxt"},  // then by words
        {{{"", "x"}, {"ab", "Z"}}, "abab", 2, "ZZ"},                            // an empty key is ignored
        {{{"a", "aa"}}, "aXa", 2, "AX"},                                        // the search goes on after the value
        {{{"\xC3\xA4", "ae"}}, "\xC3\x84\xC3\x96", 3, "Ae"},
        {{}, "abc def", 4, "AbDf"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(abbreviate(11, c.text, c.width, "...", c.replacements), c.result) << c.text << " " << c.width;
}

TEST(TextAbbreviator, EmptyTextAndMissingCallbacks)
{
    TextAbbreviator a;
    for (int mode = 0; mode <= 13; ++mode) {
        a.setMode(mode);
        a.setEllipsis("...");
        EXPECT_EQ(a.abbreviate("", 5, nullptr, nullptr), "") << mode;
        if (mode == 0) {
            EXPECT_EQ(a.abbreviate("abc", 1, nullptr, nullptr), "abc");
        } else {
            FakeFont font;
            EXPECT_THROW(a.abbreviate("abc", 1, nullptr, font.fitFunction()), std::bad_function_call) << mode;
            EXPECT_THROW(a.abbreviate("abc", 1, font.widthFunction(), nullptr), std::bad_function_call) << mode;
        }
    }
    EXPECT_EQ(TextAbbreviator().getMode(), 0);
    EXPECT_EQ(TextAbbreviator().getEllipsis(), "");
}

TEST(TextAbbreviator, InvalidUtf8MetWhileSteppingThrows)
{
    for (int mode : {1, 2, 3, 12, 13}) {
        try {
            abbreviate(mode, "abc\x80" "defghijkl\xE2\x82", 6, "...");
            ADD_FAILURE() << "mode " << mode << " did not throw";
        } catch (const std::out_of_range& e) {
            EXPECT_STREQ(e.what(), "Invalid UTF-8 sequence encountered while trying to encode UTF-32 character");
        }
    }
}

// Every mode, every text, every width: the result is valid UTF-8, fits whenever anything can
// (the empty text fits every width from 0 on), and is empty below 0; mode 0 changes nothing.
TEST(TextAbbreviator, EveryResultIsValidAndFits)
{
    const std::string texts[] = {
        "", "a", "ab", "abc", "abcd", "abcdefghijklmnop", "  a  b  ", "Hello big World 2000",
        "\xC3\xA4", "\xE2\x82\xAC\xF0\x9F\x8E\xB5x\xC3\xA4\xC3\xB6", "\xF0\x9F\x8E\xB5\xF0\x9F\x8E\xB5\xF0\x9F\x8E\xB5",
        "\\", "\\\\", "a\\", "\\a", "C:\\", "C:\\Program Files\\Vendor\\Tool\\app.exe", "\\\\server\\share\\a\\b\\",
        "C:\\M\xC3\xBCll\\\xE2\x82\xAC\\\xF0\x9F\x8E\xB5\\n\xC3\xA4me.txt", "x\\y\\z", "eieiouue aaaa bbbb",
    };
    const std::string ellipses[] = {"", "...", kEllipsisChar, "~", "[\xC3\xA4\xC3\xB6]"};
    const std::map<std::string, std::string> replacements = {
        {"", "never"}, {"program files", "PF"}, {"\xC3\xA4", "ae"}, {"a", "aa"}, {"\xE2\x82\xAC", "EUR"}};
    FakeFont font;
    for (int mode = 0; mode <= 13; ++mode) {
        for (const std::string& ellipsis : ellipses) {
            TextAbbreviator a;
            a.setMode(mode);
            a.setEllipsis(ellipsis);
            a.setReplacements(replacements);
            for (const std::string& text : texts) {
                for (int width = -2; width <= 42; ++width) {
                    for (const auto& fit : {font.fitFunction(), font.bytesFitFunction()}) {
                        font.calls = 0;
                        const std::string r = a.abbreviate(text, width, font.widthFunction(), fit);
                        const std::string where = "mode " + std::to_string(mode) + " text '" + text + "' width " +
                                                  std::to_string(width) + " ellipsis '" + ellipsis + "' -> '" + r + "'";
                        EXPECT_NO_THROW(HA::GP::countCodePoints(r)) << where;
                        if (mode == 0)
                            EXPECT_EQ(r, text) << where;
                        else if (width >= 0)
                            EXPECT_LE(font.width(r.c_str()), width) << where;
                        else
                            EXPECT_EQ(r, "") << where;
                    }
                }
            }
        }
    }
}

TEST(FolderTags, LongestFolderPrefixBecomesItsTag)
{
    HA::GP::DETAIL::FolderTagTable table;
    table.add("C:\\Program Files");
    table.add("C:\\Users\\bob\\");
    table.add("C:\\Users\\bob\\Documents");
    table.add("D:");
    table.add("\\");  // empty after the trailing separator: left out
    table.add("");
    EXPECT_EQ(table.size(), 4u);
    struct Case {
        std::string text;
        std::string result;
    };
    const Case cases[] = {
        {"C:\\Users\\bob\\Documents\\a.txt", "[Documents]\\a.txt"},
        {"C:\\Users\\bob\\x", "[bob]\\x"},
        {"C:\\Users\\bob", "[bob]"},
        {"C:\\Program Files\\App\\app.exe", "[Program Files]\\App\\app.exe"},
        {"C:\\Program", "C:\\Program"},
        {"D:\\x", "[D:]\\x"},
        {"c:\\users\\bob\\x", "c:\\users\\bob\\x"},  // byte prefix: case counts
        {"", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(table.apply(c.text), c.result) << c.text;
}

namespace {

std::string specialFolder(int csidl)
{
    HA::GP::FilePath path;
    if (!HA::GP::getSpecialFolderPath(csidl, path))
        return {};
    return path.getFolderPath(HA::GP::FilePath::eDrive::With);
}

}  // namespace

TEST(FolderTags, TablesComeFromThePlatformAndLeaveOutMissingFolders)
{
    const std::string documents = specialFolder(HA::OS::CSIDL_PERSONAL);  // ends with '\'
    const std::string music = specialFolder(HA::OS::CSIDL_MYMUSIC);
    if (documents.empty() || music.empty())
        GTEST_SKIP() << "no home folder";
    const std::string text = documents + "Sub\\file.txt";
    EXPECT_EQ(HA::GP::DETAIL::makeSpecialFolderTags().apply(text), "[Documents]\\Sub\\file.txt");
    EXPECT_EQ(HA::GP::DETAIL::makeKnownFolderTags().apply(music + "a.mp3"), "[Music]\\a.mp3");
    {
        HA::OS::FolderFailureScope fail({HA::OS::CSIDL_PERSONAL}, {HA::OS::FOLDERID_Music});
        EXPECT_NE(HA::GP::DETAIL::makeSpecialFolderTags().apply(text), "[Documents]\\Sub\\file.txt");
        EXPECT_NE(HA::GP::DETAIL::makeKnownFolderTags().apply(music + "a.mp3"), "[Music]\\a.mp3");
    }
    {
        HA::OS::FolderFailureScope failAll;
        EXPECT_EQ(HA::GP::DETAIL::makeSpecialFolderTags().size(), 0u);
        EXPECT_EQ(HA::GP::DETAIL::makeKnownFolderTags().size(), 0u);  // and nothing throws
    }

    struct Case {
        int mode;
        std::string text;
        std::string result;
    };
    const Case cases[] = {
        {4, text, "[Documents]\\Sub\\file.txt"},
        {4, documents + "Sub\\", "[Documents]\\Sub\\"},
        {6, documents + "Sub\\", "[Documents]\\Sub"},
        {8, music + "a.mp3", "[Music]\\a.mp3"},
        {3, music + "a.mp3", music + "a.mp3"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(abbreviate(c.mode, c.text, 1000, "..."), c.result) << c.mode << " " << c.text;
    // The tag shortens the path before it is cut around its first and last components.
    EXPECT_EQ(abbreviate(4, documents + "one\\two\\three\\name.txt", 26, "..."), "[Documents]\\...\\name.txt");
}
