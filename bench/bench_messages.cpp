// The stand-in's message queues: posting and dispatching on one thread (beside a number
// of idle windows, which every look for paint walks), sending on the window's thread and
// sending from another thread.

#include <benchmark/benchmark.h>

#include <atomic>
#include <thread>
#include <vector>

#include "os/kernel/Kernel.h"
#include "os/windows/Message.h"
#include "os/windows/Window.h"

using namespace HA::OS;

namespace {

LRESULT countingProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_USER)
        return static_cast<LRESULT>(wParam) + 1;
    return defWindowProc(hwnd, message, wParam, lParam);
}

struct BenchClass {
    BenchClass()
    {
        WNDCLASSEXW wc;
        wc.lpfnWndProc = &countingProc;
        wc.lpszClassName = u"HABenchWindow";
        registerClass(wc);
    }
    ~BenchClass() { unregisterClass(u"HABenchWindow"); }
};

HWND makeWindow()
{
    return createWindow(0, u"HABenchWindow", u"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
}

void BM_PostAndDispatch(benchmark::State& state)
{
    BenchClass cls;
    std::vector<HWND> idle;
    for (int i = 0; i < state.range(0); ++i)
        idle.push_back(makeWindow());
    HWND hwnd = makeWindow();
    MSG msg;
    for (auto _ : state) {
        postMessage(hwnd, WM_USER, 1, 0);
        peekMessage(msg, nullptr, 0, 0, PM_REMOVE);
        benchmark::DoNotOptimize(dispatchMessage(msg));
    }
    destroyWindow(hwnd);
    for (HWND w : idle)
        destroyWindow(w);
}
BENCHMARK(BM_PostAndDispatch)->Arg(0)->Arg(16)->Arg(256);

void BM_SendOnTheWindowsThread(benchmark::State& state)
{
    BenchClass cls;
    HWND hwnd = makeWindow();
    for (auto _ : state)
        benchmark::DoNotOptimize(sendMessage(hwnd, WM_USER, 1, 0));
    destroyWindow(hwnd);
}
BENCHMARK(BM_SendOnTheWindowsThread);

void BM_SendFromAnotherThread(benchmark::State& state)
{
    BenchClass cls;
    std::atomic<HWND> hwnd{nullptr};
    HANDLE ready = createEvent(eReset::Manual, false);
    std::thread ui([&] {
        hwnd = makeWindow();
        setEvent(ready);
        MSG msg;
        while (getMessage(msg, nullptr, 0, 0) > 0)
            dispatchMessage(msg);
        destroyWindow(hwnd);
    });
    waitForSingleObject(ready, INFINITE);
    closeHandle(ready);
    for (auto _ : state)
        benchmark::DoNotOptimize(sendMessage(hwnd.load(), WM_USER, 1, 0));
    postThreadMessage(getWindowThreadId(hwnd.load()), WM_QUIT, 0, 0);
    ui.join();
}
BENCHMARK(BM_SendFromAnotherThread)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
