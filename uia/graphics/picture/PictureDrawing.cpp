// Pixel writes, lines, spans and rectangles of Picture.

#include <algorithm>
#include <cmath>
#include <utility>

#include "uia/graphics/picture/Coordinates.h"
#include "uia/graphics/picture/Picture.h"
#include "uia/graphics/picture/PixelRules.h"

namespace HA::UIA {

using DETAIL::clampCoordinate;
using DETAIL::writePixel;

namespace {

__extension__ typedef __int128 Int128;

bool contains(const GP::Rect& r, int64_t x, int64_t y)
{
    return x >= r.left && x < r.right && y >= r.top && y < r.bottom;
}

GP::Rect rectOf(int64_t x, int64_t y, int64_t width, int64_t height)
{
    return GP::Rect{clampCoordinate(x), clampCoordinate(y), clampCoordinate(x + width),
                clampCoordinate(y + height)};
}

Int128 floorDiv(Int128 a, Int128 b)  // b > 0
{
    Int128 q = a / b;
    if (a % b < 0)
        --q;
    return q;
}

Int128 ceilDiv(Int128 a, Int128 b)  // b > 0
{
    return -floorDiv(-a, b);
}

// The numbers of steps k (as [first, last)) for which start + step * k lies in [low, high).
std::pair<int64_t, int64_t> stepsInside(int64_t start, int64_t step, int64_t low, int64_t high)
{
    if (step > 0)
        return {low - start, high - start};
    return {start - high + 1, start - low + 1};
}

int64_t floorDiv64(int64_t a, int64_t b)  // b > 0
{
    int64_t q = a / b;
    if (a % b < 0)
        --q;
    return q;
}

}  // namespace

void Picture::writeRun(uint32_t* first, int64_t count, int64_t step, uint32_t colour)
{
    const uint32_t alpha = colour >> 24;
    if (alpha == 0)
        return;
    if (alpha == 255) {
        for (int64_t i = 0; i < count; ++i)
            first[i * step] = colour;
        return;
    }
    for (int64_t i = 0; i < count; ++i)
        writePixel(first[i * step], colour, mOpaqueDestination);
}

void Picture::blendPixel(int x, int y, uint32_t colour)
{
    if (mPixels && contains(getPictureBounds(), x, y))
        writePixel(*pixelAt(x, y), colour, mOpaqueDestination);
}

void Picture::blendPixelClipped(int x, int y, uint32_t colour)
{
    if (mPixels && contains(getDrawingBounds(), x, y))
        writePixel(*pixelAt(x, y), colour, mOpaqueDestination);
}

void Picture::drawLine(int x0, int y0, int x1, int y1, uint32_t colour)
{
    const GP::Rect bounds = getDrawingBounds();
    if (!mPixels || bounds.isEmpty())
        return;
    const int64_t start[2] = {x0, y0};
    const int64_t end[2] = {x1, y1};
    const int64_t lower[2] = {bounds.left, bounds.top};
    const int64_t upper[2] = {bounds.right, bounds.bottom};
    for (int axis = 0; axis < 2; ++axis) {
        const bool allBelow = start[axis] < lower[axis] && end[axis] < lower[axis];
        const bool allAbove = start[axis] >= upper[axis] && end[axis] >= upper[axis];
        if (allBelow || allAbove)
            return;
    }
    const int64_t dx2 = 2 * std::abs(end[0] - start[0]);
    const int64_t dy2 = 2 * std::abs(end[1] - start[1]);
    if (dx2 == 0 && dy2 == 0)
        return;
    const int major = dy2 < dx2 ? 0 : 1;
    const int minor = 1 - major;
    const int64_t major2 = major == 0 ? dx2 : dy2;
    const int64_t minor2 = major == 0 ? dy2 : dx2;
    const int64_t majorStep = end[major] > start[major] ? 1 : -1;
    const int64_t minorStep = end[minor] >= start[minor] ? 1 : -1;
    const int64_t error0 = minor2 - (major2 >> 1);

    // The walk runs from the given start to the given end, which is never written, and writes
    // only what lies inside the bounds: a line repainted one dirty rectangle at a time comes
    // out as the whole line drawn at once.
    const int64_t steps = std::abs(end[major] - start[major]);

    // Steps whose major coordinate lies inside the bounds.
    auto [first, last] = stepsInside(start[major], majorStep, lower[major], upper[major]);
    first = std::max<int64_t>(first, 0);
    last = std::min(last, steps);

    // Minor steps taken before step j: the walk's error stays in [minor2 - major2, minor2),
    // which gives floor((error0 + (j - 1) * minor2) / major2) + 1.
    auto minorStepsBefore = [&](int64_t j) -> int64_t {
        return static_cast<int64_t>(floorDiv(Int128(error0) + Int128(j - 1) * minor2, major2) + 1);
    };
    // Minor steps that put the minor coordinate inside the bounds.
    const auto [needLow, needHigh] = stepsInside(start[minor], minorStep, lower[minor], upper[minor]);
    if (needLow > 0) {
        // Skip far-away starts: the first step with needLow minor steps behind it.
        if (minor2 == 0)
            return;
        const Int128 j = 1 + ceilDiv(Int128(needLow - 1) * major2 - error0, minor2);
        if (j > last)
            return;
        first = std::max(first, static_cast<int64_t>(j));
    }
    if (first >= last)
        return;

    int64_t taken = minorStepsBefore(first);
    int64_t error = static_cast<int64_t>(Int128(error0) + Int128(first) * minor2 - Int128(taken) * major2);
    int64_t point[2];
    point[major] = start[major] + majorStep * first;
    point[minor] = start[minor] + minorStep * taken;
    for (int64_t j = first; j < last && taken < needHigh; ++j) {
        if (contains(bounds, point[0], point[1]))
            writePixel(*pixelAt(point[0], point[1]), colour, mOpaqueDestination);
        point[major] += majorStep;
        if (error >= 0) {
            point[minor] += minorStep;
            ++taken;
            error -= major2;
        }
        error += minor2;
    }
}

void Picture::drawAntialiasedLine(float x0, float y0, float x1, float y1, uint32_t colour)
{
    const GP::Rect bounds = getDrawingBounds();
    if (!mPixels || bounds.isEmpty())
        return;
    for (float v : {x0, y0, x1, y1})
        if (!(std::fabs(v) <= kMaxLineCoordinate))  // also refuses NaN
            return;
    if (mClipActive) {
        const int64_t tx0 = int64_t(x0), ty0 = int64_t(y0), tx1 = int64_t(x1), ty1 = int64_t(y1);
        const int64_t minX = std::min(tx0, tx1);
        const int64_t minY = std::min(ty0, ty1);
        const GP::Rect box = rectOf(minX, minY, std::abs(tx1 - tx0) + 1, std::abs(ty1 - ty0) + 1);
        if (GP::Rect::intersect(box, bounds).isEmpty())
            return;
    }
    const int64_t alpha = colour >> 24;
    const uint32_t rgb = colour & 0x00FFFFFFu;
    int64_t stepX = static_cast<int64_t>((double(x1) - x0) * alpha);
    int64_t stepY = static_cast<int64_t>((double(y1) - y0) * alpha);
    const bool steep = std::abs(stepX) < std::abs(stepY);
    // Major and minor coordinates of both ends.
    double s0 = steep ? y0 : x0, s1 = steep ? y1 : x1;
    double m0 = steep ? x0 : y0, m1 = steep ? x1 : y1;
    int64_t unit = steep ? stepY : stepX;
    int64_t minorStep = steep ? stepX : stepY;
    if (unit < 0) {
        std::swap(s0, s1);
        std::swap(m0, m1);
        unit = -unit;
        minorStep = -minorStep;
    }
    if (unit == 0)
        return;

    const int64_t majorLow = steep ? bounds.top : bounds.left;
    const int64_t majorHigh = steep ? bounds.bottom : bounds.right;
    // The two pixels across the minor position m (in units of `unit`), scaled by weight/unit.
    auto plot = [&](int64_t major, int64_t m, int64_t weight) {
        if (major < majorLow || major >= majorHigh)
            return;
        const int64_t q = floorDiv64(m, unit);
        const int64_t r = m - q * unit;
        const int64_t nearAlpha = alpha * (unit - r) / unit * weight / unit;
        const int64_t farAlpha = alpha * r / unit * weight / unit;
        const int64_t nx = steep ? q : major, ny = steep ? major : q;
        const int64_t fx = steep ? q + 1 : major, fy = steep ? major : q + 1;
        if (contains(bounds, nx, ny))
            writePixel(*pixelAt(nx, ny), rgb | uint32_t(nearAlpha) << 24, mOpaqueDestination);
        if (contains(bounds, fx, fy))
            writePixel(*pixelAt(fx, fy), rgb | uint32_t(farAlpha) << 24, mOpaqueDestination);
    };
    auto positiveMod = [&](int64_t v) { return v - floorDiv64(v, unit) * unit; };

    const int64_t p1 = static_cast<int64_t>(s0 + 0.5);
    const int64_t mFirst = static_cast<int64_t>((double(p1) - s0) * minorStep + double(unit) * m0);
    const int64_t gapFirst = positiveMod(static_cast<int64_t>(double(unit) * (s0 + 0.5)));
    plot(p1, mFirst, unit - gapFirst);

    const int64_t p2 = static_cast<int64_t>(s1 + 0.5);
    const int64_t mLast = static_cast<int64_t>((double(p2) - s1) * minorStep + double(unit) * m1);
    const int64_t gapLast = positiveMod(static_cast<int64_t>((s1 + 0.5) * double(unit)));
    plot(p2, mLast, gapLast);

    // Only the part of the middle that lies within the bounds' major range is walked.
    const int64_t from = std::max(p1 + 1, majorLow);
    const int64_t to = std::min(p2 - 1, majorHigh - 1);
    for (int64_t p = from; p <= to; ++p)
        plot(p, mFirst + (p - p1) * minorStep, unit);
}

void Picture::drawHorizontalLine(int x, int y, int length, uint32_t colour)
{
    if (!mPixels || length <= 0 || (colour >> 24) == 0)
        return;
    GP::Rect r = rectOf(x, y, length, 1);
    if (!clipToClipRect(r))
        return;
    writeRun(pixelAt(r.left, r.top), r.right - r.left, 1, colour);
}

void Picture::drawVerticalLine(int x, int y, int length, uint32_t colour)
{
    if (!mPixels || length <= 0 || (colour >> 24) == 0)
        return;
    GP::Rect r = rectOf(x, y, 1, length);
    if (!clipToClipRect(r))
        return;
    writeRun(pixelAt(r.left, r.top), r.bottom - r.top, mWidth, colour);
}

void Picture::drawFrameRect(int x, int y, int width, int height, uint32_t colour)
{
    if (!mPixels || width <= 0 || height <= 0 || (colour >> 24) == 0)
        return;
    const GP::Rect whole = rectOf(x, y, width, height);
    GP::Rect r = whole;
    if (!clipToClipRect(r))
        return;
    if (r == whole) {
        drawHorizontalLine(x, y, width, colour);
        if (height >= 2)
            drawHorizontalLine(x, y + height - 1, width, colour);
        if (height >= 3) {
            drawVerticalLine(x, y + 1, height - 2, colour);
            drawVerticalLine(x + width - 1, y + 1, height - 2, colour);
        }
        return;
    }
    const int32_t w = r.right - r.left;
    const int32_t h = r.bottom - r.top;
    const bool topSurvived = r.top == whole.top;
    const bool bottomSurvived = r.bottom == whole.bottom;
    int32_t sideTop = r.top;
    int32_t sideBottom = r.bottom;
    if (topSurvived) {
        writeRun(pixelAt(r.left, r.top), w, 1, colour);
        if (h < 2)
            return;
        ++sideTop;
    }
    if (bottomSurvived) {
        writeRun(pixelAt(r.left, r.bottom - 1), w, 1, colour);
        --sideBottom;
    }
    if (sideBottom <= sideTop)
        return;
    if (r.left == whole.left)
        writeRun(pixelAt(r.left, sideTop), sideBottom - sideTop, mWidth, colour);
    if (r.right == whole.right)
        writeRun(pixelAt(r.right - 1, sideTop), sideBottom - sideTop, mWidth, colour);
}

void Picture::fillRect(int x, int y, int width, int height, uint32_t colour)
{
    if (!mPixels || width <= 0 || height <= 0 || (colour >> 24) == 0)
        return;
    GP::Rect r = rectOf(x, y, width, height);
    if (!clipToClipRect(r))
        return;
    const int64_t w = r.right - r.left;
    if (w == mWidth) {
        writeRun(pixelAt(r.left, r.top), w * (r.bottom - r.top), 1, colour);
        return;
    }
    for (int64_t row = r.top; row < r.bottom; ++row)
        writeRun(pixelAt(r.left, row), w, 1, colour);
}

void Picture::invertRect(int x, int y, int width, int height)
{
    if (!mPixels || width <= 0 || height <= 0)
        return;
    GP::Rect r = rectOf(x, y, width, height);
    if (!clipToClipRect(r))
        return;
    for (int64_t row = r.top; row < r.bottom; ++row) {
        uint32_t* p = pixelAt(r.left, row);
        for (int64_t i = 0; i < r.right - r.left; ++i)
            p[i] ^= 0x00FFFFFFu;
    }
}

}  // namespace HA::UIA
