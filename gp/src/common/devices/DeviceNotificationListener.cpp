#include "gp/src/common/devices/DeviceNotificationListener.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "gp/src/common/devices/VolumeInfo.h"

namespace HA::GP {

namespace {

// Each registration has its own id, so that a walk can tell whether the entry it is about
// to call is still registered, even for a listener that is registered twice.
struct Entry {
    std::uint64_t id;
    DeviceNotificationListener* listener;
};

std::recursive_mutex gMutex;
std::vector<Entry> gEntries;
std::uint64_t gNextId = 1;
std::atomic<bool> gWindowPresent{false};

bool stillRegistered(std::uint64_t id)
{
    for (const Entry& e : gEntries)
        if (e.id == id)
            return true;
    return false;
}

// Calls fn on every entry registered when the walk starts that is still registered when
// its turn comes; the lock is held throughout, so other threads wait.
template <class Fn>
void walkListeners(Fn fn)
{
    std::lock_guard<std::recursive_mutex> lock(gMutex);
    const std::vector<Entry> snapshot = gEntries;
    for (const Entry& e : snapshot)
        if (stillRegistered(e.id))
            fn(e);
}

}  // namespace

void DeviceNotificationListener::onDeviceChange(bool) {}
void DeviceNotificationListener::onDeviceNotification(bool, const OS::DEV_BROADCAST_HDR*) {}
void DeviceNotificationListener::onVolumeChange(bool, const char*) {}

void DeviceNotificationHelper::onVolumeChange(bool removed, const char* letter)
{
    if (letter == nullptr)
        return;
    VolumeInfo::onVolumeChange(removed, std::string(1, *letter) + ':');
}

void addDeviceNotificationListener(DeviceNotificationListener* listener)
{
    std::lock_guard<std::recursive_mutex> lock(gMutex);
    if (listener == nullptr || !gWindowPresent)
        return;
    gEntries.push_back(Entry{gNextId++, listener});
}

void removeDeviceNotificationListener(DeviceNotificationListener* listener)
{
    std::lock_guard<std::recursive_mutex> lock(gMutex);
    if (!gWindowPresent)
        return;
    for (auto it = gEntries.begin(); it != gEntries.end(); ++it) {
        if (it->listener == listener) {
            gEntries.erase(it);
            return;
        }
    }
}

namespace DETAIL {

void setDeviceNotificationWindowPresent(bool present)
{
    std::lock_guard<std::recursive_mutex> lock(gMutex);
    gWindowPresent = present;
    // Listeners left behind would be called after a later start-up, perhaps long gone.
    if (!present)
        gEntries.clear();
}

bool deviceNotificationWindowPresent() { return gWindowPresent; }

void dispatchDeviceChange(OS::DWORD event, const OS::DEV_BROADCAST_HDR& record)
{
    if (event != OS::DBT_DEVICEARRIVAL && event != OS::DBT_DEVICEREMOVECOMPLETE)
        return;
    const bool removed = event == OS::DBT_DEVICEREMOVECOMPLETE;
    switch (record.dbch_devicetype) {
    case OS::DBT_DEVTYP_VOLUME: {
        if (record.dbch_size < sizeof(OS::DEV_BROADCAST_VOLUME))
            break;
        const auto& volume = reinterpret_cast<const OS::DEV_BROADCAST_VOLUME&>(record);
        for (int n = 0; n < 32; ++n) {
            if ((volume.dbcv_unitmask >> n) & 1u) {
                const char letter = static_cast<char>('A' + n);
                walkListeners([&](const Entry& e) { e.listener->onVolumeChange(removed, &letter); });
            }
        }
        break;
    }
    case OS::DBT_DEVTYP_DEVICEINTERFACE:
        walkListeners([&](const Entry& e) {
            e.listener->onDeviceChange(removed);
            if (stillRegistered(e.id))
                e.listener->onDeviceNotification(removed, &record);
        });
        break;
    default:
        walkListeners([&](const Entry& e) { e.listener->onDeviceChange(removed); });
        break;
    }
}

DeviceNotificationHelper& deviceNotificationHelper()
{
    static DeviceNotificationHelper helper;
    return helper;
}

}  // namespace DETAIL

}  // namespace HA::GP
