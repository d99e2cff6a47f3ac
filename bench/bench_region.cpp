// Region union and intersection at the rectangle counts of a repaint, beside a plain
// vector of rectangles that keeps every rectangle and intersects pair by pair.

#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "gp/src/common/geometry/Region.h"
#include "gp/src/common/memory/SmallPool.h"

namespace {

using HA::GP::Rect;
using HA::GP::Region;

// Widget-sized dirty rectangles inside the wizard's client area.
std::vector<Rect> dirtyRects(int count, unsigned seed)
{
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> x(0, 600), y(0, 320), w(4, 120), h(4, 40);
    std::vector<Rect> rects;
    for (int i = 0; i < count; ++i) {
        const int l = x(rng), t = y(rng);
        rects.push_back(Rect{l, t, l + w(rng), t + h(rng)});
    }
    return rects;
}

struct PoolScope {
    PoolScope() { HA::GP::acquireSmallPool(); }
    ~PoolScope() { HA::GP::releaseSmallPool(); }
};

void BM_RegionUnionRect(benchmark::State& state)
{
    PoolScope pool;
    const std::vector<Rect> rects = dirtyRects(int(state.range(0)), 1);
    for (auto _ : state) {
        Region region;
        for (const Rect& r : rects)
            region.unionRect(r);
        benchmark::DoNotOptimize(region.getCount());
    }
}

// Unites or intersects two regions of the same number of rectangles.
template <void (*op)(Region&, const Region&, const Region&)>
void BM_RegionOp(benchmark::State& state)
{
    PoolScope pool;
    Region a, b, result;
    for (const Rect& r : dirtyRects(int(state.range(0)), 1))
        a.unionRect(r);
    for (const Rect& r : dirtyRects(int(state.range(0)), 2))
        b.unionRect(r);
    for (auto _ : state) {
        op(result, a, b);
        benchmark::DoNotOptimize(result.getCount());
    }
}

void BM_VectorUnion(benchmark::State& state)
{
    const std::vector<Rect> rects = dirtyRects(int(state.range(0)), 1);
    for (auto _ : state) {
        std::vector<Rect> region;
        for (const Rect& r : rects)
            region.push_back(r);
        benchmark::DoNotOptimize(region.data());
    }
}

void BM_VectorIntersect(benchmark::State& state)
{
    const std::vector<Rect> a = dirtyRects(int(state.range(0)), 1);
    const std::vector<Rect> b = dirtyRects(int(state.range(0)), 2);
    std::vector<Rect> result;
    for (auto _ : state) {
        result.clear();
        for (const Rect& ra : a)
            for (const Rect& rb : b)
                if (ra.overlaps(rb))
                    result.push_back(Rect::intersect(ra, rb));
        benchmark::DoNotOptimize(result.data());
    }
}

#define REPAINT_COUNTS ->Arg(1)->Arg(4)->Arg(16)->Arg(64)->Arg(200)
BENCHMARK(BM_RegionUnionRect) REPAINT_COUNTS;
BENCHMARK(BM_VectorUnion) REPAINT_COUNTS;
BENCHMARK_TEMPLATE(BM_RegionOp, &Region::unite)->Name("BM_RegionUnite") REPAINT_COUNTS;
BENCHMARK_TEMPLATE(BM_RegionOp, &Region::intersect)->Name("BM_RegionIntersect") REPAINT_COUNTS;
BENCHMARK(BM_VectorIntersect) REPAINT_COUNTS;

}  // namespace

BENCHMARK_MAIN();
