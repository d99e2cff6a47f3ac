#include "os/windows/drawing/Drawing.h"

#include <algorithm>
#include <cstring>

#include "os/kernel/Kernel.h"
#include "os/windows/DisplayHooks.h"
#include "os/windows/drawing/detail/DrawingState.h"
#include "os/windows/detail/WindowState.h"

namespace HA::OS {

using namespace DETAIL;

namespace {

// Source pixels by the platform's DIB coordinates: rows counted from the bottom.
struct DibSource {
    const std::uint32_t* bits;
    Dib dib;
    int firstRow;  // bottom-based rows held by the bits
    int rowCount;

    bool has(int x, int bottomRow) const
    {
        return x >= 0 && x < dib.width && bottomRow >= firstRow && bottomRow < firstRow + rowCount &&
               bottomRow < dib.height;
    }
    const std::uint32_t& at(int x, int bottomRow) const
    {
        // Bottom-up bits start with the lowest row they hold; top-down bits with the highest.
        int index = dib.topDown ? (firstRow + rowCount - 1 - bottomRow) : (bottomRow - firstRow);
        return bits[static_cast<size_t>(index) * static_cast<size_t>(dib.width) + static_cast<size_t>(x)];
    }
};

}  // namespace

int setDIBitsToDevice(HDC hdc, int xDest, int yDest, DWORD width, DWORD height, int xSrc, int ySrc, UINT startScan,
                      UINT lines, const void* bits, const BITMAPINFO* info, UINT usage)
{
    Dib dib;
    if (!bits || !readDib(info, usage, dib) || width > 0x7FFFFFFF || height > 0x7FFFFFFF ||
        startScan > static_cast<UINT>(dib.height)) {
        setLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    lines = std::min<UINT>(lines, static_cast<UINT>(dib.height) - startScan);
    auto lock = kernelLock();
    Context* c = contextLocked(hdc);
    if (!c)
        return 0;
    Target t;
    if (!targetLocked(*c, t))
        return static_cast<int>(lines);
    DibSource src{static_cast<const std::uint32_t*>(bits), dib, static_cast<int>(startScan), static_cast<int>(lines)};
    const int w = static_cast<int>(width), h = static_cast<int>(height);
    const RECT dest = spanWithin(xDest, yDest, w, h, t.clip);
    // Columns whose source lies inside the DIB, the same for every row.
    const std::int64_t shift = std::int64_t(xDest) - xSrc;
    const int left = static_cast<int>(std::max<std::int64_t>(dest.left, shift));
    const int right = static_cast<int>(std::min<std::int64_t>(dest.right, shift + dib.width));
    for (int y = dest.top; y < dest.bottom && left < right; ++y) {
        // The destination's top row takes the source rectangle's top row: ySrc + h - 1.
        const std::int64_t row = std::int64_t(ySrc) + (std::int64_t(h) - 1 - (std::int64_t(y) - yDest));
        const int column = static_cast<int>(left - shift);
        if (row < INT32_MIN || row > INT32_MAX || !src.has(column, static_cast<int>(row)))
            continue;
        const std::uint32_t* from = &src.at(column, static_cast<int>(row));
        std::uint32_t* to = t.row(y) + left;
        if (t.screen)
            for (int i = 0; i < right - left; ++i)
                to[i] = from[i] | 0xFF000000u;
        else
            std::memcpy(to, from, size_t(right - left) * sizeof(std::uint32_t));
    }
    if (t.screen && left < right && dest.top < dest.bottom)
        notePixelsChanged(c->hwnd, RECT{left, dest.top, right, dest.bottom});
    return static_cast<int>(lines);
}

int stretchDIBits(HDC hdc, int xDest, int yDest, int destWidth, int destHeight, int xSrc, int ySrc, int srcWidth,
                  int srcHeight, const void* bits, const BITMAPINFO* info, UINT usage, DWORD rop)
{
    Dib dib;
    if (!bits || !readDib(info, usage, dib) || rop != SRCCOPY || destWidth <= 0 || destHeight <= 0 ||
        srcWidth <= 0 || srcHeight <= 0 || std::int64_t(xSrc) + srcWidth > INT32_MAX ||
        std::int64_t(ySrc) + srcHeight > INT32_MAX || std::int64_t(ySrc) + srcHeight - dib.height < INT32_MIN) {
        setLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    auto lock = kernelLock();
    Context* c = contextLocked(hdc);
    if (!c)
        return 0;
    Target t;
    if (!targetLocked(*c, t))
        return srcHeight;
    DibSource src{static_cast<const std::uint32_t*>(bits), dib, 0, dib.height};
    const bool halftone = c->stretchMode == HALFTONE;
    const RECT dest = spanWithin(xDest, yDest, destWidth, destHeight, t.clip);
    // Source rows of the destination's row j, counted from the source rectangle's top.
    auto span = [](std::int64_t d, int destSize, int srcSize, int& first, int& end) {
        first = static_cast<int>(d * srcSize / destSize);
        end = static_cast<int>((d + 1) * srcSize / destSize);
        if (end <= first)
            end = first + 1;
    };
    for (int y = dest.top; y < dest.bottom; ++y) {
        int r0, r1;
        span(std::int64_t(y) - yDest, destHeight, srcHeight, r0, r1);
        const int nearestRow = ySrc + srcHeight - 1 - (r0 + r1 - 1) / 2;
        // Only rows and columns inside the DIB count.
        r0 = std::max(r0, ySrc + srcHeight - dib.height);
        r1 = std::min(r1, ySrc + srcHeight);
        for (int x = dest.left; x < dest.right; ++x) {
            int c0, c1;
            span(std::int64_t(x) - xDest, destWidth, srcWidth, c0, c1);
            if (!halftone) {
                int col = xSrc + (c0 + c1 - 1) / 2;
                if (src.has(col, nearestRow))
                    store(t, x, y, src.at(col, nearestRow));
                continue;
            }
            std::uint64_t sum[4] = {0, 0, 0, 0};
            std::uint64_t n = 0;
            const int firstCol = std::max(xSrc + c0, 0), endCol = std::min(xSrc + c1, dib.width);
            for (int r = r0; r < r1; ++r) {
                int row = ySrc + srcHeight - 1 - r;
                for (int col = firstCol; col < endCol; ++col) {
                    if (!src.has(col, row))
                        continue;
                    std::uint32_t p = src.at(col, row);
                    for (int k = 0; k < 4; ++k)
                        sum[k] += p >> (8 * k) & 0xFF;
                    ++n;
                }
            }
            if (!n)
                continue;
            std::uint32_t value = 0;
            for (int k = 0; k < 4; ++k)
                value |= static_cast<std::uint32_t>((sum[k] + n / 2) / n) << (8 * k);
            store(t, x, y, value);
        }
    }
    if (t.screen && dest.left < dest.right && dest.top < dest.bottom)
        notePixelsChanged(c->hwnd, dest);
    return srcHeight;
}

bool updateLayeredWindow(HWND hwnd, HDC, const POINT* dstPoint, const SIZE* size, HDC hdcSrc, const POINT* srcPoint,
                         COLORREF, const BLENDFUNCTION* blend, DWORD flags)
{
    RECT current{};
    {
        auto lock = kernelLock();
        auto w = windowOrFail(hwnd);
        if (!w || !checkWindowThread(*w, "updateLayeredWindow"))
            return false;
        if (!(w->exStyle & WS_EX_LAYERED) || (size && (size->cx < 0 || size->cy < 0))) {
            setLastError(ERROR_INVALID_PARAMETER);
            return false;
        }
        current = w->rect;
    }
    RECT target = current;
    if (dstPoint)
        target = RECT{dstPoint->x, dstPoint->y, dstPoint->x + (current.right - current.left),
                      dstPoint->y + (current.bottom - current.top)};
    if (size) {
        target.right = target.left + size->cx;
        target.bottom = target.top + size->cy;
    }
    if (target != current)
        setWindowPos(hwnd, nullptr, target.left, target.top, target.right - target.left, target.bottom - target.top,
                     SWP_NOZORDER | SWP_NOACTIVATE);

    auto lock = kernelLock();
    auto w = findWindowLocked(hwnd);
    if (!w)
        return false;
    int width = w->rect.right - w->rect.left, height = w->rect.bottom - w->rect.top;
    std::vector<std::uint32_t> pixels(static_cast<size_t>(width) * static_cast<size_t>(height), 0u);
    if (hdcSrc) {
        Context* c = contextLocked(hdcSrc);
        Target t;
        if (!c || !c->memory || !targetLocked(*c, t)) {
            setLastError(ERROR_INVALID_PARAMETER);
            return false;
        }
        POINT from = srcPoint ? *srcPoint : POINT{0, 0};
        bool keepAlpha = blend && (blend->AlphaFormat & AC_SRC_ALPHA) && (flags & ULW_ALPHA);
        for (int y = 0; y < height; ++y) {
            int sy = from.y + y;
            if (sy < 0 || sy >= t.height)
                continue;
            for (int x = 0; x < width; ++x) {
                int sx = from.x + x;
                if (sx < 0 || sx >= t.width)
                    continue;
                std::uint32_t p = t.row(sy)[sx];
                pixels[size_t(y) * size_t(width) + size_t(x)] = keepAlpha ? p : (p | 0xFF000000u);
            }
        }
    }
    w->layered = true;
    w->layeredPixels.swap(pixels);
    w->layeredWidth = width;
    w->layeredHeight = height;
    notePixelsChanged(hwnd, RECT{0, 0, width, height});
    return true;
}

bool readWindowPixels(HWND hwnd, WindowPixels& out)
{
    out = WindowPixels{};
    auto lock = kernelLock();
    auto w = windowOrFail(hwnd);
    if (!w)
        return false;
    if (w->layered) {
        out.width = w->layeredWidth;
        out.height = w->layeredHeight;
        out.layered = true;
        out.pixels = w->layeredPixels;
        return true;
    }
    fitSurfaceLocked(*w);
    out.width = w->surfaceWidth;
    out.height = w->surfaceHeight;
    out.pixels = w->surface;
    return true;
}

bool readBitmapPixels(HBITMAP bitmap, BitmapPixels& out)
{
    out = BitmapPixels{};
    auto lock = kernelLock();
    auto it = objects().bitmaps.find(bitmap);
    if (it == objects().bitmaps.end())
        return false;
    const Bitmap& b = it->second;
    out.width = b.width;
    out.height = b.height;
    out.section = b.section;
    out.alphaMask = b.alphaMask;
    out.pixels.resize(static_cast<size_t>(b.width) * static_cast<size_t>(b.height));
    for (int y = 0; y < b.height; ++y) {
        const int row = b.bottomUp ? b.height - 1 - y : y;
        std::memcpy(out.pixels.data() + static_cast<size_t>(y) * b.width, b.bits.get() + static_cast<size_t>(row) * b.width,
                    static_cast<size_t>(b.width) * sizeof(std::uint32_t));
    }
    return true;
}

}  // namespace HA::OS
