#include "hxl2/platform/ThreadOverlappedMap.h"

#include <mutex>

#include "os/kernel/Kernel.h"

namespace HA::HXL2 {

ThreadOverlappedMap::ThreadOverlappedMap(std::uint32_t eventMask) : mEventMask(eventMask) {}

ThreadOverlappedMap::~ThreadOverlappedMap()
{
    for (auto& [thread, entry] : mEntries) {
        (void)thread;
        if (entry.firstEvent != nullptr)
            OS::closeHandle(entry.firstEvent);
        if (entry.secondEvent != nullptr)
            OS::closeHandle(entry.secondEvent);
    }
}

ThreadOverlappedMap::tEntry* ThreadOverlappedMap::entryForCurrentThread()
{
    const std::uint32_t thread = OS::currentThreadId();
    {
        std::shared_lock<std::shared_mutex> lock(mLock);
        auto it = mEntries.find(thread);
        if (it != mEntries.end())
            return &it->second;
    }

    tEntry entry{};
    if (mEventMask & eFirstEvent) {
        entry.firstEvent = OS::createEvent(OS::eReset::Manual, false);
        entry.first.hEvent = entry.firstEvent;
    }
    if (mEventMask & eSecondEvent) {
        entry.secondEvent = OS::createEvent(OS::eReset::Manual, false);
        entry.second.hEvent = entry.secondEvent;
    }
    if (((mEventMask & eFirstEvent) && entry.firstEvent == nullptr)
        || ((mEventMask & eSecondEvent) && entry.secondEvent == nullptr)) {
        if (entry.firstEvent != nullptr)
            OS::closeHandle(entry.firstEvent);
        if (entry.secondEvent != nullptr)
            OS::closeHandle(entry.secondEvent);
        return nullptr;
    }
    std::unique_lock<std::shared_mutex> lock(mLock);
    // Only this thread inserts its own id, so the slot is still free.
    return &mEntries.emplace(thread, entry).first->second;
}

}  // namespace HA::HXL2
