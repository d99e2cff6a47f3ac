// A widget's resolved style: its readers.

#include "hwl/core/src/cascade/StyleData.h"

#include <string>

#include "hwl/core/src/style/StyleConversions.h"
#include "hwl/core/src/style/StyleParser2.h"
#include "hwl/core/src/style/StyledWidget.h"
#include "uia/graphics/text/Font.h"

namespace HA::HWL {

namespace {

const LazyPicture kNoPicture;

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
    if (isNo(value->value, value->unit))
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

}  // namespace HA::HWL
