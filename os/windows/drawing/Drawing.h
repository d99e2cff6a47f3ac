#pragma once
// Device contexts, bitmaps, brushes and the copies that put pixels on windows, and the
// pixels each window shows.
//
// A window device context draws into the window's client surface: 32-bit pixels that the
// window keeps (alpha is always 255 there, as on a screen). A memory device context draws
// into the bitmap selected into it; it starts with a 1 x 1 stock bitmap. Device-independent
// sections are 32-bit, top-down (negative height) or bottom-up; their rows are exactly
// 4 x width bytes. Every drawing call clips to the context's clip box and to its target.
//
// All of this belongs to the thread that made the objects, like the windows; failures
// return null, false or 0 and set the thread's last error.

#include <cstdint>
#include <vector>

#include "os/windows/Message.h"
#include "os/windows/Window.h"

namespace HA::OS {

using HGDIOBJ = HANDLE;
using HBITMAP = HANDLE;
using COLORREF = DWORD;

constexpr COLORREF rgbColour(BYTE red, BYTE green, BYTE blue)
{
    return static_cast<COLORREF>(red) | static_cast<COLORREF>(green) << 8 | static_cast<COLORREF>(blue) << 16;
}

struct BITMAPINFOHEADER {
    DWORD biSize;
    LONG biWidth;
    LONG biHeight;  // negative: top-down rows
    WORD biPlanes;
    WORD biBitCount;
    DWORD biCompression;
    DWORD biSizeImage;
    LONG biXPelsPerMeter;
    LONG biYPelsPerMeter;
    DWORD biClrUsed;
    DWORD biClrImportant;
};
static_assert(sizeof(BITMAPINFOHEADER) == 40, "the bitmap-information header is 40 bytes");

struct RGBQUAD {
    BYTE rgbBlue;
    BYTE rgbGreen;
    BYTE rgbRed;
    BYTE rgbReserved;
};

struct BITMAPINFO {
    BITMAPINFOHEADER bmiHeader;
    RGBQUAD bmiColors[1];
};

// The header of a DIB with colour masks, read up to the alpha mask; the colour-space
// fields after it are taken and ignored.
struct BITMAPV5HEADER {
    DWORD bV5Size;
    LONG bV5Width;
    LONG bV5Height;  // negative: top-down rows
    WORD bV5Planes;
    WORD bV5BitCount;
    DWORD bV5Compression;
    DWORD bV5SizeImage;
    LONG bV5XPelsPerMeter;
    LONG bV5YPelsPerMeter;
    DWORD bV5ClrUsed;
    DWORD bV5ClrImportant;
    DWORD bV5RedMask;
    DWORD bV5GreenMask;
    DWORD bV5BlueMask;
    DWORD bV5AlphaMask;
    DWORD bV5CSType;
    LONG bV5Endpoints[9];
    DWORD bV5GammaRed;
    DWORD bV5GammaGreen;
    DWORD bV5GammaBlue;
    DWORD bV5Intent;
    DWORD bV5ProfileData;
    DWORD bV5ProfileSize;
    DWORD bV5Reserved;
};
static_assert(sizeof(BITMAPV5HEADER) == 124, "the fifth bitmap header is 124 bytes");

constexpr DWORD BI_RGB = 0;
constexpr DWORD BI_BITFIELDS = 3;
constexpr UINT DIB_RGB_COLORS = 0;
constexpr DWORD SRCCOPY = 0x00CC0020;

// Stretch modes.
constexpr int BLACKONWHITE = 1;
constexpr int COLORONCOLOR = 3;
constexpr int HALFTONE = 4;

// getClipBox results.
constexpr int REGION_ERROR = 0;
constexpr int NULLREGION = 1;
constexpr int SIMPLEREGION = 2;

// getSysColor indexes.
constexpr int COLOR_WINDOW = 5;

// What updateLayeredWindow blends with.
struct BLENDFUNCTION {
    BYTE BlendOp;
    BYTE BlendFlags;
    BYTE SourceConstantAlpha;
    BYTE AlphaFormat;
};
constexpr BYTE AC_SRC_OVER = 0x00;
constexpr BYTE AC_SRC_ALPHA = 0x01;
constexpr DWORD ULW_COLORKEY = 0x01;
constexpr DWORD ULW_ALPHA = 0x02;
constexpr DWORD ULW_OPAQUE = 0x04;

// The system colours of a light theme (0x00BBGGRR).
COLORREF getSysColor(int index);

// Device contexts. getDC(null) is the screen's; getDC(window) draws anywhere in the
// client area. createCompatibleDC makes a memory context (its argument may be null).
HDC getDC(HWND hwnd);
int releaseDC(HWND hwnd, HDC hdc);
HDC createCompatibleDC(HDC hdc);
// Only memory contexts; what is selected into it is released, not deleted.
bool deleteDC(HDC hdc);

// Selects a bitmap (memory contexts only) or a brush; returns the previous object of the
// same kind, null on failure (a bitmap selected elsewhere, a wrong kind of context).
HGDIOBJ selectObject(HDC hdc, HGDIOBJ object);
// False while the object is selected into a context, and for stock objects.
bool deleteObject(HGDIOBJ object);

// A 32-bit section, uncompressed or with the masks of that same layout (BI_BITFIELDS with a
// BITMAPV5HEADER: red 0xFF0000, green 0xFF00, blue 0xFF, alpha 0xFF000000); *bits receives
// its pixel memory (zeroed). Other formats fail with ERROR_INVALID_PARAMETER. `section` and
// `offset` must be null and 0.
HBITMAP createDIBSection(HDC hdc, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section, DWORD offset);
// A 32-bit bitmap in the screen's format, zeroed; its pixels are reached only by drawing.
HBITMAP createCompatibleBitmap(HDC hdc, int width, int height);
HBRUSH createSolidBrush(COLORREF colour);

// The rectangle drawing may reach, in the context's coordinates.
int getClipBox(HDC hdc, RECT& rect);
// Fills with the brush's colour; into a section the alpha byte becomes 0, as on the platform.
int fillRect(HDC hdc, const RECT& rect, HBRUSH brush);
// Returns the previous mode (BLACKONWHITE at first), 0 on failure.
int setStretchBltMode(HDC hdc, int mode);

// Copies a 32-bit DIB one to one. The source origin is the DIB's lower-left corner:
// (xSrc, ySrc) is the lower-left pixel of the source rectangle, counted from the bottom
// row, for top-down and bottom-up DIBs alike; the bits hold the scan lines startScan to
// startScan + lines - 1 (counted from the bottom). Parts of the rectangle outside the
// source are left out, like the platform's. Returns the number of scan lines given.
int setDIBitsToDevice(HDC hdc, int xDest, int yDest, DWORD width, DWORD height, int xSrc, int ySrc, UINT startScan,
                      UINT lines, const void* bits, const BITMAPINFO* info, UINT usage);
// Stretches a source rectangle (origin at the lower-left as above) onto a destination
// rectangle: HALFTONE averages the source pixels under each destination pixel, the other
// modes take the nearest one. Destination pixels whose source lies outside the DIB are left
// as they were. Only SRCCOPY and positive sizes; returns the number of scan lines copied.
int stretchDIBits(HDC hdc, int xDest, int yDest, int destWidth, int destHeight, int xSrc, int ySrc, int srcWidth,
                  int srcHeight, const void* bits, const BITMAPINFO* info, UINT usage, DWORD rop);

// Gives a window with WS_EX_LAYERED its picture: `size` pixels from `srcPoint` of the
// bitmap selected into `hdcSrc`, kept with their alpha (premultiplied colour, as the
// platform takes it) when the blend has AC_SRC_ALPHA and ULW_ALPHA, else opaque. A
// position or size different from the window's moves or sizes the window. The window's
// pixels are then that picture until the next layered update.
bool updateLayeredWindow(HWND hwnd, HDC hdcDst, const POINT* dstPoint, const SIZE* size, HDC hdcSrc,
                         const POINT* srcPoint, COLORREF key, const BLENDFUNCTION* blend, DWORD flags);

// The stand-in's: what a window shows, for tests and the presenter. 0xAARRGGBB words (bytes
// blue, green, red, alpha), rows top first. A window shows its client area as painted
// (pixels never painted are 0), or, once it had a layered update, the last layered picture
// over the whole window with its alpha. A resize keeps the overlapping pixels.
struct WindowPixels {
    int width = 0;
    int height = 0;
    bool layered = false;
    std::vector<std::uint32_t> pixels;

    std::uint32_t at(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};
// False (and an empty record) for an invalid window.
bool readWindowPixels(HWND hwnd, WindowPixels& out);

// The stand-in's: a bitmap's pixels as WindowPixels holds them, whether it is a section
// (else a compatible bitmap) and whether its header gave an alpha mask. False (and an
// empty record) for no bitmap.
struct BitmapPixels {
    int width = 0;
    int height = 0;
    bool section = false;
    bool alphaMask = false;
    std::vector<std::uint32_t> pixels;

    std::uint32_t at(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};
bool readBitmapPixels(HBITMAP bitmap, BitmapPixels& out);

// Live device contexts and drawing objects of the process (leak checks in tests).
struct DrawingObjectCounts {
    int contexts = 0;
    int bitmaps = 0;
    int brushes = 0;
};
DrawingObjectCounts countDrawingObjects();

}  // namespace HA::OS
