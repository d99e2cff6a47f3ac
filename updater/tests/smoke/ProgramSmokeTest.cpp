// The real program on a virtual X server: starts the updater, reads its window back from the
// server until it shows the expected picture (at most 30 s), prints how long the first frame
// took (nothing is compared with that time) and ends the program by its process id.
//
//   updater_program_smoke <program> <expected.png> <folder for the run's state>
//
// Run under xvfb-run. Exit status 0 when the window showed the picture.

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <png.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "updater/tests/smoke/SmokeSupport.h"

using namespace HA;

namespace {

constexpr int kSeconds = 30;

struct Picture {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;  // 0x00RRGGBB
};

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
    Picture shown;
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(display, window, &attributes) || attributes.width != width ||
        attributes.height != height)
        return shown;
    XImage* image = XGetImage(display, window, 0, 0, unsigned(width), unsigned(height), AllPlanes, ZPixmap);
    if (!image)
        return shown;
    shown.width = width;
    shown.height = height;
    shown.pixels.resize(size_t(width) * size_t(height));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            shown.pixels[size_t(y) * size_t(width) + size_t(x)] = std::uint32_t(XGetPixel(image, x, y)) & 0xFFFFFF;
    XDestroyImage(image);
    return shown;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s <program> <expected.png> <state folder>\n", argv[0]);
        return 2;
    }
    Picture expected;
    if (!readPng(argv[2], expected)) {
        std::fprintf(stderr, "cannot read %s\n", argv[2]);
        return 2;
    }
    Display* display = SMOKE::openDisplay();
    if (!display)
        return 2;
    const std::string folder = SMOKE::makeRunFolder(argv[3]);
    if (folder.empty())
        return 2;
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = SMOKE::spawn({argv[1]});
    if (pid <= 0) {
        std::fprintf(stderr, "cannot start %s\n", argv[1]);
        return 2;
    }

    Picture last;
    bool shown = false, exited = false;
    while (std::chrono::steady_clock::now() - start < std::chrono::seconds(kSeconds)) {
        if (waitpid(pid, nullptr, WNOHANG) == pid) {
            exited = true;
            break;
        }
        if (Window window = SMOKE::findWindow(display, DefaultRootWindow(display), SMOKE::kTitle, true)) {
            Picture now = readBack(display, window, expected.width, expected.height);
            if (!now.pixels.empty())
                last = now;
            if (now.pixels == expected.pixels) {
                shown = true;
                break;
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (!exited)
        SMOKE::stop(pid);
    XCloseDisplay(display);
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);

    if (shown) {
        std::printf("the window \"%s\" showed its first frame after %.3f s\n", SMOKE::kTitle, seconds);
        return 0;
    }
    if (exited)
        std::fprintf(stderr, "the program ended before its window showed the picture\n");
    else if (last.pixels.empty())
        std::fprintf(stderr, "no window \"%s\" of %d x %d within %d s\n", SMOKE::kTitle, expected.width, expected.height,
                     kSeconds);
    if (!last.pixels.empty()) {
        int wrong = 0;
        for (size_t i = 0; i < last.pixels.size(); ++i)
            wrong += last.pixels[i] != expected.pixels[i];
        writePng("02-update-available-program-FAILED.png", last);
        writePng("02-update-available-program-expected-FAILED.png", expected);
        std::fprintf(stderr, "the window showed %d pixels other than expected; written to "
                             "02-update-available-program-FAILED.png\n", wrong);
    }
    return 1;
}
