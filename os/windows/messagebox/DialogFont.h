#pragma once
// Private to os/: the font and the little canvas that the stand-in's own windows (the
// message box) draw with. The face is DejaVu Sans, linked into the library at build time,
// so a box can be drawn on any machine, with or without a display or installed fonts.
// Glyphs are rendered by FreeType with 8-bit coverage and blended onto opaque pixels.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace HA::OS::DETAIL {

// Opaque 0xAARRGGBB pixels, rows top first.
struct DialogCanvas {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;

    DialogCanvas(int w, int h, std::uint32_t colour);
    void fill(int left, int top, int right, int bottom, std::uint32_t colour);
    // A one-pixel frame along the inside of the rectangle.
    void frame(int left, int top, int right, int bottom, std::uint32_t colour);
    // Mixes `colour` into a pixel by `coverage` (0 to 255); outside the canvas nothing.
    void blend(int x, int y, std::uint32_t colour, int coverage);
};

// One face at one pixel size; any thread (each size keeps its own lock).
class DialogFont {
public:
    enum class eWeight { Regular, Bold };

    // The face at a size; null when the linked face cannot be read (said once on stderr).
    static const DialogFont* at(int pixelSize, eWeight weight = eWeight::Regular);

    int ascent() const { return mAscent; }
    int lineHeight() const { return mLineHeight; }
    // The advance of the text (UTF-32) in pixels.
    int width(const std::u32string& text) const;
    // Draws the text with its baseline at y.
    void draw(DialogCanvas& canvas, int x, int baseline, const std::u32string& text, std::uint32_t colour) const;
    // The ink box of one character relative to its origin on the baseline (top is negative).
    struct Ink {
        int left = 0, top = 0, right = 0, bottom = 0;
    };
    Ink inkOf(char32_t c) const;

    struct Face;
    DialogFont(std::unique_ptr<Face> face, int ascent, int lineHeight);
    ~DialogFont();

private:
    std::unique_ptr<Face> mFace;
    int mAscent = 0;
    int mLineHeight = 0;
};

// Lines of at most `width` pixels: the text's own line breaks kept, others at blanks, a
// word longer than a line broken between characters.
std::vector<std::u32string> wrapText(const DialogFont& font, const std::u32string& text, int width);

// Unpaired surrogates become U+FFFD.
std::u32string utf16ToUtf32(const std::u16string& text);

}  // namespace HA::OS::DETAIL
