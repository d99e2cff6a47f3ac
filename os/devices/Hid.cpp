#include "os/devices/Hid.h"

#include <cstring>
#include <optional>

#include "os/devices/DeviceIo.h"
#include "os/devices/DeviceRegistry.h"
#include "os/kernel/Errors.h"
#include "os/kernel/Kernel.h"

namespace HA::OS {

namespace {

std::optional<HidIdentity> identityOf(HANDLE device)
{
    DeviceInterfaceId id = deviceFileInterface(device);
    if (id == 0) {
        setLastError(ERROR_INVALID_HANDLE);
        return std::nullopt;
    }
    std::optional<DeviceInterfaceInfo> info = deviceInterfaceInfo(id);
    if (!info) {
        setLastError(ERROR_DEVICE_NOT_CONNECTED);
        return std::nullopt;
    }
    if (!info->hid) {
        setLastError(ERROR_INVALID_FUNCTION);
        return std::nullopt;
    }
    return info->hid;
}

bool copyString(const std::optional<WString>& text, void* buffer, DWORD bufferLength)
{
    if (!text) {
        setLastError(ERROR_GEN_FAILURE);
        return false;
    }
    size_t bytes = (text->size() + 1) * sizeof(WChar);
    if (buffer == nullptr || bufferLength < bytes) {
        setLastError(ERROR_INSUFFICIENT_BUFFER);
        return false;
    }
    std::memcpy(buffer, text->c_str(), bytes);
    return true;
}

template <class Field>
bool readString(HANDLE device, void* buffer, DWORD bufferLength, Field field)
{
    std::optional<HidIdentity> hid = identityOf(device);
    return hid && copyString((*hid).*field, buffer, bufferLength);
}

}  // namespace

void hidGetHidGuid(GUID& guid)
{
    guid = GUID_DEVINTERFACE_HID;
}

bool hidGetAttributes(HANDLE device, HIDD_ATTRIBUTES& attributes)
{
    if (attributes.Size != sizeof(HIDD_ATTRIBUTES)) {
        setLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    std::optional<HidIdentity> hid = identityOf(device);
    if (!hid)
        return false;
    attributes.VendorID = hid->vendorId;
    attributes.ProductID = hid->productId;
    attributes.VersionNumber = hid->versionNumber;
    return true;
}

bool hidGetManufacturerString(HANDLE device, void* buffer, DWORD bufferLength)
{
    return readString(device, buffer, bufferLength, &HidIdentity::manufacturer);
}

bool hidGetProductString(HANDLE device, void* buffer, DWORD bufferLength)
{
    return readString(device, buffer, bufferLength, &HidIdentity::product);
}

bool hidGetSerialNumberString(HANDLE device, void* buffer, DWORD bufferLength)
{
    return readString(device, buffer, bufferLength, &HidIdentity::serialNumber);
}

}  // namespace HA::OS
