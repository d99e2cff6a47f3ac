#include "os/kernel/EventLog.h"

#include <gtest/gtest.h>

#include "os/kernel/Errors.h"
#include "os/kernel/Kernel.h"

using namespace HA::OS;

TEST(EventLog, ReportsAreKeptWithTheirSource)
{
    clearEventLogReports();
    HANDLE source = registerEventSource("VireoUpdater");
    ASSERT_NE(source, nullptr);
    EXPECT_TRUE(reportEvent(source, EVENTLOG_ERROR_TYPE, 0, 0xC0000102, {"message"}));
    const std::vector<EventLogReport> reports = eventLogReports();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].sourceName, "VireoUpdater");
    EXPECT_EQ(reports[0].type, EVENTLOG_ERROR_TYPE);
    EXPECT_EQ(reports[0].eventId, 0xC0000102u);
    EXPECT_EQ(reports[0].strings, std::vector<std::string>{"message"});

    EXPECT_TRUE(deregisterEventSource(source));
    EXPECT_FALSE(reportEvent(source, EVENTLOG_ERROR_TYPE, 0, 1, {}));
    EXPECT_EQ(getLastError(), ERROR_INVALID_HANDLE);
    HANDLE event = createEvent(eReset::Manual, false);
    EXPECT_FALSE(reportEvent(event, EVENTLOG_ERROR_TYPE, 0, 1, {}));  // not an event source
    EXPECT_FALSE(deregisterEventSource(event));
    closeHandle(event);
    EXPECT_EQ(registerEventSource(""), nullptr);
    EXPECT_EQ(eventLogReports().size(), 1u);
    clearEventLogReports();
}
