#include "uia/graphics/picture/PictureProperties.h"

#include <algorithm>

#include "gp/src/common/storage/Stream.h"

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

bool PictureProperties::read(GP::Stream& stream)
{
    GP::IStorage* storage = stream.getStorage();
    if (!storage)
        return false;
    // Typed reads do not report short counts, and a window onto another storage keeps its
    // state on one: the position tells whether every byte arrived.
    const int64_t start = storage->tell();
    stream.readU32();  // version
    const bool hasAlpha = stream.readU8() != 0;
    int32_t words[7];
    for (int32_t& word : words)
        word = static_cast<int32_t>(stream.readU32());
    if (!storage->isGoodOrAtEnd() || start < 0 || storage->tell() != start + kStreamSize)
        return false;
    mHasAlpha = hasAlpha;
    mFrameLayout = words[0];
    mFrameCount = static_cast<uint32_t>(words[1]);
    mMarginFlags = words[2];
    mTopMargin = words[3];
    mBottomMargin = words[4];
    mLeftMargin = words[5];
    mRightMargin = words[6];
    propertiesChanged();
    return true;
}

bool PictureProperties::write(GP::Stream& stream) const
{
    GP::IStorage* storage = stream.getStorage();
    if (!storage)
        return false;
    const int64_t start = storage->tell();
    stream.writeU32(kStreamVersion);
    stream.writeU8(mHasAlpha ? 1 : 0);
    for (int32_t word : {mFrameLayout, static_cast<int32_t>(mFrameCount), mMarginFlags, mTopMargin,
                         mBottomMargin, mLeftMargin, mRightMargin})
        stream.writeU32(static_cast<uint32_t>(word));
    return storage->isGoodOrAtEnd() && start >= 0 && storage->tell() == start + kStreamSize;
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
