#include "hwl/core/src/cascade/StyleSheets.h"

#include <optional>
#include <string>

#include "hwl/core/src/style/StyleConversions.h"
#include "hwl/core/src/style/StyleParser2.h"
#include "hwl/core/src/style/StyledWidget.h"

namespace HA::HWL {

namespace {

// Appends one element per entry whose value `convert` accepts; "no" enters as the zero of T.
template <class T, class Convert>
void fill(StyleData::tList<T>& list, const std::vector<const StyleSheet::tSelectorValue*>& entries, Convert convert)
{
    list.clear();
    for (const StyleSheet::tSelectorValue* entry : entries) {
        const StyleParser2::tDeclaration& declaration = entry->declaration;
        if (isNo(declaration.value, declaration.unit)) {
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

const char* const StyleSheets::kBuiltInStyles =
    " * { background-color:rgb(192, 192, 192); background-border-color:rgb(128, 128, 128);  "
    "foreground-color:rgb(0, 0, 0); }     \n"
    "*:down { background-color:rgb(176, 176, 176); }     \n"
    "*:over { background-color:rgb(208, 208, 208); }     \n"
    "Bar { background-color:rgb(32, 32, 32); /*margin:2; spacing:2;*/ }     \n";

StyleSheets::StyleSheets(IStyleResources* owner) : mOwner(owner)
{
    mSheets.push_back(tNamedSheet{std::string(), StyleSheet(owner)});
    StyleParser2::processString(mSheets.front().sheet, kBuiltInStyles);
}

StyleSheet* StyleSheets::getSheetFor(const IStyledWidget& widget)
{
    if (!widget.isInPane())
        return nullptr;
    StyleSheet* own = widget.getPaneStyleSheet();
    return own ? own : &getGlobalSheet();
}

void StyleSheets::load(const std::string& name)
{
    tNamedSheet& global = mSheets.front();
    if (global.name == name)
        return;
    global.name = name;
    global.sheet.loadResource(name);
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
