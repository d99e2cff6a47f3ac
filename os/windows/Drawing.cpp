#include "os/windows/Drawing.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <utility>

#include "os/kernel/Kernel.h"
#include "os/windows/detail/WindowState.h"

namespace HA::OS {

using namespace DETAIL;

namespace {

struct Bitmap {
    int width = 0;
    int height = 0;
    bool bottomUp = false;
    bool stock = false;
    std::unique_ptr<std::uint32_t[]> bits;
    HDC selectedInto = nullptr;
};

struct Brush {
    COLORREF colour = 0;
};

struct Context {
    bool memory = false;
    bool paint = false;
    HWND hwnd = nullptr;  // window contexts; null for the screen and memory contexts
    RECT clip{};          // window contexts: client coordinates
    HBITMAP bitmap = nullptr;
    HBRUSH brush = nullptr;
    int stretchMode = BLACKONWHITE;
};

// Everything here is guarded by the kernel lock, like the windows it draws into.
struct DrawingObjects {
    std::map<HANDLE, Context> contexts;
    std::map<HANDLE, Bitmap> bitmaps;
    std::map<HANDLE, Brush> brushes;
    std::uintptr_t next = 0x30010;
    HBITMAP stockBitmap = nullptr;

    HANDLE newHandle()
    {
        HANDLE h = reinterpret_cast<HANDLE>(next);
        next += 4;
        return h;
    }
};

DrawingObjects& objects()
{
    static DrawingObjects* d = [] {
        auto* o = new DrawingObjects;  // never destroyed: contexts may outlive static destruction
        o->stockBitmap = o->newHandle();
        Bitmap& stock = o->bitmaps[o->stockBitmap];
        stock.width = stock.height = 1;
        stock.stock = true;
        stock.bits.reset(new std::uint32_t[1]{0});
        return o;
    }();
    return *d;
}

Context* contextLocked(HDC hdc)
{
    auto& c = objects().contexts;
    auto it = c.find(hdc);
    if (it == c.end()) {
        setLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return &it->second;
}

// Where a context's drawing lands: rows of `width` words, clipped to `clip`.
struct Target {
    std::uint32_t* base = nullptr;
    int width = 0;
    int height = 0;
    bool bottomUp = false;
    bool screen = false;  // a window surface: alpha is always 255
    RECT clip{};

    std::uint32_t* row(int y) const
    {
        return base + static_cast<size_t>(bottomUp ? height - 1 - y : y) * static_cast<size_t>(width);
    }
};

RECT intersect(const RECT& a, const RECT& b)
{
    RECT r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
           std::min(a.bottom, b.bottom)};
    if (r.left >= r.right || r.top >= r.bottom)
        return RECT{};
    return r;
}

bool isEmpty(const RECT& r) { return r.left >= r.right || r.top >= r.bottom; }

// A rectangle from a corner and a size that may not fit 32 bits, limited to `bounds`.
RECT spanWithin(std::int64_t x, std::int64_t y, std::int64_t width, std::int64_t height, const RECT& bounds)
{
    auto limit = [](std::int64_t v, LONG low, LONG high) { return static_cast<LONG>(std::clamp<std::int64_t>(v, low, high)); };
    RECT r{limit(x, bounds.left, bounds.right), limit(y, bounds.top, bounds.bottom),
           limit(x + width, bounds.left, bounds.right), limit(y + height, bounds.top, bounds.bottom)};
    return isEmpty(r) ? RECT{} : r;
}

// The target of a context; false when it draws nowhere (the screen, a gone window).
bool targetLocked(const Context& c, Target& t)
{
    if (c.memory) {
        auto it = objects().bitmaps.find(c.bitmap);
        if (it == objects().bitmaps.end())
            return false;
        Bitmap& b = it->second;
        t = Target{b.bits.get(), b.width, b.height, b.bottomUp, false, RECT{0, 0, b.width, b.height}};
        return true;
    }
    if (!c.hwnd)
        return false;
    auto w = findWindowLocked(c.hwnd);
    if (!w)
        return false;
    fitSurfaceLocked(*w);
    t = Target{w->surface.data(), w->surfaceWidth, w->surfaceHeight, false, true,
               intersect(c.clip, RECT{0, 0, w->surfaceWidth, w->surfaceHeight})};
    return true;
}

// A 32-bit uncompressed DIB as the copies take it.
struct Dib {
    int width = 0;
    int height = 0;  // rows, positive
    bool topDown = false;
};

bool readDib(const BITMAPINFO* info, UINT usage, Dib& dib)
{
    if (!info || usage != DIB_RGB_COLORS)
        return false;
    const BITMAPINFOHEADER& h = info->bmiHeader;
    if (h.biSize < sizeof(BITMAPINFOHEADER) || h.biWidth <= 0 || h.biHeight == 0 || h.biPlanes != 1 ||
        h.biBitCount != 32 || h.biCompression != BI_RGB)
        return false;
    if (h.biHeight == INT32_MIN)
        return false;
    dib.width = h.biWidth;
    dib.height = h.biHeight < 0 ? -h.biHeight : h.biHeight;
    dib.topDown = h.biHeight < 0;
    if (static_cast<std::uint64_t>(dib.width) * static_cast<std::uint64_t>(dib.height) > (1u << 28))
        return false;
    return true;
}

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

void store(const Target& t, int x, int y, std::uint32_t value)
{
    t.row(y)[x] = t.screen ? (value | 0xFF000000u) : value;
}

}  // namespace

namespace DETAIL {

void fitSurfaceLocked(WindowRec& w)
{
    int width = std::max(0, static_cast<int>(w.client.right - w.client.left));
    int height = std::max(0, static_cast<int>(w.client.bottom - w.client.top));
    if (width == w.surfaceWidth && height == w.surfaceHeight && w.surface.size() == size_t(width) * size_t(height))
        return;
    std::vector<std::uint32_t> next(static_cast<size_t>(width) * static_cast<size_t>(height), 0u);
    int keepW = std::min(width, w.surfaceWidth), keepH = std::min(height, w.surfaceHeight);
    for (int y = 0; y < keepH; ++y)
        std::memcpy(next.data() + size_t(y) * size_t(width), w.surface.data() + size_t(y) * size_t(w.surfaceWidth),
                    size_t(keepW) * sizeof(std::uint32_t));
    w.surface.swap(next);
    w.surfaceWidth = width;
    w.surfaceHeight = height;
}

HDC makePaintContextLocked(HWND hwnd, const RECT& clip)
{
    DrawingObjects& d = objects();
    HDC h = d.newHandle();
    Context& c = d.contexts[h];
    c.hwnd = hwnd;
    c.paint = true;
    c.clip = clip;
    return h;
}

void dropPaintContextLocked(HDC hdc)
{
    auto& c = objects().contexts;
    auto it = c.find(hdc);
    if (it != c.end() && it->second.paint)
        c.erase(it);
}

}  // namespace DETAIL

COLORREF getSysColor(int index)
{
    switch (index) {
    case COLOR_WINDOW:
        return rgbColour(255, 255, 255);
    default:
        return rgbColour(240, 240, 240);
    }
}

HDC getDC(HWND hwnd)
{
    auto lock = kernelLock();
    RECT clip{};
    if (hwnd) {
        auto w = windowOrFail(hwnd);
        if (!w)
            return nullptr;
        clip = RECT{0, 0, w->client.right - w->client.left, w->client.bottom - w->client.top};
    }
    DrawingObjects& d = objects();
    HDC h = d.newHandle();
    Context& c = d.contexts[h];
    c.hwnd = hwnd;
    c.clip = clip;
    return h;
}

int releaseDC(HWND, HDC hdc)
{
    auto lock = kernelLock();
    auto& c = objects().contexts;
    auto it = c.find(hdc);
    if (it == c.end() || it->second.memory || it->second.paint)
        return 0;
    c.erase(it);
    return 1;
}

HDC createCompatibleDC(HDC hdc)
{
    auto lock = kernelLock();
    if (hdc && !contextLocked(hdc))
        return nullptr;
    DrawingObjects& d = objects();
    HDC h = d.newHandle();
    Context& c = d.contexts[h];
    c.memory = true;
    c.bitmap = d.stockBitmap;
    return h;
}

bool deleteDC(HDC hdc)
{
    auto lock = kernelLock();
    DrawingObjects& d = objects();
    Context* c = contextLocked(hdc);
    if (!c)
        return false;
    if (!c->memory) {
        setLastError(ERROR_INVALID_HANDLE);
        return false;
    }
    auto b = d.bitmaps.find(c->bitmap);
    if (b != d.bitmaps.end() && !b->second.stock)
        b->second.selectedInto = nullptr;
    d.contexts.erase(hdc);
    return true;
}

HGDIOBJ selectObject(HDC hdc, HGDIOBJ object)
{
    auto lock = kernelLock();
    DrawingObjects& d = objects();
    Context* c = contextLocked(hdc);
    if (!c)
        return nullptr;
    if (d.brushes.count(object)) {
        return std::exchange(c->brush, object);
    }
    auto b = d.bitmaps.find(object);
    if (b == d.bitmaps.end() || !c->memory || (!b->second.stock && b->second.selectedInto && b->second.selectedInto != hdc)) {
        setLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    HBITMAP previous = c->bitmap;
    auto p = d.bitmaps.find(previous);
    if (p != d.bitmaps.end() && !p->second.stock)
        p->second.selectedInto = nullptr;
    if (!b->second.stock)
        b->second.selectedInto = hdc;
    c->bitmap = object;
    return previous;
}

bool deleteObject(HGDIOBJ object)
{
    auto lock = kernelLock();
    DrawingObjects& d = objects();
    if (d.brushes.erase(object))
        return true;
    auto b = d.bitmaps.find(object);
    if (b == d.bitmaps.end() || b->second.stock || b->second.selectedInto) {
        setLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    d.bitmaps.erase(b);
    return true;
}

namespace {

HBITMAP makeBitmapLocked(int width, int height, bool bottomUp)
{
    DrawingObjects& d = objects();
    size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
    std::unique_ptr<std::uint32_t[]> bits(new (std::nothrow) std::uint32_t[count ? count : 1]());
    if (!bits) {
        setLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    HBITMAP h = d.newHandle();
    Bitmap& b = d.bitmaps[h];
    b.width = width;
    b.height = height;
    b.bottomUp = bottomUp;
    b.bits = std::move(bits);
    return h;
}

}  // namespace

HBITMAP createDIBSection(HDC hdc, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section, DWORD offset)
{
    Dib dib;
    if (!readDib(info, usage, dib) || section || offset) {
        setLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto lock = kernelLock();
    if (hdc && !contextLocked(hdc))
        return nullptr;
    HBITMAP h = makeBitmapLocked(dib.width, dib.height, !dib.topDown);
    if (h && bits)
        *bits = objects().bitmaps[h].bits.get();
    return h;
}

HBITMAP createCompatibleBitmap(HDC hdc, int width, int height)
{
    if (width <= 0 || height <= 0 || static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height) > (1u << 28)) {
        setLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto lock = kernelLock();
    if (!contextLocked(hdc))
        return nullptr;
    return makeBitmapLocked(width, height, false);
}

HBRUSH createSolidBrush(COLORREF colour)
{
    auto lock = kernelLock();
    DrawingObjects& d = objects();
    HBRUSH h = d.newHandle();
    d.brushes[h].colour = colour & 0x00FFFFFFu;
    return h;
}

int getClipBox(HDC hdc, RECT& rect)
{
    auto lock = kernelLock();
    rect = RECT{};
    Context* c = contextLocked(hdc);
    if (!c)
        return REGION_ERROR;
    Target t;
    if (c->memory) {
        if (!targetLocked(*c, t))
            return REGION_ERROR;
        rect = t.clip;
    } else if (c->hwnd) {
        if (!targetLocked(*c, t))
            return REGION_ERROR;
        rect = t.clip;
    } else {
        SIZE s = getScreenSize();
        rect = RECT{0, 0, s.cx, s.cy};
    }
    return isEmpty(rect) ? NULLREGION : SIMPLEREGION;
}

int fillRect(HDC hdc, const RECT& rect, HBRUSH brush)
{
    auto lock = kernelLock();
    DrawingObjects& d = objects();
    Context* c = contextLocked(hdc);
    auto b = d.brushes.find(brush);
    if (!c || b == d.brushes.end()) {
        setLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    Target t;
    if (!targetLocked(*c, t))
        return 1;
    COLORREF rgb = b->second.colour;
    std::uint32_t value = (rgb & 0xFF) << 16 | (rgb & 0xFF00) | (rgb >> 16 & 0xFF);
    RECT r = intersect(rect, t.clip);
    for (int y = r.top; y < r.bottom; ++y)
        for (int x = r.left; x < r.right; ++x)
            store(t, x, y, value);
    return 1;
}

int setStretchBltMode(HDC hdc, int mode)
{
    auto lock = kernelLock();
    Context* c = contextLocked(hdc);
    if (!c || mode < BLACKONWHITE || mode > HALFTONE) {
        setLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    return std::exchange(c->stretchMode, mode);
}

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

DrawingObjectCounts countDrawingObjects()
{
    auto lock = kernelLock();
    DrawingObjects& d = objects();
    return DrawingObjectCounts{static_cast<int>(d.contexts.size()), static_cast<int>(d.bitmaps.size()) - 1,
                               static_cast<int>(d.brushes.size())};
}

}  // namespace HA::OS
