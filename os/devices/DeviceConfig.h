#pragma once
// Configuration of the maker's USB driver and of the Vireo Interface as this stand-in
// installs them: vendor and product ids, part number, the driver's interface classes and
// its request codes with their record sizes. The device table and the simulated device
// both read these; nothing else invents its own copy.

#include "os/kernel/Types.h"

namespace HA::OS {

// The maker's USB vendor id.
constexpr WORD kHarnwickVendorId = 0x3A17;
// The Vireo Interface in runtime mode; the low four bits of a runtime id are clear.
constexpr WORD kVireoProductId = 0x0E30;
// The same device in DFU mode: (runtime id & 0xFFF0) | 2.
constexpr WORD kVireoDfuProductId = (kVireoProductId & 0xFFF0) | 2;
constexpr const char* kVireoPartNumber = "HA-VIR-0E30";

// Interface classes the maker's driver registers ("hadfu-guid-magic", "haiap-guid-magic",
// "habd-guid-magic").
constexpr GUID kHadfuInterfaceClass = {0x6B3F0C21, 0x9D4E, 0x4A7B, {0x8E, 0x15, 0x2C, 0x70, 0xD1, 0x93, 0x5A, 0x46}};
constexpr GUID kHaiapInterfaceClass = {0x6B3F0C22, 0x9D4E, 0x4A7B, {0x8E, 0x15, 0x2C, 0x70, 0xD1, 0x93, 0x5A, 0x46}};
constexpr GUID kHabdInterfaceClass = {0x6B3F0C23, 0x9D4E, 0x4A7B, {0x8E, 0x15, 0x2C, 0x70, 0xD1, 0x93, 0x5A, 0x46}};

// The platform's driver-request code layout.
constexpr DWORD METHOD_BUFFERED = 0;
constexpr DWORD FILE_ANY_ACCESS = 0;
constexpr DWORD ctlCode(DWORD deviceType, DWORD function, DWORD method, DWORD access)
{
    return (deviceType << 16) | (access << 14) | (function << 2) | method;
}

// Device types of the maker's driver.
constexpr DWORD kHaUsbDeviceType = 0x8089;
constexpr DWORD kHaDfuDeviceType = 0x8086;

// USB requests. Multi-byte fields are little-endian, records packed.
// In: u32 0, descriptor type, index, u16 language id. Out: the descriptor.
constexpr DWORD IOCTL_HA_USB_GET_DESCRIPTOR = ctlCode(kHaUsbDeviceType, 0x801, METHOD_BUFFERED, FILE_ANY_ACCESS);
// In: 16-byte header, then host-to-device data. Out: device-to-host data.
constexpr DWORD IOCTL_HA_USB_CONTROL_TRANSFER = ctlCode(kHaUsbDeviceType, 0x805, METHOD_BUFFERED, FILE_ANY_ACCESS);
// A request the driver always fails with ERROR_GEN_FAILURE.
constexpr DWORD IOCTL_HA_USB_RESERVED_810 = ctlCode(kHaUsbDeviceType, 0x810, METHOD_BUFFERED, FILE_ANY_ACCESS);
// Out: 12 bytes of device facts.
constexpr DWORD IOCTL_HA_USB_GET_PACKED_VALUE = ctlCode(kHaUsbDeviceType, 0xA01, METHOD_BUFFERED, FILE_ANY_ACCESS);

// DFU requests: function 0x900 + DFU 1.1 bRequest + 1; 0x900 itself is the DFU information.
// Out: mode, bmAttributes, u16 manifestation limit (s), u16 wTransferSize, one more byte.
constexpr DWORD IOCTL_HA_DFU_GET_INFO = ctlCode(kHaDfuDeviceType, 0x900, METHOD_BUFFERED, FILE_ANY_ACCESS);
constexpr DWORD IOCTL_HA_DFU_DETACH = ctlCode(kHaDfuDeviceType, 0x901, METHOD_BUFFERED, FILE_ANY_ACCESS);
// In: u16 block number, u16 data length, 8192 data bytes.
constexpr DWORD IOCTL_HA_DFU_DNLOAD = ctlCode(kHaDfuDeviceType, 0x902, METHOD_BUFFERED, FILE_ANY_ACCESS);
// Out: bStatus, 24-bit bwPollTimeout, bState, iString.
constexpr DWORD IOCTL_HA_DFU_GETSTATUS = ctlCode(kHaDfuDeviceType, 0x904, METHOD_BUFFERED, FILE_ANY_ACCESS);
// Out: bState.
constexpr DWORD IOCTL_HA_DFU_GETSTATE = ctlCode(kHaDfuDeviceType, 0x906, METHOD_BUFFERED, FILE_ANY_ACCESS);
constexpr DWORD IOCTL_HA_DFU_ABORT = ctlCode(kHaDfuDeviceType, 0x907, METHOD_BUFFERED, FILE_ANY_ACCESS);
// The device leaves DFU mode and returns to its runtime firmware.
constexpr DWORD IOCTL_HA_DFU_LEAVE = ctlCode(kHaDfuDeviceType, 0x908, METHOD_BUFFERED, FILE_ANY_ACCESS);

constexpr DWORD kDescriptorRequestSize = 8;
constexpr DWORD kDeviceDescriptorSize = 18;
constexpr DWORD kMaxStringDescriptorSize = 258;
constexpr DWORD kControlHeaderSize = 16;
constexpr DWORD kPackedValueSize = 12;
constexpr DWORD kDfuInfoSize = 7;
constexpr DWORD kDfuMaxBlockData = 8192;
constexpr DWORD kDfuDownloadBlockSize = 4 + kDfuMaxBlockData;
constexpr DWORD kDfuStatusSize = 6;

// Mode byte of the DFU information reply.
constexpr BYTE kDfuModeRuntime = 1;
constexpr BYTE kDfuModeDfu = 2;

}  // namespace HA::OS
