#include "hxl2/DeviceLog.h"

#include <cstdarg>
#include <cstdio>

#include "os/kernel/Debug.h"
#include "os/kernel/EventLog.h"

namespace HA::HXL2 {

std::uint32_t logVerbosity = 2;
std::array<std::ostream*, 4> logStreams = {};
std::set<std::string> logCategories;
std::mutex logMutex;
OS::HANDLE logEventSource = nullptr;

void logPrintf(std::uint8_t level, const char* format, ...)
{
    char message[1024];
    va_list args;
    va_start(args, format);
    int written = std::vsnprintf(message, sizeof message, format, args);
    va_end(args);
    if (written < 0)
        message[0] = '\0';

    std::ostream* stream = logVerbosity < logStreams.size() ? logStreams[logVerbosity] : nullptr;
    if (stream != nullptr) {
        std::lock_guard<std::mutex> lock(logMutex);
        *stream << message;
        stream->flush();
    }
    if (OS::isDebuggerPresent())
        OS::outputDebugString(message);
    if (stream == nullptr && (level == 2 || level == 3) && logEventSource != nullptr)
        OS::reportEvent(logEventSource, OS::EVENTLOG_ERROR_TYPE, 0, level == 2 ? 0xC0000102u : 0xC0000103u,
                        {message});
}

bool isLogCategoryEnabled(const std::string& category)
{
    std::lock_guard<std::mutex> lock(logMutex);
    return logCategories.count(category) != 0;
}

}  // namespace HA::HXL2
