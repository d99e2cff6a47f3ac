#include "hwl/core/src/widgets/PanelDrawer.h"

#include <cmath>

#include "gp/src/common/text/Utf8.h"
#include "hwl/core/src/canvas/PaintContext.h"
#include "hwl/core/src/cascade/StyleData.h"
#include "hwl/core/src/cascade/StyleSheets.h"
#include "hwl/core/src/resources/ManagerContainer.h"
#include "hwl/core/src/style/LazyPicture.h"
#include "hwl/core/src/tree/Widget.h"
#include "uia/graphics/text/Font.h"

namespace HA::HWL {

namespace {

constexpr int kBackgroundSlot = 0;
constexpr int kForegroundSlot = 2;
constexpr int kDyeSlot = 4;

const StyleData* styleOf(const Widget& widget)
{
    ManagerContainer* manager = getManager();
    return manager ? &manager->getStyleSheets().getStyleData(widget) : nullptr;
}

GP::Rect pictureArea(const Widget& widget, const StyleData& style, const GP::Rect& rect)
{
    GP::Rect area = rect;
    if (!style.getPictureIncludesMargin()) {
        const Widget::tMargins m = widget.getMargins();
        area = GP::Rect{area.left + m.left, area.top + m.top, area.right - m.right, area.bottom - m.bottom};
    }
    const GP::Point d = style.getPictureDisplacement();
    return area.offsetBy(d.x, d.y);
}

}  // namespace

void PanelDrawer::draw(const Widget& widget, PaintContext& context) const
{
    const Widget::tSize size = widget.getSize();
    const GP::Rect rect{0, 0, size.width, size.height};
    drawBackground(widget, rect, kBackgroundSlot, context);
    drawDyeMask(widget, rect, context);
}

void PanelDrawer::drawBackground(const Widget& widget, const GP::Rect& rect, int slot, PaintContext& context) const
{
    const StyleData* style = styleOf(widget);
    if (!style)
        return;
    Canvas& canvas = context.canvas;
    const std::uint32_t fill = style->getColour(slot, false, mColourNumber);
    const std::uint32_t border = style->getColour(slot, true, mColourNumber);
    if (fill != 0 || border != 0) {
        context.forEachDirtyRect(rect, [&](const GP::Rect& d) {
            if (fill > 0xFFFFFFu)
                canvas.fillRect(d, fill);
            if (border > 0xFFFFFFu) {
                canvas.setClip(d);
                canvas.drawFrameRect(rect, border);
                canvas.resetClip();
            }
        });
    }
    if (slot != kBackgroundSlot)
        return;
    const UIA::Picture* picture = style->getPicture().get(context.scale);
    if (!picture)
        return;
    int frame = style->getAnimationIndex();
    if (mFrameHook)
        mFrameHook(frame);
    const GP::Rect area = pictureArea(widget, *style, rect);
    const bool ninePatch = picture->getMarginFlags() != 0;
    context.forEachDirtyRect(area, [&](const GP::Rect& d) {
        canvas.setClip(d);
        if (ninePatch)
            canvas.drawNinePatch(area, *picture, std::uint32_t(frame), std::nullopt, false);
        else
            canvas.drawPicture(GP::Point{area.left, area.top}, *picture, std::uint32_t(frame), std::nullopt, false);
        canvas.resetClip();
    });
}

void PanelDrawer::drawDyeMask(const Widget& widget, const GP::Rect& rect, PaintContext& context) const
{
    const StyleData* style = styleOf(widget);
    if (!style)
        return;
    const UIA::Picture* mask = style->getDyeMaskPicture().get(context.scale);
    if (!mask || mask->getWidth() <= 0 || mask->getHeight() <= 0)
        return;
    int frame = style->getDyeMaskAnimationIndex();
    if (mFrameHook)
        mFrameHook(frame);
    const std::uint32_t colour = style->getColour(kDyeSlot, false, mColourNumber);
    const GP::Rect area = pictureArea(widget, *style, rect);
    Canvas& canvas = context.canvas;
    context.forEachDirtyRect(area, [&](const GP::Rect& d) {
        canvas.setClip(d);
        canvas.drawDyedPicture(area, colour, *mask, std::uint32_t(frame), std::nullopt);
        canvas.resetClip();
    });
}

void PanelDrawer::drawText(const Widget& widget, const std::string& text, PaintContext& context,
                           int orientation) const
{
    const StyleData* style = styleOf(widget);
    if (!style)
        return;
    const Widget::tSize size = widget.getSize();
    const Widget::tMargins m = widget.getMargins();
    GP::Rect rect{m.left, m.top, size.width - m.right, size.height - m.bottom};
    const unsigned alignment = unsigned(style->getAlignment());
    const std::uint32_t colour = style->getColour(kForegroundSlot, false, mColourNumber);
    if (colour == 0)
        return;
    const UIA::Font* font = style->getFont();
    if (!font)
        return;
    const GP::Point displacement = style->getTextDisplacement();
    const int available = orientation == 0   ? rect.width() - displacement.x
                          : orientation == 1 ? rect.height() - displacement.y
                                             : 0;
    const int width = int(std::lroundf(float(available) * widget.getScale()));
    // Measuring and drawing step over code points: bytes that are not UTF-8 are left out.
    const std::string valid = GP::toValidUtf8(text);
    std::string shown;
    if (mTextDelegate) {
        mTextDelegate(shown, valid, *font, width);
    } else {
        shown = UIA::abbreviateToWidth(mAbbreviator, valid, width, *font);
    }
    rect = rect.offsetBy(displacement.x, displacement.y);
    Canvas& canvas = context.canvas;
    context.forEachDirtyRect(rect, [&](const GP::Rect& d) {
        canvas.setClip(d);
        canvas.drawText(shown.c_str(), rect, *font, colour, alignment, orientation != 0);
        canvas.resetClip();
    });
}

int PanelDrawer::fitText(const Widget& widget, const std::string& text, int width) const
{
    const StyleData* style = styleOf(widget);
    if (!style)
        return 0;
    const UIA::Font* font = style->getFont();
    if (!font)
        return 0;
    const float scale = widget.getScale();
    font->setScale(scale);
    const std::string valid = GP::toValidUtf8(text);
    const int fitting =
        font->getFittingLength(valid.c_str(), unsigned(style->getAlignment()), int(std::lroundf(float(width) * scale)));
    return int(std::lroundf(float(fitting) / scale));
}

}  // namespace HA::HWL
