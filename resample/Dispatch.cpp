// The public entry points: each jumps through its own table to the chosen path. Slot 0
// of every table is a stub that makes the one-time choice and jumps again, so the first
// call of any entry point selects the path for all of them.
#include <atomic>
#include <mutex>

#include "resample/CpuFeatures.h"
#include "resample/Resample.h"
#include "resample/paths/Paths.h"

namespace Resample {

namespace {

std::atomic<std::int32_t> chosenIndex{-1};
std::once_flag chooseOnce;

void ensureDispatch()
{
    std::call_once(chooseOnce, [] { initDispatch(); });
}

std::int32_t slot() { return chosenIndex.load(std::memory_order_acquire) + 1; }

// One stub per entry point: choose, then run the chosen path with the same arguments.
template <auto Table, class... A> Status stub(A... args)
{
    ensureDispatch();
    return (*Table)[slot()](args...);
}

using GetSizeFn = decltype(&getSize);
using GetBufferSizeFn = decltype(&getBufferSize);
using InitFn = decltype(&initNearest);
using NearestFn = decltype(&resizeNearest4x8);
using LinearFn = decltype(&resizeLinear4x8);

extern const GetSizeFn getSizeTable[6];
extern const GetBufferSizeFn getBufferSizeTable[6];
extern const InitFn initNearestTable[6];
extern const InitFn initLinearTable[6];
extern const NearestFn resizeNearestTable[6];
extern const LinearFn resizeLinearTable[6];

const GetSizeFn getSizeTable[6] = {
    stub<&getSizeTable, std::int32_t, std::int32_t, std::int32_t, std::int32_t, std::int32_t,
         std::int32_t, std::int32_t*, std::int32_t*>,
    DETAIL::Path0::getSize, DETAIL::Path1::getSize, DETAIL::Path2::getSize,
    DETAIL::Path3::getSize, DETAIL::Path4::getSize};
const GetBufferSizeFn getBufferSizeTable[6] = {
    stub<&getBufferSizeTable, const void*, std::int32_t, std::int32_t, std::int32_t,
         std::int32_t*>,
    DETAIL::Path0::getBufferSize, DETAIL::Path1::getBufferSize, DETAIL::Path2::getBufferSize,
    DETAIL::Path3::getBufferSize, DETAIL::Path4::getBufferSize};
const InitFn initNearestTable[6] = {
    stub<&initNearestTable, std::int32_t, std::int32_t, std::int32_t, std::int32_t, void*>,
    DETAIL::Path0::initNearest, DETAIL::Path1::initNearest, DETAIL::Path2::initNearest,
    DETAIL::Path3::initNearest, DETAIL::Path4::initNearest};
const InitFn initLinearTable[6] = {
    stub<&initLinearTable, std::int32_t, std::int32_t, std::int32_t, std::int32_t, void*>,
    DETAIL::Path0::initLinear, DETAIL::Path1::initLinear, DETAIL::Path2::initLinear,
    DETAIL::Path3::initLinear, DETAIL::Path4::initLinear};
const NearestFn resizeNearestTable[6] = {
    stub<&resizeNearestTable, const void*, std::int32_t, void*, std::int32_t, std::int32_t,
         std::int32_t, std::int32_t, std::int32_t, const void*, void*>,
    DETAIL::Path0::resizeNearest4x8, DETAIL::Path1::resizeNearest4x8,
    DETAIL::Path2::resizeNearest4x8, DETAIL::Path3::resizeNearest4x8,
    DETAIL::Path4::resizeNearest4x8};
const LinearFn resizeLinearTable[6] = {
    stub<&resizeLinearTable, const void*, std::int32_t, void*, std::int32_t, std::int32_t,
         std::int32_t, std::int32_t, std::int32_t, std::int32_t, const void*, const void*,
         void*>,
    DETAIL::Path0::resizeLinear4x8, DETAIL::Path1::resizeLinear4x8,
    DETAIL::Path2::resizeLinear4x8, DETAIL::Path3::resizeLinear4x8,
    DETAIL::Path4::resizeLinear4x8};

const DETAIL::PathTable pathTables[DETAIL::kPathCount] = {
#define HA_RESAMPLE_PATH_ROW(NS)                                                           \
    {DETAIL::NS::floor, DETAIL::NS::getSize, DETAIL::NS::getBufferSize,                    \
     DETAIL::NS::initNearest, DETAIL::NS::initLinear, DETAIL::NS::resizeNearest4x8,        \
     DETAIL::NS::resizeLinear4x8}
    HA_RESAMPLE_PATH_ROW(Path0), HA_RESAMPLE_PATH_ROW(Path1), HA_RESAMPLE_PATH_ROW(Path2),
    HA_RESAMPLE_PATH_ROW(Path3), HA_RESAMPLE_PATH_ROW(Path4),
#undef HA_RESAMPLE_PATH_ROW
};

} // namespace

Status initDispatch()
{
    std::uint64_t features = 0;
    std::int32_t index = 0;
    Status status;
    if (getCpuFeatures(&features) != kOk) {
        setEffectiveFeatures(kCpuMmx | kCpuSse);
        status = kCpuNoCpuid;
    } else {
        status = selectCpuFeatures(features, &index);
    }
    chosenIndex.store(index, std::memory_order_release);
    return isGenuineIntel() ? status : kCpuOtherVendor;
}

double floor(double x)
{
    ensureDispatch();
    return pathTables[slot() - 1].floor(x);
}

Status getSize(std::int32_t srcWidth, std::int32_t srcHeight, std::int32_t dstWidth,
               std::int32_t dstHeight, std::int32_t interpolation, std::int32_t antialiasing,
               std::int32_t* specSize, std::int32_t* initSize)
{
    return getSizeTable[slot()](srcWidth, srcHeight, dstWidth, dstHeight, interpolation,
                                antialiasing, specSize, initSize);
}

Status getBufferSize(const void* specBuffer, std::int32_t width, std::int32_t height,
                     std::int32_t channels, std::int32_t* bufferSize)
{
    return getBufferSizeTable[slot()](specBuffer, width, height, channels, bufferSize);
}

Status initNearest(std::int32_t srcWidth, std::int32_t srcHeight, std::int32_t dstWidth,
                   std::int32_t dstHeight, void* specBuffer)
{
    return initNearestTable[slot()](srcWidth, srcHeight, dstWidth, dstHeight, specBuffer);
}

Status initLinear(std::int32_t srcWidth, std::int32_t srcHeight, std::int32_t dstWidth,
                  std::int32_t dstHeight, void* specBuffer)
{
    return initLinearTable[slot()](srcWidth, srcHeight, dstWidth, dstHeight, specBuffer);
}

Status resizeNearest4x8(const void* src, std::int32_t srcStep, void* dst, std::int32_t dstStep,
                        std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height,
                        const void* specBuffer, void* work)
{
    return resizeNearestTable[slot()](src, srcStep, dst, dstStep, x, y, width, height,
                                      specBuffer, work);
}

Status resizeLinear4x8(const void* src, std::int32_t srcStep, void* dst, std::int32_t dstStep,
                       std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height,
                       std::int32_t borderMode, const void* borderValues, const void* specBuffer,
                       void* work)
{
    return resizeLinearTable[slot()](src, srcStep, dst, dstStep, x, y, width, height,
                                     borderMode, borderValues, specBuffer, work);
}

namespace DETAIL {

const PathTable& pathTable(int index) { return pathTables[index]; }

std::int32_t dispatchIndex() { return chosenIndex.load(std::memory_order_acquire); }

} // namespace DETAIL

} // namespace Resample
