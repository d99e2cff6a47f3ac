// Render caches: one face at one size, its metrics and its rendered glyphs.

#include "uia/graphics/text/FTRenderCache.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include FT_BITMAP_H
#include FT_OUTLINE_H
#include <hb-ft.h>
#include <hb.h>

namespace HA::UIA::DETAIL {

namespace {

// No real glyph is wider or taller than this many ems; a broken file's glyph can claim tens of
// thousands of pixels, which would take seconds and hundreds of megabytes to render.
constexpr long kMaxGlyphEms = 8;

// Whether the loaded glyph's outline or bitmap stays within the limit for the pixel size.
bool hasSaneSize(const FT_GlyphSlot slot, int pixelSize)
{
    const long limit = kMaxGlyphEms * std::max(pixelSize, 1) + 64;
    if (slot->format == FT_GLYPH_FORMAT_OUTLINE) {
        FT_BBox box;
        FT_Outline_Get_CBox(&slot->outline, &box);
        // 26.6 fixed point; the differences are taken as doubles so no coordinate overflows.
        return (double(box.xMax) - box.xMin) / 64 <= limit && (double(box.yMax) - box.yMin) / 64 <= limit;
    }
    return long(slot->bitmap.width) <= limit && long(slot->bitmap.rows) <= limit;
}

}  // namespace

FTLibrary::FTLibrary()
{
    if (FT_Init_FreeType(&mLibrary) != 0)
        mLibrary = nullptr;
}

FTLibrary::~FTLibrary()
{
    if (mLibrary)
        FT_Done_FreeType(mLibrary);
}

std::size_t FTRenderCache::tCodePointHash::operator()(char32_t codePoint) const
{
    uint32_t hash = 0x811C9DC5u;
    for (int i = 0; i < 4; ++i) {
        hash ^= (static_cast<uint32_t>(codePoint) >> (8 * i)) & 0xFF;
        hash *= 16777619u;
    }
    return hash;
}

std::shared_ptr<FTRenderCache> FTRenderCache::create(std::shared_ptr<FTLibrary> library, tFontBytes bytes,
                                                     FT_Face face, int pixelSize, bool hinting)
{
    // Metrics are scaled by units per em, which a bitmap-only font does not have; the line
    // height is the bounding box's, which a broken file may give upside down.
    if (face->units_per_EM == 0 || face->bbox.yMax < face->bbox.yMin) {
        FT_Done_Face(face);
        return nullptr;
    }
    return std::make_shared<FTRenderCache>(std::move(library), std::move(bytes), face, pixelSize, hinting);
}

FTRenderCache::FTRenderCache(std::shared_ptr<FTLibrary> library, tFontBytes bytes, FT_Face face, int pixelSize,
                             bool hinting)
    : mLibrary(std::move(library)), mBytes(std::move(bytes)), mFace(face), mPixelSize(pixelSize), mHinting(hinting)
{
    mHbFont = hb_ft_font_create_referenced(mFace);
    // Multiplied before dividing: a product that is an exact half (or whole) stays exact, so
    // lround and ceil see it as it is.
    auto scaled = [&](double fontUnits) { return fontUnits * pixelSize / mFace->units_per_EM; };
    mLineHeight = static_cast<int>(std::lround(scaled(double(mFace->bbox.yMax) - mFace->bbox.yMin)));
    mAscent = static_cast<int>(std::lround(scaled(mFace->bbox.yMax)));
    mUnderlinePosition = static_cast<int>(std::lround(scaled(mFace->underline_position)));
    mUnderlineThickness = static_cast<int>(std::ceil(scaled(mFace->underline_thickness)));
    if (mAscent - mUnderlinePosition >= mLineHeight)
        ++mLineHeight;
    mGlyphs.max_load_factor(1.0f);
    mGlyphs.rehash(8);
}

FTRenderCache::~FTRenderCache()
{
    hb_font_destroy(mHbFont);
    FT_Done_Face(mFace);
}

const FTRenderCache::tGlyph* FTRenderCache::getGlyph(char32_t codePoint)
{
    const auto found = mGlyphs.find(codePoint);
    if (found != mGlyphs.end())
        return &found->second;
    const FT_Int32 flags = mHinting ? FT_LOAD_NO_AUTOHINT : FT_LOAD_NO_HINTING;
    tGlyph glyph;
    const FT_GlyphSlot slot = mFace->glyph;
    // A code point outside the character map would load the font's empty-box glyph; it is
    // shown as '?' like one that fails to render, and so is a glyph of absurd size. Loaded
    // first and rendered once its size is known.
    if (FT_Get_Char_Index(mFace, codePoint) == 0 || FT_Load_Char(mFace, codePoint, flags) != 0 ||
        !hasSaneSize(slot, mPixelSize) ||
        (slot->format != FT_GLYPH_FORMAT_BITMAP && FT_Render_Glyph(slot, FT_RENDER_MODE_NORMAL) != 0) ||
        slot->format != FT_GLYPH_FORMAT_BITMAP ||
        !copyCoverage(mLibrary->get(), slot->bitmap, glyph))
        return codePoint == U'?' ? nullptr : getGlyph(U'?');
    glyph.advance = static_cast<int>(slot->advance.x);
    glyph.top = slot->bitmap_top;
    glyph.left = slot->bitmap_left;
    return &mGlyphs.emplace(codePoint, std::move(glyph)).first->second;
}

bool copyCoverage(FT_Library library, const FT_Bitmap& bitmap, FTRenderCache::tGlyph& glyph)
{
    glyph.width = glyph.rows = glyph.pitch = 0;
    glyph.coverage.clear();
    if (bitmap.width == 0 || bitmap.rows == 0)
        return true;  // nothing to ink, a blank for instance
    if (!bitmap.buffer)
        return false;

    FT_Bitmap converted;
    FT_Bitmap_Init(&converted);
    const FT_Bitmap* source = &bitmap;
    if (bitmap.pixel_mode != FT_PIXEL_MODE_GRAY) {
        if (FT_Bitmap_Convert(library, &bitmap, &converted, 1) != 0) {
            FT_Bitmap_Done(library, &converted);
            return false;
        }
        source = &converted;
    }

    // A negative pitch means the rows run upwards in memory: the top row is the last one.
    const long pitch = source->pitch;
    const unsigned long stride = static_cast<unsigned long>(std::labs(pitch));
    const unsigned char* top = pitch >= 0 ? source->buffer : source->buffer + (source->rows - 1) * stride;
    const unsigned levels = source->num_grays;
    const unsigned width = source->width;
    const unsigned rows = source->rows;
    glyph.coverage.resize(static_cast<std::size_t>(width) * rows);
    for (unsigned r = 0; r < rows; ++r) {
        const unsigned char* row = top + static_cast<long>(r) * pitch;
        unsigned char* out = glyph.coverage.data() + static_cast<std::size_t>(r) * width;
        for (unsigned c = 0; c < width; ++c) {
            unsigned v = row[c];
            if (levels > 1 && levels != 256)
                v = std::min(255u, v * 255u / (levels - 1));
            out[c] = static_cast<unsigned char>(v);
        }
    }
    glyph.width = static_cast<int>(width);
    glyph.rows = static_cast<int>(rows);
    glyph.pitch = static_cast<int>(width);
    if (source == &converted)
        FT_Bitmap_Done(library, &converted);
    return true;
}

}  // namespace HA::UIA::DETAIL
