// Fonts: measuring, fitting and drawing UTF-8 text with a FreeType render cache.

#include "uia/graphics/text/Font.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string_view>

#include "gp/src/common/abbreviation/TextAbbreviator.h"
#include "gp/src/common/storage/IStorage.h"
#include "gp/src/common/storage/ModuleResources.h"
#include "gp/src/common/storage/ResourceStream.h"
#include "gp/src/common/storage/Stream.h"
#include "gp/src/common/text/Utf8.h"
#include "uia/graphics/picture/Coordinates.h"
#include "uia/graphics/picture/Picture.h"
#include "uia/graphics/picture/PixelRules.h"

namespace HA::UIA {

namespace {

constexpr char32_t kLineFeed = U'\n';
constexpr int kLineHeightWithoutCache = 10;

std::string_view textView(const char* text, int length = -1)
{
    if (!text)
        return {};
    return std::string_view(text, length < 0 ? std::strlen(text) : strnlen(text, static_cast<std::size_t>(length)));
}

FreeTypeContext& engineOf(const FontDesc& description)
{
    return description.engine ? *description.engine : FreeTypeContext::instance();
}

}  // namespace

namespace DETAIL {

int roundAdvance(int advance)
{
    int whole = advance >> 6;  // floor, also for negative advances
    const int rest = advance & 63;
    if (rest > 32 || (rest == 32 && (whole & 1)))
        ++whole;
    return whole;
}

}  // namespace DETAIL

Font::Font(GP::Stream& stream, const FontDesc& description)
{
    auto bytes = readAll(stream);
    if (!bytes.empty())
        setUp(description, std::move(bytes));
}

Font::Font(const FontDesc& description)
{
    if (description.resourceId == 0)
        return;
    const auto stream =
        GP::openModuleResourceStream(static_cast<uint32_t>(description.resourceId), "TTFd", GP::Stream::LittleEndian);
    if (!stream)
        return;
    auto bytes = readAll(*stream);
    if (!bytes.empty())
        setUp(description, std::move(bytes));
}

Font::~Font() = default;

std::vector<unsigned char> Font::readAll(GP::Stream& stream)
{
    GP::IStorage* storage = stream.getStorage();
    if (!storage || !storage->isOpen())
        return {};
    storage->seek(0, GP::IStorage::SeekEnd);
    const int32_t length = storage->tell32();
    storage->seek(0, GP::IStorage::SeekBegin);
    if (length <= 0 || !storage->isGoodOrAtEnd())
        return {};
    std::vector<unsigned char> bytes(static_cast<std::size_t>(length));
    if (storage->read(bytes.data(), static_cast<uint32_t>(length)) != static_cast<uint32_t>(length))
        return {};
    return bytes;
}

bool Font::setUp(const FontDesc& description, std::vector<unsigned char> fontBytes)
{
    mEngine = &engineOf(description);
    mResourceId = description.resourceId;
    mName = description.name;
    mBasePixelSize = description.size;
    mUnderline = (description.flags & FontDesc::Underline) != 0;
    mHinting = (description.flags & FontDesc::Hinting) != 0;
    auto cache = mEngine->getRenderCache(faceKey(), std::move(fontBytes), {mBasePixelSize, mHinting});
    if (!cache)
        return false;
    mCaches[1.0f] = std::move(cache);
    return true;
}

FreeTypeContext::tFaceKey Font::faceKey() const
{
    if (mResourceId != 0)
        return mResourceId;
    return mName;
}

void Font::setScale(float scale) const
{
    if (scale == mScale)
        return;
    mScale = scale;
    if (!mEngine || mCaches.count(scale) != 0)
        return;
    const int pixelSize = static_cast<int>(std::lroundf(static_cast<float>(mBasePixelSize) * scale));
    if (auto cache = mEngine->getRenderCache(faceKey(), {}, {pixelSize, mHinting}))
        mCaches[scale] = std::move(cache);
}

DETAIL::FTRenderCache* Font::getRenderCache() const
{
    const auto found = mCaches.find(mScale);
    return found == mCaches.end() ? nullptr : found->second.get();
}

int Font::getLineHeight() const
{
    const auto* cache = getRenderCache();
    return cache ? cache->getLineHeight() : kLineHeightWithoutCache;
}

int Font::advanceOf(DETAIL::FTRenderCache& cache, char32_t codePoint) const
{
    const tGlyph* glyph = cache.getGlyph(codePoint);
    return glyph ? DETAIL::roundAdvance(glyph->advance) : 0;
}

int Font::getGlyphAdvance(char32_t codePoint) const
{
    auto* cache = getRenderCache();
    return cache ? advanceOf(*cache, codePoint) : 0;
}

int Font::getTextWidth(const char* text, int length) const
{
    auto* cache = getRenderCache();
    const std::string_view view = textView(text, length);
    int width = 0;
    for (std::size_t pos = 0; pos < view.size();) {
        const char32_t codePoint = GP::decodeCodePoint(view, pos);
        if (codePoint == kLineFeed)
            break;
        if (cache)
            width += advanceOf(*cache, codePoint);
    }
    return width;
}

int Font::getWidestLineWidth(const std::string& text) const
{
    int widest = 0;
    for (std::size_t start = 0;;) {
        const std::size_t end = text.find('\n', start);
        widest = std::max(widest, getTextWidth(text.substr(start, end - start).c_str(), -1));
        if (end == std::string::npos)
            return widest;
        start = end + 1;
    }
}

int Font::getFittingPrefix(const char* text, int width, int mode) const
{
    if (width <= 0)
        return 0;
    auto* cache = getRenderCache();
    const std::string_view view = textView(text);
    int before = 0;
    std::size_t pos = 0;
    while (pos < view.size()) {
        const std::size_t start = pos;
        const char32_t codePoint = GP::decodeCodePoint(view, pos);
        if (codePoint == kLineFeed)
            return static_cast<int>(start);
        const int after = before + (cache ? advanceOf(*cache, codePoint) : 0);
        if (after > width) {
            if (mode == FitCrossing || (mode == FitNearest && after - width < width - before))
                return static_cast<int>(pos);
            return static_cast<int>(start);
        }
        before = after;
    }
    return static_cast<int>(pos);
}

int Font::getFittingLength(const char* text, unsigned flags, int width) const
{
    if (flags & AlignLeft)
        return 0;
    auto* cache = getRenderCache();
    const std::string_view view = textView(text);
    int sum = 0;
    for (std::size_t pos = 0; pos < view.size();) {
        if (sum >= width)
            return 0;
        const char32_t codePoint = GP::decodeCodePoint(view, pos);
        if (codePoint == kLineFeed)
            break;
        if (cache)
            sum += advanceOf(*cache, codePoint);
    }
    if (sum >= width)
        return 0;
    return (flags & AlignRight) ? width - sum : (width - sum + 1) / 2;
}

void Font::drawText(Picture& picture, const GP::Rect& rect, const char* text, uint32_t colour, unsigned flags,
                    int lineSpacing) const
{
    auto* cache = getRenderCache();
    const std::string_view view = textView(text);
    if (!cache || view.empty() || rect.width() <= 0 || rect.height() <= 0)
        return;
    Picture::ClipScope scope(picture, rect);

    const int64_t lineFeeds = std::count(view.begin(), view.end(), '\n');
    const int64_t lineHeight = cache->getLineHeight();
    const int64_t ascent = cache->getAscent();
    const int64_t total = lineSpacing * lineFeeds + (lineFeeds + 1) * lineHeight;
    int64_t baseline;
    if (flags & AlignBottom)
        baseline = ascent + rect.bottom - total;
    else if (flags & AlignTop)
        baseline = ascent + rect.top;
    else
        baseline = ascent + rect.top + (rect.bottom - rect.top - total) / 2;

    const int64_t room = int64_t(rect.right) - rect.left;
    for (std::size_t lineStart = 0; baseline <= rect.bottom;) {
        std::size_t lineEnd = view.find('\n', lineStart);
        if (lineEnd == std::string_view::npos)
            lineEnd = view.size();
        const std::string_view line = view.substr(lineStart, lineEnd - lineStart);
        if (baseline + lineHeight >= rect.top) {
            int64_t x = rect.left;
            if (!(flags & AlignLeft)) {
                int64_t width = 0;
                for (std::size_t pos = 0; pos < line.size() && width < room;)
                    width += advanceOf(*cache, GP::decodeCodePoint(line, pos));
                if (width < room)
                    x = (flags & AlignRight) ? rect.left + room - width : rect.left + (room - width + 1) / 2;
            }
            for (std::size_t pos = 0; pos < line.size();) {
                const char32_t codePoint = GP::decodeCodePoint(line, pos);
                if (x >= rect.right)
                    continue;  // beyond the rectangle: walked, not drawn
                if (const tGlyph* glyph = cache->getGlyph(codePoint)) {
                    drawGlyph(picture, static_cast<int>(x), static_cast<int>(baseline), *glyph, colour);
                    x += DETAIL::roundAdvance(glyph->advance);
                }
            }
        }
        if (lineEnd == view.size())
            break;
        lineStart = lineEnd + 1;
        baseline += lineSpacing + lineHeight;
    }
}

void Font::drawGlyph(Picture& picture, int x, int y, const tGlyph& glyph, uint32_t colour) const
{
    if (mUnderline) {
        if (const auto* cache = getRenderCache())
            picture.fillRect(x, DETAIL::clampCoordinate(int64_t(y) - cache->getUnderlinePosition()),
                             DETAIL::roundAdvance(glyph.advance), cache->getUnderlineThickness(), colour);
    }
    uint32_t* pixels = picture.getPixels();
    if (!pixels || glyph.width <= 0 || glyph.rows <= 0 || glyph.pitch < glyph.width ||
        glyph.coverage.size() < static_cast<std::size_t>(glyph.pitch) * static_cast<std::size_t>(glyph.rows - 1) +
                                    static_cast<std::size_t>(glyph.width))
        return;
    const GP::Rect bounds = picture.getDrawingBounds();
    const uint32_t alpha = colour >> 24;
    const int64_t left = int64_t(x) + glyph.left;
    const int64_t top = int64_t(y) - glyph.top;
    // Only the rows and columns inside the bounds are visited.
    const int64_t firstRow = std::max<int64_t>(0, bounds.top - top);
    const int64_t endRow = std::min<int64_t>(glyph.rows, bounds.bottom - top);
    const int64_t firstColumn = std::max<int64_t>(0, bounds.left - left);
    const int64_t endColumn = std::min<int64_t>(glyph.width, bounds.right - left);
    for (int64_t r = firstRow; r < endRow; ++r) {
        const unsigned char* coverage = glyph.coverage.data() + r * glyph.pitch;
        uint32_t* row = pixels + (top + r + picture.getOriginY()) * picture.getWidth() + picture.getOriginX() + left;
        for (int64_t c = firstColumn; c < endColumn; ++c) {
            const uint32_t u = coverage[c] * alpha / 255;
            if (u == 0)
                continue;
            const uint32_t d = row[c];
            auto channel = [&](int shift) {
                return (DETAIL::byteAt(colour, shift) * u + DETAIL::byteAt(d, shift) * (256 - u)) >> 8;
            };
            row[c] = DETAIL::makePixel(std::min(255u, (d >> 24) + u), channel(16), channel(8), channel(0));
        }
    }
}

std::string abbreviateToWidth(const GP::TextAbbreviator& abbreviator, const std::string& text, int32_t width,
                              const Font& font)
{
    return abbreviator.abbreviate(
        text, width, [&font](const char* candidate) { return font.getTextWidth(candidate, -1); },
        [&font](const char* candidate, int32_t room) {
            return font.getFittingPrefix(candidate, room, Font::FitWithin);
        });
}

}  // namespace HA::UIA
