#pragma once
// UTF-8 text: conversions to and from UTF-16, repair of invalid UTF-8, and matching of texts
// code point by code point without regard to case. All functions are pure and thread safe.

#include <cstddef>
#include <string>
#include <string_view>

namespace HA::GP {

// UTF-16 to UTF-8. Invalid units (lone surrogates) are skipped; everything else is kept.
std::string toUtf8(const std::u16string& text);
// The same for a NUL-terminated text; null gives an empty result.
std::string toUtf8(const char16_t* text);
// The same for a counted text; null gives an empty result.
std::string toUtf8(const char16_t* text, std::size_t length);

// UTF-8 to UTF-16, for the platform calls. Invalid byte sequences are skipped.
std::u16string toUtf16(std::string_view text);

// A copy of the text with every invalid byte sequence dropped and every valid one kept.
std::string toValidUtf8(std::string_view text);

// Upper case of a code point by the platform's single-character mapping; code points above
// 0xFFFF are returned unchanged.
char32_t upperCodePoint(char32_t codePoint);

// Decodes the code point that starts at byte offset pos and moves pos past it. Never reads
// outside the text. Throws std::out_of_range ("Invalid UTF-8 sequence encountered while trying
// to encode UTF-32 character") for a continuation byte where a sequence must start, a missing
// or truncated continuation, an over-long form, a surrogate, a value above 0x10FFFF, or pos at
// or past the end.
char32_t decodeCodePoint(std::string_view text, std::size_t& pos);
// Byte offset where the code point that ends at byte offset pos starts (pos > 0); the code
// point is validated as by decodeCodePoint and throws the same way.
std::size_t previousCodePoint(std::string_view text, std::size_t pos);
// Number of code points of a text; throws as decodeCodePoint on invalid UTF-8.
std::size_t countCodePoints(std::string_view text);

// Byte position of the first occurrence of needle in haystack at or after byte offset from,
// comparing upper-cased code points; -1 when absent (also when from lies past the end).
// An empty needle is found at from. Throws std::out_of_range on invalid UTF-8 in the needle or
// in the part of the haystack it walks.
std::ptrdiff_t findNoCase(std::string_view haystack, std::string_view needle, std::size_t from = 0);

enum eCaseSensitivity { eIgnoreCase, eCaseSensitive };

// How many bytes of text, from byte offset start on, match other from its start, code point by
// code point (upper-cased on both sides with eIgnoreCase), before the first difference or the
// end of either text. Throws std::out_of_range on invalid UTF-8 in the walked parts.
std::size_t compareNoCase(std::string_view text, std::size_t start, std::string_view other,
                          eCaseSensitivity sensitivity = eIgnoreCase);

}  // namespace HA::GP
