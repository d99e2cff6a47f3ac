// Framework windows: one message through the shared window procedure into a window event,
// offered to the window and then to the application (bubbling); and what a window shows:
// a whole 627 x 335 picture copied during paint and a layered update of that size, beside
// memcpy of the same bytes.

#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "os/windows/drawing/Drawing.h"
#include "os/windows/Message.h"
#include "uia/app/AppModule.h"
#include "uia/app/Application.h"
#include "uia/events/Events.h"
#include "uia/graphics/picture/Picture.h"
#include "uia/platform/window/WindowClasses.h"
#include "uia/window/DeviceContext.h"
#include "uia/window/Window.h"
#include "uia/window/WindowImpl.h"

using namespace HA;
using namespace HA::UIA;

namespace {

constexpr int kWidth = 627;
constexpr int kHeight = 335;

// The window classes and an application that handles nothing, so that every command
// travels the whole way.
class BenchModule : public AppModule {
public:
    bool initialize() override { return true; }
    void deinitialize(bool) override { detachApplication(); }
};

struct Classes {
    Classes()
    {
        registerWindowClasses();
        module.attachApplication(new Application);
    }
    ~Classes()
    {
        module.detachApplication();
        unregisterWindowClasses();
    }
    BenchModule module;
};

// Handles nothing: every command is offered to the application too.
class QuietWindow : public StandaloneWindow {};

WindowDescriptor descriptor(std::uint32_t styleFlags)
{
    WindowDescriptor d;
    d.contentFlags = WindowDescriptor::kSizeGiven | WindowDescriptor::kClientSize;
    d.styleFlags = WindowDescriptor::kFrameless | styleFlags;
    d.right = kWidth;
    d.bottom = kHeight;
    return d;
}

void makePicture(Picture& picture)
{
    picture.setSize(kWidth, kHeight, Picture::eBlock::Discard);
    for (int i = 0; i < kWidth * kHeight; ++i)
        picture.getPixels()[i] = 0x80000000u | static_cast<std::uint32_t>(i);
}

void BM_CommandThroughWindowProc(benchmark::State& state)
{
    Classes classes;
    QuietWindow window;
    window.create(descriptor(0));
    const OS::HWND hwnd = window.getImpl()->getHwnd();
    for (auto _ : state)
        benchmark::DoNotOptimize(windowProc(hwnd, OS::WM_COMMAND, 1234, 0));
}
BENCHMARK(BM_CommandThroughWindowProc);

void BM_SendEventBubbling(benchmark::State& state)
{
    Classes classes;
    QuietWindow window;
    window.create(descriptor(0));
    CommandEventData command;
    command.id = 1234;
    for (auto _ : state)
        benchmark::DoNotOptimize(window.getImpl()->sendEvent(kEventCommand, &command, true));
}
BENCHMARK(BM_SendEventBubbling);

void BM_BlitWholeWindow(benchmark::State& state)
{
    Classes classes;
    QuietWindow window;
    window.create(descriptor(0));
    const OS::HWND hwnd = window.getImpl()->getHwnd();
    Picture picture;
    makePicture(picture);
    OS::HDC hdc = OS::getDC(hwnd);
    OS::PAINTSTRUCT paint{};
    paint.rcPaint = OS::RECT{0, 0, kWidth, kHeight};
    DeviceContext dc;
    dc.setHdc(hdc);
    dc.setPaint(&paint);
    for (auto _ : state)
        dc.blit(picture);
    OS::releaseDC(hwnd, hdc);
    state.SetBytesProcessed(state.iterations() * kWidth * kHeight * 4);
}
BENCHMARK(BM_BlitWholeWindow);

void BM_LayeredUpdate(benchmark::State& state)
{
    Classes classes;
    QuietWindow window;
    window.create(descriptor(WindowDescriptor::kLayered));
    Picture picture;
    makePicture(picture);
    for (auto _ : state)
        benchmark::DoNotOptimize(window.updateLayered(picture));
    state.SetBytesProcessed(state.iterations() * kWidth * kHeight * 4);
}
BENCHMARK(BM_LayeredUpdate);

// The floor: copying the picture's bytes once.
void BM_MemcpyOfThePicture(benchmark::State& state)
{
    std::vector<std::uint32_t> from(size_t(kWidth) * kHeight, 0x80123456u), to(from.size());
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), from.size() * sizeof(std::uint32_t));
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * kWidth * kHeight * 4);
}
BENCHMARK(BM_MemcpyOfThePicture);

}  // namespace

BENCHMARK_MAIN();
