// Start to first frame: the updater's initialise step (libraries, logic, application, the
// single-instance check, the style sheet, the wizard with its first scan of a device at
// 0.3.5, the main window) until the window holds its first painted pixels, headless on the
// manual clock so that the device's own delays cost nothing. Each iteration ends with the
// shut-down step, outside the timing. Beside it, the floor of any start: one copy of the
// window's pixels.

#include <benchmark/benchmark.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "os/kernel/Clock.h"
#include "os/sim/SimulatedSetup.h"
#include "os/windows/drawing/Drawing.h"
#include "os/windows/timers/MessagePump.h"
#include "uia/app/AppModule.h"
#include "uia/app/Application.h"
#include "uia/app/SingleInstance.h"
#include "updater/app/VireoUpdaterAppModule.h"

using namespace HA;

namespace {

// The device's state and the single-instance key in a folder of the benchmark's own.
struct Folder {
    Folder()
    {
        path = (std::filesystem::temp_directory_path() / ("ha-bench-startup-" + std::to_string(::getpid()))).string();
        std::filesystem::create_directories(path);
        ::chmod(path.c_str(), 0700);
        ::setenv("XDG_STATE_HOME", path.c_str(), 1);
        ::setenv("XDG_RUNTIME_DIR", path.c_str(), 1);
        ::setenv("HA_OS_VIREO", "fresh", 1);
    }
    ~Folder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    std::string path;
};

void StartToFirstFrame(benchmark::State& state)
{
    Folder folder;
    OS::ManualClockScope clock;
    OS::SIM::setUpSimulatedDevices();
    VireoUpdaterAppModule module;
    for (auto _ : state) {
        const bool started = UIA::initModule();
        OS::pumpMessages();
        OS::WindowPixels pixels;
        const bool painted = started && OS::readWindowPixels(UIA::Application::instance()->getMainWindowHandle(), pixels);
        benchmark::DoNotOptimize(pixels.pixels.data());
        state.PauseTiming();
        if (!painted || pixels.width != 627)
            state.SkipWithError("no first frame");
        UIA::exitModule();
        UIA::DETAIL::resetSingleInstanceState();
        state.ResumeTiming();
    }
    OS::SIM::tearDownSimulatedDevices();
}
BENCHMARK(StartToFirstFrame)->Unit(benchmark::kMillisecond);

void CopyOfOneFrame(benchmark::State& state)
{
    std::vector<std::uint32_t> from(627 * 335, 0xFF336699u), to(from.size());
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), from.size() * sizeof(std::uint32_t));
        benchmark::DoNotOptimize(to.data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(CopyOfOneFrame)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
