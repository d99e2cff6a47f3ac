#pragma once
// Runs one resize on one code path with the buffers a caller would give it, and checks
// that nothing outside the tile and the row padding was written.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "resample/CpuFeatures.h"
#include "resample/Resample.h"
#include "resample/paths/Paths.h"

namespace ResampleTest {

using Resample::Status;
using Bytes = std::vector<std::uint8_t>;

enum class eOp { Nearest, Linear };
enum class eFill { Random, Zero, Full };

struct Shape {
    std::int32_t ws, hs, wd, hd;
};

struct TileBox {
    std::int32_t x, y, w, h;  // w or h 0: the whole destination
};

struct Layout {
    std::int32_t srcPad = 0;  // bytes after each source row
    std::int32_t dstPad = 0;  // bytes after each destination row (canaries)
    bool bottomUp = false;    // source rows stored last first, with a negative step
    std::int32_t border = Resample::kBorderReplicate;
    bool frame = false;       // one more pixel of memory on each side of the source
};

constexpr std::uint8_t kCanary = 0xCD;

inline Bytes makePicture(std::int32_t w, std::int32_t h, eFill fill, unsigned seed = 1)
{
    Bytes p(std::size_t(w) * h * 4, fill == eFill::Full ? 255 : 0);
    if (fill == eFill::Random) {
        std::mt19937 gen(seed + unsigned(w) * 7919u + unsigned(h));
        for (auto& b : p)
            b = std::uint8_t(gen());
    }
    return p;
}

// The processor offers what path `index` needs.
inline bool pathRuns(int index)
{
    std::uint64_t word = 0;
    if (Resample::getCpuFeatures(&word) != Resample::kOk)
        return index == 0;
    const std::uint64_t need = Resample::DETAIL::pathRequirement(index);
    return (word & need) == need;
}

// The store modes of path 4's row copy, set through the effective word and the cache record.
enum class eStores { Plain, Gathers, Streaming, Streaming32, OddLine, NoLine };

class StoreModeScope {
public:
    explicit StoreModeScope(eStores mode)
    {
        using namespace Resample;
        std::uint64_t word = 0;
        getCpuFeatures(&word);
        selectCpuFeatures(word, &index_);
        std::uint64_t effective = word | DETAIL::pathRequirement(index_);
        if (mode != eStores::Plain)
            effective |= kCpuAvx2Set | kCpuMpx;
        setEffectiveFeatures(effective);
        switch (mode) {
        case eStores::Plain:
        case eStores::Gathers: DETAIL::setCacheRecord(-1, kCpuNoCpuid, 0); break;
        case eStores::Streaming: DETAIL::setCacheRecord(0, kOk, 64); break;
        case eStores::Streaming32: DETAIL::setCacheRecord(16, kOk, 32); break;
        case eStores::OddLine: DETAIL::setCacheRecord(0, kOk, 48); break;
        case eStores::NoLine: DETAIL::setCacheRecord(0, kOk, 0); break;
        }
    }
    ~StoreModeScope()
    {
        std::uint64_t word = 0;
        Resample::getCpuFeatures(&word);
        Resample::selectCpuFeatures(word, &index_);
        Resample::DETAIL::setCacheRecord(-1, 1, -1);
    }

private:
    std::int32_t index_ = 0;
};

struct Result {
    Status status = 0;
    Bytes pixels;  // the clipped tile, rows of exactly its width
};

inline std::int32_t clippedSize(std::int32_t at, std::int32_t size, std::int32_t whole)
{
    return at + size > whole ? whole - at : size;
}

// One resize of `picture` (ws x hs) on `path`, with its own resize record and work buffer.
inline Result resizeOn(int path, eOp op, const Shape& s, TileBox t, const Layout& layout,
                       const Bytes& picture)
{
    using namespace Resample;
    const DETAIL::PathTable& p = DETAIL::pathTable(path);
    if (t.w == 0 || t.h == 0)
        t = {0, 0, s.wd, s.hd};
    Result r;
    std::int32_t specSize = 0, initSize = 0, workSize = 0;
    const std::int32_t interp = op == eOp::Nearest ? kNearest : kLinear;
    EXPECT_EQ(p.getSize(s.ws, s.hs, s.wd, s.hd, interp, 0, &specSize, &initSize), kOk);
    Bytes spec(std::size_t(specSize), 0);
    EXPECT_EQ(op == eOp::Nearest ? p.initNearest(s.ws, s.hs, s.wd, s.hd, spec.data())
                                 : p.initLinear(s.ws, s.hs, s.wd, s.hd, spec.data()),
              kOk);
    const std::int32_t cw = clippedSize(t.x, t.w, s.wd), ch = clippedSize(t.y, t.h, s.hd);
    const Status sized = p.getBufferSize(spec.data(), t.w, t.h, 4, &workSize);
    EXPECT_TRUE(sized == kOk || sized == kSizeClipped) << sized;
    Bytes work(std::size_t(workSize), 0x77);

    const std::int32_t f = layout.frame ? 1 : 0;
    const std::int32_t rows = s.hs + 2 * f;
    const std::ptrdiff_t srcRow = 4 * std::ptrdiff_t(s.ws + 2 * f) + layout.srcPad;
    Bytes src(std::size_t(srcRow) * rows, kCanary);
    for (std::int32_t y = -f; y < s.hs + f; ++y) {
        const std::int32_t at = layout.bottomUp ? rows - 1 - (y + f) : y + f;
        std::uint8_t* out = src.data() + at * srcRow;
        for (std::int32_t x = -f; x < s.ws + f; ++x)
            for (int c = 0; c < 4; ++c)
                out[4 * (x + f) + c] =
                    x < 0 || y < 0 || x >= s.ws || y >= s.hs
                        ? std::uint8_t(x * 37 + y * 11 + c * 5)
                        : picture[(std::size_t(y) * s.ws + x) * 4 + c];
    }
    const std::ptrdiff_t srcStep = layout.bottomUp ? -srcRow : srcRow;
    const std::uint8_t* row0 =
        src.data() + (layout.bottomUp ? (rows - 1 - f) * srcRow : f * srcRow) + 4 * f;
    const std::int64_t x0 = std::int64_t(t.x) * s.ws / s.wd, y0 = std::int64_t(t.y) * s.hs / s.hd;
    const std::uint8_t* origin = row0 + srcStep * y0 + 4 * x0;

    const std::ptrdiff_t dstStep = 4 * std::ptrdiff_t(cw) + layout.dstPad;
    Bytes dst(std::size_t(dstStep) * ch, kCanary);
    r.status = op == eOp::Nearest
                   ? p.resizeNearest4x8(origin, std::int32_t(srcStep), dst.data(),
                                        std::int32_t(dstStep), t.x, t.y, t.w, t.h, spec.data(),
                                        work.data())
                   : p.resizeLinear4x8(origin, std::int32_t(srcStep), dst.data(),
                                       std::int32_t(dstStep), t.x, t.y, t.w, t.h, layout.border,
                                       nullptr, spec.data(), work.data());
    r.pixels.resize(std::size_t(cw) * ch * 4);
    for (std::int32_t y = 0; y < ch; ++y) {
        std::memcpy(r.pixels.data() + std::size_t(y) * cw * 4, dst.data() + y * dstStep,
                    std::size_t(cw) * 4);
        for (std::int32_t k = 0; k < layout.dstPad; ++k)
            if (dst[std::size_t(y * dstStep + 4 * cw + k)] != kCanary) {
                ADD_FAILURE() << "row padding written at row " << y;
                return r;
            }
    }
    return r;
}

// Nearest-neighbour answer straight from the index formula.
inline Bytes nearestReference(const Shape& s, const Bytes& picture)
{
    Bytes out(std::size_t(s.wd) * s.hd * 4);
    const double rx = double(s.ws) / s.wd, ry = double(s.hs) / s.hd;
    for (std::int32_t i = 0; i < s.hd; ++i) {
        const std::int32_t sy = std::int32_t((i + 0.5) * ry - 1e-10);
        for (std::int32_t j = 0; j < s.wd; ++j) {
            const std::int32_t sx = std::int32_t((j + 0.5) * rx - 1e-10);
            std::memcpy(&out[(std::size_t(i) * s.wd + j) * 4],
                        &picture[(std::size_t(sy) * s.ws + sx) * 4], 4);
        }
    }
    return out;
}

// Runs the resize on every path the processor can run (path 4 in each store mode) and
// expects path 0's status and bytes from all of them; returns path 0's result.
inline Result expectAllPathsAgree(eOp op, const Shape& s, const TileBox& t, const Layout& layout,
                                  const Bytes& picture)
{
    const Result base = resizeOn(0, op, s, t, layout, picture);
    for (int path = 1; path < Resample::DETAIL::kPathCount; ++path) {
        if (!pathRuns(path))
            continue;
        const bool wide = path == 4;
        for (eStores mode : {eStores::Plain, eStores::Gathers, eStores::Streaming,
                             eStores::Streaming32, eStores::OddLine, eStores::NoLine}) {
            if (!wide && mode != eStores::Plain)
                break;
            StoreModeScope scope(mode);
            const Result r = resizeOn(path, op, s, t, layout, picture);
            EXPECT_EQ(r.status, base.status) << "path " << path << " mode " << int(mode);
            if (r.pixels != base.pixels) {
                ADD_FAILURE() << "path " << path << " mode " << int(mode) << " differs from path 0";
                return base;
            }
        }
    }
    return base;
}

// The sizes every path is compared on.
inline std::vector<Shape> shapeTable()
{
    std::vector<Shape> shapes = {
        {17, 13, 17, 13}, {16, 9, 32, 18}, {32, 18, 16, 9},  {30, 21, 20, 14},
        {37, 23, 53, 29}, {53, 29, 37, 23}, {1, 1, 7, 5},    {7, 1, 3, 9},
        {1, 9, 5, 1},     {2, 2, 1, 1},     {1000, 2, 1, 2}, {1, 2, 1000, 2},
        {3, 1000, 3, 1},  {3, 1, 3, 1000},  {2, 2, 4, 4},    {4, 4, 2, 2},
    };
    for (std::int32_t w = 1; w <= 40; ++w) {
        shapes.push_back({23, 3, w, 2});
        shapes.push_back({w, 2, 37, 3});
    }
    return shapes;
}

} // namespace ResampleTest
