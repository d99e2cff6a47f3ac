// Pointer input: one WM_MOUSEMOVE through the shared window procedure into a move event for
// the window (position scaled, modifiers read, the event offered to the window), beside a
// bare loop that only packs and unpacks the position; and the same moves queued by the
// stand-in's injector and taken by the message pump, per message.

#include <benchmark/benchmark.h>

#include <cstdint>

#include "os/windows/input/Input.h"
#include "os/windows/Message.h"
#include "os/windows/timers/MessagePump.h"
#include "uia/events/Events.h"
#include "uia/events/Input.h"
#include "uia/platform/window/WindowClasses.h"
#include "uia/window/Window.h"
#include "uia/window/WindowImpl.h"

using namespace HA;
using namespace HA::UIA;

namespace {

struct Classes {
    Classes()
    {
        registerWindowClasses();
        initKeyTables();
    }
    ~Classes() { unregisterWindowClasses(); }
};

// Counts the moves it is given and handles them.
class MoveCounter : public StandaloneWindow {
public:
    bool onEvent(int code, void* data) override
    {
        if (code == kEventMouseMove || code == kEventMouseEnter) {
            sum += static_cast<MotionEventData*>(data)->x;
            return true;
        }
        return StandaloneWindow::onEvent(code, data);
    }
    std::int64_t sum = 0;
};

WindowDescriptor descriptor()
{
    WindowDescriptor d;
    d.contentFlags = WindowDescriptor::kSizeGiven | WindowDescriptor::kClientSize;
    d.styleFlags = WindowDescriptor::kFrameless;
    d.right = 627;
    d.bottom = 335;
    return d;
}

void BM_MouseMoveThroughWindowProc(benchmark::State& state)
{
    Classes classes;
    MoveCounter window;
    window.create(descriptor());
    const OS::HWND hwnd = window.getImpl()->getHwnd();
    int x = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(windowProc(hwnd, OS::WM_MOUSEMOVE, 0, OS::makeLParam(x, 7)));
        x = (x + 1) & 511;
    }
    benchmark::DoNotOptimize(window.sum);
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_MouseMoveThroughWindowProc);

// The peer: the position packed into a parameter and read back, nothing else.
void BM_BarePositionLoop(benchmark::State& state)
{
    std::int64_t sum = 0;
    int x = 0;
    for (auto _ : state) {
        OS::LPARAM l = OS::makeLParam(x, 7);
        benchmark::DoNotOptimize(l);
        sum += OS::xOfLParam(l);
        x = (x + 1) & 511;
    }
    benchmark::DoNotOptimize(sum);
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_BarePositionLoop);

// Injected moves, 64 at a time, queued and then pumped to the window.
void BM_InjectedMovesPumped(benchmark::State& state)
{
    Classes classes;
    MoveCounter window;
    window.create(descriptor());
    const OS::HWND hwnd = window.getImpl()->getHwnd();
    OS::setWindowPos(hwnd, nullptr, 0, 0, 0, 0, OS::SWP_NOSIZE | OS::SWP_NOZORDER);
    OS::showWindow(hwnd, OS::SW_SHOW);
    OS::pumpMessages();
    int x = 0;
    for (auto _ : state) {
        for (int i = 0; i < 64; ++i) {
            OS::INPUT::moveTo(x, 7);
            x = (x + 1) & 511;
        }
        OS::pumpMessages();
    }
    benchmark::DoNotOptimize(window.sum);
    state.SetItemsProcessed(state.iterations() * 64);
    OS::INPUT::reset();
}
BENCHMARK(BM_InjectedMovesPumped);

}  // namespace

BENCHMARK_MAIN();
