// Picture combiners on a canvas of the wizard's size, beside a plain memcpy of the same bytes.

#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "uia/graphics/combine/PictureCombiner.h"

namespace {

using HA::UIA::Picture;
using HA::UIA::PictureCombiner;
namespace Functors = HA::UIA::PictureCombinerFunctors;

constexpr int kWidth = 628;
constexpr int kHeight = 336;

void makeGradient(Picture& picture, int width, int height, bool alpha)
{
    picture.setSize(width, height, Picture::eBlock::Discard);
    picture.setHasAlpha(alpha);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            picture.getPixels()[y * width + x] =
                uint32_t((x * 7 + y) & 0xFF) << 24 | uint32_t(x & 0xFF) << 16 | uint32_t(y & 0xFF) << 8 | 0x40;
}

void BM_Memcpy(benchmark::State& state)
{
    std::vector<uint32_t> source(kWidth * kHeight, 0x80402010), dest(kWidth * kHeight);
    for (auto _ : state) {
        std::memcpy(dest.data(), source.data(), source.size() * 4);
        benchmark::DoNotOptimize(dest.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * int64_t(source.size()) * 4);
}
BENCHMARK(BM_Memcpy);

enum class eDestination { Gradient, OpaquePixels, OpaqueFlag };

// The source blitted over the whole destination, both gradients; the destination's pixels
// made opaque or the picture marked as an opaque destination where asked.
template <class Functor>
void blitWhole(benchmark::State& state, bool sourceAlpha, eDestination kind = eDestination::Gradient)
{
    Picture source, dest;
    makeGradient(source, kWidth, kHeight, sourceAlpha);
    makeGradient(dest, kWidth, kHeight, true);
    if (kind == eDestination::OpaquePixels)
        for (int i = 0; i < kWidth * kHeight; ++i)
            dest.getPixels()[i] |= 0xFF000000u;
    dest.setOpaqueDestination(kind == eDestination::OpaqueFlag);
    for (auto _ : state) {
        PictureCombiner<Functor>(dest).blit(0, 0, source, 0);
        benchmark::DoNotOptimize(dest.getPixels());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * int64_t(kWidth) * kHeight * 4);
}

void BM_BlendUsingAlpha(benchmark::State& state) { blitWhole<Functors::BlendUsingAlpha>(state, true); }
BENCHMARK(BM_BlendUsingAlpha);

void BM_CopySourceWithoutAlpha(benchmark::State& state) { blitWhole<Functors::CopySource>(state, false); }
BENCHMARK(BM_CopySourceWithoutAlpha);

void BM_CopySourceOver(benchmark::State& state) { blitWhole<Functors::CopySource>(state, true); }
BENCHMARK(BM_CopySourceOver);

// Copy-over onto a picture with alpha whose pixels are all opaque, as where a picture is
// built on an opaque background without the opaque flag.
void BM_CopySourceOverOpaquePixels(benchmark::State& state)
{
    blitWhole<Functors::CopySource>(state, true, eDestination::OpaquePixels);
}
BENCHMARK(BM_CopySourceOverOpaquePixels);

// The usual case of a window: a picture with alpha copied onto an opaque canvas.
void BM_CopySourceOntoOpaque(benchmark::State& state)
{
    blitWhole<Functors::CopySource>(state, true, eDestination::OpaqueFlag);
}
BENCHMARK(BM_CopySourceOntoOpaque);

void BM_NinePatchFill(benchmark::State& state)
{
    // A 24 x 24 skin picture with 8-pixel margins stretched over the whole canvas.
    Picture source, dest;
    makeGradient(source, 24, 24, true);
    source.setVerticalMarginsEnabled(true);
    source.setHorizontalMarginsEnabled(true);
    source.setTopMargin(8);
    source.setBottomMargin(8);
    source.setLeftMargin(8);
    source.setRightMargin(8);
    source.computeHiddenTiles();
    makeGradient(dest, kWidth, kHeight, true);
    for (auto _ : state) {
        PictureCombiner<Functors::BlendUsingAlpha>(dest).drawNinePatch(HA::GP::Rect{0, 0, kWidth, kHeight},
                                                                     source, 0);
        benchmark::DoNotOptimize(dest.getPixels());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * int64_t(kWidth) * kHeight * 4);
}
BENCHMARK(BM_NinePatchFill);

}  // namespace

BENCHMARK_MAIN();
