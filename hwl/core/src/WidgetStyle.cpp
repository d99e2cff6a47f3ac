// A widget's typed style reads.

#include <string>

#include "hwl/core/src/Init.h"
#include "hwl/core/src/ManagerContainer.h"
#include "hwl/core/src/StyleConversions.h"
#include "hwl/core/src/Widget.h"

namespace HA::HWL {

namespace {

bool isNo(const StyleParser2::tDeclaration& declaration)
{
    if (declaration.unit != Property::String)
        return false;
    const std::string* text = std::get_if<std::string>(&declaration.value);
    return text && *text == "no";
}

void report(bool* found, bool value)
{
    if (found)
        *found = value;
}

// The value when the declaration holds a T, the zero of T for "no", else the default.
template <class T>
T readAs(const StyleParser2::tDeclaration* declaration, const T& defaultValue, bool* found)
{
    if (declaration) {
        if (const T* value = std::get_if<T>(&declaration->value)) {
            report(found, true);
            return *value;
        }
        if (isNo(*declaration)) {
            report(found, true);
            return T{};
        }
    }
    report(found, false);
    return defaultValue;
}

}  // namespace

int Widget::getProperty(ha::symbol property, int defaultValue, bool* found) const
{
    return readAs(findStyleValue(property), defaultValue, found);
}

bool Widget::getProperty(ha::symbol property, bool defaultValue, bool* found) const
{
    const StyleParser2::tDeclaration* declaration = findStyleValue(property);
    if (declaration) {
        if (std::optional<bool> value = toBool(declaration->value, declaration->unit)) {
            report(found, true);
            return *value;
        }
    }
    report(found, false);
    return defaultValue;
}

std::string Widget::getProperty(ha::symbol property, const std::string& defaultValue, bool* found) const
{
    const StyleParser2::tDeclaration* declaration = findStyleValue(property);
    // The word "no" is the empty text, not the text "no".
    if (declaration && isNo(*declaration)) {
        report(found, true);
        return std::string();
    }
    return readAs(declaration, defaultValue, found);
}

const UIA::Font* Widget::getProperty(ha::symbol property, const UIA::Font* defaultValue, bool* found) const
{
    return readAs(findStyleValue(property), defaultValue, found);
}

void Widget::getFourSided(int kind, tMargins& sides) const
{
    struct tNames {
        ha::symbol whole, left, right, top, bottom;
    };
    const tNames margin{StyleNames::margin, StyleNames::marginLeft, StyleNames::marginRight, StyleNames::marginTop,
                        StyleNames::marginBottom};
    const tNames outer{StyleNames::outerMargin, StyleNames::outerMarginLeft, StyleNames::outerMarginRight,
                       StyleNames::outerMarginTop, StyleNames::outerMarginBottom};
    const tNames& names = kind == 1 ? outer : margin;
    bool found = false;
    const int whole = getProperty(names.whole, 0, &found);
    if (found)
        sides = tMargins{whole, whole, whole, whole};
    sides.left = getProperty(names.left, sides.left);
    sides.right = getProperty(names.right, sides.right);
    sides.top = getProperty(names.top, sides.top);
    sides.bottom = getProperty(names.bottom, sides.bottom);
}

const UIA::Font* Widget::getFont() const
{
    if (const UIA::Font* font = getProperty(StyleNames::font, static_cast<const UIA::Font*>(nullptr)))
        return font;
    ManagerContainer* manager = getManager();
    return manager ? manager->getFont(getDefaultFontDesc()) : nullptr;
}

}  // namespace HA::HWL
