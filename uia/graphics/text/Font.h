#pragma once
// A font rendered with FreeType: measures UTF-8 text, finds how much of it fits a width and
// draws multi-line text into a picture. One render cache per display scale; the caches are
// shared with other fonts through the FreeTypeContext. User-interface thread only.
//
// Text is UTF-8 and ends at its first NUL. Invalid UTF-8 throws std::out_of_range
// ("Invalid UTF-8 sequence encountered while trying to encode UTF-32 character").
// A font that could not be made has no cache: every text is 0 wide, the line height is 10 and
// nothing is drawn.

#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "gp/src/common/geometry/Geometry.h"
#include "uia/graphics/text/FTRenderCache.h"
#include "uia/graphics/text/FontDesc.h"
#include "uia/graphics/text/FreeTypeContext.h"

namespace HA::GP {
class Stream;
class TextAbbreviator;
}  // namespace HA::GP

namespace HA::UIA {

class Picture;

class Font {
public:
    using tGlyph = DETAIL::FTRenderCache::tGlyph;

    // drawText and getFittingLength: horizontal alignment is centred unless AlignRight or
    // AlignLeft is given, vertical alignment centred unless AlignBottom or AlignTop is.
    enum eTextFlags : unsigned {
        AlignRight = 0x1,
        AlignBottom = 0x10,
        AlignTop = 0x100,
        AlignLeft = 0x1000
    };

    // getFittingPrefix: what happens to the character that crosses the width.
    enum eFitMode : int {
        FitNearest = 0,  // taken when it crosses by less than the room that was left
        FitWithin = 1,   // never taken: the prefix is never wider than the width
        FitCrossing = 2  // always taken
    };

    // From a whole font file in a stream (a skin-folder file).
    Font(GP::Stream& stream, const FontDesc& description);
    // From the "TTFd" module resource of the description's resource id; none for id 0.
    explicit Font(const FontDesc& description);
    ~Font();
    Font(const Font&) = delete;
    Font& operator=(const Font&) = delete;

    // Stores the description and asks the context for the scale-1 cache. False without one.
    bool setUp(const FontDesc& description, std::vector<unsigned char> fontBytes);

    // Makes scale current, asking for its cache on first use (pixel size rounded).
    void setScale(float scale) const;
    float getScale() const { return mScale; }
    // The current scale's cache; null without one.
    DETAIL::FTRenderCache* getRenderCache() const;

    int getLineHeight() const;
    // Advance of a code point in whole pixels (halves to even); 0 without a glyph.
    int getGlyphAdvance(char32_t codePoint) const;
    // Sum of advances up to the first NUL or LF, or after length bytes (-1: no limit).
    int getTextWidth(const char* text, int length = -1) const;
    // The widest of the LF-separated lines.
    int getWidestLineWidth(const std::string& text) const;
    // Bytes of the first line that fit width under the mode (eFitMode); 0 for width <= 0.
    int getFittingPrefix(const char* text, int width, int mode) const;
    // X offset of the first line within width under the horizontal flags; 0 when the line
    // does not fit or AlignLeft is given.
    int getFittingLength(const char* text, unsigned flags, int width) const;

    // Draws the lines of text into rect (drawing coordinates, clipped to it) under the
    // alignment flags, lineSpacing pixels between lines.
    void drawText(Picture& picture, const GP::Rect& rect, const char* text, uint32_t colour, unsigned flags,
                  int lineSpacing) const;
    // Blends one glyph's coverage at pen x and baseline y, and the underline when the font has
    // one; only inside the picture's drawing bounds.
    void drawGlyph(Picture& picture, int x, int y, const tGlyph& glyph, uint32_t colour) const;

private:
    // Reads the whole stream; empty on any shortfall.
    static std::vector<unsigned char> readAll(GP::Stream& stream);
    FreeTypeContext::tFaceKey faceKey() const;
    int advanceOf(DETAIL::FTRenderCache& cache, char32_t codePoint) const;

    FreeTypeContext* mEngine = nullptr;
    mutable std::map<float, std::shared_ptr<DETAIL::FTRenderCache>> mCaches;
    int mResourceId = 0;
    std::string mName;
    int mBasePixelSize = 0;
    mutable float mScale = 1.0f;
    bool mUnderline = false;
    bool mHinting = false;
};

namespace DETAIL {
// A 26.6 advance in whole pixels, halves to even.
int roundAdvance(int advance);
}  // namespace DETAIL

// The abbreviator's result for text at width, measured with the font (fitting within).
std::string abbreviateToWidth(const GP::TextAbbreviator& abbreviator, const std::string& text, int32_t width,
                              const Font& font);

}  // namespace HA::UIA
