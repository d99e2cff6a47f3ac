// The presenter: a changed rectangle of the 627 x 335 main window put on the display, the
// whole window and the 22 x 22 of the spinning wheel, beside a memcpy of the same bytes.
// Needs a display: run it under
//   xvfb-run -a -s "-screen 0 1280x1024x24" build/normal/bench/bench_presenter

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "os/display/Presenter.h"
#include "os/windows/DisplayHooks.h"
#include "os/windows/drawing/Drawing.h"
#include "os/windows/Message.h"
#include "os/windows/timers/MessagePump.h"

using namespace HA::OS;

namespace {

constexpr int kWidth = 627;
constexpr int kHeight = 335;

LRESULT plainProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    return defWindowProc(hwnd, message, wParam, lParam);
}

// The main window on the display, painted with a gradient.
struct PresentedWindow {
    HWND hwnd = nullptr;
    bool ok = false;

    PresentedWindow()
    {
        WNDCLASSEXW wc;
        wc.lpfnWndProc = &plainProc;
        wc.lpszClassName = u"HABenchPresented";
        registerClass(wc);
        hwnd = createWindow(0, u"HABenchPresented", u"bench", WS_POPUP | WS_VISIBLE, 0, 0, kWidth, kHeight, nullptr,
                            nullptr, nullptr, nullptr);
        std::vector<std::uint32_t> picture(size_t(kWidth) * kHeight);
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x)
                picture[size_t(y) * kWidth + x] = 0xFF000000u | std::uint32_t(x & 0xFF) << 16 | std::uint32_t(y) << 8;
        BITMAPINFO info{};
        info.bmiHeader = BITMAPINFOHEADER{40, kWidth, -kHeight, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        HDC dc = getDC(hwnd);
        setDIBitsToDevice(dc, 0, 0, kWidth, kHeight, 0, 0, 0, kHeight, picture.data(), &info, DIB_RGB_COLORS);
        releaseDC(hwnd, dc);
        if (!startPresenter())
            return;
        for (int i = 0; i < 500 && presentCount() == 0; ++i)
            pumpMessagesFor(10);
        ok = presentCount() > 0;
    }
    ~PresentedWindow()
    {
        stopPresenter();
        destroyWindow(hwnd);
        unregisterClass(u"HABenchPresented");
    }
};

void BM_PresentRectangle(benchmark::State& state)
{
    PresentedWindow window;
    if (!window.ok) {
        state.SkipWithError("no display: run under xvfb-run");
        return;
    }
    const int width = static_cast<int>(state.range(0)), height = static_cast<int>(state.range(1));
    RECT rect{100, 100, 100 + width, 100 + height};
    if (width == kWidth)
        rect = RECT{0, 0, kWidth, kHeight};
    for (auto _ : state) {
        notePixelsChanged(window.hwnd, rect);
        presentNow();
    }
    state.SetBytesProcessed(state.iterations() * width * height * 4);
}
BENCHMARK(BM_PresentRectangle)->Args({kWidth, kHeight})->Args({22, 22})->Unit(benchmark::kMicrosecond);

// The peer: copying the same bytes once.
void BM_MemcpyRectangle(benchmark::State& state)
{
    const size_t bytes = size_t(state.range(0)) * size_t(state.range(1)) * 4;
    std::vector<std::uint8_t> from(bytes, 1), to(bytes);
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), bytes);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(bytes));
}
BENCHMARK(BM_MemcpyRectangle)->Args({kWidth, kHeight})->Args({22, 22})->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
