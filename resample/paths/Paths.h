#pragma once
// The five code paths of the resampler. Each lives in its own translation unit, compiled
// for its own instruction set only, and in its own namespace. The table lets the
// dispatch and the tests reach every path directly.

#include <cstdint>

#include "resample/Resample.h"

namespace Resample {

Status initDispatch();
double floor(double x);  // the floor of the chosen path

namespace DETAIL {

struct PathTable {
    double (*floor)(double);
    decltype(&Resample::getSize) getSize;
    decltype(&Resample::getBufferSize) getBufferSize;
    decltype(&Resample::initNearest) initNearest;
    decltype(&Resample::initLinear) initLinear;
    decltype(&Resample::resizeNearest4x8) resizeNearest4x8;
    decltype(&Resample::resizeLinear4x8) resizeLinear4x8;
};

constexpr int kPathCount = 5;
// Path `index` (0 SSE2, 1 SSSE3, 2 SSE4.1, 3 AVX, 4 AVX2).
const PathTable& pathTable(int index);
// -1 before the first call of any entry point, then the chosen path.
std::int32_t dispatchIndex();

#define HA_RESAMPLE_DECLARE_PATH(NS)                                                        \
    namespace NS {                                                                          \
    double floor(double x);                                                                 \
    Status getSize(std::int32_t, std::int32_t, std::int32_t, std::int32_t, std::int32_t,    \
                   std::int32_t, std::int32_t*, std::int32_t*);                             \
    Status getBufferSize(const void*, std::int32_t, std::int32_t, std::int32_t,             \
                         std::int32_t*);                                                    \
    Status initNearest(std::int32_t, std::int32_t, std::int32_t, std::int32_t, void*);      \
    Status initLinear(std::int32_t, std::int32_t, std::int32_t, std::int32_t, void*);       \
    Status resizeNearest4x8(const void*, std::int32_t, void*, std::int32_t, std::int32_t,   \
                            std::int32_t, std::int32_t, std::int32_t, const void*, void*);  \
    Status resizeLinear4x8(const void*, std::int32_t, void*, std::int32_t, std::int32_t,    \
                           std::int32_t, std::int32_t, std::int32_t, std::int32_t,          \
                           const void*, const void*, void*);                                \
    }

HA_RESAMPLE_DECLARE_PATH(Path0)
HA_RESAMPLE_DECLARE_PATH(Path1)
HA_RESAMPLE_DECLARE_PATH(Path2)
HA_RESAMPLE_DECLARE_PATH(Path3)
HA_RESAMPLE_DECLARE_PATH(Path4)

#undef HA_RESAMPLE_DECLARE_PATH

} // namespace DETAIL
} // namespace Resample
