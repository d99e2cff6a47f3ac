#include "os/kernel/EventLog.h"

#include <memory>
#include <mutex>

#include "os/kernel/Errors.h"
#include "os/kernel/Kernel.h"

namespace HA::OS {

namespace {

class EventSource : public KernelObject {
public:
    explicit EventSource(std::string name) : mName(std::move(name)) {}
    const std::string& name() const { return mName; }

private:
    std::string mName;
};

struct Reports {
    std::mutex mutex;
    std::vector<EventLogReport> list;
};

Reports& reports()
{
    static Reports* r = new Reports;  // reporters may outlive static destruction
    return *r;
}

}  // namespace

HANDLE registerEventSource(const std::string& sourceName)
{
    if (sourceName.empty()) {
        setLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return registerHandle(std::make_shared<EventSource>(sourceName));
}

bool deregisterEventSource(HANDLE source)
{
    if (!lookupHandleAs<EventSource>(source)) {
        setLastError(ERROR_INVALID_HANDLE);
        return false;
    }
    return closeHandle(source);
}

bool reportEvent(HANDLE source, WORD type, WORD category, DWORD eventId, const std::vector<std::string>& strings)
{
    auto object = lookupHandleAs<EventSource>(source);
    if (!object) {
        setLastError(ERROR_INVALID_HANDLE);
        return false;
    }
    Reports& r = reports();
    std::lock_guard<std::mutex> lock(r.mutex);
    r.list.push_back(EventLogReport{object->name(), type, category, eventId, strings});
    return true;
}

std::vector<EventLogReport> eventLogReports()
{
    Reports& r = reports();
    std::lock_guard<std::mutex> lock(r.mutex);
    return r.list;
}

void clearEventLogReports()
{
    Reports& r = reports();
    std::lock_guard<std::mutex> lock(r.mutex);
    r.list.clear();
}

}  // namespace HA::OS
