#include "hxl2/platform/USBDeviceOSImpl.h"

#include "hxl2/DeviceLog.h"
#include "hxl2/DeviceQuirks.h"
#include "hxl2/platform/DeviceIdentityOSImpl.h"
#include "os/devices/DeviceConfig.h"
#include "os/devices/DeviceIo.h"
#include "os/kernel/Errors.h"
#include "os/kernel/Kernel.h"
#include "os/kernel/LittleEndian.h"

namespace HA::HXL2 {

namespace {

const char* const kCategory = "USBDevice";

bool isLevel1Enabled()
{
    return logVerbosity <= 1 && isLogCategoryEnabled(kCategory);
}

}  // namespace

USBDevice::OSImpl::OSImpl(USBDevice* owner) : mOwner(owner) {}

USBDevice::OSImpl::~OSImpl()
{
    close();
}

bool USBDevice::OSImpl::open(const std::u16string& path)
{
    close();
    mHandle = openDeviceFile(path);
    return mHandle != nullptr;
}

void USBDevice::OSImpl::close()
{
    if (mHandle != nullptr) {
        OS::closeHandle(mHandle);
        mHandle = nullptr;
    }
}

bool USBDevice::OSImpl::readInfo()
{
    // A fresh record, so that nothing of a device opened before stays in the texts.
    USBDeviceInfo info;
    if (!readDeviceDescriptor(mHandle, info, USBDeviceFilter::eWithStrings)) {
        if (mOwner->mRequireDescriptor != 0)
            return false;
        parseDevicePath(mOwner->mPath, info);
    }
    mOwner->mInfo = info;
    return true;
}

bool USBDevice::OSImpl::readPackedValue(std::uint32_t& value)
{
    if (mPackedValue != 0) {
        value = mPackedValue;
        return true;
    }
    std::uint8_t reply[OS::kPackedValueSize] = {};
    OS::DWORD returned = 0;
    // Sent without an overlapped record: the driver completes it before the call returns.
    if (!OS::deviceIoControl(mHandle, OS::IOCTL_HA_USB_GET_PACKED_VALUE, nullptr, 0, reply, sizeof reply, &returned,
                             nullptr)
        || returned < sizeof reply)
        return false;
    const std::uint32_t word = OS::getLe32(reply + 4);
    mPackedValue = ((((std::uint32_t(reply[2]) << 8) | reply[3]) << 8) | word) << 8;
    value = mPackedValue;
    return true;
}

std::uint32_t USBDevice::OSImpl::deviceIoControl(std::uint32_t code, const void* input, std::uint32_t inputSize,
                                                 void* output, std::uint32_t outputSize,
                                                 std::uint32_t* bytesReturned, std::uint32_t timeoutMs,
                                                 const OS::HANDLE* abortEvent)
{
    const std::uint32_t timeout = timeoutMs != 0 ? timeoutMs : kDefaultTimeoutMs;
    ThreadOverlappedMap::tEntry* entry = mOverlapped.entryForCurrentThread();
    if (entry == nullptr)
        return OS::ERROR_NOT_ENOUGH_MEMORY;
    OS::OVERLAPPED& overlapped = entry->second;
    if (!OS::resetEvent(entry->secondEvent))
        return OS::getLastError();

    if (OS::deviceIoControl(mHandle, code, input, inputSize, output, outputSize, bytesReturned, &overlapped))
        return OS::ERROR_SUCCESS;
    const OS::DWORD error = OS::getLastError();
    if (error == OS::ERROR_GEN_FAILURE && code == OS::IOCTL_HA_USB_RESERVED_810
        && (deviceQuirks(mOwner->mInfo.vendorId, mOwner->mInfo.productId) & eQuirkReservedRequestFailsDone) != 0)
        return OS::ERROR_SUCCESS;
    if (error != OS::ERROR_IO_PENDING)
        return error;

    OS::DWORD wait;
    if (abortEvent != nullptr) {
        const OS::HANDLE handles[2] = {entry->secondEvent, *abortEvent};
        wait = OS::waitForMultipleObjects(handles, 2, OS::eWait::Any, timeout);
    } else {
        wait = OS::waitForSingleObject(entry->secondEvent, timeout);
    }

    if (wait == OS::WAIT_OBJECT_0) {
        OS::DWORD count = 0;
        if (OS::getOverlappedResult(mHandle, overlapped, count, OS::eOverlappedWait::NoWait)) {
            if (bytesReturned != nullptr)
                *bytesReturned = count;
            return OS::ERROR_SUCCESS;
        }
        return OS::getLastError();
    }

    std::uint32_t result;
    if (abortEvent != nullptr && wait == OS::WAIT_OBJECT_0 + 1) {
        result = OS::ERROR_CANCELLED;
    } else {
        if (isLevel1Enabled())
            logPrintf(1, "%s: deviceIoControl timed out after %d ms)\n", kCategory, static_cast<int>(timeout));
        result = wait;
    }
    if (!OS::cancelIo(mHandle) && isLevel1Enabled())
        logPrintf(1, "%s: CancelIo (deviceIoControl) failed (GetLastError() == %dL)\n", kCategory,
                  static_cast<int>(OS::getLastError()));
    // The cancelled request may still complete into the record and the caller's buffers;
    // they go back to the caller only once it has.
    OS::DWORD ignored = 0;
    OS::getOverlappedResult(mHandle, overlapped, ignored, OS::eOverlappedWait::Wait);
    return result;
}

}  // namespace HA::HXL2
