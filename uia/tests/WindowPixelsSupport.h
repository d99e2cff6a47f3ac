#pragma once
// Compares what a window shows with an expected picture. On a mismatch both are written as
// PNG files into the folder the test started in, <name>-FAILED.png (what the window shows) and
// <name>-expected-FAILED.png, so that a person can look.

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "os/windows/drawing/Drawing.h"
#include "uia/tests/LoaderTestSupport.h"

namespace HA::UIA::TEST {

// 0xAARRGGBB words, rows top first.
struct ExpectedPixels {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;

    ExpectedPixels() = default;
    ExpectedPixels(int w, int h, uint32_t fill) : width(w), height(h), pixels(size_t(w) * size_t(h), fill) {}
    uint32_t& at(int x, int y) { return pixels[size_t(y) * size_t(width) + size_t(x)]; }
};

// The folder the test executable started in. Tests that work in a scratch folder remove it at
// the end, so failure pictures named relatively are written here, where a person looks.
inline const std::filesystem::path& testOutputFolder()
{
    static const std::filesystem::path folder = std::filesystem::current_path();
    return folder;
}
inline const bool kTestOutputFolderKnown = !testOutputFolder().empty();

inline void writePixelsPng(const std::string& name, int width, int height, const std::vector<uint32_t>& pixels)
{
    std::filesystem::path file(name);
    if (file.is_relative())
        file = testOutputFolder() / file;
    PngImage image;
    image.width = uint32_t(width);
    image.height = uint32_t(height);
    image.colourType = PNG_COLOR_TYPE_RGB_ALPHA;
    for (int y = 0; y < height; ++y) {
        Bytes row;
        for (int x = 0; x < width; ++x) {
            uint32_t p = pixels[size_t(y) * size_t(width) + size_t(x)];
            row.insert(row.end(), {uint8_t(p >> 16), uint8_t(p >> 8), uint8_t(p), uint8_t(p >> 24)});
        }
        image.rows.push_back(row);
    }
    Bytes png = encodePng(image);
    std::ofstream(file.string(), std::ios::binary).write(reinterpret_cast<const char*>(png.data()), std::streamsize(png.size()));
}

inline ::testing::AssertionResult windowShows(OS::HWND hwnd, const ExpectedPixels& expected, const std::string& name)
{
    OS::WindowPixels shown;
    if (!OS::readWindowPixels(hwnd, shown))
        return ::testing::AssertionFailure() << name << ": no such window";
    std::ostringstream why;
    if (shown.width != expected.width || shown.height != expected.height) {
        why << name << ": the window shows " << shown.width << " x " << shown.height << ", expected " << expected.width
            << " x " << expected.height;
    } else {
        int wrong = 0;
        for (int y = 0; y < shown.height; ++y)
            for (int x = 0; x < shown.width; ++x)
                if (shown.at(x, y) != expected.pixels[size_t(y) * size_t(expected.width) + size_t(x)] && wrong++ == 0)
                    why << name << ": first difference at " << x << "," << y << ": " << hex(shown.at(x, y))
                        << " instead of " << hex(expected.pixels[size_t(y) * size_t(expected.width) + size_t(x)]);
        if (!wrong)
            return ::testing::AssertionSuccess();
        why << " (" << wrong << " pixels differ)";
    }
    if (shown.width > 0 && shown.height > 0)
        writePixelsPng(name + "-FAILED.png", shown.width, shown.height, shown.pixels);
    if (expected.width > 0 && expected.height > 0)
        writePixelsPng(name + "-expected-FAILED.png", expected.width, expected.height, expected.pixels);
    return ::testing::AssertionFailure() << why.str() << "; written to " << name << "-FAILED.png";
}

}  // namespace HA::UIA::TEST
