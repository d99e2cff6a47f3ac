#pragma once
// The driver side of device files: a driver answers the requests that deviceIoControl
// hands it, at once, later, or never. The simulated devices implement it; tests may too.

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "os/kernel/Errors.h"
#include "os/kernel/Types.h"

namespace HA::OS {

struct OVERLAPPED;

// Names one appearance of a device interface in the registry; a device that leaves and
// comes back under the same path gets a new id, so old handles stay disconnected.
using DeviceInterfaceId = std::uint64_t;

// One driver request on its way. The input is copied when the request is made (buffered
// method); the output is copied into the caller's buffer when the request completes, which
// may be long after the caller stopped waiting or cancelled: a caller must keep its buffer
// and OVERLAPPED record until the request has completed.
class IoRequest {
public:
    struct tSetup {
        DWORD code = 0;
        std::vector<BYTE> input;
        void* output = nullptr;
        DWORD outputSize = 0;
        OVERLAPPED* overlapped = nullptr;  // the caller's record when the request may pend
        HANDLE event = nullptr;            // the record's event, signalled on completion
        DWORD threadId = 0;
        DeviceInterfaceId interfaceId = 0;
        WString path;
    };
    explicit IoRequest(tSetup setup);

    DWORD code() const { return mSetup.code; }
    const std::vector<BYTE>& input() const { return mSetup.input; }
    DWORD outputSize() const { return mSetup.outputSize; }
    // True when the caller may be told ERROR_IO_PENDING; a request without an OVERLAPPED
    // record blocks its caller until it completes.
    bool isOverlapped() const { return mSetup.overlapped != nullptr; }
    DWORD threadId() const { return mSetup.threadId; }
    DeviceInterfaceId interfaceId() const { return mSetup.interfaceId; }
    const WString& path() const { return mSetup.path; }

    // Set by cancelIo or when the handle is closed, before the driver's onCancel runs.
    bool isCancelRequested() const { return mCancelRequested.load(); }
    void markCancelRequested() { mCancelRequested.store(true); }

    // Completes the request: copies min(size, outputSize) bytes into the caller's buffer,
    // then records the status and count, fills the OVERLAPPED record and signals its event.
    // The first completion wins; later calls do nothing. Any thread, holding no lock of the
    // stand-in's kernel.
    void complete(DWORD status, const void* data = nullptr, DWORD size = 0);
    void complete(DWORD status, const std::vector<BYTE>& data)
    {
        complete(status, data.data(), static_cast<DWORD>(data.size()));
    }

    // Kernel lock held (Clock::kernelMutex()).
    bool isDoneLocked() const { return mDone; }
    DWORD statusLocked() const { return mStatus; }
    DWORD bytesLocked() const { return mBytes; }
    bool isDone() const;

private:
    tSetup mSetup;
    std::atomic<bool> mClaimed{false};
    std::atomic<bool> mCancelRequested{false};
    bool mDone = false;  // kernel lock
    DWORD mStatus = ERROR_IO_PENDING;
    DWORD mBytes = 0;
};

class DeviceDriver {
public:
    virtual ~DeviceDriver() = default;
    // A file is being opened on one of the driver's interfaces: ERROR_SUCCESS or the error
    // the open fails with.
    virtual DWORD onOpen(DeviceInterfaceId id, const WString& path);
    // A handle of one of the driver's interfaces was closed.
    virtual void onClose(DeviceInterfaceId id, const WString& path);
    // A request: complete it now or later, or leave it pending. Runs on the caller's thread.
    virtual void onRequest(const std::shared_ptr<IoRequest>& request) = 0;
    // CancelIo, or the handle was closed, while the request was pending. The default
    // completes it at once with ERROR_OPERATION_ABORTED.
    virtual void onCancel(const std::shared_ptr<IoRequest>& request);
};

}  // namespace HA::OS
