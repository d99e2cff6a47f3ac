#pragma once
// The stand-in's own UTF-16 <-> UTF-8 conversion for its platform calls (invalid input is
// replaced by U+FFFD). The libraries above use their own conversions.

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

}  // namespace HA::OS
