#pragma once
// A widget with one UTF-8 text, drawn by its own panel drawer (whose abbreviator leaves every
// text whole). With fit to text, the widget takes the size of its text plus its margins
// whenever the text or the style changes.

#include <cmath>
#include <string>
#include <utility>

#include "gp/src/common/text/Utf8.h"
#include "hwl/core/src/tree/WidgetTemplate.h"
#include "hwl/core/src/widgets/PanelDrawer.h"
#include "uia/graphics/text/Font.h"

namespace HA::HWL {

template <class T>
class TextPanel : public WidgetTemplate<T> {
public:
    // Stores a different text (made valid UTF-8 first: the font throws on anything else) and
    // invalidates the widget; fits the widget to its text in either case.
    void setText(const std::string& text)
    {
        std::string valid = GP::toValidUtf8(text);
        if (valid != mText) {
            mText = std::move(valid);
            this->invalidate();
        }
        fitToText();
    }
    const std::string& getText() const { return mText; }

    // Only with fit to text and a pane (without one there is no scale and no style font).
    // Horizontal text: the widest line by the number of lines; vertical text turned.
    void fitToText()
    {
        if (!mFitToText || !this->getPane())
            return;
        const UIA::Font* font = this->getFont();
        if (!font)
            return;
        const float scale = this->getScale();
        font->setScale(scale);
        int lines = 1;
        for (const char c : mText)
            if (c == '\n')
                ++lines;
        const int stacked = font->getLineHeight() * lines;
        const int widest = font->getWidestLineWidth(mText);
        const Widget::tMargins margins = this->getMargins();
        const Widget::tSize maximum = this->getMaximumSize();

        int width = margins.left + nearest(mVerticalText ? stacked : widest, scale) + margins.right;
        if (maximum.width > 0 && maximum.width < width)
            width = maximum.width;
        this->setSize(width, this->getSize().height);

        int height = margins.top + nearest(mVerticalText ? widest : stacked, scale) + margins.bottom;
        if (maximum.height > 0 && maximum.height < height)
            height = maximum.height;
        this->setSize(this->getSize().width, height);
    }

    void applyStyle() override
    {
        Widget::applyStyle();
        fitToText();
    }

    bool getFitToText() const { return mFitToText; }
    // Takes effect at the next text or style change.
    void setFitToText(bool fit) { mFitToText = fit; }
    // 0 horizontal, 1 vertical (reading upward).
    int getVerticalText() const { return mVerticalText; }
    void setVerticalText(int vertical)
    {
        mVerticalText = vertical;
        this->invalidate();
    }
    PanelDrawer& getPanelDrawer() { return mPanelDrawer; }
    const PanelDrawer& getPanelDrawer() const { return mPanelDrawer; }

private:
    // Buffer pixels to logical ones, halves away from zero.
    static int nearest(int pixels, float scale) { return static_cast<int>(std::lround(pixels / double(scale))); }

    std::string mText;
    bool mFitToText = false;
    PanelDrawer mPanelDrawer;
    int mVerticalText = 0;
};

}  // namespace HA::HWL
