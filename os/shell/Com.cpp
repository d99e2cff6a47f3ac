#include "os/shell/Com.h"

#include <map>
#include <mutex>

#include "os/kernel/Kernel.h"

namespace HA::OS {

namespace {

struct ComState {
    std::mutex mutex;
    std::map<DWORD, int> com;
    std::map<DWORD, int> ole;
    HRESULT fault = S_OK;
};

ComState& state()
{
    static auto* s = new ComState;
    return *s;
}

HRESULT initialize(std::map<DWORD, int>& counts, DWORD thread)
{
    return counts[thread]++ == 0 ? S_OK : S_FALSE;
}

void uninitialize(std::map<DWORD, int>& counts, DWORD thread)
{
    auto it = counts.find(thread);
    if (it != counts.end() && --it->second <= 0)
        counts.erase(it);
}

}  // namespace

HRESULT coInitialize()
{
    ComState& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    if (s.fault != S_OK)
        return s.fault;
    return initialize(s.com, currentThreadId());
}

void coUninitialize()
{
    ComState& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    uninitialize(s.com, currentThreadId());
}

HRESULT oleInitialize()
{
    ComState& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    if (s.fault != S_OK)
        return s.fault;
    DWORD thread = currentThreadId();
    initialize(s.com, thread);
    return initialize(s.ole, thread);
}

void oleUninitialize()
{
    ComState& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    DWORD thread = currentThreadId();
    if (s.ole.count(thread) == 0)
        return;
    uninitialize(s.ole, thread);
    uninitialize(s.com, thread);
}

int comInitCount(DWORD threadId)
{
    ComState& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    auto it = s.com.find(threadId);
    return it == s.com.end() ? 0 : it->second;
}

int oleInitCount(DWORD threadId)
{
    ComState& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    auto it = s.ole.find(threadId);
    return it == s.ole.end() ? 0 : it->second;
}

ComFaultScope::ComFaultScope(HRESULT result)
{
    std::lock_guard<std::mutex> lock(state().mutex);
    mPrevious = state().fault;
    state().fault = result;
}

ComFaultScope::~ComFaultScope()
{
    std::lock_guard<std::mutex> lock(state().mutex);
    state().fault = mPrevious;
}

}  // namespace HA::OS
