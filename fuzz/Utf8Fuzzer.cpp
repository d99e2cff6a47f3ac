// UTF-8 and UTF-16 conversions both ways and the matching helpers: valid UTF-8 out wherever
// anything goes in; the input is read as UTF-8 and as UTF-16 units.
#include <stdexcept>
#include <string>
#include <string_view>

#include "fuzz/FuzzInput.h"
#include "gp/src/common/text/Utf8.h"

using namespace HA;

namespace {

void checkValid(std::string_view text, const char* what)
{
    try {
        GP::countCodePoints(text);
    } catch (const std::out_of_range&) {
        FUZZ::fail(what);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);

    const std::string valid = GP::toValidUtf8(bytes);
    checkValid(valid, "toValidUtf8 gave invalid UTF-8");
    if (GP::toValidUtf8(valid) != valid)
        FUZZ::fail("toValidUtf8 changed valid UTF-8");
    const std::u16string wide = GP::toUtf16(bytes);
    if (GP::toUtf8(wide) != valid)
        FUZZ::fail("UTF-8 through UTF-16 differs from the repaired text");

    std::u16string units(size / 2, u'\0');
    for (size_t i = 0; i < units.size(); ++i)
        units[i] = char16_t(data[2 * i] | data[2 * i + 1] << 8);
    const std::string narrow = GP::toUtf8(units);
    checkValid(narrow, "toUtf8 gave invalid UTF-8");
    if (GP::toUtf8(GP::toUtf16(narrow)) != narrow)
        FUZZ::fail("UTF-16 round trip changed the text");
    if (GP::toUtf8(units.c_str()) != GP::toUtf8(units.substr(0, units.find(u'\0'))))
        FUZZ::fail("NUL-terminated form differs");

    // Matching walks code points on both sides; invalid UTF-8 may only throw.
    const std::string_view haystack = bytes.substr(0, size / 2);
    const std::string_view needle = bytes.substr(size / 2, 8);
    try {
        const std::ptrdiff_t at = GP::findNoCase(haystack, needle, size % 5);
        if (at >= 0 && size_t(at) > haystack.size())
            FUZZ::fail("found beyond the text");
        if (GP::compareNoCase(haystack, 0, needle) > haystack.size())
            FUZZ::fail("matched beyond the text");
        size_t pos = 0;
        while (pos < haystack.size())
            GP::decodeCodePoint(haystack, pos);
        if (pos != haystack.size())
            FUZZ::fail("decoding stepped past the end");
        if (!haystack.empty())
            GP::previousCodePoint(haystack, haystack.size());
    } catch (const std::out_of_range&) {
    }
    for (size_t i = 0; i + 3 < size; i += 4)
        GP::upperCodePoint(char32_t(data[i] | data[i + 1] << 8 | data[i + 2] << 16 | (data[i + 3] & 0x1F) << 24));
    return 0;
}
