#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "os/display/Presenter.h"
#include "os/kernel/Clock.h"

using namespace HA::OS;

namespace {

// Sets an environment variable for the life of the object (null: unset) and restores it.
class EnvironmentScope {
public:
    EnvironmentScope(const char* name, const char* value) : mName(name)
    {
        if (const char* old = std::getenv(name))
            mOld = old;
        if (value)
            setenv(name, value, 1);
        else
            unsetenv(name);
    }
    ~EnvironmentScope()
    {
        if (mOld)
            setenv(mName.c_str(), mOld->c_str(), 1);
        else
            unsetenv(mName.c_str());
    }

private:
    std::string mName;
    std::optional<std::string> mOld;
};

struct StartRow {
    const char* name;
    bool manualClock;
    const char* presenter;  // HA_OS_PRESENTER
    const char* x;          // DISPLAY
    const char* wayland;    // WAYLAND_DISPLAY
    const char* line;       // what standard error says
};

// Every road that stays headless without touching a display; the one that starts is the
// smoke test's.
TEST(PresenterStart, StaysHeadlessWithOneLineOnStandardError)
{
    const std::vector<StartRow> rows = {
        {"manual clock", true, nullptr, ":0", nullptr, "os: no display under the manual clock; the windows stay headless\n"},
        {"switched off", false, "0", ":0", "wayland-0", "os: HA_OS_PRESENTER is 0; the windows stay headless\n"},
        {"no display", false, "1", nullptr, nullptr,
         "os: no display (neither DISPLAY nor WAYLAND_DISPLAY is set); the windows stay headless\n"},
        {"empty display", false, nullptr, "", "", "os: no display (neither DISPLAY nor WAYLAND_DISPLAY is set); the windows stay headless\n"},
    };
    for (const StartRow& row : rows) {
        EnvironmentScope presenter("HA_OS_PRESENTER", row.presenter);
        EnvironmentScope x("DISPLAY", row.x);
        EnvironmentScope wayland("WAYLAND_DISPLAY", row.wayland);
        std::optional<ManualClockScope> clock;
        if (row.manualClock)
            clock.emplace();
        ::testing::internal::CaptureStderr();
        EXPECT_FALSE(startPresenter()) << row.name;
        EXPECT_EQ(::testing::internal::GetCapturedStderr(), row.line) << row.name;
        EXPECT_FALSE(presenterRunning()) << row.name;
        EXPECT_FALSE(displayWanted()) << row.name;
    }
}

TEST(PresenterStart, ADisplayIsWantedOnlyWhenNamedUnderTheSteadyClock)
{
    struct Row {
        const char* presenter;
        const char* x;
        const char* wayland;
        bool wanted;
    };
    const std::vector<Row> rows = {
        {nullptr, ":0", nullptr, true},  {"1", nullptr, "wayland-0", true}, {"0", ":0", nullptr, false},
        {nullptr, "", "", false},        {nullptr, nullptr, nullptr, false},
    };
    for (const Row& row : rows) {
        EnvironmentScope presenter("HA_OS_PRESENTER", row.presenter);
        EnvironmentScope x("DISPLAY", row.x);
        EnvironmentScope wayland("WAYLAND_DISPLAY", row.wayland);
        EXPECT_EQ(displayWanted(), row.wanted) << (row.x ? row.x : "-") << " " << (row.wayland ? row.wayland : "-");
        ManualClockScope clock;
        EXPECT_FALSE(displayWanted()) << "never under the manual clock";
    }
}

}  // namespace

namespace {

// A display that is named but not there: the text names it with the display library's
// reason, and nothing else is said.
TEST(PresenterStart, ANamedDisplayThatDoesNotOpenIsNamedWithItsReason)
{
    struct Row {
        const char* x;
        const char* wayland;
        const char* driver;   // SDL_VIDEODRIVER
        std::string failure;  // how it begins
    };
    const std::string runtime = ::testing::TempDir();
    const std::vector<Row> rows = {
        {":1999", nullptr, nullptr, "the display DISPLAY=\":1999\" does not open (x11: no connection to its X server: "},
        {"no such display", nullptr, nullptr,
         "the display DISPLAY=\"no such display\" does not open (x11: Xlib cannot read it as a display name)"},
        {nullptr, "ha-no-such-wayland", nullptr,
         "the display WAYLAND_DISPLAY=\"ha-no-such-wayland\" does not open (wayland: no connection to its "
         "compositor: No such file or directory)"},
        // Both named: X first, unless the display library's driver setting names Wayland.
        {":1999", "ha-no-such-wayland", nullptr,
         "neither display DISPLAY=\":1999\" nor WAYLAND_DISPLAY=\"ha-no-such-wayland\" opens (x11: no connection to "
         "its X server: "},
        {":1999", "ha-no-such-wayland", "x11",
         "neither display DISPLAY=\":1999\" nor WAYLAND_DISPLAY=\"ha-no-such-wayland\" opens (x11: no connection to "
         "its X server: "},
        {":1999", "ha-no-such-wayland", "wayland",
         "neither display WAYLAND_DISPLAY=\"ha-no-such-wayland\" nor DISPLAY=\":1999\" opens (wayland: no connection "
         "to its compositor: No such file or directory; x11: no connection to its X server: "},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.failure);
        EnvironmentScope presenter("HA_OS_PRESENTER", nullptr);
        EnvironmentScope x("DISPLAY", row.x);
        EnvironmentScope wayland("WAYLAND_DISPLAY", row.wayland);
        EnvironmentScope driver("SDL_VIDEODRIVER", row.driver);
        EnvironmentScope folder("XDG_RUNTIME_DIR", runtime.c_str());
        ASSERT_TRUE(displayWanted());
        std::string failure;
        ::testing::internal::CaptureStderr();
        EXPECT_FALSE(startPresenter(&failure));
        EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
        EXPECT_EQ(failure.substr(0, row.failure.size()), row.failure) << failure;
        EXPECT_EQ(failure.back(), ')');
        EXPECT_FALSE(presenterRunning());

        ::testing::internal::CaptureStderr();
        EXPECT_FALSE(startPresenter());
        EXPECT_EQ(::testing::internal::GetCapturedStderr(), "os: " + failure + "; the windows stay headless\n");
    }
}

}  // namespace
