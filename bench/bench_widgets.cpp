// A pointer move through the pane's dispatch (hit test, hover, enter and leave, the widget's
// move event) over a grid of 16 and 256 widgets, beside a bare loop that finds the rectangle
// under the point.

#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "gp/src/common/memory/SmallPool.h"
#include "hwl/core/src/tree/Pane.h"
#include "hwl/core/src/tree/Widget.h"

using namespace HA;

namespace {

class Cell : public HWL::Widget {
public:
    ha::symbol getClass() const override { return ha::symbol(); }
};

constexpr int kCell = 10;

void placeCell(HWL::Widget& w, int x, int y)
{
    w.setSize(kCell, kCell);
    w.setGeometryForTesting(GP::Point{x, y}, GP::Rect{x, y, x + kCell, y + kCell});
}

void BM_PaneMouseMove(benchmark::State& state)
{
    GP::acquireSmallPool();
    {
        const int side = static_cast<int>(state.range(0));
        HWL::Pane pane;
        auto root = std::make_shared<Cell>();
        pane.setRoot(root, "root");
        root->setSize(side * kCell, side * kCell);
        root->setGeometryForTesting(GP::Point{}, GP::Rect{0, 0, side * kCell, side * kCell});
        for (int y = 0; y < side; ++y)
            for (int x = 0; x < side; ++x) {
                auto cell = std::make_shared<Cell>();
                root->addChild(cell, "cell");
                placeCell(*cell, x * kCell, y * kCell);
            }
        int step = 0;
        for (auto _ : state) {
            // Alternate between two cells so that every move changes the hovered widget.
            const int at = (step++ & 1) ? 5 : side * kCell - 5;
            UIA::MotionEventData move{at, at, 0, 0, 0};
            benchmark::DoNotOptimize(pane.handleEvent(UIA::kEventMouseMove, &move));
        }
        state.SetItemsProcessed(state.iterations());
    }
    GP::releaseSmallPool();
}
BENCHMARK(BM_PaneMouseMove)->Arg(4)->Arg(16);

// The floor: the last rectangle containing the point, found by a plain scan.
void BM_BareRectScan(benchmark::State& state)
{
    const int side = static_cast<int>(state.range(0));
    std::vector<GP::Rect> rects;
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x)
            rects.push_back(GP::Rect{x * kCell, y * kCell, x * kCell + kCell, y * kCell + kCell});
    int step = 0;
    for (auto _ : state) {
        const int at = (step++ & 1) ? 5 : side * kCell - 5;
        const GP::Rect* hit = nullptr;
        for (auto it = rects.rbegin(); it != rects.rend(); ++it)
            if (at >= it->left && at < it->right && at >= it->top && at < it->bottom) {
                hit = &*it;
                break;
            }
        benchmark::DoNotOptimize(hit);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_BareRectScan)->Arg(4)->Arg(16);

}  // namespace

BENCHMARK_MAIN();
