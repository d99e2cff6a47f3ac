#pragma once
// Small pictures for the picture tests: coordinate-coded sources and maps of what a
// destination holds.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "uia/graphics/picture/Picture.h"

namespace HA::UIA::TEST {

// Colour outside every drawn area; it must survive untouched.
constexpr uint32_t kSentinel = 0x5A123456;

// Opaque pixel that names its own position (x, y < 16 for the maps below).
inline uint32_t coded(int x, int y) { return 0xFF000000u | uint32_t(x) << 8 | uint32_t(y); }

// A grey of value v in all three colour bytes.
inline uint32_t grey(uint32_t alpha, uint32_t v) { return alpha << 24 | v << 16 | v << 8 | v; }

inline void makePicture(Picture& picture, int width, int height, uint32_t colour)
{
    ASSERT_TRUE(picture.setSize(width, height, Picture::eBlock::Discard));
    picture.fill(colour);
}

// A source whose every pixel is coded(x, y) of its buffer position.
inline void makeCodedPicture(Picture& picture, int width, int height)
{
    makePicture(picture, width, height, 0);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            picture.getPixels()[y * width + x] = coded(x, y);
}

inline uint32_t pixel(const Picture& picture, int x, int y)
{
    return picture.getPixels()[y * picture.getWidth() + x];
}

// One string per row, one cell per pixel: ".." for the sentinel, the two hex digits x and y
// for a coded pixel, "??" for anything else; cells separated by blanks.
inline std::vector<std::string> codedMap(const Picture& picture)
{
    static const char* digits = "0123456789abcdef";
    std::vector<std::string> rows;
    for (int y = 0; y < picture.getHeight(); ++y) {
        std::string row;
        for (int x = 0; x < picture.getWidth(); ++x) {
            const uint32_t p = pixel(picture, x, y);
            if (!row.empty())
                row += ' ';
            if (p == kSentinel)
                row += "..";
            else if ((p & 0xFFFF0000u) == 0xFF000000u && ((p >> 8) & 0xFF) < 16 && (p & 0xFF) < 16) {
                row += digits[(p >> 8) & 0xFF];
                row += digits[p & 0xFF];
            } else
                row += "??";
        }
        rows.push_back(row);
    }
    return rows;
}

// One character per pixel: '.' for the sentinel, '#' for anything else.
inline std::vector<std::string> touchedMap(const Picture& picture)
{
    std::vector<std::string> rows;
    for (int y = 0; y < picture.getHeight(); ++y) {
        std::string row;
        for (int x = 0; x < picture.getWidth(); ++x)
            row += pixel(picture, x, y) == kSentinel ? '.' : '#';
        rows.push_back(row);
    }
    return rows;
}

}  // namespace HA::UIA::TEST
