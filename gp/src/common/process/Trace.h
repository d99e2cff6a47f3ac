#pragma once
// Trace output by channel tags. A tag that starts with '+' is always on; other tags depend
// on the trace mode and the enabled channels (mode 0, the default, turns them all off).
// Lines go to the debugger output. Any thread.

#include <string>
#include <string_view>

namespace HA::GP {

// Writes "tag: message\n" (the tag without one leading '+' or '-'; just the message for an
// empty tag) when the tag's channel is on.
void trace(const char* tag, std::string_view message);

// True for a null or empty tag and a tag starting with '+'. Otherwise mode 0: false;
// mode 1: the tag (one leading '-' dropped) must be an enabled channel; mode 2: true
// unless the tag starts with '-', then as mode 1. A channel enables the tag equal to it
// and every tag that continues it after a '.'.
bool isTraceChannelEnabled(const char* tag);

namespace DETAIL {

void setTraceMode(int mode);
// Adds a channel (empty ones are ignored).
void enableTraceChannel(const std::string& channel);
// Drops every enabled channel (library shut-down).
void clearTraceChannels();

}  // namespace DETAIL

}  // namespace HA::GP
