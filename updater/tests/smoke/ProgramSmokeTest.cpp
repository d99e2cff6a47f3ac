// The real program on a virtual X server: starts the updater, reads its window back from the
// server until it shows the expected picture (at most 30 s), prints how long the first frame
// took (nothing is compared with that time); a program that did not show it is ended by its
// process id.
//
//   updater_program_smoke <program> <expected.png> <folder for the run's state>
//                         [<connect screen.png> <device script>]
//   updater_program_smoke --wayland <program> <offer.png> <folder for the run's state> <success.png>
//                         <quit question.png>
//
// With the last two it walks the connect road instead: the program starts without a device,
// shows the connect screen, the device script plugs the device in from outside, a click on
// RESCAN follows, and the window must then show the expected picture.
//
// Then it closes the window as a window manager does and waits for the program's end.
//
// With --wayland it runs the program on a Wayland compositor (see runOnWayland).
//
// Run under xvfb-run. Exit status 0 when the window showed the picture and the closed program
// ended with status 0 and no X error on its standard error.

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <png.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "os/display/tests/smoke/ScreenPicture.h"
#include "updater/tests/smoke/SmokeSupport.h"

extern char** environ;

using namespace HA;

namespace {

constexpr int kSeconds = 30;
// The action button ("RESCAN") in the window, and a point off the window for the pointer
// afterwards, so that the button is not drawn hovered.
constexpr int kActionX = 545;
constexpr int kActionY = 297;
constexpr int kAwayX = 1200;
constexpr int kAwayY = 1000;
// The close box of the title bar the display library draws on Wayland: its middle from the
// window's right edge and above the window's top.
constexpr int kCloseBoxFromRight = 16;
constexpr int kCloseBoxAbove = 12;
// The quit box's question in the screenshot of the quit question (without its frame and
// buttons, which the display draws its own way), and the middle of its "No" from there.
constexpr int kQuestionLeft = 100;
constexpr int kQuestionTop = 110;
constexpr int kQuestionWidth = 430;
constexpr int kQuestionHeight = 70;
constexpr int kNoX = 486 - kQuestionLeft;
constexpr int kNoY = 208 - kQuestionTop;

using SMOKE::Picture;

bool readPng(const char* file, Picture& out)
{
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, file))
        return false;
    image.format = PNG_FORMAT_BGRA;
    out.width = int(image.width);
    out.height = int(image.height);
    out.pixels.assign(size_t(out.width) * size_t(out.height), 0);
    if (!png_image_finish_read(&image, nullptr, out.pixels.data(), 0, nullptr))
        return false;
    for (std::uint32_t& p : out.pixels)
        p &= 0xFFFFFF;
    return true;
}

void writePng(const std::string& file, const Picture& picture)
{
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = png_uint_32(picture.width);
    image.height = png_uint_32(picture.height);
    image.format = PNG_FORMAT_BGRA;
    std::vector<std::uint32_t> opaque(picture.pixels);
    for (std::uint32_t& p : opaque)
        p |= 0xFF000000u;
    png_image_write_to_file(&image, file.c_str(), 0, opaque.data(), 0, nullptr);
}

// The window's pixels, or an empty picture while it is not there.
Picture readBack(Display* display, Window window, int width, int height)
{
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(display, window, &attributes) || attributes.width != width ||
        attributes.height != height)
        return Picture{};
    return SMOKE::readImage(display, window, width, height);
}

// A left click at a point of the window: the pointer moved there (the server sends the
// motion), then the press and the release.
void click(Display* display, Window window, int x, int y)
{
    XWarpPointer(display, None, window, 0, 0, 0, 0, x, y);
    XSync(display, False);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    for (int type : {ButtonPress, ButtonRelease}) {
        XEvent event{};
        event.xbutton.type = type;
        event.xbutton.display = display;
        event.xbutton.window = window;
        event.xbutton.root = DefaultRootWindow(display);
        event.xbutton.x = x;
        event.xbutton.y = y;
        event.xbutton.same_screen = True;
        event.xbutton.button = Button1;
        event.xbutton.state = type == ButtonRelease ? Button1Mask : 0;
        XSendEvent(display, window, True, type == ButtonPress ? ButtonPressMask : ButtonReleaseMask, &event);
        XSync(display, False);
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    XWarpPointer(display, None, DefaultRootWindow(display), 0, 0, 0, 0, kAwayX, kAwayY);
    XSync(display, False);
}

// Asks for the window to be closed as a window manager's close button does.
void closeWindow(Display* display, Window window)
{
    SMOKE::sendClientMessage(display, window, NoEventMask, window, "WM_PROTOCOLS",
                             long(XInternAtom(display, "WM_DELETE_WINDOW", False)), CurrentTime);
}

std::string readFile(const std::string& file)
{
    std::ifstream in(file);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Runs a script through bash and waits for it; its exit status, or -1.
int runScript(const char* script, const char* argument)
{
    pid_t pid = 0;
    char bash[] = "bash";
    char* args[] = {bash, const_cast<char*>(script), const_cast<char*>(argument), nullptr};
    if (posix_spawnp(&pid, "bash", nullptr, nullptr, args, environ) != 0)
        return -1;
    int status = 0;
    if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

// A left click at a point of the screen as the X server's own input (a compositor takes no
// sent events), then the pointer parked off the compositor's windows.
void clickOnScreen(Display* display, int x, int y)
{
    XTestFakeMotionEvent(display, -1, x, y, CurrentTime);
    XSync(display, False);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    for (Bool press : {True, False}) {
        XTestFakeButtonEvent(display, Button1, press, CurrentTime);
        XSync(display, False);
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    SMOKE::parkPointer(display);
}

// The part of a picture inside a rectangle.
Picture crop(const Picture& picture, int left, int top, int width, int height)
{
    Picture out;
    out.width = width;
    out.height = height;
    for (int y = top; y < top + height; ++y)
        for (int x = left; x < left + width; ++x)
            out.pixels.push_back(picture.pixels[size_t(y) * size_t(picture.width) + size_t(x)]);
    return out;
}

// The program on a Wayland compositor whose output the X server shows, started with
// WAYLAND_DISPLAY alone: its window must show the update offer somewhere in the output; a
// click on UPDATE must start the update; the close request (the close box of the title bar
// that the display library draws there) must show the quit box, whose "No" lets the update
// end with the success screen; and the close request then must end the program with
// status 0.
int runOnWayland(Display* display, const char* program, const Picture& offer, const Picture& success,
                 const Picture& quitQuestion)
{
    const Picture question = crop(quitQuestion, kQuestionLeft, kQuestionTop, kQuestionWidth, kQuestionHeight);
    unsetenv("DISPLAY");
    SMOKE::parkPointer(display);
    const pid_t pid = SMOKE::spawn({program});
    if (pid <= 0) {
        std::fprintf(stderr, "cannot start %s\n", program);
        return 2;
    }
    const auto start = std::chrono::steady_clock::now();
    int status = -1;
    Picture screen;
    // Reads the screen back until it shows the picture (at most `seconds` from the start); its
    // place, or nothing when the program ended or the time is up.
    auto waitFor = [&](const Picture& picture, int seconds) -> std::optional<SMOKE::Place> {
        while (std::chrono::steady_clock::now() - start < std::chrono::seconds(seconds)) {
            if (waitpid(pid, &status, WNOHANG) == pid)
                return std::nullopt;
            screen = SMOKE::readScreen(display);
            if (auto place = SMOKE::findPicture(screen, picture))
                return place;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        return std::nullopt;
    };
    auto waitUntilGone = [&](const Picture& picture, int seconds) {
        while (std::chrono::steady_clock::now() - start < std::chrono::seconds(seconds)) {
            screen = SMOKE::readScreen(display);
            if (!SMOKE::findPicture(screen, picture))
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        return false;
    };
    auto fail = [&](const char* what, const Picture& expected) {
        std::fprintf(stderr, "%s; the screen is written to wayland-program-FAILED.png\n", what);
        writePng("wayland-program-FAILED.png", screen);
        writePng("wayland-program-expected-FAILED.png", expected);
        if (status == -1)
            SMOKE::stop(pid);
        else
            std::fprintf(stderr, "the program ended with status %d\n", WIFEXITED(status) ? WEXITSTATUS(status) : -1);
        return 1;
    };
    const auto offerPlace = waitFor(offer, 2 * kSeconds);
    if (!offerPlace)
        return fail("the compositor's output does not show the update offer", offer);
    std::printf("the update offer is shown at %d,%d of the screen\n", offerPlace->x, offerPlace->y);
    clickOnScreen(display, offerPlace->x + kActionX, offerPlace->y + kActionY);
    // The pointer is parked again: the offer stays only when the click did not reach.
    if (!waitUntilGone(offer, 3 * kSeconds))
        return fail("the click on UPDATE did not reach the program", offer);
    clickOnScreen(display, offerPlace->x + offer.width - kCloseBoxFromRight, offerPlace->y - kCloseBoxAbove);
    const auto questionPlace = waitFor(question, 4 * kSeconds);
    if (!questionPlace)
        return fail("the close request during the update did not show the quit box", question);
    clickOnScreen(display, questionPlace->x + kNoX, questionPlace->y + kNoY);
    const auto successPlace = waitFor(success, 6 * kSeconds);
    if (!successPlace)
        return fail("the update did not end with the success screen after \"No\" in the quit box", success);
    // The close box sits at the right end of the title bar, above the window's pixels.
    clickOnScreen(display, successPlace->x + success.width - kCloseBoxFromRight, successPlace->y - kCloseBoxAbove);
    for (int i = 0; i < 500 && status == -1; ++i) {
        if (waitpid(pid, &status, WNOHANG) != pid) {
            status = -1;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }
    if (status == -1) {
        screen = SMOKE::readScreen(display);
        return fail("the close request did not end the program within 10 s", success);
    }
    if (WIFSIGNALED(status)) {
        std::fprintf(stderr, "the program ended on signal %d after the close request\n", WTERMSIG(status));
        return 1;
    }
    if (WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "the close request ended the program with status %d\n", WEXITSTATUS(status));
        return 1;
    }
    std::printf("UPDATE started the update, the close request showed the quit box, \"No\" let the update end with "
                "the success screen, and the close request ended the program with status 0\n");
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 7 && std::strcmp(argv[1], "--wayland") == 0) {
        Picture offer, success, quitQuestion;
        if (!readPng(argv[3], offer) || !readPng(argv[5], success) || !readPng(argv[6], quitQuestion)) {
            std::fprintf(stderr, "cannot read the pictures\n");
            return 2;
        }
        Display* display = SMOKE::openDisplay();
        if (!display)
            return 2;
        const std::string folder = SMOKE::makeRunFolder(argv[4]);
        if (folder.empty())
            return 2;
        const int status = runOnWayland(display, argv[2], offer, success, quitQuestion);
        XCloseDisplay(display);
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
        return status;
    }
    if (argc != 4 && argc != 6) {
        std::fprintf(stderr,
                     "usage: %s <program> <expected.png> <state folder> [<connect screen.png> <device script>]\n"
                     "       %s --wayland <program> <offer.png> <state folder> <success.png> <quit question.png>\n",
                     argv[0], argv[0]);
        return 2;
    }
    const bool connectRoad = argc == 6;
    Picture expected, connectScreen;
    if (!readPng(argv[2], expected) || (connectRoad && !readPng(argv[4], connectScreen))) {
        std::fprintf(stderr, "cannot read %s\n", connectRoad ? "the pictures" : argv[2]);
        return 2;
    }
    Display* display = SMOKE::openDisplay();
    if (!display)
        return 2;
    const std::string folder = SMOKE::makeRunFolder(argv[3]);
    if (folder.empty())
        return 2;
    if (connectRoad)
        setenv("HA_OS_VIREO", "none", 1);
    const auto start = std::chrono::steady_clock::now();
    const std::string errors = folder + "/standard-error.txt";
    const pid_t pid = SMOKE::spawn({argv[1]}, errors);
    if (pid <= 0) {
        std::fprintf(stderr, "cannot start %s\n", argv[1]);
        return 2;
    }

    Picture last;
    bool shown = false, exited = false;
    Window window = 0;
    // Reads the window back until it shows the picture, the program ends or the time is up.
    auto waitUntilShown = [&](const Picture& picture) {
        last = Picture{};
        while (std::chrono::steady_clock::now() - start < std::chrono::seconds(kSeconds)) {
            if (waitpid(pid, nullptr, WNOHANG) == pid) {
                exited = true;
                return false;
            }
            if ((window = SMOKE::findWindow(display, DefaultRootWindow(display), SMOKE::kTitle, true))) {
                Picture now = readBack(display, window, picture.width, picture.height);
                if (!now.pixels.empty())
                    last = now;
                if (now.pixels == picture.pixels)
                    return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return false;
    };
    const Picture* compared = &expected;
    if (connectRoad) {
        shown = waitUntilShown(connectScreen);
        if (shown) {
            const int status = runScript(argv[5], "plug");
            if (status != 0) {
                std::fprintf(stderr, "%s plug ended with status %d\n", argv[5], status);
                shown = false;
                last = Picture{};
            } else {
                click(display, window, kActionX, kActionY);
                shown = waitUntilShown(expected);
            }
        } else {
            compared = &connectScreen;
        }
    } else {
        shown = waitUntilShown(expected);
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    // Closed as a person closes it, the program ends by itself with status 0 and no X error,
    // whatever other threads do meanwhile: on the connect road the device's hand is asked
    // from outside all the while.
    int status = -1;
    bool ended = false;
    if (shown) {
        std::atomic<bool> closing{true};
        std::thread asking([&] {
            while (connectRoad && closing.load())
                runScript(argv[5], "show");
        });
        closeWindow(display, window);
        for (int i = 0; i < 1000 && !ended; ++i) {
            ended = waitpid(pid, &status, WNOHANG) == pid;
            if (!ended)
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        closing = false;
        asking.join();
    }
    if (!exited && !ended)
        SMOKE::stop(pid);
    XCloseDisplay(display);
    const std::string said = readFile(errors);
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);

    if (shown) {
        std::printf("the window \"%s\" showed %s after %.3f s\n", SMOKE::kTitle,
                    connectRoad ? "the update offer after the plug and RESCAN" : "its first frame", seconds);
        if (!ended) {
            std::fprintf(stderr, "the program did not end within 20 s of its window's close\n");
            return 1;
        }
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || said.find("X Error") != std::string::npos) {
            std::fprintf(stderr, "closed, the program ended with %s %d; its standard error:\n%s\n",
                         WIFEXITED(status) ? "status" : "signal",
                         WIFEXITED(status) ? WEXITSTATUS(status) : WTERMSIG(status), said.c_str());
            return 1;
        }
        std::printf("closed, it ended with status 0 and no X error\n");
        return 0;
    }
    std::fprintf(stderr, "its standard error:\n%s", said.c_str());
    if (exited)
        std::fprintf(stderr, "the program ended before its window showed the picture\n");
    else if (last.pixels.empty())
        std::fprintf(stderr, "no window \"%s\" of %d x %d within %d s\n", SMOKE::kTitle, compared->width,
                     compared->height, kSeconds);
    if (!last.pixels.empty()) {
        int wrong = 0;
        for (size_t i = 0; i < last.pixels.size(); ++i)
            wrong += last.pixels[i] != compared->pixels[i];
        const std::string name = connectRoad ? "connect-road-program" : "02-update-available-program";
        writePng(name + "-FAILED.png", last);
        writePng(name + "-expected-FAILED.png", *compared);
        std::fprintf(stderr, "the window showed %d pixels other than expected; written to %s-FAILED.png\n", wrong,
                     name.c_str());
    }
    return 1;
}
