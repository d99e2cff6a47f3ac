#include "gp/src/common/process/Trace.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "os/kernel/Debug.h"

using namespace HA;
using namespace HA::GP;
using ::testing::ElementsAre;

namespace {

class TraceTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        DETAIL::setTraceMode(0);
        DETAIL::clearTraceChannels();
    }
};

}  // namespace

TEST_F(TraceTest, ChannelsByMode)
{
    DETAIL::enableTraceChannel("GP.Volume");
    DETAIL::enableTraceChannel("");
    struct Case {
        int mode;
        const char* tag;
        bool enabled;
    };
    const Case cases[] = {
        {0, nullptr, true},          {0, "", true},               {0, "+Anything", true},
        {0, "GP.Volume", false},     {0, "-GP.Volume", false},    {1, "GP.Volume", true},
        {1, "GP.Volume.scan", true}, {1, "-GP.Volume.scan", true}, {1, "GP.VolumeInfo", false},
        {1, "GP", false},            {1, "Other", false},         {2, "Other", true},
        {2, "-Other", false},        {2, "-GP.Volume.x", true},   {2, "--GP.Volume", false},
    };
    for (const Case& c : cases) {
        DETAIL::setTraceMode(c.mode);
        EXPECT_EQ(isTraceChannelEnabled(c.tag), c.enabled) << c.mode << " " << (c.tag ? c.tag : "null");
    }
}

TEST_F(TraceTest, LinesOnTheDebuggerOutput)
{
    OS::DebugOutputCapture debug;
    trace("Plain", "hidden");
    trace("+GP.VolumeInfo.rescanInternal", "unknown DriveType: 9");
    trace("", "just the message");
    trace(nullptr, "no tag");
    trace("+", "lone plus");
    trace("+\xC3\x9C", "\xE2\x82\xAC 5");
    EXPECT_THAT(debug.lines(), ElementsAre("GP.VolumeInfo.rescanInternal: unknown DriveType: 9\n",
                                           "just the message\n", "no tag\n", "lone plus\n",
                                           "\xC3\x9C: \xE2\x82\xAC 5\n"));
}
