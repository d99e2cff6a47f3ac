#include "uia/graphics/combine/PictureCombiner.h"

#include <algorithm>
#include <cstring>

#include "uia/graphics/combine/PixelRows.h"
#include "uia/graphics/picture/Coordinates.h"

namespace HA::UIA {

namespace PictureCombinerFunctors {

BlendUsingAlpha::BlendUsingAlpha(const Picture&, const Picture&, const void*) {}

void BlendUsingAlpha::operator()(uint32_t* destination, const uint32_t* source, int64_t count) const
{
    DETAIL::blendUsingAlphaRow(destination, source, count);
}

CopySource::CopySource(const Picture& destination, const Picture& source, const void*)
{
    if (!source.hasAlpha())
        mMode = eMode::PlainCopy;
    else if (destination.isOpaque() || source.isOpaque())
        mMode = eMode::OntoOpaque;
    else
        mMode = eMode::Over;
}

void CopySource::operator()(uint32_t* destination, const uint32_t* source, int64_t count) const
{
    switch (mMode) {
    case eMode::PlainCopy:
        // memmove: a picture may be drawn into itself.
        std::memmove(destination, source, static_cast<size_t>(count) * 4);
        return;
    case eMode::OntoOpaque:
        DETAIL::copyOntoOpaqueRow(destination, source, count);
        return;
    case eMode::Over:
        DETAIL::copyOverRow(destination, source, count);
        return;
    }
}

DyeUsingAlphaMask::DyeUsingAlphaMask(const Picture&, const Picture&, const void* functorData)
    : mColour(functorData ? *static_cast<const uint32_t*>(functorData) : 0)
{
}

void DyeUsingAlphaMask::operator()(uint32_t* destination, const uint32_t* source, int64_t count) const
{
    DETAIL::dyeUsingAlphaMaskRow(destination, source, count, mColour);
}

}  // namespace PictureCombinerFunctors

namespace {

// Frame offset of frame f (limited to the strip) inside the source, or (0, 0) for one frame.
void frameOffset(const Picture& source, uint32_t& frame, int64_t& fx, int64_t& fy)
{
    fx = 0;
    fy = 0;
    const uint32_t count = source.getFrameCount();
    if (count < 2)
        return;
    frame = std::min(frame, count - 1);
    if (source.getFrameLayout() == PictureProperties::kFramesStacked)
        fy = int64_t(frame) * (source.getHeight() / int64_t(count));
    else
        fx = int64_t(frame) * (source.getWidth() / int64_t(count));
}

}  // namespace

template <class Functor>
PictureCombiner<Functor>::PictureCombiner(Picture& destination, const void* functorData)
    : mDestination(&destination), mFunctorData(functorData)
{
}

// The one place that touches pixels: the rectangle is limited to the destination's drawing
// bounds and to the source picture, moving the other side along.
template <class Functor>
void PictureCombiner<Functor>::combine(int64_t x, int64_t y, int64_t width, int64_t height,
                                       const Picture& source, int64_t srcX, int64_t srcY)
{
    Picture& dest = *mDestination;
    if (width <= 0 || height <= 0 || !dest.getPixels() || !source.getPixels())
        return;
    const GP::Rect bounds = dest.getDrawingBounds();
    const int64_t shiftX = srcX - x;  // source x = destination x + shiftX
    const int64_t shiftY = srcY - y;
    const int64_t sourceLeft = -int64_t(source.getOriginX());
    const int64_t sourceTop = -int64_t(source.getOriginY());
    const int64_t left = std::max({x, int64_t(bounds.left), sourceLeft - shiftX});
    const int64_t top = std::max({y, int64_t(bounds.top), sourceTop - shiftY});
    const int64_t right =
        std::min({x + width, int64_t(bounds.right), sourceLeft + source.getWidth() - shiftX});
    const int64_t bottom =
        std::min({y + height, int64_t(bounds.bottom), sourceTop + source.getHeight() - shiftY});
    if (left >= right || top >= bottom)
        return;
    const Functor functor(dest, source, mFunctorData);
    const int64_t destWidth = dest.getWidth();
    const int64_t srcWidth = source.getWidth();
    uint32_t* destRow = dest.getPixels() + (top + dest.getOriginY()) * destWidth + (left + dest.getOriginX());
    const uint32_t* srcRow = source.getPixels() + (top + shiftY - sourceTop) * srcWidth + (left + shiftX - sourceLeft);
    for (int64_t row = top; row < bottom; ++row) {
        functor(destRow, srcRow, right - left);
        destRow += destWidth;
        srcRow += srcWidth;
    }
}

template <class Functor>
void PictureCombiner<Functor>::combineRect(int x, int y, int width, int height, const Picture& source,
                                           int srcX, int srcY)
{
    combine(x, y, width, height, source, srcX, srcY);
}

template <class Functor>
void PictureCombiner<Functor>::blit(int x, int y, const Picture& source, uint32_t frameIndex,
                                    const std::optional<GP::Rect>& sourceRect)
{
    int64_t x0 = 0;
    int64_t y0 = 0;
    int64_t width = source.getWidth();
    int64_t height = source.getHeight();
    if (sourceRect) {
        x0 = sourceRect->left;
        y0 = sourceRect->top;
        width = int64_t(sourceRect->right) - sourceRect->left;
        height = int64_t(sourceRect->bottom) - sourceRect->top;
    }
    const uint32_t count = source.getFrameCount();
    if (count >= 2) {
        int64_t fx;
        int64_t fy;
        frameOffset(source, frameIndex, fx, fy);
        x0 += fx;
        y0 += fy;
        if (!sourceRect) {
            if (source.getFrameLayout() == PictureProperties::kFramesStacked)
                height = source.getHeight() / int64_t(count);
            else
                width = source.getWidth() / int64_t(count);
        }
        if (x0 >= source.getWidth() || y0 >= source.getHeight())
            return;
    }
    combine(x, y, width, height, source, x0, y0);
}

template <class Functor>
void PictureCombiner<Functor>::drawTiled(int x, int y, int width, int height, const Picture& source,
                                         int srcX, int srcY, int tileWidth, int tileHeight)
{
    if (width <= 0 || height <= 0 || tileWidth <= 0 || tileHeight <= 0)
        return;
    GP::Rect r{x, y, DETAIL::clampCoordinate(int64_t(x) + width), DETAIL::clampCoordinate(int64_t(y) + height)};
    if (!mDestination->clipToClipRect(r))
        return;
    // The phase keeps the tiling aligned with the unclipped rectangle's top-left.
    const int64_t phaseX = (int64_t(r.left) - x) % tileWidth;
    const int64_t phaseY = (int64_t(r.top) - y) % tileHeight;
    for (int64_t bandTop = r.top; bandTop < r.bottom;) {
        const int64_t rowInTile = bandTop == r.top ? phaseY : 0;
        const int64_t bandHeight = std::min<int64_t>(tileHeight - rowInTile, r.bottom - bandTop);
        for (int64_t pieceLeft = r.left; pieceLeft < r.right;) {
            const int64_t columnInTile = pieceLeft == r.left ? phaseX : 0;
            const int64_t pieceWidth = std::min<int64_t>(tileWidth - columnInTile, r.right - pieceLeft);
            combine(pieceLeft, bandTop, pieceWidth, bandHeight, source, int64_t(srcX) + columnInTile,
                    int64_t(srcY) + rowInTile);
            pieceLeft += pieceWidth;
        }
        bandTop += bandHeight;
    }
}

template <class Functor>
void PictureCombiner<Functor>::drawNinePatch(const GP::Rect& rect, const Picture& source, uint32_t frameIndex,
                                             const std::optional<GP::Rect>& clip)
{
    if (source.getMarginFlags() == 0) {
        if (clip) {
            Picture::ClipScope scope(*mDestination, *clip);
            blit(rect.left, rect.top, source, frameIndex);
        } else
            blit(rect.left, rect.top, source, frameIndex);
        return;
    }
    const int64_t rectWidth = int64_t(rect.right) - rect.left;
    const int64_t rectHeight = int64_t(rect.bottom) - rect.top;
    if (rectWidth == source.getWidth() && rectHeight == source.getHeight()) {
        if (!clip) {
            blit(rect.left, rect.top, source, frameIndex);
            return;
        }
        if (int64_t(clip->right) - clip->left == rectWidth && int64_t(clip->bottom) - clip->top == rectHeight) {
            blit(clip->left, clip->top, source, frameIndex);
            return;
        }
    }
    int64_t fx;
    int64_t fy;
    frameOffset(source, frameIndex, fx, fy);
    const int64_t W = source.getFrameWidth();
    const int64_t H = source.getFrameHeight();
    const int64_t l = source.usedLeftMargin();
    const int64_t r = source.usedRightMargin();
    const int64_t t = source.usedTopMargin();
    const int64_t b = source.usedBottomMargin();
    const int64_t cw = W - r - l;
    const int64_t ch = H - b - t;
    if (cw <= 0 || ch <= 0)
        return;
    const std::vector<uint32_t>& masks = source.getHiddenTiles();
    const uint32_t hidden = frameIndex < masks.size() ? masks[frameIndex] : 0;

    Picture::ClipScope scope(*mDestination, clip ? *clip : rect);
    const int64_t L = rect.left, T = rect.top, R = rect.right, B = rect.bottom;
    const int64_t xl = L + l, xr = R - r, yt = T + t, yb = B - b;
    auto visible = [&](uint32_t bit) { return (hidden & bit) == 0; };
    // The tiled pieces go through drawTiled, whose arguments are int; a piece that does not
    // fit draws nothing rather than wrapping.
    auto tiled = [&](int64_t x, int64_t y, int64_t w, int64_t h, int64_t sx, int64_t sy, int64_t tw,
                     int64_t th) {
        for (int64_t v : {x, y, w, h, sx, sy, tw, th})
            if (v < INT32_MIN || v > INT32_MAX)
                return;
        drawTiled(int(x), int(y), int(w), int(h), source, int(sx), int(sy), int(tw), int(th));
    };
    if (t > 0) {
        if (l > 0 && visible(0x1))
            combine(L, T, l, t, source, fx, fy);
        if (visible(0x2))
            tiled(xl, T, xr - xl, t, fx + l, fy, cw, t);
        if (r > 0 && visible(0x4))
            combine(xr, T, r, t, source, fx + W - r, fy);
    }
    if (l > 0 && visible(0x8))
        tiled(L, yt, l, yb - yt, fx, fy + t, l, ch);
    if (visible(0x10))
        tiled(xl, yt, xr - xl, yb - yt, fx + l, fy + t, cw, ch);
    if (r > 0 && visible(0x20))
        tiled(xr, yt, r, yb - yt, fx + W - r, fy + t, r, ch);
    if (b > 0) {
        if (l > 0 && visible(0x40))
            combine(L, yb, l, b, source, fx, fy + H - b);
        if (visible(0x80))
            tiled(xl, yb, xr - xl, b, fx + l, fy + H - b, cw, b);
        if (r > 0 && visible(0x100))
            combine(xr, yb, r, b, source, fx + W - r, fy + H - b);
    }
}

template class PictureCombiner<PictureCombinerFunctors::BlendUsingAlpha>;
template class PictureCombiner<PictureCombinerFunctors::CopySource>;
template class PictureCombiner<PictureCombinerFunctors::DyeUsingAlphaMask>;

}  // namespace HA::UIA
