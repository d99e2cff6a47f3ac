#include "gp/src/common/text/Utf8.h"

#include <iterator>
#include <stdexcept>
#include <vector>

#include <boost/locale/utf.hpp>

#include "os/kernel/Text.h"

namespace HA::GP {

namespace {

// Converts between UTF encodings with boost.locale's UTF traits. An invalid sequence is
// dropped by one unit at a time and decoding starts again at the next unit: the converter's
// own skip mode would also swallow the valid unit that revealed the error.
template <typename Out, typename In>
std::basic_string<Out> convertSkippingInvalid(const In* begin, const In* end)
{
    namespace utf = boost::locale::utf;
    std::basic_string<Out> out;
    out.reserve(static_cast<std::size_t>(end - begin));
    auto sink = std::back_inserter(out);
    const In* p = begin;
    while (p != end) {
        const In* start = p;
        const utf::code_point c = utf::utf_traits<In>::decode(p, end);
        if (c == utf::illegal || c == utf::incomplete) {
            p = start + 1;
            continue;
        }
        sink = utf::utf_traits<Out>::encode(c, sink);
    }
    return out;
}

[[noreturn]] void throwInvalidUtf8()
{
    throw std::out_of_range("Invalid UTF-8 sequence encountered while trying to encode UTF-32 character");
}

std::u32string upperCodePoints(std::string_view text)
{
    std::u32string out;
    std::size_t pos = 0;
    while (pos < text.size())
        out += upperCodePoint(decodeCodePoint(text, pos));
    return out;
}

}  // namespace

std::string toUtf8(const std::u16string& text)
{
    return convertSkippingInvalid<char>(text.data(), text.data() + text.size());
}

std::string toUtf8(const char16_t* text)
{
    if (!text)
        return {};
    return toUtf8(text, std::char_traits<char16_t>::length(text));
}

std::string toUtf8(const char16_t* text, std::size_t length)
{
    if (!text)
        return {};
    return convertSkippingInvalid<char>(text, text + length);
}

std::u16string toUtf16(std::string_view text)
{
    return convertSkippingInvalid<char16_t>(text.data(), text.data() + text.size());
}

std::string toValidUtf8(std::string_view text)
{
    return convertSkippingInvalid<char>(text.data(), text.data() + text.size());
}

char32_t upperCodePoint(char32_t codePoint)
{
    if (codePoint > 0xFFFF)
        return codePoint;
    return OS::charUpper(static_cast<char16_t>(codePoint));
}

char32_t decodeCodePoint(std::string_view text, std::size_t& pos)
{
    static const char32_t kMinimum[5] = {0, 0, 0x80, 0x800, 0x10000};
    if (pos >= text.size())
        throwInvalidUtf8();
    const unsigned char lead = static_cast<unsigned char>(text[pos]);
    std::size_t length;
    char32_t value;
    if (lead < 0x80) {
        ++pos;
        return lead;
    } else if (lead < 0xC0) {
        throwInvalidUtf8();  // a continuation byte cannot start a sequence
    } else if (lead < 0xE0) {
        length = 2;
        value = lead & 0x1F;
    } else if (lead < 0xF0) {
        length = 3;
        value = lead & 0x0F;
    } else if (lead < 0xF8) {
        length = 4;
        value = lead & 0x07;
    } else {
        throwInvalidUtf8();  // no sequence is longer than four bytes
    }
    if (text.size() - pos < length)
        throwInvalidUtf8();
    for (std::size_t k = 1; k < length; ++k) {
        const unsigned char c = static_cast<unsigned char>(text[pos + k]);
        if ((c & 0xC0) != 0x80)
            throwInvalidUtf8();
        value = (value << 6) | (c & 0x3F);
    }
    if (value < kMinimum[length] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
        throwInvalidUtf8();
    pos += length;
    return value;
}

std::size_t previousCodePoint(std::string_view text, std::size_t pos)
{
    if (pos == 0 || pos > text.size())
        throwInvalidUtf8();
    std::size_t start = pos - 1;
    while (start > 0 && pos - start < 4 && (static_cast<unsigned char>(text[start]) & 0xC0) == 0x80)
        --start;
    std::size_t end = start;
    decodeCodePoint(text, end);
    if (end != pos)
        throwInvalidUtf8();
    return start;
}

std::size_t countCodePoints(std::string_view text)
{
    std::size_t count = 0;
    for (std::size_t pos = 0; pos < text.size(); ++count)
        decodeCodePoint(text, pos);
    return count;
}

std::ptrdiff_t findNoCase(std::string_view haystack, std::string_view needle, std::size_t from)
{
    const std::u32string wanted = upperCodePoints(needle);
    if (from > haystack.size())
        return -1;
    for (std::size_t start = from;;) {
        std::size_t pos = start;
        std::size_t matched = 0;
        while (matched < wanted.size() && pos < haystack.size()) {
            if (upperCodePoint(decodeCodePoint(haystack, pos)) != wanted[matched])
                break;
            ++matched;
        }
        if (matched == wanted.size())
            return static_cast<std::ptrdiff_t>(start);
        if (start >= haystack.size())
            return -1;
        decodeCodePoint(haystack, start);
    }
}

std::size_t compareNoCase(std::string_view text, std::size_t start, std::string_view other,
                          eCaseSensitivity sensitivity)
{
    if (start >= text.size())
        return 0;
    std::size_t pos = start;
    std::size_t otherPos = 0;
    while (pos < text.size() && otherPos < other.size()) {
        std::size_t next = pos;
        char32_t a = decodeCodePoint(text, next);
        char32_t b = decodeCodePoint(other, otherPos);
        if (sensitivity == eIgnoreCase) {
            a = upperCodePoint(a);
            b = upperCodePoint(b);
        }
        if (a != b)
            break;
        pos = next;
    }
    return pos - start;
}

}  // namespace HA::GP
