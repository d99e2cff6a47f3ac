#pragma once
// Device-notification registration of windows. The device registry's arrival and removal
// broadcasts (os/devices/DeviceBroadcast.h) reach windows as WM_DEVICECHANGE, with wParam the
// event (DBT_DEVICEARRIVAL, DBT_DEVICEREMOVECOMPLETE) and lParam a DEV_BROADCAST_HDR
// record that lives until the window procedure returns:
// - device-interface records go to the windows registered for their interface class (or
//   for all classes);
// - volume and other records go to every top-level window (not message-only ones), as
//   on the platform, without registration.
// Delivery is on each window's own thread, like a message sent from another thread:
// the window's thread receives it in getMessage or peekMessage. The registry must
// broadcast without holding the kernel lock.

#include "os/devices/DeviceBroadcast.h"
#include "os/windows/Window.h"

namespace HA::OS {

using HDEVNOTIFY = void*;

constexpr DWORD DEVICE_NOTIFY_WINDOW_HANDLE = 0x00000000;
constexpr DWORD DEVICE_NOTIFY_SERVICE_HANDLE = 0x00000001;
constexpr DWORD DEVICE_NOTIFY_ALL_INTERFACE_CLASSES = 0x00000004;

// Registers a window for device-interface notices. `filter` must be a
// DEV_BROADCAST_DEVICEINTERFACE_W record (dbcc_size at least the record up to its name);
// its class GUID selects the notices unless DEVICE_NOTIFY_ALL_INTERFACE_CLASSES is given.
// Null on failure: ERROR_INVALID_WINDOW_HANDLE, ERROR_INVALID_DATA for a bad filter,
// ERROR_INVALID_PARAMETER for service handles or unknown flags, or an injected fault.
HDEVNOTIFY registerDeviceNotification(HWND recipient, const DEV_BROADCAST_HDR& filter, DWORD flags);
// False with ERROR_INVALID_HANDLE for an unknown handle.
bool unregisterDeviceNotification(HDEVNOTIFY handle);

// The record behind WM_DEVICECHANGE's lParam (null for events without one).
inline const DEV_BROADCAST_HDR* deviceBroadcastOf(LPARAM lParam)
{
    return reinterpret_cast<const DEV_BROADCAST_HDR*>(lParam);
}

}  // namespace HA::OS
