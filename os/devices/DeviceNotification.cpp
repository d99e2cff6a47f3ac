#include "os/devices/DeviceNotification.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <mutex>

#include "os/kernel/Kernel.h"
#include "os/windows/MessageIds.h"
#include "os/windows/faults/WindowFaults.h"
#include "os/windows/detail/WindowState.h"

namespace HA::OS {

using namespace DETAIL;

namespace {

struct Registration {
    HWND hwnd;
    GUID classGuid;
    bool allClasses;
};

struct Registrations {
    std::map<std::uintptr_t, Registration> list;  // guarded by the kernel lock
    std::uintptr_t next = 0x20010;
};

Registrations& registrations()
{
    static Registrations* r = new Registrations;
    return *r;
}

void deliver(DWORD event, const DEV_BROADCAST_HDR& record)
{
    // A record that claims more than a device path can need is not copied.
    constexpr size_t kMaxRecord = 64 * 1024;
    size_t size = std::max<size_t>(record.dbch_size, sizeof(DEV_BROADCAST_HDR));
    if (size > kMaxRecord)
        return;
    // Copies are zero-filled up to the largest record, so a reader of a short record
    // stays inside its copy.
    size_t room = std::max({size, sizeof(DEV_BROADCAST_VOLUME), sizeof(DEV_BROADCAST_DEVICEINTERFACE_W)});
    auto lock = kernelLock();
    std::vector<std::shared_ptr<WindowRec>> targets;
    if (record.dbch_devicetype == DBT_DEVTYP_DEVICEINTERFACE) {
        if (size < offsetof(DEV_BROADCAST_DEVICEINTERFACE_W, dbcc_name))
            return;
        const auto& rec = reinterpret_cast<const DEV_BROADCAST_DEVICEINTERFACE_W&>(record);
        for (auto& [handle, reg] : registrations().list) {
            if (!reg.allClasses && reg.classGuid != rec.dbcc_classguid)
                continue;
            auto w = findWindowLocked(reg.hwnd);
            if (w && w->life != eLife::Destroying &&
                std::find(targets.begin(), targets.end(), w) == targets.end())
                targets.push_back(w);
        }
    } else if (record.dbch_devicetype != DBT_DEVTYP_HANDLE) {
        for (HWND top : windowSystem().topLevel)
            if (auto w = findWindowLocked(top); w && w->life != eLife::Destroying)
                targets.push_back(w);
    }
    for (auto& w : targets) {
        // Each window gets its own copy: the record lives until its procedure returns.
        auto copy = std::shared_ptr<std::uint64_t[]>(new std::uint64_t[(room + 7) / 8]());
        std::memcpy(copy.get(), &record, size);
        LPARAM lParam = reinterpret_cast<LPARAM>(copy.get());
        queueSystemSentLocked(*w, WM_DEVICECHANGE, event, lParam, std::shared_ptr<void>(copy, copy.get()));
    }
}

}  // namespace

namespace DETAIL {

void dropDeviceNotificationsLocked(HWND hwnd)
{
    // The handle stays valid until it is unregistered, as on the platform; it just
    // reaches nobody any more.
    for (auto& [handle, reg] : registrations().list)
        if (reg.hwnd == hwnd)
            reg.hwnd = nullptr;
}

void subscribeToDeviceBroadcasts()
{
    static std::once_flag once;
    std::call_once(once, [] { addDeviceChangeSubscriber(&deliver); });
}

}  // namespace DETAIL

HDEVNOTIFY registerDeviceNotification(HWND recipient, const DEV_BROADCAST_HDR& filter, DWORD flags)
{
    if ((flags & DEVICE_NOTIFY_SERVICE_HANDLE) || (flags & ~(DEVICE_NOTIFY_ALL_INTERFACE_CLASSES))) {
        setLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (filter.dbch_devicetype != DBT_DEVTYP_DEVICEINTERFACE ||
        filter.dbch_size < offsetof(DEV_BROADCAST_DEVICEINTERFACE_W, dbcc_name)) {
        setLastError(ERROR_INVALID_DATA);
        return nullptr;
    }
    if (DWORD fault = takeWindowFault(eWindowFault::RegisterDeviceNotification)) {
        setLastError(fault);
        return nullptr;
    }
    subscribeToDeviceBroadcasts();
    const auto& rec = reinterpret_cast<const DEV_BROADCAST_DEVICEINTERFACE_W&>(filter);
    auto lock = kernelLock();
    if (!windowOrFail(recipient))
        return nullptr;
    Registrations& r = registrations();
    std::uintptr_t handle = r.next;
    r.next += 4;
    r.list.emplace(handle, Registration{recipient, rec.dbcc_classguid,
                                        (flags & DEVICE_NOTIFY_ALL_INTERFACE_CLASSES) != 0});
    return reinterpret_cast<HDEVNOTIFY>(handle);
}

bool unregisterDeviceNotification(HDEVNOTIFY handle)
{
    auto lock = kernelLock();
    auto& list = registrations().list;
    auto it = list.find(reinterpret_cast<std::uintptr_t>(handle));
    if (it == list.end()) {
        setLastError(ERROR_INVALID_HANDLE);
        return false;
    }
    list.erase(it);
    return true;
}

}  // namespace HA::OS
