// A widget's typed style reads, its style application and what selectors read of it.

#include <string>
#include <vector>

#include "hwl/core/src/cascade/StyleSheets.h"
#include "hwl/core/src/resources/ManagerContainer.h"
#include "hwl/core/src/style/StyleConversions.h"
#include "hwl/core/src/style/StyleSheet.h"
#include "hwl/core/src/tree/Pane.h"
#include "hwl/core/src/tree/SelectorAttributes.h"
#include "hwl/core/src/tree/Widget.h"

namespace HA::HWL {

namespace {

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
        if (isNo(declaration->value, declaration->unit)) {
            report(found, true);
            return T{};
        }
    }
    report(found, false);
    return defaultValue;
}

// The picture of the best "picture" rule that matches the widget, loaded at scale 1; null for
// none, for "no" and for a picture that cannot be loaded.
const UIA::Picture* styledPicture(const Widget& widget)
{
    const std::vector<const StyleSheet::tSelectorValue*> rules =
        StyleSheet::matchingRules(widget, StyleNames::picture);
    if (rules.empty())
        return nullptr;
    const LazyPicture* picture = std::get_if<LazyPicture>(&rules.front()->declaration.value);
    return picture ? picture->get(1.0f) : nullptr;
}

}  // namespace

void Widget::applyStyle()
{
    if (ManagerContainer* manager = getManager()) {
        StyleSheets& sheets = manager->getStyleSheets();
        sheets.resolveStyleData(sheets.getStyleData(*this));
    }

    tMargins margins = mMargins;
    getFourSided(0, margins);
    setMargin(margins);
    tMargins outer = mOuterMargins;
    getFourSided(1, outer);
    setOuterMargin(outer);

    tSize minimum{getProperty(StyleNames::minWidth, mMinimumSize.width),
                  getProperty(StyleNames::minHeight, mMinimumSize.height)};
    tSize maximum{getProperty(StyleNames::maxWidth, mMaximumSize.width),
                  getProperty(StyleNames::maxHeight, mMaximumSize.height)};
    bool found = false;
    const int width = getProperty(StyleNames::width, 0, &found);
    if (found)
        minimum.width = maximum.width = width;
    const int height = getProperty(StyleNames::height, 0, &found);
    if (found)
        minimum.height = maximum.height = height;

    const bool foreground = getProperty(StyleNames::drawForeground, false, &found);
    if (found) {
        if (foreground)
            changeFlags(ePaintAfterChildren, ePaintBeforeChildren);
        else
            changeFlags(ePaintBeforeChildren, ePaintAfterChildren);
    }

    // A picture that does not stretch in a direction fixes the widget's extent in it.
    if (const UIA::Picture* picture = styledPicture(*this)) {
        const bool include = getProperty(StyleNames::pictureIncludesMargin, false);
        const std::int32_t flags = picture->getMarginFlags();
        if (!(flags & UIA::PictureProperties::kVerticalMargins)) {
            const int h = picture->getFrameHeight() + (include ? 0 : mMargins.top + mMargins.bottom);
            minimum.height = maximum.height = h;
        }
        if (!(flags & UIA::PictureProperties::kHorizontalMargins)) {
            const int w = picture->getFrameWidth() + (include ? 0 : mMargins.left + mMargins.right);
            minimum.width = maximum.width = w;
        }
    }
    mMinimumSize = minimum;
    mMaximumSize = maximum;
    setSize(mSize.width, mSize.height);

    bool foundX = false;
    bool foundY = false;
    const int x = getProperty(StyleNames::x, 0, &foundX);
    const int y = getProperty(StyleNames::y, 0, &foundY);
    if (foundX || foundY) {
        setPosition(GP::Point{x, y});
        setFlag(ePositionFixed, true);
    }

    const int zIndex = getProperty(StyleNames::zIndex, mZIndex, &found);
    if (found)
        setZIndex(zIndex);

    mNeedsLayout = true;
    mFlags &= ~eStyleDirty;
}

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
    if (declaration && isNo(declaration->value, declaration->unit)) {
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

const StyleParser2::tDeclaration* Widget::findStyleValue(ha::symbol property) const
{
    StyleSheet* sheet = StyleSheet::sheetFor(*this);
    if (!sheet)
        return nullptr;
    for (const StyleSheet::tSelectorValue* entry : sheet->candidateRules(*this, property)) {
        const Selector& selector = entry->selector;
        if (selector.hasAttributeTests() && !selector.matches(*this, true))
            continue;
        if (selector.states.holds(*this))
            return &entry->declaration;
    }
    return nullptr;
}

AttibuteSelector::tValue Widget::getSelectorAttribute(ha::symbol name) const
{
    auto found = mAttributes.find(name);
    if (found != mAttributes.end())
        return found->second;
    for (const tAttributeGetter& getter : attributeGetters)
        if (getter.name == name)
            return getter.get(*this);
    return AttibuteSelector::tDoesntExist{};
}

bool Widget::getSelectorState(int index) const
{
    return stateGetters[static_cast<std::size_t>(index)].test(*this);
}

StyleSheet* Widget::getPaneStyleSheet() const
{
    return mPane ? mPane->getStyleSheet() : nullptr;
}

StyleSheet* Widget::getStylingSheet() const
{
    if (ManagerContainer* manager = getManager())
        return manager->getStyleSheets().getSheetFor(*this);
    // Before the start-up only a pane's own sheet can style a widget.
    return getPaneStyleSheet();
}

const IStyledWidget* Widget::getPaneRoot() const
{
    return mPane ? mPane->getRoot().get() : nullptr;
}

}  // namespace HA::HWL
