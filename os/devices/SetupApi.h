#pragma once
// The platform's device-installation walk over the device registry: a snapshot of the
// present interfaces of one class, listed by index, each with its path in a detail record.

#include <cstddef>
#include <cstdint>

#include "os/kernel/Types.h"

namespace HA::OS {

using HDEVINFO = HANDLE;

constexpr DWORD DIGCF_DEFAULT = 0x01;
constexpr DWORD DIGCF_PRESENT = 0x02;
constexpr DWORD DIGCF_ALLCLASSES = 0x04;
constexpr DWORD DIGCF_PROFILE = 0x08;
constexpr DWORD DIGCF_DEVICEINTERFACE = 0x10;

constexpr DWORD ERROR_INVALID_FLAGS = 1004;
constexpr DWORD ERROR_INVALID_USER_BUFFER = 1784;

// The platform's generic USB device interface class.
constexpr GUID GUID_DEVINTERFACE_USB_DEVICE = {0xA5DCBF10, 0x6530, 0x11D2, {0x90, 0x1F, 0x00, 0xC0, 0x4F, 0xB9, 0x51, 0xED}};

// cbSize must be sizeof(SP_DEVICE_INTERFACE_DATA).
struct SP_DEVICE_INTERFACE_DATA {
    DWORD cbSize;
    GUID InterfaceClassGuid;
    DWORD Flags;
    std::uintptr_t Reserved;
};

// Packed as on the 32-bit platform: cbSize must be sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W),
// which is 6; the record is allocated as long as the path needs.
#pragma pack(push, 1)
struct SP_DEVICE_INTERFACE_DETAIL_DATA_W {
    DWORD cbSize;
    WChar DevicePath[1];
};
#pragma pack(pop)
static_assert(sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W) == 6);

constexpr DWORD SPINT_ACTIVE = 0x1;

// A snapshot of the present interfaces of the class. Needs DIGCF_DEVICEINTERFACE; otherwise
// INVALID_HANDLE_VALUE with ERROR_INVALID_FLAGS. Close it with setupDiDestroyDeviceInfoList.
HDEVINFO setupDiGetClassDevs(const GUID& interfaceClass, DWORD flags);

// Item `memberIndex` of the snapshot; past the end false with ERROR_NO_MORE_ITEMS.
// ERROR_INVALID_USER_BUFFER when data.cbSize is not sizeof the record; ERROR_INVALID_HANDLE
// for an unknown set.
bool setupDiEnumDeviceInterfaces(HDEVINFO set, const GUID& interfaceClass, DWORD memberIndex,
                                 SP_DEVICE_INTERFACE_DATA& data);

// The item's path. With no record (size 0) or one too small: false with
// ERROR_INSUFFICIENT_BUFFER and *requiredSize (when given) set to the size needed. A record
// whose cbSize is not sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W), or a size without a
// record: ERROR_INVALID_USER_BUFFER. An item not from this set: ERROR_INVALID_PARAMETER.
bool setupDiGetDeviceInterfaceDetail(HDEVINFO set, const SP_DEVICE_INTERFACE_DATA& data,
                                     SP_DEVICE_INTERFACE_DETAIL_DATA_W* detail, DWORD detailSize,
                                     DWORD* requiredSize);

bool setupDiDestroyDeviceInfoList(HDEVINFO set);

}  // namespace HA::OS
