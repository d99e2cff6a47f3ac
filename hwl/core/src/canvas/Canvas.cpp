#include "hwl/core/src/canvas/Canvas.h"

#include <cmath>

#include "hwl/core/src/style/LazyPicture.h"
#include "uia/graphics/combine/PictureCombiner.h"
#include "uia/graphics/text/Font.h"

namespace HA::HWL {

namespace {

using UIA::PictureCombiner;
namespace Functors = UIA::PictureCombinerFunctors;

bool gOpaqueCanvasBuffer = false;

}  // namespace

void setOpaqueCanvasBuffer(bool on) { gOpaqueCanvasBuffer = on; }

bool isOpaqueCanvasBuffer() { return gOpaqueCanvasBuffer; }

BackgroundDrawingCanvas::BGDrawBuffer::~BGDrawBuffer() = default;

void BackgroundDrawingCanvas::BGDrawBuffer::drawPictureBlended(int x, int y, const UIA::Picture& picture,
                                                               std::uint32_t frame,
                                                               const std::optional<GP::Rect>& rect)
{
    PictureCombiner<Functors::BlendUsingAlpha>(*this).blit(x, y, picture, frame, rect);
}

void BackgroundDrawingCanvas::BGDrawBuffer::drawPictureCopied(int x, int y, const UIA::Picture& picture,
                                                              std::uint32_t frame,
                                                              const std::optional<GP::Rect>& rect)
{
    PictureCombiner<Functors::CopySource>(*this).blit(x, y, picture, frame, rect);
}

void BackgroundDrawingCanvas::BGDrawBuffer::drawNinePatchBlended(const GP::Rect& rect, const UIA::Picture& picture,
                                                                 std::uint32_t frame,
                                                                 const std::optional<GP::Rect>& clip)
{
    PictureCombiner<Functors::BlendUsingAlpha>(*this).drawNinePatch(rect, picture, frame, clip);
}

void BackgroundDrawingCanvas::BGDrawBuffer::drawNinePatchCopied(const GP::Rect& rect, const UIA::Picture& picture,
                                                                std::uint32_t frame,
                                                                const std::optional<GP::Rect>& clip)
{
    PictureCombiner<Functors::CopySource>(*this).drawNinePatch(rect, picture, frame, clip);
}

BackgroundDrawingCanvas::BackgroundDrawingCanvas()
    : mBuffer(std::make_unique<BGDrawBuffer>()), mScratch(std::make_unique<UIA::Picture>())
{
    mBuffer->setOpaqueDestination(isOpaqueCanvasBuffer());
}

BackgroundDrawingCanvas::~BackgroundDrawingCanvas() = default;

int BackgroundDrawingCanvas::scaled(float value) const { return static_cast<int>(std::lroundf(value * mScale)); }

GP::Point BackgroundDrawingCanvas::scaled(GP::Point point) const
{
    return GP::Point{scaled(static_cast<float>(point.x)), scaled(static_cast<float>(point.y))};
}

GP::Rect BackgroundDrawingCanvas::scaled(const GP::Rect& rect) const
{
    return GP::Rect{scaled(static_cast<float>(rect.left)), scaled(static_cast<float>(rect.top)),
                    scaled(static_cast<float>(rect.right)), scaled(static_cast<float>(rect.bottom))};
}

void BackgroundDrawingCanvas::setHasAlpha(bool hasAlpha) { mBuffer->setHasAlpha(hasAlpha); }

GP::Rect BackgroundDrawingCanvas::resetClip()
{
    mBuffer->clearClipRect();
    return GP::Rect{0, 0, mBuffer->getWidth(), mBuffer->getHeight()};
}

void BackgroundDrawingCanvas::setClip(const GP::Rect& rect) { mBuffer->setClipRect(scaled(rect)); }

void BackgroundDrawingCanvas::resetOrigin()
{
    mOffset = GP::Point{};
    mBuffer->setOrigin(mBaseOrigin.x, mBaseOrigin.y);
}

void BackgroundDrawingCanvas::moveOrigin(GP::Point point)
{
    mOffset = scaled(point);
    mBuffer->setOrigin(mBaseOrigin.x + mOffset.x, mBaseOrigin.y + mOffset.y);
}

GP::Point BackgroundDrawingCanvas::getOrigin() const
{
    const float inverse = 1.0f / mScale;
    return GP::Point{static_cast<int>(std::lroundf(static_cast<float>(mOffset.x) * inverse)),
                     static_cast<int>(std::lroundf(static_cast<float>(mOffset.y) * inverse))};
}

void BackgroundDrawingCanvas::reallocate()
{
    const int width = scaled(static_cast<float>(mLogicalWidth));
    const int height = scaled(static_cast<float>(mLogicalHeight));
    if (!mBuffer->setSize(width, height, UIA::Picture::eBlock::KeepLarger))
        return;
    mBuffer->fill(0);
    mBuffer->setOrigin(mBaseOrigin.x + mOffset.x, mBaseOrigin.y + mOffset.y);
}

void BackgroundDrawingCanvas::resize(int width, int height)
{
    if (!mOwnsBuffer || (width == mLogicalWidth && height == mLogicalHeight))
        return;
    mLogicalWidth = width;
    mLogicalHeight = height;
    reallocate();
}

void BackgroundDrawingCanvas::setScale(float scale)
{
    if (scale == mScale)
        return;
    mScale = scale;
    reallocate();
}

void BackgroundDrawingCanvas::fill(std::uint32_t colour) { mBuffer->fill(colour); }

void BackgroundDrawingCanvas::setPixel(GP::Point point, std::uint32_t colour)
{
    const GP::Point p = scaled(point);
    mBuffer->blendPixelClipped(p.x, p.y, colour);
}

void BackgroundDrawingCanvas::drawLine(GP::Point from, GP::Point to, std::uint32_t colour)
{
    if (mScale == 1.0f) {
        mBuffer->drawLine(from.x, from.y, to.x, to.y, colour);
        return;
    }
    const GP::Point a = scaled(from);
    const GP::Point b = scaled(to);
    drawStrokedLine(a.x, a.y, b.x, b.y, colour);
}

void BackgroundDrawingCanvas::drawVerticalLine(GP::Point point, int length, std::uint32_t colour)
{
    if (mScale == 1.0f) {
        mBuffer->drawVerticalLine(point.x, point.y, length, colour);
        return;
    }
    const GP::Point a = scaled(point);
    drawStrokedLine(a.x, a.y, a.x, a.y + scaled(static_cast<float>(length)), colour);
}

void BackgroundDrawingCanvas::drawHorizontalLine(GP::Point point, int length, std::uint32_t colour)
{
    if (mScale == 1.0f) {
        mBuffer->drawHorizontalLine(point.x, point.y, length, colour);
        return;
    }
    const GP::Point a = scaled(point);
    drawStrokedLine(a.x, a.y, a.x + scaled(static_cast<float>(length)), a.y, colour);
}

void BackgroundDrawingCanvas::drawAntialiasedLine(float x1, float y1, float x2, float y2, std::uint32_t colour)
{
    if (mScale == 1.0f) {
        mBuffer->drawAntialiasedLine(x1, y1, x2, y2, colour);
        return;
    }
    // Cut toward zero; a coordinate no int can hold draws nothing.
    auto cut = [this](float value, int& out) {
        const float v = std::trunc(value * mScale);
        if (!(std::fabs(v) < UIA::Picture::kMaxLineCoordinate))
            return false;
        out = static_cast<int>(v);
        return true;
    };
    int a = 0, b = 0, c = 0, d = 0;
    if (cut(x1, a) && cut(y1, b) && cut(x2, c) && cut(y2, d))
        drawStrokedLine(a, b, c, d, colour);
}

void BackgroundDrawingCanvas::drawFrameRect(const GP::Rect& rect, std::uint32_t colour)
{
    const GP::Rect r = scaled(rect);
    mBuffer->drawFrameRect(r.left, r.top, r.width(), r.height(), colour);
}

void BackgroundDrawingCanvas::fillRect(const GP::Rect& rect, std::uint32_t colour)
{
    const GP::Rect r = scaled(rect);
    mBuffer->fillRect(r.left, r.top, r.width(), r.height(), colour);
}

void BackgroundDrawingCanvas::fillRectRaw(const GP::Rect& rect, std::uint32_t colour)
{
    mBuffer->fillRectRaw(scaled(rect), colour);
}

void BackgroundDrawingCanvas::invertRect(const GP::Rect& rect)
{
    const GP::Rect r = scaled(rect);
    mBuffer->invertRect(r.left, r.top, r.width(), r.height());
}

void BackgroundDrawingCanvas::drawPicture(GP::Point point, const UIA::Picture& picture, std::uint32_t frame,
                                          const std::optional<GP::Rect>& rect, bool blend)
{
    const GP::Point p = scaled(point);
    if (blend)
        mBuffer->drawPictureBlended(p.x, p.y, picture, frame, rect);
    else
        mBuffer->drawPictureCopied(p.x, p.y, picture, frame, rect);
}

void BackgroundDrawingCanvas::drawLazyPicture(GP::Point point, const LazyPicture& picture, std::uint32_t frame,
                                              const std::optional<GP::Rect>& rect, bool blend)
{
    if (const UIA::Picture* resolved = picture.get(mScale))
        drawPicture(point, *resolved, frame, rect, blend);
}

void BackgroundDrawingCanvas::drawNinePatch(const GP::Rect& rect, const UIA::Picture& picture, std::uint32_t frame,
                                            const std::optional<GP::Rect>& clip, bool blend)
{
    if (blend)
        mBuffer->drawNinePatchBlended(scaled(rect), picture, frame, clip);
    else
        mBuffer->drawNinePatchCopied(scaled(rect), picture, frame, clip);
}

void BackgroundDrawingCanvas::drawLazyNinePatch(const GP::Rect& rect, const LazyPicture& picture,
                                                std::uint32_t frame, const std::optional<GP::Rect>& clip, bool blend)
{
    if (const UIA::Picture* resolved = picture.get(mScale))
        drawNinePatch(rect, *resolved, frame, clip, blend);
}

void BackgroundDrawingCanvas::drawDyedPicture(const GP::Rect& rect, std::uint32_t colour, const UIA::Picture& picture,
                                              std::uint32_t frame, const std::optional<GP::Rect>& clip)
{
    PictureCombiner<Functors::DyeUsingAlphaMask>(*mBuffer, &colour).drawNinePatch(scaled(rect), picture, frame, clip);
}

void BackgroundDrawingCanvas::drawLazyDyedPicture(const GP::Rect& rect, std::uint32_t colour,
                                                  const LazyPicture& picture, std::uint32_t frame,
                                                  const std::optional<GP::Rect>& clip)
{
    if (const UIA::Picture* resolved = picture.get(mScale))
        drawDyedPicture(rect, colour, *resolved, frame, clip);
}

unsigned BackgroundDrawingCanvas::turnAlignment(unsigned flags)
{
    using F = UIA::Font;
    unsigned turned = 0;
    if (flags & F::AlignBottom)
        turned |= F::AlignLeft;
    if (flags & F::AlignTop)
        turned |= F::AlignRight;
    if (flags & F::AlignLeft)
        turned |= F::AlignTop;
    if (flags & F::AlignRight)
        turned |= F::AlignBottom;
    return turned;
}

void BackgroundDrawingCanvas::drawText(const char* text, const GP::Rect& rect, const UIA::Font& font,
                                       std::uint32_t colour, unsigned flags, bool vertical)
{
    if (!text)
        return;
    font.setScale(mScale);
    const GP::Rect r = scaled(rect);
    if (!vertical) {
        font.drawText(*mBuffer, r, text, colour, flags, 0);
        return;
    }
    drawVerticalText(text, r, font, colour, flags);
}

void BackgroundDrawingCanvas::drawVerticalText(const char* text, const GP::Rect& r, const UIA::Font& font,
                                               std::uint32_t colour, unsigned flags)
{
    if (r.isEmpty())
        return;
    UIA::Picture& buffer = *mBuffer;
    const std::uint32_t* pixels = buffer.getPixels();
    if (!pixels)
        return;
    // The scratch is the rectangle turned a quarter to the right: scratch (x, y) lies over
    // buffer (left + y, bottom - 1 - x), in drawing coordinates.
    const int turnedWidth = r.height();
    const int turnedHeight = r.width();
    if (!mScratch->setSize(turnedWidth, turnedHeight, UIA::Picture::eBlock::KeepLarger))
        return;
    std::uint32_t* scratch = mScratch->getPixels();
    const int bufferWidth = buffer.getWidth();
    const int bufferHeight = buffer.getHeight();
    const std::int64_t ox = buffer.getOriginX();
    const std::int64_t oy = buffer.getOriginY();
    // Pixels outside the buffer read as transparent.
    for (int y = 0; y < turnedHeight; ++y) {
        for (int x = 0; x < turnedWidth; ++x) {
            const std::int64_t bx = ox + r.left + y;
            const std::int64_t by = oy + r.bottom - 1 - x;
            const bool inside = bx >= 0 && by >= 0 && bx < bufferWidth && by < bufferHeight;
            scratch[std::int64_t(y) * turnedWidth + x] = inside ? pixels[by * bufferWidth + bx] : 0u;
        }
    }
    font.drawText(*mScratch, GP::Rect{0, 0, turnedWidth, turnedHeight}, text, colour, turnAlignment(flags), 0);
    // Back to the buffer, inside its drawing bounds only.
    for (int y = 0; y < turnedHeight; ++y)
        for (int x = 0; x < turnedWidth; ++x)
            buffer.blendPixelClipped(r.left + y, r.bottom - 1 - x, scratch[std::int64_t(y) * turnedWidth + x]);
}

}  // namespace HA::HWL
