#include "os/kernel/Kernel.h"

#include <atomic>
#include <unordered_map>

namespace HA::OS {

namespace {

struct HandleTable {
    std::mutex mutex;
    std::unordered_map<std::uintptr_t, std::shared_ptr<KernelObject>> objects;
    std::uintptr_t next = 4;
};

HandleTable& table()
{
    static HandleTable* t = new HandleTable;  // outlives static destruction on purpose
    return *t;
}

class EventObject : public KernelObject {
public:
    EventObject(eReset reset, bool set) : mReset(reset), mSet(set) {}
    bool isSignaled() const override { return mSet; }
    void onWaitSatisfied() override
    {
        if (mReset == eReset::Auto)
            mSet = false;
    }
    void set(bool value) { mSet = value; }

private:
    eReset mReset;
    bool mSet;
};

thread_local DWORD tLastError = 0;

}  // namespace

HANDLE registerHandle(std::shared_ptr<KernelObject> object)
{
    HandleTable& t = table();
    std::lock_guard<std::mutex> lock(t.mutex);
    std::uintptr_t value = t.next;
    t.next += 4;
    t.objects.emplace(value, std::move(object));
    return reinterpret_cast<HANDLE>(value);
}

std::shared_ptr<KernelObject> lookupHandle(HANDLE handle)
{
    HandleTable& t = table();
    std::lock_guard<std::mutex> lock(t.mutex);
    auto it = t.objects.find(reinterpret_cast<std::uintptr_t>(handle));
    return it == t.objects.end() ? nullptr : it->second;
}

bool closeHandle(HANDLE handle)
{
    std::shared_ptr<KernelObject> object;
    {
        HandleTable& t = table();
        std::lock_guard<std::mutex> lock(t.mutex);
        auto it = t.objects.find(reinterpret_cast<std::uintptr_t>(handle));
        if (it == t.objects.end()) {
            setLastError(ERROR_INVALID_HANDLE);
            return false;
        }
        object = std::move(it->second);
        t.objects.erase(it);
    }
    object->onClose();
    return true;
}

HANDLE createEvent(eReset reset, bool initiallySet)
{
    return registerHandle(std::make_shared<EventObject>(reset, initiallySet));
}

static bool changeEvent(HANDLE event, bool value)
{
    auto object = lookupHandleAs<EventObject>(event);
    if (!object) {
        setLastError(ERROR_INVALID_HANDLE);
        return false;
    }
    std::lock_guard<std::mutex> lock(Clock::kernelMutex());
    object->set(value);
    Clock::notifyAll();
    return true;
}

bool setEventLocked(HANDLE event)
{
    auto object = lookupHandleAs<EventObject>(event);
    if (!object) {
        setLastError(ERROR_INVALID_HANDLE);
        return false;
    }
    object->set(true);
    return true;
}

bool setEvent(HANDLE event)
{
    return changeEvent(event, true);
}

bool resetEvent(HANDLE event)
{
    return changeEvent(event, false);
}

DWORD waitForSingleObject(HANDLE handle, DWORD milliseconds)
{
    return waitForMultipleObjects(&handle, 1, eWait::Any, milliseconds);
}

DWORD waitForMultipleObjects(const HANDLE* handles, DWORD count, eWait wait, DWORD milliseconds)
{
    if (count == 0 || count > MAXIMUM_WAIT_OBJECTS || handles == nullptr) {
        setLastError(ERROR_INVALID_PARAMETER);
        return WAIT_FAILED;
    }
    std::vector<std::shared_ptr<KernelObject>> objects;
    objects.reserve(count);
    for (DWORD i = 0; i < count; ++i) {
        auto object = lookupHandle(handles[i]);
        if (!object) {
            setLastError(ERROR_INVALID_HANDLE);
            return WAIT_FAILED;
        }
        objects.push_back(std::move(object));
    }
    TimeMs deadline = Clock::deadlineAfter(milliseconds);
    DWORD result = WAIT_TIMEOUT;
    std::unique_lock<std::mutex> lock(Clock::kernelMutex());
    Clock::waitUntil(lock, deadline, [&] {
        if (wait == eWait::All) {
            for (auto& o : objects)
                if (!o->isSignaled())
                    return false;
            for (auto& o : objects)
                o->onWaitSatisfied();
            result = WAIT_OBJECT_0;
            return true;
        }
        for (DWORD i = 0; i < count; ++i) {
            if (objects[i]->isSignaled()) {
                objects[i]->onWaitSatisfied();
                result = WAIT_OBJECT_0 + i;
                return true;
            }
        }
        return false;
    });
    return result;
}

DWORD currentThreadId()
{
    static std::atomic<DWORD> next{1};
    thread_local DWORD id = next.fetch_add(1);
    return id;
}

DWORD getLastError()
{
    return tLastError;
}

void setLastError(DWORD code)
{
    tLastError = code;
}

}  // namespace HA::OS
