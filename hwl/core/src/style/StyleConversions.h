#pragma once
// Conversions of style values: bool, alignment words, and the default font description.

#include <optional>
#include <string>

#include "hwl/core/src/style/StyleValue.h"

namespace HA::HWL {

// Alignment flags of a widget's content.
enum eAlignment : int {
    AlignCenter = 0,
    AlignRight = 0x1,
    AlignBottom = 0x10,
    AlignTop = 0x100,
    AlignLeft = 0x1000
};

enum class eAlignmentAxis { Horizontal, Vertical };

// A bool is itself; an int or unsigned of unit 0 is true when not zero; a string of unit 5 is
// true for "yes" and "true", false for "no" and "false"; anything else is no bool.
std::optional<bool> toBool(const tStyleValue& value, Property::eUnit unit);

// Whether a value is the word "no" (unit String), which sets a property to nothing.
bool isNo(const tStyleValue& value, Property::eUnit unit);

// "left" 0x1000, "right" 1, "center" 0 (horizontal); "top" 0x100, "bottom" 0x10, "center" 0
// (vertical); any other word 0x1000. Exact and case-sensitive.
int alignmentFromWord(const std::string& word, eAlignmentAxis axis);

// What a widget gets when its sheet gives no alignment.
constexpr int kDefaultHorizontalAlignment = AlignLeft;
constexpr int kDefaultVerticalAlignment = AlignCenter;

// The library's font-hinting option; off unless set. Read once, when the default font
// description is first made.
void setFontHinting(bool on);
bool isFontHintingEnabled();

// The default font description, made once per process: no name, resource id 1, size 12,
// hinting when the option was on at the first call.
const FontDesc& getDefaultFontDesc();

// Fonts larger than this are not made: a sheet from a skin folder could otherwise ask the
// renderer for glyphs of tens of thousands of pixels.
constexpr int kMaximumFontSize = 1024;

}  // namespace HA::HWL
