#pragma once
// One device of the maker's USB driver, opened by its device-interface path. Requests go to
// the driver through the platform back end, overlapped and with a time-out; each thread that
// sends requests gets its own overlapped record, so the user-interface thread and a worker
// may use one device at once (one request at a time per thread). Open and close are not safe
// against requests running on another thread.

#include <cstdint>
#include <memory>
#include <string>

#include "hxl2/USBDeviceInfo.h"
#include "os/kernel/Types.h"

namespace HA::HXL2 {

// Names one device to open: its device-interface path in lower case.
struct USBDeviceOSHandle {
    std::u16string path;
};

// A USB control transfer; `transferred` is set to the bytes the device returned.
struct USBControlRequest {
    std::uint8_t bmRequestType = 0;
    std::uint8_t bRequest = 0;
    std::uint16_t wValue = 0;
    std::uint16_t wIndex = 0;
    std::uint16_t wLength = 0;
    void* data = nullptr;
    std::uint32_t transferred = 0;
};

class USBDevice {
public:
    class OSImpl;

    // Requests without a time-out of their own wait this long.
    static constexpr std::uint32_t kDefaultTimeoutMs = 500;

    USBDevice();
    virtual ~USBDevice();
    USBDevice(const USBDevice&) = delete;
    USBDevice& operator=(const USBDevice&) = delete;

    // Opens the device (closing it first when open) and reads its identity; onOpened runs
    // after every successful open. False leaves the device closed.
    bool open(const USBDeviceOSHandle& handle);
    bool open(const std::u16string& path);
    // Closes the handle and forgets the path; info() stays as it was read.
    void close();

    // Sends one driver request and waits for it up to timeoutMs (0 = 500 ms) or until the
    // abort event, when given, is signalled. Returns the platform error code, 0 on success:
    // WAIT_TIMEOUT (258) after a time-out, ERROR_CANCELLED (1223) after the abort event. A
    // request given up on is cancelled and has completed before the call returns, so nothing
    // is written into the buffers afterwards.
    std::uint32_t deviceIoControl(std::uint32_t code, const void* input, std::uint32_t inputSize, void* output,
                                  std::uint32_t outputSize, std::uint32_t* bytesReturned = nullptr,
                                  std::uint32_t timeoutMs = 0, const OS::HANDLE* abortEvent = nullptr);

    // A USB control transfer through the driver; the platform error code, 0 on success
    // (ERROR_OUTOFMEMORY when the request block cannot be allocated).
    virtual std::uint32_t controlTransfer(USBControlRequest& request);

    bool isOpen() const { return mIsOpen; }
    const std::u16string& path() const { return mPath; }
    const USBDeviceInfo& info() const { return mInfo; }

protected:
    // Runs after every successful open; empty here.
    virtual void onOpened();

    // Non-zero: an open whose device descriptor cannot be read fails instead of taking the
    // ids from the path. 0 in this program.
    std::uint32_t mRequireDescriptor = 0;

private:
    friend class OSImpl;

    std::unique_ptr<OSImpl> mImpl;
    bool mIsOpen = false;
    std::u16string mPath;
    USBDeviceInfo mInfo;
};

}  // namespace HA::HXL2
