#pragma once
// A widget's resolved style: per property the values of the rules that match it, best first,
// each with the state condition under which it applies. Matching runs when the record is
// refilled; states are tested when a value is read, so hovering or pressing needs no refill.
// User-interface thread only.

#include <array>
#include <vector>

#include "gp/src/common/geometry/Geometry.h"
#include "hwl/core/src/style/LazyPicture.h"
#include "hwl/core/src/style/Selector.h"
#include "hwl/core/src/style/StyleNames.h"

namespace HA::UIA {
class Font;
}

namespace HA::HWL {

class IStyledWidget;

class StyleData {
public:
    template <class T>
    struct tStateValue {
        StateCondition condition;
        T value;
    };
    template <class T>
    using tList = std::vector<tStateValue<T>>;

    StyleData(const IStyledWidget* widget, const UIA::Font* defaultFont) : widget(widget), defaultFont(defaultFont) {}

    // The colour of a slot (with border: slot 0 reads the background border, any other the
    // foreground border). A palette redirects to the pane's root widget's "palette%d-color%d"
    // value for the colour number. 0 when nothing applies.
    unsigned getColour(int slot, bool border, int colourNumber) const;
    // The font, never null while a default font exists, made current for the pane's scale.
    const UIA::Font* getFont() const;
    // Horizontal (default left) OR vertical (default centre) alignment flags.
    int getAlignment() const;
    // References into the record (its lists keep the pictures' caches) or to an empty picture.
    const LazyPicture& getPicture() const;
    const LazyPicture& getDyeMaskPicture() const;
    int getAnimationIndex() const;
    int getDyeMaskAnimationIndex() const;
    GP::Point getPictureDisplacement() const;
    GP::Point getTextDisplacement() const;
    bool getPictureIncludesMargin() const;

    // Empties every list.
    void clear();

    const IStyledWidget* widget;
    std::array<tList<unsigned>, kColorSlotCount> colours;
    std::array<tList<int>, kColorSlotCount> palettes;
    tList<const UIA::Font*> fonts;
    const UIA::Font* defaultFont;
    tList<int> horizontalAlignment;
    tList<int> verticalAlignment;
    tList<LazyPicture> pictures;
    tList<LazyPicture> dyeMaskPictures;
    tList<int> animationIndices;
    tList<int> dyeMaskAnimationIndices;
    tList<GP::Point> pictureDisplacements;
    tList<GP::Point> textDisplacements;
    tList<bool> pictureIncludesMargin;

private:
    // The first value whose condition holds for the widget now, else null.
    template <class T>
    const T* firstHolding(const tList<T>& list) const
    {
        for (const tStateValue<T>& element : list)
            if (element.condition.holds(*widget))
                return &element.value;
        return nullptr;
    }
    template <class T>
    T firstHolding(const tList<T>& list, const T& fallback) const
    {
        const T* value = firstHolding(list);
        return value ? *value : fallback;
    }
};

}  // namespace HA::HWL
