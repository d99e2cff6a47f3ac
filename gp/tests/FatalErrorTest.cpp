#include "gp/src/common/files/FileType.h"
#include "gp/src/common/library/Init.h"
#include "gp/src/common/process/FatalError.h"

#include <cstdio>
#include <string>
#include <thread>
#include <unistd.h>

#include <gtest/gtest.h>

#include "os/windows/messagebox/MessageBox.h"

using namespace HA;
using namespace HA::GP;
using ::testing::ExitedWithCode;

namespace {

// Prints the box the report showed, so that the parent can read it from the child's output.
void printShownBox()
{
    auto records = OS::messageBoxRecords();
    if (records.empty()) {
        std::fprintf(stderr, "NO BOX\n");
        return;
    }
    const OS::MessageBoxRecord& r = records.back();
    std::fprintf(stderr, "BOX caption=<%s> length=%zu type=%u text=<%s>\n", r.captionUtf8().c_str(),
                 r.textUtf8().size(), r.type, r.textUtf8().c_str());
}

void reenter() { fatalError("inner.cpp", 2, "from inside the report"); }

// A second thread's fatal error arrives while the box is up; it must neither report nor
// go on.
void raceAnotherThread()
{
    std::thread([] {
        fatalError("other.cpp", 3, "second");
        std::fprintf(stderr, "OTHER THREAD WENT ON\n");
    }).detach();
    while (DETAIL::fatalErrorsWaiting() == 0)
        std::this_thread::yield();
}

void printBoxCount() { std::fprintf(stderr, "BOXES=%zu\n", OS::messageBoxRecords().size()); }

// Ends the process with another code if static destructors run.
struct ExitsFromItsDestructor {
    ~ExitsFromItsDestructor() { ::_exit(3); }
};

class FatalErrorDeathTest : public ::testing::Test {
protected:
    void SetUp() override { GTEST_FLAG_SET(death_test_style, "threadsafe"); }
};

}  // namespace

TEST_F(FatalErrorDeathTest, ReportsInABoxAndExitsWithCodeOne)
{
    const std::string box = "BOX caption=<Harnwick Acoustics> length=24 type=" +
                            std::to_string(OS::MB_OK | OS::MB_TASKMODAL | OS::MB_SETFOREGROUND) +
                            " text=<Error a/b.cpp:12\n\nbroken>";
    EXPECT_EXIT(
        {
            DETAIL::setFatalErrorHooks(nullptr, &printShownBox);
            fatalError("a/b.cpp", 12, "broken");
        },
        ExitedWithCode(1), box);
}

TEST_F(FatalErrorDeathTest, TextsThatCannotBeShown)
{
    struct Case {
        const char* name;
        const char* file;
        const char* text;
        const char* shown;
    };
    static const std::string unterminated(2000, 'x');  // no NUL in the first 1024 bytes
    const Case cases[] = {
        {"no text", "f.cpp", nullptr, "text=<Error f.cpp:7>"},
        {"missing file name", nullptr, "t", "text=<Error :7\n\nt>"},
        {"8-bit text", "f.cpp", "caf\xC3\xA9", "text=<Error f.cpp:7>"},
        {"8-bit file name", "\xC3\xA9.cpp", "t", "text=<Error :7\n\nt>"},
        {"2000 characters", "f.cpp", unterminated.c_str(), "text=<Error f.cpp:7>"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EXIT(
            {
                DETAIL::setFatalErrorHooks(nullptr, &printShownBox);
                fatalError(c.file, 7, c.text);
            },
            ExitedWithCode(1), c.shown);
    }
}

TEST_F(FatalErrorDeathTest, ALongTextIsCut)
{
    // Within the 1024 bytes a text may have, but too long for the box with its heading.
    static const std::string text(1020, 'y');
    EXPECT_EXIT(
        {
            DETAIL::setFatalErrorHooks(nullptr, &printShownBox);
            fatalError("f.cpp", 1, text.c_str());
        },
        ExitedWithCode(1), "length=1023 type=[0-9]+ text=<Error f.cpp:1\n\nyyyy");
}

TEST_F(FatalErrorDeathTest, ReentryOnTheReportingThreadEndsAtOnce)
{
    EXPECT_EXIT(
        {
            DETAIL::setFatalErrorHooks(&reenter, &printShownBox);
            fatalError("outer.cpp", 1, "first");
        },
        ExitedWithCode(1), "^$");
}

TEST_F(FatalErrorDeathTest, AConcurrentFatalErrorWaitsWithoutReporting)
{
    EXPECT_EXIT(
        {
            DETAIL::setFatalErrorHooks(&raceAnotherThread, &printBoxCount);
            fatalError("first.cpp", 1, "first");
        },
        ExitedWithCode(1), "^\\[message box\\] Harnwick Acoustics: Error first.cpp:1\n\nfirst \\[OK\\] -> OK\nBOXES=1\n$");
}

TEST_F(FatalErrorDeathTest, StaticDestructorsDoNotRun)
{
    EXPECT_EXIT(
        {
            static ExitsFromItsDestructor guard;
            (void)guard;
            fatalError("f.cpp", 1, nullptr);
        },
        ExitedWithCode(1), "");
}

TEST_F(FatalErrorDeathTest, StartingTwiceIsFatal)
{
    EXPECT_EXIT(
        {
            DETAIL::setFatalErrorHooks(nullptr, &printShownBox);
            init(fourCC("VIRO"), "VIREO INTERFACE UPDATER");
            init(fourCC("VIRO"), "VIREO INTERFACE UPDATER");
        },
        ExitedWithCode(1), "caption=<VIREO INTERFACE UPDATER> length=[0-9]+ type=[0-9]+ text=<Error gp/src/common/init_gp:58>");
}

TEST(FatalError, ThrowsWhenToldTo)
{
    DETAIL::setFatalErrorThrows(true);
    try {
        fatalError("x.cpp", 5, "why");
        ADD_FAILURE() << "no throw";
    } catch (const Assertion::exception& e) {
        EXPECT_STREQ(e.what(), "Assertion in x.cpp:5 why");
        EXPECT_STREQ(e.file(), "x.cpp");
        EXPECT_EQ(e.line(), 5);
        EXPECT_STREQ(e.text(), "why");
    }
    try {
        fatalError("x.cpp", 6, "\xFF");
    } catch (const Assertion::exception& e) {
        EXPECT_STREQ(e.what(), "Assertion in x.cpp:6");
        EXPECT_EQ(e.text(), nullptr);
    }
    DETAIL::setFatalErrorThrows(false);
}
