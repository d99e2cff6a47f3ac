#pragma once
// Word wrap of a multi-line text.

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace HA::HWL::DETAIL {

// Where a line begins: the byte position in the text and the code point found there (-1 at
// the end of the text).
struct tLineStart {
    std::size_t position = 0;
    int codePoint = -1;

    friend bool operator==(const tLineStart& a, const tLineStart& b)
    {
        return a.position == b.position && a.codePoint == b.codePoint;
    }
};
using tLineStarts = std::vector<tLineStart>;

// Width in logical pixels of `length` bytes of text starting at `text`.
using tMeasure = std::function<int(const char* text, int length)>;

// The line starts of `text` wrapped at `wrapWidth`: n + 1 entries for n lines, the last one the
// end of the text. A line breaks after its last space, tab, '-', ',', '.', '/', ':', ';' or
// '\' that fits; a line without one is cut before the first character that does not fit;
// '\n' always breaks and stays at the end of its line. Throws std::out_of_range on invalid
// UTF-8.
tLineStarts wrapText(const std::string& text, int wrapWidth, const tMeasure& measure);

// The text with invalid UTF-8 dropped and every byte below 32 but '\n' removed.
std::string cleanMultilineText(const std::string& text);

}  // namespace HA::HWL::DETAIL
