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
    mHasAlpha = hasAlpha;
    propertiesChanged();
}

void PictureProperties::setFramesSideBySide(bool sideBySide)
{
    mFrameLayout = sideBySide ? kFramesSideBySide : kFramesStacked;
    propertiesChanged();
}

void PictureProperties::setFrameLayout(int32_t layout)
{
    mFrameLayout = layout;
    propertiesChanged();
}

void PictureProperties::setFrameCount(uint32_t count)
{
    mFrameCount = count;
    propertiesChanged();
}

void PictureProperties::setVerticalMarginsEnabled(bool enabled)
{
    mMarginFlags = enabled ? (mMarginFlags | kVerticalMargins) : (mMarginFlags & ~kVerticalMargins);
    propertiesChanged();
}

void PictureProperties::setHorizontalMarginsEnabled(bool enabled)
{
    mMarginFlags =
        enabled ? (mMarginFlags | kHorizontalMargins) : (mMarginFlags & ~kHorizontalMargins);
    propertiesChanged();
}

void PictureProperties::setTopMargin(int32_t margin)
{
    mTopMargin = margin;
    propertiesChanged();
}

void PictureProperties::setBottomMargin(int32_t margin)
{
    mBottomMargin = margin;
    propertiesChanged();
}

void PictureProperties::setLeftMargin(int32_t margin)
{
    mLeftMargin = margin;
    propertiesChanged();
}

void PictureProperties::setRightMargin(int32_t margin)
{
    mRightMargin = margin;
    propertiesChanged();
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
