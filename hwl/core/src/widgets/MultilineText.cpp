#include "hwl/core/src/widgets/MultilineText.h"

#include <cmath>

#include "gp/src/common/text/Symbol.h"
#include "gp/src/common/text/Utf8.h"
#include "uia/graphics/text/Font.h"

namespace HA::HWL::DETAIL {

namespace {

bool breaksAfter(char32_t c)
{
    switch (c) {
    case U',':
    case U'-':
    case U'.':
    case U'/':
    case U':':
    case U';':
    case U'\\':
        return true;
    default:
        return false;
    }
}

tLineStart startAt(const std::string& text, std::size_t position)
{
    if (position >= text.size())
        return tLineStart{text.size(), -1};
    std::size_t at = position;
    return tLineStart{position, static_cast<int>(GP::decodeCodePoint(text, at))};
}

}  // namespace

tLineStarts wrapText(const std::string& text, int wrapWidth, const tMeasure& measure)
{
    tLineStarts starts;
    std::size_t lineStart = 0;
    starts.push_back(startAt(text, 0));
    // The last break opportunity of the current line; the line start while there is none.
    std::size_t lastBreak = 0;
    std::size_t p = 0;
    while (p < text.size()) {
        std::size_t next = p;
        const char32_t c = GP::decodeCodePoint(text, next);
        if (c == U'\n') {
            lineStart = next;
            lastBreak = next;
            starts.push_back(startAt(text, next));
        } else {
            const int width = measure(text.data() + lineStart, static_cast<int>(next - lineStart));
            // A character that alone is wider than the line stays on it: cutting before it
            // would only add an empty line.
            if (width > wrapWidth && p != lineStart) {
                if (lastBreak == lineStart) {
                    lineStart = p;
                } else {
                    std::size_t afterBreak = lastBreak;
                    GP::decodeCodePoint(text, afterBreak);
                    lineStart = afterBreak;
                }
                lastBreak = lineStart;
                starts.push_back(startAt(text, lineStart));
            }
            if (c == U'\t' || c == U' ' || c == U'-')
                lastBreak = p;
        }
        if (breaksAfter(c))
            lastBreak = p;
        p = next;
    }
    starts.push_back(tLineStart{text.size(), -1});
    return starts;
}

MultilineText::MultilineText() : mLineStarts{tLineStart{}, tLineStart{}} {}

int MultilineText::contentWidth() const
{
    const tMargins margins = getMargins();
    return getSize().width - margins.right - margins.left;
}

void MultilineText::layout()
{
    const int width = contentWidth();
    if (width == mWrapWidth)
        return;
    mWrapWidth = width;
    rewrap();
}

void MultilineText::applyStyle()
{
    static const ha::symbol lineSpacing(std::string("line-spacing"));
    mLineSpacing = getProperty(lineSpacing, 0);
    Widget::applyStyle();
    rewrap();
    invalidate();
}

void MultilineText::setText(const std::string& text)
{
    if (text == mText)
        return;
    mText = cleanMultilineText(text);
    rewrap();
}

void MultilineText::rewrap()
{
    if (!getPane())
        return;
    const UIA::Font* font = getFont();
    if (!font)
        return;
    const float scale = getScale();
    font->setScale(scale);
    mLineStarts = wrapText(mText, contentWidth(), [font, scale](const char* text, int length) {
        return static_cast<int>(std::lround(font->getTextWidth(text, length) / double(scale)));
    });
    invalidate();
}

int MultilineText::getLineStep() const
{
    const UIA::Font* font = getFont();
    if (!font)
        return mLineSpacing;
    const float scale = getScale();
    font->setScale(scale);
    return static_cast<int>(std::lround(font->getLineHeight() / double(scale))) + mLineSpacing;
}

int MultilineText::getTextHeight() const
{
    return getLineCount() * getLineStep();
}

std::string MultilineText::getLine(int index) const
{
    if (index < 0 || index >= getLineCount())
        return std::string();
    const std::size_t from = mLineStarts[index].position;
    return mText.substr(from, mLineStarts[index + 1].position - from);
}

std::string cleanMultilineText(const std::string& text)
{
    std::string valid = GP::toValidUtf8(text);
    std::string clean;
    clean.reserve(valid.size());
    for (const char ch : valid)
        if (static_cast<unsigned char>(ch) >= 32 || ch == '\n')
            clean.push_back(ch);
    return clean;
}

}  // namespace HA::HWL::DETAIL
