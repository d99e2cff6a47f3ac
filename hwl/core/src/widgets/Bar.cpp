#include "hwl/core/src/widgets/Bar.h"

#include <algorithm>
#include <cstddef>
#include <string>
#include <vector>

#include "hwl/core/src/errors/ErrorListeners.h"
#include "hwl/core/src/style/StyleNames.h"
#include "hwl/core/src/style/StyleSheet.h"

namespace HA::HWL {

Bar::Bar() = default;

ha::symbol Bar::getClass() const
{
    static const ha::symbol name(std::string("Bar"));
    return name;
}

void Bar::configure(int direction, const char* style)
{
    if (direction != mDirection) {
        mDirection = direction;
        requestLayout();
    }
    setPainter([](const Bar& bar, PaintContext& context) { bar.getPanelDrawer().draw(bar, context); });
    setStyle(style);
}

void Bar::applyStyle()
{
    mSpacing = getProperty(StyleNames::spacing, mSpacing);
    Widget::applyStyle();
    // The messages only report: the computed values win.
    if (mPreLayoutHook)
        reportComputedSize(isHorizontal() ? StyleNames::height : StyleNames::width, "styleBreadthXXX");
    if (mAutomaticLength) {
        if (mFlexibleIndex != -1)
            notifyErrorListeners(" Layout contradiction - Bar " + getId().str() +
                                 " has a flexible element, but is also computed automatically by styleLengthXXX!!!");
        reportComputedSize(isHorizontal() ? StyleNames::width : StyleNames::height, "styleLengthXXX");
    }
}

void Bar::reportComputedSize(ha::symbol property, const char* computedBy) const
{
    const std::vector<const StyleSheet::tSelectorValue*> rules = StyleSheet::matchingRules(*this, property);
    if (rules.empty())
        return;
    const Selector& selector = rules.front()->selector;
    const std::string place = selector.source.str() + ":" + std::to_string(selector.startLine);
    notifyErrorListeners("Layout contradiction - " + property.str() + " of Bar " + getId().str() + " is given at line " +
                         place + " of the stylesheet but also computed automatically by " + computedBy + "!!!");
}

void Bar::setSpacing(int spacing)
{
    if (spacing == mSpacing)
        return;
    mSpacing = spacing;
    requestLayout();
}

void Bar::setFlexibleIndex(int index)
{
    mFlexibleIndex = index;
    requestLayout();
}

void Bar::fitBreadthAutomatically()
{
    mPreLayoutHook = [](Bar& bar) { bar.fitBreadthToChildren(); };
    setAdjustHook([](Bar& bar) { bar.fitBreadthToChildren(); });
    requestLayout();
    mAutomaticLength = false;
}

void Bar::fitBreadthToChildren()
{
    const bool horizontal = isHorizontal();
    int breadth = 0;
    for (const auto& child : getChildren()) {
        if (!child->isShown())
            continue;
        const tMargins o = child->getOuterMargins();
        const tSize s = child->getSize();
        breadth = std::max(breadth, horizontal ? o.bottom + o.top + s.height : s.width + o.right + o.left);
    }
    const tMargins m = getMargins();
    const tSize size = getSize();
    if (horizontal)
        setSize(size.width, breadth + m.bottom + m.top);
    else
        setSize(m.left + m.right + breadth, size.height);
}

void Bar::setWidth(int width)
{
    if (mAutomaticLength && isHorizontal())
        return;
    Widget::setWidth(width);
}

void Bar::setHeight(int height)
{
    if (mAutomaticLength && !isHorizontal())
        return;
    Widget::setHeight(height);
}

void Bar::layout()
{
    if (mPreLayoutHook)
        mPreLayoutHook(*this);
    const tChildren& children = getChildren();
    Widget* flexible = mFlexibleIndex >= 0 && std::size_t(mFlexibleIndex) < children.size()
                           ? children[std::size_t(mFlexibleIndex)].get()
                           : nullptr;
    if (flexible) {
        const tMargins m = getMargins();
        const tMargins fo = flexible->getOuterMargins();
        const tSize size = getSize();
        int sum = 0;
        const bool vertical = mDirection == kLineTopToBottom || mDirection == kLineBottomToTop;
        for (const auto& child : children) {
            if (child.get() == flexible || !child->isShown() || child->hasFlag(ePositionFixed))
                continue;
            const tMargins o = child->getOuterMargins();
            const tSize s = child->getSize();
            sum += isHorizontal() ? o.right + s.width + mSpacing + o.left : o.bottom + o.top + s.height + mSpacing;
        }
        if (isHorizontal())
            flexible->setSize(size.width - m.right - m.left - fo.right - fo.left - sum, flexible->getSize().height);
        else if (vertical)
            flexible->setSize(flexible->getSize().width, size.height - m.bottom - m.top - fo.bottom - fo.top - sum);
    }
    arrangeChildrenInLine(mDirection, mSpacing);
}

}  // namespace HA::HWL
