#include "os/devices/DeviceDriver.h"

#include <cstring>
#include <mutex>

#include "os/kernel/Clock.h"
#include "os/devices/DeviceIo.h"
#include "os/kernel/Kernel.h"

namespace HA::OS {

IoRequest::IoRequest(tSetup setup) : mSetup(std::move(setup)) {}

bool IoRequest::isDone() const
{
    std::lock_guard<std::mutex> lock(Clock::kernelMutex());
    return mDone;
}

void IoRequest::complete(DWORD status, const void* data, DWORD size)
{
    if (mClaimed.exchange(true))
        return;
    DWORD count = 0;
    if (data != nullptr && mSetup.output != nullptr) {
        count = size < mSetup.outputSize ? size : mSetup.outputSize;
        // The late write that a caller who released its buffer too early runs into.
        std::memcpy(mSetup.output, data, count);
    }
    std::lock_guard<std::mutex> lock(Clock::kernelMutex());
    mStatus = status;
    mBytes = count;
    mDone = true;
    if (mSetup.overlapped != nullptr) {
        mSetup.overlapped->Internal = status;
        mSetup.overlapped->InternalHigh = count;
    }
    if (mSetup.event != nullptr)
        setEventLocked(mSetup.event);
    Clock::notifyAll();
}

DWORD DeviceDriver::onOpen(DeviceInterfaceId, const WString&)
{
    return ERROR_SUCCESS;
}

void DeviceDriver::onClose(DeviceInterfaceId, const WString&) {}

void DeviceDriver::onCancel(const std::shared_ptr<IoRequest>& request)
{
    request->complete(ERROR_OPERATION_ABORTED);
}

}  // namespace HA::OS
