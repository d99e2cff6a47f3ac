#include "os/windows/drawing/Drawing.h"

#include <gtest/gtest.h>

#include <cstring>

#include "os/tests/WindowTestSupport.h"
#include "os/windows/timers/MessagePump.h"

using namespace HA::OS;
using HA::OS::Testing::WindowTest;

namespace {

// A pixel that names its position: x in the green and red bytes, y in the blue byte.
std::uint32_t coded(int x, int y) { return 0xFF000000u | std::uint32_t(x) << 8 | std::uint32_t(y & 0xFF); }

BITMAPINFO dibInfo(int width, int height)
{
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    return info;
}

// Rows top first, coded by their picture position.
std::vector<std::uint32_t> codedRows(int width, int height)
{
    std::vector<std::uint32_t> bits(size_t(width) * size_t(height));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            bits[size_t(y) * width + x] = coded(x, y);
    return bits;
}

class Drawing : public WindowTest {
protected:
    void TearDown() override
    {
        WindowTest::TearDown();
        DrawingObjectCounts now = countDrawingObjects();
        EXPECT_EQ(now.contexts, mBefore.contexts);
        EXPECT_EQ(now.bitmaps, mBefore.bitmaps);
        EXPECT_EQ(now.brushes, mBefore.brushes);
    }

    // A visible pop-up whose client area is width x height, painted through `paint`.
    HWND paintedWindow(int width, int height, std::function<void(HDC, const PAINTSTRUCT&)> paint)
    {
        return create(WS_POPUP | WS_VISIBLE, nullptr,
                      [paint](HWND h, UINT m, WPARAM, LPARAM) -> std::optional<LRESULT> {
                          if (m != WM_PAINT)
                              return std::nullopt;
                          PAINTSTRUCT ps;
                          HDC hdc = beginPaint(h, ps);
                          paint(hdc, ps);
                          endPaint(h, ps);
                          return 0;
                      },
                      u"paint", 0, RECT{0, 0, width, height});
    }

    DrawingObjectCounts mBefore = countDrawingObjects();
};

TEST_F(Drawing, OneToOneCopyTakesTheSourceOriginAtTheLowerLeft)
{
    const int W = 12, H = 9;
    auto topDown = codedRows(W, H);
    std::vector<std::uint32_t> bottomUp(topDown.size());
    for (int y = 0; y < H; ++y)
        std::copy_n(topDown.begin() + (H - 1 - y) * W, W, bottomUp.begin() + y * W);
    struct Case {
        const char* name;
        RECT paint;
    };
    const Case cases[] = {
        {"whole", {0, 0, W, H}}, {"top", {0, 0, W, 3}}, {"middle", {2, 3, 7, 6}}, {"bottom", {4, 6, W, H}},
    };
    for (bool down : {true, false}) {
        for (const Case& c : cases) {
            BITMAPINFO info = dibInfo(W, down ? -H : H);
            const auto& bits = down ? topDown : bottomUp;
            bool armed = false;  // the first paint, of the whole window, copies nothing
            HWND hwnd = paintedWindow(W, H, [&](HDC hdc, const PAINTSTRUCT& ps) {
                if (!armed)
                    return;
                const RECT& r = ps.rcPaint;
                EXPECT_EQ(setDIBitsToDevice(hdc, r.left, r.top, r.right - r.left, r.bottom - r.top, r.left,
                                            H - r.bottom, 0, H, bits.data(), &info, DIB_RGB_COLORS),
                          H);
            });
            ASSERT_TRUE(hwnd);
            pumpMessages();
            armed = true;
            ASSERT_TRUE(invalidateRect(hwnd, &c.paint, false));
            ASSERT_TRUE(updateWindow(hwnd));
            WindowPixels px;
            ASSERT_TRUE(readWindowPixels(hwnd, px));
            ASSERT_EQ(px.width, W);
            ASSERT_EQ(px.height, H);
            for (int y = 0; y < H; ++y)
                for (int x = 0; x < W; ++x) {
                    bool inside = x >= c.paint.left && x < c.paint.right && y >= c.paint.top && y < c.paint.bottom;
                    ASSERT_EQ(px.at(x, y), inside ? coded(x, y) : 0u) << c.name << (down ? " top-down" : " bottom-up") << " at "
                                                                   << x << "," << y;
                }
            destroyWindow(hwnd);
        }
    }
}

TEST_F(Drawing, CopiesLeaveOutWhatLiesOutsideTheSource)
{
    const int W = 6, H = 4;
    auto bits = codedRows(W, H);
    BITMAPINFO info = dibInfo(W, -H);
    HDC mem = createCompatibleDC(nullptr);
    void* sectionBits = nullptr;
    BITMAPINFO sectionInfo = dibInfo(10, -10);
    HBITMAP section = createDIBSection(mem, &sectionInfo, DIB_RGB_COLORS, &sectionBits, nullptr, 0);
    ASSERT_TRUE(section && sectionBits);
    HGDIOBJ old = selectObject(mem, section);
    // An 8 x 6 source rectangle whose lower-left corner is (-2, -1): only the DIB's own
    // pixels arrive.
    setDIBitsToDevice(mem, 0, 0, 8, 6, -2, -1, 0, H, bits.data(), &info, DIB_RGB_COLORS);
    const auto* px = static_cast<const std::uint32_t*>(sectionBits);
    int copied = 0;
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 10; ++x) {
            // Destination row y takes the bottom-based source row -1 + (5 - y).
            int sx = x - 2, bottomRow = -1 + (6 - 1 - y), sy = H - 1 - bottomRow;
            bool inside = x < 8 && y < 6 && sx >= 0 && sx < W && bottomRow >= 0 && bottomRow < H;
            copied += inside;
            ASSERT_EQ(px[y * 10 + x], inside ? coded(sx, sy) : 0u) << x << "," << y;
        }
    EXPECT_EQ(copied, W * H);
    selectObject(mem, old);
    EXPECT_TRUE(deleteObject(section));
    EXPECT_TRUE(deleteDC(mem));
}

TEST_F(Drawing, SectionsTakeMasksOnlyOfTheOneLayoutAndShowTheirRowsTopFirst)
{
    auto masked = [](int height, DWORD red, DWORD alpha, DWORD size) {
        BITMAPV5HEADER h{};
        h.bV5Size = size;
        h.bV5Width = 3;
        h.bV5Height = height;
        h.bV5Planes = 1;
        h.bV5BitCount = 32;
        h.bV5Compression = BI_BITFIELDS;
        h.bV5RedMask = red;
        h.bV5GreenMask = 0xFF00;
        h.bV5BlueMask = 0xFF;
        h.bV5AlphaMask = alpha;
        return h;
    };
    struct Case {
        const char* name;
        BITMAPV5HEADER header;
        bool made;
        bool alphaMask;
    };
    const BITMAPINFO uncompressed = dibInfo(3, -2);
    BITMAPV5HEADER plain{};
    std::memcpy(&plain, &uncompressed.bmiHeader, sizeof(BITMAPINFOHEADER));
    const Case cases[] = {
        {"uncompressed", plain, true, false},
        {"the layout's masks, top-down", masked(-2, 0xFF0000, 0xFF000000u, sizeof(BITMAPV5HEADER)), true, true},
        {"the layout's masks, bottom-up", masked(2, 0xFF0000, 0xFF000000u, sizeof(BITMAPV5HEADER)), true, true},
        {"red and blue swapped", masked(-2, 0xFF, 0xFF000000u, sizeof(BITMAPV5HEADER)), false, false},
        {"no alpha mask", masked(-2, 0xFF0000, 0, sizeof(BITMAPV5HEADER)), false, false},
        {"masks after a short header", masked(-2, 0xFF0000, 0xFF000000u, sizeof(BITMAPINFOHEADER)), false, false},
    };
    for (const Case& c : cases) {
        void* bits = nullptr;
        HBITMAP section = createDIBSection(nullptr, reinterpret_cast<const BITMAPINFO*>(&c.header), DIB_RGB_COLORS,
                                           &bits, nullptr, 0);
        ASSERT_EQ(section != nullptr, c.made) << c.name;
        if (!section) {
            EXPECT_EQ(getLastError(), ERROR_INVALID_PARAMETER) << c.name;
            continue;
        }
        // Memory rows are top first for a negative height, bottom first otherwise.
        const std::vector<std::uint32_t> rows = codedRows(3, 2);
        const bool topDown = c.header.bV5Height < 0;
        for (int y = 0; y < 2; ++y)
            std::memcpy(static_cast<std::uint32_t*>(bits) + 3 * (topDown ? y : 1 - y), rows.data() + 3 * y, 12);
        BitmapPixels read;
        ASSERT_TRUE(readBitmapPixels(section, read)) << c.name;
        EXPECT_TRUE(read.section) << c.name;
        EXPECT_EQ(read.alphaMask, c.alphaMask) << c.name;
        EXPECT_EQ(read.width, 3) << c.name;
        EXPECT_EQ(read.height, 2) << c.name;
        EXPECT_EQ(read.pixels, rows) << c.name;
        EXPECT_TRUE(deleteObject(section));
    }
    HDC mem = createCompatibleDC(nullptr);
    HBITMAP compatible = createCompatibleBitmap(mem, 2, 1);
    BitmapPixels read;
    ASSERT_TRUE(readBitmapPixels(compatible, read));
    EXPECT_FALSE(read.section);
    EXPECT_FALSE(read.alphaMask);
    EXPECT_EQ(read.pixels, (std::vector<std::uint32_t>{0, 0}));
    EXPECT_TRUE(deleteObject(compatible));
    EXPECT_TRUE(deleteDC(mem));
    EXPECT_FALSE(readBitmapPixels(compatible, read));
    EXPECT_EQ(read.width, 0);
}

TEST_F(Drawing, ObjectsSelectedSomewhereCannotBeDeletedOrSelectedTwice)
{
    HDC a = createCompatibleDC(nullptr);
    HDC b = createCompatibleDC(nullptr);
    HBITMAP bitmap = createCompatibleBitmap(a, 4, 4);
    HGDIOBJ stock = selectObject(a, bitmap);
    ASSERT_TRUE(stock);
    EXPECT_EQ(selectObject(b, bitmap), nullptr);
    EXPECT_FALSE(deleteObject(bitmap));
    EXPECT_FALSE(deleteObject(stock));
    EXPECT_EQ(selectObject(a, stock), bitmap);
    EXPECT_TRUE(deleteObject(bitmap));
    HDC screen = getDC(nullptr);
    EXPECT_FALSE(deleteDC(screen));
    EXPECT_EQ(releaseDC(nullptr, screen), 1);
    EXPECT_TRUE(deleteDC(a));
    EXPECT_TRUE(deleteDC(b));
    EXPECT_FALSE(deleteDC(a));
    EXPECT_EQ(getLastError(), ERROR_INVALID_HANDLE);
}

TEST_F(Drawing, PaintContextsClipToThePaintRectangleAndFillWithTheBrush)
{
    RECT box{};
    int kind = 0, paints = 0;
    HBRUSH brush = createSolidBrush(rgbColour(0x10, 0x20, 0x30));
    HWND hwnd = paintedWindow(8, 6, [&](HDC hdc, const PAINTSTRUCT&) {
        kind = getClipBox(hdc, box);
        if (paints++)
            fillRect(hdc, RECT{-5, -5, 50, 50}, brush);
    });
    pumpMessages();
    RECT part{2, 1, 5, 4};
    invalidateRect(hwnd, &part, false);
    updateWindow(hwnd);
    EXPECT_EQ(paints, 2);
    EXPECT_EQ(kind, SIMPLEREGION);
    EXPECT_EQ(box, part);
    WindowPixels px;
    ASSERT_TRUE(readWindowPixels(hwnd, px));
    EXPECT_FALSE(px.layered);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 8; ++x) {
            bool inside = x >= 2 && x < 5 && y >= 1 && y < 4;
            EXPECT_EQ(px.at(x, y), inside ? 0xFF102030u : 0u) << x << "," << y;
        }
    destroyWindow(hwnd);
    EXPECT_TRUE(deleteObject(brush));
}

TEST_F(Drawing, HalftoneStretchAveragesAndOtherModesTakeTheNearestPixel)
{
    // A 4 x 2 source of two grey levels per 2 x 2 block, halved to 2 x 1.
    std::vector<std::uint32_t> bits = {0xFF000000, 0xFF040404, 0xFF080808, 0xFF0C0C0C,
                                       0xFF101010, 0xFF141414, 0xFF181818, 0xFF1C1C1C};
    BITMAPINFO info = dibInfo(4, -2);
    BITMAPINFO sectionInfo = dibInfo(2, -1);
    struct Case {
        int mode;
        std::uint32_t left, right;
    };
    const Case cases[] = {
        {HALFTONE, 0xFF0A0A0A, 0xFF121212},
        {COLORONCOLOR, 0xFF000000, 0xFF080808},
    };
    for (const Case& c : cases) {
        HDC mem = createCompatibleDC(nullptr);
        void* out = nullptr;
        HBITMAP section = createDIBSection(mem, &sectionInfo, DIB_RGB_COLORS, &out, nullptr, 0);
        HGDIOBJ old = selectObject(mem, section);
        EXPECT_EQ(setStretchBltMode(mem, c.mode), BLACKONWHITE);
        EXPECT_EQ(stretchDIBits(mem, 0, 0, 2, 1, 0, 0, 4, 2, bits.data(), &info, DIB_RGB_COLORS, SRCCOPY), 2);
        const auto* px = static_cast<const std::uint32_t*>(out);
        EXPECT_EQ(px[0], c.left) << c.mode;
        EXPECT_EQ(px[1], c.right) << c.mode;
        selectObject(mem, old);
        deleteObject(section);
        deleteDC(mem);
    }
}

TEST_F(Drawing, LayeredUpdatesReplaceWhatTheWindowShows)
{
    HWND hwnd = create(WS_POPUP | WS_VISIBLE, nullptr, {}, u"layered", WS_EX_LAYERED, RECT{5, 5, 9, 8});
    HWND plain = create(WS_POPUP | WS_VISIBLE, nullptr, {}, u"plain");
    ASSERT_TRUE(hwnd && plain);
    BITMAPINFO info = dibInfo(3, 2);  // bottom-up
    HDC mem = createCompatibleDC(nullptr);
    void* bits = nullptr;
    HBITMAP section = createDIBSection(mem, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    auto* px = static_cast<std::uint32_t*>(bits);
    for (int i = 0; i < 6; ++i)
        px[i] = 0x80000000u | std::uint32_t(i);  // bottom row first
    HGDIOBJ old = selectObject(mem, section);
    POINT at{20, 30}, origin{0, 0};
    SIZE size{3, 2};
    BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    EXPECT_FALSE(updateLayeredWindow(plain, nullptr, &at, &size, mem, &origin, 0, &blend, ULW_ALPHA));
    EXPECT_EQ(getLastError(), ERROR_INVALID_PARAMETER);
    ASSERT_TRUE(updateLayeredWindow(hwnd, nullptr, &at, &size, mem, &origin, 0, &blend, ULW_ALPHA));
    RECT r;
    getWindowRect(hwnd, r);
    EXPECT_EQ(r, (RECT{20, 30, 23, 32}));
    WindowPixels shown;
    ASSERT_TRUE(readWindowPixels(hwnd, shown));
    EXPECT_TRUE(shown.layered);
    ASSERT_EQ(shown.width, 3);
    ASSERT_EQ(shown.height, 2);
    EXPECT_EQ(shown.pixels, (std::vector<std::uint32_t>{0x80000003, 0x80000004, 0x80000005, 0x80000000,
                                                        0x80000001, 0x80000002}));
    selectObject(mem, old);
    deleteObject(section);
    deleteDC(mem);
}

TEST_F(Drawing, AResizeKeepsTheOverlapOfWhatWasPainted)
{
    HBRUSH brush = createSolidBrush(rgbColour(0xFF, 0, 0));
    HWND hwnd = create(WS_POPUP | WS_VISIBLE, nullptr, {}, u"resize", 0, RECT{0, 0, 4, 4});
    HDC hdc = getDC(hwnd);
    fillRect(hdc, RECT{0, 0, 4, 4}, brush);
    releaseDC(hwnd, hdc);
    struct Step {
        int width, height;
        int red;  // pixels still red
    };
    const Step steps[] = {{6, 3, 12}, {2, 5, 6}, {4, 4, 6}};
    for (const Step& s : steps) {
        ASSERT_TRUE(setWindowPos(hwnd, nullptr, 0, 0, s.width, s.height, SWP_NOMOVE | SWP_NOZORDER));
        WindowPixels px;
        readWindowPixels(hwnd, px);
        ASSERT_EQ(px.width, s.width);
        ASSERT_EQ(px.height, s.height);
        EXPECT_EQ(std::count(px.pixels.begin(), px.pixels.end(), 0xFFFF0000u), s.red) << s.width << "x" << s.height;
    }
    destroyWindow(hwnd);
    deleteObject(brush);
}

}  // namespace

namespace {

TEST_F(Drawing, ExtremeCoordinatesDrawNothingAndFailNothing)
{
    std::vector<std::uint32_t> bits(16, 0xFF010203u);
    BITMAPINFO info = dibInfo(4, -4);
    HDC mem = createCompatibleDC(nullptr);
    void* out = nullptr;
    BITMAPINFO sectionInfo = dibInfo(8, -8);
    HBITMAP section = createDIBSection(mem, &sectionInfo, DIB_RGB_COLORS, &out, nullptr, 0);
    HGDIOBJ old = selectObject(mem, section);
    const int big = 0x7FFFFFF0, small = -0x7FFFFFF0;
    setDIBitsToDevice(mem, small, small, 0x7FFFFFFF, 0x7FFFFFFF, big, big, 0, 4, bits.data(), &info, DIB_RGB_COLORS);
    setDIBitsToDevice(mem, big, big, 100, 100, small, small, 0, 4, bits.data(), &info, DIB_RGB_COLORS);
    setStretchBltMode(mem, HALFTONE);
    EXPECT_EQ(stretchDIBits(mem, 0, 0, 8, 8, big, big, 100, 100, bits.data(), &info, DIB_RGB_COLORS, SRCCOPY), 0);
    stretchDIBits(mem, small, small, 0x7FFFFFFF, 0x7FFFFFFF, 0, 0, 4, 4, bits.data(), &info, DIB_RGB_COLORS, SRCCOPY);
    stretchDIBits(mem, 0, 0, 8, 8, -0x40000000, -0x40000000, 0x40000000, 0x40000000, bits.data(), &info,
                  DIB_RGB_COLORS, SRCCOPY);
    selectObject(mem, old);
    deleteObject(section);
    deleteDC(mem);
}

}  // namespace
