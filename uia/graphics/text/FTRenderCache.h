#pragma once
// One FreeType face at one pixel size and hinting, with its metrics and the glyph bitmaps
// rendered so far. Render caches are shared between fonts (FreeTypeContext) and belong to the
// user-interface thread.

#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

#include <ft2build.h>
#include FT_FREETYPE_H

struct hb_font_t;

namespace HA::UIA::DETAIL {

// The FreeType library of one context. Render caches share it, so it is done only after the
// last face made with it, whatever order the context and the fonts end in.
class FTLibrary {
public:
    FTLibrary();
    ~FTLibrary();
    FTLibrary(const FTLibrary&) = delete;
    FTLibrary& operator=(const FTLibrary&) = delete;

    // Null when FreeType could not start; every face then fails to open.
    FT_Library get() const { return mLibrary; }

private:
    FT_Library mLibrary = nullptr;
};

using tFontBytes = std::shared_ptr<const std::vector<unsigned char>>;

class FTRenderCache {
public:
    // One rendered glyph.
    struct tGlyph {
        int advance = 0;  // horizontal advance in 1/64 pixel
        int top = 0;      // rows from the baseline up to the bitmap's first row
        int left = 0;     // columns from the pen position to the bitmap's first column
        int width = 0;
        int rows = 0;
        int pitch = 0;    // bytes from one row of coverage to the next (never negative)
        std::vector<unsigned char> coverage;  // pitch x rows bytes of 8-bit coverage, top row first
    };

    // Takes the face (and releases it on failure). Null when the face has no units per em (a
    // bitmap-only font), whose metrics cannot be scaled. The library and the bytes the face
    // was opened over are kept for as long as the cache lives.
    static std::shared_ptr<FTRenderCache> create(std::shared_ptr<FTLibrary> library, tFontBytes bytes,
                                                 FT_Face face, int pixelSize, bool hinting);

    // Use create(); public only so that make_shared can reach it.
    FTRenderCache(std::shared_ptr<FTLibrary> library, tFontBytes bytes, FT_Face face, int pixelSize,
                  bool hinting);
    ~FTRenderCache();
    FTRenderCache(const FTRenderCache&) = delete;
    FTRenderCache& operator=(const FTRenderCache&) = delete;

    // The glyph of a code point, rendered on first use and kept. A code point that the font
    // lacks or cannot render gives the glyph of '?', and null when '?' fails too.
    const tGlyph* getGlyph(char32_t codePoint);

    int getPixelSize() const { return mPixelSize; }
    bool getHinting() const { return mHinting; }
    int getLineHeight() const { return mLineHeight; }
    int getAscent() const { return mAscent; }
    int getUnderlinePosition() const { return mUnderlinePosition; }  // negative below the baseline
    int getUnderlineThickness() const { return mUnderlineThickness; }
    FT_Face getFace() const { return mFace; }
    hb_font_t* getHarfBuzzFont() const { return mHbFont; }

private:
    // 32-bit FNV-1a over the code point's bytes, lowest first.
    struct tCodePointHash {
        std::size_t operator()(char32_t codePoint) const;
    };

    // Declared first so that they go last: the face needs both.
    std::shared_ptr<FTLibrary> mLibrary;
    tFontBytes mBytes;
    FT_Face mFace;
    hb_font_t* mHbFont = nullptr;
    int mPixelSize;
    bool mHinting;
    int mLineHeight = 0;
    int mAscent = 0;
    int mUnderlinePosition = 0;
    int mUnderlineThickness = 0;
    std::unordered_map<char32_t, tGlyph, tCodePointHash> mGlyphs;
};

// Copies a rendered bitmap into a glyph's coverage as 8-bit values 0 to 255, top row first,
// whatever its pixel mode (1-bit and 2- or 4-bit strikes are converted) and row direction.
// False, with the glyph's bitmap left empty, when the bitmap cannot be converted.
bool copyCoverage(FT_Library library, const FT_Bitmap& bitmap, FTRenderCache::tGlyph& glyph);

}  // namespace HA::UIA::DETAIL
