#include "gp/src/common/process/Trace.h"

#include <atomic>
#include <mutex>
#include <set>

#include "gp/src/common/text/Utf8.h"
#include "os/kernel/Debug.h"

namespace HA::GP {

namespace {

std::atomic<int> gMode{0};
std::mutex gMutex;
std::set<std::string> gChannels;

bool channelEnabled(std::string_view tag)
{
    std::lock_guard<std::mutex> lock(gMutex);
    for (const std::string& c : gChannels) {
        if (tag.size() >= c.size() && tag.compare(0, c.size(), c) == 0 &&
            (tag.size() == c.size() || tag[c.size()] == '.'))
            return true;
    }
    return false;
}

}  // namespace

bool isTraceChannelEnabled(const char* tag)
{
    if (tag == nullptr || tag[0] == '\0' || tag[0] == '+')
        return true;
    std::string_view t(tag);
    switch (gMode.load()) {
    case 1:
        if (t[0] == '-')
            t.remove_prefix(1);
        return channelEnabled(t);
    case 2:
        if (t[0] != '-')
            return true;
        t.remove_prefix(1);
        return channelEnabled(t);
    default:
        return false;
    }
}

void trace(const char* tag, std::string_view message)
{
    if (!isTraceChannelEnabled(tag))
        return;
    std::string line;
    std::string_view t(tag ? tag : "");
    if (!t.empty() && (t[0] == '+' || t[0] == '-'))
        t.remove_prefix(1);
    if (!t.empty()) {
        line.append(t);
        line += ": ";
    }
    line.append(message);
    line += '\n';
    OS::outputDebugStringW(toUtf16(line));
}

namespace DETAIL {

void setTraceMode(int mode) { gMode = mode; }

void enableTraceChannel(const std::string& channel)
{
    if (channel.empty())
        return;
    std::lock_guard<std::mutex> lock(gMutex);
    gChannels.insert(channel);
}

void clearTraceChannels()
{
    std::lock_guard<std::mutex> lock(gMutex);
    gChannels.clear();
}

}  // namespace DETAIL

}  // namespace HA::GP
