// The resampler's five code paths on interface-sized and large pictures, beside a memcpy
// of the destination's bytes (the bandwidth ceiling) and four picture scalers from Debian,
// each on one thread (the header-only one has no nearest filter, so it runs bilinear only).
// Bytes per second count destination bytes. At the end a table gives each path's ratio to
// the fastest comparator and to memcpy, from the median of the repetitions when there are any.

#include <benchmark/benchmark.h>

extern "C" {
#include <libswscale/swscale.h>
}
#include <libyuv/scale_argb.h>
#include <pixman.h>

// The header-only scaler is compiled here, without its assertions, as it would ship.
#ifndef NDEBUG
#define NDEBUG
#endif
#define STB_IMAGE_RESIZE_IMPLEMENTATION
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-parameter"
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wimplicit-fallthrough"
#include <stb/stb_image_resize.h>
#pragma GCC diagnostic pop

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <new>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "resample/CpuFeatures.h"
#include "resample/Resample.h"
#include "resample/paths/Paths.h"

namespace {

// Every picture starts on a 64-byte boundary, so no peer gains or loses by where the heap
// put its buffers (stores that cross cache lines cost up to a quarter of the speed).
template <class T>
struct CacheLineAllocator {
    using value_type = T;
    CacheLineAllocator() = default;
    template <class U>
    CacheLineAllocator(const CacheLineAllocator<U>&) {}
    T* allocate(std::size_t n) { return static_cast<T*>(::operator new(n * sizeof(T), std::align_val_t(64))); }
    void deallocate(T* p, std::size_t) { ::operator delete(p, std::align_val_t(64)); }
    bool operator==(const CacheLineAllocator&) const { return true; }
    bool operator!=(const CacheLineAllocator&) const { return false; }
};
using Bytes = std::vector<std::uint8_t, CacheLineAllocator<std::uint8_t>>;

struct Size {
    const char* name;
    int ws, hs, wd, hd;
};

const Size kSizes[] = {
    {"64x64->80x80", 64, 64, 80, 80},
    {"64x64->96x96", 64, 64, 96, 96},
    {"64x64->128x128", 64, 64, 128, 128},
    {"628x336->942x504", 628, 336, 942, 504},
    {"4096x4096->same", 4096, 4096, 4096, 4096},
    {"4096x4096->2048x2048", 4096, 4096, 2048, 2048},
    {"4096x4096->8192x8192", 4096, 4096, 8192, 8192},
    {"4096x4096->3001x1999", 4096, 4096, 3001, 1999},
};

enum class eOp { Nearest, Linear };

const Bytes& sourcePicture(int w, int h)
{
    static std::map<std::pair<int, int>, Bytes> cache;
    Bytes& p = cache[{w, h}];
    if (p.empty()) {
        p.resize(std::size_t(w) * h * 4);
        std::mt19937 gen(7);
        for (auto& b : p)
            b = std::uint8_t(gen());
    }
    return p;
}

std::int64_t destinationBytes(const Size& s) { return std::int64_t(s.wd) * s.hd * 4; }

// Path 4's row copy with forced gathers, and with streaming stores as well (a cache record
// of 32 MB); the real variant runs without a cache record, so it never streams.
enum class eWide { Real, Gathers, Streaming };

void runPath(benchmark::State& state, const Size& s, eOp op, int path, eWide wide)
{
    using namespace Resample;
    const DETAIL::PathTable& p = DETAIL::pathTable(path);
    std::uint64_t word = 0;
    std::int32_t index = 0;
    getCpuFeatures(&word);
    selectCpuFeatures(word, &index);
    if (wide != eWide::Real)
        setEffectiveFeatures(word | DETAIL::pathRequirement(4) | kCpuAvx2Set | kCpuMpx);
    DETAIL::setCacheRecord(wide == eWide::Streaming ? 32 << 20 : -1,
                           wide == eWide::Streaming ? kOk : kCpuNoCpuid, 64);
    const std::int32_t interp = op == eOp::Nearest ? kNearest : kLinear;
    std::int32_t specSize = 0, initSize = 0, workSize = 0;
    p.getSize(s.ws, s.hs, s.wd, s.hd, interp, 0, &specSize, &initSize);
    Bytes spec(static_cast<std::size_t>(specSize)), dst(static_cast<std::size_t>(destinationBytes(s)));
    if (op == eOp::Nearest)
        p.initNearest(s.ws, s.hs, s.wd, s.hd, spec.data());
    else
        p.initLinear(s.ws, s.hs, s.wd, s.hd, spec.data());
    p.getBufferSize(spec.data(), s.wd, s.hd, 4, &workSize);
    Bytes work(static_cast<std::size_t>(workSize));
    const Bytes& src = sourcePicture(s.ws, s.hs);
    for (auto _ : state) {
        const Status st =
            op == eOp::Nearest
                ? p.resizeNearest4x8(src.data(), 4 * s.ws, dst.data(), 4 * s.wd, 0, 0, s.wd, s.hd,
                                     spec.data(), work.data())
                : p.resizeLinear4x8(src.data(), 4 * s.ws, dst.data(), 4 * s.wd, 0, 0, s.wd, s.hd,
                                    kBorderReplicate, nullptr, spec.data(), work.data());
        if (st != kOk)
            state.SkipWithError("resize refused");
        benchmark::DoNotOptimize(dst.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * destinationBytes(s));
    selectCpuFeatures(word, &index);
    DETAIL::setCacheRecord(-1, 1, -1);
}

void runMemcpy(benchmark::State& state, const Size& s)
{
    Bytes a(std::size_t(destinationBytes(s)), 0x5A), b(a.size());
    for (auto _ : state) {
        std::memcpy(b.data(), a.data(), a.size());
        benchmark::DoNotOptimize(b.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * destinationBytes(s));
}

void runYuv(benchmark::State& state, const Size& s, eOp op)
{
    const Bytes& src = sourcePicture(s.ws, s.hs);
    Bytes dst(std::size_t(destinationBytes(s)));
    const auto filter = op == eOp::Nearest ? libyuv::kFilterNone : libyuv::kFilterBilinear;
    for (auto _ : state) {
        libyuv::ARGBScale(src.data(), 4 * s.ws, s.ws, s.hs, dst.data(), 4 * s.wd, s.wd, s.hd,
                          filter);
        benchmark::DoNotOptimize(dst.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * destinationBytes(s));
}

void runSwscale(benchmark::State& state, const Size& s, eOp op)
{
    const Bytes& src = sourcePicture(s.ws, s.hs);
    Bytes dst(std::size_t(destinationBytes(s)));
    SwsContext* ctx = sws_getContext(s.ws, s.hs, AV_PIX_FMT_BGRA, s.wd, s.hd, AV_PIX_FMT_BGRA,
                                     op == eOp::Nearest ? SWS_POINT : SWS_BILINEAR, nullptr,
                                     nullptr, nullptr);
    if (!ctx) {
        state.SkipWithError("no scaler context");
        return;
    }
    const std::uint8_t* srcPlanes[4] = {src.data(), nullptr, nullptr, nullptr};
    const int srcStrides[4] = {4 * s.ws, 0, 0, 0};
    std::uint8_t* dstPlanes[4] = {dst.data(), nullptr, nullptr, nullptr};
    const int dstStrides[4] = {4 * s.wd, 0, 0, 0};
    for (auto _ : state) {
        sws_scale(ctx, srcPlanes, srcStrides, 0, s.hs, dstPlanes, dstStrides);
        benchmark::DoNotOptimize(dst.data());
        benchmark::ClobberMemory();
    }
    sws_freeContext(ctx);
    state.SetBytesProcessed(state.iterations() * destinationBytes(s));
}

void runPixman(benchmark::State& state, const Size& s, eOp op)
{
    const Bytes& src = sourcePicture(s.ws, s.hs);
    Bytes dst(std::size_t(destinationBytes(s)));
    pixman_image_t* from = pixman_image_create_bits(
        PIXMAN_a8r8g8b8, s.ws, s.hs, reinterpret_cast<std::uint32_t*>(const_cast<std::uint8_t*>(src.data())),
        4 * s.ws);
    pixman_image_t* to = pixman_image_create_bits(PIXMAN_a8r8g8b8, s.wd, s.hd,
                                                  reinterpret_cast<std::uint32_t*>(dst.data()), 4 * s.wd);
    pixman_transform_t scale;
    pixman_transform_init_scale(&scale, pixman_double_to_fixed(double(s.ws) / s.wd),
                                pixman_double_to_fixed(double(s.hs) / s.hd));
    pixman_image_set_transform(from, &scale);
    pixman_image_set_filter(from, op == eOp::Nearest ? PIXMAN_FILTER_NEAREST : PIXMAN_FILTER_BILINEAR,
                            nullptr, 0);
    pixman_image_set_repeat(from, PIXMAN_REPEAT_PAD);
    for (auto _ : state) {
        pixman_image_composite32(PIXMAN_OP_SRC, from, nullptr, to, 0, 0, 0, 0, 0, 0, s.wd, s.hd);
        benchmark::DoNotOptimize(dst.data());
        benchmark::ClobberMemory();
    }
    pixman_image_unref(to);
    pixman_image_unref(from);
    state.SetBytesProcessed(state.iterations() * destinationBytes(s));
}

void runStb(benchmark::State& state, const Size& s)
{
    const Bytes& src = sourcePicture(s.ws, s.hs);
    Bytes dst(std::size_t(destinationBytes(s)));
    for (auto _ : state) {
        if (!stbir_resize_uint8_generic(src.data(), s.ws, s.hs, 4 * s.ws, dst.data(), s.wd, s.hd, 4 * s.wd, 4,
                                        STBIR_ALPHA_CHANNEL_NONE, 0, STBIR_EDGE_CLAMP, STBIR_FILTER_TRIANGLE,
                                        STBIR_COLORSPACE_LINEAR, nullptr)) {
            state.SkipWithError("resize refused");
            break;
        }
        benchmark::DoNotOptimize(dst.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * destinationBytes(s));
}

// Keeps each benchmark's bytes per second for the closing table: the median aggregate when
// there are repetitions (the last aggregate is the coefficient of variation, not a rate),
// else the single run.
class Collector : public benchmark::ConsoleReporter {
public:
    std::map<std::string, double> rates;

    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& r : runs) {
            const auto it = r.counters.find("bytes_per_second");
            if (it == r.counters.end())
                continue;
            const std::string& name = r.run_name.function_name;
            if (r.run_type == Run::RT_Aggregate) {
                if (r.aggregate_name == "median") {
                    rates[name] = it->second.value;
                    fromMedian.insert(name);
                }
            } else if (!fromMedian.count(name))
                rates[name] = it->second.value;
        }
        ConsoleReporter::ReportRuns(runs);
    }

private:
    std::set<std::string> fromMedian;
};

const char* opName(eOp op) { return op == eOp::Nearest ? "nearest" : "bilinear"; }

bool pathRuns(int index)
{
    std::uint64_t word = 0;
    if (Resample::getCpuFeatures(&word) != Resample::kOk)
        return index == 0;
    const std::uint64_t need = Resample::DETAIL::pathRequirement(index);
    return (word & need) == need;
}

struct Variant {
    std::string name;
    int path;
    eWide wide;
};

std::vector<Variant> variants(eOp op)
{
    std::vector<Variant> v;
    for (int p = 0; p < Resample::DETAIL::kPathCount; ++p)
        if (pathRuns(p))
            v.push_back({"path" + std::to_string(p), p, eWide::Real});
    if (op == eOp::Nearest && pathRuns(4))
        v.push_back({"path4-gathers", 4, eWide::Gathers});
    if (pathRuns(4))
        v.push_back({"path4-streaming", 4, eWide::Streaming});
    return v;
}

} // namespace

int main(int argc, char** argv)
{
    for (const Size& s : kSizes) {
        benchmark::RegisterBenchmark((std::string("memcpy/") + s.name).c_str(), runMemcpy, s)
            ->Unit(benchmark::kMicrosecond)
            ->MinTime(0.2);
        for (eOp op : {eOp::Nearest, eOp::Linear}) {
            const std::string group = std::string(opName(op)) + "/" + s.name + "/";
            for (const Variant& v : variants(op))
                benchmark::RegisterBenchmark((group + v.name).c_str(), runPath, s, op, v.path,
                                             v.wide)
                    ->Unit(benchmark::kMicrosecond)
                    ->MinTime(0.2);
            benchmark::RegisterBenchmark((group + "libyuv").c_str(), runYuv, s, op)
                ->Unit(benchmark::kMicrosecond)
                ->MinTime(0.2);
            benchmark::RegisterBenchmark((group + "swscale").c_str(), runSwscale, s, op)
                ->Unit(benchmark::kMicrosecond)
                ->MinTime(0.2);
            benchmark::RegisterBenchmark((group + "pixman").c_str(), runPixman, s, op)
                ->Unit(benchmark::kMicrosecond)
                ->MinTime(0.2);
            if (op == eOp::Linear)
                benchmark::RegisterBenchmark((group + "stb").c_str(), runStb, s)
                    ->Unit(benchmark::kMicrosecond)
                    ->MinTime(0.2);
        }
    }
    benchmark::Initialize(&argc, argv);
    Collector collector;
    benchmark::RunSpecifiedBenchmarks(&collector);

    std::printf("\n%-10s %-22s %-16s %10s %14s %10s\n", "resize", "size", "variant", "GB/s",
                "vs best other", "vs memcpy");
    for (const Size& s : kSizes)
        for (eOp op : {eOp::Nearest, eOp::Linear}) {
            const std::string group = std::string(opName(op)) + "/" + s.name + "/";
            auto rate = [&](const std::string& name) {
                const auto it = collector.rates.find(name);
                return it == collector.rates.end() ? 0.0 : it->second;
            };
            const double yuv = rate(group + "libyuv"), sws = rate(group + "swscale");
            const double pix = rate(group + "pixman"), stb = rate(group + "stb");
            const double best = std::max({yuv, sws, pix, stb});
            const double copy = rate(std::string("memcpy/") + s.name);
            if (best <= 0 && copy <= 0)
                continue;  // filtered out
            for (const Variant& v : variants(op)) {
                const double r = rate(group + v.name);
                if (r <= 0)
                    continue;
                auto ratio = [](double value, double of, int width) {
                    char text[24];
                    if (of > 0)
                        std::snprintf(text, sizeof text, "%*.2fx", width, value / of);
                    else
                        std::snprintf(text, sizeof text, "%*s-", width, "");
                    return std::string(text);
                };
                std::printf("%-10s %-22s %-16s %10.2f %s %s\n", opName(op), s.name, v.name.c_str(), r / 1e9,
                            ratio(r, best, 13).c_str(), ratio(r, copy, 9).c_str());
            }
            // Peers without a rate did not run: stb has no nearest filter, and a filter may skip one.
            std::string peers;
            for (const auto& [name, value] : {std::pair{"libyuv", yuv}, {"swscale", sws}, {"pixman", pix},
                                              {"stb", stb}, {"memcpy", copy}}) {
                char text[48];
                if (value > 0)
                    std::snprintf(text, sizeof text, "%s%s %.2f", peers.empty() ? "" : ", ", name, value / 1e9);
                else
                    std::snprintf(text, sizeof text, "%s%s -", peers.empty() ? "" : ", ", name);
                peers += text;
            }
            std::printf("%-10s %-22s %-16s %10.2f   (%s)\n", opName(op), s.name, "best other", best / 1e9,
                        peers.c_str());
        }
    benchmark::Shutdown();
    return 0;
}
