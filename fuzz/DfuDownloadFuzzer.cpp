// The DFU replies of a device during a download: its DFU information when opened, then the
// answer to every block, status poll, state query and the manifestation wait, all from the
// input (see DeviceReplyScript.h). Every download ends, on the manual clock.
#include <memory>
#include <vector>

#include "fuzz/DeviceReplyScript.h"
#include "hxl2/DFUDevice.h"
#include "os/devices/DeviceRegistry.h"
#include "os/kernel/Clock.h"

using namespace HA;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    OS::ManualClockScope clock;
    OS::removeAllDeviceInterfaces();
    auto input = std::make_shared<FUZZ::FuzzInput>(data, size);
    {
        HXL2::Test::FakeDevice fake(HXL2::Test::kFakePath);
        fake.driver().setScript(FUZZ::replyScript(input));
        HXL2::DFUDevice device;
        if (device.openAndCheck({HXL2::Test::kFakePath})) {
            const std::vector<std::uint8_t> image(1000, 0xA5);
            HXL2::DFUStatus status;
            const bool done = device.download(image.data(), std::uint32_t(image.size()), status);
            if (done != (status.bStatus == 0))
                FUZZ::fail("download result and status disagree");
            std::uint8_t state = 0;
            device.getState(state);
            device.abort();
            device.leaveDFUMode();
        }
        device.close();
    }
    OS::removeAllDeviceInterfaces();
    return 0;
}
