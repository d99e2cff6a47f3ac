#pragma once
// The debugger-output channel of the platform and its debugger-present flag.
// Output reaches the sink that a test installs, or, without one, standard error while a
// debugger counts as attached (HA_OS_DEBUGGER=1 in the environment sets the flag at start).

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "os/kernel/Types.h"

namespace HA::OS {

void outputDebugString(std::string_view text);
void outputDebugStringW(const WString& text);

bool isDebuggerPresent();
void setDebuggerPresent(bool present);

// Replaces the sink; returns the previous one. An empty sink restores the default.
using DebugSink = std::function<void(const std::string& text)>;
DebugSink setDebugOutputSink(DebugSink sink);

// Collects every debug output string while it lives (tests).
class DebugOutputCapture {
public:
    DebugOutputCapture();
    ~DebugOutputCapture();
    DebugOutputCapture(const DebugOutputCapture&) = delete;
    DebugOutputCapture& operator=(const DebugOutputCapture&) = delete;

    std::vector<std::string> lines() const;
    std::string text() const;
    void clear();

private:
    struct Shared;
    std::shared_ptr<Shared> mShared;
    DebugSink mPrevious;
};

}  // namespace HA::OS
