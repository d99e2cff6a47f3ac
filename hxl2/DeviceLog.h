#pragma once
// The device log: messages of the device layer by level, written to the stream of the current
// verbosity, to the debugger output when a debugger is attached, and to the event log for
// levels 2 and 3 when no stream is set. Call sites decide by level and category whether a
// message is written at all.

#include <array>
#include <cstdint>
#include <mutex>
#include <ostream>
#include <set>
#include <string>

#include "os/kernel/Types.h"

namespace HA::HXL2 {

// Messages of a level at or above it are written by their call sites; 2 in this program.
extern std::uint32_t logVerbosity;
// Output streams indexed by the verbosity; all null in this program.
extern std::array<std::ostream*, 4> logStreams;
// Categories whose level-1 messages are written; empty in this program. Guarded by logMutex.
extern std::set<std::string> logCategories;
// Serialises writes to the log streams and changes of the category set.
extern std::mutex logMutex;
// An event-log source; null in this program.
extern OS::HANDLE logEventSource;

// Formats by printf rules (cut to 1023 characters) and writes the message. Any thread.
void logPrintf(std::uint8_t level, const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 2, 3)))
#endif
    ;

bool isLogCategoryEnabled(const std::string& category);

}  // namespace HA::HXL2
