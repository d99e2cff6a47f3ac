#include "gp/src/common/process/PlatformServices.h"
#include "gp/src/common/process/Settings.h"

#include <limits>

#include <gtest/gtest.h>

#include "os/kernel/Clock.h"
#include "os/shell/Shell.h"

using namespace HA;
using namespace HA::GP;

TEST(PlatformServices, OpenWithShell)
{
    OS::clearShellOpenRecords();
    {
        OS::ShellOpenScope shell(42);
        EXPECT_FALSE(openWithShell(nullptr));
        EXPECT_TRUE(OS::shellOpenRecords().empty());
        EXPECT_TRUE(openWithShell("https://example.org/help"));
    }
    {
        OS::ShellOpenScope shell(OS::SE_ERR_NOASSOC);
        EXPECT_FALSE(openWithShell("C:\\missing.txt"));
    }
    auto records = OS::shellOpenRecords();
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].verb, "open");
    EXPECT_EQ(records[0].file, "https://example.org/help");
    EXPECT_EQ(records[0].parameters, "");
    EXPECT_EQ(records[0].directory, "");
    EXPECT_EQ(records[0].show, OS::SW_SHOWNORMAL);
    EXPECT_EQ(records[1].file, "C:\\missing.txt");
}

TEST(PlatformServices, TicksToMillisecondsNeverOverflows)
{
    constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
    constexpr std::uint64_t kU64Max = std::numeric_limits<std::uint64_t>::max();
    struct Case {
        std::int64_t ticks, frequency;
        std::uint64_t ms;
    };
    const Case cases[] = {
        {10'000'000, 10'000'000, 1000},
        {9'999, 10'000'000, 0},
        {10'000, 10'000'000, 1},
        {0, 10'000'000, 0},
        {-5, 10'000'000, 0},
        {kMax, 10'000'000, 922'337'203'685'477u},  // 29,000 years of ticks, no wrap
        {kMax, 1'000'000'000, 9'223'372'036'854u},
        {kMax, 1, kU64Max},  // saturates
        {100, 0, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(DETAIL::ticksToMilliseconds(c.ticks, c.frequency), c.ms) << c.ticks << " / " << c.frequency;

    EXPECT_EQ(ticksToMilliseconds(OS::Clock::performanceFrequency()), 1000u);
    OS::ManualClockScope clock(5000);
    std::int64_t start = performanceCounter();
    OS::Clock::sleep(250);
    EXPECT_EQ(ticksToMilliseconds(performanceCounter() - start), 250u);
}

namespace {

class FakeStore : public SettingsStore {
public:
    explicit FakeStore(int* closes) : mCloses(closes) {}
    bool read(const std::string& key, std::string& value, int kind) override
    {
        if (key != "Locale" || kind != 2)
            return false;
        value = "FRA";
        return true;
    }
    void close() override { ++*mCloses; }

private:
    int* mCloses;
};

}  // namespace

TEST(Settings, ReadWithAndWithoutAStore)
{
    std::string value = "old";
    EXPECT_FALSE(readSetting("Locale", "", value, 2));
    EXPECT_EQ(value, "");
    EXPECT_FALSE(readSetting(nullptr, nullptr, value, 2));
    EXPECT_EQ(value, "");

    int closes = 0;
    DETAIL::installSettingsStore(std::make_unique<FakeStore>(&closes));
    EXPECT_TRUE(readSetting("Locale", "ENG", value, 2));
    EXPECT_EQ(value, "FRA");
    EXPECT_FALSE(readSetting("Other", "ENG", value, 2));
    EXPECT_EQ(value, "ENG");

    EXPECT_TRUE(closeSettings());
    EXPECT_EQ(closes, 1);
    EXPECT_TRUE(closeSettings());
    EXPECT_EQ(closes, 1);
    EXPECT_FALSE(readSetting("Locale", "ENG", value, 2));
}
