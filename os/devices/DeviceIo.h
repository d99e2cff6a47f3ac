#pragma once
// Device files and driver requests: opening a device-interface path, synchronous and
// overlapped deviceIoControl, the overlapped result and cancellation, with the platform's
// semantics and error codes. Handles live in the kernel handle table (closeHandle).

#include <cstdint>

#include "os/devices/DeviceDriver.h"
#include "os/files/FileAccess.h"
#include "os/kernel/Types.h"

namespace HA::OS {

// The platform's record of one overlapped request. While it is pending the stand-in owns
// it: on completion Internal takes the request's error code (0 success) and InternalHigh
// the byte count, and hEvent (a manual-reset event, or null) is signalled.
struct OVERLAPPED {
    std::uintptr_t Internal;
    std::uintptr_t InternalHigh;
    DWORD Offset;
    DWORD OffsetHigh;
    HANDLE hEvent;
};

// Opens a present device interface by path (case ignored). Returns INVALID_HANDLE_VALUE
// with the last error ERROR_FILE_NOT_FOUND for an unknown path, ERROR_INVALID_PARAMETER for
// a creation other than OPEN_EXISTING, or the error the device refuses the open with
// (ERROR_ACCESS_DENIED). With FILE_FLAG_OVERLAPPED requests given an OVERLAPPED may pend.
HANDLE createDeviceFile(const WString& path, DWORD desiredAccess, DWORD shareMode, DWORD creationDisposition,
                        DWORD flagsAndAttributes);

// Sends a driver request. True when it completed at once with success (*bytesReturned set
// when given). Otherwise false with the last error: ERROR_IO_PENDING when the request runs
// on (overlapped handle and record; it completes into the record and the buffers later),
// ERROR_INVALID_HANDLE, ERROR_DEVICE_NOT_CONNECTED once the device has gone, or the
// driver's error. Without an OVERLAPPED record, or on a handle opened without
// FILE_FLAG_OVERLAPPED, the call waits for completion. The input is copied at once; the
// output buffer and the record must stay valid until the request has completed.
bool deviceIoControl(HANDLE device, DWORD ioControlCode, const void* inBuffer, DWORD inBufferSize, void* outBuffer,
                     DWORD outBufferSize, DWORD* bytesReturned, OVERLAPPED* overlapped);

enum class eOverlappedWait { NoWait, Wait };

// The result of the last request made with this record on this handle. A pending request
// gives false with ERROR_IO_INCOMPLETE (NoWait) or is waited for (Wait, without a time-out).
// A completed one gives its byte count and true, or false with its error (a cancelled
// request: ERROR_OPERATION_ABORTED). An unknown record: false with ERROR_INVALID_PARAMETER.
bool getOverlappedResult(HANDLE device, OVERLAPPED& overlapped, DWORD& bytesTransferred, eOverlappedWait wait);

// Asks the driver to cancel every pending request that the calling thread made on the
// handle. Returns before they complete: a cancelled request may still complete later, with
// ERROR_OPERATION_ABORTED or with its data written into the caller's buffer.
bool cancelIo(HANDLE device);

// The device interface a device-file handle was opened on, or 0 for any other handle.
DeviceInterfaceId deviceFileInterface(HANDLE device);

}  // namespace HA::OS
