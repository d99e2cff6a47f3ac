#include "hxl2/platform/DeviceIdentityOSImpl.h"

#include <cstddef>
#include <cstring>

#include "gp/src/common/Utf8.h"
#include "os/devices/DeviceConfig.h"
#include "os/devices/DeviceIo.h"
#include "os/devices/Hid.h"
#include "os/kernel/Kernel.h"

namespace HA::HXL2 {

namespace {

bool isValid(OS::HANDLE device)
{
    return device != nullptr && device != OS::INVALID_HANDLE_VALUE;
}

// A descriptor request: u32 0, descriptor type, index, u16 language id.
bool requestDescriptor(OS::HANDLE device, std::uint8_t type, std::uint8_t index, void* output,
                       std::uint32_t outputSize, std::uint32_t& returned)
{
    const std::uint8_t request[OS::kDescriptorRequestSize] = {0, 0, 0, 0, type, index, 0, 0};
    returned = 0;
    // Sent without an overlapped record: the driver completes it before the call returns.
    return OS::deviceIoControl(device, OS::IOCTL_HA_USB_GET_DESCRIPTOR, request, sizeof request, output, outputSize,
                               &returned, nullptr);
}

// UTF-16 units up to the first NUL or `maxUnits`, whichever comes first: a reply that fills
// its buffer without a terminator is not read past it.
std::string boundedUtf8(const std::uint8_t* bytes, std::size_t maxUnits)
{
    std::u16string text;
    for (std::size_t i = 0; i < maxUnits; ++i) {
        const char16_t unit = static_cast<char16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
        if (unit == 0)
            break;
        text.push_back(unit);
    }
    return GP::toUtf8(text);
}

std::uint16_t word(const std::uint8_t* bytes)
{
    return static_cast<std::uint16_t>(bytes[0] | (bytes[1] << 8));
}

void readString(OS::HANDLE device, std::uint8_t index, std::string& field)
{
    if (index == 0 || !readStringDescriptor(device, index, field))
        field.clear();
}

using HidStringReader = bool (*)(OS::HANDLE, void*, OS::DWORD);

void readHidString(OS::HANDLE device, HidStringReader reader, std::string& field)
{
    std::uint8_t buffer[1024] = {};
    if (reader(device, buffer, sizeof buffer))
        field = boundedUtf8(buffer, sizeof buffer / 2);
    else
        field.clear();
}

}  // namespace

OS::HANDLE openDeviceFile(const std::u16string& path)
{
    OS::HANDLE h = OS::createDeviceFile(path, OS::GENERIC_READ | OS::GENERIC_WRITE,
                                        OS::FILE_SHARE_READ | OS::FILE_SHARE_WRITE, OS::OPEN_EXISTING,
                                        OS::FILE_FLAG_OVERLAPPED);
    return h == OS::INVALID_HANDLE_VALUE ? nullptr : h;
}

bool readDeviceDescriptor(OS::HANDLE device, USBDeviceInfo& info, eStrings strings)
{
    if (!isValid(device))
        return false;
    std::uint8_t descriptor[OS::kDeviceDescriptorSize] = {};
    std::uint32_t returned = 0;
    if (!requestDescriptor(device, 1, 0, descriptor, sizeof descriptor, returned) || returned < sizeof descriptor)
        return false;
    info.vendorId = word(descriptor + 8);
    info.productId = word(descriptor + 10);
    info.bcdDevice = word(descriptor + 12);
    if (strings == USBDeviceFilter::eWithStrings) {
        readString(device, descriptor[15], info.product);
        readString(device, descriptor[14], info.manufacturer);
        readString(device, descriptor[16], info.serialNumber);
    }
    return true;
}

bool readStringDescriptor(OS::HANDLE device, std::uint8_t index, std::string& text)
{
    text.clear();
    std::uint8_t buffer[OS::kMaxStringDescriptorSize] = {};
    std::uint32_t returned = 0;
    if (!requestDescriptor(device, 3, index, buffer, sizeof buffer, returned) || returned < 4)
        return false;
    // The text runs from byte 2 to the descriptor's own length (an odd last byte is no unit),
    // and never past what came back.
    std::size_t end = buffer[0];
    if (returned < end)
        end = returned;
    text = end > 2 ? boundedUtf8(buffer + 2, (end - 2) / 2) : std::string();
    return true;
}

bool readHIDAttributes(OS::HANDLE device, USBDeviceInfo& info, eStrings strings)
{
    if (!isValid(device))
        return false;
    OS::HIDD_ATTRIBUTES attributes{};
    attributes.Size = sizeof attributes;
    if (!OS::hidGetAttributes(device, attributes))
        return false;
    info.vendorId = attributes.VendorID;
    info.productId = attributes.ProductID;
    info.bcdDevice = attributes.VersionNumber;
    if (strings == USBDeviceFilter::eWithStrings) {
        readHidString(device, OS::hidGetManufacturerString, info.manufacturer);
        readHidString(device, OS::hidGetProductString, info.product);
        readHidString(device, OS::hidGetSerialNumberString, info.serialNumber);
    }
    return true;
}

bool readUSBDeviceInfo(const std::u16string& path, USBDeviceInfo& info, eStrings strings)
{
    OS::HANDLE device = openDeviceFile(path);
    if (device != nullptr) {
        const bool read = readDeviceDescriptor(device, info, strings);
        OS::closeHandle(device);
        if (read)
            return true;
    }
    parseDevicePath(path, info);
    return strings == USBDeviceFilter::eWithoutStrings;
}

bool readDeviceInfo(const std::u16string& path, const USBDeviceFilter& filter, USBDeviceInfo& info,
                    eStrings strings)
{
    using Reader = bool (*)(OS::HANDLE, USBDeviceInfo&, eStrings);
    Reader reader = nullptr;
    switch (filter.kind) {
    case USBDeviceFilter::eAnyUsb:
        return readUSBDeviceInfo(path, info, strings);
    case USBDeviceFilter::eAudioDriver:
    case USBDeviceFilter::eMakerUsb:
        reader = readDeviceDescriptor;
        break;
    case USBDeviceFilter::eHid:
        reader = readHIDAttributes;
        break;
    default:
        return false;
    }
    OS::HANDLE device = openDeviceFile(path);
    if (device == nullptr)
        return false;
    const bool read = reader(device, info, strings);
    OS::closeHandle(device);
    return read;
}

}  // namespace HA::HXL2
