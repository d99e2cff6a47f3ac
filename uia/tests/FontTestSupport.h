#pragma once
// Fonts for the font tests: the updater's own font files, each test with a context of its own.

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "gp/src/common/storage/MemoryStorage.h"
#include "gp/src/common/storage/Stream.h"
#include "os/kernel/Process.h"
#include "uia/graphics/picture/Picture.h"
#include "uia/graphics/text/Font.h"
#include "uia/graphics/text/FreeTypeContext.h"

namespace HA::UIA::TEST {

constexpr const char* kSansPath = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
constexpr const char* kCondensedPath = "/usr/share/fonts/truetype/dejavu/DejaVuSansCondensed.ttf";

// FreeType reads its settings from the environment when a library starts: keep them out.
inline const bool kFreeTypePropertiesCleared =
    (OS::setEnvironmentVariable("FREETYPE_PROPERTIES", std::nullopt), true);

inline std::vector<unsigned char> readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), {});
}

inline const std::vector<unsigned char>& sansBytes()
{
    static const std::vector<unsigned char> bytes = readFile(kSansPath);
    return bytes;
}

// A font read from bytes, as from a skin-folder file.
inline std::unique_ptr<Font> fontFromBytes(const std::vector<unsigned char>& bytes, const FontDesc& description)
{
    static_cast<void>(kFreeTypePropertiesCleared);
    GP::MemoryStorage storage;
    storage.attachReadOnly(bytes.data(), static_cast<uint32_t>(bytes.size()));
    GP::Stream stream(&storage);
    return std::make_unique<Font>(stream, description);
}

inline FontDesc sansDesc(FreeTypeContext& engine, int size, unsigned flags = 0)
{
    FontDesc description;
    description.name = "DejaVuSans.ttf";
    description.size = size;
    description.flags = flags;
    description.engine = &engine;
    return description;
}

// Bounding box of the pixels that differ from background; empty when none does.
inline GP::Rect inkBounds(const Picture& picture, uint32_t background)
{
    GP::Rect box{INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN};
    for (int y = 0; y < picture.getHeight(); ++y)
        for (int x = 0; x < picture.getWidth(); ++x)
            if (picture.getPixels()[y * picture.getWidth() + x] != background) {
                box.left = std::min(box.left, x);
                box.top = std::min(box.top, y);
                box.right = std::max(box.right, x + 1);
                box.bottom = std::max(box.bottom, y + 1);
            }
    return box.left == INT32_MAX ? GP::Rect{} : box;
}

// The rows and columns of a glyph record that hold coverage, as a rectangle relative to the
// bitmap's top-left corner.
inline GP::Rect glyphInk(const Font::tGlyph& glyph)
{
    GP::Rect box{INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN};
    for (int r = 0; r < glyph.rows; ++r)
        for (int c = 0; c < glyph.width; ++c)
            if (glyph.coverage[r * glyph.pitch + c] != 0) {
                box.left = std::min(box.left, c);
                box.top = std::min(box.top, r);
                box.right = std::max(box.right, c + 1);
                box.bottom = std::max(box.bottom, r + 1);
            }
    return box.left == INT32_MAX ? GP::Rect{} : box;
}

}  // namespace HA::UIA::TEST
