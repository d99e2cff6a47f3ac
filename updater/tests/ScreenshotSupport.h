#pragma once
// Screenshots of the updater's window: 24-bit PNG files through libpng, and the comparison
// with the committed pictures, which writes <name>-FAILED.png and <name>-expected-FAILED.png
// into the working folder on a mismatch.

#include <gtest/gtest.h>

#include <png.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace HA::TEST {

// 0x00RRGGBB words, rows top first.
struct Screenshot {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;

    std::uint32_t& at(int x, int y) { return pixels[size_t(y) * size_t(width) + size_t(x)]; }
};

inline bool writeScreenshot(const std::string& file, const Screenshot& shot)
{
    std::vector<png_byte> rgb;
    rgb.reserve(shot.pixels.size() * 3);
    for (std::uint32_t p : shot.pixels)
        rgb.insert(rgb.end(), {png_byte(p >> 16), png_byte(p >> 8), png_byte(p)});
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = png_uint_32(shot.width);
    image.height = png_uint_32(shot.height);
    image.format = PNG_FORMAT_RGB;
    return png_image_write_to_file(&image, file.c_str(), 0, rgb.data(), 0, nullptr) != 0;
}

// False when the file is missing or not a picture.
inline bool readScreenshot(const std::string& file, Screenshot& shot)
{
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, file.c_str()))
        return false;
    image.format = PNG_FORMAT_RGB;
    std::vector<png_byte> rgb(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr))
        return false;
    shot.width = int(image.width);
    shot.height = int(image.height);
    shot.pixels.resize(size_t(shot.width) * size_t(shot.height));
    for (size_t i = 0; i < shot.pixels.size(); ++i)
        shot.pixels[i] = std::uint32_t(rgb[3 * i]) << 16 | std::uint32_t(rgb[3 * i + 1]) << 8 | rgb[3 * i + 2];
    return true;
}

inline ::testing::AssertionResult sameScreenshot(const Screenshot& shown, const std::string& expectedFile,
                                                 const std::string& name)
{
    Screenshot expected;
    std::string why;
    if (!readScreenshot(expectedFile, expected)) {
        why = "cannot read " + expectedFile;
    } else if (expected.width != shown.width || expected.height != shown.height) {
        why = name + ": the window shows " + std::to_string(shown.width) + " x " + std::to_string(shown.height) +
              ", the picture is " + std::to_string(expected.width) + " x " + std::to_string(expected.height);
    } else {
        int wrong = 0;
        size_t first = 0;
        for (size_t i = 0; i < shown.pixels.size(); ++i)
            if (shown.pixels[i] != expected.pixels[i] && wrong++ == 0)
                first = i;
        if (!wrong)
            return ::testing::AssertionSuccess();
        why = name + ": " + std::to_string(wrong) + " pixels differ, the first at " +
              std::to_string(first % size_t(shown.width)) + "," + std::to_string(first / size_t(shown.width));
    }
    writeScreenshot(name + "-FAILED.png", shown);
    if (expected.width > 0)
        writeScreenshot(name + "-expected-FAILED.png", expected);
    return ::testing::AssertionFailure() << why << "; written to " << name << "-FAILED.png";
}

}  // namespace HA::TEST
