// Scaled copies of pictures through the resampler.

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <memory>

#include "resample/Resample.h"
#include "uia/graphics/picture/Picture.h"

namespace HA::UIA {

namespace {

struct FreeBuffer {
    void operator()(void* p) const { std::free(p); }
};
using Buffer = std::unique_ptr<void, FreeBuffer>;

// lroundf of value, or false when it does not fit a non-negative int32.
bool roundedSize(float value, int32_t& out)
{
    if (!(value >= 0.0f && value < 2147483520.0f))  // the largest float below 2^31
        return false;
    out = static_cast<int32_t>(std::lroundf(value));
    return true;
}

// Margins are not validated by their setters, so their scaled value is limited to int32.
int32_t scaledMargin(int32_t margin, float scale)
{
    const float v = static_cast<float>(margin) * scale;
    if (!(v > -2147483520.0f))
        return INT32_MIN;
    if (!(v < 2147483520.0f))
        return INT32_MAX;
    return static_cast<int32_t>(std::lroundf(v));
}

Buffer allocateBuffer(int32_t size, size_t alignment)
{
    const size_t bytes = (static_cast<size_t>(std::max(size, 1)) + alignment - 1) / alignment * alignment;
    return Buffer(std::aligned_alloc(alignment, bytes));
}

}  // namespace

std::unique_ptr<Picture> Picture::createScaled(float scale, eInterpolation interpolation) const
{
    if (!std::isfinite(scale) || !(scale > 0.0f))
        return nullptr;
    int32_t newWidth;
    int32_t newHeight;
    if (!roundedSize(static_cast<float>(mWidth) * scale, newWidth) ||
        !roundedSize(static_cast<float>(mHeight) * scale, newHeight))
        return nullptr;

    auto copy = std::make_unique<Picture>();
    copy->mHasAlpha = mHasAlpha;
    copy->mFrameLayout = mFrameLayout;
    copy->mFrameCount = mFrameCount;
    copy->mMarginFlags = mMarginFlags;
    if (!copy->setSize(newWidth, newHeight, eBlock::Discard))
        return nullptr;
    copy->setTopMargin(scaledMargin(mTopMargin, scale));
    copy->setBottomMargin(scaledMargin(mBottomMargin, scale));
    copy->setLeftMargin(scaledMargin(mLeftMargin, scale));
    copy->setRightMargin(scaledMargin(mRightMargin, scale));
    if (newWidth == 0 || newHeight == 0)
        return copy;  // no pixels to fill

    // Any refusal of the resampler leaves the copy's pixels undefined, so it is dropped.
    const bool nearest = interpolation == eInterpolation::Nearest;
    int32_t specSize = 0;
    int32_t initSize = 0;
    if (Resample::getSize(mWidth, mHeight, newWidth, newHeight, nearest ? Resample::kNearest : Resample::kLinear,
                          0, &specSize, &initSize) != Resample::kOk)
        return nullptr;
    Buffer spec = allocateBuffer(specSize, 64);
    if (!spec)
        return nullptr;
    const Resample::Status init = nearest ? Resample::initNearest(mWidth, mHeight, newWidth, newHeight, spec.get())
                                          : Resample::initLinear(mWidth, mHeight, newWidth, newHeight, spec.get());
    int32_t workSize = 0;
    if (init != Resample::kOk ||
        Resample::getBufferSize(spec.get(), newWidth, newHeight, 4, &workSize) != Resample::kOk)
        return nullptr;
    Buffer work = allocateBuffer(workSize, 64);
    if (!work)
        return nullptr;
    const Resample::Status resized =
        nearest ? Resample::resizeNearest4x8(mPixels, 4 * mWidth, copy->mPixels, 4 * newWidth, 0, 0, newWidth,
                                             newHeight, spec.get(), work.get())
                : Resample::resizeLinear4x8(mPixels, 4 * mWidth, copy->mPixels, 4 * newWidth, 0, 0, newWidth,
                                            newHeight, Resample::kBorderReplicate, nullptr, spec.get(), work.get());
    if (resized != Resample::kOk)
        return nullptr;
    return copy;
}

}  // namespace HA::UIA
