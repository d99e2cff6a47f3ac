#pragma once
// Paints a widget's styled panel: background colour and border, picture (nine-patch or
// plain), dye mask and text, each clipped to the dirty parts of the paint context. The style
// is the widget's resolved style, fetched at every call.

#include <functional>
#include <string>

#include "gp/src/common/abbreviation/TextAbbreviator.h"
#include "gp/src/common/geometry/Geometry.h"

namespace HA::UIA {
class Font;
}

namespace HA::HWL {

class PaintContext;
class Widget;

class PanelDrawer {
public:
    // (out shown text, text, font, available width in buffer pixels).
    using tTextDelegate = std::function<void(std::string&, const std::string&, const UIA::Font&, int)>;
    // May change the animation frame the style chose.
    using tFrameHook = std::function<void(int&)>;

    // The colour slot, its rectangle {0, 0, width, height}, then the dye mask.
    void draw(const Widget& widget, PaintContext& context) const;
    // Fill and border of the colour slot; slot 0 then draws the style's picture.
    void drawBackground(const Widget& widget, const GP::Rect& rect, int slot, PaintContext& context) const;
    void drawDyeMask(const Widget& widget, const GP::Rect& rect, PaintContext& context) const;
    // orientation 0 horizontal, 1 vertical (reading upward).
    void drawText(const Widget& widget, const std::string& text, PaintContext& context, int orientation) const;
    // The x offset (logical units) of the text's first line within width under the style's
    // alignment.
    int fitText(const Widget& widget, const std::string& text, int width) const;
    // A text panel's look: its panel, then its text in its own orientation. Any widget with
    // getText() and getVerticalText() will do.
    template <class tPanel>
    void drawTextPanel(const tPanel& panel, PaintContext& context) const
    {
        draw(panel, context);
        drawText(panel, panel.getText(), context, panel.getVerticalText());
    }

    void setTextDelegate(tTextDelegate textDelegate) { mTextDelegate = std::move(textDelegate); }
    void setFrameHook(tFrameHook frameHook) { mFrameHook = std::move(frameHook); }
    GP::TextAbbreviator& getAbbreviator() { return mAbbreviator; }
    int getColourNumber() const { return mColourNumber; }
    void setColourNumber(int number) { mColourNumber = number; }

private:
    tTextDelegate mTextDelegate;
    tFrameHook mFrameHook;
    GP::TextAbbreviator mAbbreviator;
    int mColourNumber = 0;
};

}  // namespace HA::HWL
