// A widget's resolved style: filling the record from the cascade, and its readers.

#include "hwl/core/src/cascade/StyleData.h"

#include <string>

#include "hwl/core/src/cascade/StyleSheets.h"
#include "hwl/core/src/style/StyleConversions.h"
#include "hwl/core/src/style/StyledWidget.h"
#include "uia/graphics/text/Font.h"

namespace HA::HWL {

namespace {

const LazyPicture kNoPicture;

bool isNo(const StyleParser2::tDeclaration& declaration)
{
    if (declaration.unit != Property::String)
        return false;
    const std::string* text = std::get_if<std::string>(&declaration.value);
    return text && *text == "no";
}

// Appends one element per entry whose value `convert` accepts; "no" enters as the zero of T.
template <class T, class Convert>
void fill(StyleData::tList<T>& list, const std::vector<const StyleSheet::tSelectorValue*>& entries, Convert convert)
{
    list.clear();
    for (const StyleSheet::tSelectorValue* entry : entries) {
        const StyleParser2::tDeclaration& declaration = entry->declaration;
        if (isNo(declaration)) {
            list.push_back({entry->selector.states, T{}});
            continue;
        }
        std::optional<T> value = convert(declaration);
        if (value)
            list.push_back({entry->selector.states, std::move(*value)});
    }
}

// The member T of a value of the unit, else nothing.
template <class T>
auto ofUnit(Property::eUnit unit)
{
    return [unit](const StyleParser2::tDeclaration& declaration) -> std::optional<T> {
        if (declaration.unit != unit)
            return std::nullopt;
        if (const T* value = std::get_if<T>(&declaration.value))
            return *value;
        return std::nullopt;
    };
}

auto alignment(eAlignmentAxis axis)
{
    return [axis](const StyleParser2::tDeclaration& declaration) -> std::optional<int> {
        if (declaration.unit != Property::String)
            return std::nullopt;
        if (const std::string* word = std::get_if<std::string>(&declaration.value))
            return alignmentFromWord(*word, axis);
        return std::nullopt;
    };
}

}  // namespace

unsigned StyleData::getColour(int slot, bool border, int colourNumber) const
{
    if (slot < 0 || slot >= kColorSlotCount)
        return 0;
    const int index = border ? (slot != 0 ? 6 : 5) : slot;
    const unsigned colour = firstHolding(colours[static_cast<std::size_t>(index)], 0u);
    const int palette = firstHolding(palettes[static_cast<std::size_t>(index)], 0);
    if (palette == 0)
        return colour;
    const IStyledWidget* root = widget->getPaneRoot();
    if (!root)
        return colour;
    const StyleParser2::tDeclaration* value = root->findStyleValue(paletteColorName(palette, colourNumber));
    if (!value)
        return colour;
    if (const unsigned* redirected = std::get_if<unsigned>(&value->value))
        return *redirected;
    if (isNo(*value))
        return 0;
    return colour;
}

const UIA::Font* StyleData::getFont() const
{
    const UIA::Font* font = firstHolding(fonts, static_cast<const UIA::Font*>(nullptr));
    // "font: no" and fonts whose file could not be opened are null; text still needs a font.
    if (!font)
        font = defaultFont;
    if (font) {
        font->setScale(widget->getScale());
    }
    return font;
}

int StyleData::getAlignment() const
{
    return firstHolding(horizontalAlignment, static_cast<int>(kDefaultHorizontalAlignment)) |
           firstHolding(verticalAlignment, static_cast<int>(kDefaultVerticalAlignment));
}

const LazyPicture& StyleData::getPicture() const
{
    const LazyPicture* picture = firstHolding(pictures);
    return picture ? *picture : kNoPicture;
}

const LazyPicture& StyleData::getDyeMaskPicture() const
{
    const LazyPicture* picture = firstHolding(dyeMaskPictures);
    return picture ? *picture : kNoPicture;
}

int StyleData::getAnimationIndex() const { return firstHolding(animationIndices, 0); }

int StyleData::getDyeMaskAnimationIndex() const { return firstHolding(dyeMaskAnimationIndices, 0); }

GP::Point StyleData::getPictureDisplacement() const { return firstHolding(pictureDisplacements, GP::Point{}); }

GP::Point StyleData::getTextDisplacement() const { return firstHolding(textDisplacements, GP::Point{}); }

bool StyleData::getPictureIncludesMargin() const { return firstHolding(pictureIncludesMargin, false); }

void StyleData::clear()
{
    for (auto& list : colours)
        list.clear();
    for (auto& list : palettes)
        list.clear();
    fonts.clear();
    horizontalAlignment.clear();
    verticalAlignment.clear();
    pictures.clear();
    dyeMaskPictures.clear();
    animationIndices.clear();
    dyeMaskAnimationIndices.clear();
    pictureDisplacements.clear();
    textDisplacements.clear();
    pictureIncludesMargin.clear();
}

StyleData& StyleSheets::getStyleData(const IStyledWidget& widget)
{
    auto found = mStyleData.find(&widget);
    if (found != mStyleData.end())
        return found->second;
    const UIA::Font* defaultFont = mOwner ? mOwner->getFont(getDefaultFontDesc()) : nullptr;
    return mStyleData.emplace(&widget, StyleData(&widget, defaultFont)).first->second;
}

void StyleSheets::resolveStyleData(StyleData& data)
{
    const IStyledWidget& widget = *data.widget;
    auto rules = [&widget](ha::symbol property) { return StyleSheet::matchingRules(widget, property); };
    for (const tColorProperty& colour : colorProperties) {
        const auto slot = static_cast<std::size_t>(colour.slot);
        fill(data.colours[slot], rules(colour.property), ofUnit<unsigned>(Property::Color));
        fill(data.palettes[slot], rules(colour.palette), ofUnit<int>(Property::Number));
    }
    fill(data.fonts, rules(StyleNames::font), ofUnit<const UIA::Font*>(Property::Font));
    fill(data.horizontalAlignment, rules(StyleNames::horizontalAlignment), alignment(eAlignmentAxis::Horizontal));
    fill(data.verticalAlignment, rules(StyleNames::verticalAlignment), alignment(eAlignmentAxis::Vertical));
    fill(data.pictures, rules(StyleNames::picture), ofUnit<LazyPicture>(Property::Picture));
    fill(data.animationIndices, rules(StyleNames::animationIndex), ofUnit<int>(Property::Number));
    fill(data.dyeMaskPictures, rules(StyleNames::dyeMaskPicture), ofUnit<LazyPicture>(Property::Picture));
    fill(data.dyeMaskAnimationIndices, rules(StyleNames::dyeMaskAnimationIndex), ofUnit<int>(Property::Number));
    fill(data.pictureDisplacements, rules(StyleNames::pictureDisplacement), ofUnit<GP::Point>(Property::Point));
    fill(data.textDisplacements, rules(StyleNames::textDisplacement), ofUnit<GP::Point>(Property::Point));
    fill(data.pictureIncludesMargin, rules(StyleNames::pictureIncludesMargin),
         [](const StyleParser2::tDeclaration& declaration) { return toBool(declaration.value, declaration.unit); });
}

void StyleSheets::forgetWidget(const IStyledWidget* widget)
{
    mStyleData.erase(widget);
    forgetMatches(widget);
}

void StyleSheets::forgetMatches(const IStyledWidget* widget)
{
    for (tNamedSheet& named : mSheets)
        named.sheet.forgetWidget(widget);
}

}  // namespace HA::HWL
