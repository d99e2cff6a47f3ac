#include "hxl2/platform/DeviceIdentityOSImpl.h"

#include <algorithm>
#include <cstddef>

#include "gp/src/common/text/Utf8.h"
#include "hxl2/USBDescriptors.h"
#include "os/devices/DeviceConfig.h"
#include "os/devices/DeviceIo.h"
#include "os/devices/Hid.h"
#include "os/kernel/Kernel.h"
#include "os/kernel/LittleEndian.h"

namespace HA::HXL2 {

namespace {

bool isValid(OS::HANDLE device)
{
    return device != nullptr && device != OS::INVALID_HANDLE_VALUE;
}

// Sent without an overlapped record: the driver completes it before the call returns.
bool requestDescriptor(OS::HANDLE device, eDescriptorType type, std::uint8_t index, void* output,
                       std::uint32_t outputSize, std::uint32_t& returned)
{
    USBDescriptorRequest request;
    request.bDescriptorType = type;
    request.bIndex = index;
    std::uint8_t wire[USBDescriptorRequest::kWireSize];
    request.toWire(wire);
    returned = 0;
    return OS::deviceIoControl(device, OS::IOCTL_HA_USB_GET_DESCRIPTOR, wire, sizeof wire, output, outputSize,
                               &returned, nullptr);
}

// UTF-16 units up to the first NUL or `maxUnits`, whichever comes first: a reply that fills
// its buffer without a terminator is not read past it.
std::string boundedUtf8(const std::uint8_t* bytes, std::size_t maxUnits)
{
    std::u16string text;
    for (std::size_t i = 0; i < maxUnits; ++i) {
        const char16_t unit = OS::getLe16(bytes + 2 * i);
        if (unit == 0)
            break;
        text.push_back(unit);
    }
    return GP::toUtf8(text);
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
    std::uint8_t wire[USBDeviceDescriptor::kWireSize] = {};
    std::uint32_t returned = 0;
    if (!requestDescriptor(device, eDescriptorDevice, 0, wire, sizeof wire, returned) || returned < sizeof wire)
        return false;
    const USBDeviceDescriptor descriptor = USBDeviceDescriptor::fromWire(wire);
    info.vendorId = descriptor.idVendor;
    info.productId = descriptor.idProduct;
    info.bcdDevice = descriptor.bcdDevice;
    if (strings == USBDeviceFilter::eWithStrings) {
        readString(device, descriptor.iProduct, info.product);
        readString(device, descriptor.iManufacturer, info.manufacturer);
        readString(device, descriptor.iSerialNumber, info.serialNumber);
    }
    return true;
}

bool readStringDescriptor(OS::HANDLE device, std::uint8_t index, std::string& text)
{
    text.clear();
    std::uint8_t wire[OS::kMaxStringDescriptorSize] = {};
    std::uint32_t returned = 0;
    if (!requestDescriptor(device, eDescriptorString, index, wire, sizeof wire, returned) || returned < 4)
        return false;
    // bString runs to the descriptor's own bLength (an odd last byte is no unit), and never
    // past what came back.
    const std::uint8_t bLength = wire[0];
    const std::size_t end = std::min<std::size_t>(bLength, returned);
    constexpr std::size_t header = kStringDescriptorHeaderSize;
    text = end > header ? boundedUtf8(wire + header, (end - header) / 2) : std::string();
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
