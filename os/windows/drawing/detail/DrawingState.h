#pragma once
// Private to os/windows: the drawing objects (device contexts, bitmaps, brushes) shared by
// Drawing.cpp and DrawingCopies.cpp. Everything here is guarded by the kernel lock, like
// the windows it draws into.

#include <cstdint>
#include <map>
#include <memory>

#include "os/windows/drawing/Drawing.h"

namespace HA::OS::DETAIL {

struct Bitmap {
    int width = 0;
    int height = 0;
    bool bottomUp = false;
    bool stock = false;
    bool section = false;
    bool alphaMask = false;  // a section whose header has masks, alpha among them
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

DrawingObjects& objects();
// The context of a handle, or null with ERROR_INVALID_HANDLE.
Context* contextLocked(HDC hdc);

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

RECT intersect(const RECT& a, const RECT& b);
bool isEmpty(const RECT& r);
// A rectangle from a corner and a size that may not fit 32 bits, limited to `bounds`.
RECT spanWithin(std::int64_t x, std::int64_t y, std::int64_t width, std::int64_t height, const RECT& bounds);
// The target of a context; false when it draws nowhere (the screen, a gone window).
bool targetLocked(const Context& c, Target& t);

// A 32-bit uncompressed DIB as the copies take it.
struct Dib {
    int width = 0;
    int height = 0;  // rows, positive
    bool topDown = false;
    bool alphaMask = false;
};

bool readDib(const BITMAPINFO* info, UINT usage, Dib& dib);

// One pixel into the target; a window surface keeps alpha 255.
inline void store(const Target& t, int x, int y, std::uint32_t value)
{
    t.row(y)[x] = t.screen ? (value | 0xFF000000u) : value;
}

}  // namespace HA::OS::DETAIL
