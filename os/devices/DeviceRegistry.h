#pragma once
// The registry of present device interfaces: what the setup-API walk lists, what device
// files open by path, and what arrival and removal broadcasts announce. Drivers (the
// simulated devices) and tests add and remove interfaces here.

#include <memory>
#include <optional>
#include <vector>

#include "os/devices/DeviceDriver.h"
#include "os/kernel/Types.h"

namespace HA::OS {

// The identity the platform's HID library reports for a HID interface. A string without a
// value cannot be read (its HID call fails).
struct HidIdentity {
    WORD vendorId = 0;
    WORD productId = 0;
    WORD versionNumber = 0;
    std::optional<WString> manufacturer;
    std::optional<WString> product;
    std::optional<WString> serialNumber;
};

struct DeviceInterfaceInfo {
    GUID interfaceClass{};
    // The device-interface path, in the mixed case the platform reports; look-ups ignore case.
    WString path;
    // Answers the requests of files opened on the path; without one, opens succeed and every
    // request fails with ERROR_INVALID_FUNCTION.
    std::shared_ptr<DeviceDriver> driver;
    std::optional<HidIdentity> hid;
    // Not ERROR_SUCCESS: every open of the path fails with this code (ERROR_ACCESS_DENIED).
    DWORD openError = ERROR_SUCCESS;
};

enum class eBroadcast { Silent, Broadcast };

// Adds a present interface and, with eBroadcast::Broadcast, announces DBT_DEVICEARRIVAL with
// a device-interface record. Returns its id, or 0 (nothing added) when a present interface
// already has the path or the path is empty. Any thread; call with no driver lock held that
// a broadcast subscriber could need.
DeviceInterfaceId addDeviceInterface(DeviceInterfaceInfo info, eBroadcast broadcast = eBroadcast::Broadcast);
// Removes it (DBT_DEVICEREMOVECOMPLETE when broadcasting). Its open handles answer
// ERROR_DEVICE_NOT_CONNECTED from then on. False for an unknown id.
bool removeDeviceInterface(DeviceInterfaceId id, eBroadcast broadcast = eBroadcast::Broadcast);
// Removes every interface without broadcasts (test set-up and tear-down).
void removeAllDeviceInterfaces();

bool isDeviceInterfacePresent(DeviceInterfaceId id);
// Present interfaces of a class, in arrival order.
std::vector<DeviceInterfaceId> presentDeviceInterfaces(const GUID& interfaceClass);
// The record of a present interface.
std::optional<DeviceInterfaceInfo> deviceInterfaceInfo(DeviceInterfaceId id);
// The present interface with this path (case ignored), or 0.
DeviceInterfaceId findDeviceInterface(const WString& path);

}  // namespace HA::OS
