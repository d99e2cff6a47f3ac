#pragma once
// The platform back end of a USBDevice: the file handle and the driver requests.

#include <cstdint>
#include <string>

#include "hxl2/USBDevice.h"
#include "hxl2/platform/ThreadOverlappedMap.h"
#include "os/kernel/Types.h"

namespace HA::HXL2 {

class USBDevice::OSImpl {
public:
    explicit OSImpl(USBDevice* owner);
    virtual ~OSImpl();
    OSImpl(const OSImpl&) = delete;
    OSImpl& operator=(const OSImpl&) = delete;

    // Opens the path for overlapped requests, closing any handle first.
    virtual bool open(const std::u16string& path);
    virtual void close();
    // Fills the owner's info from the device descriptor, or the ids from the path unless the
    // owner requires the descriptor.
    virtual bool readInfo();
    // The 12-byte packed value of the driver, cached once read.
    virtual bool readPackedValue(std::uint32_t& value);

    std::uint32_t deviceIoControl(std::uint32_t code, const void* input, std::uint32_t inputSize, void* output,
                                  std::uint32_t outputSize, std::uint32_t* bytesReturned, std::uint32_t timeoutMs,
                                  const OS::HANDLE* abortEvent);

    OS::HANDLE handle() const { return mHandle; }

private:
    USBDevice* mOwner;
    OS::HANDLE mHandle = nullptr;
    std::uint32_t mPackedValue = 0;
    ThreadOverlappedMap mOverlapped{ThreadOverlappedMap::eSecondEvent};
};

}  // namespace HA::HXL2
