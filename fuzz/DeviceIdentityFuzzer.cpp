// The identity a device returns: its device descriptor and string descriptors (answered from
// the input, see DeviceReplyScript.h), read as every filter kind reads them; and the ids in a
// device-interface path. Strings come out as valid UTF-8.
#include <memory>
#include <stdexcept>
#include <string>

#include "fuzz/DeviceReplyScript.h"
#include "gp/src/common/text/Utf8.h"
#include "hxl2/DeviceIdentity.h"
#include "os/devices/DeviceRegistry.h"
#include "os/kernel/Clock.h"

using namespace HA;

namespace {

void checkStrings(const HXL2::USBDeviceInfo& info)
{
    for (const std::string* text : {&info.manufacturer, &info.product, &info.serialNumber}) {
        try {
            GP::countCodePoints(*text);
        } catch (const std::out_of_range&) {
            FUZZ::fail("device string is not valid UTF-8");
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    OS::ManualClockScope clock;
    OS::removeAllDeviceInterfaces();
    auto input = std::make_shared<FUZZ::FuzzInput>(data, size);
    {
        HXL2::Test::FakeDevice fake(HXL2::Test::kFakePath);
        fake.driver().setScript(FUZZ::replyScript(input));
        HXL2::USBDeviceInfo info;
        HXL2::readUSBDeviceInfo(HXL2::Test::kFakePath, info, HXL2::USBDeviceFilter::eWithStrings);
        checkStrings(info);
        for (std::uint32_t kind : {0u, 1u, 3u}) {
            HXL2::USBDeviceFilter filter;
            filter.kind = kind;
            HXL2::USBDeviceInfo other;
            HXL2::readDeviceInfo(HXL2::Test::kFakePath, filter, other, HXL2::USBDeviceFilter::eWithStrings);
            checkStrings(other);
        }
    }
    OS::removeAllDeviceInterfaces();

    // The same bytes as the UTF-16 text of a device-interface path.
    std::u16string path(size / 2, u'\0');
    for (size_t i = 0; i < path.size(); ++i)
        path[i] = char16_t(data[2 * i] | data[2 * i + 1] << 8);
    HXL2::USBDeviceInfo fromPath;
    HXL2::parseDevicePath(path, fromPath);
    return 0;
}
