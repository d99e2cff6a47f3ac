// Posted messages through the application's loop (with its catch-up check and quit-flag
// test after each message) beside the bare get-translate-dispatch loop of the same
// messages. Each iteration posts a batch of 1,000 messages; the last one ends the loop.

#include <benchmark/benchmark.h>

#include <memory>

#include "os/windows/Message.h"
#include "os/windows/Window.h"
#include "uia/app/Application.h"

using namespace HA;

namespace {

constexpr int kBatch = 1000;
constexpr OS::UINT kLast = OS::WM_USER + 1;

UIA::Application* gApp = nullptr;

OS::LRESULT benchProc(OS::HWND hwnd, OS::UINT message, OS::WPARAM wParam, OS::LPARAM lParam)
{
    if (message == kLast) {
        if (gApp)
            gApp->quit();
        else
            OS::postQuitMessage(0);
        return 0;
    }
    if (message == OS::WM_USER)
        return 1;
    return OS::defWindowProc(hwnd, message, wParam, lParam);
}

struct BenchWindow {
    BenchWindow()
    {
        OS::WNDCLASSEXW wc;
        wc.lpfnWndProc = &benchProc;
        wc.lpszClassName = u"HABenchApplicationWindow";
        OS::registerClass(wc);
        hwnd = OS::createWindow(0, u"HABenchApplicationWindow", u"", OS::WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                nullptr, nullptr);
    }
    ~BenchWindow()
    {
        OS::destroyWindow(hwnd);
        OS::unregisterClass(u"HABenchApplicationWindow");
    }
    void postBatch() const
    {
        for (int i = 1; i < kBatch; ++i)
            OS::postMessage(hwnd, OS::WM_USER, 0, 0);
        OS::postMessage(hwnd, kLast, 0, 0);
    }
    OS::HWND hwnd;
};

// The application's loop ends once per batch; a new application starts the next one.
void BM_ApplicationRun(benchmark::State& state)
{
    BenchWindow window;
    for (auto _ : state) {
        state.PauseTiming();
        auto app = std::make_unique<UIA::Application>();
        gApp = app.get();
        window.postBatch();
        state.ResumeTiming();
        app->run();
        state.PauseTiming();
        gApp = nullptr;
        app.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * kBatch);
}
BENCHMARK(BM_ApplicationRun);

// The ceiling: the bare loop over the same messages.
void BM_BareLoop(benchmark::State& state)
{
    BenchWindow window;
    for (auto _ : state) {
        window.postBatch();
        OS::MSG msg;
        while (OS::getMessage(msg) > 0) {
            OS::translateMessage(msg);
            OS::dispatchMessage(msg);
        }
    }
    state.SetItemsProcessed(state.iterations() * kBatch);
}
BENCHMARK(BM_BareLoop);

}  // namespace

BENCHMARK_MAIN();
