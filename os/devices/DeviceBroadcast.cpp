#include "os/devices/DeviceBroadcast.h"

#include <cstring>
#include <map>
#include <mutex>

namespace HA::OS {

namespace {

struct Subscribers {
    std::mutex mutex;
    std::map<int, DeviceChangeSubscriber> list;
    int next = 1;
};

Subscribers& subscribers()
{
    static Subscribers* s = new Subscribers;
    return *s;
}

}  // namespace

DeviceBroadcastRecord DeviceBroadcastRecord::deviceInterface(const GUID& classGuid, const WString& path)
{
    DeviceBroadcastRecord r;
    size_t size = offsetof(DEV_BROADCAST_DEVICEINTERFACE_W, dbcc_name) + (path.size() + 1) * sizeof(WChar);
    r.mBytes.assign((size + 7) / 8, 0);
    auto* rec = reinterpret_cast<DEV_BROADCAST_DEVICEINTERFACE_W*>(r.mBytes.data());
    rec->dbcc_size = static_cast<DWORD>(size);
    rec->dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    rec->dbcc_classguid = classGuid;
    std::memcpy(rec->dbcc_name, path.c_str(), (path.size() + 1) * sizeof(WChar));
    return r;
}

DeviceBroadcastRecord DeviceBroadcastRecord::volume(DWORD unitMask, WORD flags)
{
    DeviceBroadcastRecord r;
    r.mBytes.assign((sizeof(DEV_BROADCAST_VOLUME) + 7) / 8, 0);
    auto* rec = reinterpret_cast<DEV_BROADCAST_VOLUME*>(r.mBytes.data());
    rec->dbcv_size = sizeof(DEV_BROADCAST_VOLUME);
    rec->dbcv_devicetype = DBT_DEVTYP_VOLUME;
    rec->dbcv_unitmask = unitMask;
    rec->dbcv_flags = flags;
    return r;
}

DeviceBroadcastRecord DeviceBroadcastRecord::other(DWORD deviceType)
{
    DeviceBroadcastRecord r;
    r.mBytes.assign((sizeof(DEV_BROADCAST_HDR) + 7) / 8, 0);
    auto* rec = reinterpret_cast<DEV_BROADCAST_HDR*>(r.mBytes.data());
    rec->dbch_size = sizeof(DEV_BROADCAST_HDR);
    rec->dbch_devicetype = deviceType;
    return r;
}

int addDeviceChangeSubscriber(DeviceChangeSubscriber subscriber)
{
    Subscribers& s = subscribers();
    std::lock_guard<std::mutex> lock(s.mutex);
    int id = s.next++;
    s.list.emplace(id, std::move(subscriber));
    return id;
}

void removeDeviceChangeSubscriber(int id)
{
    Subscribers& s = subscribers();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.list.erase(id);
}

void broadcastDeviceChange(DWORD event, const DEV_BROADCAST_HDR& record)
{
    std::vector<DeviceChangeSubscriber> copy;
    {
        Subscribers& s = subscribers();
        std::lock_guard<std::mutex> lock(s.mutex);
        for (auto& [id, fn] : s.list)
            copy.push_back(fn);
    }
    for (auto& fn : copy)
        fn(event, record);
}

}  // namespace HA::OS
