#pragma once
// A word-wrapped UTF-8 text: its line starts follow the text, the content width and the style.

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "hwl/core/src/tree/WidgetTemplate.h"
#include "hwl/core/src/widgets/PanelDrawer.h"

namespace HA::HWL::DETAIL {

// Where a line begins: the byte position in the text and the code point found there (-1 at
// the end of the text).
struct tLineStart {
    std::size_t position = 0;
    int codePoint = -1;

    friend bool operator==(const tLineStart& a, const tLineStart& b)
    {
        return a.position == b.position && a.codePoint == b.codePoint;
    }
};
using tLineStarts = std::vector<tLineStart>;

// Width in logical pixels of `length` bytes of text starting at `text`.
using tMeasure = std::function<int(const char* text, int length)>;

// The line starts of `text` wrapped at `wrapWidth`: n + 1 entries for n lines, the last one the
// end of the text. A line breaks after its last space, tab, '-', ',', '.', '/', ':', ';' or
// '\' that fits; a line without one is cut before the first character that does not fit;
// '\n' always breaks and stays at the end of its line. Throws std::out_of_range on invalid
// UTF-8.
tLineStarts wrapText(const std::string& text, int wrapWidth, const tMeasure& measure);

// The text with invalid UTF-8 dropped and every byte below 32 but '\n' removed.
std::string cleanMultilineText(const std::string& text);

// A text wrapped at its content width (width less the left and right margins). The line starts
// are recomputed by a new text, a new content width in layout and every style application;
// only a widget in a pane wraps (the font and scale come from it). A new widget has one empty
// line.
class MultilineText : public WidgetTemplate<MultilineText> {
public:
    MultilineText();

    // Rewraps when the content width changed.
    void layout() override;
    // "line-spacing" (default 0), the widget's style, then a rewrap.
    void applyStyle() override;

    // An equal text does nothing; otherwise the text is made valid UTF-8, every byte below 32
    // but '\n' is dropped, and the text is rewrapped.
    virtual void setText(const std::string& text);
    // Recomputes the line starts at the content width; nothing without a pane.
    virtual void rewrap();

    // lines x (line height in logical pixels + line spacing).
    int getTextHeight() const;
    // One line's height in logical pixels plus the line spacing.
    int getLineStep() const;

    const std::string& getText() const { return mText; }
    const tLineStarts& getLineStarts() const { return mLineStarts; }
    int getLineCount() const { return static_cast<int>(mLineStarts.size()) - 1; }
    // The bytes of line i, its trailing break included.
    std::string getLine(int index) const;
    int getLineSpacing() const { return mLineSpacing; }
    int getWrapWidth() const { return mWrapWidth; }
    PanelDrawer& getPanelDrawer() { return mPanelDrawer; }
    const PanelDrawer& getPanelDrawer() const { return mPanelDrawer; }

protected:
    // The content width: width less the left and right margins.
    int contentWidth() const;

private:
    PanelDrawer mPanelDrawer;
    int mLineSpacing = 0;
    std::string mText;
    tLineStarts mLineStarts;
    int mWrapWidth = 0;
};

}  // namespace HA::HWL::DETAIL
