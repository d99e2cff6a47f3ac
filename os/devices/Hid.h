#pragma once
// The platform's HID library over device files: the HID interface class and the identity
// (attributes and strings) of a HID interface from the device registry.

#include "os/kernel/Types.h"

namespace HA::OS {

// The platform's HID interface class.
constexpr GUID GUID_DEVINTERFACE_HID = {0x4D1E55B2, 0xF16F, 0x11CF, {0x88, 0xCB, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30}};

struct HIDD_ATTRIBUTES {
    DWORD Size;  // sizeof(HIDD_ATTRIBUTES), set by the caller
    WORD VendorID;
    WORD ProductID;
    WORD VersionNumber;
};

void hidGetHidGuid(GUID& guid);

// False with ERROR_INVALID_HANDLE for a handle that is not a device file, ERROR_INVALID_PARAMETER
// for a wrong Size, ERROR_DEVICE_NOT_CONNECTED once the device has gone, ERROR_INVALID_FUNCTION
// for an interface without HID identity.
bool hidGetAttributes(HANDLE device, HIDD_ATTRIBUTES& attributes);

// The string as NUL-terminated UTF-16 into buffer (bufferLength bytes). Besides the errors
// above: ERROR_GEN_FAILURE when the device cannot give the string, ERROR_INSUFFICIENT_BUFFER
// when it and its NUL do not fit.
bool hidGetManufacturerString(HANDLE device, void* buffer, DWORD bufferLength);
bool hidGetProductString(HANDLE device, void* buffer, DWORD bufferLength);
bool hidGetSerialNumberString(HANDLE device, void* buffer, DWORD bufferLength);

}  // namespace HA::OS
