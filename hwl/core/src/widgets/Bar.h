#pragma once
// The library's line container: lines its children up horizontally or vertically with a
// spacing, can give one flexible child the remaining length and can size its own breadth
// (extent across its direction) to its children.

#include <functional>
#include <optional>

#include "hwl/core/src/tree/WidgetTemplate.h"
#include "hwl/core/src/widgets/PanelDrawer.h"

namespace HA::HWL {

class Bar : public WidgetTemplate<Bar> {
public:
    Bar();

    ha::symbol getClass() const override;
    void layout() override;
    // The spacing, the widget's style, then a report of every size that the sheet gives and
    // the bar also computes.
    void applyStyle() override;
    void setWidth(int width) override;
    void setHeight(int height) override;

    // Stores a new direction (and asks for layout), installs the painter of the bar's
    // background, invalidates the bar, then sets the style class.
    void configure(int direction, const char* style);
    // The breadth follows the children: before each layout and after each pass.
    void fitBreadthAutomatically();
    void fitBreadthToChildren();

    // Directions 1 and 0x1000 are horizontal; every other one counts as vertical.
    bool isHorizontal() const { return mDirection == kLineLeftToRight || mDirection == kLineRightToLeft; }
    std::optional<bool> getHorizontalAttribute() const override { return isHorizontal(); }
    int getDirection() const { return mDirection; }
    int getSpacing() const { return mSpacing; }
    void setSpacing(int spacing);
    int getFlexibleIndex() const { return mFlexibleIndex; }
    void setFlexibleIndex(int index);
    bool hasAutomaticLength() const { return mAutomaticLength; }
    void setAutomaticLength(bool on) { mAutomaticLength = on; }
    PanelDrawer& getPanelDrawer() { return mPanelDrawer; }
    const PanelDrawer& getPanelDrawer() const { return mPanelDrawer; }

private:
    // Reports the sheet's rule for a size the bar computes itself, when there is one.
    void reportComputedSize(ha::symbol property, const char* computedBy) const;

    int mDirection = kLineTopToBottom;
    int mSpacing = 0;
    int mFlexibleIndex = -1;
    std::function<void(Bar&)> mPreLayoutHook;
    bool mAutomaticLength = false;
    PanelDrawer mPanelDrawer;
};

}  // namespace HA::HWL
