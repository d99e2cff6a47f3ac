#include "os/devices/SetupApi.h"

#include <cstring>
#include <vector>

#include "os/devices/DeviceRegistry.h"
#include "os/kernel/Errors.h"
#include "os/kernel/Kernel.h"

namespace HA::OS {

namespace {

class DeviceInfoSet : public KernelObject {
public:
    struct tItem {
        GUID interfaceClass;
        WString path;
    };
    std::vector<tItem> items;
};

constexpr DWORD kDetailHeader = offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_W, DevicePath);

std::shared_ptr<DeviceInfoSet> lookupSet(HDEVINFO set)
{
    auto s = lookupHandleAs<DeviceInfoSet>(set);
    if (!s)
        setLastError(ERROR_INVALID_HANDLE);
    return s;
}

}  // namespace

HDEVINFO setupDiGetClassDevs(const GUID& interfaceClass, DWORD flags)
{
    if ((flags & DIGCF_DEVICEINTERFACE) == 0) {
        setLastError(ERROR_INVALID_FLAGS);
        return INVALID_HANDLE_VALUE;
    }
    auto set = std::make_shared<DeviceInfoSet>();
    // The registry keeps present interfaces only, so DIGCF_PRESENT changes nothing.
    for (DeviceInterfaceId id : presentDeviceInterfaces(interfaceClass))
        if (auto info = deviceInterfaceInfo(id))
            set->items.push_back({info->interfaceClass, info->path});
    return registerHandle(set);
}

bool setupDiEnumDeviceInterfaces(HDEVINFO set, const GUID& interfaceClass, DWORD memberIndex,
                                 SP_DEVICE_INTERFACE_DATA& data)
{
    auto s = lookupSet(set);
    if (!s)
        return false;
    if (data.cbSize != sizeof(SP_DEVICE_INTERFACE_DATA)) {
        setLastError(ERROR_INVALID_USER_BUFFER);
        return false;
    }
    DWORD seen = 0;
    for (size_t i = 0; i < s->items.size(); ++i) {
        if (s->items[i].interfaceClass != interfaceClass)
            continue;
        if (seen++ == memberIndex) {
            data.InterfaceClassGuid = s->items[i].interfaceClass;
            data.Flags = SPINT_ACTIVE;
            data.Reserved = i + 1;
            return true;
        }
    }
    setLastError(ERROR_NO_MORE_ITEMS);
    return false;
}

bool setupDiGetDeviceInterfaceDetail(HDEVINFO set, const SP_DEVICE_INTERFACE_DATA& data,
                                     SP_DEVICE_INTERFACE_DETAIL_DATA_W* detail, DWORD detailSize,
                                     DWORD* requiredSize)
{
    auto s = lookupSet(set);
    if (!s)
        return false;
    if (data.cbSize != sizeof(SP_DEVICE_INTERFACE_DATA) || data.Reserved == 0 || data.Reserved > s->items.size()) {
        setLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    const WString& path = s->items[data.Reserved - 1].path;
    DWORD needed = kDetailHeader + static_cast<DWORD>((path.size() + 1) * sizeof(WChar));
    if (detail == nullptr && detailSize != 0) {
        setLastError(ERROR_INVALID_USER_BUFFER);
        return false;
    }
    if (detail != nullptr && detail->cbSize != sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W)) {
        setLastError(ERROR_INVALID_USER_BUFFER);
        return false;
    }
    if (requiredSize != nullptr)
        *requiredSize = needed;
    if (detail == nullptr || detailSize < needed) {
        setLastError(ERROR_INSUFFICIENT_BUFFER);
        return false;
    }
    std::memcpy(reinterpret_cast<BYTE*>(detail) + kDetailHeader, path.c_str(), (path.size() + 1) * sizeof(WChar));
    return true;
}

bool setupDiDestroyDeviceInfoList(HDEVINFO set)
{
    if (!lookupSet(set))
        return false;
    return closeHandle(set);
}

}  // namespace HA::OS
