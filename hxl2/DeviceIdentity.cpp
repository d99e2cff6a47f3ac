#include "hxl2/DeviceIdentity.h"

#include <cstddef>

#include "os/kernel/Text.h"

namespace HA::HXL2 {

namespace {

std::uint16_t idAfter(const std::u16string& path, const char16_t* marker)
{
    const std::size_t p = path.find(marker);
    if (p == std::u16string::npos || p + 8 >= path.size())
        return 0;
    std::uint16_t value = 0;
    for (std::size_t i = p + 5; i <= p + 8; ++i) {
        const int digit = OS::hexDigitValue(path[i]);
        if (digit < 0)
            break;
        value = static_cast<std::uint16_t>((value << 4) | digit);
    }
    return value;
}

}  // namespace

bool parseDevicePath(const std::u16string& path, USBDeviceInfo& info)
{
    info.vendorId = idAfter(path, u"#vid_");
    info.productId = idAfter(path, u"&pid_");
    info.bcdDevice = idAfter(path, u"&rev_");
    return true;
}

bool USBDeviceFilter::readDeviceInfo(const std::u16string& path, USBDeviceInfo& info, eStrings strings) const
{
    return HXL2::readDeviceInfo(path, *this, info, strings);
}

}  // namespace HA::HXL2
