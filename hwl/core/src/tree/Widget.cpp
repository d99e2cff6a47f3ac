#include "hwl/core/src/tree/Widget.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "hwl/core/src/tree/Pane.h"
#include "hwl/core/src/tree/WidgetStyleCaches.h"

namespace HA::HWL {

namespace {

ha::symbol symbolOf(const char* text)
{
    return text ? ha::symbol(text, static_cast<std::uint32_t>(std::strlen(text))) : ha::symbol();
}

int clampExtent(int value, int minimum, int maximum)
{
    value = std::max(value, minimum);
    if (maximum > 0 && maximum < value)
        value = maximum;
    return value;
}

}  // namespace

Widget::Widget() = default;

Widget::~Widget()
{
    // Copies: a child's hooks may not reach back into a vector that is being destroyed.
    const tChildren children = std::move(mChildren);
    mChildren.clear();
    mZOrdered.clear();
    for (const auto& child : children) {
        child->setPane(nullptr);
        child->mParent = nullptr;
    }
    // Normally the widget has left its parent and pane before its last owner lets go; this
    // keeps the pane and the ancestors free of pointers to it when it has not.
    if (mPane)
        mPane->forgetWidget(this);
    if (mParent)
        mParent->addNoticeCountToAncestors(-mNoticeCount);
    DETAIL::forgetStyleData(this);
}

bool Widget::isDormant() const { return false; }

std::optional<bool> Widget::getHorizontalAttribute() const { return std::nullopt; }

void Widget::onRegistered(bool) {}

void Widget::layout() {}

void Widget::onGeometryChanged() {}

void Widget::onPaneChanged(bool) {}

void Widget::paint(PaintContext&) {}

bool Widget::interceptMouseEvent(bool, int, int) { return false; }

bool Widget::interceptDragEvent(bool, int, int) { return false; }

void Widget::onMouseEvent(int, const UIA::MouseEventData*) {}

void Widget::onWheel(const UIA::MouseEventData* data)
{
    if (mParent)
        mParent->onWheel(data);
}

bool Widget::onKeyEvent(int, void*) { return false; }

void Widget::onTimer() {}

void Widget::onInputFocusChanged() {}

void Widget::adjustSize() {}

void Widget::setWidth(int width) { setSize(width, mSize.height); }

void Widget::setHeight(int height) { setSize(mSize.width, height); }

bool Widget::getOpaqueRegion(GP::Region& region)
{
    if (mBounds.isEmpty())
        return false;
    if (mFlags & eOpaqueContent) {
        region.setRect(GP::Rect{mBounds.left + mMargins.left, mBounds.top + mMargins.top,
                                mBounds.right - mMargins.right, mBounds.bottom - mMargins.bottom});
        return true;
    }
    if (mFlags & eOpaqueBounds) {
        region.setRect(mBounds);
        return true;
    }
    if (mOpaqueRegion.isEmpty())
        return false;
    mOpaqueRegion.copyTo(region);
    return true;
}

int Widget::getDirtyArea(GP::Region&, std::uint32_t) { return 0; }

bool Widget::containsWidget(const Widget* widget) const
{
    for (; widget; widget = widget->mParent)
        if (widget == this)
            return true;
    return false;
}

bool Widget::addChild(std::shared_ptr<Widget> child, const char* id)
{
    // A widget under itself would own itself and make every walk endless.
    if (!child || child->containsWidget(this))
        return false;
    child->mId = symbolOf(id);
    if (Widget* oldParent = child->mParent) {
        auto& siblings = oldParent->mChildren;
        auto it = std::find(siblings.begin(), siblings.end(), child);
        if (it != siblings.end())
            oldParent->removeChild(it);
    }
    child->mParent = this;
    child->setPane(mPane);
    child->markSubtreeStyleDirty();
    DETAIL::forgetStyleMatches(this);
    // The child's ancestors changed, so its cached descendant matches are stale too.
    child->forgetSubtreeStyleMatches();
    requestLayout();
    const int notices = child->mNoticeCount + ((child->mFlags & eWantsGeometryNotice) ? 1 : 0);
    mChildren.push_back(std::move(child));
    mZOrdered.clear();
    addNoticeCountToAncestors(notices);
    return true;
}

bool Widget::removeChild(tChildren::const_iterator position)
{
    if (position == mChildren.cend())
        return false;
    // Held until the child has left the pane; the last owner may be the vector.
    const std::shared_ptr<Widget> child = *position;
    mChildren.erase(position);
    mZOrdered.clear();
    addNoticeCountToAncestors(-(child->mNoticeCount + ((child->mFlags & eWantsGeometryNotice) ? 1 : 0)));
    child->setPane(nullptr);
    child->mParent = nullptr;
    requestLayout();
    return true;
}

void Widget::addNoticeCountToAncestors(int delta)
{
    if (delta == 0)
        return;
    for (Widget* w = this; w; w = w->mParent)
        w->mNoticeCount += delta;
}

void Widget::setPane(Pane* pane)
{
    const tChildren children = mChildren;
    for (const auto& child : children)
        child->setPane(pane);
    if (mPane == pane)
        return;
    if (Pane* oldPane = mPane) {
        onPaneChanged(false);
        oldPane->forgetWidget(this);
    }
    // Matches cached under the old pane's sheet, and any left in the new one, are stale.
    DETAIL::forgetStyleMatches(this);
    mPane = pane;
    DETAIL::forgetStyleMatches(this);
    mFlags &= ~eRegistered;
}

void Widget::registerWithPane(Pane* pane, bool registered, bool fromParent)
{
    if (mPane != pane) {
        mPane = pane;
        mFlags |= eStyleDirty;
        DETAIL::forgetStyleMatches(this);
    }
    if (fromParent) {
        setFlag(eAncestorsVisible, registered);
    } else if (registered && mParent) {
        const bool shown = mParent->isShown();
        setFlag(eAncestorsVisible, shown);
    }
    if (((mFlags & eRegistered) != 0) != registered) {
        if (!registered && mPane && containsWidget(mPane->mFocusWidget)) {
            mPane->mInputWidget = nullptr;
            mPane->releaseFocus();
        }
        setFlag(eRegistered, registered);
        onPaneChanged(registered);
        onRegistered(registered);
    }
    const tChildren children = mChildren;
    for (const auto& child : children) {
        if (!registered || (child->mFlags & eVisible))
            child->registerWithPane(pane, registered, true);
    }
}

const Widget::tChildren& Widget::getZOrderedChildren()
{
    if (mZOrdered.size() != mChildren.size()) {
        mZOrdered = mChildren;
        std::stable_sort(mZOrdered.begin(), mZOrdered.end(),
                         [](const std::shared_ptr<Widget>& a, const std::shared_ptr<Widget>& b) {
                             return a->mZIndex < b->mZIndex;
                         });
    }
    return mZOrdered;
}

void Widget::markSubtreeStyleDirty()
{
    mFlags |= eStyleDirty;
    requestLayout();
    for (const auto& child : mChildren)
        child->markSubtreeStyleDirty();
}

void Widget::forgetSubtreeStyleMatches()
{
    DETAIL::forgetStyleMatches(this);
    for (const auto& child : mChildren)
        child->forgetSubtreeStyleMatches();
}

void Widget::setStyle(const char* name)
{
    if (name) {
        mStyle = symbolOf(name);
        forgetSubtreeStyleMatches();
    }
    const tSize styled{kStyledMinimumSize, kStyledMinimumSize};
    if (mMinimumSize != styled) {
        mMinimumSize = styled;
        setSize(mSize.width, mSize.height);
    }
    setSize(mMinimumSize.width, mMinimumSize.height);
    markSubtreeStyleDirty();
    DETAIL::forgetStyleMatches(this);
}

void Widget::setAttribute(const char* name, const std::string& value)
{
    auto inserted = mAttributes.emplace(symbolOf(name), value);
    if (!inserted.second) {
        if (inserted.first->second == value)
            return;
        inserted.first->second = value;
    }
    // Attribute selectors on ancestors may now match the descendants differently.
    markSubtreeStyleDirty();
}

void Widget::changeFlags(std::uint32_t set, std::uint32_t clear) { mFlags = (mFlags & ~clear) | set; }

void Widget::setVisible(bool visible)
{
    const std::uint32_t before = mFlags;
    setFlag(eVisible, visible);
    if (mParent) {
        const bool shown = mParent->isShown();
        setFlag(eAncestorsVisible, shown);
    }
    if ((before ^ mFlags) & (eVisible | eAncestorsVisible))
        requestLayoutWithParent();
}

void Widget::setEnabled(bool enabled)
{
    // The own wish decides: under a disabled parent the effective state is false either way,
    // and comparing with it would lose a change of the wish.
    if (((mFlags & eEnabled) != 0) == enabled)
        return;
    setFlag(eEnabled, enabled);
    requestLayout();
}

void Widget::setHoverSensitive(bool sensitive)
{
    setFlag(eHoverSensitive, sensitive);
    if (!sensitive && mPane && mPane->mHovered == this)
        mPane->mHovered = nullptr;
}

void Widget::setPositionFixed(bool fixed) { setFlag(ePositionFixed, fixed); }

GP::Rect Widget::boxInParent() const
{
    // The parent's dirty region is in its own coordinates: its margins come first.
    const int x = mPosition.x + (mParent ? mParent->mMargins.left : 0);
    const int y = mPosition.y + (mParent ? mParent->mMargins.top : 0);
    return GP::Rect{x, y, x + mSize.width, y + mSize.height};
}

void Widget::addOldBoxToParent()
{
    if (mParent && (mFlags & eRendered) && (mParent->mFlags & eRendered))
        mParent->addDirtyRect(boxInParent());
}

void Widget::setPosition(GP::Point position)
{
    if (position == mPosition)
        return;
    addOldBoxToParent();
    mPosition = position;
    requestLayout();
}

void Widget::setSize(int width, int height)
{
    const tSize size{clampExtent(width, mMinimumSize.width, mMaximumSize.width),
                     clampExtent(height, mMinimumSize.height, mMaximumSize.height)};
    if (size == mSize)
        return;
    if (!(mFlags & ePositionFixed)) {
        mSize = size;
        requestLayoutWithParent();
        return;
    }
    addOldBoxToParent();
    mSize = size;
    requestLayout();
}

void Widget::setMargin(const tMargins& margins)
{
    const bool changed = margins != mMargins;
    mMargins = margins;
    if (changed)
        requestLayout();
}

void Widget::setOuterMargin(const tMargins& margins)
{
    if (margins == mOuterMargins)
        return;
    mOuterMargins = margins;
    requestLayoutWithParent();
}

void Widget::setZIndex(int zIndex)
{
    if (zIndex == mZIndex)
        return;
    mZIndex = zIndex;
    if (mParent) {
        requestLayoutWithParent();
        mParent->mZOrdered.clear();
    }
}

void Widget::setGeometryForTesting(GP::Point absolute, const GP::Rect& bounds)
{
    mAbsolute = absolute;
    mBounds = bounds;
}

void Widget::invalidate(std::uint32_t bits)
{
    mDirtyMask.fetch_or(bits ? bits : 0xFFFFFFFFu);
    if (mPane)
        mPane->markDirty(Pane::kDirtyRepaint);
}

void Widget::addDirtyRect(const GP::Rect& rect)
{
    mDirtyRegion.unionRect(rect);
    if (mPane)
        mPane->markDirty(Pane::kDirtyRepaint);
}

void Widget::discardDirtyMarks()
{
    mDirtyMask.store(0);
    mDirtyRegion.clear();
    for (const auto& child : mChildren)
        if (child->mFlags & (eVisible | eRegistered))
            child->discardDirtyMarks();
}

void Widget::requestLayout()
{
    if (mFlags & eLayoutByPass) {
        if (mPane)
            mPane->exchangeDirty(Pane::kDirtyRepaint | Pane::kDirtyUpdate);
        mNeedsLayout = true;
        invalidate();
        return;
    }
    if (mParent) {
        const GP::Point origin = mParent->mAbsolute;
        const tMargins& m = mParent->mMargins;
        const GP::Rect content{origin.x + m.left, origin.y + m.top, origin.x + mParent->mSize.width - m.right,
                               origin.y + mParent->mSize.height - m.bottom};
        GP::Region scratch;
        updateBounds(GP::Rect::intersect(mParent->mBounds, content), scratch, false);
    }
    invalidate();
    if (mParent)
        mParent->invalidate();
}

void Widget::requestLayoutWithParent()
{
    if ((mFlags & eLayoutByPass) && mParent)
        mParent->requestLayout();
    requestLayout();
}

bool Widget::updateBounds(const GP::Rect& clip, GP::Region& dirty, bool add)
{
    if (mParent) {
        mAbsolute = GP::Point{mParent->mAbsolute.x + mParent->mMargins.left + mPosition.x,
                              mParent->mAbsolute.y + mParent->mMargins.top + mPosition.y};
    } else {
        mAbsolute = GP::Point{};
    }
    const GP::Rect box{mAbsolute.x, mAbsolute.y, mAbsolute.x + mSize.width, mAbsolute.y + mSize.height};
    const GP::Rect bounds = GP::Rect::intersect(box, clip);
    if (bounds == mBounds)
        return false;
    if (add) {
        dirty.unionRect(bounds);
        dirty.unionRect(mBounds);
    }
    mBounds = bounds;
    return true;
}

void Widget::setTimer(int ticks)
{
    if (!mPane) {
        mPendingTimer = std::max(ticks, 0);
        return;
    }
    if (ticks <= 0) {
        mPane->clearWidgetTimer(this);
        mPendingTimer = 0;
        return;
    }
    mPane->setWidgetTimer(this, ticks);
}

void Widget::handPendingTimerToPane()
{
    if (mPendingTimer == 0 || !mPane)
        return;
    mPane->setWidgetTimer(this, mPendingTimer);
    mPendingTimer = 0;
}

}  // namespace HA::HWL
