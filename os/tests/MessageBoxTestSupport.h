#pragma once
// Helpers for tests that meet a message box as a window: steps that run on the test's
// thread from inside the box's own message loop (a thread timer on the clock), finding the
// box, clicking its buttons and typing into it through the input injector.

#include <gtest/gtest.h>

#include <png.h>

#include <cstring>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "os/windows/Drawing.h"

#include "os/windows/Input.h"
#include "os/windows/MessageBox.h"
#include "os/windows/WindowTimer.h"

namespace HA::OS::Testing {

// Set-1 scan codes of the keys a box knows.
constexpr int kScanEscape = 0x01;
constexpr int kScanTab = 0x0F;
constexpr int kScanEnter = 0x1C;
constexpr int kScanShift = 0x2A;
constexpr int kScanSpace = 0x39;
constexpr int kScanAlt = 0x38;
constexpr int kScanF4 = 0x3E;
constexpr int kScanLeft = 0x4B;   // extended
constexpr int kScanRight = 0x4D;  // extended

// Runs `step` once, `ms` of clock time from now, from the calling thread's message loop.
inline void later(UINT ms, std::function<void()> step)
{
    static std::function<void()> sStep;
    static UINT_PTR sTimer = 0;
    sStep = std::move(step);
    sTimer = setThreadTimer(ms, [](HWND, UINT, UINT_PTR, DWORD) {
        killThreadTimer(sTimer);
        auto run = std::move(sStep);
        sStep = nullptr;
        if (run)
            run();
    });
    ASSERT_NE(sTimer, 0u);
}

// The box on the screen (the newest top-level window of its class), or null.
inline HWND findBox() { return findWindow(u"#32770", WString()); }

inline bool clickButton(HWND box, int id)
{
    RECT r{};
    if (!messageBoxButtonRect(box, id, r))
        return false;
    const int x = (r.left + r.right) / 2, y = (r.top + r.bottom) / 2;
    return INPUT::moveTo(x, y) && INPUT::button(1, true, x, y) && INPUT::button(1, false, x, y);
}

inline void tapKey(int scan, bool extended = false) { INPUT::tap(scan, extended); }

inline void altF4()
{
    INPUT::key(kScanAlt, true);
    INPUT::tap(kScanF4);
    INPUT::key(kScanAlt, false);
}

// Compares what a window shows with a stored picture (24-bit PNG) in the test pictures
// folder; on a mismatch writes <name>-FAILED.png and <name>-expected-FAILED.png into the
// working folder.
inline ::testing::AssertionResult looksLike(HWND hwnd, const std::string& name)
{
    WindowPixels shown;
    if (!readWindowPixels(hwnd, shown))
        return ::testing::AssertionFailure() << "no pixels of " << name;
    auto write = [](const std::string& file, int width, int height, const std::vector<std::uint32_t>& argb) {
        std::vector<png_byte> rgb;
        for (std::uint32_t p : argb)
            rgb.insert(rgb.end(), {png_byte(p >> 16), png_byte(p >> 8), png_byte(p)});
        png_image image;
        std::memset(&image, 0, sizeof image);
        image.version = PNG_IMAGE_VERSION;
        image.width = png_uint_32(width);
        image.height = png_uint_32(height);
        image.format = PNG_FORMAT_RGB;
        png_image_write_to_file(&image, file.c_str(), 0, rgb.data(), 0, nullptr);
    };
    const std::string file = std::string(HA_OS_TEST_PICTURES) + "/" + name + ".png";
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    std::vector<std::uint32_t> expected;
    if (png_image_begin_read_from_file(&image, file.c_str())) {
        image.format = PNG_FORMAT_RGB;
        std::vector<png_byte> rgb(PNG_IMAGE_SIZE(image));
        if (png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr))
            for (size_t i = 0; i + 2 < rgb.size(); i += 3)
                expected.push_back(0xFF000000u | std::uint32_t(rgb[i]) << 16 | std::uint32_t(rgb[i + 1]) << 8 |
                                   rgb[i + 2]);
    }
    std::vector<std::uint32_t> opaque = shown.pixels;
    for (std::uint32_t& p : opaque)
        p |= 0xFF000000u;
    if (int(image.width) == shown.width && int(image.height) == shown.height && expected == opaque)
        return ::testing::AssertionSuccess();
    write(name + "-FAILED.png", shown.width, shown.height, opaque);
    if (!expected.empty())
        write(name + "-expected-FAILED.png", int(image.width), int(image.height), expected);
    return ::testing::AssertionFailure() << name << " (" << shown.width << " x " << shown.height
                                         << ") differs from " << file << "; written to " << name << "-FAILED.png";
}

}  // namespace HA::OS::Testing
