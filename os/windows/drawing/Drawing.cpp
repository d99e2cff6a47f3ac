#include "os/windows/drawing/Drawing.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "os/kernel/Kernel.h"
#include "os/windows/DisplayHooks.h"
#include "os/windows/drawing/detail/DrawingState.h"
#include "os/windows/detail/WindowState.h"

namespace HA::OS {

using namespace DETAIL;

namespace DETAIL {

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

RECT intersect(const RECT& a, const RECT& b)
{
    RECT r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
           std::min(a.bottom, b.bottom)};
    if (r.left >= r.right || r.top >= r.bottom)
        return RECT{};
    return r;
}

bool isEmpty(const RECT& r) { return r.left >= r.right || r.top >= r.bottom; }

RECT spanWithin(std::int64_t x, std::int64_t y, std::int64_t width, std::int64_t height, const RECT& bounds)
{
    auto limit = [](std::int64_t v, LONG low, LONG high) { return static_cast<LONG>(std::clamp<std::int64_t>(v, low, high)); };
    RECT r{limit(x, bounds.left, bounds.right), limit(y, bounds.top, bounds.bottom),
           limit(x + width, bounds.left, bounds.right), limit(y + height, bounds.top, bounds.bottom)};
    return isEmpty(r) ? RECT{} : r;
}

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

bool readDib(const BITMAPINFO* info, UINT usage, Dib& dib)
{
    if (!info || usage != DIB_RGB_COLORS)
        return false;
    const BITMAPINFOHEADER& h = info->bmiHeader;
    if (h.biSize < sizeof(BITMAPINFOHEADER) || h.biWidth <= 0 || h.biHeight == 0 || h.biPlanes != 1 ||
        h.biBitCount != 32 || (h.biCompression != BI_RGB && h.biCompression != BI_BITFIELDS))
        return false;
    if (h.biCompression == BI_BITFIELDS) {
        // Only masks that describe the one layout every bitmap here has.
        if (h.biSize < sizeof(BITMAPV5HEADER))
            return false;
        const auto* v5 = reinterpret_cast<const BITMAPV5HEADER*>(info);
        if (v5->bV5RedMask != 0xFF0000u || v5->bV5GreenMask != 0xFF00u || v5->bV5BlueMask != 0xFFu ||
            v5->bV5AlphaMask != 0xFF000000u)
            return false;
        dib.alphaMask = true;
    }
    if (h.biHeight == INT32_MIN)
        return false;
    dib.width = h.biWidth;
    dib.height = h.biHeight < 0 ? -h.biHeight : h.biHeight;
    dib.topDown = h.biHeight < 0;
    if (static_cast<std::uint64_t>(dib.width) * static_cast<std::uint64_t>(dib.height) > (1u << 28))
        return false;
    return true;
}

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
    if (h) {
        objects().bitmaps[h].section = true;
        objects().bitmaps[h].alphaMask = dib.alphaMask;
    }
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
    if (t.screen && !isEmpty(r))
        notePixelsChanged(c->hwnd, r);
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

DrawingObjectCounts countDrawingObjects()
{
    auto lock = kernelLock();
    DrawingObjects& d = objects();
    return DrawingObjectCounts{static_cast<int>(d.contexts.size()), static_cast<int>(d.bitmaps.size()) - 1,
                               static_cast<int>(d.brushes.size())};
}

}  // namespace HA::OS
