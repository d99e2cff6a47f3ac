#include "os/kernel/CommandLine.h"

#include <gtest/gtest.h>

#include <vector>

#include "os/kernel/Text.h"

using namespace HA::OS;

TEST(CommandLine, SplitsWithTheProgramNameFirst)
{
    struct Case {
        WString line;
        std::vector<WString> args;
    };
    const std::vector<Case> cases = {
        {u"prog", {u"prog"}},
        {u"prog a b", {u"prog", u"a", u"b"}},
        {u"  prog\ta  \t b ", {u"", u"prog", u"a", u"b"}},
        {u"\"C:\\Program Files\\prog.exe\" x", {u"C:\\Program Files\\prog.exe", u"x"}},
        {u"prog \"a b\" c", {u"prog", u"a b", u"c"}},
        {u"prog a\\\\b", {u"prog", u"a\\\\b"}},
        {u"prog a\\\"b", {u"prog", u"a\"b"}},
        {u"prog \"a\\\\\" b", {u"prog", u"a\\", u"b"}},
        {u"prog \"a\"\"b\"", {u"prog", u"a\"b"}},
        {u"prog \"unterminated arg", {u"prog", u"unterminated arg"}},
        {u"prog \"\"", {u"prog", u""}},
        {u"", {u""}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(commandLineToArgv(c.line), c.args) << utf16ToUtf8(c.line);
}

TEST(CommandLine, MainsArgumentsComeBackFromTheSplit)
{
    const char* argv[] = {"/opt/vireo/updater", "/home/user/My Firmware.bin", "quote\"d", "back\\slash\\", ""};
    setCommandLine(5, argv);
    const std::vector<WString> args = commandLineToArgv(getCommandLine());
    ASSERT_EQ(args.size(), 5u);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(utf16ToUtf8(args[static_cast<size_t>(i)]), argv[i]);
    setCommandLineText(u"test \"a path\"");
    EXPECT_EQ(commandLineToArgv(getCommandLine()), (std::vector<WString>{u"test", u"a path"}));
    setCommandLineText(u"");
    // The process's own: this test program's name first.
    const std::vector<WString> own = commandLineToArgv(getCommandLine());
    ASSERT_FALSE(own.empty());
    EXPECT_NE(utf16ToUtf8(own[0]).find("os_tests"), std::string::npos);
}
