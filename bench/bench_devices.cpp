// The stand-in's driver requests against the simulated Vireo Interface: one overlapped
// status request with its wait, one request without an OVERLAPPED record, and a whole
// firmware download (blocks, status polls, closing block) on the manual clock.

#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <vector>

#include "os/devices/DeviceConfig.h"
#include "os/devices/DeviceIo.h"
#include "os/devices/DeviceRegistry.h"
#include "os/kernel/Kernel.h"
#include "os/sim/FirmwareImage.h"
#include "os/sim/SimulatedVireo.h"

using namespace HA::OS;
using namespace HA::OS::SIM;

namespace {

struct Session {
    ManualClockScope clock;
    std::shared_ptr<SimulatedVireo> device;
    HANDLE file = nullptr;
    HANDLE event = createEvent(eReset::Manual, false);

    explicit Session(bool dfuMode)
    {
        removeAllDeviceInterfaces();
        device = SimulatedVireo::makeShared();
        if (dfuMode)
            device->setFirmwareSlot(false, 0);
        device->plugIn();
        file = createDeviceFile(device->path(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                OPEN_EXISTING, FILE_FLAG_OVERLAPPED);
    }
    ~Session()
    {
        closeHandle(file);
        closeHandle(event);
        device.reset();
        removeAllDeviceInterfaces();
    }

    // The device layer's request: overlapped, then a wait on the record's event.
    bool request(DWORD code, const void* in, DWORD inSize, void* out, DWORD outSize)
    {
        OVERLAPPED ov{};
        ov.hEvent = event;
        DWORD bytes = 0;
        if (deviceIoControl(file, code, in, inSize, out, outSize, &bytes, &ov))
            return true;
        if (getLastError() != ERROR_IO_PENDING || waitForSingleObject(event, 500) != WAIT_OBJECT_0)
            return false;
        return getOverlappedResult(file, ov, bytes, eOverlappedWait::NoWait);
    }
};

void BM_OverlappedStatusRequest(benchmark::State& state)
{
    Session s(false);
    BYTE status[6];
    for (auto _ : state)
        benchmark::DoNotOptimize(s.request(IOCTL_HA_DFU_GETSTATUS, nullptr, 0, status, sizeof(status)));
}
BENCHMARK(BM_OverlappedStatusRequest);

void BM_DescriptorWithoutOverlapped(benchmark::State& state)
{
    Session s(false);
    BYTE in[8] = {0, 0, 0, 0, 1, 0, 0, 0};
    BYTE out[18];
    DWORD bytes = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(deviceIoControl(s.file, IOCTL_HA_USB_GET_DESCRIPTOR, in, 8, out, 18, &bytes, nullptr));
}
BENCHMARK(BM_DescriptorWithoutOverlapped);

void BM_WholeImageDownload(benchmark::State& state)
{
    const std::vector<BYTE> image = buildFirmwareImage(kHarnwickVendorId, kVireoProductId, 0x0036);
    const DWORD blockSize = static_cast<DWORD>(state.range(0));
    std::vector<BYTE> block(kDfuDownloadBlockSize);
    for (auto _ : state) {
        state.PauseTiming();
        auto session = std::make_unique<Session>(true);
        Session& s = *session;
        state.ResumeTiming();
        DWORD offset = 0;
        WORD number = 0;
        bool ok = true;
        while (ok && offset < image.size()) {
            DWORD length = std::min<DWORD>(blockSize, static_cast<DWORD>(image.size()) - offset);
            block[0] = static_cast<BYTE>(number);
            block[1] = static_cast<BYTE>(number >> 8);
            block[2] = static_cast<BYTE>(length);
            block[3] = static_cast<BYTE>(length >> 8);
            std::memcpy(block.data() + 4, image.data() + offset, length);
            ok = s.request(IOCTL_HA_DFU_DNLOAD, block.data(), kDfuDownloadBlockSize, nullptr, 0);
            BYTE status[6] = {};
            do {
                ok = ok && s.request(IOCTL_HA_DFU_GETSTATUS, nullptr, 0, status, sizeof(status));
                if (status[4] == 4)
                    Clock::sleep(status[1]);
            } while (ok && status[4] == 4);
            offset += length;
            ++number;
        }
        block[2] = block[3] = 0;
        ok = ok && s.request(IOCTL_HA_DFU_DNLOAD, block.data(), kDfuDownloadBlockSize, nullptr, 0);
        if (!ok)
            state.SkipWithError("download failed");
        state.PauseTiming();
        session.reset();
        state.ResumeTiming();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(image.size()));
}
BENCHMARK(BM_WholeImageDownload)->Arg(1000)->Arg(1024)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
