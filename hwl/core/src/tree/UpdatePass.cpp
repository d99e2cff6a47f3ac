// The update pass: pending styles, layout, bounds, timers and opaque areas, run by the pane
// before it paints. Changes between two passes only mark widgets; this does the work.

#include <memory>

#include "hwl/core/src/tree/Pane.h"
#include "hwl/core/src/tree/Widget.h"

namespace HA::HWL {

std::uint32_t Pane::runUpdate(const GP::Rect& clip, GP::Region& dirty)
{
    std::uint32_t taken = 0;
    int passes = 0;
    for (;;) {
        taken |= exchangeDirty(0);
        if (!(taken & kDirtyUpdate) || !mRoot)
            return taken & ~kDirtyUpdate;
        if (passes == kMaxUpdatePasses) {
            // A widget that keeps asking costs at most this many passes per call; its last
            // request is served by the next call rather than lost.
            markDirty(kDirtyUpdate);
            return taken & ~kDirtyUpdate;
        }
        const std::shared_ptr<Widget> root = mRoot;
        root->runUpdatePass(*this, clip, dirty);
        ++passes;
        taken &= ~kDirtyUpdate;
        // What the pass hid or disabled; the repaints and requests this makes are taken by
        // the next turn of the loop.
        dropUnreachablePointerWidgets();
    }
}

void Pane::update()
{
    if (!mRoot)
        return;
    GP::Region scratch;
    runUpdate(GP::Rect{0, 0, 100, 100}, scratch);
    if (mRoot)
        mRoot->requestLayout();
}

void Widget::runUpdatePass(Pane& pane, const GP::Rect& clip, GP::Region& dirty)
{
    const std::shared_ptr<Widget> self = shared_from_this();
    if (mFlags & eVisible) {
        if (!(mFlags & eRegistered))
            registerWithPane(&pane, true, false);
        if (mParent)
            setFlag(eAncestorsEnabled, mParent->isEffectivelyEnabled());
        if (mFlags & eStyleDirty)
            applyStyle();
        getZOrderedChildren();
        const bool laidOut = mNeedsLayout;
        mNeedsLayout = false;
        if (laidOut || (mParent && (mParent->mFlags & eMoved))) {
            updateBounds(clip, dirty, laidOut);
            mFlags |= eMoved | eGeometryChanged;
        }
        handPendingTimerToPane();
        if (laidOut)
            layout();
        const GP::Rect content{mAbsolute.x + mMargins.left, mAbsolute.y + mMargins.top,
                               mAbsolute.x + mSize.width - mMargins.right,
                               mAbsolute.y + mSize.height - mMargins.bottom};
        const GP::Rect childClip = GP::Rect::intersect(mBounds, content);
        const tChildren children = mChildren;
        for (const auto& child : children)
            child->runUpdatePass(pane, childClip, dirty);
        adjustSize();
        mFlags &= ~eMoved;
    } else if ((mFlags & eRegistered) || mPane != &pane) {
        if (mParent && containsWidget(pane.getFocusWidget())) {
            // The input widget goes first: once the parent holds the focus, the subtree no
            // longer holds it, and nothing else would take keys away from a hidden widget.
            pane.mInputWidget = nullptr;
            pane.setFocusWidget(mParent);
        }
        registerWithPane(&pane, false, false);
    }
    mOpaqueRegion.clear();
    GP::Region childArea;
    for (const auto& child : mChildren) {
        childArea.clear();
        if (child->getOpaqueRegion(childArea))
            GP::Region::unite(mOpaqueRegion, mOpaqueRegion, childArea);
    }
}

void Widget::arrangeChildrenInLine(int direction, int spacing)
{
    const tMargins& m = mMargins;
    const tChildren children = mChildren;
    auto takesPart = [](const Widget& child) { return child.isShown() && !(child.mFlags & ePositionFixed); };
    switch (direction) {
    case kLineLeftToRight: {
        int x = 0;
        for (const auto& child : children) {
            if (!takesPart(*child))
                continue;
            const tMargins& o = child->mOuterMargins;
            child->setPosition(GP::Point{x + o.left, o.top});
            child->setHeight(mSize.height - m.bottom - m.top - o.bottom - o.top);
            x += child->mSize.width + o.right + o.left + spacing;
        }
        break;
    }
    case kLineTopToBottom: {
        int y = 0;
        for (const auto& child : children) {
            if (!takesPart(*child))
                continue;
            const tMargins& o = child->mOuterMargins;
            child->setPosition(GP::Point{o.left, y + o.top});
            child->setWidth(mSize.width - m.right - m.left - o.right - o.left);
            y += o.bottom + o.top + child->mSize.height + spacing;
        }
        break;
    }
    case kLineRightToLeft: {
        // From the content box's far edge, as left to right starts at its origin.
        int x = mSize.width - m.right - m.left;
        for (const auto& child : children) {
            if (!takesPart(*child))
                continue;
            const tMargins& o = child->mOuterMargins;
            const int left = x - child->mSize.width - o.right;
            child->setPosition(GP::Point{left, o.top});
            child->setHeight(mSize.height - m.bottom - m.top - o.bottom - o.top);
            x = left - o.left - spacing;
        }
        break;
    }
    case kLineBottomToTop: {
        int y = mSize.height - m.bottom - m.top;
        for (const auto& child : children) {
            if (!takesPart(*child))
                continue;
            const tMargins& o = child->mOuterMargins;
            child->setPosition(GP::Point{o.left, y - o.bottom - child->mSize.height});
            child->setWidth(mSize.width - m.right - m.left - o.right - o.left);
            y -= o.bottom + child->mSize.height + o.top + spacing;
        }
        break;
    }
    default:
        break;
    }
}

}  // namespace HA::HWL
