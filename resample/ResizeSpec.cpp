#include "resample/ResizeSpec.h"

namespace Resample::DETAIL {

namespace {

constexpr std::int64_t kSizeLimit = 2147483647;

std::uint32_t gcd(std::uint32_t a, std::uint32_t b)
{
    while (b != 0) {
        const std::uint32_t t = a % b;
        a = b;
        b = t;
    }
    return a;
}

// The reduced length of one axis for interpolation 8: b x (floor(a / b) + o).
std::int64_t superSampleLength(std::int32_t src, std::int32_t dst)
{
    const std::uint32_t g = gcd(std::uint32_t(src), std::uint32_t(dst));
    const std::int64_t a = std::uint32_t(src) / g, b = std::uint32_t(dst) / g;
    const std::int64_t rest = a % b;
    return b * (a / b + (rest == 0 ? 0 : rest == 1 ? 1 : 2));
}

std::int64_t antialiasTaps(std::int64_t f, std::int32_t src, std::int32_t dst)
{
    if (double(src) / double(dst) <= 1.0)
        return f;
    double q = double(f) * double(src) / double(dst);
    std::int64_t c = std::int64_t(q);
    if (double(c) < q)
        ++c;
    return 2 * c;
}

const ResizeSpec* specIn(const void* buffer)
{
    return reinterpret_cast<const ResizeSpec*>(
        alignUp(static_cast<const std::uint8_t*>(buffer), 64));
}

void fillAxis(ResizeAxis* axis, std::int32_t src, std::int32_t dst)
{
    const std::uint32_t g = gcd(std::uint32_t(src), std::uint32_t(dst));
    *axis = ResizeAxis{};
    axis->srcSize = src;
    axis->dstSize = dst;
    axis->srcReduced = std::int32_t(std::uint32_t(src) / g);
    axis->dstReduced = std::int32_t(std::uint32_t(dst) / g);
}

} // namespace

Status getSizeChecked(std::int32_t ws, std::int32_t hs, std::int32_t wd, std::int32_t hd,
                      std::int32_t interpolation, std::int32_t antialiasing,
                      std::int32_t* specSize, std::int32_t* initSize)
{
    if (!specSize || !initSize)
        return kNullPointer;
    if (ws == 0 || hs == 0 || wd == 0 || hd == 0)
        return kNothingToDo;
    if (ws < 0 || hs < 0 || wd < 0 || hd < 0)
        return kBadSize;
    switch (interpolation) {
    case 0: return kNotSupported;
    case 1: break;
    case 2:
        if (ws < 2 || hs < 2)
            return kBadSize;
        break;
    case 6:
    case 16:
        if (ws < 4 || hs < 4)
            return kBadSize;
        break;
    case 8:
        if (ws < wd || hs < hd)
            return kBadSize;
        break;
    default: return kBadInterpolation;
    }
    const std::int64_t R = r32(wd) + r32(hd);
    std::int64_t spec = 0, init = 64;
    const bool aa = antialiasing != 0;
    if (aa && (interpolation == 2 || interpolation == 6 || interpolation == 16)) {
        const std::int64_t f = interpolation == 2 ? 2 : interpolation == 6 ? 4 : 6;
        spec = 4 * R + r32(4 * std::int64_t(wd) * antialiasTaps(f, ws, wd)) +
               r32(4 * std::int64_t(hd) * antialiasTaps(f, hs, hd)) + kSpecFixedBytes;
        init = 8 * R + 64;
    } else if (interpolation == 1) {
        spec = 4 * R + kSpecFixedBytes;
    } else if (interpolation == 2) {
        spec = 8 * R + kSpecFixedBytes;
    } else if (interpolation == 6) {
        spec = 4 * R + 4 * (r32(4 * std::int64_t(wd) + 96) + r32(4 * std::int64_t(hd) + 96)) +
               kSpecFixedBytes;
        init = 4 * R + 64;
    } else if (interpolation == 16) {
        spec = 4 * R + 4 * (r32(6 * std::int64_t(wd) + 160) + r32(6 * std::int64_t(hd) + 160)) +
               kSpecFixedBytes;
        init = 4 * R + 64;
    } else {  // 8
        const std::int64_t S = superSampleLength(ws, wd), T = superSampleLength(hs, hd);
        spec = 4 * (S + T + r32(S) + r32(T)) + kSpecFixedBytes;
    }
    if (spec >= kSizeLimit || init >= kSizeLimit)
        return kTooLarge;
    *specSize = std::int32_t(spec);
    *initSize = std::int32_t(init);
    return aa && (interpolation == 1 || interpolation == 8) ? kAntialiasIgnored : kOk;
}

Status getBufferSizeChecked(const void* specBuffer, std::int32_t width, std::int32_t height,
                            std::int32_t channels, std::int32_t* bufferSize)
{
    if (!specBuffer || !bufferSize)
        return kNullPointer;
    if (width == 0 || height == 0)
        return kNothingToDo;
    const ResizeSpec* spec = specIn(specBuffer);
    if (spec->magic != kSpecMagic)
        return kBadSpec;
    if (channels != 1 && channels != 3 && channels != 4)
        return kBadChannels;
    if (width < 0 || height < 0)
        return kBadSize;
    if (spec->interpolation != kNearest && spec->interpolation != kLinear)
        return kNotSupported;
    const std::int64_t w = width < spec->cols.dstSize ? width : spec->cols.dstSize;
    const std::int64_t h = height < spec->rows.dstSize ? height : spec->rows.dstSize;
    std::int64_t size = r32(4 * h) + r32(4 * w) + 64;
    if (spec->interpolation == kLinear) {
        // The row buffers hold four 16-bit values per pixel whatever the channel count.
        const std::int64_t c = channels < 4 ? 4 : channels;
        size += 2 * r32(4 * c * w);
    }
    if (size >= kSizeLimit)
        return kTooLarge;
    *bufferSize = std::int32_t(size);
    return width > spec->cols.dstSize || height > spec->rows.dstSize ? kSizeClipped : kOk;
}

ResizeSpec* prepareSpec(std::int32_t interpolation, std::int32_t ws, std::int32_t hs,
                        std::int32_t wd, std::int32_t hd, void* specBuffer, Status* status)
{
    *status = kOk;
    if (!specBuffer)
        *status = kNullPointer;
    else if (ws == 0 || hs == 0 || wd == 0 || hd == 0)
        *status = kNothingToDo;
    else if (ws < 0 || hs < 0 || wd < 0 || hd < 0)
        *status = kBadSize;
    else if (interpolation == kLinear && (ws == 1 || hs == 1))
        *status = kBadSize;
    if (*status != kOk)
        return nullptr;
    ResizeSpec* spec = const_cast<ResizeSpec*>(specIn(specBuffer));
    const bool linear = interpolation == kLinear;
    const std::int32_t one = linear ? 1 : 0;
    spec->magic = kSpecMagic;
    spec->kind = linear ? kKindLinear : kKindNearest;
    spec->interpolation = interpolation;
    spec->hasTables = one;
    spec->halfTaps = one;
    spec->antialiasing = 0;
    for (std::int32_t& r : spec->reserved)
        r = one;
    fillAxis(&spec->rows, hs, hd);
    fillAxis(&spec->cols, ws, wd);
    auto* tables = reinterpret_cast<std::int32_t*>(spec + 1);
    spec->rows.index = tables;
    spec->cols.index = tables + hd;
    if (linear) {
        auto* weights = reinterpret_cast<std::uint16_t*>(tables + std::ptrdiff_t(hd) + wd);
        spec->rows.weights = weights;
        spec->cols.weights = weights + hd;
        spec->integerWeights = 1;
    }
    return spec;
}

Status prepareResize(std::int32_t interpolation, const void* src, std::int32_t srcStep, void* dst,
                     std::int32_t dstStep, std::int32_t x, std::int32_t y, std::int32_t width,
                     std::int32_t height, std::int32_t borderMode, const void* specBuffer,
                     void* work, Tile* tile)
{
    const std::uint32_t border = std::uint32_t(borderMode);
    if (interpolation == kLinear && (border > 255 || (border != 0xF0 && (border & 0xF) != 1)))
        return kBadBorder;
    if (!src || !dst || !specBuffer || !work)
        return kNullPointer;
    if (width == 0 || height == 0)
        return kNothingToDo;
    const ResizeSpec* spec = specIn(specBuffer);
    if (spec->magic != kSpecMagic)
        return kBadSpec;
    if (width < 0 || height < 0)
        return kBadSize;
    const std::int32_t wd = spec->cols.dstSize, hd = spec->rows.dstSize;
    if (x < 0 || y < 0 || x >= wd || y >= hd)
        return kBadOffset;
    if (spec->antialiasing != 0)
        return kNotSupported;
    if (spec->interpolation != interpolation)
        return kBadSpec;
    if (interpolation == kLinear && spec->integerWeights != 1)
        return kNotSupported;
    if (spec->cols.dstReduced <= 0 || spec->rows.dstReduced <= 0)
        return kBadSpec;
    tile->src = static_cast<const std::uint8_t*>(src);
    tile->srcStep = srcStep;
    tile->dst = static_cast<std::uint8_t*>(dst);
    tile->dstStep = dstStep;
    tile->x = x;
    tile->y = y;
    tile->width = std::int64_t(x) + width > wd ? wd - x : width;
    tile->height = std::int64_t(y) + height > hd ? hd - y : height;
    // Exact integer floor: the floating-point product can come out one below it.
    tile->x0 = std::int32_t(std::uint64_t(x) * std::uint32_t(spec->cols.srcReduced) /
                            std::uint32_t(spec->cols.dstReduced));
    tile->y0 = std::int32_t(std::uint64_t(y) * std::uint32_t(spec->rows.srcReduced) /
                            std::uint32_t(spec->rows.dstReduced));
    tile->border = border;
    tile->spec = spec;
    tile->work = static_cast<std::uint8_t*>(work);
    return width > wd || height > hd ? kSizeClipped : kOk;
}

} // namespace Resample::DETAIL
