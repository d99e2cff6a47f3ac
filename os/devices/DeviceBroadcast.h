#pragma once
// Device-change broadcasts: the device registry announces arrival and removal here, and
// the window core delivers them as WM_DEVICECHANGE to the windows registered for them.
// Records keep the platform's layouts and field names.

#include <cstddef>
#include <functional>
#include <vector>

#include "os/kernel/Types.h"

namespace HA::OS {

constexpr DWORD DBT_DEVICEARRIVAL = 0x8000;
constexpr DWORD DBT_DEVICEREMOVECOMPLETE = 0x8004;
constexpr DWORD DBT_DEVTYP_OEM = 0;
constexpr DWORD DBT_DEVTYP_VOLUME = 2;
constexpr DWORD DBT_DEVTYP_PORT = 3;
constexpr DWORD DBT_DEVTYP_DEVICEINTERFACE = 5;
constexpr DWORD DBT_DEVTYP_HANDLE = 6;

struct DEV_BROADCAST_HDR {
    DWORD dbch_size;
    DWORD dbch_devicetype;
    DWORD dbch_reserved;
};

struct DEV_BROADCAST_DEVICEINTERFACE_W {
    DWORD dbcc_size;
    DWORD dbcc_devicetype;
    DWORD dbcc_reserved;
    GUID dbcc_classguid;
    WChar dbcc_name[1];  // NUL-terminated path; the record is allocated longer
};

struct DEV_BROADCAST_VOLUME {
    DWORD dbcv_size;
    DWORD dbcv_devicetype;
    DWORD dbcv_reserved;
    DWORD dbcv_unitmask;
    WORD dbcv_flags;
};

// A broadcast record in its own storage, 8-byte aligned, starting with its header.
class DeviceBroadcastRecord {
public:
    static DeviceBroadcastRecord deviceInterface(const GUID& classGuid, const WString& path);
    static DeviceBroadcastRecord volume(DWORD unitMask, WORD flags = 0);
    static DeviceBroadcastRecord other(DWORD deviceType);

    const DEV_BROADCAST_HDR* header() const { return reinterpret_cast<const DEV_BROADCAST_HDR*>(mBytes.data()); }

private:
    std::vector<std::uint64_t> mBytes;
};

// Receives every broadcast (event is DBT_DEVICEARRIVAL or DBT_DEVICEREMOVECOMPLETE).
using DeviceChangeSubscriber = std::function<void(DWORD event, const DEV_BROADCAST_HDR& record)>;
int addDeviceChangeSubscriber(DeviceChangeSubscriber subscriber);
void removeDeviceChangeSubscriber(int id);
// Hands the record to every subscriber, in the order they subscribed.
void broadcastDeviceChange(DWORD event, const DEV_BROADCAST_HDR& record);

}  // namespace HA::OS
