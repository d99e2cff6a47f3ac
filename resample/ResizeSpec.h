#pragma once
// The resize record (ResizeSpec) and the checks that every code path shares. Internal
// to the library: the public header knows no record, only the caller's buffer.

#include <cstddef>
#include <cstdint>

#include "resample/Resample.h"

namespace Resample {

// One axis of a resize record: the rows (heights) or the columns (widths).
struct ResizeAxis {
    std::int32_t srcSize;
    std::int32_t dstSize;
    std::int32_t srcReduced;  // srcSize / gcd(srcSize, dstSize)
    std::int32_t dstReduced;
    const std::int32_t* index;  // dstSize source positions
    const void* reserved1;
    const void* reserved2;
    const std::uint16_t* weights;  // linear only: rows one weight, columns a pair
    const void* reserved3;
    std::int32_t leading;   // linear only: positions before the first source pixel centre
    std::int32_t trailing;  // linear only: positions at or after the last one
};

// Lives at the first 64-byte boundary of the caller's buffer; the tables follow it.
struct ResizeSpec {
    std::int32_t magic;
    std::int32_t kind;           // 13 nearest, 7 linear
    std::int32_t interpolation;  // kNearest or kLinear
    std::int32_t hasTables;      // 1 linear
    std::int32_t halfTaps;       // 1 linear: the work buffer holds twice this many rows
    std::int32_t antialiasing;
    std::int32_t reserved[4];    // 1 linear, 0 nearest; read by nothing
    ResizeAxis rows;
    ResizeAxis cols;
    std::int32_t integerWeights;  // 1 linear: 14-bit weights
};

namespace DETAIL {

constexpr std::int32_t kSpecMagic = 0x4B617389;
constexpr std::int32_t kKindNearest = 13;
constexpr std::int32_t kKindLinear = 7;
// The fixed part of every reported record size.
constexpr std::int64_t kSpecFixedBytes = 260;
static_assert(sizeof(ResizeSpec) + 63 <= kSpecFixedBytes, "header and alignment fit");

// n rounded up to a multiple of 32.
constexpr std::int64_t r32(std::int64_t n) { return (n + 31) & ~std::int64_t(31); }

template <class T> T* alignUp(T* p, std::uintptr_t to)
{
    const std::uintptr_t a = reinterpret_cast<std::uintptr_t>(p);
    return reinterpret_cast<T*>(p + ((to - a % to) % to) / sizeof(T));
}

// A resize tile after the checks: clipped to the destination, with its source origin.
struct Tile {
    const std::uint8_t* src;
    std::ptrdiff_t srcStep;
    std::uint8_t* dst;
    std::ptrdiff_t dstStep;
    std::int32_t x, y, width, height;
    std::int32_t x0, y0;
    std::uint32_t border;
    const ResizeSpec* spec;
    std::uint8_t* work;
};

Status getSizeChecked(std::int32_t srcWidth, std::int32_t srcHeight, std::int32_t dstWidth,
                      std::int32_t dstHeight, std::int32_t interpolation,
                      std::int32_t antialiasing, std::int32_t* specSize, std::int32_t* initSize);
Status getBufferSizeChecked(const void* specBuffer, std::int32_t width, std::int32_t height,
                            std::int32_t channels, std::int32_t* bufferSize);
// Checks the arguments of an initialisation and writes the header; null on a status to return.
ResizeSpec* prepareSpec(std::int32_t interpolation, std::int32_t srcWidth, std::int32_t srcHeight,
                        std::int32_t dstWidth, std::int32_t dstHeight, void* specBuffer,
                        Status* status);
// Checks a resize in the documented order and fills the tile; the resize runs when the
// status is kOk or kSizeClipped.
Status prepareResize(std::int32_t interpolation, const void* src, std::int32_t srcStep, void* dst,
                     std::int32_t dstStep, std::int32_t x, std::int32_t y, std::int32_t width,
                     std::int32_t height, std::int32_t borderMode, const void* specBuffer,
                     void* work, Tile* tile);
inline bool runs(Status s) { return s == kOk || s == kSizeClipped; }

} // namespace DETAIL
} // namespace Resample
