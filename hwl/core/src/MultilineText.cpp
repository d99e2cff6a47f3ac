#include "hwl/core/src/MultilineText.h"

#include "gp/src/common/Utf8.h"

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
