#include "os/devices/DeviceRegistry.h"

#include <algorithm>
#include <mutex>

#include "os/devices/DeviceBroadcast.h"
#include "os/kernel/Text.h"

namespace HA::OS {

namespace {

struct Entry {
    DeviceInterfaceId id;
    DeviceInterfaceInfo info;
    WString folded;  // the path without regard to case, as the platform compares device paths
};

struct Registry {
    std::mutex mutex;
    std::vector<Entry> entries;  // arrival order
    DeviceInterfaceId next = 1;
};

Registry& registry()
{
    static Registry* r = new Registry;  // drivers may outlive static destruction
    return *r;
}

void announce(DWORD event, const GUID& interfaceClass, const WString& path)
{
    DeviceBroadcastRecord record = DeviceBroadcastRecord::deviceInterface(interfaceClass, path);
    broadcastDeviceChange(event, *record.header());
}

}  // namespace

DeviceInterfaceId addDeviceInterface(DeviceInterfaceInfo info, eBroadcast broadcast)
{
    if (info.path.empty())
        return 0;
    Registry& r = registry();
    WString folded = foldCase(info.path);
    GUID interfaceClass = info.interfaceClass;
    WString path = info.path;
    DeviceInterfaceId id;
    {
        std::lock_guard<std::mutex> lock(r.mutex);
        for (const Entry& e : r.entries)
            if (e.folded == folded)
                return 0;
        id = r.next++;
        r.entries.push_back(Entry{id, std::move(info), std::move(folded)});
    }
    if (broadcast == eBroadcast::Broadcast)
        announce(DBT_DEVICEARRIVAL, interfaceClass, path);
    return id;
}

bool removeDeviceInterface(DeviceInterfaceId id, eBroadcast broadcast)
{
    Registry& r = registry();
    std::optional<Entry> removed;
    {
        std::lock_guard<std::mutex> lock(r.mutex);
        auto it = std::find_if(r.entries.begin(), r.entries.end(), [id](const Entry& e) { return e.id == id; });
        if (it == r.entries.end())
            return false;
        removed = std::move(*it);
        r.entries.erase(it);
    }
    if (broadcast == eBroadcast::Broadcast)
        announce(DBT_DEVICEREMOVECOMPLETE, removed->info.interfaceClass, removed->info.path);
    return true;
}

void removeAllDeviceInterfaces()
{
    Registry& r = registry();
    std::vector<Entry> old;
    {
        std::lock_guard<std::mutex> lock(r.mutex);
        old.swap(r.entries);
    }
    // Drivers are released here, outside the lock.
}

bool isDeviceInterfacePresent(DeviceInterfaceId id)
{
    Registry& r = registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    return std::any_of(r.entries.begin(), r.entries.end(), [id](const Entry& e) { return e.id == id; });
}

std::vector<DeviceInterfaceId> presentDeviceInterfaces(const GUID& interfaceClass)
{
    Registry& r = registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    std::vector<DeviceInterfaceId> ids;
    for (const Entry& e : r.entries)
        if (e.info.interfaceClass == interfaceClass)
            ids.push_back(e.id);
    return ids;
}

std::optional<DeviceInterfaceInfo> deviceInterfaceInfo(DeviceInterfaceId id)
{
    Registry& r = registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    for (const Entry& e : r.entries)
        if (e.id == id)
            return e.info;
    return std::nullopt;
}

DeviceInterfaceId findDeviceInterface(const WString& path)
{
    WString folded = foldCase(path);
    Registry& r = registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    for (const Entry& e : r.entries)
        if (e.folded == folded)
            return e.id;
    return 0;
}

}  // namespace HA::OS
