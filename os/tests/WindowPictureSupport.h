#pragma once
// Picture tests of windows: what a window shows against a stored picture.

#include <gtest/gtest.h>

#include <png.h>

#include <cstring>
#include <string>
#include <vector>

#include "os/windows/drawing/Drawing.h"

namespace HA::OS::Testing {

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
