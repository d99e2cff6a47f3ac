#pragma once
// Resizing of 4-channel, 8-bit pictures by nearest neighbour or bilinear interpolation.
//
// Every entry point returns a signed 32-bit status: 0 success, a positive warning (the
// operation ran, or there was nothing to do), a negative error (nothing was written).
// The library allocates nothing: the caller asks for the sizes, provides the
// resize record (ResizeSpec) and work buffers and owns them. The code path (SSE2 up to AVX2) is chosen
// once, on the first call of any entry point, for all of them; all paths give the same
// bytes. Calls may come from any thread; a work buffer serves one resize at a time.
//
// Sizes, steps and offsets are signed 32-bit; a step is the distance in bytes from one
// row to the next (it may be negative). Pixels are 4 bytes, treated alike.

#include <cstdint>

namespace Resample {

using Status = std::int32_t;

constexpr Status kOk = 0;
constexpr Status kNothingToDo = 1;         // a width or height of 0
constexpr Status kAntialiasIgnored = 46;   // getSize: antialiasing with interpolation 1 or 8
constexpr Status kSizeClipped = 48;        // the size exceeds the record's destination
constexpr Status kBadSize = -6;            // negative size, or source too small
constexpr Status kNullPointer = -8;
constexpr Status kBadOffset = -11;         // tile origin outside the destination
constexpr Status kBadSpec = -13;           // no magic word, or the other interpolation
constexpr Status kNotSupported = -14;      // interpolation 0, or antialiasing in a record
constexpr Status kBadInterpolation = -23;  // not one of 0, 1, 2, 6, 8, 16
constexpr Status kBadChannels = -53;       // channel count not 1, 3 or 4
constexpr Status kBadBorder = -225;
constexpr Status kTooLarge = -232;         // a size reaches 2,147,483,647 bytes

// Interpolation codes; only these two can be initialised here.
constexpr std::int32_t kNearest = 1;
constexpr std::int32_t kLinear = 2;

// Border modes of resizeLinear4x8: low four bits 1 replicate the edge pixels; the high
// bits say which neighbours of the source exist in memory and may be read instead.
constexpr std::int32_t kBorderReplicate = 0x01;
constexpr std::int32_t kBorderAbove = 0x10;
constexpr std::int32_t kBorderBelow = 0x20;
constexpr std::int32_t kBorderLeft = 0x40;
constexpr std::int32_t kBorderRight = 0x80;
constexpr std::int32_t kBorderInMemory = 0xF0;

// Sizes in bytes of the record buffer and of an initialisation buffer (which no
// initialisation here uses) for a resize of srcWidth x srcHeight to dstWidth x dstHeight.
// The record size includes 63 bytes of slack for its 64-byte alignment.
Status getSize(std::int32_t srcWidth, std::int32_t srcHeight, std::int32_t dstWidth,
               std::int32_t dstHeight, std::int32_t interpolation, std::int32_t antialiasing,
               std::int32_t* specSize, std::int32_t* initSize);

// Size in bytes of the work buffer that a resize of a tile up to width x height needs.
Status getBufferSize(const void* specBuffer, std::int32_t width, std::int32_t height,
                     std::int32_t channels, std::int32_t* bufferSize);

// Build a resize record in the caller's buffer (at its first 64-byte boundary).
Status initNearest(std::int32_t srcWidth, std::int32_t srcHeight, std::int32_t dstWidth,
                   std::int32_t dstHeight, void* specBuffer);
Status initLinear(std::int32_t srcWidth, std::int32_t srcHeight, std::int32_t dstWidth,
                  std::int32_t dstHeight, void* specBuffer);

// Write one destination tile whose top-left pixel is (x, y). `dst` addresses that pixel,
// `src` the source pixel (floor(x * srcWidth / dstWidth), floor(y * srcHeight / dstHeight)).
// A tile that overhangs the record's destination is clipped to it.
Status resizeNearest4x8(const void* src, std::int32_t srcStep, void* dst, std::int32_t dstStep,
                        std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height,
                        const void* specBuffer, void* work);
// `borderValues` is never read.
Status resizeLinear4x8(const void* src, std::int32_t srcStep, void* dst, std::int32_t dstStep,
                       std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height,
                       std::int32_t borderMode, const void* borderValues, const void* specBuffer,
                       void* work);

} // namespace Resample
