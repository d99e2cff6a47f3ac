#pragma once
// The stand-in's text helpers: UTF-16 <-> UTF-8 conversion for its platform calls (invalid
// input is replaced by U+FFFD), the case of units and of names. The libraries above use their
// own conversions; their platform parts may use these, as code on the platform would.

#include <string>
#include <string_view>

#include "os/kernel/Types.h"

namespace HA::OS {

std::string utf16ToUtf8(std::u16string_view text);
WString utf8ToUtf16(std::string_view text);
// Upper case of one UTF-16 unit by the simple Unicode mapping, as the platform's
// single-character CharUpperW does; units without one are returned unchanged.
WChar charUpper(WChar c);
// Lower case of one UTF-16 unit, as CharLowerW does for a single character.
WChar charLower(WChar c);
// The value of one hexadecimal digit in either case, or -1 for any other unit.
int hexDigitValue(WChar c);

// Names that the platform matches without regard to case (window classes, device paths,
// resource names and version keys) are compared unit by unit through charUpper.
// The text upper-cased so: the key under which such a name is kept.
WString foldCase(std::u16string_view text);
// The two texts are the same name.
bool equalIgnoringCase(std::u16string_view a, std::u16string_view b);

// Appends the UTF-8 bytes of one code point (at most 0x10FFFF).
void appendUtf8(std::string& out, char32_t codePoint);

}  // namespace HA::OS
