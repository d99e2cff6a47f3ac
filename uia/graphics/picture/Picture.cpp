#include "uia/graphics/picture/Picture.h"

#include <algorithm>
#include <filesystem>

#include "uia/graphics/picture/Coordinates.h"

namespace HA::UIA {

using DETAIL::clampCoordinate;

Picture::Picture() = default;

Picture::~Picture() = default;

bool Picture::allocate(int32_t width, int32_t height, eBlock block)
{
    if (width < 0 || height < 0)
        return false;
    // 64-bit: loaders hand over sizes straight from files.
    const int64_t needed = int64_t(mHeaderSize) + 4 * int64_t(width) * int64_t(height);
    if (needed > INT32_MAX)
        return false;
    if (needed != mBlockSize && (needed > mBlockSize || block == eBlock::Discard)) {
        mBlock.reset();
        mPixels = nullptr;
        mWidth = 0;
        mHeight = 0;
        mBlockSize = 0;
        mBlock.reset(static_cast<uint8_t*>(std::malloc(static_cast<size_t>(needed))));
        if (mBlock)
            mBlockSize = static_cast<int32_t>(needed);
    }
    if (!mBlock) {
        mBlockSize = 0;
        return false;
    }
    mPixels = reinterpret_cast<uint32_t*>(mBlock.get() + mHeaderSize);
    return true;
}

bool Picture::setSize(int32_t width, int32_t height, eBlock block)
{
    if (!allocate(width, height, block))
        return false;
    mWidth = width;
    mHeight = height;
    mOriginX = 0;
    mOriginY = 0;
    mClipActive = false;
    mClip = GP::Rect{0, 0, width, height};
    return true;
}

int32_t Picture::getFrameWidth() const
{
    if (mFrameLayout == kFramesStacked)
        return mWidth;
    return static_cast<int32_t>(mWidth / std::max<int64_t>(mFrameCount, 1));
}

int32_t Picture::getFrameHeight() const
{
    if (mFrameLayout != kFramesStacked)
        return mHeight;
    return static_cast<int32_t>(mHeight / std::max<int64_t>(mFrameCount, 1));
}

void Picture::setOrigin(int32_t x, int32_t y)
{
    if (!mClipActive) {
        mOriginX = x;
        mOriginY = y;
        return;
    }
    const int64_t dx = int64_t(mOriginX) - x;
    const int64_t dy = int64_t(mOriginY) - y;
    const GP::Rect moved{clampCoordinate(mClip.left + dx), clampCoordinate(mClip.top + dy),
                     clampCoordinate(mClip.right + dx), clampCoordinate(mClip.bottom + dy)};
    mOriginX = x;
    mOriginY = y;
    setClipRect(moved);
}

GP::Rect Picture::getPictureBounds() const
{
    return GP::Rect{clampCoordinate(-int64_t(mOriginX)), clampCoordinate(-int64_t(mOriginY)),
                clampCoordinate(int64_t(mWidth) - mOriginX), clampCoordinate(int64_t(mHeight) - mOriginY)};
}

void Picture::setClipRect(const GP::Rect& rect)
{
    const GP::Rect bounds = getPictureBounds();
    const GP::Rect belowOrigin{0, 0, bounds.right, bounds.bottom};
    mClip = GP::Rect::intersect(GP::Rect::intersect(bounds, belowOrigin), rect);
    mClipActive = true;
}

void Picture::clearClipRect()
{
    mClipActive = false;
    mClip = GP::Rect{0, 0, mWidth, mHeight};
}

GP::Rect Picture::getDrawingBounds() const
{
    return mClipActive ? mClip : getPictureBounds();
}

bool Picture::clipToClipRect(GP::Rect& rect) const
{
    const bool flipX = rect.right < rect.left;
    const bool flipY = rect.bottom < rect.top;
    const GP::Rect ordered{std::min(rect.left, rect.right), std::min(rect.top, rect.bottom),
                       std::max(rect.left, rect.right), std::max(rect.top, rect.bottom)};
    GP::Rect clipped = GP::Rect::intersect(ordered, getDrawingBounds());
    if (clipped.isEmpty())
        return false;
    if (flipX)
        std::swap(clipped.left, clipped.right);
    if (flipY)
        std::swap(clipped.top, clipped.bottom);
    rect = clipped;
    return true;
}

Picture::ClipScope::ClipScope(Picture& picture, const GP::Rect& rect)
    : mPicture(picture),
      mOriginX(picture.mOriginX),
      mOriginY(picture.mOriginY),
      mClipActive(picture.mClipActive),
      mClip(picture.mClip)
{
    mPicture.setClipRect(mClipActive ? GP::Rect::intersect(rect, mClip) : rect);
}

Picture::ClipScope::~ClipScope()
{
    mPicture.setOrigin(mOriginX, mOriginY);
    if (mClipActive)
        mPicture.setClipRect(mClip);
    else {
        mPicture.mClipActive = false;
        mPicture.mClip = GP::Rect{0, 0, mPicture.mWidth, mPicture.mHeight};
    }
}

void Picture::fill(uint32_t colour)
{
    if (mPixels)
        std::fill_n(mPixels, int64_t(mWidth) * mHeight, colour);
}

void Picture::fillRectRaw(const GP::Rect& rect, uint32_t value)
{
    if (!mPixels)
        return;
    const GP::Rect r = GP::Rect::intersect(rect, getPictureBounds());
    for (int64_t y = r.top; y < r.bottom; ++y)
        std::fill_n(pixelAt(r.left, y), r.right - r.left, value);
}

void Picture::flipVertically()
{
    if (!mPixels)
        return;
    for (int64_t i = 0; i < mHeight / 2; ++i) {
        uint32_t* upper = mPixels + i * mWidth;
        uint32_t* lower = mPixels + (mHeight - 1 - i) * int64_t(mWidth);
        std::swap_ranges(upper, upper + mWidth, lower);
    }
}

void Picture::computeHiddenTiles()
{
    mHiddenTiles.clear();
    if (!mPixels || mMarginFlags == 0 || !mHasAlpha)
        return;
    const int32_t frameWidth = getFrameWidth();
    const int32_t frameHeight = getFrameHeight();
    const int32_t left = usedLeftMargin();
    const int32_t right = usedRightMargin();
    const int32_t top = usedTopMargin();
    const int32_t bottom = usedBottomMargin();
    if (int64_t(frameWidth) - right - left <= 0 || int64_t(frameHeight) - bottom - top <= 0)
        return;
    const uint32_t frames = std::max<uint32_t>(mFrameCount, 1);
    mHiddenTiles.resize(frames);
    for (uint32_t frame = 0; frame < frames; ++frame) {
        const int64_t x0 = mFrameLayout == kFramesStacked ? 0 : int64_t(frame) * frameWidth;
        const int64_t y0 = mFrameLayout == kFramesStacked ? int64_t(frame) * frameHeight : 0;
        uint32_t mask = 0x1FF;
        for (int32_t y = 0; y < frameHeight; ++y) {
            const int band = y < top ? 0 : (y < frameHeight - bottom ? 1 : 2);
            const uint32_t* row = mPixels + (y0 + y) * mWidth + x0;
            for (int32_t x = 0; x < frameWidth; ++x) {
                if ((row[x] >> 24) == 0)
                    continue;
                const int column = x < left ? 0 : (x < frameWidth - right ? 1 : 2);
                mask &= ~(1u << (band * 3 + column));
            }
        }
        mHiddenTiles[frame] = mask;
    }
}

std::string makeScaledPictureName(const std::string& name, float scale)
{
    if (scale == 1.0f)
        return name;
    const std::filesystem::path path(name);
    const std::filesystem::path scaled =
        path.parent_path() / (path.stem().string() + "@2x" + path.extension().string());
    return scaled.string();
}

}  // namespace HA::UIA
