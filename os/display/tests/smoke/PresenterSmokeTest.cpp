// The presenter on a real (virtual) X server: what the display shows is read back from the
// server and compared with the headless window, pixel for pixel.

#include <gtest/gtest.h>

#include <SDL.h>
#include <SDL_syswm.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <png.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "os/display/Presenter.h"
#include "os/kernel/Clock.h"
#include "os/kernel/Kernel.h"
#include "os/windows/Message.h"
#include "os/windows/MessagePump.h"
#include "os/windows/WindowTimer.h"
#if __has_include("os/windows/Drawing.h")
#include "os/windows/Drawing.h"
#define HA_SMOKE_HAS_PIXELS 1
#endif

using namespace HA::OS;

namespace {

constexpr int kWidth = 627;
constexpr int kHeight = 335;
const char16_t* const kClass = u"HAPresenterSmoke";
const char16_t* const kTitle = u"Vireo Updater \u2014 Gr\u00fc\u00dfe";
const char* const kTitleUtf8 = "Vireo Updater \xe2\x80\x94 Gr\xc3\xbc\xc3\x9f" "e";

// Every pixel tells where it is: red the low byte of x, green the low byte of y, blue the
// high bits of both.
std::uint32_t coded(int x, int y)
{
    return 0xFF000000u | std::uint32_t(x & 0xFF) << 16 | std::uint32_t(y & 0xFF) << 8 |
           std::uint32_t((x >> 8) << 4 | (y >> 8));
}

LRESULT paintCoded(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message != WM_PAINT)
        return defWindowProc(hwnd, message, wParam, lParam);
    PAINTSTRUCT ps{};
    HDC hdc = beginPaint(hwnd, ps);
#ifdef HA_SMOKE_HAS_PIXELS
    std::vector<std::uint32_t> picture(size_t(kWidth) * kHeight);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            picture[size_t(y) * kWidth + x] = coded(x, y);
    BITMAPINFO info{};
    info.bmiHeader = BITMAPINFOHEADER{40, kWidth, -kHeight, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    setDIBitsToDevice(hdc, 0, 0, kWidth, kHeight, 0, 0, 0, kHeight, picture.data(), &info, DIB_RGB_COLORS);
#else
    (void)hdc;
#endif
    endPaint(hwnd, ps);
    return 0;
}

void writePng(const std::string& file, int width, int height, const std::vector<std::uint32_t>& pixels)
{
    FILE* f = std::fopen(file.c_str(), "wb");
    if (!f)
        return;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png)) == 0) {
        png_init_io(png, f);
        png_set_IHDR(png, info, png_uint_32(width), png_uint_32(height), 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                     PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
        png_write_info(png, info);
        std::vector<png_byte> row(size_t(width) * 3);
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                std::uint32_t p = pixels[size_t(y) * width + x];
                row[size_t(x) * 3] = png_byte(p >> 16);
                row[size_t(x) * 3 + 1] = png_byte(p >> 8);
                row[size_t(x) * 3 + 2] = png_byte(p);
            }
            png_write_row(png, row.data());
        }
        png_write_end(png, nullptr);
    }
    png_destroy_write_struct(&png, &info);
    std::fclose(f);
}

class PresenterSmoke : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(Clock::isManual());
        WNDCLASSEXW wc;
        wc.style = CS_DBLCLKS;
        wc.lpfnWndProc = &paintCoded;
        wc.lpszClassName = kClass;
        ASSERT_NE(registerClass(wc), 0);
    }
    void TearDown() override
    {
        stopPresenter();
        for (HWND hwnd : getTopLevelWindows())
            if (getWindowThreadId(hwnd) == currentThreadId())
                destroyWindow(hwnd);
        unregisterClass(kClass);
    }

    // A fixed-size main window with a 627 x 335 client area, shown and painted.
    HWND openWindow()
    {
        DWORD style = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
        RECT r{0, 0, kWidth, kHeight};
        adjustWindowRectEx(r, style, false, 0);
        HWND hwnd = createWindow(0, kClass, kTitle, style, 40, 40, r.right - r.left, r.bottom - r.top, nullptr,
                                 nullptr, nullptr, nullptr);
        if (hwnd) {
            showWindow(hwnd, SW_SHOW);
            updateWindow(hwnd);
        }
        return hwnd;
    }

    // Runs the queue until the window is on the display (and its pixels are, once it has some).
    SDL_Window* pumpUntilPresented(HWND hwnd)
    {
        for (int i = 0; i < 500; ++i) {
            pumpMessagesFor(10);
            SDL_Window* window = presentedWindowOf(hwnd);
#ifdef HA_SMOKE_HAS_PIXELS
            if (window && presentCount() > 0)
                return window;
#else
            if (window)
                return window;
#endif
        }
        return nullptr;
    }
};

TEST_F(PresenterSmoke, ShowsEveryPixelAndTheTitle)
{
    HWND hwnd = openWindow();
    ASSERT_NE(hwnd, nullptr);
    ASSERT_TRUE(startPresenter());
    SDL_Window* window = pumpUntilPresented(hwnd);
    ASSERT_NE(window, nullptr);

    SDL_SysWMinfo wm;
    SDL_VERSION(&wm.version);
    ASSERT_TRUE(SDL_GetWindowWMInfo(window, &wm)) << SDL_GetError();
    ASSERT_EQ(wm.subsystem, SDL_SYSWM_X11);
    Display* display = wm.info.x11.display;
    Window xwindow = wm.info.x11.window;
    XSync(display, False);

    XWindowAttributes attributes{};
    ASSERT_TRUE(XGetWindowAttributes(display, xwindow, &attributes));
    EXPECT_EQ(attributes.width, kWidth);
    EXPECT_EQ(attributes.height, kHeight);

    Atom name = XInternAtom(display, "_NET_WM_NAME", False);
    Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    ASSERT_EQ(XGetWindowProperty(display, xwindow, name, 0, 1024, False, AnyPropertyType, &type, &format, &count,
                                 &after, &data),
              Success);
    ASSERT_NE(data, nullptr) << (type == None ? "no property" : XGetAtomName(display, type));
    EXPECT_EQ(type, utf8);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(data), count), kTitleUtf8);
    XFree(data);

#ifdef HA_SMOKE_HAS_PIXELS
    WindowPixels expected;
    ASSERT_TRUE(readWindowPixels(hwnd, expected));
    ASSERT_EQ(expected.width, kWidth);
    ASSERT_EQ(expected.height, kHeight);
    EXPECT_EQ(expected.at(300, 200), coded(300, 200));  // the window holds the picture
    XImage* image = XGetImage(display, xwindow, 0, 0, kWidth, kHeight, AllPlanes, ZPixmap);
    ASSERT_NE(image, nullptr);
    std::vector<std::uint32_t> shown(size_t(kWidth) * kHeight);
    int wrong = 0;
    std::string first;
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            std::uint32_t s = std::uint32_t(XGetPixel(image, x, y)) & 0xFFFFFF;
            shown[size_t(y) * kWidth + x] = s;
            if (s != (expected.at(x, y) & 0xFFFFFF) && wrong++ == 0)
                first = std::to_string(x) + "," + std::to_string(y);
        }
    }
    XDestroyImage(image);
    if (wrong) {
        writePng("PresenterSmoke-FAILED.png", kWidth, kHeight, shown);
        writePng("PresenterSmoke-expected-FAILED.png", kWidth, kHeight, expected.pixels);
    }
    EXPECT_EQ(wrong, 0) << "first difference at " << first << "; written to PresenterSmoke-FAILED.png";
#endif
}

TEST_F(PresenterSmoke, DisplayEventsReachTheQueue)
{
    HWND hwnd = openWindow();
    ASSERT_NE(hwnd, nullptr);
    ASSERT_TRUE(startPresenter());
    SDL_Window* window = pumpUntilPresented(hwnd);
    ASSERT_NE(window, nullptr);
    MSG msg;
    while (peekMessage(msg, nullptr, 0, 0, PM_REMOVE)) {
    }

    SDL_Event key{};
    key.key.type = SDL_KEYDOWN;
    key.key.windowID = SDL_GetWindowID(window);
    key.key.keysym.scancode = SDL_SCANCODE_F10;
    ASSERT_EQ(SDL_PushEvent(&key), 1);
    SDL_Event close{};
    close.window.type = SDL_WINDOWEVENT;
    close.window.event = SDL_WINDOWEVENT_CLOSE;
    close.window.windowID = SDL_GetWindowID(window);
    ASSERT_EQ(SDL_PushEvent(&close), 1);

    // A watchdog timer: the display's events must come first.
    ASSERT_TRUE(setTimer(hwnd, 1, 30000));
    std::vector<UINT> seen;
    while (seen.size() < 2 && getMessage(msg, hwnd, WM_KEYFIRST, WM_TIMER) > 0) {
        if (msg.message == WM_TIMER)
            break;
        seen.push_back(msg.message);
        if (msg.message == WM_SYSKEYDOWN) {
            EXPECT_EQ(msg.wParam, WPARAM(VK_F10));
            EXPECT_EQ(msg.lParam, LPARAM(0x00440001));
        }
        if (msg.message == WM_SYSCOMMAND) {
            EXPECT_EQ(msg.wParam, SC_CLOSE);
        }
    }
    // Posted messages come before input, as on the platform.
    EXPECT_EQ(seen, (std::vector<UINT>{WM_SYSCOMMAND, WM_SYSKEYDOWN}));
}

class PresenterSmokeThreaded : public PresenterSmoke {};

TEST_F(PresenterSmokeThreaded, PostFromAnotherThreadWakesTheWait)
{
    HWND hwnd = openWindow();
    ASSERT_NE(hwnd, nullptr);
    ASSERT_TRUE(startPresenter());
    ASSERT_NE(pumpUntilPresented(hwnd), nullptr);
    MSG msg;
    while (peekMessage(msg, nullptr, 0, 0, PM_REMOVE)) {
    }
    // Without a wake-up the thread would sleep in the display's wait until this timer.
    ASSERT_TRUE(setTimer(hwnd, 1, 30000));
    std::thread poster([hwnd] {
        // Long enough for the window's thread to be asleep in the display's wait.
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        postMessage(hwnd, WM_APP, 7, 0);
    });
    ASSERT_EQ(getMessage(msg, hwnd, 0, 0), 1);
    poster.join();
    EXPECT_EQ(msg.message, WM_APP);
    EXPECT_EQ(msg.wParam, 7u);
}

}  // namespace
