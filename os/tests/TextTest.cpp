#include "os/kernel/Debug.h"
#include "os/kernel/Process.h"
#include "os/kernel/Text.h"

#include <gtest/gtest.h>

using namespace HA::OS;

TEST(StandInText, RoundTripsAndRepairs)
{
    struct Case {
        std::string utf8;
        WString utf16;
    };
    const Case cases[] = {
        {"", u""},
        {"abc", u"abc"},
        {"\xC3\xA4\xE2\x82\xAC", u"\u00E4\u20AC"},
        {"\xF0\x9F\x8E\xB5", u"\U0001F3B5"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(utf8ToUtf16(c.utf8), c.utf16);
        EXPECT_EQ(utf16ToUtf8(c.utf16), c.utf8);
    }
    EXPECT_EQ(utf8ToUtf16("a\x80z"), u"a\uFFFDz");
    EXPECT_EQ(utf8ToUtf16("\xE2\x82"), u"\uFFFD\uFFFD");
    EXPECT_EQ(utf16ToUtf8(u"\xD800x"), "\xEF\xBF\xBDx");
}

TEST(StandInText, CaseOfOneUnitUsesTheSimpleMapping)
{
    EXPECT_EQ(charUpper(u'a'), u'A');
    EXPECT_EQ(charUpper(u'1'), u'1');
    EXPECT_EQ(charUpper(u'\u00E4'), u'\u00C4');
    EXPECT_EQ(charUpper(u'\u00DF'), u'\u00DF');  // sharp s has no single-character upper case
    EXPECT_EQ(charUpper(u'\u03B1'), u'\u0391');
    EXPECT_EQ(charLower(u'A'), u'a');
    EXPECT_EQ(charLower(u'{'), u'{');
    EXPECT_EQ(charLower(u'\u00C4'), u'\u00E4');
    EXPECT_EQ(charLower(u'\u0391'), u'\u03B1');
}

TEST(StandInText, NamesCompareWithoutRegardToCase)
{
    struct Case {
        WString a, b;
        bool same;
    };
    const Case cases[] = {
        {u"", u"", true},
        {u"Static", u"STATIC", true},
        {u"\\?\hid#Vid_1209", u"\\?\HID#VID_1209", true},
        {u"\u00E4rger", u"\u00C4RGER", true},
        {u"stra\u00DFe", u"STRASSE", false},  // no single-unit upper case: the lengths differ
        {u"Static", u"Statik", false},
        {u"Static", u"Static2", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(equalIgnoringCase(c.a, c.b), c.same) << utf16ToUtf8(c.a) << " / " << utf16ToUtf8(c.b);
        EXPECT_EQ(foldCase(c.a) == foldCase(c.b), c.same) << utf16ToUtf8(c.a) << " / " << utf16ToUtf8(c.b);
    }
    EXPECT_EQ(foldCase(u"Vireo \u00e4\u03b1"), u"VIREO \u00C4\u0391");
}

TEST(StandInText, AppendsTheUtf8OfACodePoint)
{
    struct Case {
        char32_t codePoint;
        std::string bytes;
    };
    const Case cases[] = {
        {0x41, "A"},          {0x7F, "\x7F"},         {0x80, "\xC2\x80"},         {0x7FF, "\xDF\xBF"},
        {0x800, "\xE0\xA0\x80"}, {0xFFFD, "\xEF\xBF\xBD"}, {0x10000, "\xF0\x90\x80\x80"},
        {0x10FFFF, "\xF4\x8F\xBF\xBF"},
    };
    for (const Case& c : cases) {
        std::string out = "x";
        appendUtf8(out, c.codePoint);
        EXPECT_EQ(out, "x" + c.bytes) << std::hex << static_cast<std::uint32_t>(c.codePoint);
    }
}

TEST(StandInDebug, CaptureCollectsOutput)
{
    DebugOutputCapture capture;
    outputDebugString("tag: one\n");
    outputDebugStringW(u"two\n");
    EXPECT_EQ(capture.lines(), (std::vector<std::string>{"tag: one\n", "two\n"}));
    EXPECT_EQ(capture.text(), "tag: one\ntwo\n");
}

TEST(StandInProcess, ModuleFileNameAndEnvironment)
{
    EXPECT_FALSE(moduleFileName().empty());
    setModuleFileNameOverride("/opt/x/updater.exe");
    EXPECT_EQ(moduleFileName(), "/opt/x/updater.exe");
    setModuleFileNameOverride("");
    setEnvironmentVariable("HA_OS_TEST_VAR", std::string("v"));
    EXPECT_EQ(getEnvironmentVariable("HA_OS_TEST_VAR"), std::optional<std::string>("v"));
    setEnvironmentVariable("HA_OS_TEST_VAR", std::nullopt);
    EXPECT_FALSE(getEnvironmentVariable("HA_OS_TEST_VAR"));
}
