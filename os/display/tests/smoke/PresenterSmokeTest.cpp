// The presenter on a real (virtual) X server: what the display shows is read back from the
// server and compared with the headless window, pixel for pixel. Run inside a Wayland
// compositor with SDL_VIDEODRIVER=wayland, the presenter shows the windows there, and the
// pixels are read back from the X server that shows the compositor's output; what only X
// has (window properties, map states) is checked on X alone.

#include <gtest/gtest.h>

#include <SDL.h>
#include <SDL_syswm.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <png.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "os/display/Presenter.h"
#include "os/display/tests/smoke/ScreenPicture.h"
#include "os/kernel/Clock.h"
#include "os/kernel/Kernel.h"
#include "os/windows/Message.h"
#include "os/windows/timers/MessagePump.h"
#include "os/windows/timers/WindowTimer.h"
#include "os/windows/drawing/Drawing.h"
#include "os/windows/icons/Icon.h"
#include "os/windows/messagebox/MessageBox.h"
#include "os/tests/MessageBoxTestSupport.h"

using namespace HA::OS;
using HA::SMOKE::Picture;

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
    std::vector<std::uint32_t> picture(size_t(kWidth) * kHeight);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            picture[size_t(y) * kWidth + x] = coded(x, y);
    BITMAPINFO info{};
    info.bmiHeader = BITMAPINFOHEADER{40, kWidth, -kHeight, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    setDIBitsToDevice(hdc, 0, 0, kWidth, kHeight, 0, 0, 0, kHeight, picture.data(), &info, DIB_RGB_COLORS);
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

    // Runs what the queue holds, then one idle turn of the presenter.
    void settle()
    {
        pumpMessages();
        presentNow();
    }

    // Runs the queue until the window is on the display (and its pixels are, once it has some).
    SDL_Window* pumpUntilPresented(HWND hwnd)
    {
        for (int i = 0; i < 500; ++i) {
            pumpMessagesFor(10);
            presentNow();
            SDL_Window* window = presentedWindowOf(hwnd);
            if (window && presentCount() > 0)
                return window;
        }
        return nullptr;
    }
};

// The X window behind a display window.
struct XWindow {
    Display* display = nullptr;
    Window window = 0;
};
XWindow xWindowOf(SDL_Window* window)
{
    SDL_SysWMinfo wm;
    SDL_VERSION(&wm.version);
    if (!SDL_GetWindowWMInfo(window, &wm) || wm.subsystem != SDL_SYSWM_X11)
        return XWindow{};
    XSync(wm.info.x11.display, False);
    return XWindow{wm.info.x11.display, wm.info.x11.window};
}

bool onWayland()
{
    const char* driver = SDL_GetCurrentVideoDriver();
    return driver && std::strcmp(driver, "wayland") == 0;
}

// The whole screen of the X server that DISPLAY names, which shows the compositor's output.
// The pointer is parked first, so that the compositor draws it over no window.
Picture screenOfTheServer()
{
    static Display* display = XOpenDisplay(nullptr);
    if (!display)
        return Picture{};
    HA::SMOKE::parkPointer(display);
    return HA::SMOKE::readScreen(display);
}

Picture heldPicture(HWND hwnd)
{
    WindowPixels held;
    Picture out;
    if (!readWindowPixels(hwnd, held))
        return out;
    out.width = held.width;
    out.height = held.height;
    for (std::uint32_t p : held.pixels)
        out.pixels.push_back(p & 0xFFFFFF);
    return out;
}

// Whether the compositor's output shows the picture (or, with `shown` false, no longer
// shows it) within 30 s, the presenter taking its turns meanwhile; the last screen read.
bool compositorShows(const Picture& picture, bool shown, Picture& screen)
{
    for (int i = 0; i < 1500; ++i) {
        screen = screenOfTheServer();
        if (HA::SMOKE::findPicture(screen, picture).has_value() == shown)
            return true;
        presentNow();
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

// Every pixel the display shows for the window against what the headless window holds
// (627 x 335 unless another size is given): on X the window's own pixels, on Wayland the
// picture found whole in the compositor's output.
::testing::AssertionResult displayShowsTheWindow(HWND hwnd, SDL_Window* window, const std::string& name,
                                                 int width = kWidth, int height = kHeight)
{
    Picture expected = heldPicture(hwnd);
    if (expected.width != width || expected.height != height)
        return ::testing::AssertionFailure() << "the window holds " << expected.width << " x " << expected.height;
    Picture shown;
    if (onWayland()) {
        if (compositorShows(expected, true, shown))
            return ::testing::AssertionSuccess();
        writePng(name + "-FAILED.png", shown.width, shown.height, shown.pixels);
        writePng(name + "-expected-FAILED.png", width, height, expected.pixels);
        return ::testing::AssertionFailure() << "the compositor's output does not show the window; written to "
                                             << name << "-FAILED.png";
    }
    XWindow xw = xWindowOf(window);
    if (!xw.display)
        return ::testing::AssertionFailure() << "no X window";
    shown = HA::SMOKE::readImage(xw.display, xw.window, width, height);
    if (shown.pixels.empty())
        return ::testing::AssertionFailure() << "no image from the X server";
    int wrong = 0;
    std::string first;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            if (shown.pixels[size_t(y) * width + x] != expected.pixels[size_t(y) * width + x] && wrong++ == 0)
                first = std::to_string(x) + "," + std::to_string(y);
    if (!wrong)
        return ::testing::AssertionSuccess();
    writePng(name + "-FAILED.png", width, height, shown.pixels);
    writePng(name + "-expected-FAILED.png", width, height, expected.pixels);
    return ::testing::AssertionFailure() << wrong << " pixels differ, the first at " << first << "; written to "
                                         << name << "-FAILED.png";
}

// A window property of 8-bit or 32-bit items.
template <typename T>
std::vector<T> propertyOf(const XWindow& x, const char* property, Atom& type)
{
    Atom atom = XInternAtom(x.display, property, False);
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    std::vector<T> out;
    type = None;
    if (XGetWindowProperty(x.display, x.window, atom, 0, 1 << 16, False, AnyPropertyType, &type, &format, &count,
                           &after, &data) != Success || !data)
        return out;
    // 32-bit items come as longs.
    for (unsigned long i = 0; i < count; ++i)
        out.push_back(format == 32 ? T(reinterpret_cast<long*>(data)[i]) : T(data[i]));
    XFree(data);
    return out;
}

// The Motif window-manager hints: what they take away.
constexpr long kMotifFunctions = 1, kMotifDecorations = 2;
constexpr long kMotifAll = 1, kMotifFunctionResize = 2, kMotifFunctionMaximize = 16;
constexpr long kMotifDecorationResizeHandles = 4, kMotifDecorationMaximize = 64;

// Whether the window manager is told that the window keeps its size: minimum and maximum size
// both `width` x `height`, and the maximise and resize functions and decorations taken away.
::testing::AssertionResult keepsItsSize(const XWindow& x, int width, int height)
{
    XSizeHints hints{};
    long supplied = 0;
    if (!XGetWMNormalHints(x.display, x.window, &hints, &supplied))
        return ::testing::AssertionFailure() << "no size hints";
    if (!(hints.flags & PMinSize) || !(hints.flags & PMaxSize) || hints.min_width != width ||
        hints.max_width != width || hints.min_height != height || hints.max_height != height)
        return ::testing::AssertionFailure() << "size hints " << hints.min_width << " x " << hints.min_height << " to "
                                             << hints.max_width << " x " << hints.max_height << " (flags " << hints.flags
                                             << ")";
    Atom type = None;
    std::vector<long> motif = propertyOf<long>(x, "_MOTIF_WM_HINTS", type);
    if (motif.size() < 3 || !(motif[0] & kMotifFunctions) || !(motif[0] & kMotifDecorations))
        return ::testing::AssertionFailure() << "no Motif hints for functions and decorations";
    // With the "all" bit the bits named are taken away; without it only those are offered.
    auto offered = [](long bits, long bit) { return (bits & kMotifAll) ? !(bits & bit) : (bits & bit) != 0; };
    if (offered(motif[1], kMotifFunctionMaximize) || offered(motif[1], kMotifFunctionResize))
        return ::testing::AssertionFailure() << "the Motif functions " << motif[1] << " offer a maximise or resize";
    if (offered(motif[2], kMotifDecorationMaximize) || offered(motif[2], kMotifDecorationResizeHandles))
        return ::testing::AssertionFailure() << "the Motif decorations " << motif[2]
                                             << " offer a maximise button or resize handles";
    return ::testing::AssertionSuccess();
}

TEST_F(PresenterSmoke, ShowsEveryPixelTheTitleAndTheIcon)
{
    HWND hwnd = openWindow();
    ASSERT_NE(hwnd, nullptr);
    HICON icon = loadIcon(nullptr, IDI_APPLICATION);
    sendMessage(hwnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
    ASSERT_TRUE(startPresenter());
    SDL_Window* window = pumpUntilPresented(hwnd);
    ASSERT_NE(window, nullptr);
    WindowPixels held;
    ASSERT_TRUE(readWindowPixels(hwnd, held));
    EXPECT_EQ(held.at(300, 200), coded(300, 200));  // the window holds the picture
    EXPECT_TRUE(displayShowsTheWindow(hwnd, window, "PresenterSmoke"));
    EXPECT_STREQ(SDL_GetWindowTitle(window), kTitleUtf8);
    if (onWayland())
        return;  // no title property, and no icon for a window in the protocol
    XWindow x = xWindowOf(window);
    ASSERT_NE(x.display, nullptr);

    XWindowAttributes attributes{};
    ASSERT_TRUE(XGetWindowAttributes(x.display, x.window, &attributes));
    EXPECT_EQ(attributes.width, kWidth);
    EXPECT_EQ(attributes.height, kHeight);

    Atom type = None;
    std::vector<char> title = propertyOf<char>(x, "_NET_WM_NAME", type);
    EXPECT_EQ(type, XInternAtom(x.display, "UTF8_STRING", False));
    EXPECT_EQ(std::string(title.begin(), title.end()), kTitleUtf8);

    // The large icon: width, height, then ARGB words.
    IconPixels iconPixels;
    ASSERT_TRUE(readIconPixels(icon, iconPixels));
    std::vector<std::uint32_t> shownIcon = propertyOf<std::uint32_t>(x, "_NET_WM_ICON", type);
    ASSERT_EQ(shownIcon.size(), 2 + iconPixels.pixels.size());
    EXPECT_EQ(int(shownIcon[0]), iconPixels.width);
    EXPECT_EQ(int(shownIcon[1]), iconPixels.height);
    EXPECT_EQ(std::vector<std::uint32_t>(shownIcon.begin() + 2, shownIcon.end()), iconPixels.pixels);

    // No maximise box and a frame that does not size: the window manager is told so.
    EXPECT_TRUE(keepsItsSize(x, kWidth, kHeight));
}

TEST_F(PresenterSmoke, DrawingAfterTheStartIsPresented)
{
    HWND hwnd = openWindow();
    ASSERT_NE(hwnd, nullptr);
    ASSERT_TRUE(startPresenter());
    SDL_Window* window = pumpUntilPresented(hwnd);
    ASSERT_NE(window, nullptr);
    std::uint64_t before = presentCount();
    HDC hdc = getDC(hwnd);
    HBRUSH brush = createSolidBrush(rgbColour(200, 30, 90));
    fillRect(hdc, RECT{100, 50, 230, 120}, brush);
    releaseDC(hwnd, hdc);
    deleteObject(brush);
    for (int i = 0; i < 500 && presentCount() == before; ++i) {
        pumpMessagesFor(10);
        presentNow();
    }
    ASSERT_GT(presentCount(), before);
    WindowPixels held;
    ASSERT_TRUE(readWindowPixels(hwnd, held));
    EXPECT_EQ(held.at(150, 60) & 0xFFFFFF, 0xC81E5Au);
    EXPECT_TRUE(displayShowsTheWindow(hwnd, window, "PresenterSmokeDrawing"));
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

TEST_F(PresenterSmoke, HidingRetitlingAndDestroyingFollowTheWindow)
{
    HWND hwnd = openWindow();
    ASSERT_NE(hwnd, nullptr);
    ASSERT_TRUE(startPresenter());
    SDL_Window* window = pumpUntilPresented(hwnd);
    ASSERT_NE(window, nullptr);
    const Picture picture = heldPicture(hwnd);
    Picture screen;
    // On X the map state of the window, on Wayland whether the compositor shows its picture.
    XWindow x = xWindowOf(window);
    ASSERT_TRUE(x.display || onWayland());
    auto shown = [&](bool expected) {
        if (onWayland())
            return compositorShows(picture, expected, screen) ? expected : !expected;
        XSync(x.display, False);
        XWindowAttributes a{};
        XGetWindowAttributes(x.display, x.window, &a);
        return a.map_state == IsViewable;
    };
    EXPECT_TRUE(shown(true));

    showWindow(hwnd, SW_HIDE);
    settle();
    EXPECT_TRUE(SDL_GetWindowFlags(window) & SDL_WINDOW_HIDDEN);
    EXPECT_FALSE(shown(false));

    showWindow(hwnd, SW_SHOWNA);
    setWindowText(hwnd, u"Second title");
    settle();
    EXPECT_EQ(presentedWindowOf(hwnd), window);
    EXPECT_TRUE(shown(true));
    EXPECT_STREQ(SDL_GetWindowTitle(window), "Second title");
    if (x.display) {
        Atom type = None;
        std::vector<char> title = propertyOf<char>(x, "_NET_WM_NAME", type);
        EXPECT_EQ(std::string(title.begin(), title.end()), "Second title");
    }

    // Gone from the display at once, before any idle turn: a program that blocks after
    // closing its window (a shut-down waiting for a worker) leaves nothing on the screen.
    destroyWindow(hwnd);
    EXPECT_EQ(presentedWindowOf(hwnd), nullptr);
    if (onWayland()) {
        EXPECT_FALSE(shown(false)) << "the compositor still shows the window";
    } else {
        XSync(x.display, False);
        static int xError = 0;
        xError = 0;
        XErrorHandler previous = XSetErrorHandler([](Display*, XErrorEvent* e) {
            xError = e->error_code;
            return 0;
        });
        XWindowAttributes gone{};
        XGetWindowAttributes(x.display, x.window, &gone);
        XSync(x.display, False);
        XSetErrorHandler(previous);
        EXPECT_EQ(xError, BadWindow) << "the display window still exists";
    }
    settle();
    EXPECT_EQ(presentedWindowOf(hwnd), nullptr);
}

TEST_F(PresenterSmoke, TheDisplaysWaitRunsTheClocksCallbacks)
{
    HWND hwnd = openWindow();
    ASSERT_NE(hwnd, nullptr);
    ASSERT_TRUE(startPresenter());
    ASSERT_NE(pumpUntilPresented(hwnd), nullptr);
    MSG msg;
    while (peekMessage(msg, nullptr, 0, 0, PM_REMOVE)) {
    }
    // A watchdog timer: the callback (as the simulated device's delays) must come first.
    ASSERT_TRUE(setTimer(hwnd, 1, 30000));
    Clock::scheduleAfter(50, [hwnd] { postMessage(hwnd, WM_APP, 9, 0); });
    ASSERT_EQ(getMessage(msg, hwnd, 0, 0), 1);
    EXPECT_EQ(msg.message, WM_APP);
    EXPECT_EQ(msg.wParam, 9u);
}

// A left click pushed into the display's queue at a point of the display window.
void pushClick(SDL_Window* window, int x, int y)
{
    for (Uint32 type : {SDL_MOUSEBUTTONDOWN, SDL_MOUSEBUTTONUP}) {
        SDL_Event e{};
        e.button.type = type;
        e.button.windowID = SDL_GetWindowID(window);
        e.button.button = SDL_BUTTON_LEFT;
        e.button.state = type == SDL_MOUSEBUTTONDOWN ? SDL_PRESSED : SDL_RELEASED;
        e.button.clicks = 1;
        e.button.x = x;
        e.button.y = y;
        SDL_PushEvent(&e);
    }
}

TEST_F(PresenterSmoke, AMessageBoxIsAWindowOnTheDisplayAndTakesAClick)
{
    HWND owner = openWindow();
    ASSERT_NE(owner, nullptr);
    ASSERT_TRUE(startPresenter());
    SDL_Window* ownerWindow = pumpUntilPresented(owner);
    ASSERT_NE(ownerWindow, nullptr);
    static int ownerClicks;
    ownerClicks = 0;
    setWindowProc(owner, [](HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) -> LRESULT {
        if (message == WM_LBUTTONDOWN)
            ++ownerClicks;
        return paintCoded(hwnd, message, wParam, lParam);
    });
    bool checked = false;
    HWND box = nullptr;
    Testing::later(50, [&] {
        box = Testing::findBox();
        ASSERT_NE(box, nullptr);
        SDL_Window* window = nullptr;
        for (int i = 0; i < 500 && !window; ++i) {
            presentNow();
            window = presentedWindowOf(box);
        }
        ASSERT_NE(window, nullptr);
        presentNow();
        RECT client{};
        getClientRect(box, client);
        EXPECT_TRUE(displayShowsTheWindow(box, window, "PresenterSmokeBox", client.right, client.bottom));
        EXPECT_STREQ(SDL_GetWindowTitle(window), "Vireo Updater");
        if (XWindow x = xWindowOf(window); x.display) {
            Atom type = None;
            std::vector<char> title = propertyOf<char>(x, "_NET_WM_NAME", type);
            EXPECT_EQ(std::string(title.begin(), title.end()), "Vireo Updater");
            // A dialog frame: its size is held, and neither a maximise nor a resize is offered.
            EXPECT_TRUE(keepsItsSize(x, client.right, client.bottom));
            // Over its owner: the window manager is told so.
            Window transientFor = 0;
            EXPECT_TRUE(XGetTransientForHint(x.display, x.window, &transientFor));
            EXPECT_EQ(transientFor, xWindowOf(ownerWindow).window);
        }
        // A click on the owner goes nowhere; one on "No" answers.
        pushClick(ownerWindow, 20, 20);
        RECT no{};
        ASSERT_TRUE(messageBoxButtonRect(box, IDNO, no));
        POINT origin{0, 0};
        clientToScreen(box, origin);
        pushClick(window, (no.left + no.right) / 2 - origin.x, (no.top + no.bottom) / 2 - origin.y);
        checked = true;
    });
    EXPECT_EQ(messageBox(owner, u"Do you really want to quit ?", u"Vireo Updater",
                         MB_YESNO | MB_DEFBUTTON2 | MB_ICONQUESTION),
              IDNO);
    EXPECT_TRUE(checked);
    EXPECT_EQ(presentedWindowOf(box), nullptr);
    EXPECT_TRUE(isWindowEnabled(owner));
    settle();
    EXPECT_EQ(ownerClicks, 0) << "the owner took a click while the box was up";
    // Enabled again, it takes them.
    pushClick(ownerWindow, 20, 20);
    for (int i = 0; i < 100 && ownerClicks == 0; ++i) {
        presentNow();
        pumpMessages();
    }
    EXPECT_EQ(ownerClicks, 1);

    // Keys that reach the window under a box go to the box: Enter answers its default.
    Clock::TimerId watchdog = 0;
    Testing::later(50, [&] {
        HWND second = Testing::findBox();
        ASSERT_NE(second, nullptr);
        // Keys lost on the way would leave the box up: the watchdog answers the other button.
        watchdog = Clock::scheduleAfter(10000, [second] {
            postMessage(second, WM_KEYDOWN, VK_TAB, 0);
            postMessage(second, WM_KEYDOWN, VK_RETURN, 0);
        });
        for (Uint32 type : {SDL_KEYDOWN, SDL_KEYUP}) {
            SDL_Event key{};
            key.key.type = type;
            key.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
            key.key.windowID = SDL_GetWindowID(ownerWindow);
            key.key.keysym.scancode = SDL_SCANCODE_RETURN;
            key.key.keysym.sym = SDLK_RETURN;
            SDL_PushEvent(&key);
        }
    });
    EXPECT_EQ(messageBox(owner, u"Again?", u"Vireo Updater", MB_YESNO | MB_DEFBUTTON2), IDNO);
    Clock::cancel(watchdog);
    EXPECT_EQ(ownerClicks, 1);
}

// A compositor without a seat: the display library would end the process in its start; the
// presenter refuses the display in one line instead.
TEST(PresenterOnWayland, ACompositorWithoutASeatIsRefused)
{
    const char* compositor = std::getenv("WAYLAND_DISPLAY");
    ASSERT_NE(compositor, nullptr) << "run inside a compositor without a seat";
    unsetenv("DISPLAY");
    std::string failure;
    EXPECT_FALSE(startPresenter(&failure));
    EXPECT_EQ(failure, "the display WAYLAND_DISPLAY=\"" + std::string(compositor) +
                           "\" does not open (wayland: its compositor offers no seat (no pointer, no keyboard), "
                           "without which the display library cannot run)");
    EXPECT_FALSE(presenterRunning());
}

// An error about a window that is gone (here an event sent to it) leaves the program running.
TEST_F(PresenterSmoke, AnErrorAboutAWindowThatIsGoneDoesNotEndTheProgram)
{
    HWND hwnd = openWindow();
    ASSERT_NE(hwnd, nullptr);
    ASSERT_TRUE(startPresenter());
    SDL_Window* window = pumpUntilPresented(hwnd);
    ASSERT_NE(window, nullptr);
    XWindow x = xWindowOf(window);
    ASSERT_NE(x.display, nullptr);
    const Window gone = XCreateSimpleWindow(x.display, DefaultRootWindow(x.display), 0, 0, 10, 10, 0, 0, 0);
    XDestroyWindow(x.display, gone);
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = gone;
    event.xclient.message_type = XInternAtom(x.display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    XSendEvent(x.display, gone, False, NoEventMask, &event);
    XSync(x.display, False);
    settle();
    EXPECT_EQ(presentedWindowOf(hwnd), window);
}

class PresenterSmokeThreaded : public PresenterSmoke {};

// Other threads wake the display's wait all the time (a worker's messages, the device's hand)
// while windows come and go and at last the presenter stops: a wake-up never reaches a display
// window that is gone, and the process goes on (Xlib's own handler would end it, status 1).
TEST_F(PresenterSmokeThreaded, WindowsEndWhileOtherThreadsWakeTheDisplay)
{
    constexpr int kRounds = 60;
    constexpr int kWakers = 3;
    ASSERT_TRUE(startPresenter());
    const DWORD thread = currentThreadId();
    std::atomic<bool> done{false};
    std::atomic<long> wakes{0};
    std::vector<std::thread> wakers;
    for (int i = 0; i < kWakers; ++i)
        wakers.emplace_back([&, i] {
            while (!done.load()) {
                if (i == 0) {
                    postThreadMessage(thread, WM_NULL, 0, 0);
                } else {
                    std::lock_guard<std::mutex> lock(Clock::kernelMutex());
                    Clock::notifyAll();
                }
                ++wakes;
                std::this_thread::yield();
            }
        });
    for (int round = 0; round < kRounds && !HasFailure(); ++round) {
        // The newest window is the one the display's wait names for its wake-ups.
        HWND first = openWindow();
        HWND second = openWindow();
        if (!second || !pumpUntilPresented(second)) {
            ADD_FAILURE() << "no window on the display in round " << round;
            break;
        }
        for (HWND hwnd : {second, first}) {
            for (int turn = 0; turn < 10; ++turn)
                pumpMessagesFor(1);
            destroyWindow(hwnd);
        }
    }
    HWND last = openWindow();
    EXPECT_NE(pumpUntilPresented(last), nullptr);
    pumpMessagesFor(1);
    stopPresenter();
    done = true;
    for (std::thread& t : wakers)
        t.join();
    EXPECT_GT(wakes.load(), kRounds);
}

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
