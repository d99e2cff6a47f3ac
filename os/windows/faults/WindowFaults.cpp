#include "os/windows/faults/WindowFaults.h"

#include <algorithm>
#include <mutex>
#include <vector>

#include "os/kernel/Text.h"

namespace HA::OS {

struct WindowFaultScope::State {
    WindowFault fault;
    int failures = 0;
};

namespace {

struct Faults {
    std::mutex mutex;
    std::vector<std::shared_ptr<WindowFaultScope::State>> armed;
};

Faults& faults()
{
    static Faults* f = new Faults;
    return *f;
}

}  // namespace

WindowFaultScope::WindowFaultScope(const WindowFault& fault) : mState(std::make_shared<State>())
{
    mState->fault = fault;
    Faults& f = faults();
    std::lock_guard<std::mutex> lock(f.mutex);
    f.armed.push_back(mState);
}

WindowFaultScope::~WindowFaultScope()
{
    Faults& f = faults();
    std::lock_guard<std::mutex> lock(f.mutex);
    f.armed.erase(std::remove(f.armed.begin(), f.armed.end(), mState), f.armed.end());
}

int WindowFaultScope::failures() const
{
    std::lock_guard<std::mutex> lock(faults().mutex);
    return mState->failures;
}

DWORD takeWindowFault(eWindowFault kind, const WString& className)
{
    Faults& f = faults();
    std::lock_guard<std::mutex> lock(f.mutex);
    for (auto& state : f.armed) {
        WindowFault& fault = state->fault;
        if (fault.kind != kind || (!fault.className.empty() && !equalIgnoringCase(fault.className, className)))
            continue;
        if (fault.skip > 0) {
            --fault.skip;
            continue;
        }
        if (fault.count == 0)
            continue;
        if (fault.count > 0)
            --fault.count;
        ++state->failures;
        return fault.error;
    }
    return 0;
}

}  // namespace HA::OS
