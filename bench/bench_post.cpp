// Functions posted to the user-interface thread from another thread through the
// application's post queue, beside bare window messages posted the same way. Each
// iteration posts 1,000 from a second thread while the user-interface thread runs them.

#include <benchmark/benchmark.h>

#include <atomic>
#include <thread>

#include "os/windows/Message.h"
#include "os/windows/Window.h"
#include "uia/app/Application.h"

using namespace HA;

namespace {

constexpr int kBatch = 1000;

// Runs the calling thread's queue until `done` reports true.
template <typename Done>
void pumpUntil(Done&& done)
{
    OS::MSG msg;
    while (!done() && OS::getMessage(msg) > 0)
        OS::dispatchMessage(msg);
}

void BM_PostToMainThread(benchmark::State& state)
{
    UIA::Application app;
    for (auto _ : state) {
        int ran = 0;
        std::thread poster([&] {
            for (int i = 0; i < kBatch; ++i)
                app.postToMainThread([&ran] { ++ran; });
        });
        pumpUntil([&] { return ran == kBatch; });
        poster.join();
    }
    state.SetItemsProcessed(state.iterations() * kBatch);
}
BENCHMARK(BM_PostToMainThread)->UseRealTime();

std::atomic<int> gMessages{0};

OS::LRESULT countProc(OS::HWND hwnd, OS::UINT message, OS::WPARAM wParam, OS::LPARAM lParam)
{
    if (message == OS::WM_USER) {
        gMessages.fetch_add(1, std::memory_order_relaxed);
        return 0;
    }
    return OS::defWindowProc(hwnd, message, wParam, lParam);
}

// The peer: one bare message per item, posted from another thread.
void BM_PostMessageFromAnotherThread(benchmark::State& state)
{
    OS::WNDCLASSEXW wc;
    wc.lpfnWndProc = &countProc;
    wc.lpszClassName = u"HABenchPostWindow";
    OS::registerClass(wc);
    OS::HWND hwnd =
        OS::createWindow(0, u"HABenchPostWindow", u"", OS::WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    for (auto _ : state) {
        gMessages = 0;
        std::thread poster([&] {
            for (int i = 0; i < kBatch; ++i)
                OS::postMessage(hwnd, OS::WM_USER, 0, 0);
        });
        pumpUntil([] { return gMessages.load() == kBatch; });
        poster.join();
    }
    OS::destroyWindow(hwnd);
    OS::unregisterClass(u"HABenchPostWindow");
    state.SetItemsProcessed(state.iterations() * kBatch);
}
BENCHMARK(BM_PostMessageFromAnotherThread)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
