#include "hxl2/platform/USBDeviceFactoryOSImpl.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>

#include "gp/src/common/text/Utf8.h"
#include "hxl2/DeviceIdentity.h"
#include "hxl2/DeviceQuirks.h"
#include "hxl2/platform/DeviceIdentityOSImpl.h"
#include "os/devices/DeviceConfig.h"
#include "os/devices/GuidText.h"
#include "os/devices/Hid.h"
#include "os/kernel/Kernel.h"
#include "os/devices/SetupApi.h"
#include "os/kernel/Text.h"

namespace HA::HXL2 {

namespace {

// GUID texts of product records whose devices are told apart by their ids. The table holds
// no product record with a class GUID of its own, so there are none.
constexpr std::array<const char*, 0> kIdFilteredGuidTexts{};

const OS::GUID& hidInterfaceClass()
{
    static const OS::GUID hid = [] {
        OS::GUID guid{};
        OS::hidGetHidGuid(guid);
        return guid;
    }();
    return hid;
}

// The interface class a filter's guid names, and whether identities decide.
bool interfaceClassOf(const USBDeviceFilter& filter, OS::GUID& interfaceClass, bool& filterByIds)
{
    struct tMagic {
        const std::string& word;
        const OS::GUID& interfaceClass;
    };
    const tMagic magic[] = {
        {kUsbGuidMagic, OS::GUID_DEVINTERFACE_USB_DEVICE},
        {kHidGuidMagic, hidInterfaceClass()},
        {kHadfuGuidMagic, OS::kHadfuInterfaceClass},
        {kHabdGuidMagic, OS::kHabdInterfaceClass},
        {kHaiapGuidMagic, OS::kHaiapInterfaceClass},
    };
    for (const tMagic& m : magic) {
        if (filter.guid == m.word) {
            interfaceClass = m.interfaceClass;
            filterByIds = filter.vendorId != 0 || filter.productId != 0;
            return true;
        }
    }
    // A text that names no class cannot be enumerated.
    if (!OS::clsidFromString(GP::toUtf16(filter.guid), interfaceClass))
        return false;
    filterByIds = false;
    for (const char* text : kIdFilteredGuidTexts)
        if (filter.guid == text)
            filterByIds = true;
    return true;
}

// A text that ends at its NUL or after maxUnits units, whichever comes first.
std::u16string boundedText(const OS::WChar* text, std::size_t maxUnits)
{
    std::size_t length = 0;
    while (length < maxUnits && text[length] != 0)
        ++length;
    return std::u16string(text, length);
}

std::u16string lowerCase(std::u16string text)
{
    for (OS::WChar& c : text)
        c = OS::charLower(c);
    return text;
}

// The path of one interface of the walk; empty when its detail record cannot be read.
std::u16string interfacePath(OS::HDEVINFO set, const OS::SP_DEVICE_INTERFACE_DATA& data)
{
    OS::DWORD required = 0;
    if (OS::setupDiGetDeviceInterfaceDetail(set, data, nullptr, 0, &required) ||
        OS::getLastError() != OS::ERROR_INSUFFICIENT_BUFFER || required == 0)
        return {};
    std::unique_ptr<std::uint8_t[]> buffer(new (std::nothrow) std::uint8_t[required]());
    if (!buffer)
        return {};
    auto* detail = reinterpret_cast<OS::SP_DEVICE_INTERFACE_DETAIL_DATA_W*>(buffer.get());
    detail->cbSize = sizeof(OS::SP_DEVICE_INTERFACE_DETAIL_DATA_W);
    if (!OS::setupDiGetDeviceInterfaceDetail(set, data, detail, required, nullptr))
        return {};
    // Read no further than the record, terminated or not.
    constexpr std::size_t header = offsetof(OS::SP_DEVICE_INTERFACE_DETAIL_DATA_W, DevicePath);
    return boundedText(reinterpret_cast<const OS::WChar*>(buffer.get() + header),
                       (required - header) / sizeof(OS::WChar));
}

}  // namespace

USBDeviceFactory::OSImpl::OSImpl(USBDeviceFactory* owner) : mOwner(owner) {}

USBDeviceFactory::OSImpl::~OSImpl()
{
    unregister();
}

bool USBDeviceFactory::OSImpl::enumerate(const USBDeviceFilter& filter, eNotifications notifications)
{
    OS::GUID interfaceClass{};
    bool filterByIds = false;
    if (!interfaceClassOf(filter, interfaceClass, filterByIds))
        return false;
    OS::HDEVINFO set = OS::setupDiGetClassDevs(interfaceClass, OS::DIGCF_PRESENT | OS::DIGCF_DEVICEINTERFACE);
    if (set == OS::INVALID_HANDLE_VALUE)
        return false;
    // Class, mode and filter change together, so notices are never judged by a mix of two.
    mInterfaceClass = interfaceClass;
    mFilterByIds = filterByIds;
    mFilter = filter;
    if (notifications == eWithNotifications && !mRegistered) {
        mRegistered = true;
        GP::addDeviceNotificationListener(this);
    }
    for (OS::DWORD index = 0;; ++index) {
        OS::SP_DEVICE_INTERFACE_DATA data{};
        data.cbSize = sizeof data;
        if (!OS::setupDiEnumDeviceInterfaces(set, interfaceClass, index, data))
            break;
        const std::u16string path = interfacePath(set, data);
        if (!path.empty())
            onDeviceArrived(path.c_str());
    }
    OS::setupDiDestroyDeviceInfoList(set);
    return true;
}

void USBDeviceFactory::OSImpl::clear()
{
    mSeen.clear();
    unregister();
}

void USBDeviceFactory::OSImpl::unregister()
{
    if (!mRegistered)
        return;
    mRegistered = false;
    GP::removeDeviceNotificationListener(this);
}

bool USBDeviceFactory::OSImpl::accepts(const std::u16string& path) const
{
    if (mFilterByIds) {
        USBDeviceInfo info;
        if (!readDeviceInfo(path, mFilter, info, USBDeviceFilter::eWithoutStrings))
            return false;
        if (mFilter.vendorId != 0 && mFilter.vendorId != info.vendorId)
            return false;
        return productIdMatches(mFilter.productId, info.vendorId, info.productId);
    }
    OS::HANDLE device = openDeviceFile(path);
    if (device == nullptr)
        return false;
    OS::closeHandle(device);
    return true;
}

void USBDeviceFactory::OSImpl::onDeviceArrived(const OS::WChar* path)
{
    if (path == nullptr)
        return;
    const std::u16string lower = lowerCase(path);
    mSeen[lower] = false;
    if (!accepts(lower))
        return;
    mSeen[lower] = true;
    // Copies: a callback may replace the callbacks or enumerate again.
    const tCallback added = mOwner->mAdded;
    const USBDeviceFilter filter = mFilter;
    if (added)
        added(USBDeviceOSHandle{lower}, filter);
}

void USBDeviceFactory::OSImpl::onDeviceRemoved(const OS::WChar* path)
{
    if (path == nullptr)
        return;
    const std::u16string lower = lowerCase(path);
    const auto it = mSeen.find(lower);
    if (it == mSeen.end())
        return;
    const bool accepted = it->second;
    mSeen.erase(it);
    const tCallback removed = mOwner->mRemoved;
    const USBDeviceFilter filter = mFilter;
    if (accepted && removed)
        removed(USBDeviceOSHandle{lower}, filter);
}

void USBDeviceFactory::OSImpl::onDeviceNotification(bool removed, const OS::DEV_BROADCAST_HDR* header)
{
    constexpr std::size_t nameOffset = offsetof(OS::DEV_BROADCAST_DEVICEINTERFACE_W, dbcc_name);
    if (header == nullptr || header->dbch_devicetype != OS::DBT_DEVTYP_DEVICEINTERFACE ||
        header->dbch_size < nameOffset)
        return;
    const auto* record = reinterpret_cast<const OS::DEV_BROADCAST_DEVICEINTERFACE_W*>(header);
    if (std::memcmp(&record->dbcc_classguid, &mInterfaceClass, sizeof mInterfaceClass) != 0)
        return;
    // The name ends at its NUL or at the end of the record, whichever comes first.
    const std::u16string name = boundedText(record->dbcc_name, (header->dbch_size - nameOffset) / sizeof(OS::WChar));
    if (removed)
        onDeviceRemoved(name.c_str());
    else
        onDeviceArrived(name.c_str());
}

}  // namespace HA::HXL2
