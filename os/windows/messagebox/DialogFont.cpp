#include "os/windows/messagebox/DialogFont.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H

#include <algorithm>
#include <cstdio>
#include <map>
#include <mutex>
#include <utility>

// The face linked by os/CMakeLists.txt.
extern "C" const unsigned char ha_os_dialog_font[];
extern "C" const unsigned char ha_os_dialog_font_end[];

namespace HA::OS::DETAIL {

DialogCanvas::DialogCanvas(int w, int h, std::uint32_t colour)
    : width(std::max(w, 0)), height(std::max(h, 0)), pixels(static_cast<size_t>(width) * height, colour)
{
}

void DialogCanvas::fill(int left, int top, int right, int bottom, std::uint32_t colour)
{
    left = std::max(left, 0);
    top = std::max(top, 0);
    right = std::min(right, width);
    bottom = std::min(bottom, height);
    for (int y = top; y < bottom; ++y)
        std::fill(pixels.begin() + static_cast<std::ptrdiff_t>(y) * width + left,
                  pixels.begin() + static_cast<std::ptrdiff_t>(y) * width + right, colour);
}

void DialogCanvas::frame(int left, int top, int right, int bottom, std::uint32_t colour)
{
    fill(left, top, right, top + 1, colour);
    fill(left, bottom - 1, right, bottom, colour);
    fill(left, top, left + 1, bottom, colour);
    fill(right - 1, top, right, bottom, colour);
}

void DialogCanvas::blend(int x, int y, std::uint32_t colour, int coverage)
{
    if (x < 0 || y < 0 || x >= width || y >= height || coverage <= 0)
        return;
    coverage = std::min(coverage, 255);
    std::uint32_t& p = pixels[static_cast<size_t>(y) * width + x];
    std::uint32_t out = 0xFF000000u;
    for (int shift = 0; shift < 24; shift += 8) {
        const int under = (p >> shift) & 0xFF, over = (colour >> shift) & 0xFF;
        out |= static_cast<std::uint32_t>((under * (255 - coverage) + over * coverage + 127) / 255) << shift;
    }
    p = out;
}

struct DialogFont::Face {
    std::mutex mutex;  // a face is not safe across threads
    FT_Face face = nullptr;
    bool bold = false;

    ~Face()
    {
        if (face)
            FT_Done_Face(face);
    }

    // Loads one glyph's outline and advance; false when the face has no usable glyph for it.
    bool load(char32_t c)
    {
        const FT_UInt index = FT_Get_Char_Index(face, c);
        if (FT_Load_Glyph(face, index, FT_LOAD_TARGET_LIGHT | FT_LOAD_NO_BITMAP) != 0)
            return false;
        if (bold && face->glyph->format == FT_GLYPH_FORMAT_OUTLINE) {
            // Thicker strokes, the advance widened by the same amount.
            const FT_Pos strength = FT_MulFix(face->units_per_EM, face->size->metrics.y_scale) / 14;
            FT_Outline_Embolden(&face->glyph->outline, strength);
            face->glyph->advance.x += strength;
        }
        return true;
    }
    // Loads and renders one glyph into 8-bit coverage.
    bool render(char32_t c) { return load(c) && FT_Render_Glyph(face->glyph, FT_RENDER_MODE_NORMAL) == 0; }
};

namespace {

FT_Library library()
{
    static FT_Library lib = [] {
        FT_Library l = nullptr;
        if (FT_Init_FreeType(&l) != 0)
            l = nullptr;
        return l;
    }();
    return lib;
}

}  // namespace

DialogFont::DialogFont(std::unique_ptr<Face> face, int ascent, int lineHeight)
    : mFace(std::move(face)), mAscent(ascent), mLineHeight(lineHeight)
{
}

DialogFont::~DialogFont() = default;

const DialogFont* DialogFont::at(int pixelSize, eWeight weight)
{
    static std::mutex mutex;
    static auto* fonts = new std::map<std::pair<int, bool>, std::unique_ptr<DialogFont>>;  // kept until exit
    static bool told = false;
    const bool bold = weight == eWeight::Bold;
    std::lock_guard<std::mutex> lock(mutex);
    auto it = fonts->find({pixelSize, bold});
    if (it != fonts->end())
        return it->second.get();
    auto face = std::make_unique<Face>();
    face->bold = bold;
    FT_Library lib = library();
    if (!lib || pixelSize <= 0 ||
        FT_New_Memory_Face(lib, ha_os_dialog_font, static_cast<FT_Long>(ha_os_dialog_font_end - ha_os_dialog_font), 0, &face->face) != 0 ||
        FT_Set_Pixel_Sizes(face->face, 0, static_cast<FT_UInt>(pixelSize)) != 0) {
        if (!told)
            std::fprintf(stderr, "os: the dialog font cannot be read; boxes show no text\n");
        told = true;
        return nullptr;
    }
    // Line metrics from the face's typographic values, not its tall bounding box.
    const FT_Size_Metrics& m = face->face->size->metrics;
    const int ascent = static_cast<int>((m.ascender + 63) >> 6);
    const int lineHeight = static_cast<int>((m.height + 63) >> 6);
    auto font = std::make_unique<DialogFont>(std::move(face), ascent, lineHeight);
    const DialogFont* result = font.get();
    fonts->emplace(std::make_pair(pixelSize, bold), std::move(font));
    return result;
}

int DialogFont::width(const std::u32string& text) const
{
    std::lock_guard<std::mutex> lock(mFace->mutex);
    long advance = 0;
    for (char32_t c : text)
        if (mFace->load(c))  // measuring needs no pixels
            advance += mFace->face->glyph->advance.x;
    return static_cast<int>((advance + 32) >> 6);
}

void DialogFont::draw(DialogCanvas& canvas, int x, int baseline, const std::u32string& text, std::uint32_t colour) const
{
    std::lock_guard<std::mutex> lock(mFace->mutex);
    long pen = static_cast<long>(x) << 6;
    for (char32_t c : text) {
        if (!mFace->load(c))
            continue;
        const FT_GlyphSlot g = mFace->face->glyph;
        const FT_Pos advance = g->advance.x;  // as width() measures it, drawn or not
        if (FT_Render_Glyph(g, FT_RENDER_MODE_NORMAL) == 0) {
            const FT_Bitmap& b = g->bitmap;
            const int left = static_cast<int>((pen + 32) >> 6) + g->bitmap_left, top = baseline - g->bitmap_top;
            for (unsigned row = 0; row < b.rows; ++row)
                for (unsigned col = 0; col < b.width; ++col)
                    canvas.blend(left + static_cast<int>(col), top + static_cast<int>(row), colour,
                                 b.buffer[row * static_cast<unsigned>(b.pitch) + col]);
        }
        pen += advance;
    }
}

DialogFont::Ink DialogFont::inkOf(char32_t c) const
{
    std::lock_guard<std::mutex> lock(mFace->mutex);
    Ink ink;
    if (!mFace->render(c))
        return ink;
    const FT_GlyphSlot g = mFace->face->glyph;
    ink.left = g->bitmap_left;
    ink.top = -g->bitmap_top;
    ink.right = ink.left + static_cast<int>(g->bitmap.width);
    ink.bottom = ink.top + static_cast<int>(g->bitmap.rows);
    return ink;
}

std::vector<std::u32string> wrapText(const DialogFont& font, const std::u32string& text, int width)
{
    std::vector<std::u32string> lines;
    size_t start = 0;
    for (;;) {
        size_t end = text.find(U'\n', start);
        std::u32string paragraph = text.substr(start, end == std::u32string::npos ? std::u32string::npos : end - start);
        if (!paragraph.empty() && paragraph.back() == U'\r')
            paragraph.pop_back();
        std::u32string line;
        size_t word = 0;
        while (word <= paragraph.size()) {
            const size_t blank = paragraph.find(U' ', word);
            std::u32string next = paragraph.substr(word, blank == std::u32string::npos ? std::u32string::npos : blank - word);
            std::u32string longer = line.empty() ? next : line + U' ' + next;
            if (font.width(longer) <= width) {
                line = std::move(longer);
            } else {
                if (!line.empty())
                    lines.push_back(std::move(line));
                line.clear();
                // A word wider than a line goes in pieces (measured piece by piece, never
                // the whole rest, which may be long).
                for (;;) {
                    size_t fit = 0;
                    while (fit < next.size() && font.width(next.substr(0, fit + 1)) <= width)
                        ++fit;
                    if (fit == next.size())
                        break;
                    fit = std::max<size_t>(fit, 1);
                    lines.push_back(next.substr(0, fit));
                    next.erase(0, fit);
                }
                line = std::move(next);
            }
            if (blank == std::u32string::npos)
                break;
            word = blank + 1;
        }
        lines.push_back(std::move(line));
        if (end == std::u32string::npos)
            break;
        start = end + 1;
    }
    return lines;
}

std::u32string utf16ToUtf32(const std::u16string& text)
{
    std::u32string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000) {
            out.push_back(0x10000 + ((static_cast<char32_t>(c) - 0xD800) << 10) + (text[i + 1] - 0xDC00));
            ++i;
        } else if (c >= 0xD800 && c < 0xE000) {
            out.push_back(0xFFFD);
        } else {
            out.push_back(c);
        }
    }
    return out;
}

}  // namespace HA::OS::DETAIL
