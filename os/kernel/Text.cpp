#include "os/kernel/Text.h"

#include <clocale>
#include <cwctype>
#include <locale.h>

namespace HA::OS {

namespace {

void appendUtf16(WString& out, char32_t cp)
{
    if (cp < 0x10000) {
        out += static_cast<WChar>(cp);
    } else {
        cp -= 0x10000;
        out += static_cast<WChar>(0xD800 + (cp >> 10));
        out += static_cast<WChar>(0xDC00 + (cp & 0x3FF));
    }
}

}  // namespace

void appendUtf8(std::string& out, char32_t cp)
{
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

std::string utf16ToUtf8(std::u16string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t u = text[i];
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            appendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (text[i + 1] - 0xDC00));
            ++i;
        } else if (u >= 0xD800 && u <= 0xDFFF) {
            appendUtf8(out, 0xFFFD);
        } else {
            appendUtf8(out, u);
        }
    }
    return out;
}

WString utf8ToUtf16(std::string_view text)
{
    WString out;
    out.reserve(text.size());
    size_t i = 0;
    const size_t n = text.size();
    while (i < n) {
        unsigned char b = static_cast<unsigned char>(text[i]);
        int len = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : (b >> 3) == 30 ? 4 : 0;
        if (len == 0 || i + len > n) {
            appendUtf16(out, 0xFFFD);
            ++i;
            continue;
        }
        char32_t cp = len == 1 ? b : len == 2 ? (b & 0x1F) : len == 3 ? (b & 0x0F) : (b & 0x07);
        bool ok = true;
        for (int k = 1; k < len; ++k) {
            unsigned char c = static_cast<unsigned char>(text[i + k]);
            if ((c & 0xC0) != 0x80) {
                ok = false;
                break;
            }
            cp = (cp << 6) | (c & 0x3F);
        }
        static const char32_t kMin[5] = {0, 0, 0x80, 0x800, 0x10000};
        if (!ok || cp < kMin[len] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
            appendUtf16(out, 0xFFFD);
            ++i;
            continue;
        }
        appendUtf16(out, cp);
        i += len;
    }
    return out;
}

namespace {

// One unit through the host's simple case mapping in a UTF-8 locale; ASCII without it, and
// surrogates and units whose mapping leaves the basic plane unchanged.
template <class Map>
WChar mapCase(WChar c, char from, char to, Map map)
{
    if (c < 0x80)
        return (c >= from && c <= from + 25) ? static_cast<WChar>(c - from + to) : c;
    if (c >= 0xD800 && c <= 0xDFFF)
        return c;
    static locale_t utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
    if (utf8 == static_cast<locale_t>(0))
        return c;
    const wint_t mapped = map(static_cast<wint_t>(c), utf8);
    return mapped <= 0xFFFF ? static_cast<WChar>(mapped) : c;
}

}  // namespace

WChar charUpper(WChar c)
{
    return mapCase(c, 'a', 'A', [](wint_t u, locale_t l) { return towupper_l(u, l); });
}

WChar charLower(WChar c)
{
    return mapCase(c, 'A', 'a', [](wint_t u, locale_t l) { return towlower_l(u, l); });
}

int hexDigitValue(WChar c)
{
    if (c >= u'0' && c <= u'9')
        return c - u'0';
    if (c >= u'a' && c <= u'f')
        return c - u'a' + 10;
    if (c >= u'A' && c <= u'F')
        return c - u'A' + 10;
    return -1;
}

WString foldCase(std::u16string_view text)
{
    WString out(text);
    for (WChar& c : out)
        c = charUpper(c);
    return out;
}

bool equalIgnoringCase(std::u16string_view a, std::u16string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (charUpper(a[i]) != charUpper(b[i]))
            return false;
    return true;
}

}  // namespace HA::OS
