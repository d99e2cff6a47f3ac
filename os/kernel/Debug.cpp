#include "os/kernel/Debug.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>

#include "os/kernel/Text.h"

namespace HA::OS {

namespace {

struct Channel {
    std::mutex mutex;
    DebugSink sink;
    std::atomic<bool> debugger{false};
    Channel()
    {
        const char* v = std::getenv("HA_OS_DEBUGGER");
        debugger = v != nullptr && std::strcmp(v, "1") == 0;
    }
};

Channel& channel()
{
    static Channel* c = new Channel;
    return *c;
}

}  // namespace

void outputDebugString(std::string_view text)
{
    Channel& c = channel();
    DebugSink sink;
    {
        std::lock_guard<std::mutex> lock(c.mutex);
        sink = c.sink;
    }
    std::string s(text);
    if (sink)
        sink(s);
    else if (c.debugger)
        std::fputs(s.c_str(), stderr);
}

void outputDebugStringW(const WString& text)
{
    outputDebugString(utf16ToUtf8(text));
}

bool isDebuggerPresent()
{
    return channel().debugger;
}

void setDebuggerPresent(bool present)
{
    channel().debugger = present;
}

DebugSink setDebugOutputSink(DebugSink sink)
{
    Channel& c = channel();
    std::lock_guard<std::mutex> lock(c.mutex);
    DebugSink previous = std::move(c.sink);
    c.sink = std::move(sink);
    return previous;
}

struct DebugOutputCapture::Shared {
    mutable std::mutex mutex;
    std::vector<std::string> lines;
};

DebugOutputCapture::DebugOutputCapture() : mShared(std::make_shared<Shared>())
{
    std::shared_ptr<Shared> shared = mShared;
    mPrevious = setDebugOutputSink([shared](const std::string& text) {
        std::lock_guard<std::mutex> lock(shared->mutex);
        shared->lines.push_back(text);
    });
}

DebugOutputCapture::~DebugOutputCapture()
{
    setDebugOutputSink(std::move(mPrevious));
}

std::vector<std::string> DebugOutputCapture::lines() const
{
    std::lock_guard<std::mutex> lock(mShared->mutex);
    return mShared->lines;
}

std::string DebugOutputCapture::text() const
{
    std::lock_guard<std::mutex> lock(mShared->mutex);
    std::string all;
    for (const auto& l : mShared->lines)
        all += l;
    return all;
}

void DebugOutputCapture::clear()
{
    std::lock_guard<std::mutex> lock(mShared->mutex);
    mShared->lines.clear();
}

}  // namespace HA::OS
