#include "uia/platform/events/EventTimerManagerWinBridge.h"

#include <algorithm>
#include <mutex>
#include <utility>
#include <vector>

namespace HA::UIA {

namespace {

// (thread-timer id, bridge) of every running bridge.
std::mutex gRegistryMutex;
std::vector<std::pair<OS::UINT_PTR, EventTimerManagerWinBridge*>> gRegistry;

}  // namespace

EventTimerManagerWinBridge::EventTimerManagerWinBridge(EventTimerManager* manager) : mManager(manager) {}

EventTimerManagerWinBridge::~EventTimerManagerWinBridge() { stop(); }

void EventTimerManagerWinBridge::start(int periodMs)
{
    if (mTimerId != 0)
        return;
    mTimerId = OS::setThreadTimer(static_cast<OS::UINT>(periodMs), &EventTimerManagerWinBridge::timerProc);
    if (mTimerId == 0)
        return;
    std::lock_guard<std::mutex> lock(gRegistryMutex);
    gRegistry.emplace_back(mTimerId, this);
}

void EventTimerManagerWinBridge::stop()
{
    if (mTimerId == 0)
        return;
    OS::killThreadTimer(mTimerId);
    {
        std::lock_guard<std::mutex> lock(gRegistryMutex);
        auto it = std::find(gRegistry.begin(), gRegistry.end(), std::make_pair(mTimerId, this));
        if (it != gRegistry.end())
            gRegistry.erase(it);
    }
    mTimerId = 0;
}

void EventTimerManagerWinBridge::timerProc(OS::HWND, OS::UINT, OS::UINT_PTR id, OS::DWORD)
{
    if (id == 0)
        return;
    EventTimerManager* manager = nullptr;
    {
        std::lock_guard<std::mutex> lock(gRegistryMutex);
        auto it = std::find_if(gRegistry.begin(), gRegistry.end(), [id](const auto& e) { return e.first == id; });
        if (it == gRegistry.end())
            return;
        manager = it->second->mManager;
    }
    manager->tick();
}

std::size_t EventTimerManagerWinBridge::registeredTimers()
{
    std::lock_guard<std::mutex> lock(gRegistryMutex);
    return gRegistry.size();
}

}  // namespace HA::UIA
