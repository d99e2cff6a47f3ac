// The paint traversal of a pane and the collection of dirty areas.

#include <memory>
#include <vector>

#include "hwl/core/src/canvas/Canvas.h"
#include "hwl/core/src/canvas/PaintContext.h"
#include "hwl/core/src/tree/Pane.h"
#include "hwl/core/src/tree/Widget.h"

namespace HA::HWL {

namespace {

bool meets(const GP::Region& region, const GP::Rect& rect)
{
    return !rect.isEmpty() && region.containsRect(rect) != GP::Region::eOutside;
}

}  // namespace

void Pane::paint(Canvas& canvas, const GP::Region& dirty, int mode)
{
    if (!mRoot)
        return;
    mScale = canvas.getScale();
    // The root may go away while it paints; it is held until the marks are cleared.
    const std::shared_ptr<Widget> root = mRoot;
    if (!dirty.isEmpty()) {
        paintRegion(mode, dirty, canvas);
    } else {
        GP::Region whole;
        whole.setRect(GP::Rect{0, 0, root->mSize.width, root->mSize.height});
        paintRegion(mode, whole, canvas);
    }
    root->clearPaintMarks();
}

void Pane::paintRegion(int mode, const GP::Region& region, Canvas& canvas)
{
    if (!mRoot)
        return;
    const std::shared_ptr<Widget> root = mRoot;
    if (mode != kPaintOverlays) {
        GP::Region::RectIterator walk = region.beginRects(root->mBounds, GP::Point{});
        GP::Rect part;
        while (walk.next(part))
            canvas.fillRectRaw(part, 0);
    }
    if ((mode == kPaintRoot || mode == kPaintAll) && meets(region, root->mBounds))
        root->paintWidget(canvas, region);
    if (mode == kPaintOverlays || mode == kPaintAll) {
        const std::vector<std::shared_ptr<Widget>> overlays = mOverlays;
        for (const auto& overlay : overlays)
            if (meets(region, overlay->mBounds))
                overlay->paintWidget(canvas, region);
    }
}

float Widget::getScale() const { return mPane ? mPane->getScale() : 1.0f; }

void Widget::paintWidget(Canvas& canvas, const GP::Region& region)
{
    if (mBounds.isEmpty() || !isShown() || !(mFlags & eRendered))
        return;
    // Held: a painter must not be able to free the widget under its own feet.
    const std::shared_ptr<Widget> self = shared_from_this();
    if (mFlags & ePaintBeforeChildren) {
        PaintContext context(canvas, region, mBounds, canvas.getScale(), PaintContext::kPhaseBeforeChildren);
        canvas.moveOrigin(mAbsolute);
        paint(context);
        canvas.resetClip();
        canvas.resetOrigin();
    }
    const tChildren children = getZOrderedChildren();
    for (const auto& child : children)
        if (meets(region, child->mBounds))
            child->paintWidget(canvas, region);
    if (mFlags & ePaintAfterChildren) {
        PaintContext context(canvas, region, mBounds, canvas.getScale(), PaintContext::kPhaseAfterChildren);
        canvas.moveOrigin(mAbsolute);
        paint(context);
        canvas.resetClip();
        canvas.resetOrigin();
    }
}

void Widget::clearPaintMarks()
{
    constexpr std::uint32_t shownAndRendered = eVisible | eAncestorsVisible | eRendered;
    if ((mFlags & shownAndRendered) != shownAndRendered)
        return;
    if (mFlags & eGeometryChanged) {
        onGeometryChanged();
        mFlags &= ~eGeometryChanged;
    }
    if (mNoticeCount == 0)
        return;
    const tChildren children = mChildren;
    for (const auto& child : children)
        child->clearPaintMarks();
}

void Widget::collectDirtyRegion(GP::Region& region)
{
    const std::uint32_t bits = mDirtyMask.exchange(0);
    // Dirty areas are collected in pane coordinates: the box and the widget's own region sit
    // at its absolute position.
    const GP::Rect box{mAbsolute.x, mAbsolute.y, mAbsolute.x + mSize.width, mAbsolute.y + mSize.height};
    GP::Region area;
    bool whole = false;
    switch (getDirtyArea(area, bits)) {
    case 0:
        if (bits != 0) {
            region.unionRect(box);
            whole = true;
        } else if (!mDirtyRegion.isEmpty()) {
            mDirtyRegion.copyTo(area);
            area.offset(mAbsolute.x, mAbsolute.y);
            GP::Region::unite(region, region, area);
        }
        break;
    case 1:
        region.unionRect(box);
        whole = true;
        break;
    case 2:
        GP::Region::unite(region, region, area);
        break;
    default:
        break;
    }
    mDirtyRegion.clear();
    for (const auto& child : mChildren) {
        if (!(child->mFlags & (eVisible | eRegistered)))
            continue;
        if (whole)
            child->discardDirtyMarks();
        else
            child->collectDirtyRegion(region);
    }
}

void Pane::collectDirtyRegion(GP::Region& dirty)
{
    if (!mRoot)
        return;
    const GP::Rect rect = getRect();
    const std::uint32_t taken = runUpdate(rect, dirty);
    if (taken & kDirtyRepaint) {
        const std::vector<std::shared_ptr<Widget>> overlays = mOverlays;
        for (auto it = overlays.rbegin(); it != overlays.rend(); ++it)
            (*it)->collectDirtyRegion(dirty);
        if (mRoot)
            mRoot->collectDirtyRegion(dirty);
    }
    GP::Region paneArea;
    paneArea.setRect(rect);
    GP::Region::intersect(dirty, dirty, paneArea);
}

}  // namespace HA::HWL
