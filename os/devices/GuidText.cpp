#include "os/devices/GuidText.h"

#include "os/kernel/Text.h"

namespace HA::OS {

namespace {

// Reads `digits` hexadecimal digits at text[pos]; false on a non-digit.
bool readHex(std::u16string_view text, size_t pos, int digits, std::uint64_t& value)
{
    value = 0;
    for (int i = 0; i < digits; ++i) {
        int v = hexDigitValue(text[pos + static_cast<size_t>(i)]);
        if (v < 0)
            return false;
        value = (value << 4) | static_cast<std::uint64_t>(v);
    }
    return true;
}

}  // namespace

bool clsidFromString(std::u16string_view text, GUID& guid)
{
    if (text.size() != 38 || text[0] != u'{' || text[37] != u'}' || text[9] != u'-' || text[14] != u'-' ||
        text[19] != u'-' || text[24] != u'-')
        return false;
    GUID g{};
    std::uint64_t v;
    if (!readHex(text, 1, 8, v))
        return false;
    g.Data1 = static_cast<DWORD>(v);
    if (!readHex(text, 10, 4, v))
        return false;
    g.Data2 = static_cast<WORD>(v);
    if (!readHex(text, 15, 4, v))
        return false;
    g.Data3 = static_cast<WORD>(v);
    const size_t bytePos[8] = {20, 22, 25, 27, 29, 31, 33, 35};
    for (int i = 0; i < 8; ++i) {
        if (!readHex(text, bytePos[i], 2, v))
            return false;
        g.Data4[i] = static_cast<BYTE>(v);
    }
    guid = g;
    return true;
}

WString stringFromGuid(const GUID& guid)
{
    static const char16_t* digits = u"0123456789ABCDEF";
    WString out;
    auto put = [&](std::uint64_t value, int count) {
        for (int i = count - 1; i >= 0; --i)
            out.push_back(digits[(value >> (4 * i)) & 0xF]);
    };
    out.push_back(u'{');
    put(guid.Data1, 8);
    out.push_back(u'-');
    put(guid.Data2, 4);
    out.push_back(u'-');
    put(guid.Data3, 4);
    out.push_back(u'-');
    put(guid.Data4[0], 2);
    put(guid.Data4[1], 2);
    out.push_back(u'-');
    for (int i = 2; i < 8; ++i)
        put(guid.Data4[i], 2);
    out.push_back(u'}');
    return out;
}

}  // namespace HA::OS
