#include "hxl2/DeviceLog.h"

#include <gtest/gtest.h>

#include <sstream>

#include "os/kernel/Debug.h"
#include "os/kernel/EventLog.h"

using namespace HA;
using namespace HA::HXL2;

namespace {

class DeviceLogFixture : public ::testing::Test {
protected:
    OS::DebugOutputCapture capture;
    void TearDown() override
    {
        logStreams = {};
        logVerbosity = 2;
        OS::setDebuggerPresent(false);
        std::lock_guard<std::mutex> lock(logMutex);
        logCategories.clear();
    }
};

}  // namespace

TEST_F(DeviceLogFixture, DebuggerOutputOnlyWhenAttached)
{
    logPrintf(2, "%s: Unsupported wTransferSize (%d)\n", "DFUDevice", 8192);
    EXPECT_EQ(capture.text(), "");
    OS::setDebuggerPresent(true);
    logPrintf(2, "%s: Unsupported wTransferSize (%d)\n", "DFUDevice", 8192);
    EXPECT_EQ(capture.text(), "DFUDevice: Unsupported wTransferSize (8192)\n");
}

TEST_F(DeviceLogFixture, StreamOfTheVerbosityGetsTheMessageCut)
{
    std::ostringstream verbosity2, verbosity1;
    logStreams[2] = &verbosity2;
    logStreams[1] = &verbosity1;
    const std::string longText(2000, 'x');
    logPrintf(1, "%s", longText.c_str());
    EXPECT_EQ(verbosity2.str(), std::string(1023, 'x'));
    EXPECT_EQ(verbosity1.str(), "");
    logVerbosity = 7;  // no stream for it: nothing written, nothing read past the table
    logPrintf(1, "more");
    EXPECT_EQ(verbosity2.str().size(), 1023u);
}

TEST_F(DeviceLogFixture, Categories)
{
    EXPECT_FALSE(isLogCategoryEnabled("USBDevice"));
    {
        std::lock_guard<std::mutex> lock(logMutex);
        logCategories.insert("USBDevice");
    }
    EXPECT_TRUE(isLogCategoryEnabled("USBDevice"));
    EXPECT_FALSE(isLogCategoryEnabled("DFUDevice"));
}

TEST_F(DeviceLogFixture, EventLogGetsLevelsTwoAndThreeWithoutAStream)
{
    OS::clearEventLogReports();
    logEventSource = OS::registerEventSource("HXL2");
    logPrintf(1, "one");
    logPrintf(2, "two %d", 2);
    logPrintf(3, "three");
    std::ostringstream stream;
    logStreams[2] = &stream;
    logPrintf(2, "streamed");
    const std::vector<OS::EventLogReport> reports = OS::eventLogReports();
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_EQ(reports[0].eventId, 0xC0000102u);
    EXPECT_EQ(reports[0].strings, std::vector<std::string>{"two 2"});
    EXPECT_EQ(reports[0].type, OS::EVENTLOG_ERROR_TYPE);
    EXPECT_EQ(reports[1].eventId, 0xC0000103u);
    EXPECT_EQ(stream.str(), "streamed");
    OS::deregisterEventSource(logEventSource);
    logEventSource = nullptr;
    OS::clearEventLogReports();
}
