#include "hwl/core/src/widgets/MultilineLabel.h"

#include <algorithm>
#include <string>

#include "hwl/core/src/canvas/PaintContext.h"
#include "hwl/core/src/cascade/StyleData.h"
#include "hwl/core/src/cascade/StyleSheets.h"
#include "hwl/core/src/resources/ManagerContainer.h"
#include "uia/graphics/text/Font.h"

namespace HA::HWL {

namespace {
constexpr int kForegroundSlot = 2;
}

ha::symbol MultilineLabel::getClass() const
{
    static const ha::symbol name(std::string("MultilineLabel"));
    return name;
}

void MultilineLabel::applyStyle()
{
    static const ha::symbol horizontal(std::string("horizontal-alignment"));
    static const ha::symbol vertical(std::string("vertical-alignment"));
    mHorizontalAlignment = alignmentFromWord(getProperty(horizontal, "left"), eAlignmentAxis::Horizontal);
    mVerticalAlignment = alignmentFromWord(getProperty(vertical, "top"), eAlignmentAxis::Vertical);
    MultilineText::applyStyle();
}

void MultilineLabel::rewrap()
{
    MultilineText::rewrap();
    if (!mFitHeight)
        return;
    int height = getTextHeight();
    const tSize maximum = getMaximumSize();
    if (maximum.height > 0 && maximum.height < height)
        height = maximum.height;
    setSize(getSize().width, height);
}

void MultilineLabel::paint(PaintContext& context)
{
    const PanelDrawer& drawer = getPanelDrawer();
    drawer.draw(*this, context);
    ManagerContainer* manager = getManager();
    if (!manager)
        return;
    const StyleData& style = manager->getStyleSheets().getStyleData(*this);
    const std::uint32_t colour = style.getColour(kForegroundSlot, false, drawer.getColourNumber());
    const UIA::Font* font = style.getFont();
    if (colour == 0 || !font)
        return;

    const int step = getLineStep();
    const tSize size = getSize();
    const tMargins margins = getMargins();
    const int lines = getLineCount();
    int offset = 0;
    if (!getFitHeightToText()) {
        if (mVerticalAlignment == AlignCenter)
            offset = ((size.height - margins.bottom) - margins.top - lines * step) / 2;
        else if (mVerticalAlignment == AlignBottom)
            offset = (size.height - margins.bottom) - lines * step - margins.top;
    }
    const GP::Rect content{margins.left, margins.top, size.width - margins.right, size.height - margins.bottom};
    const GP::Point displacement = style.getTextDisplacement();
    const unsigned flags = static_cast<unsigned>(mHorizontalAlignment | AlignTop);
    Canvas& canvas = context.canvas;

    auto drawLine = [&](const std::string& text, const GP::Rect& rect) {
        const GP::Rect moved = rect.offsetBy(displacement.x, displacement.y);
        context.forEachDirtyRect(moved, [&](const GP::Rect& dirty) {
            canvas.setClip(dirty);
            canvas.drawText(text.c_str(), moved, *font, colour, flags, false);
            canvas.resetClip();
        });
    };

    for (int i = 0; i < lines; ++i) {
        const int top = offset + margins.top + step * i;
        // Each line spans the content box; the font aligns it there.
        const GP::Rect rect{content.left, top, content.right, top + step};
        if (GP::Rect::intersect(rect, content).isEmpty())
            continue;
        std::string text = getLine(i);
        // The last line that fits: the next one would pass the bottom. (A next line that ends
        // exactly at the bottom fits; otherwise a bottom-aligned text would never show its
        // last line.)
        if (!mFitHeight && i + 1 < lines && top + 2 * step > size.height) {
            text.erase(std::remove(text.begin(), text.end(), '\n'), text.end());
            drawLine(text + "..", rect);
            return;
        }
        drawLine(text, rect);
    }
}

}  // namespace HA::HWL
