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
