#include "hxl2/USBDevice.h"

#include <cstring>
#include <new>

#include "hxl2/platform/USBDeviceOSImpl.h"
#include "os/devices/DeviceConfig.h"
#include "os/kernel/Errors.h"
#include "os/kernel/LittleEndian.h"

namespace HA::HXL2 {

USBDevice::USBDevice() : mImpl(std::make_unique<OSImpl>(this)) {}

USBDevice::~USBDevice()
{
    // The back end goes first: it closes the handle, which ends any request still pending.
    mImpl.reset();
}

bool USBDevice::open(const USBDeviceOSHandle& handle)
{
    return open(handle.path);
}

bool USBDevice::open(const std::u16string& path)
{
    if (mIsOpen)
        close();
    if (!mImpl->open(path)) {
        mIsOpen = false;
        return false;
    }
    mIsOpen = true;
    mPath = path;
    if (!mImpl->readInfo()) {
        close();
        return false;
    }
    onOpened();
    return true;
}

void USBDevice::close()
{
    mPath.clear();
    mIsOpen = false;
    mImpl->close();
}

std::uint32_t USBDevice::deviceIoControl(std::uint32_t code, const void* input, std::uint32_t inputSize, void* output,
                                         std::uint32_t outputSize, std::uint32_t* bytesReturned,
                                         std::uint32_t timeoutMs, const OS::HANDLE* abortEvent)
{
    return mImpl->deviceIoControl(code, input, inputSize, output, outputSize, bytesReturned, timeoutMs, abortEvent);
}

std::uint32_t USBDevice::controlTransfer(USBControlRequest& request)
{
    request.transferred = 0;
    std::uint8_t header[OS::kControlHeaderSize] = {};
    header[0] = (request.bmRequestType & 0x80) ? 1 : 0;
    OS::putLe32(header + 1, (request.bmRequestType >> 5) & 3);
    OS::putLe32(header + 5, request.bmRequestType & 3);
    header[9] = request.bRequest;
    OS::putLe16(header + 10, request.wValue);
    OS::putLe16(header + 12, request.wIndex);
    OS::putLe16(header + 14, request.wLength);

    if (request.data == nullptr || request.wLength == 0)
        return deviceIoControl(OS::IOCTL_HA_USB_CONTROL_TRANSFER, header, sizeof header, nullptr, 0);
    if (request.bmRequestType & 0x80)
        return deviceIoControl(OS::IOCTL_HA_USB_CONTROL_TRANSFER, header, sizeof header, request.data,
                               request.wLength, &request.transferred);

    const std::uint32_t size = request.wLength + sizeof header;
    std::unique_ptr<std::uint8_t[]> block(new (std::nothrow) std::uint8_t[size]);
    if (!block)
        return OS::ERROR_OUTOFMEMORY;
    std::memcpy(block.get(), header, sizeof header);
    std::memcpy(block.get() + sizeof header, request.data, request.wLength);
    return deviceIoControl(OS::IOCTL_HA_USB_CONTROL_TRANSFER, block.get(), size, nullptr, 0);
}

void USBDevice::onOpened() {}

}  // namespace HA::HXL2
