#include "uia/graphics/PictureProperties.h"

#include <algorithm>

namespace HA::UIA {

namespace {

int32_t usedMargin(int32_t flags, int32_t bit, int32_t margin)
{
    return (flags & bit) ? std::max(margin, 0) : 0;
}

}  // namespace

PictureProperties::~PictureProperties() = default;

void PictureProperties::setHasAlpha(bool hasAlpha)
{
    store(mHasAlpha, hasAlpha);
}

void PictureProperties::setFramesSideBySide(bool sideBySide)
{
    store(mFrameLayout, sideBySide ? kFramesSideBySide : kFramesStacked);
}

void PictureProperties::setFrameLayout(int32_t layout)
{
    store(mFrameLayout, layout);
}

void PictureProperties::setFrameCount(uint32_t count)
{
    store(mFrameCount, count);
}

void PictureProperties::setVerticalMarginsEnabled(bool enabled)
{
    store(mMarginFlags, enabled ? (mMarginFlags | kVerticalMargins) : (mMarginFlags & ~kVerticalMargins));
}

void PictureProperties::setHorizontalMarginsEnabled(bool enabled)
{
    store(mMarginFlags, enabled ? (mMarginFlags | kHorizontalMargins) : (mMarginFlags & ~kHorizontalMargins));
}

void PictureProperties::setTopMargin(int32_t margin)
{
    store(mTopMargin, margin);
}

void PictureProperties::setBottomMargin(int32_t margin)
{
    store(mBottomMargin, margin);
}

void PictureProperties::setLeftMargin(int32_t margin)
{
    store(mLeftMargin, margin);
}

void PictureProperties::setRightMargin(int32_t margin)
{
    store(mRightMargin, margin);
}

void PictureProperties::propertiesChanged() {}

int32_t PictureProperties::usedTopMargin() const
{
    return usedMargin(mMarginFlags, kVerticalMargins, mTopMargin);
}

int32_t PictureProperties::usedBottomMargin() const
{
    return usedMargin(mMarginFlags, kVerticalMargins, mBottomMargin);
}

int32_t PictureProperties::usedLeftMargin() const
{
    return usedMargin(mMarginFlags, kHorizontalMargins, mLeftMargin);
}

int32_t PictureProperties::usedRightMargin() const
{
    return usedMargin(mMarginFlags, kHorizontalMargins, mRightMargin);
}

}  // namespace HA::UIA
