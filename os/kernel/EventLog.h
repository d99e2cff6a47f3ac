#pragma once
// The platform's event log: event sources by name and the reports written through them.
// Reports stay in memory for the life of the process, so tests can read them back.

#include <string>
#include <vector>

#include "os/kernel/Types.h"

namespace HA::OS {

constexpr WORD EVENTLOG_ERROR_TYPE = 0x0001;

struct EventLogReport {
    std::string sourceName;
    WORD type = 0;
    WORD category = 0;
    DWORD eventId = 0;
    std::vector<std::string> strings;
};

// A handle to report through (close it with deregisterEventSource); null with
// ERROR_INVALID_PARAMETER for an empty name.
HANDLE registerEventSource(const std::string& sourceName);
bool deregisterEventSource(HANDLE source);

// Writes one report (the ANSI form: strings in the process code page, UTF-8 here). False
// with ERROR_INVALID_HANDLE for a handle that is not an event source.
bool reportEvent(HANDLE source, WORD type, WORD category, DWORD eventId, const std::vector<std::string>& strings);

// Every report written so far, oldest first (tests).
std::vector<EventLogReport> eventLogReports();
void clearEventLogReports();

}  // namespace HA::OS
