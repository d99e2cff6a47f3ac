#include "hwl/core/src/style/StyleConversions.h"

#include <atomic>

namespace HA::HWL {

bool isNo(const tStyleValue& value, Property::eUnit unit)
{
    if (unit != Property::String)
        return false;
    const std::string* text = std::get_if<std::string>(&value);
    return text && *text == "no";
}

std::optional<bool> toBool(const tStyleValue& value, Property::eUnit unit)
{
    if (const bool* b = std::get_if<bool>(&value))
        return *b;
    if (unit == Property::Number) {
        if (const int* i = std::get_if<int>(&value))
            return *i != 0;
        if (const unsigned* u = std::get_if<unsigned>(&value))
            return *u != 0;
    }
    if (unit == Property::String) {
        if (const std::string* s = std::get_if<std::string>(&value)) {
            if (*s == "yes" || *s == "true")
                return true;
            if (*s == "no" || *s == "false")
                return false;
        }
    }
    return std::nullopt;
}

int alignmentFromWord(const std::string& word, eAlignmentAxis axis)
{
    if (axis == eAlignmentAxis::Horizontal) {
        if (word == "left")
            return AlignLeft;
        if (word == "right")
            return AlignRight;
        if (word == "center")
            return AlignCenter;
        return AlignLeft;
    }
    if (word == "top")
        return AlignTop;
    if (word == "bottom")
        return AlignBottom;
    if (word == "center")
        return AlignCenter;
    return AlignLeft;
}

namespace {
std::atomic<bool> gFontHinting{false};
}

void setFontHinting(bool on)
{
    gFontHinting = on;
}

bool isFontHintingEnabled()
{
    return gFontHinting;
}

const FontDesc& getDefaultFontDesc()
{
    static const FontDesc desc = [] {
        FontDesc d;
        d.resourceId = 1;
        d.size = 12;
        d.flags = isFontHintingEnabled() ? FontDesc::Hinting : 0u;
        return d;
    }();
    return desc;
}

}  // namespace HA::HWL
