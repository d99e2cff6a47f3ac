#pragma once
// A word-wrapped text drawn line by line with the style's alignments. With fit height its
// height follows the text; without it, a line after which the next one would not fit whole is
// the last one drawn, with ".." appended.

#include "hwl/core/src/style/StyleConversions.h"
#include "hwl/core/src/widgets/MultilineText.h"

namespace HA::HWL {

class MultilineLabel : public DETAIL::MultilineText {
public:
    ha::symbol getClass() const override;
    void paint(PaintContext& context) override;
    // "horizontal-alignment" (default "left") and "vertical-alignment" (default "top"), then
    // the text's style.
    void applyStyle() override;
    // With fit height, the height becomes the text's height (limited by a positive maximum).
    void rewrap() override;

    // Takes effect at the next rewrap.
    void setFitHeightToText(bool fit) { mFitHeight = fit; }
    bool getFitHeightToText() const { return mFitHeight; }
    int getHorizontalAlignment() const { return mHorizontalAlignment; }
    int getVerticalAlignment() const { return mVerticalAlignment; }

private:
    bool mFitHeight = false;
    int mHorizontalAlignment = AlignLeft;
    int mVerticalAlignment = AlignTop;
};

}  // namespace HA::HWL
